// Linked into every Windows test program. Under the tier's 32-bit Wine, a
// process that ends while one of its threads is still starting dies of
// SIGSEGV after its last line of output: ending the process signals every
// other thread, and a thread that has not yet reached Windows code has no %gs
// for the signal handler to load, which then faults again. GoogleTest starts
// such a thread whenever a thread first touches one of its thread-locals
// (SCOPED_TRACE, a failure), so a program that runs one short test often ends
// a moment after. Windows itself ends starting threads without harm: the
// guard only makes the programs wait, as they leave, until every thread they
// started has begun to run.
#include "exit_guard.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>

namespace {

// Threads the loader has announced to this program and that have not left.
// The main thread is never announced. Zero before any constructor runs, so
// threads started by other constructors are counted too.
volatile LONG g_lAnnounced = 0;

void NTAPI Announce(PVOID, DWORD dwReason, PVOID) {
    if (dwReason == DLL_THREAD_ATTACH) InterlockedIncrement(&g_lAnnounced);
    if (dwReason == DLL_THREAD_DETACH) InterlockedDecrement(&g_lAnnounced);
}

void WaitForStartingThreads() {
    // Bounded: a thread created suspended and never resumed must not keep
    // the program from ending.
    const DWORD dwStart = GetTickCount();
    while (AocThreadsNotYetStarted() > 0 && GetTickCount() - dwStart < 5000) Sleep(1);
}

// Registered as the program starts, so it runs after the atexit handlers and
// static destructors registered later, just before the runtime ends the
// process.
struct Install {
    Install() { std::atexit(WaitForStartingThreads); }
} g_install;

}  // namespace

// The loader calls the image's TLS callbacks in each new thread before its
// start routine, and again as the thread leaves.
extern "C" __attribute__((used, section(".CRT$XLB"))) const PIMAGE_TLS_CALLBACK aoc_exit_guard_callback = Announce;

int AocThreadsNotYetStarted() {
    HANDLE hSnapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnapshot == INVALID_HANDLE_VALUE) return 0;
    const DWORD dwProcess = GetCurrentProcessId();
    const DWORD dwSelf = GetCurrentThreadId();
    LONG lOthers = 0;
    THREADENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL bMore = Thread32First(hSnapshot, &entry); bMore; bMore = Thread32Next(hSnapshot, &entry))
        if (entry.th32OwnerProcessID == dwProcess && entry.th32ThreadID != dwSelf) ++lOthers;
    CloseHandle(hSnapshot);
    // Called from the main thread, the others are the threads that can be
    // announced. Called from another thread, the main thread is among the
    // others and the caller among the announced: the two cancel out.
    return static_cast<int>(lOthers - g_lAnnounced);
}
