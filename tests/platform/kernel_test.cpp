#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "ce_sim.h"

namespace {

class KernelTest : public ::testing::Test {
protected:
    void SetUp() override { cesim::ResetAll(); }
    void TearDown() override { cesim::ResetAll(); }
};

TEST_F(KernelTest, LocalAllocZeroFillsOnlyWhenAsked) {
    size_t live = cesim::LiveLocalAllocations();
    BYTE* zeroed = static_cast<BYTE*>(LocalAlloc(LPTR, 64));
    BYTE* raw = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, 64));
    ASSERT_TRUE(zeroed && raw);
    EXPECT_EQ(cesim::LiveLocalAllocations(), live + 2);
    BYTE zeros[64] = {};
    EXPECT_EQ(std::memcmp(zeroed, zeros, 64), 0);
    EXPECT_NE(std::memcmp(raw, zeros, 64), 0) << "unrequested zero fill would hide reliance on it";
    EXPECT_EQ(LocalFree(zeroed), nullptr);
    EXPECT_EQ(LocalFree(raw), nullptr);
    EXPECT_EQ(cesim::LiveLocalAllocations(), live);
}

TEST_F(KernelTest, LocalFreeRefusesWhatItDidNotHandOut) {
    int local = 0;
    SetLastError(0);
    EXPECT_EQ(LocalFree(&local), &local);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HLOCAL block = LocalAlloc(LPTR, 8);
    EXPECT_EQ(LocalFree(block), nullptr);
    EXPECT_EQ(LocalFree(block), block) << "a second free is refused";
    EXPECT_EQ(LocalFree(nullptr), nullptr);
}

TEST_F(KernelTest, InjectedFaultsSkipThenFailThenStop) {
    struct Case {
        unsigned skip, times;
        const char* expected;  // per call: s = succeeds, f = fails
    } cases[] = {
        {0, 1, "fsss"},
        {2, 1, "ssfs"},
        {1, 2, "sffs"},
        {1, 0, "sfff"},
    };
    for (const Case& c : cases) {
        cesim::ClearFaults();
        cesim::InjectFault(cesim::Fault(cesim::Call::LocalAlloc, ERROR_OUTOFMEMORY).Skip(c.skip).Times(c.times));
        std::string got;
        for (int i = 0; i < 4; ++i) {
            SetLastError(0);
            HLOCAL p = LocalAlloc(LPTR, 4);
            got += p ? 's' : 'f';
            if (!p) {
                EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OUTOFMEMORY));
            }
            LocalFree(p);
        }
        EXPECT_EQ(got, c.expected) << "skip " << c.skip << " times " << c.times;
        EXPECT_EQ(cesim::FaultsDelivered(), static_cast<unsigned>(std::count(got.begin(), got.end(), 'f')));
    }
}

TEST_F(KernelTest, LastErrorBelongsToEachThread) {
    SetLastError(42);
    DWORD seen = 1;
    std::thread other([&] {
        seen = GetLastError();
        SetLastError(7);
    });
    other.join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), 42u);
}

TEST_F(KernelTest, CriticalSectionIsRecursiveAndTracksItsOwner) {
    size_t live = cesim::LiveCriticalSections();
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EXPECT_EQ(cesim::LiveCriticalSections(), live + 1);
    EXPECT_FALSE(cesim::IsCriticalSectionOwned(&cs));
    EnterCriticalSection(&cs);
    EnterCriticalSection(&cs);
    bool ownedElsewhere = true;
    std::thread([&] { ownedElsewhere = cesim::IsCriticalSectionOwned(&cs); }).join();
    EXPECT_FALSE(ownedElsewhere);
    LeaveCriticalSection(&cs);
    EXPECT_TRUE(cesim::IsCriticalSectionOwned(&cs)) << "still held once";
    LeaveCriticalSection(&cs);
    EXPECT_FALSE(cesim::IsCriticalSectionOwned(&cs));
    DeleteCriticalSection(&cs);
    EXPECT_EQ(cesim::LiveCriticalSections(), live);
}

TEST_F(KernelTest, CriticalSectionMisuseStopsTheProgram) {
    CRITICAL_SECTION never;
    std::memset(&never, 0, sizeof(never));
    EXPECT_DEATH(EnterCriticalSection(&never), "not initialised");
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);
    EXPECT_DEATH(LeaveCriticalSection(&cs), "does not hold it");
    DeleteCriticalSection(&cs);
}

TEST_F(KernelTest, DisableThreadLibraryCallsRemembersTheModule) {
    int module = 0;
    EXPECT_FALSE(cesim::ThreadLibraryCallsDisabled(&module));
    EXPECT_TRUE(DisableThreadLibraryCalls(&module));
    EXPECT_TRUE(cesim::ThreadLibraryCallsDisabled(&module));
    EXPECT_FALSE(DisableThreadLibraryCalls(nullptr));
}

}  // namespace
