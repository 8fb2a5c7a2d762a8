#include <gtest/gtest.h>

#include "board.h"

namespace {

TEST(BoardTest, RegistersAreByteLanesAndTheSwitchIsReadOnly) {
    sim::Board board(0x3B);
    board.WritePort(2, 2, 0xBEEF);
    board.WritePort(8, 1, 0xE4);
    board.WritePort(20, 1, 0x00);
    EXPECT_EQ(board.DataCode(1), 0xBEEF);
    EXPECT_EQ(board.ReadPort(3, 1), 0xBEu);
    EXPECT_EQ(board.Range(), 0xE4);
    EXPECT_EQ(board.ReadPort(20, 1), 0x3Bu) << "writes do not move the switch";
    EXPECT_EQ(board.ReadPort(30, 4), 0xFFFF0000u) << "ports past the decoded ones read all ones";
    board.WritePort(9, 1, 0);
    board.WritePort(8, 2, 0x00E4);  // a word write covers the strobe's port too
    EXPECT_EQ(board.StrobeCount(), 2u);
}

TEST(BoardTest, LogRecordsEveryAccessUntilTurnedOff) {
    sim::Board board;
    board.ReadPort(20, 1);
    EXPECT_FALSE(board.WroteAnyRegister());
    board.WritePort(15, 1, 1);
    std::vector<sim::Board::Access> log = board.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].offset, 15u);
    EXPECT_TRUE(log[1].write);
    EXPECT_TRUE(board.WroteAnyRegister());
    board.ClearLog();
    board.SetLogging(false);
    board.WritePort(0, 2, 1);
    EXPECT_TRUE(board.Log().empty());
}

TEST(BoardTest, ChannelsDriveTheirCodeOnTheRangeTheirBitsSelect) {
    struct Case {
        int channel;
        WORD data;
        BYTE range;
        WORD code;
        double volts;
    } cases[] = {
        {0, 0, 0x00, 0, 0.0},        {0, 2048, 0x01, 2048, 5.0},   {1, 2048, 0x0C, 2048, 0.0},
        {2, 0, 0x20, 0, -5.0},       {3, 4095, 0xC0, 4095, 10.0 - 20.0 / 4096}, {3, 4464, 0x00, 368, 368 * 5.0 / 4096},
    };
    for (const Case& c : cases) {
        sim::Board board;
        board.WritePort(2 * c.channel, 2, c.data);
        board.WritePort(8, 1, c.range);
        sim::Board::Output out = board.ChannelOutput(c.channel);
        EXPECT_EQ(out.code, c.code) << c.channel << " " << c.data;
        EXPECT_DOUBLE_EQ(out.volts, c.volts) << c.channel << " " << c.data;
    }
    EXPECT_DOUBLE_EQ(sim::Board::Milliamps(2048, 4, 20), 12.0);
    EXPECT_DOUBLE_EQ(sim::Board::Milliamps(4095 + 4096, 0, 20), 20.0 - 20.0 / 4096) << "the low 12 bits";
}

}  // namespace
