#include "number_text.h"

#include <gtest/gtest.h>

namespace {

// The tools' one reading of a number: C's notations, the whole word, and
// nothing the C runtime lets pass before the digits.
TEST(NumberTextTest, AWordIsANumberOnlyWhenAllOfItIsOne) {
    struct Case {
        const char* word;
        unsigned long long max;
        bool ok;
        uint32_t value;
    } cases[] = {
        {"0", 0xFFFFFFFF, true, 0},
        {"4096", 0xFFFFFFFF, true, 4096},
        {"0x1F", 0xFFFFFFFF, true, 0x1F},
        {"0XfF", 0xFFFFFFFF, true, 0xFF},
        {"017", 0xFFFFFFFF, true, 15},
        {"0xFFFFFFFF", 0xFFFFFFFF, true, 0xFFFFFFFF},
        {"0x100000000", 0xFFFFFFFF, false, 0},
        {"99999999999999999999999", 0xFFFFFFFF, false, 0},
        {"31", 31, true, 31},
        {"32", 31, false, 0},
        {"", 31, false, 0},
        {" 5", 31, false, 0},
        {"\t5", 31, false, 0},
        {"+5", 31, false, 0},
        {"-0", 31, false, 0},
        {"5 ", 31, false, 0},
        {"5x", 31, false, 0},
        {"08", 31, false, 0},
        {"0x", 31, false, 0},
    };
    for (const Case& c : cases) {
        uint32_t value = 12345;
        EXPECT_EQ(ParseUnsigned(c.word, c.max, value), c.ok) << '"' << c.word << '"';
        EXPECT_EQ(value, c.ok ? c.value : 12345u) << '"' << c.word << '"';
    }
}

}  // namespace
