// The 8-bit forms, read and written by the library's C runtime.
#include "settings_text.h"

#include <cstdio>

#include "registry_layout.h"
#include "settings_text_forms.h"

namespace {

using namespace settings_text;

struct CRuntime {
    template <class... Fields>
    static int Scan(const char* text, const char* format, Fields... fields) {
        return std::sscanf(text, format, fields...);
    }
    template <class... Values>
    static int Print(char* buffer, const char* format, Values... values) {
        return std::sprintf(buffer, format, values...);
    }
};

}  // namespace

int ParseTemplateText(const char* text, size_t count, ScanWidth width, TemplateTextNumbers& numbers) {
    return ParseTemplate<CRuntime>(text, count, width, numbers);
}

size_t FormatTemplateText(const AoChannelSetting& s, char* out, size_t cap) {
    char text[kPrintUnits];
    const int n = std::sprintf(text, " %5u %5ld %5ld %5ld %5ld", static_cast<unsigned>(s.InitialCode),
                               static_cast<long>(FloatToWhole16(s.VoltageMax)),
                               static_cast<long>(FloatToWhole16(s.VoltageMin)),
                               static_cast<long>(FloatToWhole16(s.CurrentMax)),
                               static_cast<long>(FloatToWhole16(s.CurrentMin)));
    return Store(text, static_cast<size_t>(n), out, cap, false);
}

int ParseDeviceText(const char* text, size_t count, AoChannelSetting& setting) {
    return ParseDevice<CRuntime>(text, count, setting);
}

size_t FormatDeviceText(const AoChannelSetting& setting, char* out, size_t cap) {
    return FormatDevice<CRuntime>(setting, out, cap);
}

size_t FormatDeviceKeyName(int number, char* out, size_t cap) {
    return FormatNumbered<CRuntime>(DEVICE_KEY_PREFIX_A, "%03d", number, out, cap);
}

int ParseDeviceKeyNumber(const char* name) { return ParseKeyNumber<CRuntime>(name); }

size_t FormatAoSettingsName(int channel, char* out, size_t cap) {
    return FormatNumbered<CRuntime>(VALUE_AO_SETTINGS_PREFIX_A, "%d", channel, out, cap);
}

size_t FormatTemplateName(int n, char* out, size_t cap) {
    return FormatNumbered<CRuntime>(TEMPLATE_KEY_PREFIX_A, "%d", n, out, cap);
}

size_t FormatDisplayName(uint32_t subsystemId, uint32_t switchId, uint32_t baseAddress, char* out, size_t cap) {
    return FormatDisplay<CRuntime>(subsystemId, switchId, baseAddress, out, cap);
}

bool TextContains(const char* text, const char* part) { return Contains(text, part); }
