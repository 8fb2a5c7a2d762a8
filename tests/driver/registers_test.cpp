#include <cmath>
#include <limits>

#include "board_fixture.h"

namespace aoctest {
namespace {

TEST(RangeCodeTest, OnlyTheFourExactPairsHaveCodes) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float vmax, vmin;
        int code;
    } cases[] = {
        {5.0f, 0.0f, 0},
        {10.0f, 0.0f, 1},
        {5.0f, -5.0f, 2},
        {10.0f, -10.0f, 3},
        {5.0f, -0.0f, 0},  // IEEE: -0 equals 0
        {10.0f, -5.0f, RANGE_CODE_NONE},
        {0.0f, 0.0f, RANGE_CODE_NONE},  // what a device text of zeros loads
        {std::nextafter(5.0f, 6.0f), 0.0f, RANGE_CODE_NONE},
        {-10.0f, 10.0f, RANGE_CODE_NONE},
        {nan, 0.0f, RANGE_CODE_NONE},
        {10.0f, nan, RANGE_CODE_NONE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RangeCode(c.vmax, c.vmin), c.code) << c.vmax << " " << c.vmin;
    }
}

class RegistersTest : public BoardTest {};

// Each case programs one channel over a register whose other bits must survive.
TEST_F(RegistersTest, StoreChannelRangeMergesOneChannelsBits) {
    struct Case {
        BYTE before;
        WORD channel, mode;
        float maximum, minimum;
        BYTE after;
    } cases[] = {
        {0xFF, 2, RANGE_MODE_VOLTAGE, 5.0f, -5.0f, 0xEF},
        {0xFF, 0, RANGE_MODE_VOLTAGE, 5.0f, 0.0f, 0xFC},
        {0x00, 3, RANGE_MODE_VOLTAGE, 10.0f, -10.0f, 0xC0},
        {0xFF, 1, RANGE_MODE_CURRENT, 20.0f, 4.0f, 0xF3},
        {0x00, 1, 0x8000, 20.0f, 4.0f, 0x00},  // any non-zero mode is current
        {0x5A, 3, RANGE_MODE_VOLTAGE, 10.0f, 0.0f, 0x5A},
        {0x5A, 0, RANGE_MODE_VOLTAGE, 10.0f, -10.0f, 0x5B},
    };
    for (const Case& c : cases) {
        board.bytes[AO_RANGE] = c.before;
        cesim::TakeIoTrace();
        RangeRecord record = Record(c.channel, c.mode, c.maximum, c.minimum);
        EXPECT_TRUE(StoreChannelRange(&device, &record));
        EXPECT_EQ(board.bytes[AO_RANGE], c.after) << "channel " << c.channel;
        auto trace = cesim::TakeIoTrace();
        ASSERT_EQ(trace.size(), 2u);
        EXPECT_FALSE(trace[0].write);
        EXPECT_TRUE(trace[1].write);
        EXPECT_EQ(trace[1].port, kBase + AO_RANGE);
    }
}

TEST_F(RegistersTest, StoreChannelRangeStoresTheSettingByMode) {
    device.Channels[1] = Setting(9, 5.0f, 0.0f, 20.0f, 4.0f);
    RangeRecord voltage = Record(1, RANGE_MODE_VOLTAGE, 10.0f, -10.0f, 2048);
    ASSERT_TRUE(StoreChannelRange(&device, &voltage));
    EXPECT_TRUE(SameSetting(device.Channels[1], Setting(2048, 10.0f, -10.0f, 0.0f, 0.0f)));

    RangeRecord current = Record(1, RANGE_MODE_CURRENT, 20.0f, 4.0f, 7);
    ASSERT_TRUE(StoreChannelRange(&device, &current));
    EXPECT_TRUE(SameSetting(device.Channels[1], Setting(7, 5.0f, 0.0f, 20.0f, 4.0f)));
}

TEST_F(RegistersTest, ChannelAboveThreeChangesNothing) {
    board.bytes[AO_RANGE] = 0x36;
    DeviceContext before = device;
    for (WORD channel : {4, 5, 0xFFFF}) {
        RangeRecord record = Record(channel, RANGE_MODE_VOLTAGE, 5.0f, -5.0f);
        EXPECT_FALSE(StoreChannelRange(&device, &record));
        EXPECT_TRUE(WriteChannelOutput(&device, channel, 1234));
    }
    EXPECT_TRUE(cesim::TakeIoTrace().empty());
    EXPECT_EQ(board.bytes[AO_RANGE], 0x36);
    for (int n = 0; n < AO_CHANNEL_COUNT; ++n) EXPECT_TRUE(SameSetting(device.Channels[n], before.Channels[n]));
}

TEST_F(RegistersTest, WriteChannelOutputProgramsRangeThenWritesTheValueUnmasked) {
    device.Channels[3] = Setting(0, 5.0f, -5.0f);
    board.bytes[AO_RANGE] = 0x00;
    for (WORD value : {2048, 5000, 0xFFFF}) {
        ASSERT_TRUE(WriteChannelOutput(&device, 3, value));
        auto trace = cesim::TakeIoTrace();
        ASSERT_EQ(trace.size(), 3u);
        EXPECT_EQ(trace[1].port, kBase + AO_RANGE);
        EXPECT_EQ(trace[1].value, 0x80u);
        EXPECT_EQ(trace[2].port, kBase + AO_DATA_3);
        EXPECT_EQ(trace[2].width, 2);
        EXPECT_EQ(board.Word(AO_DATA_3), value);
    }
}

// A stored pair the board has no range for (a hand-edited device key) keeps
// the channel on the range it has and still writes the value.
TEST_F(RegistersTest, StoredPairWithoutCodeLeavesRangeRegisterAlone) {
    board.bytes[AO_RANGE] = 0xA5;
    device.Channels[2] = Setting(0, 0.0f, 0.0f);
    ASSERT_TRUE(WriteChannelOutput(&device, 2, 100));
    auto trace = cesim::TakeIoTrace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].port, kBase + AO_DATA_2);
    EXPECT_EQ(board.bytes[AO_RANGE], 0xA5);
    EXPECT_EQ(board.Word(AO_DATA_2), 100);
}

// The port number is 16 bits: a base near the top of the space wraps.
TEST_F(RegistersTest, PortNumbersWrapModulo65536) {
    device.BaseAddress = 0xFFFC;
    device.Channels[2] = Setting(0, 10.0f, 0.0f);
    ASSERT_TRUE(WriteChannelOutput(&device, 2, 1));
    auto trace = cesim::TakeIoTrace();
    ASSERT_EQ(trace.size(), 3u);
    EXPECT_EQ(trace[0].port, 0x0004);  // AO_RANGE
    EXPECT_EQ(trace[2].port, 0x0000);  // AO_DATA_2
    device.BaseAddress = 0x0001FFFC;   // only the low 16 bits of the sum count
    EXPECT_EQ(BoardPort(&device, AO_RANGE), 0x0004);
}

}  // namespace
}  // namespace aoctest
