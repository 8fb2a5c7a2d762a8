// Local heap, critical sections, thread errors and the loader's thread
// notifications.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_set>
#if !defined(_WIN32)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "internal.h"

namespace {

// ---- Local heap ---------------------------------------------------------------

struct Block {
    size_t bytes;
    void* mapping;  // what the block was cut from (natively); its length
    size_t mappingBytes;
};
std::mutex g_heapMutex;
std::map<uintptr_t, Block> g_blocks;  // by address

// Blocks taken without LMEM_ZEROINIT hold this pattern, so code that relies on
// zero-filled memory it never asked for shows up.
const int UNINITIALISED_FILL = 0xCD;
// Blocks are aligned for any of the platform's types.
const size_t BLOCK_ALIGNMENT = 16;

// Every address of a CE process lies below 4 GB, and target code hands
// addresses to drivers as DWORDs (a RangeRequest's record): natively each
// block gets pages of its own there. It ends where a page nobody may touch
// begins, so running off its end faults at once.
Block NewBlock(size_t bytes, void** at) {
    Block block = {bytes, nullptr, 0};
#if defined(_WIN32)
    *at = std::malloc(bytes);
#else
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    const size_t rounded = (bytes + BLOCK_ALIGNMENT - 1) & ~(BLOCK_ALIGNMENT - 1);
    block.mappingBytes = (rounded + page - 1) / page * page + page;
    block.mapping = mmap(nullptr, block.mappingBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT,
                         -1, 0);
    if (block.mapping == MAP_FAILED) {
        *at = nullptr;
        return block;
    }
    BYTE* guard = static_cast<BYTE*>(block.mapping) + block.mappingBytes - page;
    mprotect(guard, page, PROT_NONE);
    *at = guard - rounded;
#endif
    return block;
}

void DropBlock(void* at, const Block& block) {
#if defined(_WIN32)
    (void)block;
    std::free(at);
#else
    (void)at;
    munmap(block.mapping, block.mappingBytes);
#endif
}

// ---- Critical sections ----------------------------------------------------------

const DWORD SECTION_TAG = 0x43534543;  // marks an initialised section

struct Section {
    std::recursive_mutex mutex;
    std::atomic<std::thread::id> owner{};
    unsigned depth = 0;  // touched by the owner only
};

std::atomic<size_t> g_sections{0};

[[noreturn]] void Fatal(const char* what) {
    std::fprintf(stderr, "coredll: %s\n", what);
    std::abort();
}

Section* SectionOf(const CRITICAL_SECTION* cs, const char* call) {
    if (!cs || cs->DebugTag != SECTION_TAG || !cs->Opaque) {
        std::fprintf(stderr, "coredll: %s on a critical section that is not initialised\n", call);
        std::abort();
    }
    return static_cast<Section*>(cs->Opaque);
}

// ---- Thread errors and loader -------------------------------------------------

thread_local DWORD t_lastError = 0;

std::mutex g_moduleMutex;
std::unordered_set<HMODULE> g_quietModules;

}  // namespace

CE_API HLOCAL LocalAlloc(UINT uFlags, UINT uBytes) {
    if (uFlags & ~static_cast<UINT>(LPTR)) {
        SetLastError(ERROR_INVALID_PARAMETER);  // only fixed blocks are offered
        return nullptr;
    }
    LONG error = 0;
    if (cesim::detail::TakeFault(cesim::Call::LocalAlloc, {}, {}, error)) {
        SetLastError(static_cast<DWORD>(error));
        return nullptr;
    }
    size_t size = uBytes ? uBytes : 1;
    void* at = nullptr;
    Block block = NewBlock(size, &at);
    if (!at) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::memset(at, (uFlags & LMEM_ZEROINIT) ? 0 : UNINITIALISED_FILL, size);
    std::lock_guard<std::mutex> lock(g_heapMutex);
    g_blocks[reinterpret_cast<uintptr_t>(at)] = block;
    return at;
}

CE_API HLOCAL LocalFree(HLOCAL hMem) {
    if (!hMem) return nullptr;
    Block block;
    {
        std::lock_guard<std::mutex> lock(g_heapMutex);
        auto it = g_blocks.find(reinterpret_cast<uintptr_t>(hMem));
        if (it == g_blocks.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return hMem;
        }
        block = it->second;
        g_blocks.erase(it);
    }
    DropBlock(hMem, block);
    return nullptr;
}

CE_API void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    lpCriticalSection->Opaque = new Section;
    lpCriticalSection->DebugTag = SECTION_TAG;
    ++g_sections;
}

CE_API void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    Section* s = SectionOf(lpCriticalSection, "DeleteCriticalSection");
    std::thread::id owner = s->owner.load();
    if (owner != std::thread::id() && owner != std::this_thread::get_id()) {
        Fatal("DeleteCriticalSection while another thread holds it");
    }
    if (owner == std::this_thread::get_id()) {
        for (; s->depth; --s->depth) s->mutex.unlock();
    }
    delete s;
    lpCriticalSection->Opaque = nullptr;
    lpCriticalSection->DebugTag = 0;
    --g_sections;
}

CE_API void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    Section* s = SectionOf(lpCriticalSection, "EnterCriticalSection");
    s->mutex.lock();
    s->owner.store(std::this_thread::get_id());
    ++s->depth;
}

CE_API void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    Section* s = SectionOf(lpCriticalSection, "LeaveCriticalSection");
    if (s->owner.load() != std::this_thread::get_id()) {
        Fatal("LeaveCriticalSection by a thread that does not hold it");
    }
    if (--s->depth == 0) s->owner.store(std::thread::id());
    s->mutex.unlock();
}

CE_API LONG InterlockedIncrement(LONG volatile* lpAddend) {
    return __atomic_add_fetch(lpAddend, 1, __ATOMIC_SEQ_CST);
}

CE_API LONG InterlockedDecrement(LONG volatile* lpAddend) {
    return __atomic_sub_fetch(lpAddend, 1, __ATOMIC_SEQ_CST);
}

CE_API void SetLastError(DWORD dwErrCode) { t_lastError = dwErrCode; }

CE_API DWORD GetLastError(void) { return t_lastError; }

CE_API BOOL DisableThreadLibraryCalls(HMODULE hLibModule) {
    if (!hLibModule) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(g_moduleMutex);
    g_quietModules.insert(hLibModule);
    return TRUE;
}

namespace cesim {
namespace detail {

void* MapLocalBlock(uintptr_t address, DWORD bytes) {
    std::lock_guard<std::mutex> lock(g_heapMutex);
    auto it = g_blocks.upper_bound(address);
    if (it == g_blocks.begin()) return nullptr;
    --it;
    uintptr_t offset = address - it->first;
    if (offset > it->second.bytes || bytes > it->second.bytes - offset) return nullptr;
    return reinterpret_cast<void*>(address);
}

}  // namespace detail

size_t LiveLocalAllocations() {
    std::lock_guard<std::mutex> lock(g_heapMutex);
    return g_blocks.size();
}

size_t LiveCriticalSections() { return g_sections.load(); }

bool IsCriticalSectionOwned(const CRITICAL_SECTION* section) {
    Section* s = SectionOf(section, "IsCriticalSectionOwned");
    return s->owner.load() == std::this_thread::get_id();
}

bool ThreadLibraryCallsDisabled(HMODULE module) {
    std::lock_guard<std::mutex> lock(g_moduleMutex);
    return g_quietModules.count(module) != 0;
}

void ResetAll() {
    ClearFaults();
    ResetCallerSpace();
    ResetRegistry();
    SetRegistryObserver(nullptr);
}

}  // namespace cesim
