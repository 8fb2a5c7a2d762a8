#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ao_output.h"

namespace {

struct Span {
    double low, high;
};
// The six ranges a channel drives: four voltage ranges, two current loops.
const Span SPANS[] = {{0, 5}, {0, 10}, {-5, 5}, {-10, 10}, {4, 20}, {0, 20}};

const double INF = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(TransferTest, EveryCodeOfEveryRangeComesBackFromItsValue) {
    for (const Span& s : SPANS) {
        for (unsigned code = 0; code <= AO_CODE_MAX; ++code) {
            unsigned back = 9999;
            ASSERT_EQ(AoValueToCode(s.low, s.high, AoCodeToValue(s.low, s.high, code), false, &back), AO_VALUE_FITS);
            ASSERT_EQ(back, code) << s.low << ".." << s.high;
        }
    }
}

TEST(TransferTest, EndsHalfStepsAndJustOutside) {
    for (const Span& s : SPANS) {
        const double step = (s.high - s.low) / 4096;
        const double top = s.high - step;
        const double hair = step / 1e6;  // well above the rounding of value - low
        EXPECT_EQ(AoCodeToValue(s.low, s.high, 0), s.low);
        EXPECT_EQ(AoCodeToValue(s.low, s.high, AO_CODE_MAX), top);
        struct Case {
            double value;
            bool clamp;
            AoValueFit fit;
            unsigned code;  // 9999: not written
        } cases[] = {
            {s.low, false, AO_VALUE_FITS, 0},
            {s.low + step / 2, false, AO_VALUE_FITS, 1},  // half a step rounds up
            {s.low + step / 2 - hair, false, AO_VALUE_FITS, 0},
            {top - step / 2, false, AO_VALUE_FITS, AO_CODE_MAX},
            {top - step / 2 - hair, false, AO_VALUE_FITS, AO_CODE_MAX - 1},
            {top + step / 2, false, AO_VALUE_FITS, AO_CODE_MAX},  // the converter's nearest
            {s.high, false, AO_VALUE_FITS, AO_CODE_MAX},
            {std::nextafter(s.low, -INF), false, AO_VALUE_OUTSIDE, 9999},
            {std::nextafter(s.high, INF), false, AO_VALUE_OUTSIDE, 9999},
            {std::nextafter(s.low, -INF), true, AO_VALUE_CLAMPED, 0},
            {std::nextafter(s.high, INF), true, AO_VALUE_CLAMPED, AO_CODE_MAX},
            {NaN, false, AO_VALUE_NOT_FINITE, 9999},
            {NaN, true, AO_VALUE_NOT_FINITE, 9999},  // no end is nearer
            {-NaN, true, AO_VALUE_NOT_FINITE, 9999},
            {INF, false, AO_VALUE_NOT_FINITE, 9999},
            {-INF, false, AO_VALUE_NOT_FINITE, 9999},
            {INF, true, AO_VALUE_CLAMPED, AO_CODE_MAX},
            {-INF, true, AO_VALUE_CLAMPED, 0},
        };
        for (const Case& c : cases) {
            unsigned code = 9999;
            EXPECT_EQ(AoValueToCode(s.low, s.high, c.value, c.clamp, &code), c.fit)
                << s.low << ".." << s.high << " value " << c.value << (c.clamp ? " clamped" : "");
            EXPECT_EQ(code, c.code) << s.low << ".." << s.high << " value " << c.value;
        }
    }
}

TEST(TransferTest, OnlyTheFourVoltagePairsHaveRangeCodes) {
    for (int code = 0; code < RANGE_CODE_COUNT; ++code) {
        EXPECT_EQ(RangeCode(RANGE_CODE_PAIRS[code].VoltageMax, RANGE_CODE_PAIRS[code].VoltageMin), code);
    }
    EXPECT_EQ(RangeCode(20.0f, 4.0f), RANGE_CODE_NONE) << "a current pair is no voltage range";
}

}  // namespace
