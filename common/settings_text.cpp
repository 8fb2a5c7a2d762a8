#include "settings_text.h"

#include <cstdarg>
#include <charconv>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "registry_layout.h"

namespace {

// ---- Formatted-input scanner -------------------------------------------
// Works on 8-bit and UTF-16 units alike. Only the six C-locale blanks are
// white space; units above 0x7F are never digits or blanks.

template <class Ch>
struct Input {
    const Ch* p;
    const Ch* end;

    unsigned Peek() const { return p < end ? static_cast<unsigned>(Unit(*p)) : 0; }
    static unsigned Unit(Ch c) {
        if constexpr (sizeof(Ch) == 1) return static_cast<unsigned char>(c);
        else return static_cast<unsigned>(c);
    }
    void SkipBlanks() {
        for (unsigned c = Peek(); c == ' ' || (c >= '\t' && c <= '\r'); c = Peek()) ++p;
    }
};

inline bool IsDigit(unsigned c) { return c >= '0' && c <= '9'; }
inline bool IsHexDigit(unsigned c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
inline unsigned Lower(unsigned c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

// The characters of one input item: the longest run (within the width) that is
// a prefix of a matching sequence. `limit` counts down the width; a width of 0
// means no limit.
template <class Ch>
struct Item {
    Input<Ch>& in;
    int limit;

    bool Room() const { return limit != 0; }
    unsigned Peek() const { return Room() ? in.Peek() : 0; }
    void Take() {
        ++in.p;
        if (limit > 0) --limit;
    }
};

// %u and %ld: [+-]? digits, with strtoul/strtol saturation on overflow.
template <class Ch>
bool ScanDecimal(Input<Ch>& in, int width, bool& negative, unsigned long& magnitude, bool& saturated) {
    in.SkipBlanks();
    Item<Ch> item{in, width > 0 ? width : -1};
    negative = false;
    if (item.Peek() == '+' || item.Peek() == '-') {
        negative = item.Peek() == '-';
        item.Take();
    }
    bool digits = false;
    magnitude = 0;
    saturated = false;
    while (IsDigit(item.Peek())) {
        unsigned d = item.Peek() - '0';
        if (magnitude > (ULONG_MAX - d) / 10) saturated = true;
        else magnitude = magnitude * 10 + d;
        digits = true;
        item.Take();
    }
    return digits;
}

template <class Ch>
bool ScanUnsigned(Input<Ch>& in, int width, unsigned int& out) {
    bool negative, saturated;
    unsigned long magnitude;
    if (!ScanDecimal(in, width, negative, magnitude, saturated)) return false;
    unsigned long value = saturated ? ULONG_MAX : (negative ? 0UL - magnitude : magnitude);
    out = static_cast<unsigned int>(value);
    return true;
}

template <class Ch>
bool ScanLong(Input<Ch>& in, int width, long& out) {
    bool negative, saturated;
    unsigned long magnitude;
    if (!ScanDecimal(in, width, negative, magnitude, saturated)) return false;
    const unsigned long maxPositive = static_cast<unsigned long>(LONG_MAX);
    if (negative) {
        if (saturated || magnitude > maxPositive + 1) out = LONG_MIN;
        else out = magnitude == maxPositive + 1 ? LONG_MIN : -static_cast<long>(magnitude);
    } else {
        out = (saturated || magnitude > maxPositive) ? LONG_MAX : static_cast<long>(magnitude);
    }
    return true;
}

// Converts a complete float matching sequence (no sign) as strtof would.
// Converts the longest constant at the start of [first, last) as strtof would;
// 0 when there is none ("0x." has no digits).
float ConvertFloat(const char* first, const char* last, bool hex) {
    float value = 0;
    auto fmt = hex ? std::chars_format::hex : std::chars_format::general;
    auto r = std::from_chars(first, last, value, fmt);
    if (r.ec == std::errc::result_out_of_range) {
        // Overflow gives infinity and underflow rounds toward zero, as strtof.
        double wide = 0;
        std::from_chars(first, last, wide, fmt);
        const double overflow = 0x1.ffffffp127;  // FLT_MAX plus half an ulp
        value = std::fabs(wide) >= overflow ? INFINITY : static_cast<float>(wide);
    }
    return value;
}

// %f as the C library reads it: a decimal or hexadecimal floating constant,
// "inf", "infinity" or "nan". As the library does, an exponent marker without
// digits ends the number ("1e" reads 1), "0x." reads 0, and a partial
// "infinity" fails.
template <class Ch>
bool ScanFloat(Input<Ch>& in, int width, float& out) {
    in.SkipBlanks();
    Item<Ch> item{in, width > 0 ? width : -1};
    char buf[64];
    size_t n = 0;
    auto take = [&] {
        if (n + 1 >= sizeof buf) return false;
        buf[n++] = static_cast<char>(item.Peek());
        item.Take();
        return true;
    };
    auto word = [&](const char* rest) {  // case-blind
        for (; *rest; ++rest)
            if (Lower(item.Peek()) != static_cast<unsigned>(*rest) || !take()) return false;
        return true;
    };

    bool negative = false;
    if (item.Peek() == '+' || item.Peek() == '-') {
        negative = item.Peek() == '-';
        item.Take();
    }
    bool hex = false;
    unsigned c = Lower(item.Peek());
    if (c == 'i') {
        if (!word("inf")) return false;
        if (Lower(item.Peek()) == 'i' && !word("inity")) return false;
    } else if (c == 'n') {
        if (!word("nan")) return false;
    } else {
        bool digits = false;
        if (c == '0') {
            take();
            digits = true;
            if (Lower(item.Peek()) == 'x') {
                item.Take();  // from_chars reads hex digits without the prefix
                if (!IsHexDigit(item.Peek()) && item.Peek() != '.') return false;
                hex = true;
                n = 0;
            }
        }
        auto mantissaDigit = [&](unsigned d) { return hex ? IsHexDigit(d) : IsDigit(d); };
        for (; mantissaDigit(item.Peek()); digits = true)
            if (!take()) return false;
        if (item.Peek() == '.') {
            take();
            for (; mantissaDigit(item.Peek()); digits = true)
                if (!take()) return false;
        }
        if (!digits && !hex) return false;
        if (Lower(item.Peek()) == (hex ? 'p' : 'e')) {
            take();
            if (item.Peek() == '+' || item.Peek() == '-') take();
            while (IsDigit(item.Peek()))
                if (!take()) return false;
        }
    }
    float value = ConvertFloat(buf, buf + n, hex);
    out = negative ? -value : value;
    return true;
}

template <class Ch>
size_t Length(const Ch* text, size_t count) {
    size_t n = 0;
    while (n < count && text[n]) ++n;
    return n;
}

template <class Ch>
int ParseTemplate(const Ch* text, size_t count, ScanWidth width, TemplateTextNumbers& numbers) {
    if (!text) return 0;
    Input<Ch> in{text, text + Length(text, count)};
    long* fields[] = {&numbers.VoltageMax, &numbers.VoltageMin, &numbers.CurrentMax, &numbers.CurrentMin};
    if (!ScanUnsigned(in, width, numbers.InitialCode)) return 0;
    int taken = 1;
    for (long* field : fields) {
        if (!ScanLong(in, width, *field)) break;
        ++taken;
    }
    return taken;
}

template <class Ch>
int ParseDevice(const Ch* text, size_t count, AoChannelSetting& setting) {
    if (!text) return 0;
    Input<Ch> in{text, text + Length(text, count)};
    float first;
    if (!ScanFloat(in, SCAN_WIDTH_FIVE, first)) return 0;
    setting.InitialCode = FloatToLow16(first);
    float* fields[] = {&setting.VoltageMax, &setting.VoltageMin, &setting.CurrentMax, &setting.CurrentMin};
    int taken = 1;
    for (float* field : fields) {
        if (!ScanFloat(in, SCAN_WIDTH_FIVE, *field)) break;
        ++taken;
    }
    return taken;
}

// Copies an ASCII text into `out`, truncated to cap - 1 units and terminated;
// with `zeroFill` the rest of the buffer is cleared as well.
template <class Ch>
size_t Store(const char* text, size_t length, Ch* out, size_t cap, bool zeroFill) {
    if (!out || cap == 0) return 0;
    size_t n = length < cap - 1 ? length : cap - 1;
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<Ch>(static_cast<unsigned char>(text[i]));
    size_t clearTo = zeroFill ? cap : n + 1;
    for (size_t i = n; i < clearTo; ++i) out[i] = 0;
    return n;
}

template <class Ch>
size_t StorePrintf(Ch* out, size_t cap, bool zeroFill, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

template <class Ch>
size_t StorePrintf(Ch* out, size_t cap, bool zeroFill, const char* format, ...) {
    char text[128];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) n = 0;
    size_t length = static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1;
    return Store(text, length, out, cap, zeroFill);
}

// " %.2f" without the locale: to_chars prints as printf does in the C locale.
size_t AppendFixed2(char* text, size_t at, size_t cap, float value) {
    if (at + 1 >= cap) return at;
    text[at++] = ' ';
    auto r = std::to_chars(text + at, text + cap - 1, static_cast<double>(value), std::chars_format::fixed, 2);
    if (r.ec != std::errc()) return at;  // longer than the buffer: the number is cut off
    return static_cast<size_t>(r.ptr - text);
}

template <class Ch>
size_t FormatDevice(const AoChannelSetting& s, Ch* out, size_t cap) {
    // A float printed "%.2f" can take 48 characters; the record's buffer cuts it.
    char text[5 * 52];
    size_t n = static_cast<size_t>(std::snprintf(text, sizeof text, " %d", static_cast<int>(s.InitialCode)));
    for (float v : {s.VoltageMax, s.VoltageMin, s.CurrentMax, s.CurrentMin}) n = AppendFixed2(text, n, sizeof text, v);
    return Store(text, n, out, cap, true);
}

template <class Ch>
int ParseKeyNumber(const Ch* name) {
    if (!name) return 0;
    size_t len = 0;
    while (len < static_cast<size_t>(DEVICE_KEY_NUMBER_OFFSET) && name[len]) ++len;
    Input<Ch> in{name + len, name + len};
    while (in.end[0]) ++in.end;
    bool negative, saturated;
    unsigned long magnitude;
    // Like atoi: blanks, sign, digits; out-of-range numbers saturate.
    if (!ScanDecimal(in, 0, negative, magnitude, saturated)) return 0;
    if (saturated || magnitude > static_cast<unsigned long>(INT_MAX)) return negative ? INT_MIN : INT_MAX;
    return negative ? -static_cast<int>(magnitude) : static_cast<int>(magnitude);
}

template <class Ch>
bool Contains(const Ch* text, const Ch* part) {
    if (!text || !part) return false;
    if (!*part) return true;
    for (; *text; ++text) {
        size_t i = 0;
        while (part[i] && text[i] == part[i]) ++i;
        if (!part[i]) return true;
    }
    return false;
}

template <class Ch>
size_t FormatDisplay(uint32_t subsystemId, uint32_t switchId, uint32_t base, Ch* out, size_t cap) {
    const size_t limit = cap < 41 ? cap : 41;  // at most 40 characters
    size_t n = subsystemId < SWITCH_SUBSYSTEM_ID_MIN
                   ? StorePrintf(out, limit, false, "PCI-6406 I/O=%xH", base)
                   : StorePrintf(out, limit, false, "PCI-6406 SwitchID=%d I/O=%xH", static_cast<int>(switchId), base);
    for (size_t i = n; i < cap; ++i) out[i] = 0;
    return n;
}

}  // namespace

// ---- Public interface --------------------------------------------------

int ParseTemplateText(const char* text, size_t count, ScanWidth width, TemplateTextNumbers& numbers) {
    return ParseTemplate(text, count, width, numbers);
}
int ParseTemplateText(const LayoutWChar* text, size_t count, ScanWidth width, TemplateTextNumbers& numbers) {
    return ParseTemplate(text, count, width, numbers);
}

void TemplateNumbersToSetting(const TemplateTextNumbers& numbers, AoChannelSetting& setting) {
    setting.InitialCode = static_cast<uint16_t>(numbers.InitialCode);
    setting.VoltageMax = static_cast<float>(numbers.VoltageMax);
    setting.VoltageMin = static_cast<float>(numbers.VoltageMin);
    setting.CurrentMax = static_cast<float>(numbers.CurrentMax);
    setting.CurrentMin = static_cast<float>(numbers.CurrentMin);
}

uint16_t FloatToLow16(float value) {
    if (!std::isfinite(value)) return 0;
    double whole = std::fmod(std::trunc(static_cast<double>(value)), 65536.0);  // exact
    if (whole < 0) whole += 65536.0;
    return static_cast<uint16_t>(whole);
}

int16_t FloatToWhole16(float value) {
    uint16_t low = FloatToLow16(value);
    return static_cast<int16_t>(low >= 0x8000 ? static_cast<int>(low) - 0x10000 : static_cast<int>(low));
}

size_t FormatTemplateText(const AoChannelSetting& s, char* out, size_t cap) {
    return StorePrintf(out, cap, false, " %5u %5ld %5ld %5ld %5ld", static_cast<unsigned>(s.InitialCode),
                       static_cast<long>(FloatToWhole16(s.VoltageMax)), static_cast<long>(FloatToWhole16(s.VoltageMin)),
                       static_cast<long>(FloatToWhole16(s.CurrentMax)), static_cast<long>(FloatToWhole16(s.CurrentMin)));
}

int ParseDeviceText(const char* text, size_t count, AoChannelSetting& setting) {
    return ParseDevice(text, count, setting);
}
int ParseDeviceText(const LayoutWChar* text, size_t count, AoChannelSetting& setting) {
    return ParseDevice(text, count, setting);
}

size_t FormatDeviceText(const AoChannelSetting& setting, char* out, size_t cap) {
    return FormatDevice(setting, out, cap);
}
size_t FormatDeviceText(const AoChannelSetting& setting, LayoutWChar* out, size_t cap) {
    return FormatDevice(setting, out, cap);
}

size_t FormatDeviceKeyName(int number, char* out, size_t cap) {
    return StorePrintf(out, cap, false, "%s%03d", DEVICE_KEY_PREFIX_A, number);
}
size_t FormatDeviceKeyName(int number, LayoutWChar* out, size_t cap) {
    return StorePrintf(out, cap, false, "%s%03d", DEVICE_KEY_PREFIX_A, number);
}

size_t FormatDeviceKeyPath(const LayoutWChar* serviceKey, int number, LayoutWChar* out, size_t cap) {
    if (!out || cap == 0) return 0;
    size_t n = 0;
    for (const LayoutWChar* s = serviceKey; s && *s && n + 1 < cap; ++s) out[n++] = *s;
    if (n + 1 < cap) out[n++] = KEY_SEPARATOR_W[0];
    return n + FormatDeviceKeyName(number, out + n, cap - n);
}

int ParseDeviceKeyNumber(const char* name) { return ParseKeyNumber(name); }
int ParseDeviceKeyNumber(const LayoutWChar* name) { return ParseKeyNumber(name); }

size_t FormatAoSettingsName(int channel, char* out, size_t cap) {
    return StorePrintf(out, cap, false, "%s%d", VALUE_AO_SETTINGS_PREFIX_A, channel);
}
size_t FormatAoSettingsName(int channel, LayoutWChar* out, size_t cap) {
    return StorePrintf(out, cap, false, "%s%d", VALUE_AO_SETTINGS_PREFIX_A, channel);
}

size_t FormatTemplateName(int n, char* out, size_t cap) {
    return StorePrintf(out, cap, false, "%s%d", TEMPLATE_KEY_PREFIX_A, n);
}

size_t FormatDisplayName(uint32_t subsystemId, uint32_t switchId, uint32_t baseAddress, LayoutWChar* out,
                         size_t cap) {
    return FormatDisplay(subsystemId, switchId, baseAddress, out, cap);
}
size_t FormatDisplayName(uint32_t subsystemId, uint32_t switchId, uint32_t baseAddress, char* out, size_t cap) {
    return FormatDisplay(subsystemId, switchId, baseAddress, out, cap);
}

bool TextContains(const LayoutWChar* text, const LayoutWChar* part) { return Contains(text, part); }
bool TextContains(const char* text, const char* part) { return Contains(text, part); }
