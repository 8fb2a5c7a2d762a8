// What aoclib knows without a board: statuses in words, the driver's thread
// errors, range words and the transfer function on each range.
#include <gtest/gtest.h>

#include <limits>
#include <set>
#include <string>

#include "aoc_ioctl.h"
#include "aoclib.h"

namespace {

TEST(LibraryTest, EveryStatusHasASentenceOfItsOwn) {
    std::set<std::string> sentences;
    for (int s = AOC_OK; s <= AOC_SYSTEM_ERROR; ++s) {
        std::string text = AocStatusText(static_cast<AocStatus>(s));
        EXPECT_GT(text.size(), 3u) << s;
        EXPECT_TRUE(sentences.insert(text).second) << "shared: " << text;
    }
    EXPECT_STREQ(AocStatusText(static_cast<AocStatus>(99)), "an unknown status");
    EXPECT_NE(std::string(AocStatusText(AOC_SWITCH_SHARED)).find("switch number"), std::string::npos);
}

TEST(LibraryTest, ThreadErrorsMapToNamedStatuses) {
    struct Case {
        DWORD error;
        AocStatus status;
    } cases[] = {
        {DRIVER_THREAD_ERROR(ERR_NO_DEVICE), AOC_DRIVER_NO_DEVICE},
        {DRIVER_THREAD_ERROR(ERR_BAD_ARGUMENT), AOC_DRIVER_BAD_ARGUMENT},
        {DRIVER_THREAD_ERROR(ERR_PORT_OUT_OF_RANGE), AOC_DRIVER_PORT_OUT_OF_RANGE},
        {0x20000007, AOC_DRIVER_ERROR},
        {0, AOC_DRIVER_REFUSED},
        {ERROR_INVALID_HANDLE_STATE, AOC_BOARD_GONE},
        {ERROR_INVALID_HANDLE, AOC_SYSTEM_ERROR},
        {ERR_BAD_ARGUMENT, AOC_SYSTEM_ERROR},  // a bare 10 is the system's ERROR_BAD_ENVIRONMENT
    };
    for (const Case& c : cases) EXPECT_EQ(AocStatusOfThreadError(c.error), c.status) << std::hex << c.error;
}

TEST(LibraryTest, RangeWordsReadBackWithOrWithoutTheBlank) {
    for (int r = AOC_RANGE_0_TO_5V; r < AOC_RANGE_OTHER; ++r) {
        AocRange back = AOC_RANGE_OTHER;
        ASSERT_EQ(AocParseRange(AocRangeText(static_cast<AocRange>(r)), &back), AOC_OK);
        EXPECT_EQ(back, r);
    }
    struct Case {
        const char* text;
        AocStatus status;
        AocRange range;
    } cases[] = {{"-10..10V", AOC_OK, AOC_RANGE_MINUS10_TO_10V}, {"4..20MA", AOC_OK, AOC_RANGE_4_TO_20MA},
                 {"0..5v", AOC_OK, AOC_RANGE_0_TO_5V},          {"0..5", AOC_BAD_ARGUMENT, AOC_RANGE_OTHER},
                 {"0..5 V ", AOC_BAD_ARGUMENT, AOC_RANGE_OTHER}, {"0 ~ 5V", AOC_BAD_ARGUMENT, AOC_RANGE_OTHER},
                 {"", AOC_BAD_ARGUMENT, AOC_RANGE_OTHER}};
    for (const Case& c : cases) {
        AocRange range = AOC_RANGE_OTHER;
        EXPECT_EQ(AocParseRange(c.text, &range), c.status) << c.text;
        EXPECT_EQ(range, c.range) << c.text;
    }
    EXPECT_STREQ(AocRangeText(AOC_RANGE_OTHER), "another range");
}

// The public face of the one transfer function: its ends on every range, and
// raw codes.
TEST(LibraryTest, ValuesAndCodesOnEachRange) {
    struct Case {
        AocRange range;
        AocUnit unit;
        double low, top;
    } cases[] = {{AOC_RANGE_0_TO_5V, AOC_VOLTS, 0, 5 - 5.0 / 4096},
                 {AOC_RANGE_0_TO_10V, AOC_VOLTS, 0, 10 - 10.0 / 4096},
                 {AOC_RANGE_MINUS5_TO_5V, AOC_VOLTS, -5, 5 - 10.0 / 4096},
                 {AOC_RANGE_MINUS10_TO_10V, AOC_VOLTS, -10, 10 - 20.0 / 4096},
                 {AOC_RANGE_4_TO_20MA, AOC_MILLIAMPS, 4, 20 - 16.0 / 4096},
                 {AOC_RANGE_0_TO_20MA, AOC_MILLIAMPS, 0, 20 - 20.0 / 4096}};
    for (const Case& c : cases) {
        double value = 0;
        AocUnit unit = AOC_CODE;
        ASSERT_EQ(AocCodeToValue(c.range, 0, &value, &unit), AOC_OK);
        EXPECT_EQ(value, c.low);
        EXPECT_EQ(unit, c.unit);
        ASSERT_EQ(AocCodeToValue(c.range, AOC_CODE_MAX, &value, &unit), AOC_OK);
        EXPECT_EQ(value, c.top);
        WORD code = 0;
        EXPECT_EQ(AocValueToCode(c.range, c.top, c.unit, 0, &code), AOC_OK);
        EXPECT_EQ(code, AOC_CODE_MAX);
        EXPECT_EQ(AocValueToCode(c.range, c.low, c.unit == AOC_VOLTS ? AOC_MILLIAMPS : AOC_VOLTS, 0, &code),
                  AOC_WRONG_UNIT);
    }
    double value;
    AocUnit unit;
    EXPECT_EQ(AocCodeToValue(AOC_RANGE_0_TO_5V, 4096, &value, &unit), AOC_BAD_ARGUMENT);
    EXPECT_EQ(AocCodeToValue(AOC_RANGE_OTHER, 0, &value, &unit), AOC_BAD_ARGUMENT);
    WORD code = 7;
    EXPECT_EQ(AocValueToCode(AOC_RANGE_OTHER, 1.0, AOC_VOLTS, 0, &code), AOC_BAD_ARGUMENT);
    EXPECT_EQ(AocValueToCode(AOC_RANGE_0_TO_5V, 4095, AOC_CODE, 0, &code), AOC_OK);
    EXPECT_EQ(code, 4095);
    EXPECT_EQ(AocValueToCode(AOC_RANGE_0_TO_5V, -1, AOC_CODE, 0, &code), AOC_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(AocValueToCode(AOC_RANGE_0_TO_5V, -1, AOC_CODE, AOC_CLAMP, &code), AOC_OK);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(AocValueToCode(AOC_RANGE_0_TO_5V, std::numeric_limits<double>::quiet_NaN(), AOC_CODE, AOC_CLAMP, &code),
              AOC_VALUE_NOT_FINITE);
}

}  // namespace
