#pragma once
// A stream driver that records what the device manager hands it, for the tests
// of the stream-device calls. One at a time: its entry points reach the one
// that registered last.
#include "ce_sim.h"

namespace aoctest {

struct FakeStreamDriver {
    static constexpr DWORD_PTR DEVICE_CONTEXT = 0xD0C0;
    static constexpr DWORD_PTR OPEN_CONTEXT = 0x0C0C;

    // What the next call returns; `error` becomes the thread's last error.
    DWORD_PTR openResult = OPEN_CONTEXT;
    BOOL result = TRUE;
    DWORD error = 0;
    // Called inside IOControl, for tests that hold a call there.
    void (*duringIoControl)() = nullptr;

    int opens = 0, closes = 0, ioCalls = 0;
    DWORD_PTR openedContext = 0, closedContext = 0, ioContext = 0;
    DWORD access = 0, share = 0, code = 0, inLength = 0, outLength = 0;
    BYTE* in = nullptr;
    BYTE* out = nullptr;
    DWORD* count = nullptr;

    bool Register(const cesim::WString& name) {
        current = this;
        cesim::StreamEntries entries = {};
        entries.Open = &Open;
        entries.Close = &Close;
        entries.IOControl = &IOControl;
        return cesim::RegisterStreamDevice(name, entries, DEVICE_CONTEXT);
    }

    static FakeStreamDriver* current;

    static DWORD_PTR Open(DWORD_PTR context, DWORD accessCode, DWORD shareMode) {
        FakeStreamDriver& d = *current;
        ++d.opens;
        d.openedContext = context;
        d.access = accessCode;
        d.share = shareMode;
        if (d.error) SetLastError(d.error);
        return d.openResult;
    }
    static BOOL Close(DWORD_PTR context) {
        ++current->closes;
        current->closedContext = context;
        return TRUE;
    }
    static BOOL IOControl(DWORD_PTR context, DWORD ioCode, BYTE* pIn, DWORD lenIn, BYTE* pOut, DWORD lenOut,
                          DWORD* pCount) {
        FakeStreamDriver& d = *current;
        if (d.duringIoControl) d.duringIoControl();
        ++d.ioCalls;
        d.ioContext = context;
        d.code = ioCode;
        d.in = pIn;
        d.inLength = lenIn;
        d.out = pOut;
        d.outLength = lenOut;
        d.count = pCount;
        if (d.error) SetLastError(d.error);
        return d.result;
    }
};

inline FakeStreamDriver* FakeStreamDriver::current = nullptr;

}  // namespace aoctest
