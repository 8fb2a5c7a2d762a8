// The numbers both text forms share. Built into the driver too, so it calls
// no runtime at all: a CE image offers no math library to the driver.
#include <cmath>
#include <cstring>

#include "settings_text.h"

void TemplateNumbersToSetting(const TemplateTextNumbers& numbers, AoChannelSetting& setting) {
    setting.InitialCode = static_cast<uint16_t>(numbers.InitialCode);
    setting.VoltageMax = static_cast<float>(numbers.VoltageMax);
    setting.VoltageMin = static_cast<float>(numbers.VoltageMin);
    setting.CurrentMax = static_cast<float>(numbers.CurrentMax);
    setting.CurrentMin = static_cast<float>(numbers.CurrentMin);
}

bool TemplateNumbersToBoardSetting(const TemplateTextNumbers& numbers, AoChannelSetting& setting) {
    const float kZero = 1e-6f;
    TemplateNumbersToSetting(numbers, setting);
    if (std::fabs(setting.VoltageMax) >= kZero || std::fabs(setting.VoltageMin) >= kZero) return false;
    setting.VoltageMax = 10.0f;
    setting.VoltageMin = 0.0f;
    if (std::fabs(setting.CurrentMax) >= kZero) {
        setting.CurrentMax = 0.0f;
        setting.CurrentMin = 0.0f;
    }
    return true;
}

// From the float's own bits: its value is mantissa x 2^(exponent - 150), so
// the whole part modulo 65536 comes from a shift, exact at every magnitude.
uint16_t FloatToLow16(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int exponent = static_cast<int>((bits >> 23) & 0xFF);
    if (exponent == 0xFF || exponent < 127) return 0;  // NaN and infinities; |value| < 1
    const uint32_t mantissa = (bits & 0x7FFFFF) | 0x800000;
    const int shift = exponent - 150;
    uint32_t whole = shift >= 16 ? 0 : shift >= 0 ? mantissa << shift : mantissa >> -shift;
    whole &= 0xFFFF;
    if (bits >> 31) whole = (0x10000 - whole) & 0xFFFF;
    return static_cast<uint16_t>(whole);
}

int16_t FloatToWhole16(float value) {
    uint16_t low = FloatToLow16(value);
    return static_cast<int16_t>(low >= 0x8000 ? static_cast<int>(low) - 0x10000 : static_cast<int>(low));
}
