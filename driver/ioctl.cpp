// AOC_IOControl: the driver's working entry. Every request runs to completion
// in the caller's thread. Caller buffers are read and written with memcpy: they
// carry no alignment promise, and each field is fetched from caller memory
// once, so a caller changing its buffer mid-request cannot slip a value past
// the checks.
#include <cstring>

#include "registers.h"

namespace {

struct Request {
    DeviceContext* pDevice;
    const BYTE* pIn;
    DWORD lenIn;
    BYTE* pOut;
    DWORD lenOut;
    DWORD* pCount;
};

// A buffer length meaning "this code does not use the buffer".
const DWORD NOT_USED = 0xFFFFFFFF;

void WriteCount(const Request& r, DWORD count) {
    if (r.pCount) {
        *r.pCount = count;
    }
}

BOOL FailRequest(const Request& r, DWORD error, DWORD count) {
    // Concurrent failures race for LastError; the lock keeps the word whole and
    // lets the last writer win. It is never held while this is called.
    EnterCriticalSection(&r.pDevice->Lock);
    r.pDevice->LastError = error;
    LeaveCriticalSection(&r.pDevice->Lock);
    SetLastError(DRIVER_THREAD_ERROR(error));
    WriteCount(r, count);
    return FALSE;
}

// The checks every handler opens with. inBytes and outBytes are how much of
// each buffer the code reads or writes (0: it must be there but is not
// touched; NOT_USED: it may be missing). The device manager validated the
// buffers only for the lengths the caller declared, so a buffer declared
// shorter than its record counts as missing.
BOOL OpenRequest(const Request& r, DWORD inBytes, DWORD outBytes) {
    if (!r.pDevice) {
        SetLastError(DRIVER_THREAD_ERROR(ERR_NO_DEVICE));
        WriteCount(r, ERR_NO_DEVICE);
        return FALSE;
    }
    if (inBytes != NOT_USED && (!r.pIn || r.lenIn < inBytes)) {
        return FailRequest(r, ERR_BAD_ARGUMENT, ERR_BAD_ARGUMENT);
    }
    if (outBytes != NOT_USED && (!r.pOut || r.lenOut < outBytes)) {
        return FailRequest(r, ERR_BAD_ARGUMENT, ERR_BAD_ARGUMENT);
    }
    return TRUE;
}

BOOL FailOutsideWindow(const Request& r) {
    return FailRequest(r, ERR_PORT_OUT_OF_RANGE, ERR_PORT_OUT_OF_RANGE);
}

DWORD ReadOffset(const Request& r) {
    DWORD offset;
    std::memcpy(&offset, r.pIn + offsetof(PortRequest, Offset), sizeof offset);
    return offset;
}

BOOL ReadPort(const Request& r, DWORD width) {
    if (!OpenRequest(r, PORT_READ_REQUEST_BYTES, width)) {
        return FALSE;
    }
    DWORD offset = ReadOffset(r);
    // An access that starts inside the window but runs past its end would
    // reach another device's ports.
    if (!WindowHolds(r.pDevice, offset, width)) {
        return FailOutsideWindow(r);
    }
    WORD port = BoardPort(r.pDevice, offset);
    BYTE byteValue = 0;
    WORD wordValue = 0;
    DWORD dwordValue = 0;
    EnterCriticalSection(&r.pDevice->Lock);
    switch (width) {
    case sizeof(BYTE): byteValue = ReadPortByte(port); break;
    case sizeof(WORD): wordValue = ReadPortWord(port); break;
    default: dwordValue = ReadPortDword(port); break;
    }
    LeaveCriticalSection(&r.pDevice->Lock);
    switch (width) {
    case sizeof(BYTE): std::memcpy(r.pOut, &byteValue, width); break;
    case sizeof(WORD): std::memcpy(r.pOut, &wordValue, width); break;
    default: std::memcpy(r.pOut, &dwordValue, width); break;
    }
    WriteCount(r, width);
    return TRUE;
}

BOOL WritePort(const Request& r, DWORD width) {
    if (!OpenRequest(r, PORT_WRITE_REQUEST_BYTES(width), NOT_USED)) {
        return FALSE;
    }
    DWORD offset = ReadOffset(r);
    if (!WindowHolds(r.pDevice, offset, width)) {
        return FailOutsideWindow(r);
    }
    WORD port = BoardPort(r.pDevice, offset);
    const BYTE* pValue = r.pIn + offsetof(PortRequest, Value);
    BYTE byteValue = 0;
    WORD wordValue = 0;
    DWORD dwordValue = 0;
    switch (width) {
    case sizeof(BYTE): std::memcpy(&byteValue, pValue, width); break;
    case sizeof(WORD): std::memcpy(&wordValue, pValue, width); break;
    default: std::memcpy(&dwordValue, pValue, width); break;
    }
    EnterCriticalSection(&r.pDevice->Lock);
    switch (width) {
    case sizeof(BYTE): WritePortByte(port, byteValue); break;
    case sizeof(WORD): WritePortWord(port, wordValue); break;
    default: WritePortDword(port, dwordValue); break;
    }
    LeaveCriticalSection(&r.pDevice->Lock);
    WriteCount(r, 0);
    return TRUE;
}

BOOL Probe(const Request& r) {
    if (!OpenRequest(r, 0, NOT_USED)) {
        return FALSE;
    }
    WriteCount(r, 0);
    return TRUE;
}

// The caller's RangeRecord, mapped for exactly the length the request declares;
// NULL when the declared length cannot hold a record (the driver would reach
// bytes nobody validated) or the caller cannot access it.
BYTE* MapRangeRecord(const RangeRequest& request) {
    if (request.RecordLength < sizeof(RangeRecord)) {
        return nullptr;
    }
    LPVOID address = reinterpret_cast<LPVOID>(static_cast<DWORD_PTR>(request.RecordAddress));
    return static_cast<BYTE*>(MapCallerPtr(address, request.RecordLength));
}

// Copies the record behind a range request that passed the opening checks and
// returns where it lies; NULL once a refusal is reported (with a count of 0).
// Set-range alone accepts RANGE_REQUEST_SET.
BYTE* TakeRangeRecord(const Request& r, BOOL forSetRange, RangeRecord* pRecord) {
    RangeRequest request;
    std::memcpy(&request, r.pIn, sizeof request);
    BOOL accepted = request.RequestCode == RANGE_REQUEST_SET_GET ||
                    (forSetRange && request.RequestCode == RANGE_REQUEST_SET);
    BYTE* pMapped = accepted ? MapRangeRecord(request) : nullptr;
    if (!pMapped) {
        FailRequest(r, ERR_BAD_ARGUMENT, 0);
        return nullptr;
    }
    std::memcpy(pRecord, pMapped, sizeof *pRecord);
    return pMapped;
}

BOOL SetChannelRange(const Request& r) {
    if (!OpenRequest(r, sizeof(RangeRequest), NOT_USED)) {
        return FALSE;
    }
    RangeRecord record;
    if (!TakeRangeRecord(r, TRUE, &record)) {
        return FALSE;
    }
    // A channel above 3 stores nothing, so there is no range to refuse and no
    // register to reach: it fails as storing it does, with nothing reported.
    if (record.Channel >= AO_CHANNEL_COUNT) {
        return FALSE;
    }
    // A range the board cannot drive is refused here rather than stored: every
    // later output write of the channel would run under the wrong range.
    float voltageMax;
    float voltageMin;
    RecordVoltagePair(&record, &voltageMax, &voltageMin);
    if (RangeCode(voltageMax, voltageMin) == RANGE_CODE_NONE) {
        return FailRequest(r, ERR_BAD_ARGUMENT, 0);
    }
    if (!WindowHolds(r.pDevice, AO_RANGE, sizeof(BYTE))) {
        return FailOutsideWindow(r);
    }
    // The count stays as the caller left it on both outcomes.
    return StoreChannelRange(r.pDevice, &record);
}

BOOL GetChannelRange(const Request& r) {
    if (!OpenRequest(r, sizeof(RangeRequest), RANGE_REPLY_BYTES)) {
        return FALSE;
    }
    RangeRecord record;
    BYTE* pMapped = TakeRangeRecord(r, FALSE, &record);
    if (!pMapped) {
        return FALSE;
    }
    if (record.Channel >= AO_CHANNEL_COUNT) {
        return FailRequest(r, ERR_BAD_ARGUMENT, 0);
    }

    EnterCriticalSection(&r.pDevice->Lock);
    AoChannelSetting setting = r.pDevice->Channels[record.Channel];
    LeaveCriticalSection(&r.pDevice->Lock);

    // The context keeps no mode: a channel is a current channel when its
    // CurrentMax is not 0.
    WORD mode = RANGE_MODE_VOLTAGE;
    float maximum = setting.VoltageMax;
    float minimum = setting.VoltageMin;
    if (setting.CurrentMax != 0.0f) {
        mode = RANGE_MODE_CURRENT;
        maximum = setting.CurrentMax;
        minimum = setting.CurrentMin;
    }
    // Reserved and Channel stay as the caller wrote them.
    std::memcpy(pMapped + offsetof(RangeRecord, InitialCode), &setting.InitialCode, sizeof setting.InitialCode);
    std::memcpy(pMapped + offsetof(RangeRecord, Mode), &mode, sizeof mode);
    std::memcpy(pMapped + offsetof(RangeRecord, Maximum), &maximum, sizeof maximum);
    std::memcpy(pMapped + offsetof(RangeRecord, Minimum), &minimum, sizeof minimum);

    std::memcpy(r.pOut + offsetof(RangeRecord, Reserved), &record.Reserved, sizeof record.Reserved);
    std::memcpy(r.pOut + offsetof(RangeRecord, InitialCode), &setting.InitialCode, sizeof setting.InitialCode);
    WriteCount(r, RANGE_REPLY_BYTES);
    return TRUE;
}

BOOL WriteChannel(const Request& r) {
    if (!OpenRequest(r, sizeof(ChannelOutput), NOT_USED)) {
        return FALSE;
    }
    WORD channel;
    DWORD value;
    std::memcpy(&channel, r.pIn + offsetof(ChannelOutput, Channel), sizeof channel);
    std::memcpy(&value, r.pIn + offsetof(ChannelOutput, Value), sizeof value);
    if (channel < AO_CHANNEL_COUNT && (!WindowHolds(r.pDevice, AO_RANGE, sizeof(BYTE)) ||
                                       !WindowHolds(r.pDevice, ChannelDataRegister(channel), AO_DATA_WIDTH))) {
        return FailOutsideWindow(r);
    }
    WriteChannelOutput(r.pDevice, channel, static_cast<WORD>(value));
    WriteCount(r, 0);
    return TRUE;
}

BOOL SetModeFlag(const Request& r) {
    if (!OpenRequest(r, MODE_FLAG_REQUEST_BYTES, NOT_USED)) {
        return FALSE;
    }
    WORD flag;
    std::memcpy(&flag, r.pIn, sizeof flag);
    if (!WindowHolds(r.pDevice, AO_MODE_FLAG, sizeof(BYTE))) {
        return FailOutsideWindow(r);
    }
    EnterCriticalSection(&r.pDevice->Lock);
    WritePortByte(BoardPort(r.pDevice, AO_MODE_FLAG), flag != 0 ? 1 : 0);
    LeaveCriticalSection(&r.pDevice->Lock);
    WriteCount(r, 0);
    return TRUE;
}

BOOL Strobe(const Request& r) {
    // The strobe reads no input, so callers may send none.
    if (!OpenRequest(r, NOT_USED, NOT_USED)) {
        return FALSE;
    }
    if (!WindowHolds(r.pDevice, AO_STROBE, sizeof(BYTE))) {
        return FailOutsideWindow(r);
    }
    EnterCriticalSection(&r.pDevice->Lock);
    WritePortByte(BoardPort(r.pDevice, AO_STROBE), 0);
    LeaveCriticalSection(&r.pDevice->Lock);
    WriteCount(r, 0);
    return TRUE;
}

}  // namespace

AOC_API BOOL AOC_IOControl(DWORD_PTR hOpenContext, DWORD dwCode, BYTE* pBufIn, DWORD dwLenIn, BYTE* pBufOut,
                           DWORD dwLenOut, DWORD* pdwActualOut) {
    Request r = {reinterpret_cast<DeviceContext*>(hOpenContext), pBufIn, dwLenIn, pBufOut, dwLenOut, pdwActualOut};
    switch (dwCode) {
    case IOCTL_PORT_READ_BYTE: return ReadPort(r, sizeof(BYTE));
    case IOCTL_PORT_READ_WORD: return ReadPort(r, sizeof(WORD));
    case IOCTL_PORT_READ_DWORD: return ReadPort(r, sizeof(DWORD));
    case IOCTL_PORT_WRITE_BYTE: return WritePort(r, sizeof(BYTE));
    case IOCTL_PORT_WRITE_WORD: return WritePort(r, sizeof(WORD));
    case IOCTL_PORT_WRITE_DWORD: return WritePort(r, sizeof(DWORD));
    case IOCTL_AO_PROBE: return Probe(r);
    case IOCTL_AO_SET_CHANNEL_RANGE: return SetChannelRange(r);
    case IOCTL_AO_GET_CHANNEL_RANGE: return GetChannelRange(r);
    case IOCTL_AO_WRITE_CHANNEL: return WriteChannel(r);
    case IOCTL_AO_SET_MODE_FLAG: return SetModeFlag(r);
    case IOCTL_AO_STROBE: return Strobe(r);
    default: return FALSE;  // not ours: nothing reported, nothing touched
    }
}
