// The UTF-16 forms the driver reads and writes, by the target's C runtime:
// coredll's swscanf and swprintf (the platform's form, without a count), so
// they come with coredll (aoc_layout); the configuration library takes the
// 8-bit forms alone. Where WCHAR is the compiler's wchar_t (Windows), the C
// library's own functions are these.
#include <windows.h>

#include <type_traits>

#include "registry_layout.h"
#include "settings_text.h"
#include "settings_text_forms.h"

static_assert(std::is_same<WCHAR, LayoutWChar>::value, "the layout's UTF-16 unit is the platform's WCHAR");

namespace {

using namespace settings_text;

struct CRuntime {
    template <class... Fields>
    static int Scan(const WCHAR* text, const WCHAR* format, Fields... fields) {
        return swscanf(text, format, fields...);
    }
    template <class... Values>
    static int Print(WCHAR* buffer, const WCHAR* format, Values... values) {
        return swprintf(buffer, format, values...);
    }
};

}  // namespace

int ParseTemplateText(const LayoutWChar* text, size_t count, ScanWidth width, TemplateTextNumbers& numbers) {
    return ParseTemplate<CRuntime>(text, count, width, numbers);
}

int ParseDeviceText(const LayoutWChar* text, size_t count, AoChannelSetting& setting) {
    return ParseDevice<CRuntime>(text, count, setting);
}

size_t FormatDeviceText(const AoChannelSetting& setting, LayoutWChar* out, size_t cap) {
    return FormatDevice<CRuntime>(setting, out, cap);
}

size_t FormatDeviceKeyName(int number, LayoutWChar* out, size_t cap) {
    return FormatNumbered<CRuntime>(DEVICE_KEY_PREFIX_W, LAYOUT_W("%03d"), number, out, cap);
}

size_t FormatDeviceKeyPath(const LayoutWChar* serviceKey, int number, LayoutWChar* out, size_t cap) {
    if (!out || cap == 0) return 0;
    size_t n = 0;
    for (const LayoutWChar* s = serviceKey; s && *s && n + 1 < cap; ++s) out[n++] = *s;
    if (n + 1 < cap) out[n++] = KEY_SEPARATOR_W[0];
    return n + FormatDeviceKeyName(number, out + n, cap - n);
}

int ParseDeviceKeyNumber(const LayoutWChar* name) { return ParseKeyNumber<CRuntime>(name); }

size_t FormatAoSettingsName(int channel, LayoutWChar* out, size_t cap) {
    return FormatNumbered<CRuntime>(VALUE_AO_SETTINGS_PREFIX_W, LAYOUT_W("%d"), channel, out, cap);
}

size_t FormatDisplayName(uint32_t subsystemId, uint32_t switchId, uint32_t baseAddress, LayoutWChar* out,
                         size_t cap) {
    return FormatDisplay<CRuntime>(subsystemId, switchId, baseAddress, out, cap);
}

bool TextContains(const LayoutWChar* text, const LayoutWChar* part) { return Contains(text, part); }
