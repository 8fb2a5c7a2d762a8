#include <afx_fault.h>
#include <afx_types.h>
#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(PageAllocator, GivesZeroFilledBlocksAndRefusesWhatItDoesNotOffer) {
    AfxResetFaults();
    const size_t nBefore = AfxLivePageBlocks();
    auto* p = static_cast<unsigned char*>(VirtualAlloc(nullptr, 5000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(p[i], 0) << i;
    EXPECT_EQ(AfxLivePageBlocks(), nBefore + 1);

    struct Case {
        LPVOID lpAddress;
        SIZE_T dwSize;
        DWORD flType;
        DWORD flProtect;
        DWORD dwError;
    } cases[] = {
        {nullptr, 0, MEM_COMMIT, PAGE_READWRITE, ERROR_INVALID_PARAMETER},
        {nullptr, 16, MEM_RESERVE, PAGE_READWRITE, ERROR_INVALID_PARAMETER},
        {nullptr, 16, MEM_COMMIT, 0x02, ERROR_INVALID_PARAMETER},
        {p, 16, MEM_COMMIT, PAGE_READWRITE, ERROR_INVALID_ADDRESS},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(VirtualAlloc(c.lpAddress, c.dwSize, c.flType, c.flProtect), nullptr);
        EXPECT_EQ(GetLastError(), c.dwError);
    }

    AfxFailCall(AFX_FAULT_PAGE_ALLOC, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(VirtualAlloc(nullptr, 16, MEM_COMMIT, PAGE_READWRITE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));

    EXPECT_FALSE(VirtualFree(p, 5000, MEM_RELEASE));  // release takes size 0
    EXPECT_FALSE(VirtualFree(p + 1, 0, MEM_RELEASE));
    EXPECT_TRUE(VirtualFree(p, 0, MEM_RELEASE));
    EXPECT_FALSE(VirtualFree(p, 0, MEM_RELEASE));
    EXPECT_EQ(AfxLivePageBlocks(), nBefore);
}

TEST(LastError, BelongsToEachThread) {
    SetLastError(ERROR_DISK_FULL);
    DWORD dwOther = 1;
    std::thread([&] { dwOther = GetLastError(); SetLastError(ERROR_ACCESS_DENIED); }).join();
    EXPECT_EQ(dwOther, 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
}

}  // namespace
