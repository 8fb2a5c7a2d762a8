#include "settings_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
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

// Texts from the layout's examples and hostile ones. Each is parsed by our
// scanner and by the C library with the same format; every field must agree.
const char* const kTexts[] = {
    "     0    10   -10     0     0",
    "     0     5     0    20     4",
    "  2048    10   -10     0     0",
    " 0 10.00 -10.00 0.00 0.00",
    " 2048 5.00 -5.00 0.00 0.00",
    " 0 5.00 0.00 20.00 4.00",
    "",
    "    ",
    "abc",
    "-",
    "+",
    "+-5",
    "--5",
    "1e",
    "1e+",
    "1e+5 2E-3 3e9 4e-9",
    "1.e5",
    ".",
    "-.",
    ".5 5. -.5 +5.",
    "0x",
    "0x1p3 0X.8P1 0x1p 0xg",
    "0x1.8",
    "inf -inf INF infinity",
    "infin",
    "infx",
    "nan NAN nan(1) nan(",
    "0x. 0x.p1 0xp1 0x.g -0x.",
    "0x1.p 1E+ 5.e .e5 -.e 0x-1 1e5.5 00x1",
    "infinity1 INFINITY -nan +inf 0x1P-2",
    "-nan",
    "1e-50 1e38 9e99 -9e99",
    "\t\n12\v34\f56\r78 90",
    "123456789 1234567890123",
    "99999999999999999999 -99999999999999999999",
    "4294967296 -4294967296 4294967295",
    "9223372036854775807 9223372036854775808 -9223372036854775808 -9223372036854775809",
    "-1 -0 +0 00000000007",
    "12 34 abc 56",
    "1,2,3,4,5",
    "12-34+56.7.8",
    "\xa0" "5 6",
    "5\xff 6",
    "123456 7 8 9 10 11",
    "-10.00-10.00-10.00",
    "4.9 -4.9 0.001 99999 100000",
};

template <class Ch>
void ExpectTemplateAgrees(const std::string& text, const Ch* subject, ScanWidth width) {
    const char* format = width == SCAN_WIDTH_FIVE ? " %5u %5ld %5ld %5ld %5ld" : " %u %ld %ld %ld %ld";
    TemplateTextNumbers ref = {111u, 222, 333, 444, 555};
    TemplateTextNumbers ours = ref;
    int refCount = std::sscanf(text.c_str(), format, &ref.InitialCode, &ref.VoltageMax, &ref.VoltageMin,
                               &ref.CurrentMax, &ref.CurrentMin);
    if (refCount < 0) refCount = 0;
    int count = ParseTemplateText(subject, 4096, width, ours);
    EXPECT_EQ(refCount, count);
    EXPECT_EQ(ref.InitialCode, ours.InitialCode);
    EXPECT_EQ(ref.VoltageMax, ours.VoltageMax);
    EXPECT_EQ(ref.VoltageMin, ours.VoltageMin);
    EXPECT_EQ(ref.CurrentMax, ours.CurrentMax);
    EXPECT_EQ(ref.CurrentMin, ours.CurrentMin);
}

template <class Ch>
void ExpectDeviceAgrees(const std::string& text, const Ch* subject) {
    float ref[5] = {1.5f, 2.5f, 3.5f, 4.5f, 5.5f};
    int refCount = std::sscanf(text.c_str(), " %5f %5f %5f %5f %5f", &ref[0], &ref[1], &ref[2], &ref[3], &ref[4]);
    if (refCount < 0) refCount = 0;
    AoChannelSetting ours = {7, 2.5f, 3.5f, 4.5f, 5.5f};
    int count = ParseDeviceText(subject, 4096, ours);
    EXPECT_EQ(refCount, count);
    EXPECT_EQ(refCount >= 1 ? FloatToLow16(ref[0]) : 7, ours.InitialCode);
    const float got[4] = {ours.VoltageMax, ours.VoltageMin, ours.CurrentMax, ours.CurrentMin};
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(SameFloat(ref[i + 1], got[i])) << "field " << i + 1 << ": " << got[i];
}

TEST(SettingsTextScan, AgreesWithTheCLibraryFieldByField) {
    for (const char* t : kTexts) {
        std::string text = t;
#if defined(_WIN32)
        // mingw-w64's scanf reads these malformed hexadecimal constants its own
        // way; the scanner reads them as glibc does.
        if (text == "0x. 0x.p1 0xp1 0x.g -0x.") continue;
#endif
        auto wide = Widen(text);
        SCOPED_TRACE("text \"" + text + "\"");
        ExpectTemplateAgrees(text, text.c_str(), SCAN_WIDTH_FIVE);
        ExpectTemplateAgrees(text, text.c_str(), SCAN_ANY_WIDTH);
        ExpectTemplateAgrees(text, wide.c_str(), SCAN_WIDTH_FIVE);
        ExpectTemplateAgrees(text, wide.c_str(), SCAN_ANY_WIDTH);
        ExpectDeviceAgrees(text, text.c_str());
        ExpectDeviceAgrees(text, wide.c_str());
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
