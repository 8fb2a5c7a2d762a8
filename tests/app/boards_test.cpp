// Finding boards from the driver's published keys and opening one by call
// name, device number or switch number.
#include <cstring>

#include "app_fixture.h"

namespace apptest {
namespace {

class BoardsTest : public AppTest {};

std::string Names(const AocBoardInfo* boards, DWORD count) {
    std::string names;
    for (DWORD i = 0; i < count; ++i) names += std::string(i ? " " : "") + boards[i].CallName;
    return names;
}

TEST_F(BoardsTest, FindsEveryLoadedBoardAsItsDeviceKeyHoldsIt) {
    WriteTemplate(0, 3, {"     0    10   -10     0     0", "     0     5     0    20     4",
                         "     0     5     0    20     0", "     0    10    -5     0     0"});
    sim::BoardConfig wide = InSlot(4, 3);
    wide.bus = 1;
    wide.ioLength = 0x40;
    Start({InSlot(3), wide, InSlot(5, 7)});
    AocBoardInfo boards[AOC_MAX_BOARDS];
    DWORD found = 0;
    ASSERT_EQ(AocFindBoards(boards, AOC_MAX_BOARDS, &found), AOC_OK);
    ASSERT_EQ(found, 3u);
    EXPECT_EQ(Names(boards, found), "AOC1: AOC2: AOC3:");
    const AocBoardInfo& b = boards[1];
    EXPECT_EQ(b.DeviceNumber, 1);
    EXPECT_EQ(b.BusNumber, 1u);
    EXPECT_EQ(b.SlotNumber, 4u);
    EXPECT_EQ(b.SwitchNumber, 3u);
    EXPECT_EQ(b.IoBase, 0xD300u);
    EXPECT_EQ(b.IoLength, 0x40u);
    struct Expected {
        AocRange range;
        AocUnit unit;
        double low, high;
    } channels[] = {{AOC_RANGE_MINUS10_TO_10V, AOC_VOLTS, -10, 10},
                    {AOC_RANGE_4_TO_20MA, AOC_MILLIAMPS, 4, 20},
                    {AOC_RANGE_0_TO_20MA, AOC_MILLIAMPS, 0, 20},
                    {AOC_RANGE_OTHER, AOC_VOLTS, -5, 10}};  // a pair the board has no range for
    for (int n = 0; n < AOC_CHANNELS; ++n) {
        EXPECT_EQ(b.Channels[n].Range, channels[n].range) << n;
        EXPECT_EQ(b.Channels[n].Unit, channels[n].unit) << n;
        EXPECT_EQ(b.Channels[n].Low, channels[n].low) << n;
        EXPECT_EQ(b.Channels[n].High, channels[n].high) << n;
    }
    EXPECT_EQ(boards[0].Channels[0].Range, AOC_RANGE_0_TO_10V) << "no template: the driver's default";
    EXPECT_EQ(boards[2].SwitchNumber, 7u);

    // Counting, and an array too short for all.
    ASSERT_EQ(AocFindBoards(nullptr, 0, &found), AOC_MORE_BOARDS);
    EXPECT_EQ(found, 3u);
    std::memset(boards, 0, sizeof boards);
    ASSERT_EQ(AocFindBoards(boards, 2, &found), AOC_MORE_BOARDS);
    EXPECT_EQ(Names(boards, 2), "AOC1: AOC2:");
    EXPECT_EQ(boards[2].CallName[0], 0) << "nothing past the capacity";
    EXPECT_EQ(AocFindBoards(boards, 1, nullptr), AOC_BAD_ARGUMENT);
    EXPECT_EQ(AocFindBoards(nullptr, 1, &found), AOC_BAD_ARGUMENT);
}

// A key left from a board no longer in the machine, and a loaded board the
// driver could not publish: neither is a board the library finds.
TEST_F(BoardsTest, OnlyPublishedBoardsThatAreLoadedNowAreFound) {
    AocBoardInfo boards[AOC_MAX_BOARDS];
    DWORD found = 99;
    ASSERT_EQ(AocFindBoards(boards, AOC_MAX_BOARDS, &found), AOC_OK) << "nothing published yet";
    EXPECT_EQ(found, 0u);

    Start({InSlot(3), InSlot(4)});
    target_ = std::make_unique<sim::Target>();  // a restart without the board of slot 3
    // The board of slot 5 is loaded, but the driver cannot write its key.
    cesim::InjectFault(cesim::Fault(cesim::Call::RegCreateKeyEx).Key(WString(DRIVER_SERVICE_KEY_W) + TEXT("\\Device002")));
    Start({InSlot(4), InSlot(5)});
    ASSERT_EQ(AocFindBoards(boards, AOC_MAX_BOARDS, &found), AOC_OK);
    ASSERT_EQ(found, 1u) << Names(boards, found);
    EXPECT_EQ(boards[0].DeviceNumber, 1);
    EXPECT_EQ(boards[0].SlotNumber, 4u);
    EXPECT_STREQ(boards[0].CallName, "AOC1:") << "the name it has now, not the one of its first start";

    AocBoard* board = reinterpret_cast<AocBoard*>(1);
    EXPECT_EQ(AocOpenByName("AOC2:", &board), AOC_NO_BOARD) << "the device is there, unpublished";
    EXPECT_EQ(board, nullptr);
    EXPECT_EQ(AocOpenByDeviceNumber(0, &board), AOC_NO_BOARD) << "the key of the board that left";
    HANDLE device = CreateFileW(TEXT("AOC2:"), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(device, INVALID_HANDLE_VALUE);
    CloseHandle(device);
}

TEST_F(BoardsTest, OpensByNameNumberOrSwitchAndRefusesASharedSwitch) {
    Start({InSlot(3), InSlot(4, 2), InSlot(5, 6), InSlot(6, 6)});
    struct Case {
        const char* what;
        AocStatus (*open)(AocBoard**);
        AocStatus status;
        const char* callName;
    } cases[] = {
        {"name", [](AocBoard** b) { return AocOpenByName("AOC2:", b); }, AOC_OK, "AOC2:"},
        {"name in lower case", [](AocBoard** b) { return AocOpenByName("aoc3:", b); }, AOC_OK, "AOC3:"},
        {"device number", [](AocBoard** b) { return AocOpenByDeviceNumber(3, b); }, AOC_OK, "AOC4:"},
        {"switch", [](AocBoard** b) { return AocOpenBySwitch(2, b); }, AOC_OK, "AOC2:"},
        {"no switch is switch 0", [](AocBoard** b) { return AocOpenBySwitch(0, b); }, AOC_OK, "AOC1:"},
        {"shared switch", [](AocBoard** b) { return AocOpenBySwitch(6, b); }, AOC_SWITCH_SHARED, nullptr},
        {"unused switch", [](AocBoard** b) { return AocOpenBySwitch(9, b); }, AOC_NO_BOARD, nullptr},
        {"unknown name", [](AocBoard** b) { return AocOpenByName("AOC5:", b); }, AOC_NO_BOARD, nullptr},
        {"a name without its colon", [](AocBoard** b) { return AocOpenByName("AOC1", b); }, AOC_NO_BOARD, nullptr},
        {"unknown number", [](AocBoard** b) { return AocOpenByDeviceNumber(4, b); }, AOC_NO_BOARD, nullptr},
        {"negative number", [](AocBoard** b) { return AocOpenByDeviceNumber(-1, b); }, AOC_NO_BOARD, nullptr},
        {"no name", [](AocBoard** b) { return AocOpenByName(nullptr, b); }, AOC_BAD_ARGUMENT, nullptr},
    };
    for (const Case& c : cases) {
        AocBoard* board = nullptr;
        ASSERT_EQ(c.open(&board), c.status) << c.what;
        if (!c.callName) {
            EXPECT_EQ(board, nullptr) << c.what;
            EXPECT_EQ(cesim::OpenStreamHandles(), handles_) << c.what << ": no device opened";
            continue;
        }
        AocBoardInfo info;
        ASSERT_EQ(AocGetBoardInfo(board, &info), AOC_OK);
        EXPECT_STREQ(info.CallName, c.callName) << c.what;
        EXPECT_EQ(AocClose(board), AOC_OK);
    }
    EXPECT_EQ(AocOpenBySwitch(2, nullptr), AOC_BAD_ARGUMENT);
    EXPECT_EQ(AocClose(nullptr), AOC_BAD_ARGUMENT);
    EXPECT_EQ(AocGetBoardInfo(nullptr, nullptr), AOC_BAD_ARGUMENT);
}

TEST_F(BoardsTest, AFailedOpenSaysWhyAndLeavesNothingBehind) {
    Start({InSlot(3)});
    AocBoard* board = nullptr;
    cesim::InjectFault(cesim::Fault(cesim::Call::LocalAlloc, ERROR_OUTOFMEMORY));
    EXPECT_EQ(AocOpenByName("AOC1:", &board), AOC_NO_MEMORY);
    cesim::InjectFault(cesim::Fault(cesim::Call::RegOpenKeyEx, ERROR_ACCESS_DENIED).Key(DRIVER_SERVICE_KEY_W));
    EXPECT_EQ(AocOpenByName("AOC1:", &board), AOC_REGISTRY_ERROR);
    // The device goes between the look-up and the open.
    cesim::DeregisterStreamDevice(TEXT("AOC1:"));
    SetLastError(0);
    EXPECT_EQ(AocOpenByName("AOC1:", &board), AOC_OPEN_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "the system's reason stays";
    EXPECT_EQ(board, nullptr);
    cesim::RegisterStreamDevice(TEXT("AOC1:"), *T().Entries(0), T().DeviceContext(0));
}

}  // namespace
}  // namespace apptest
