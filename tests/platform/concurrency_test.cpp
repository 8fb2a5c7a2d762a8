// The pieces of the stand-in that threads share: the registry, critical
// sections and the I/O space. Run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "ce_sim.h"

namespace {

using cesim::WString;

const int THREADS = 4;
const int ROUNDS = 300;

WString Path(int thread) { return TEXT("Stress\\T") + WString(1, static_cast<WCHAR>(TEXT('0') + thread)); }

TEST(PlatformConcurrency, RegistryKeepsEveryThreadsWrites) {
    cesim::ResetAll();
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([t] {
            WString path = Path(t);
            for (DWORD i = 0; i < ROUNDS; ++i) {
                HKEY key = nullptr;
                ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr),
                          ERROR_SUCCESS);
                ASSERT_EQ(RegSetValueExW(key, TEXT("Count"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&i), 4), ERROR_SUCCESS);
                DWORD back = 0, size = 4;
                ASSERT_EQ(RegQueryValueExW(key, TEXT("count"), nullptr, nullptr, reinterpret_cast<BYTE*>(&back), &size),
                          ERROR_SUCCESS);
                EXPECT_EQ(back, i);
                HKEY parent = nullptr;
                ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("Stress"), 0, 0, &parent), ERROR_SUCCESS);
                DWORD subKeys = 0;
                RegQueryInfoKeyW(parent, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr);
                EXPECT_GE(subKeys, 1u);
                RegCloseKey(parent);
                RegCloseKey(key);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(cesim::OpenKeyCount(), 0u);
    for (int t = 0; t < THREADS; ++t) {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, Path(t).c_str(), 0, 0, &key), ERROR_SUCCESS);
        DWORD back = 0, size = 4;
        RegQueryValueExW(key, TEXT("Count"), nullptr, nullptr, reinterpret_cast<BYTE*>(&back), &size);
        EXPECT_EQ(back, static_cast<DWORD>(ROUNDS - 1));
        RegCloseKey(key);
    }
    cesim::ResetAll();
}

TEST(PlatformConcurrency, CriticalSectionSerialisesReadModifyWrite) {
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    long counter = 0;  // deliberately unsynchronised but for the section
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < ROUNDS * 10; ++i) {
                EnterCriticalSection(&cs);
                long v = counter;
                counter = v + 1;
                LeaveCriticalSection(&cs);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(counter, THREADS * ROUNDS * 10L);
    DeleteCriticalSection(&cs);
}

// Counts accesses; its own state is atomic, as a device model's must be.
class Counter : public cesim::IoDevice {
public:
    DWORD ReadPort(DWORD, int) override { return ++reads; }
    void WritePort(DWORD, int, DWORD) override { ++writes; }
    std::atomic<DWORD> reads{0}, writes{0};
};

TEST(PlatformConcurrency, IoSpaceServesAccessesWhileDevicesComeAndGo) {
    Counter steady, transient;
    ASSERT_TRUE(cesim::AttachIoDevice(&steady, 0xD000, 0x20));
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop) {
            cesim::AttachIoDevice(&transient, 0xE000, 0x20);
            cesim::DetachIoDevice(&transient);
        }
    });
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < ROUNDS * 10; ++i) {
                __outword(0xD000, static_cast<USHORT>(i));
                __inbyte(0xD008);
                __inbyte(0xE000);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    stop = true;
    churn.join();
    cesim::DetachIoDevice(&steady);
    EXPECT_EQ(steady.writes.load(), static_cast<DWORD>(THREADS * ROUNDS * 10));
    EXPECT_EQ(steady.reads.load(), static_cast<DWORD>(THREADS * ROUNDS * 10));
}

// A driver whose IOControl holds each caller until released, counting those inside.
std::atomic<int> g_inside{0};
std::atomic<bool> g_release{false};
BOOL HoldingIoControl(DWORD_PTR, DWORD, BYTE*, DWORD, BYTE*, DWORD, DWORD*) {
    ++g_inside;
    while (!g_release) std::this_thread::yield();
    --g_inside;
    return TRUE;
}
DWORD_PTR OpenAny(DWORD_PTR context, DWORD, DWORD) { return context; }

bool WaitFor(const std::function<bool()>& condition) {
    for (int i = 0; i < 5000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return condition();
}

TEST(PlatformConcurrency, StreamCallsRunTogetherAndADeviceLeavesOnlyOnceTheyEnd) {
    cesim::StreamEntries entries = {};
    entries.Open = &OpenAny;
    entries.IOControl = &HoldingIoControl;
    ASSERT_TRUE(cesim::RegisterStreamDevice(TEXT("TST1:"), entries, 1));
    HANDLE h = CreateFileW(TEXT("TST1:"), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    g_release = false;
    std::vector<std::thread> callers;
    for (int t = 0; t < THREADS; ++t) {
        callers.emplace_back([h] { EXPECT_TRUE(DeviceIoControl(h, 1, nullptr, 0, nullptr, 0, nullptr, nullptr)); });
    }
    EXPECT_TRUE(WaitFor([] { return g_inside == THREADS; })) << "the device manager serialises no driver";
    std::atomic<bool> left{false};
    std::thread unload([&] {
        cesim::DeregisterStreamDevice(TEXT("TST1:"));
        left = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(left) << "the driver may not go while calls are inside it";
    g_release = true;
    for (std::thread& t : callers) t.join();
    unload.join();
    EXPECT_TRUE(left);
    EXPECT_TRUE(CloseHandle(h));
}

}  // namespace
