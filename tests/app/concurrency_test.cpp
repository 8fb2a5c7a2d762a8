// Several threads on one board's handle and on two boards at once. Run under
// ThreadSanitizer.
#include <thread>

#include "app_fixture.h"

namespace apptest {
namespace {

class AppConcurrency : public AppTest {};

const int ROUNDS = 200;
// Each channel its own range, and the value every thread ends on.
const AocRange RANGES[AOC_CHANNELS] = {AOC_RANGE_0_TO_10V, AOC_RANGE_MINUS5_TO_5V, AOC_RANGE_4_TO_20MA,
                                       AOC_RANGE_MINUS10_TO_10V};
const AocValue LAST[AOC_CHANNELS] = {{2.5, AOC_VOLTS}, {-2.5, AOC_VOLTS}, {12.0, AOC_MILLIAMPS}, {5.0, AOC_VOLTS}};
const WORD LAST_CODES[AOC_CHANNELS] = {1024, 1024, 2048, 3072};
const BYTE RANGE_BITS = 0xC9;  // range codes 1, 2, 0, 3 from channel 0 up

TEST_F(AppConcurrency, ThreadsWriteTheirOwnChannelsOfOneBoardAndOfTwo) {
    Start({InSlot(3), InSlot(4, 1)});
    AocBoard* boards[2] = {OpenByName("AOC1:"), OpenByName("AOC2:")};
    for (AocBoard* b : boards) {
        ASSERT_NE(b, nullptr);
        for (int n = 0; n < AOC_CHANNELS; ++n) ASSERT_EQ(AocSetRange(b, n, RANGES[n]), AOC_OK);
    }
    std::vector<std::thread> threads;
    for (AocBoard* b : boards) {
        for (int n = 0; n < AOC_CHANNELS; ++n) {
            threads.emplace_back([b, n] {
                AocChannelRange range;
                EXPECT_EQ(AocGetRange(b, n, &range), AOC_OK);
                for (int i = 0; i < ROUNDS; ++i) {
                    double value = range.Low + (range.High - range.Low) * i / ROUNDS;
                    EXPECT_EQ(AocWrite(b, n, value, range.Unit, 0, nullptr), AOC_OK);
                }
                EXPECT_EQ(AocWrite(b, n, LAST[n].Value, LAST[n].Unit, 0, nullptr), AOC_OK);
            });
        }
    }
    for (std::thread& t : threads) t.join();
    for (size_t board = 0; board < 2; ++board) {
        for (int n = 0; n < AOC_CHANNELS; ++n) EXPECT_EQ(BoardAt(board).DataCode(n), LAST_CODES[n]) << board << n;
        EXPECT_EQ(BoardAt(board).Range(), RANGE_BITS) << "no thread lost another's range bits";
    }
}

// Ranges set and read on one handle while other threads write through it: each
// write is converted on the range the driver holds as it is written.
TEST_F(AppConcurrency, RangesChangeWhileOtherThreadsWrite) {
    Start({InSlot(3)});
    AocBoard* board = OpenByName("AOC1:");
    ASSERT_NE(board, nullptr);
    for (int n = 1; n < AOC_CHANNELS; ++n) ASSERT_EQ(AocSetRange(board, n, RANGES[n]), AOC_OK);
    std::vector<std::thread> threads;
    threads.emplace_back([board] {
        for (int i = 0; i < ROUNDS; ++i) {
            AocRange range = i % 2 ? AOC_RANGE_0_TO_5V : AOC_RANGE_0_TO_10V;
            EXPECT_EQ(AocSetRange(board, 0, range), AOC_OK);
            AocOutput out;
            EXPECT_EQ(AocWriteVolts(board, 0, 2.5, 0, &out), AOC_OK);
            EXPECT_EQ(out.Code, range == AOC_RANGE_0_TO_5V ? 2048 : 1024);
        }
    });
    for (int n = 1; n < AOC_CHANNELS; ++n) {
        threads.emplace_back([board, n] {
            for (int i = 0; i < ROUNDS; ++i) {
                EXPECT_EQ(AocWrite(board, n, LAST[n].Value, LAST[n].Unit, 0, nullptr), AOC_OK);
                AocChannelRange range;
                EXPECT_EQ(AocGetRange(board, n, &range), AOC_OK);
                EXPECT_EQ(range.Range, RANGES[n]);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (int n = 1; n < AOC_CHANNELS; ++n) EXPECT_EQ(BoardAt(0).DataCode(n), LAST_CODES[n]) << n;
    EXPECT_EQ(BoardAt(0).DataCode(0), 2048);
    EXPECT_EQ(BoardAt(0).ChannelOutput(0).volts, 2.5);
}

}  // namespace
}  // namespace apptest
