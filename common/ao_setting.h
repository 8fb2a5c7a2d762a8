#pragma once
#include <cstdint>

// One output channel's range setting. A board and a template each hold four,
// for channels 0..3. A current range always rides on the 0..5 V pair; the
// channel counts as a current channel when CurrentMax is not 0.
struct AoChannelSetting {
    uint16_t InitialCode;  // carried and reported, never written to the board
    float VoltageMax;      // volts
    float VoltageMin;
    float CurrentMax;      // milliamperes; 0 for voltage only
    float CurrentMin;
};
static_assert(sizeof(AoChannelSetting) == 20, "AO channel setting is a fixed record");
