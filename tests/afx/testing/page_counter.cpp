// Test programs count the page allocator's blocks and fail a call on request.
// The linker sends the program's calls of VirtualAlloc and VirtualFree here
// (--wrap, see CMakeLists.txt) on their way to the real ones: the stand-in's
// on POSIX hosts, the kernel's on Windows, where the calls go through the
// import table's pointers, so the pointers are what is wrapped.
#include <atomic>

#include "fault_internal.h"

#if defined(_WIN32)
// The i686 link names: a C symbol's leading underscore, stdcall's argument bytes.
extern decltype(&VirtualAlloc) RealVirtualAlloc __asm__("___real__imp__VirtualAlloc@16");
extern decltype(&VirtualFree) RealVirtualFree __asm__("___real__imp__VirtualFree@12");
#else
extern "C" LPVOID __real_VirtualAlloc(LPVOID lpAddress, SIZE_T dwSize, DWORD flAllocationType, DWORD flProtect);
extern "C" BOOL __real_VirtualFree(LPVOID lpAddress, SIZE_T dwSize, DWORD dwFreeType);
#define RealVirtualAlloc __real_VirtualAlloc
#define RealVirtualFree __real_VirtualFree
#endif

namespace {

std::atomic<size_t> g_nLiveBlocks{0};

LPVOID WINAPI CountedVirtualAlloc(LPVOID lpAddress, SIZE_T dwSize, DWORD flAllocationType, DWORD flProtect) {
    DWORD dwError = ERROR_SUCCESS;
    if (AfxFaultFires(AFX_FAULT_PAGE_ALLOC, &dwError, nullptr)) {
        SetLastError(dwError);
        return nullptr;
    }
    LPVOID p = RealVirtualAlloc(lpAddress, dwSize, flAllocationType, flProtect);
    if (p && !lpAddress) ++g_nLiveBlocks;
    return p;
}

BOOL WINAPI CountedVirtualFree(LPVOID lpAddress, SIZE_T dwSize, DWORD dwFreeType) {
    BOOL bFreed = RealVirtualFree(lpAddress, dwSize, dwFreeType);
    if (bFreed && (dwFreeType & MEM_RELEASE)) --g_nLiveBlocks;
    return bFreed;
}

}  // namespace

#if defined(_WIN32)
extern decltype(&VirtualAlloc) WrapVirtualAlloc __asm__("___wrap__imp__VirtualAlloc@16");
extern decltype(&VirtualFree) WrapVirtualFree __asm__("___wrap__imp__VirtualFree@12");
decltype(&VirtualAlloc) WrapVirtualAlloc = CountedVirtualAlloc;
decltype(&VirtualFree) WrapVirtualFree = CountedVirtualFree;
#else
extern "C" LPVOID __wrap_VirtualAlloc(LPVOID lpAddress, SIZE_T dwSize, DWORD flAllocationType, DWORD flProtect) {
    return CountedVirtualAlloc(lpAddress, dwSize, flAllocationType, flProtect);
}
extern "C" BOOL __wrap_VirtualFree(LPVOID lpAddress, SIZE_T dwSize, DWORD dwFreeType) {
    return CountedVirtualFree(lpAddress, dwSize, dwFreeType);
}
#endif

size_t AfxLivePageBlocks() { return g_nLiveBlocks; }
