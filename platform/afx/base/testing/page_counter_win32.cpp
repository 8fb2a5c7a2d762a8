// Test programs on Windows keep the kernel's page allocator but count its
// blocks and fail a call on request, as the stand-in's allocator does
// elsewhere. The programs are linked with --wrap for the two imports, so every
// call in them comes through here on its way to the kernel.
#include <mutex>
#include <unordered_set>

#include "../afx_fault_internal.h"

extern "C" {
extern decltype(&VirtualAlloc) __real___imp_VirtualAlloc;
extern decltype(&VirtualFree) __real___imp_VirtualFree;
}

namespace {

std::mutex g_blockLock;
std::unordered_set<void*>& Blocks() {
    static std::unordered_set<void*> blocks;
    return blocks;
}

LPVOID WINAPI CountedVirtualAlloc(LPVOID lpAddress, SIZE_T dwSize, DWORD flAllocationType, DWORD flProtect) {
    DWORD dwError = ERROR_SUCCESS;
    if (AfxFaultFires(AFX_FAULT_PAGE_ALLOC, &dwError, nullptr)) {
        SetLastError(dwError);
        return nullptr;
    }
    LPVOID p = __real___imp_VirtualAlloc(lpAddress, dwSize, flAllocationType, flProtect);
    if (p && !lpAddress) {
        std::lock_guard<std::mutex> hold(g_blockLock);
        Blocks().insert(p);
    }
    return p;
}

BOOL WINAPI CountedVirtualFree(LPVOID lpAddress, SIZE_T dwSize, DWORD dwFreeType) {
    BOOL bFreed = __real___imp_VirtualFree(lpAddress, dwSize, dwFreeType);
    if (bFreed && (dwFreeType & MEM_RELEASE)) {
        std::lock_guard<std::mutex> hold(g_blockLock);
        Blocks().erase(lpAddress);
    }
    return bFreed;
}

}  // namespace

extern "C" {
decltype(&VirtualAlloc) __wrap___imp_VirtualAlloc = CountedVirtualAlloc;
decltype(&VirtualFree) __wrap___imp_VirtualFree = CountedVirtualFree;
}

size_t AfxLivePageBlocks() {
    std::lock_guard<std::mutex> hold(g_blockLock);
    return Blocks().size();
}
