#include <atomic>
#include <mutex>

#include "internal.h"

namespace cesim {
namespace {

struct ArmedFault {
    Fault fault;
    unsigned seen;
    unsigned fired;
};

std::mutex g_mutex;
std::vector<ArmedFault> g_faults;
std::atomic<bool> g_armed{false};  // the common case takes no lock
unsigned g_delivered = 0;

bool Matches(const Fault& f, Call call, const WString& key, const WString& value) {
    return f.call == call && (f.key.empty() || detail::EqualNoCase(f.key, key)) &&
           (f.value.empty() || detail::EqualNoCase(f.value, value));
}

}  // namespace

void InjectFault(const Fault& fault) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_faults.push_back({fault, 0, 0});
    g_armed = true;
}

void ClearFaults() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_faults.clear();
    g_delivered = 0;
    g_armed = false;
}

unsigned FaultsDelivered() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_delivered;
}

namespace detail {

bool FaultsArmed() { return g_armed.load(std::memory_order_acquire); }

bool TakeFault(Call call, const WString& key, const WString& value, LONG& error) {
    if (!FaultsArmed()) return false;
    std::lock_guard<std::mutex> lock(g_mutex);
    for (ArmedFault& armed : g_faults) {
        if (!Matches(armed.fault, call, key, value)) continue;
        if (armed.seen < armed.fault.skip) {
            ++armed.seen;
            continue;
        }
        if (armed.fault.times != 0 && armed.fired >= armed.fault.times) continue;
        ++armed.fired;
        ++g_delivered;
        error = armed.fault.error;
        return true;
    }
    return false;
}

WCHAR UpcaseUnit(WCHAR c) {
    unsigned u = c;
    if (u >= 'a' && u <= 'z') return static_cast<WCHAR>(u - 0x20);
    if (u < 0xE0) return c;
    if (u <= 0xFE) return u == 0xF7 ? c : static_cast<WCHAR>(u - 0x20);   // Latin-1
    if (u == 0xFF) return static_cast<WCHAR>(0x178);
    // Latin Extended-A: upper and lower case alternate, the upper form first.
    if ((u >= 0x101 && u <= 0x137) || (u >= 0x14B && u <= 0x177)) return (u & 1) ? static_cast<WCHAR>(u - 1) : c;
    if ((u >= 0x13A && u <= 0x148) || (u >= 0x17A && u <= 0x17E)) return (u & 1) ? c : static_cast<WCHAR>(u - 1);
    if (u >= 0x3B1 && u <= 0x3C9 && u != 0x3C2) return static_cast<WCHAR>(u - 0x20);  // Greek
    if (u >= 0x430 && u <= 0x44F) return static_cast<WCHAR>(u - 0x20);                // Cyrillic
    if (u >= 0x450 && u <= 0x45F) return static_cast<WCHAR>(u - 0x50);
    return c;
}

bool EqualNoCase(const WString& a, const WString& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && UpcaseUnit(a[i]) != UpcaseUnit(b[i])) return false;
    }
    return true;
}

size_t TextLength(const WCHAR* text) {
    size_t n = 0;
    while (text[n]) ++n;
    return n;
}

}  // namespace detail
}  // namespace cesim
