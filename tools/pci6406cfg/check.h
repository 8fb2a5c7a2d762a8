#pragma once
// check: the registry script merged into a scratch registry of the simulated
// target by the image build's own reader, the driver's own template selection
// run on it, and what a board gets beside what the dialog shows.
//
// This header is plain C++: its caller works on the class library, the
// check on the target's platform, and the two sets of Win32 names cannot
// meet in one translation unit.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ao_setting.h"

// Every field equal: the same effect on a board.
bool SameSetting(const AoChannelSetting& a, const AoChannelSetting& b);

// A channel setting in numbers: "-10..10 V", "0..5 V, 4..20 mA", and its
// InitialCode when it is not 0.
std::string RangeNumbers(const AoChannelSetting& setting);

// A template the dialog lists.
struct ShownTemplate {
    int nNumber;
    uint32_t dwBoardID;                  // as the dialog shows it
    const AoChannelSetting* pChannels;   // its four channels as the dialog shows them, and would save them
    bool bLoaded;                        // the dialog read its SwitchID
    size_t nHeaderOffset;                // where the header line the dialog takes for it begins
};

// One line per finding, in the script's order; none when every template
// reaches the boards as the dialog shows it. A script the image build
// refuses is one finding, the reader's own words with its line.
std::vector<std::string> CheckScript(std::string_view text, const std::vector<ShownTemplate>& shown);
