#include "settings_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstring>
#include <string>

#include "registry_layout.h"

namespace {

std::basic_string<LayoutWChar> Widen(const std::string& s) {
    std::basic_string<LayoutWChar> w;
    for (unsigned char c : s) w.push_back(static_cast<LayoutWChar>(c));
    return w;
}

std::string Narrow(const LayoutWChar* w) {
    std::string s;
    for (; *w; ++w) s.push_back(static_cast<char>(*w));
    return s;
}

bool SameFloat(float a, float b) { return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0; }

// What a scan gives: how many numbers it took, and the fields, those it did
// not take still holding what they held before (111, 222, ... and 7, 2.5,
// ...). Every field is the C runtime's reading of the text.
struct TemplateScan {
    int count;
    unsigned code;
    long long numbers[4];
};
struct DeviceScan {
    int count;
    unsigned code;
    float numbers[4];
};
struct TextCase {
    const char* text;
    TemplateScan five;  // " %5u %5ld %5ld %5ld %5ld", the driver's
    TemplateScan any;   // " %u %ld %ld %ld %ld", the configuration library's
    DeviceScan device;  // " %5f %5f %5f %5f %5f", the driver's
};

const long long kLongMin = LLONG_MIN;

// Texts from the layout's examples and hostile ones, as glibc reads them
// where long has 64 bits.
const TextCase kTexts[] = {
    {"     0    10   -10     0     0",
     {5, 0u, 10, -10, 0, 0}, {5, 0u, 10, -10, 0, 0},
     {5, 0, 10.0f, -10.0f, 0.0f, 0.0f}},
    {"     0     5     0    20     4",
     {5, 0u, 5, 0, 20, 4}, {5, 0u, 5, 0, 20, 4},
     {5, 0, 5.0f, 0.0f, 20.0f, 4.0f}},
    {"  2048    10   -10     0     0",
     {5, 2048u, 10, -10, 0, 0}, {5, 2048u, 10, -10, 0, 0},
     {5, 2048, 10.0f, -10.0f, 0.0f, 0.0f}},
    {" 0 10.00 -10.00 0.00 0.00",
     {2, 0u, 10, 333, 444, 555}, {2, 0u, 10, 333, 444, 555},
     {5, 0, 10.0f, -10.0f, 0.0f, 0.0f}},
    {" 2048 5.00 -5.00 0.00 0.00",
     {2, 2048u, 5, 333, 444, 555}, {2, 2048u, 5, 333, 444, 555},
     {5, 2048, 5.0f, -5.0f, 0.0f, 0.0f}},
    {" 0 5.00 0.00 20.00 4.00",
     {2, 0u, 5, 333, 444, 555}, {2, 0u, 5, 333, 444, 555},
     {5, 0, 5.0f, 0.0f, 20.0f, 4.0f}},
    {"",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"    ",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"abc",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"-",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"+",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"+-5",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"--5",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"1e",
     {1, 1u, 222, 333, 444, 555}, {1, 1u, 222, 333, 444, 555},
     {1, 1, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"1e+",
     {1, 1u, 222, 333, 444, 555}, {1, 1u, 222, 333, 444, 555},
     {1, 1, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"1e+5 2E-3 3e9 4e-9",
     {1, 1u, 222, 333, 444, 555}, {1, 1u, 222, 333, 444, 555},
     {4, 34464, 0.00200000009f, 3e+09f, 3.99999989e-09f, 5.5f}},
    {"1.e5",
     {1, 1u, 222, 333, 444, 555}, {1, 1u, 222, 333, 444, 555},
     {1, 34464, 2.5f, 3.5f, 4.5f, 5.5f}},
    {".",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"-.",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {".5 5. -.5 +5.",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {4, 0, 5.0f, -0.5f, 5.0f, 5.5f}},
    {"0x",
     {1, 0u, 222, 333, 444, 555}, {1, 0u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"0x1p3 0X.8P1 0x1p 0xg",
     {1, 0u, 222, 333, 444, 555}, {1, 0u, 222, 333, 444, 555},
     {4, 8, 0.5f, 1.0f, 1.0f, 5.5f}},
    {"0x1.8",
     {1, 0u, 222, 333, 444, 555}, {1, 0u, 222, 333, 444, 555},
     {1, 1, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"inf -inf INF infinity",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {3, 0, -INFINITY, INFINITY, 4.5f, 5.5f}},
    {"infin",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"infx",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {1, 0, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"nan NAN nan(1) nan(",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {3, 0, NAN, NAN, 4.5f, 5.5f}},
    {"0x. 0x.p1 0xp1 0x.g -0x.",
     {1, 0u, 222, 333, 444, 555}, {1, 0u, 222, 333, 444, 555},
     {2, 0, 0.0f, 3.5f, 4.5f, 5.5f}},
    {"0x1.p 1E+ 5.e .e5 -.e 0x-1 1e5.5 00x1",
     {1, 0u, 222, 333, 444, 555}, {1, 0u, 222, 333, 444, 555},
     {3, 1, 1.0f, 5.0f, 4.5f, 5.5f}},
    {"infinity1 INFINITY -nan +inf 0x1P-2",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"-nan",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {1, 0, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"1e-50 1e38 9e99 -9e99",
     {1, 1u, 222, 333, 444, 555}, {1, 1u, 222, 333, 444, 555},
     {4, 0, 9.99999968e+37f, INFINITY, -INFINITY, 5.5f}},
    {"\t\n12\v34\f56\r78 90",
     {5, 12u, 34, 56, 78, 90}, {5, 12u, 34, 56, 78, 90},
     {5, 12, 34.0f, 56.0f, 78.0f, 90.0f}},
    {"123456789 1234567890123",
     {5, 12345u, 6789, 12345, 67890, 123}, {2, 123456789u, 1234567890123, 333, 444, 555},
     {5, 12345, 6789.0f, 12345.0f, 67890.0f, 123.0f}},
    {"99999999999999999999 -99999999999999999999",
     {5, 99999u, 99999, 99999, 99999, -9999}, {2, 4294967295u, kLongMin, 333, 444, 555},
     {5, 34463, 99999.0f, 99999.0f, 99999.0f, -9999.0f}},
    {"4294967296 -4294967296 4294967295",
     {5, 42949u, 67296, -4294, 96729, 6}, {3, 0u, -4294967296, 4294967295, 444, 555},
     {5, 42949, 67296.0f, -4294.0f, 96729.0f, 6.0f}},
    {"9223372036854775807 9223372036854775808 -9223372036854775808 -9223372036854775809",
     {5, 92233u, 72036, 85477, 5807, 92233}, {4, 4294967295u, 9223372036854775807, kLongMin, kLongMin, 555},
     {5, 26697, 72036.0f, 85477.0f, 5807.0f, 92233.0f}},
    {"-1 -0 +0 00000000007",
     {5, 4294967295u, 0, 0, 0, 0}, {4, 4294967295u, 0, 0, 7, 555},
     {5, 65535, -0.0f, 0.0f, 0.0f, 0.0f}},
    {"12 34 abc 56",
     {2, 12u, 34, 333, 444, 555}, {2, 12u, 34, 333, 444, 555},
     {2, 12, 34.0f, 3.5f, 4.5f, 5.5f}},
    {"1,2,3,4,5",
     {1, 1u, 222, 333, 444, 555}, {1, 1u, 222, 333, 444, 555},
     {1, 1, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"12-34+56.7.8",
     {3, 12u, -34, 56, 444, 555}, {3, 12u, -34, 56, 444, 555},
     {4, 12, -34.0f, 56.7000008f, 0.800000012f, 5.5f}},
    {"\xa0" "5 6",
     {0, 111u, 222, 333, 444, 555}, {0, 111u, 222, 333, 444, 555},
     {0, 7, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"5\xff 6",
     {1, 5u, 222, 333, 444, 555}, {1, 5u, 222, 333, 444, 555},
     {1, 5, 2.5f, 3.5f, 4.5f, 5.5f}},
    {"123456 7 8 9 10 11",
     {5, 12345u, 6, 7, 8, 9}, {5, 123456u, 7, 8, 9, 10},
     {5, 12345, 6.0f, 7.0f, 8.0f, 9.0f}},
    {"-10.00-10.00-10.00",
     {1, 4294967286u, 222, 333, 444, 555}, {1, 4294967286u, 222, 333, 444, 555},
     {5, 65526, 0.0f, -10.0f, 0.0f, -10.0f}},
    {"4.9 -4.9 0.001 99999 100000",
     {1, 4u, 222, 333, 444, 555}, {1, 4u, 222, 333, 444, 555},
     {5, 4, -4.9000001f, 0.00100000005f, 99999.0f, 10000.0f}},
};

// Where long has 32 bits (the targets', and mingw-w64's here), " %u" and
// " %ld" saturate at numbers that this Linux's 64-bit long still holds. No
// text the system writes has a number of more than five characters.
const TextCase kLong32[] = {
    {"123456789 1234567890123", {}, {2, 123456789u, 2147483647, 333, 444, 555}, {}},
    {"99999999999999999999 -99999999999999999999", {}, {2, 4294967295u, -2147483647 - 1, 333, 444, 555}, {}},
    {"4294967296 -4294967296 4294967295", {}, {3, 4294967295u, -2147483647 - 1, 2147483647, 444, 555}, {}},
    {"9223372036854775807 9223372036854775808 -9223372036854775808 -9223372036854775809", {},
     {4, 4294967295u, 2147483647, -2147483647 - 1, -2147483647 - 1, 555}, {}},
};

#if defined(_WIN32)
// Where mingw-w64's runtime reads a text otherwise than glibc, its fields. No
// text the system writes is among them. Both widths read alike: the CE
// stand-in narrows UTF-16 texts for the same runtime.
const TextCase kMingw[] = {
    // Malformed hexadecimal floats: mingw-w64 reads the four before "-0x."
    // as zeros, glibc only the first two.
    {"0x. 0x.p1 0xp1 0x.g -0x.", {1, 0u, 222, 333, 444, 555}, {1, 0u, 222, 333, 444, 555},
     {4, 0, 0.0f, 0.0f, 0.0f, 5.5f}},
};
#endif

TextCase Expected(const TextCase& row) {
    TextCase want = row;
    if (sizeof(long) == 4) {
        for (const TextCase& c : kLong32)
            if (std::strcmp(c.text, row.text) == 0) want.any = c.any;
    }
#if defined(_WIN32)
    for (const TextCase& c : kMingw)
        if (std::strcmp(c.text, row.text) == 0) want = c;
#endif
    return want;
}

void ExpectTemplateScan(const TemplateTextNumbers& got, int count, const TemplateScan& want) {
    EXPECT_EQ(count, want.count);
    EXPECT_EQ(got.InitialCode, want.code);
    const long fields[] = {got.VoltageMax, got.VoltageMin, got.CurrentMax, got.CurrentMin};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(fields[i], want.numbers[i]) << "field " << i + 1;
}

template <class Ch>
void ExpectScans(const Ch* subject, const TextCase& want) {
    for (ScanWidth width : {SCAN_WIDTH_FIVE, SCAN_ANY_WIDTH}) {
        SCOPED_TRACE(width == SCAN_WIDTH_FIVE ? "five" : "any width");
        TemplateTextNumbers numbers = {111u, 222, 333, 444, 555};
        const int count = ParseTemplateText(subject, 4096, width, numbers);
        ExpectTemplateScan(numbers, count, width == SCAN_WIDTH_FIVE ? want.five : want.any);
    }
    AoChannelSetting s = {7, 2.5f, 3.5f, 4.5f, 5.5f};
    EXPECT_EQ(ParseDeviceText(subject, 4096, s), want.device.count);
    EXPECT_EQ(s.InitialCode, want.device.code);
    const float got[4] = {s.VoltageMax, s.VoltageMin, s.CurrentMax, s.CurrentMin};
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(SameFloat(got[i], want.device.numbers[i])) << "field " << i + 1 << ": " << got[i];
}

TEST(SettingsTextScan, ReadsEachTextFieldByFieldInBothWidths) {
    // The C runtime's numbers are the C locale's, which a program is in until
    // it calls setlocale.
    ASSERT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
    for (const TextCase& row : kTexts) {
        SCOPED_TRACE("text \"" + std::string(row.text) + "\"");
        ExpectScans(row.text, Expected(row));
        ExpectScans(Widen(row.text).c_str(), Expected(row));
    }
}

TEST(SettingsTextScan, StopsAtTheCountAndAtAZeroUnit) {
    const char text[] = " 1 2 3 4 5";
    TemplateTextNumbers n = {9, 9, 9, 9, 9};
    EXPECT_EQ(2, ParseTemplateText(text, 4, SCAN_WIDTH_FIVE, n));  // " 1 2"
    EXPECT_EQ(1u, n.InitialCode);
    EXPECT_EQ(2, n.VoltageMax);
    EXPECT_EQ(9, n.VoltageMin);

    // A registry value read into a buffer may be cut anywhere; the count bounds it.
    const LayoutWChar unterminated[3] = {LAYOUT_W('1'), LAYOUT_W('2'), LAYOUT_W('3')};
    AoChannelSetting s = {};
    EXPECT_EQ(1, ParseDeviceText(unterminated, 2, s));
    EXPECT_EQ(12, s.InitialCode);

    const char withZero[] = " 1\0 2";
    EXPECT_EQ(1, ParseTemplateText(withZero, sizeof withZero, SCAN_ANY_WIDTH, n));
    EXPECT_EQ(0, ParseTemplateText(static_cast<const char*>(nullptr), 10, SCAN_ANY_WIDTH, n));
}

TEST(SettingsTextScan, UnitsBeyondEightBitsAreNoDigitsOrBlanks) {
    // U+0136 and U+0120 end in the bytes of "6" and " ".
    const LayoutWChar text[] = {'1', 0x0136, 0x0120, '2', 0};
    TemplateTextNumbers n = {9, 9, 9, 9, 9};
    EXPECT_EQ(1, ParseTemplateText(text, 16, SCAN_ANY_WIDTH, n));
    EXPECT_EQ(1u, n.InitialCode);
    const LayoutWChar name[] = {'D', 'e', 'v', 'i', 'c', 'e', 0x0120, '5', 0};
    EXPECT_EQ(0, ParseDeviceKeyNumber(name));
}

TEST(SettingsTextScan, DeviceTextFiveCharacterCut) {
    // "-10.00" is cut after "-10.0"; its last "0" becomes the next number.
    AoChannelSetting s = {};
    ASSERT_EQ(5, ParseDeviceText(LAYOUT_W(" 0 10.00 -10.00 0.00 0.00"), 64, s));
    EXPECT_EQ(0, s.InitialCode);
    EXPECT_EQ(10.0f, s.VoltageMax);
    EXPECT_EQ(-10.0f, s.VoltageMin);
    EXPECT_EQ(0.0f, s.CurrentMax);
    EXPECT_EQ(0.0f, s.CurrentMin);
}

TEST(SettingsTextFormat, TemplateText) {
    struct Case {
        AoChannelSetting setting;
        const char* text;
    } cases[] = {
        {{0, 10, -10, 0, 0}, "     0    10   -10     0     0"},
        {{0, 5, 0, 20, 4}, "     0     5     0    20     4"},
        {{2048, 4.9f, -4.9f, 0.99f, -0.99f}, "  2048     4    -4     0     0"},
        {{65535, 32767, -32768, 65536 + 3, 40000}, " 65535 32767 -32768     3 -25536"},
        {{1, NAN, INFINITY, -INFINITY, 1e30f}, "     1     0     0     0     0"},
    };
    for (const Case& c : cases) {
        char out[40];
        size_t n = FormatTemplateText(c.setting, out, sizeof out);
        EXPECT_STREQ(c.text, out);
        EXPECT_EQ(std::strlen(c.text), n);
    }
    char small[8];
    FormatTemplateText(cases[0].setting, small, sizeof small);
    EXPECT_STREQ("     0 ", small);
}

TEST(SettingsTextFormat, DeviceTextRoundTripsEveryValueSetInUse) {
    const AoChannelSetting sets[] = {
        {0, 5, 0, 20, 0}, {0, 5, 0, 20, 4}, {0, 10, 0, 0, 0}, {0, 5, -5, 0, 0}, {0, 10, -10, 0, 0}, {2048, 5, 0, 0, 0},
    };
    for (const AoChannelSetting& s : sets) {
        LayoutWChar text[DEVICE_TEXT_UNITS];
        FormatDeviceText(s, text, DEVICE_TEXT_UNITS);
        AoChannelSetting back = {};
        EXPECT_EQ(5, ParseDeviceText(text, DEVICE_TEXT_UNITS, back)) << Narrow(text);
        EXPECT_EQ(s.InitialCode, back.InitialCode) << Narrow(text);
        EXPECT_EQ(s.VoltageMax, back.VoltageMax) << Narrow(text);
        EXPECT_EQ(s.VoltageMin, back.VoltageMin) << Narrow(text);
        EXPECT_EQ(s.CurrentMax, back.CurrentMax) << Narrow(text);
        EXPECT_EQ(s.CurrentMin, back.CurrentMin) << Narrow(text);
    }
}

TEST(SettingsTextFormat, DeviceTextIsZeroFilledAndBounded) {
    LayoutWChar text[DEVICE_TEXT_UNITS];
    std::fill(std::begin(text), std::end(text), LayoutWChar(0x5555));
    FormatDeviceText({0, 10, 0, 0, 0}, text, DEVICE_TEXT_UNITS);
    EXPECT_EQ(" 0 10.00 0.00 0.00 0.00", Narrow(text));
    for (size_t i = 23; i < DEVICE_TEXT_UNITS; ++i) EXPECT_EQ(0, text[i]);

    // 3e38 prints with 39 digits: the text is cut at 39 units, never overruns.
    FormatDeviceText({65535, 3e38f, -3e38f, 4.9f, -4.9f}, text, DEVICE_TEXT_UNITS);
    EXPECT_EQ(0, text[DEVICE_TEXT_UNITS - 1]);
    EXPECT_EQ(" 65535 300000000", Narrow(text).substr(0, 16));

    char narrow[32];
    FormatDeviceText({0, 4.9f, -4.9f, 0, 0}, narrow, sizeof narrow);
    EXPECT_STREQ(" 0 4.90 -4.90 0.00 0.00", narrow);
}

TEST(SettingsTextNames, DeviceKeysValueNamesAndDisplayName) {
    char a[32];
    LayoutWChar w[64];
    FormatDeviceKeyName(7, a, sizeof a);
    EXPECT_STREQ("Device007", a);
    FormatDeviceKeyName(254, w, 64);
    EXPECT_EQ("Device254", Narrow(w));
    FormatDeviceKeyPath(DRIVER_SERVICE_KEY_W, 12, w, 64);
    EXPECT_EQ("SYSTEM\\CurrentControlSet\\Services\\VQX6406S\\Device012", Narrow(w));
    FormatDeviceKeyPath(DRIVER_SERVICE_KEY_W, 12, w, 20);
    EXPECT_EQ(19u, Narrow(w).size());

    struct {
        const char* name;
        int number;
    } numbers[] = {{"Device012", 12}, {"DeviceX", 0}, {"Device", 0}, {"Devic", 0}, {"Device  -3", -3},
                   {"Device+7x", 7},  {"MyDevice5", 0}, {"Device255", 255}, {"Device99999999999", 2147483647}};
    for (auto& c : numbers) {
        EXPECT_EQ(c.number, ParseDeviceKeyNumber(c.name)) << c.name;
        EXPECT_EQ(c.number, ParseDeviceKeyNumber(Widen(c.name).c_str())) << c.name;
    }

    FormatAoSettingsName(3, a, sizeof a);
    EXPECT_STREQ("AOSettings 3", a);
    FormatAoSettingsName(0, w, 64);
    EXPECT_EQ("AOSettings 0", Narrow(w));
    FormatTemplateName(15, a, sizeof a);
    EXPECT_STREQ("Template15", a);

    FormatDisplayName(0xA0FF, 3, 0xD000, a, sizeof a);
    EXPECT_STREQ("PCI-6406 I/O=d000H", a);
    FormatDisplayName(0xA100, 3, 0xD000, w, DEVICE_NAME_UNITS);
    EXPECT_EQ("PCI-6406 SwitchID=3 I/O=d000H", Narrow(w));
    for (size_t i = 29; i < DEVICE_NAME_UNITS; ++i) EXPECT_EQ(0, w[i]);
    FormatDisplayName(0xFFFF, 2147483647, 0xFFFFFFFF, w, DEVICE_NAME_UNITS);
    EXPECT_EQ(40u, Narrow(w).size());

    EXPECT_TRUE(TextContains(LAYOUT_W("MyTemplate"), TEMPLATE_KEY_PREFIX_W));
    EXPECT_FALSE(TextContains(LAYOUT_W("template3"), TEMPLATE_KEY_PREFIX_W));
    EXPECT_TRUE(TextContains("xDevice", DEVICE_KEY_PREFIX_A));
}

TEST(SettingsTextNumbers, TruncationAndSixteenBits) {
    EXPECT_EQ(4, FloatToWhole16(4.9f));
    EXPECT_EQ(-4, FloatToWhole16(-4.9f));
    EXPECT_EQ(-25536, FloatToWhole16(40000.0f));
    EXPECT_EQ(0, FloatToWhole16(65536.0f));
    EXPECT_EQ(0, FloatToLow16(NAN));
    EXPECT_EQ(0xFFFF, FloatToLow16(-1.5f));
    EXPECT_EQ(2048, FloatToLow16(2048.99f));
}

}  // namespace
