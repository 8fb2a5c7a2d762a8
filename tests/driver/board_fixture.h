#pragma once
// A board's register file on the simulated I/O space and a device context as
// AOC_Init leaves it, for the register and I/O control suites.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

#include "aoc_ioctl.h"
#include "register_file.h"

namespace aoctest {

const DWORD kBase = 0xD000;
const DWORD kWindow = kRegisterFileBytes;

// What a request reported. Sentinels show what it left alone.
struct Outcome {
    BOOL result;
    DWORD threadError;
    DWORD count;
    DWORD lastError;
};
const DWORD kUntouchedError = 0x0BADF00D;
const DWORD kUntouchedCount = 0xC0C0C0C0;

inline bool operator==(const Outcome& a, const Outcome& b) {
    return a.result == b.result && a.threadError == b.threadError && a.count == b.count && a.lastError == b.lastError;
}
inline std::ostream& operator<<(std::ostream& os, const Outcome& o) {
    return os << std::hex << "{result " << o.result << ", thread error 0x" << o.threadError << ", count 0x"
              << o.count << ", LastError 0x" << o.lastError << "}" << std::dec;
}
inline Outcome Failed(DWORD error, DWORD count) { return {FALSE, DRIVER_THREAD_ERROR(error), count, error}; }

// One channel setting; voltage only unless a current pair is given.
inline AoChannelSetting Setting(WORD code, float vmax, float vmin, float cmax = 0.0f, float cmin = 0.0f) {
    AoChannelSetting s;
    s.InitialCode = code;
    s.VoltageMax = vmax;
    s.VoltageMin = vmin;
    s.CurrentMax = cmax;
    s.CurrentMin = cmin;
    return s;
}
inline bool SameSetting(const AoChannelSetting& a, const AoChannelSetting& b) {
    return a.InitialCode == b.InitialCode && std::memcmp(&a.VoltageMax, &b.VoltageMax, 4) == 0 &&
           std::memcmp(&a.VoltageMin, &b.VoltageMin, 4) == 0 && std::memcmp(&a.CurrentMax, &b.CurrentMax, 4) == 0 &&
           std::memcmp(&a.CurrentMin, &b.CurrentMin, 4) == 0;
}

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        cesim::ResetAll();
        std::memset(&device, 0, sizeof device);
        InitializeCriticalSection(&device.Lock);
        device.BaseAddress = kBase;
        device.IoPortCount = kWindow;
        device.DeviceNumber = 0;
        for (auto& c : device.Channels) c = Setting(0, 10.0f, 0.0f);
        ASSERT_TRUE(cesim::AttachIoDevice(&board, kBase, kWindow));
        cesim::SetIoTrace(true);
        cesim::TakeIoTrace();
    }
    void TearDown() override {
        cesim::SetIoTrace(false);
        cesim::DetachIoDevice(&board);
        EXPECT_EQ(board.unlockedAccesses.load(), 0) << "a register was accessed without Lock";
        DeleteCriticalSection(&device.Lock);
        cesim::ResetCallerSpace();
    }

    DWORD_PTR Handle() { return reinterpret_cast<DWORD_PTR>(&device); }

    Outcome Call(DWORD_PTR handle, DWORD code, const void* in, DWORD lenIn, void* out, DWORD lenOut) {
        SetLastError(kUntouchedError);
        DWORD count = kUntouchedCount;
        BOOL result = AOC_IOControl(handle, code, static_cast<BYTE*>(const_cast<void*>(in)), lenIn,
                                    static_cast<BYTE*>(out), lenOut, &count);
        return {result, GetLastError(), count, device.LastError};
    }
    template <class In>
    Outcome Call(DWORD code, const In& in, void* out = nullptr, DWORD lenOut = 0) {
        return Call(Handle(), code, &in, sizeof in, out, lenOut);
    }

    // A RangeRecord in the simulated caller's address space.
    struct CallerRecord {
        RangeRecord record;
        DWORD address;
    };
    RangeRequest RequestFor(CallerRecord& r, WORD requestCode = RANGE_REQUEST_SET_GET) {
        r.address = cesim::RegisterCallerBuffer(&r.record, sizeof r.record);
        return RangeRequest{requestCode, static_cast<WORD>(sizeof r.record), r.address};
    }
    static RangeRecord Record(WORD channel, WORD mode, float maximum, float minimum, WORD initialCode = 0) {
        RangeRecord r;
        r.Reserved = 0xA55A;
        r.InitialCode = initialCode;
        r.Mode = mode;
        r.Channel = channel;
        r.Maximum = maximum;
        r.Minimum = minimum;
        return r;
    }

    BYTE RangeBits(int channel) const { return (board.bytes[AO_RANGE] >> (2 * channel)) & 3; }

    DeviceContext device;
    RegisterFile board{&device.Lock};
};

}  // namespace aoctest
