// The device manager's stream-device calls, against a driver that records
// what reaches it.
#include <gtest/gtest.h>

#include <cstring>

#include "ce_sim.h"
#include "fake_stream_driver.h"

namespace {

using cesim::WString;
using aoctest::FakeStreamDriver;

class StreamDevicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        cesim::ResetAll();
        handles_ = cesim::OpenStreamHandles();
        ASSERT_TRUE(driver_.Register(TEXT("AOC1:")));
    }
    void TearDown() override {
        cesim::DeregisterStreamDevice(TEXT("AOC1:"));
        EXPECT_EQ(cesim::OpenStreamHandles(), handles_);
    }
    HANDLE Open(const WCHAR* name) {
        return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    FakeStreamDriver driver_;
    size_t handles_ = 0;
};

TEST_F(StreamDevicesTest, TheThreeCallsReachTheDriversEntryPointsWithItsContexts) {
    HANDLE h = Open(TEXT("aoc1:"));
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "names compare without regard to case";
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(driver_.opens, 1);
    EXPECT_EQ(driver_.openedContext, FakeStreamDriver::DEVICE_CONTEXT);
    EXPECT_EQ(driver_.access, static_cast<DWORD>(GENERIC_READ | GENERIC_WRITE));
    EXPECT_EQ(driver_.share, static_cast<DWORD>(FILE_SHARE_READ));
    EXPECT_NE(reinterpret_cast<DWORD_PTR>(h), FakeStreamDriver::OPEN_CONTEXT) << "the handle is the kernel's";
    HANDLE second = Open(TEXT("AOC1:"));
    EXPECT_NE(second, h);
    EXPECT_EQ(cesim::OpenStreamHandles(), handles_ + 2);

    BYTE in[3] = {1, 2, 3}, out[5] = {};
    DWORD count = 0;
    driver_.result = TRUE;
    driver_.error = 0x2000000A;
    SetLastError(0);
    EXPECT_TRUE(DeviceIoControl(h, 0xDC7FF884, in, sizeof in, out, sizeof out, &count, nullptr));
    EXPECT_EQ(driver_.ioContext, FakeStreamDriver::OPEN_CONTEXT);
    EXPECT_EQ(driver_.code, 0xDC7FF884u);
    EXPECT_EQ(driver_.in, in);
    EXPECT_EQ(driver_.inLength, 3u);
    EXPECT_EQ(driver_.out, out);
    EXPECT_EQ(driver_.outLength, 5u);
    EXPECT_EQ(driver_.count, &count);
    EXPECT_EQ(GetLastError(), 0x2000000Au) << "the driver's thread error reaches the caller";
    driver_.result = FALSE;
    EXPECT_FALSE(DeviceIoControl(h, 7, nullptr, 0, nullptr, 0, nullptr, nullptr)) << "its result too";
    EXPECT_EQ(driver_.count, nullptr);

    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(driver_.closes, 1);
    EXPECT_EQ(driver_.closedContext, FakeStreamDriver::OPEN_CONTEXT);
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(DeviceIoControl(h, 7, in, 1, nullptr, 0, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(driver_.ioCalls, 2) << "a closed handle reaches nothing";
    EXPECT_TRUE(CloseHandle(second));
}

TEST_F(StreamDevicesTest, NamesNoDeviceHoldsAreNotFound) {
    struct Case {
        const WCHAR* name;
        DWORD error;
    } cases[] = {
        {TEXT("AOC2:"), ERROR_FILE_NOT_FOUND}, {TEXT("AOC1"), ERROR_FILE_NOT_FOUND},
        {TEXT("AOC1: "), ERROR_FILE_NOT_FOUND}, {TEXT(""), ERROR_FILE_NOT_FOUND},
        {nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(Open(c.name), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(driver_.opens, 0);
    EXPECT_FALSE(DeviceIoControl(nullptr, 7, nullptr, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST_F(StreamDevicesTest, ARefusedOpenGivesNoHandleAndKeepsTheDriversError) {
    driver_.openResult = 0;
    driver_.error = ERROR_ACCESS_DENIED;
    SetLastError(0);
    EXPECT_EQ(Open(TEXT("AOC1:")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(cesim::OpenStreamHandles(), handles_);
}

TEST_F(StreamDevicesTest, HandlesOutliveTheirDeviceButReachItNoMore) {
    HANDLE h = Open(TEXT("AOC1:"));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(driver_.Register(TEXT("Aoc1:"))) << "one device a name";
    cesim::DeregisterStreamDevice(TEXT("AOC1:"));
    SetLastError(0);
    EXPECT_FALSE(DeviceIoControl(h, 7, nullptr, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE_STATE));
    EXPECT_EQ(Open(TEXT("AOC1:")), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(driver_.ioCalls, 0);
    EXPECT_EQ(driver_.closes, 0) << "the driver is gone";
    ASSERT_TRUE(driver_.Register(TEXT("AOC1:"))) << "the name is free again";
}

TEST(LocalHeapTest, CallerRecordsInLocalBlocksMapToThemselves) {
    cesim::ResetAll();
    const DWORD bytes = 20;
    BYTE* block = static_cast<BYTE*>(LocalAlloc(LPTR, bytes));
    ASSERT_NE(block, nullptr);
    const ULONG_PTR address = reinterpret_cast<ULONG_PTR>(block);
    EXPECT_EQ(address >> 16 >> 16, 0u) << "below 4 GB, so a DWORD carries it";
    EXPECT_EQ(address % 8, 0u) << "aligned for a double";
    struct Case {
        DWORD offset, length;
        bool mapped;
    } cases[] = {{0, bytes, true}, {4, 16, true}, {bytes, 0, true}, {0, bytes + 1, false}, {19, 2, false}};
    for (const Case& c : cases) {
        LPVOID caller = reinterpret_cast<LPVOID>(static_cast<DWORD_PTR>(static_cast<DWORD>(address) + c.offset));
        EXPECT_EQ(MapCallerPtr(caller, c.length), c.mapped ? block + c.offset : nullptr)
            << c.offset << "+" << c.length;
    }
    EXPECT_EQ(MapCallerPtr(block - 1, 2), nullptr);
    LocalFree(block);
    EXPECT_EQ(MapCallerPtr(block, 1), nullptr) << "a freed block is nobody's";
}

#if !defined(_WIN32)
TEST(LocalHeapDeathTest, RunningOffABlocksEndFaults) {
    BYTE* block = static_cast<BYTE*>(LocalAlloc(LPTR, 32));
    ASSERT_NE(block, nullptr);
    EXPECT_DEATH(block[32] = 1, "");
    LocalFree(block);
}
#endif

}  // namespace
