#pragma once
// The text forms of settings_text.h, written once for both character widths:
// settings_text.cpp instantiates them with the library's C runtime (sscanf,
// sprintf) and settings_text_wide.cpp with the target's (swscanf, swprintf),
// each as a Runtime with Scan(text, format, fields...) and
// Print(buffer, format, values...). FORM(Ch, "...") gives a format in the
// width at hand.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "registry_layout.h"
#include "settings_text.h"

namespace settings_text {

// A text cut by its count is read from a copy, as far as this many units
// with the terminator: the longest channel text the store reads is 255.
constexpr size_t kScanUnits = 256;
// Room for the longest text printed: " 65535" and four "%.2f" of up to 44
// characters (FLT_MAX has 39 digits).
constexpr size_t kPrintUnits = 256;

template <class Ch>
const Ch* Form(const char* narrow, const LayoutWChar* wide) {
    if constexpr (sizeof(Ch) == 1)
        return narrow;
    else
        return wide;
}
#define FORM(Ch, text) ::settings_text::Form<Ch>(text, LAYOUT_W(text))

template <class Ch>
size_t Length(const Ch* text, size_t count) {
    size_t n = 0;
    while (n < count && text[n]) ++n;
    return n;
}

// The text zero-terminated, as the C runtime reads it: in place when a zero
// unit ends it within count, else a copy.
template <class Ch>
const Ch* Terminated(const Ch* text, size_t count, Ch (&buffer)[kScanUnits]) {
    if (text == nullptr) return nullptr;
    size_t n = Length(text, count);
    if (n < count) return text;
    n = std::min(n, kScanUnits - 1);
    std::copy(text, text + n, buffer);
    buffer[n] = 0;
    return buffer;
}

// Copies `length` units of text into `out`, cut to cap - 1 units and
// terminated; with `zeroFill` the rest of `out` is cleared as well.
template <class Ch>
size_t Store(const Ch* text, size_t length, Ch* out, size_t cap, bool zeroFill) {
    if (!out || cap == 0) return 0;
    const size_t n = std::min(length, cap - 1);
    std::copy(text, text + n, out);
    std::fill(out + n, zeroFill ? out + cap : out + n + 1, Ch(0));
    return n;
}

template <class Runtime, class Ch>
int ParseTemplate(const Ch* text, size_t count, ScanWidth width, TemplateTextNumbers& n) {
    Ch buffer[kScanUnits];
    if ((text = Terminated(text, count, buffer)) == nullptr) return 0;
    const Ch* format = width == SCAN_WIDTH_FIVE ? FORM(Ch, " %5u %5ld %5ld %5ld %5ld") : FORM(Ch, " %u %ld %ld %ld %ld");
    const int taken = Runtime::Scan(text, format, &n.InitialCode, &n.VoltageMax, &n.VoltageMin, &n.CurrentMax, &n.CurrentMin);
    return std::max(taken, 0);  // EOF: nothing but blanks
}

template <class Runtime, class Ch>
int ParseDevice(const Ch* text, size_t count, AoChannelSetting& s) {
    Ch buffer[kScanUnits];
    if ((text = Terminated(text, count, buffer)) == nullptr) return 0;
    float code;
    const int taken = Runtime::Scan(text, FORM(Ch, " %5f %5f %5f %5f %5f"), &code, &s.VoltageMax, &s.VoltageMin,
                                    &s.CurrentMax, &s.CurrentMin);
    if (taken >= 1) s.InitialCode = FloatToLow16(code);
    return std::max(taken, 0);
}

template <class Runtime, class Ch>
size_t FormatDevice(const AoChannelSetting& s, Ch* out, size_t cap) {
    Ch text[kPrintUnits];
    const int n = Runtime::Print(text, FORM(Ch, " %d %.2f %.2f %.2f %.2f"), static_cast<int>(s.InitialCode),
                                 static_cast<double>(s.VoltageMax), static_cast<double>(s.VoltageMin),
                                 static_cast<double>(s.CurrentMax), static_cast<double>(s.CurrentMin));
    return Store(text, static_cast<size_t>(std::max(n, 0)), out, cap, true);
}

// A prefix and a number: "Device%03d", "AOSettings %d", "Template%d".
template <class Runtime, class Ch>
size_t FormatNumbered(const Ch* prefix, const Ch* numberFormat, int number, Ch* out, size_t cap) {
    Ch text[kPrintUnits];
    size_t n = 0;
    for (; prefix[n]; ++n) text[n] = prefix[n];
    n += static_cast<size_t>(std::max(Runtime::Print(text + n, numberFormat, number), 0));
    return Store(text, n, out, cap, false);
}

// At most 40 characters, the rest of `out` zero-filled.
template <class Runtime, class Ch>
size_t FormatDisplay(uint32_t subsystemId, uint32_t switchId, uint32_t base, Ch* out, size_t cap) {
    Ch text[kPrintUnits];
    const unsigned io = base;
    const int n = subsystemId < SWITCH_SUBSYSTEM_ID_MIN
                      ? Runtime::Print(text, FORM(Ch, "PCI-6406 I/O=%xH"), io)
                      : Runtime::Print(text, FORM(Ch, "PCI-6406 SwitchID=%d I/O=%xH"), static_cast<int>(switchId), io);
    const size_t stored = Store(text, static_cast<size_t>(std::max(n, 0)), out, std::min<size_t>(cap, 41), false);
    if (out) std::fill(out + std::min(stored, cap), out + cap, Ch(0));
    return stored;
}

// The number from the seventh unit on, as "%ld" reads it, 0 when there is
// none. Where long has 64 bits it holds numbers that saturate a 32-bit one
// (the targets'); as an int, both read the same.
template <class Runtime, class Ch>
int ParseKeyNumber(const Ch* name) {
    if (!name) return 0;
    size_t offset = 0;
    while (offset < static_cast<size_t>(DEVICE_KEY_NUMBER_OFFSET) && name[offset]) ++offset;
    long number = 0;
    if (Runtime::Scan(name + offset, FORM(Ch, "%ld"), &number) != 1) return 0;
    return static_cast<int>(std::clamp<long>(number, INT_MIN, INT_MAX));
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

}  // namespace settings_text
