// Ranges and outputs through aoclib, checked against what the simulated board
// drives from its registers.
#include <cmath>
#include <limits>
#include <random>

#include "aoc_ioctl.h"
#include "app_fixture.h"

namespace apptest {
namespace {

const AocRange SIX[] = {AOC_RANGE_0_TO_5V,   AOC_RANGE_0_TO_10V,  AOC_RANGE_MINUS5_TO_5V,
                        AOC_RANGE_MINUS10_TO_10V, AOC_RANGE_4_TO_20MA, AOC_RANGE_0_TO_20MA};

class OutputsTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        Start({InSlot(3)});
        board_ = OpenByName("AOC1:");
        ASSERT_NE(board_, nullptr);
    }
    // What channel n of the first board drives, as the simulator computes it
    // from the registers: volts, or the loop current on a current range.
    double Drives(int channel, AocUnit unit) {
        sim::Board::Output out = BoardAt(0).ChannelOutput(channel);
        if (unit != AOC_MILLIAMPS) return out.volts;
        AocChannelRange range;
        EXPECT_EQ(AocGetRange(board_, channel, &range), AOC_OK);
        return sim::Board::Milliamps(out.code, range.Low, range.High);
    }
    AocBoard* board_ = nullptr;
};

TEST_F(OutputsTest, EverySetRangeReadsBackAndSelectsTheBoardsRange) {
    const int rangeBits[] = {0, 1, 2, 3, 0, 0};  // current loops ride on 0..5 V
    for (int i = 0; i < 6; ++i) {
        const int channel = i % AOC_CHANNELS;
        ASSERT_EQ(AocSetRange(board_, channel, SIX[i]), AOC_OK) << AocRangeText(SIX[i]);
        AocChannelRange range;
        ASSERT_EQ(AocGetRange(board_, channel, &range), AOC_OK);
        EXPECT_EQ(range.Range, SIX[i]);
        EXPECT_EQ(range.Unit, i >= 4 ? AOC_MILLIAMPS : AOC_VOLTS);
        EXPECT_EQ((BoardAt(0).Range() >> (2 * channel)) & 3, rangeBits[i]) << AocRangeText(SIX[i]);
    }
    EXPECT_EQ(AocSetRange(board_, 4, AOC_RANGE_0_TO_5V), AOC_BAD_ARGUMENT);
    EXPECT_EQ(AocSetRange(board_, 0, AOC_RANGE_OTHER), AOC_BAD_ARGUMENT);
    EXPECT_EQ(AocSetRange(board_, -1, AOC_RANGE_0_TO_5V), AOC_BAD_ARGUMENT);
    AocChannelRange range;
    EXPECT_EQ(AocGetRange(board_, 4, &range), AOC_BAD_ARGUMENT);
}

// The driver keeps what set-range stores; a pair that is none of the six reads
// back as such, and volts or milliamperes have no code on it.
TEST_F(OutputsTest, APairThatIsNoneOfTheSixReadsBackAsItIs) {
    // Another program's request, its record in its own heap.
    HANDLE device = CreateFileW(TEXT("AOC1:"), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    RangeRecord* record = static_cast<RangeRecord*>(LocalAlloc(LPTR, sizeof(RangeRecord)));
    *record = RangeRecord{0, 1234, RANGE_MODE_CURRENT, 2, 17.0f, 3.0f};
    RangeRequest request = {RANGE_REQUEST_SET_GET, sizeof(RangeRecord),
                            static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(record))};
    DWORD count = 0;
    ASSERT_TRUE(DeviceIoControl(device, IOCTL_AO_SET_CHANNEL_RANGE, &request, sizeof request, nullptr, 0, &count,
                                nullptr));

    AocChannelRange range;
    ASSERT_EQ(AocGetRange(board_, 2, &range), AOC_OK);
    EXPECT_EQ(range.Range, AOC_RANGE_OTHER);
    EXPECT_EQ(range.Unit, AOC_MILLIAMPS);
    EXPECT_EQ(range.Low, 3.0);
    EXPECT_EQ(range.High, 17.0);
    AocOutput out;
    EXPECT_EQ(AocWriteMilliamps(board_, 2, 10.0, 0, &out), AOC_RANGE_UNKNOWN);
    EXPECT_EQ(out.Status, AOC_RANGE_UNKNOWN);
    ASSERT_EQ(AocWriteCode(board_, 2, 0x800, 0, &out), AOC_OK) << "a raw code needs no range";
    EXPECT_EQ(out.Unit, AOC_CODE);
    EXPECT_EQ(out.Value, 2048.0);
    EXPECT_EQ(BoardAt(0).DataCode(2), 0x800);

    // Setting one of the six keeps the channel's initial code.
    ASSERT_EQ(AocSetRange(board_, 2, AOC_RANGE_0_TO_10V), AOC_OK);
    *record = RangeRecord{0, 0, 0, 2, 0.0f, 0.0f};
    BYTE reply[RANGE_REPLY_BYTES];
    ASSERT_TRUE(DeviceIoControl(device, IOCTL_AO_GET_CHANNEL_RANGE, &request, sizeof request, reply, sizeof reply,
                                &count, nullptr));
    EXPECT_EQ(record->InitialCode, 1234);
    EXPECT_EQ(record->Maximum, 10.0f);
    LocalFree(record);
    CloseHandle(device);
}

// For random values in every range, what the board drives is the value within
// half a step, and the code and value the call reports are the board's.
TEST_F(OutputsTest, RandomValuesInEveryRangeReachTheBoardWithinHalfAStep) {
    std::mt19937 random(6406);
    for (AocRange r : SIX) {
        const int channel = static_cast<int>(r) % AOC_CHANNELS;
        ASSERT_EQ(AocSetRange(board_, channel, r), AOC_OK);
        AocChannelRange range;
        ASSERT_EQ(AocGetRange(board_, channel, &range), AOC_OK);
        const double step = (range.High - range.Low) / 4096;
        const double top = range.High - step;
        std::uniform_real_distribution<double> values(range.Low, range.High);
        for (int i = 0; i < 300; ++i) {
            // The ends themselves, then values anywhere in the range.
            const double value = i == 0 ? range.Low : i == 1 ? range.High : values(random);
            AocOutput out;
            ASSERT_EQ(AocWrite(board_, channel, value, range.Unit, 0, &out), AOC_OK) << value;
            const double drives = Drives(channel, range.Unit);
            EXPECT_EQ(out.Code, BoardAt(0).ChannelOutput(channel).code);
            EXPECT_EQ(out.Value, drives) << "the call reports what the board drives";
            EXPECT_EQ(out.Unit, range.Unit);
            if (value <= top + step / 2) {
                EXPECT_LE(std::fabs(drives - value), step / 2) << AocRangeText(r) << " " << value;
            } else {
                EXPECT_EQ(drives, top) << "the converter's nearest to " << value;
            }
        }
    }
}

TEST_F(OutputsTest, RefusedValuesWriteNothingUnlessClampingIsAskedFor) {
    ASSERT_EQ(AocSetRange(board_, 1, AOC_RANGE_MINUS5_TO_5V), AOC_OK);
    ASSERT_EQ(AocSetRange(board_, 2, AOC_RANGE_4_TO_20MA), AOC_OK);
    ASSERT_EQ(AocWriteVolts(board_, 1, 1.0, 0, nullptr), AOC_OK);
    const WORD before = BoardAt(0).DataCode(1);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        int channel;
        double value;
        AocUnit unit;
        DWORD flags;
        AocStatus status;
        WORD code;  // written when the status is AOC_OK
    } cases[] = {
        {1, 5.0001, AOC_VOLTS, 0, AOC_VALUE_OUT_OF_RANGE, 0},
        {1, -5.0001, AOC_VOLTS, 0, AOC_VALUE_OUT_OF_RANGE, 0},
        {1, nan, AOC_VOLTS, 0, AOC_VALUE_NOT_FINITE, 0},
        {1, nan, AOC_VOLTS, AOC_CLAMP, AOC_VALUE_NOT_FINITE, 0},
        {1, inf, AOC_VOLTS, 0, AOC_VALUE_NOT_FINITE, 0},
        {1, -inf, AOC_VOLTS, 0, AOC_VALUE_NOT_FINITE, 0},
        {1, 2.0, AOC_MILLIAMPS, 0, AOC_WRONG_UNIT, 0},
        {2, 12.0, AOC_VOLTS, 0, AOC_WRONG_UNIT, 0},
        {2, 3.9, AOC_MILLIAMPS, 0, AOC_VALUE_OUT_OF_RANGE, 0},
        {1, 4096, AOC_CODE, 0, AOC_VALUE_OUT_OF_RANGE, 0},
        {1, 12.5, AOC_CODE, 0, AOC_BAD_ARGUMENT, 0},
        {1, 1.0, static_cast<AocUnit>(3), 0, AOC_BAD_ARGUMENT, 0},  // no unit of the enumeration
        {1, 1.0, AOC_VOLTS, 0x8000, AOC_BAD_ARGUMENT, 0},
        {4, 1.0, AOC_VOLTS, 0, AOC_BAD_ARGUMENT, 0},
        {1, 7.5, AOC_VOLTS, AOC_CLAMP, AOC_OK, 4095},
        {1, -inf, AOC_VOLTS, AOC_CLAMP, AOC_OK, 0},
        {2, 25.0, AOC_MILLIAMPS, AOC_CLAMP, AOC_OK, 4095},
        {1, 70000, AOC_CODE, AOC_CLAMP, AOC_OK, 4095},
    };
    for (const Case& c : cases) {
        AocOutput out;
        out.Status = AOC_SYSTEM_ERROR;
        ASSERT_EQ(AocWrite(board_, c.channel, c.value, c.unit, c.flags, &out), c.status) << c.value;
        EXPECT_EQ(out.Status, c.status);
        if (c.status == AOC_OK) {
            EXPECT_EQ(out.Code, c.code) << c.value;
            EXPECT_EQ(BoardAt(0).DataCode(c.channel), c.code) << c.value;
        } else if (c.channel == 1) {
            EXPECT_EQ(BoardAt(0).DataCode(1), before) << c.value << ": nothing is written";
        }
    }
}

TEST_F(OutputsTest, AllFourChannelsInOneCallEachInItsUnitOrNoneAtAll) {
    ASSERT_EQ(AocSetRange(board_, 0, AOC_RANGE_0_TO_10V), AOC_OK);
    ASSERT_EQ(AocSetRange(board_, 1, AOC_RANGE_MINUS10_TO_10V), AOC_OK);
    ASSERT_EQ(AocSetRange(board_, 2, AOC_RANGE_4_TO_20MA), AOC_OK);
    ASSERT_EQ(AocSetRange(board_, 3, AOC_RANGE_0_TO_5V), AOC_OK);
    AocValue values[AOC_CHANNELS] = {{2.5, AOC_VOLTS}, {-5.0, AOC_VOLTS}, {12.0, AOC_MILLIAMPS}, {0x123, AOC_CODE}};
    AocOutput out[AOC_CHANNELS];
    ASSERT_EQ(AocWriteAll(board_, values, 0, out), AOC_OK);
    const WORD codes[] = {1024, 1024, 2048, 0x123};
    for (int n = 0; n < AOC_CHANNELS; ++n) {
        EXPECT_EQ(out[n].Code, codes[n]) << n;
        EXPECT_EQ(BoardAt(0).DataCode(n), codes[n]) << n;
    }
    EXPECT_EQ(out[2].Value, 12.0);
    EXPECT_EQ(out[2].Unit, AOC_MILLIAMPS);

    AocValue refused[AOC_CHANNELS] = {{1.0, AOC_VOLTS}, {1.0, AOC_VOLTS}, {30.0, AOC_MILLIAMPS}, {1.0, AOC_MILLIAMPS}};
    EXPECT_EQ(AocWriteAll(board_, refused, 0, out), AOC_VALUE_OUT_OF_RANGE) << "the first refused channel's";
    EXPECT_EQ(out[0].Status, AOC_OK);
    EXPECT_EQ(out[2].Status, AOC_VALUE_OUT_OF_RANGE);
    EXPECT_EQ(out[3].Status, AOC_WRONG_UNIT);
    for (int n = 0; n < AOC_CHANNELS; ++n) EXPECT_EQ(BoardAt(0).DataCode(n), codes[n]) << n << ": none written";
    EXPECT_EQ(AocWriteAll(board_, nullptr, 0, out), AOC_BAD_ARGUMENT);
}

TEST_F(OutputsTest, ModeFlagAndStrobeReachTheirRegisters) {
    ASSERT_EQ(AocSetModeFlag(board_, TRUE), AOC_OK);
    EXPECT_EQ(BoardAt(0).Register(sim::REG_AO_MODE_FLAG), 1);
    ASSERT_EQ(AocSetModeFlag(board_, FALSE), AOC_OK);
    EXPECT_EQ(BoardAt(0).Register(sim::REG_AO_MODE_FLAG), 0);
    ASSERT_EQ(AocStrobe(board_), AOC_OK);
    ASSERT_EQ(AocStrobe(board_), AOC_OK);
    EXPECT_EQ(BoardAt(0).StrobeCount(), 2u);
    EXPECT_EQ(AocStrobe(nullptr), AOC_BAD_ARGUMENT);
    EXPECT_EQ(AocSetModeFlag(nullptr, TRUE), AOC_BAD_ARGUMENT);
}

// The driver's refusals arrive as named statuses: a window too short for the
// registers, and a board unloaded under an open handle.
TEST_F(OutputsTest, TheDriversErrorsArriveAsNamedStatuses) {
    sim::BoardConfig shortWindow = InSlot(4);
    shortWindow.ioLength = 10;  // the data and range registers and the strobe, not the mode flag
    Start({shortWindow});
    AocBoard* board = OpenByName("AOC2:");
    ASSERT_NE(board, nullptr);
    EXPECT_EQ(AocWriteVolts(board, 0, 1.0, 0, nullptr), AOC_OK);
    EXPECT_EQ(AocSetModeFlag(board, TRUE), AOC_DRIVER_PORT_OUT_OF_RANGE);
    EXPECT_EQ(AocStrobe(board), AOC_OK);

    T().Unload(1);
    EXPECT_EQ(AocWriteVolts(board, 0, 1.0, 0, nullptr), AOC_BOARD_GONE);
    EXPECT_EQ(AocStrobe(board), AOC_BOARD_GONE);
    Close(board);
}

// Every open makes the driver load the published ranges again; a handle's
// writes follow what the driver holds when this program opened or set since.
TEST_F(OutputsTest, WritesFollowRangesOtherHandlesOfThisProgramChanged) {
    AocBoard* other = OpenByName("AOC1:");
    ASSERT_EQ(AocSetRange(other, 0, AOC_RANGE_0_TO_5V), AOC_OK);
    AocOutput out;
    ASSERT_EQ(AocWriteVolts(board_, 0, 2.5, 0, &out), AOC_OK);
    EXPECT_EQ(out.Code, 2048) << "on the range the other handle set";
    EXPECT_DOUBLE_EQ(BoardAt(0).ChannelOutput(0).volts, 2.5);

    AocBoard* third = OpenByName("AOC1:");  // the driver goes back to the published 0..10 V
    ASSERT_NE(third, nullptr);
    ASSERT_EQ(AocWriteVolts(other, 0, 2.5, 0, &out), AOC_OK);
    EXPECT_EQ(out.Code, 1024);
    EXPECT_DOUBLE_EQ(BoardAt(0).ChannelOutput(0).volts, 2.5);
}

}  // namespace
}  // namespace apptest
