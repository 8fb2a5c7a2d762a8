#pragma once
// A board's registers as plain bytes behind the simulated ports, for the driver
// suites, the fuzz target and the benchmarks. It records every access made
// without the device's Lock, and can yield inside AO_RANGE reads so that an
// unlocked read-merge-write would lose bits.
#include <atomic>
#include <thread>

#include "ce_sim.h"
#include "registers.h"

namespace aoctest {

const DWORD kRegisterFileBytes = 32;

class RegisterFile : public cesim::IoDevice {
public:
    explicit RegisterFile(const CRITICAL_SECTION* lock) : lock_(lock) {}

    DWORD ReadPort(DWORD offset, int width) override {
        Check();
        if (yieldOnRange && offset == AO_RANGE) std::this_thread::yield();
        DWORD value = 0;
        for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[offset + i];
        return value;
    }
    void WritePort(DWORD offset, int width, DWORD value) override {
        Check();
        for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<BYTE>(value >> (8 * i));
    }
    WORD Word(DWORD offset) const { return static_cast<WORD>(bytes[offset] | (bytes[offset + 1] << 8)); }

    BYTE bytes[kRegisterFileBytes] = {};
    bool yieldOnRange = false;
    std::atomic<int> unlockedAccesses{0};

private:
    void Check() {
        if (!cesim::IsCriticalSectionOwned(lock_)) ++unlockedAccesses;
    }
    const CRITICAL_SECTION* lock_;
};

}  // namespace aoctest
