// The x86 I/O space the port instructions reach.
#include <atomic>
#include <mutex>
#include <shared_mutex>

#include "internal.h"

namespace {

struct Claim {
    cesim::IoDevice* device;
    DWORD first;
    DWORD count;
};

const DWORD PORT_COUNT = 0x10000;

std::shared_mutex g_claimsMutex;  // accesses share it; attach and detach own it
std::vector<Claim> g_claims;

std::mutex g_traceMutex;
std::atomic<bool> g_tracing{false};
std::vector<cesim::PortAccess> g_trace;

// The claim holding every port of [port, port + width), if one does.
const Claim* ClaimFor(DWORD port, int width) {
    for (const Claim& c : g_claims) {
        if (port >= c.first && port + width <= c.first + c.count) return &c;
    }
    return nullptr;
}

DWORD AllOnes(int width) { return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1; }

DWORD ReadSpace(USHORT port, int width) {
    std::shared_lock<std::shared_mutex> lock(g_claimsMutex);
    if (const Claim* c = ClaimFor(port, width)) return c->device->ReadPort(port - c->first, width);
    DWORD value = 0;
    for (int i = 0; i < width; ++i) {
        DWORD p = (port + i) % PORT_COUNT;
        const Claim* b = ClaimFor(p, 1);
        DWORD byte = b ? (b->device->ReadPort(p - b->first, 1) & 0xFF) : 0xFF;
        value |= byte << (8 * i);
    }
    return value & AllOnes(width);
}

void WriteSpace(USHORT port, int width, DWORD value) {
    std::shared_lock<std::shared_mutex> lock(g_claimsMutex);
    if (const Claim* c = ClaimFor(port, width)) {
        c->device->WritePort(port - c->first, width, value);
        return;
    }
    for (int i = 0; i < width; ++i) {
        DWORD p = (port + i) % PORT_COUNT;
        if (const Claim* b = ClaimFor(p, 1)) b->device->WritePort(p - b->first, 1, (value >> (8 * i)) & 0xFF);
    }
}

void Trace(USHORT port, int width, bool write, DWORD value) {
    if (!g_tracing.load(std::memory_order_relaxed)) return;
    std::lock_guard<std::mutex> lock(g_traceMutex);
    g_trace.push_back({port, static_cast<BYTE>(width), write, value});
}

}  // namespace

namespace cesim {
namespace detail {

DWORD PortIn(USHORT port, int width) {
    DWORD value = ReadSpace(port, width);
    Trace(port, width, false, value);
    return value;
}

void PortOut(USHORT port, int width, DWORD value) {
    value &= AllOnes(width);
    WriteSpace(port, width, value);
    Trace(port, width, true, value);
}

}  // namespace detail

bool AttachIoDevice(IoDevice* device, DWORD firstPort, DWORD portCount) {
    if (!device || portCount == 0 || firstPort >= PORT_COUNT || portCount > PORT_COUNT - firstPort) return false;
    std::unique_lock<std::shared_mutex> lock(g_claimsMutex);
    for (const Claim& c : g_claims) {
        if (firstPort < c.first + c.count && c.first < firstPort + portCount) return false;
    }
    g_claims.push_back({device, firstPort, portCount});
    return true;
}

void DetachIoDevice(IoDevice* device) {
    std::unique_lock<std::shared_mutex> lock(g_claimsMutex);
    for (size_t i = 0; i < g_claims.size();) {
        if (g_claims[i].device == device) g_claims.erase(g_claims.begin() + i);
        else ++i;
    }
}

void SetIoTrace(bool on) { g_tracing = on; }

std::vector<PortAccess> TakeIoTrace() {
    std::lock_guard<std::mutex> lock(g_traceMutex);
    std::vector<PortAccess> out;
    out.swap(g_trace);
    return out;
}

}  // namespace cesim

#if !defined(_WIN32)
using cesim::detail::PortIn;
using cesim::detail::PortOut;
CE_API UCHAR __inbyte(USHORT Port) { return static_cast<UCHAR>(PortIn(Port, 1)); }
CE_API USHORT __inword(USHORT Port) { return static_cast<USHORT>(PortIn(Port, 2)); }
CE_API ULONG __indword(USHORT Port) { return PortIn(Port, 4); }
CE_API void __outbyte(USHORT Port, UCHAR Data) { PortOut(Port, 1, Data); }
CE_API void __outword(USHORT Port, USHORT Data) { PortOut(Port, 2, Data); }
CE_API void __outdword(USHORT Port, ULONG Data) { PortOut(Port, 4, Data); }
#endif
