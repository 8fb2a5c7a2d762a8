#pragma once
// Text forms shared by the driver and the configuration library: the template
// text and device text of an AO channel setting, device key names, value
// names and the display name. Formatting never writes past `cap` units and
// always terminates (cap > 0).
//
// The platform's C runtime reads and writes them with the formats below: the
// 8-bit forms with sscanf and sprintf, the UTF-16 forms (the driver's) with
// the target's swscanf and swprintf, coredll's (settings_text_wide.cpp). Both
// work in the C locale, which a program is in until it calls
// setlocale; nothing in this system does. Only the device text's decimal
// point is the locale's; the whole numbers of the other texts read and print
// alike in any locale but for the blanks its isspace skips.
#include <cstddef>
#include <cstdint>
#include "ao_setting.h"
#include "layout_char.h"

// ---- Template text: " %5u %5ld %5ld %5ld %5ld" -------------------------

// The five whole numbers of a template text, typed as the format stores them.
struct TemplateTextNumbers {
    unsigned int InitialCode;  // %u
    long VoltageMax;           // %ld
    long VoltageMin;
    long CurrentMax;
    long CurrentMin;
};

enum ScanWidth {
    SCAN_ANY_WIDTH = 0,   // " %u %ld %ld %ld %ld": the configuration library
    SCAN_WIDTH_FIVE = 5,  // " %5u %5ld %5ld %5ld %5ld": the driver
};

// Scans up to `count` units of `text` (a zero unit also ends it; a text that
// none ends within `count` is read as far as its first 255 units). Blanks
// are skipped before each number; a width ends a number after that many
// characters, even mid-digits, and the next number starts where it stopped.
// Returns how many numbers were taken (0..5); fields not taken are untouched.
// The numbers are long: 64 bits on this Linux, 32 on the targets, where a
// number beyond 32 bits saturates.
int ParseTemplateText(const char* text, size_t count, ScanWidth width, TemplateTextNumbers& numbers);
int ParseTemplateText(const LayoutWChar* text, size_t count, ScanWidth width, TemplateTextNumbers& numbers);

// InitialCode = low 16 bits of the first number; the other four become floats.
void TemplateNumbersToSetting(const TemplateTextNumbers& numbers, AoChannelSetting& setting);

// What a board takes from a template channel's numbers: the setting as above,
// except that a template without a voltage range (both voltages 0) drives
// 0..10 V, and then carries no current range either. TRUE when that rule
// changed the setting.
bool TemplateNumbersToBoardSetting(const TemplateTextNumbers& numbers, AoChannelSetting& setting);

// Each float truncated toward zero, reduced to 16 bits and sign-extended; the
// code printed unsigned. 30 characters for fields of at most five characters.
// Returns the length of the text.
size_t FormatTemplateText(const AoChannelSetting& setting, char* out, size_t cap);

// ---- Device text: written " %d %.2f %.2f %.2f %.2f", read " %5f %5f %5f %5f %5f"

// Takes up to five numbers into the setting in field order; the first is
// truncated toward zero and reduced to 16 bits. Returns how many were taken;
// fields not taken are untouched.
int ParseDeviceText(const char* text, size_t count, AoChannelSetting& setting);
int ParseDeviceText(const LayoutWChar* text, size_t count, AoChannelSetting& setting);

// Writes the text and zero-fills the rest of `out` (all `cap` units), as the
// registry value carries the text, a terminator and zero units to its end.
size_t FormatDeviceText(const AoChannelSetting& setting, char* out, size_t cap);
size_t FormatDeviceText(const AoChannelSetting& setting, LayoutWChar* out, size_t cap);

// ---- Numbers and names -------------------------------------------------

// Truncation toward zero, then the low 16 bits; NaN and infinities give 0.
uint16_t FloatToLow16(float value);
// As FloatToLow16, then sign-extended: the template text's whole numbers.
int16_t FloatToWhole16(float value);

// "Device" and the number as "%03d" (Device007); and the whole device key path:
// service key + "\" + device key name.
size_t FormatDeviceKeyName(int number, char* out, size_t cap);
size_t FormatDeviceKeyName(int number, LayoutWChar* out, size_t cap);
size_t FormatDeviceKeyPath(const LayoutWChar* serviceKey, int number, LayoutWChar* out, size_t cap);

// The decimal number from the seventh character of a device entry's name on:
// optional blanks and sign, then digits; 0 when there are none (DeviceX).
int ParseDeviceKeyNumber(const char* name);
int ParseDeviceKeyNumber(const LayoutWChar* name);

// "AOSettings " + channel in decimal ("AOSettings %d").
size_t FormatAoSettingsName(int channel, char* out, size_t cap);
size_t FormatAoSettingsName(int channel, LayoutWChar* out, size_t cap);

// "Template" + n in decimal ("Template%d").
size_t FormatTemplateName(int n, char* out, size_t cap);

// "PCI-6406 I/O=%xH" below subsystem 0xA100, else "PCI-6406 SwitchID=%d I/O=%xH";
// at most 40 characters. Zero-fills the rest of `out` like FormatDeviceText.
size_t FormatDisplayName(uint32_t subsystemId, uint32_t switchId, uint32_t baseAddress,
                         LayoutWChar* out, size_t cap);
size_t FormatDisplayName(uint32_t subsystemId, uint32_t switchId, uint32_t baseAddress,
                         char* out, size_t cap);

// Case-sensitive "contains" on zero-terminated texts, as the device-entry
// ("Device") and template-key ("Template") tests use it.
bool TextContains(const LayoutWChar* text, const LayoutWChar* part);
bool TextContains(const char* text, const char* part);
