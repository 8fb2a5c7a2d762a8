#include "startup_fixture.h"

namespace startup_test {
namespace {

const char* const FOUR_20MA = "     0     5     0    20     4";

DWORD_PTR Handle(DeviceContext* d) { return reinterpret_cast<DWORD_PTR>(d); }

TEST_F(StartupTest, OpensShareTheContextAndOnlyCountHandles) {
    DeviceContext* d = Start(AddBoard());
    ASSERT_NE(d, nullptr);
    SetLastError(1234);
    DWORD_PTR a = AOC_Open(Handle(d), 0, 0);
    DWORD_PTR b = AOC_Open(Handle(d), 0, 0);
    EXPECT_EQ(cesim::OpenKeyCount(), 0u);
    EXPECT_EQ(a, Handle(d));
    EXPECT_EQ(b, Handle(d));
    EXPECT_EQ(d->OpenCount, 2);
    EXPECT_TRUE(AOC_Close(a));
    EXPECT_TRUE(AOC_Close(b));
    EXPECT_EQ(d->OpenCount, 0);
    EXPECT_TRUE(AOC_Close(a)) << "a close without an open still succeeds";
    EXPECT_EQ(d->OpenCount, -1);
    EXPECT_EQ(GetLastError(), 1234u) << "success leaves the thread error alone";
}

TEST_F(StartupTest, EveryOpenReloadsThePublishedSettings) {
    WriteTemplate("Template0", 0, {FOUR_20MA, FOUR_20MA, FOUR_20MA, FOUR_20MA});
    int board = AddBoard();
    DeviceContext* d = Start(board);
    ASSERT_NE(d, nullptr);
    for (AoChannelSetting& s : d->Channels) s = Setting(1, 10, -10, 0, 0);  // as a range request would
    BoardAt(board).ClearLog();
    AOC_Open(Handle(d), 0, 0);
    for (const AoChannelSetting& s : d->Channels) EXPECT_SETTING(s, Setting(0, 5, 0, 20, 4));
    EXPECT_TRUE(BoardAt(board).Log().empty()) << "opening touches no register";
    AOC_Close(Handle(d));
}

TEST_F(StartupTest, StreamCallsWithoutDataReturnTheirFixedResults) {
    DeviceContext* d = Start(AddBoard());
    ASSERT_NE(d, nullptr);
    BYTE buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (DWORD count : {0u, 8u, 0xFFFFFFFFu}) {
        EXPECT_EQ(AOC_Read(Handle(d), buffer, count), 0u);
        EXPECT_EQ(AOC_Write(Handle(d), buffer, count), 0u);
    }
    EXPECT_EQ(AOC_Read(0, nullptr, 5), 0u);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[7], 8);
    for (LONG distance : {0, -1, 0x7FFFFFFF}) EXPECT_EQ(AOC_Seek(Handle(d), distance, 2), 0xFFFFFFFFu);
    AOC_PowerUp(Handle(d));
    AOC_PowerDown(Handle(d));
    BYTE out[4];
    DWORD actual = 0;
    EXPECT_FALSE(AOC_IOControl(Handle(d), 0, nullptr, 0, out, 4, &actual));
}

TEST_F(StartupTest, NullHandlesAreRefusedWithInvalidHandle) {
    struct Case {
        const char* what;
        std::function<bool()> call;
    } cases[] = {
        {"deinit", [] { return AOC_Deinit(0) == FALSE; }},
        {"open", [] { return AOC_Open(0, 0, 0) == 0; }},
        {"close", [] { return AOC_Close(0) == FALSE; }},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_TRUE(c.call()) << c.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << c.what;
    }
}

TEST_F(StartupTest, DeinitFreesTheContextWithHandlesStillOpen) {
    DeviceContext* d = Start(AddBoard());
    ASSERT_NE(d, nullptr);
    AOC_Open(Handle(d), 0, 0);
    size_t live = cesim::LiveLocalAllocations();
    Stop(d);
    EXPECT_EQ(cesim::LiveLocalAllocations(), live - 1);
}

TEST_F(StartupTest, InitFailuresLeaveNothingBehind) {
    struct Case {
        const char* what;
        std::function<void(StartupTest&, int board)> breakIt;
    } cases[] = {
        {"no memory", [](StartupTest&, int) { cesim::InjectFault(cesim::Fault(cesim::Call::LocalAlloc, ERROR_OUTOFMEMORY)); }},
        {"active key names a missing device key",
         [](StartupTest& t, int board) {
             sim::SetString(t.target_->CreateActiveKey(board), TEXT("Key"), TEXT("Drivers\\BuiltIn\\PCI\\Instance\\Gone"),
                            REG_OPTION_VOLATILE);
         }},
        {"device key gone after the first look",
         [](StartupTest& t, int board) {
             cesim::InjectFault(cesim::Fault(cesim::Call::RegOpenKeyEx, ERROR_FILE_NOT_FOUND)
                                    .Key(t.target_->DeviceKey(board))
                                    .Skip(1));
         }},
        {"unreadable PCI identity",
         [](StartupTest& t, int board) { sim::SetString(t.target_->DeviceKey(board), TEXT("DeviceNumber"), TEXT("9"), REG_OPTION_VOLATILE); }},
    };
    for (const Case& c : cases) {
        Reboot();
        cesim::ResetAll();
        size_t sections = cesim::LiveCriticalSections();
        int board = AddBoard();
        c.breakIt(*this, board);
        EXPECT_EQ(Start(board), nullptr) << c.what;
        EXPECT_EQ(cesim::LiveLocalAllocations(), heap_) << c.what;
        EXPECT_EQ(cesim::LiveCriticalSections(), sections) << c.what;
        EXPECT_FALSE(sim::KeyExists(DriverKey(0))) << c.what << ": nothing published";
    }
}

TEST_F(StartupTest, APciIdentityThatIsNotThereIsNoFailure) {
    int board = AddBoard();
    for (const WCHAR* name : {TEXT("DeviceNumber"), TEXT("FunctionNumber"), TEXT("InstanceIndex")}) {
        sim::DeleteValue(target_->DeviceKey(board), name);
    }
    DeviceContext* d = Start(board);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->SlotNumber, 0u);
    EXPECT_EQ(d->InstanceIndex, 0u);
    EXPECT_EQ(d->SubsystemID, 0u);
    EXPECT_EQ(d->BaseAddress, 0xD000u) << "the window is read all the same";
}

// Any one registry call of start-up, open, close and unload may fail: no key
// stays open, nothing leaks, and a context that started still works.
TEST_F(StartupTest, AnyFailingRegistryCallLeavesNoKeyOpen) {
    const cesim::Call calls[] = {cesim::Call::RegOpenKeyEx,    cesim::Call::RegCreateKeyEx,
                                 cesim::Call::RegQueryInfoKey, cesim::Call::RegEnumKeyEx,
                                 cesim::Call::RegQueryValueEx, cesim::Call::RegSetValueEx};
    for (cesim::Call call : calls) {
        for (unsigned skip = 0; skip < 40; ++skip) {
            Reboot();
            cesim::ResetAll();
            WriteTemplate("Template0", 0, {FOUR_20MA});
            sim::CreateKey(DaqKey(0));
            sim::SetDword(DriverKey(3), VALUE_BOARD_ID_W, 107);
            int board = AddBoard();
            WString active = target_->CreateActiveKey(board);
            cesim::InjectFault(cesim::Fault(call, ERROR_ACCESS_DENIED).Skip(skip));
            DWORD_PTR h = AOC_Init(active.c_str(), nullptr);
            ASSERT_EQ(cesim::OpenKeyCount(), 0u) << "init, call " << static_cast<int>(call) << " skip " << skip;
            if (!h) continue;
            EXPECT_EQ(AOC_Open(h, 0, 0), h);
            ASSERT_EQ(cesim::OpenKeyCount(), 0u) << "open, call " << static_cast<int>(call) << " skip " << skip;
            EXPECT_TRUE(AOC_Close(h));
            EXPECT_TRUE(AOC_Deinit(h));
            EXPECT_EQ(cesim::LiveLocalAllocations(), heap_);
        }
    }
}

}  // namespace
}  // namespace startup_test
