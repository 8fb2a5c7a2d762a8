// The kernel services of afx_types.h for hosts without them: the thread's last
// error and the page allocator.
//
// Blocks are exactly as long as asked for rather than rounded up to pages, so
// that AddressSanitizer sees a run past the end of a block; callers must not
// rely on the slack that real pages would give them.
#include <cstdlib>
#include <mutex>
#include <unordered_set>
#include <sys/stat.h>

#include "afx_types.h"

namespace {

thread_local DWORD t_dwLastError = ERROR_SUCCESS;

std::mutex g_blockLock;
std::unordered_set<void*>& Blocks() {
    static std::unordered_set<void*> blocks;
    return blocks;
}

}  // namespace

// A handle here is the descriptor CFile holds.
extern "C" DWORD GetFileType(HANDLE hFile) {
    struct stat st;
    if (fstat(static_cast<int>(reinterpret_cast<intptr_t>(hFile)), &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FILE_TYPE_UNKNOWN;
    }
    SetLastError(ERROR_SUCCESS);
    if (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)) return FILE_TYPE_DISK;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return FILE_TYPE_CHAR;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return FILE_TYPE_PIPE;
    return FILE_TYPE_UNKNOWN;
}

extern "C" DWORD GetLastError(void) { return t_dwLastError; }

extern "C" void SetLastError(DWORD dwErrCode) { t_dwLastError = dwErrCode; }

// Only the fresh committed read-write blocks that the configuration library
// asks for; reserving address ranges or placing blocks is not offered.
extern "C" LPVOID VirtualAlloc(LPVOID lpAddress, SIZE_T dwSize, DWORD flAllocationType, DWORD flProtect) {
    DWORD dwError = ERROR_SUCCESS;
    if (lpAddress != nullptr) {
        dwError = ERROR_INVALID_ADDRESS;
    } else if (dwSize == 0 || !(flAllocationType & MEM_COMMIT) ||
               (flAllocationType & ~static_cast<DWORD>(MEM_COMMIT | MEM_RESERVE)) || flProtect != PAGE_READWRITE) {
        dwError = ERROR_INVALID_PARAMETER;
    } else if (void* p = std::calloc(1, dwSize)) {
        std::lock_guard<std::mutex> hold(g_blockLock);
        Blocks().insert(p);
        return p;
    } else {
        dwError = ERROR_NOT_ENOUGH_MEMORY;
    }
    SetLastError(dwError);
    return nullptr;
}

extern "C" BOOL VirtualFree(LPVOID lpAddress, SIZE_T dwSize, DWORD dwFreeType) {
    DWORD dwError = ERROR_SUCCESS;
    if (dwFreeType != MEM_RELEASE || dwSize != 0) {
        dwError = ERROR_INVALID_PARAMETER;
    } else {
        std::lock_guard<std::mutex> hold(g_blockLock);
        if (Blocks().erase(lpAddress) == 0) dwError = ERROR_INVALID_ADDRESS;
    }
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        return FALSE;
    }
    std::free(lpAddress);
    return TRUE;
}
