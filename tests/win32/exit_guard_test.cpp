// The exit guard's count of threads not yet started: the guard waits on it
// as a test program leaves, so it must see a thread from its creation until
// it runs, and no longer once it has left.
#include "exit_guard.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

struct Gates {
    HANDLE hRunning = CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE hRelease = CreateEventA(NULL, TRUE, FALSE, NULL);
    ~Gates() {
        CloseHandle(hRunning);
        CloseHandle(hRelease);
    }
};

DWORD WINAPI RunUntilReleased(void* pParam) {
    Gates* pGates = static_cast<Gates*>(pParam);
    SetEvent(pGates->hRunning);
    WaitForSingleObject(pGates->hRelease, INFINITE);
    return 0;
}

// Threads GoogleTest itself starts may still be starting.
bool Settles() {
    const DWORD dwStart = GetTickCount();
    while (AocThreadsNotYetStarted() != 0) {
        if (GetTickCount() - dwStart > 5000) return false;
        Sleep(1);
    }
    return true;
}

TEST(ExitGuard, CountsAThreadFromItsCreationUntilItRuns) {
    ASSERT_TRUE(Settles());
    Gates gates;
    HANDLE hThread = CreateThread(NULL, 0, RunUntilReleased, &gates, CREATE_SUSPENDED, NULL);
    ASSERT_NE(hThread, (HANDLE)NULL);
    EXPECT_EQ(AocThreadsNotYetStarted(), 1);

    ResumeThread(hThread);
    ASSERT_EQ(WaitForSingleObject(gates.hRunning, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(AocThreadsNotYetStarted(), 0);

    SetEvent(gates.hRelease);
    WaitForSingleObject(hThread, INFINITE);
    CloseHandle(hThread);
}

// A thread that has left must not count as started either, or it would hide
// the next one still starting.
TEST(ExitGuard, ForgetsThreadsThatHaveLeft) {
    ASSERT_TRUE(Settles());
    for (int i = 0; i < 4; ++i) {
        Gates gates;
        SetEvent(gates.hRelease);
        HANDLE hThread = CreateThread(NULL, 0, RunUntilReleased, &gates, 0, NULL);
        ASSERT_NE(hThread, (HANDLE)NULL);
        WaitForSingleObject(hThread, INFINITE);
        CloseHandle(hThread);
    }
    EXPECT_EQ(AocThreadsNotYetStarted(), 0);

    Gates gates;
    HANDLE hThread = CreateThread(NULL, 0, RunUntilReleased, &gates, CREATE_SUSPENDED, NULL);
    ASSERT_NE(hThread, (HANDLE)NULL);
    EXPECT_EQ(AocThreadsNotYetStarted(), 1);
    SetEvent(gates.hRelease);
    ResumeThread(hThread);
    WaitForSingleObject(hThread, INFINITE);
    CloseHandle(hThread);
}

}  // namespace
