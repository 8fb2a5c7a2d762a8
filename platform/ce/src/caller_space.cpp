// The address space of the calling process, for MapCallerPtr: the buffers a
// test or the simulator registers as a simulated caller's, and the live
// blocks of the local heap, which lie below 4 GB as a CE process's memory
// does, so that target code may pass their addresses as DWORDs.
#include <map>
#include <mutex>

#include "internal.h"

namespace {

struct Region {
    DWORD address;
    DWORD bytes;
    BYTE* data;
};

// Addresses start above the null page and each region is followed by at least
// a page that belongs to nobody.
const uint64_t FIRST_ADDRESS = 0x10000;
const uint64_t REGION_GAP = 0x1000;
const uint64_t ADDRESS_LIMIT = 0x100000000ull;

std::mutex g_mutex;
std::map<DWORD, Region> g_regions;  // by address
uint64_t g_next = FIRST_ADDRESS;

}  // namespace

CE_API LPVOID MapCallerPtr(LPVOID ptr, DWORD dwLen) {
    LONG error = 0;
    if (cesim::detail::TakeFault(cesim::Call::MapCallerPtr, {}, {}, error)) return nullptr;
    uintptr_t raw = reinterpret_cast<uintptr_t>(ptr);
    if (raw == 0 || raw >= ADDRESS_LIMIT) return nullptr;
    uint64_t address = raw;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = g_regions.upper_bound(static_cast<DWORD>(address));
        if (it != g_regions.begin()) {
            const Region& r = (--it)->second;
            uint64_t offset = address - r.address;
            if (offset <= r.bytes && dwLen <= r.bytes - offset) return r.data + offset;
        }
    }
    return cesim::detail::MapLocalBlock(raw, dwLen);
}

namespace cesim {

DWORD RegisterCallerBuffer(void* data, DWORD bytes) {
    std::lock_guard<std::mutex> lock(g_mutex);
    uint64_t address = g_next;
    uint64_t next = (address + bytes + REGION_GAP + 0xF) & ~uint64_t(0xF);
    if (next >= ADDRESS_LIMIT) return 0;
    g_next = next;
    g_regions[static_cast<DWORD>(address)] = Region{static_cast<DWORD>(address), bytes, static_cast<BYTE*>(data)};
    return static_cast<DWORD>(address);
}

void UnregisterCallerBuffer(DWORD callerAddress) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_regions.erase(callerAddress);
}

void ResetCallerSpace() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_regions.clear();
    g_next = FIRST_ADDRESS;
}

}  // namespace cesim
