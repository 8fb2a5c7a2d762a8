// An open board: its handle and record, its channels' ranges, and every
// request it sends, each a fixed record in the board's own block.
#include "internal.h"

namespace {

// ---- Which ranges a handle may still trust --------------------------------------
// Per device of the prefix (the digit of AOC0: to AOC9:): bumped after every
// open of the device and every range set through this library in this
// process, each of which changes what the driver holds for every handle.
volatile LONG g_rangeGenerations[AOC_MAX_BOARDS];

LONG RangeGeneration(int nameIndex) {
#if defined(__GNUC__)
    return __atomic_load_n(&g_rangeGenerations[nameIndex], __ATOMIC_ACQUIRE);
#else
    return g_rangeGenerations[nameIndex];  // an aligned 32-bit read is whole on x86
#endif
}

// Returns the new generation.
LONG RangesChanged(int nameIndex) { return InterlockedIncrement(&g_rangeGenerations[nameIndex]); }

BOOL IsChannel(int channel) { return channel >= 0 && channel < AOC_CHANNELS; }

// One request; the thread error says why the driver or the system failed it.
AocStatus Send(AocBoard* board, DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes) {
    DWORD count = 0;
    SetLastError(0);
    if (DeviceIoControl(board->Device, code, const_cast<void*>(in), inBytes, out, outBytes, &count, nullptr)) {
        return AOC_OK;
    }
    return AocStatusOfThreadError(GetLastError());
}

// The board's record as a range request points at it: on the target an
// address is a DWORD, and the block lies where the driver can map it.
RangeRequest RecordRequest(AocBoard* board) {
    RangeRequest request;
    request.RequestCode = RANGE_REQUEST_SET_GET;
    request.RecordLength = sizeof(RangeRecord);
    request.RecordAddress = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(&board->Record));
    return request;
}

// Reads one channel's range from the driver into the board's cache. Lock held.
AocStatus ReadRange(AocBoard* board, int channel) {
    RangeRecord& record = board->Record;
    record.Reserved = 0;
    record.InitialCode = 0;
    record.Mode = RANGE_MODE_VOLTAGE;
    record.Channel = static_cast<WORD>(channel);
    record.Maximum = 0.0f;
    record.Minimum = 0.0f;
    RangeRequest request = RecordRequest(board);
    BYTE reply[RANGE_REPLY_BYTES];
    AocStatus status = Send(board, IOCTL_AO_GET_CHANNEL_RANGE, &request, sizeof request, reply, sizeof reply);
    if (status != AOC_OK) return status;
    ClassifyRange(record.Mode != RANGE_MODE_VOLTAGE, record.Maximum, record.Minimum, &board->Ranges[channel]);
    board->InitialCodes[channel] = record.InitialCode;
    return AOC_OK;
}

// All four, good as of the generation read before them. Lock held.
AocStatus ReadRanges(AocBoard* board) {
    LONG generation = RangeGeneration(board->NameIndex);
    for (int channel = 0; channel < AOC_CHANNELS; ++channel) {
        AocStatus status = ReadRange(board, channel);
        if (status != AOC_OK) return status;
    }
    board->Generation = generation;
    return AOC_OK;
}

// The cache, read again when an open or a range set since may have changed
// what the driver holds. Lock held.
AocStatus FreshRanges(AocBoard* board) {
    return board->Generation == RangeGeneration(board->NameIndex) ? AOC_OK : ReadRanges(board);
}

AocStatus Open(BoardKey key, const char* name, DWORD number, AocBoard** opened) {
    if (!opened) return AOC_BAD_ARGUMENT;
    *opened = nullptr;
    if (key == BY_NAME && !name) return AOC_BAD_ARGUMENT;
    AocBoardInfo info;
    AocStatus status = FindBoard(key, name, number, &info);
    if (status != AOC_OK) return status;
    AocBoard* board = static_cast<AocBoard*>(LocalAlloc(LPTR, sizeof(AocBoard)));
    if (!board) return AOC_NO_MEMORY;
    WCHAR callName[AOC_CALL_NAME_SIZE];
    for (int i = 0; i < AOC_CALL_NAME_SIZE; ++i) callName[i] = static_cast<WCHAR>(info.CallName[i]);
    board->Device = CreateFileW(callName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (board->Device == INVALID_HANDLE_VALUE) {
        LocalFree(board);
        return AOC_OPEN_FAILED;
    }
    board->Info = info;
    board->NameIndex = info.CallName[3] - '0';
    InitializeCriticalSection(&board->Lock);
    // The open made the driver load the published ranges for every handle.
    RangesChanged(board->NameIndex);
    status = ReadRanges(board);
    if (status != AOC_OK) {
        AocClose(board);
        return status;
    }
    *opened = board;
    return AOC_OK;
}

// An output not written: why, and nothing else.
void Unwritten(AocStatus status, AocOutput* output) {
    output->Status = status;
    output->Code = 0;
    output->Value = 0;
    output->Unit = AOC_CODE;
}

}  // namespace

AOCLIB_API AocStatus AocOpenByName(const char* callName, AocBoard** board) {
    return Open(BY_NAME, callName, 0, board);
}

AOCLIB_API AocStatus AocOpenByDeviceNumber(LONG deviceNumber, AocBoard** board) {
    if (deviceNumber < 0) {
        if (board) *board = nullptr;
        return board ? AOC_NO_BOARD : AOC_BAD_ARGUMENT;
    }
    return Open(BY_DEVICE_NUMBER, nullptr, static_cast<DWORD>(deviceNumber), board);
}

AOCLIB_API AocStatus AocOpenBySwitch(DWORD switchNumber, AocBoard** board) {
    return Open(BY_SWITCH, nullptr, switchNumber, board);
}

AOCLIB_API AocStatus AocClose(AocBoard* board) {
    if (!board) return AOC_BAD_ARGUMENT;
    CloseHandle(board->Device);
    DeleteCriticalSection(&board->Lock);
    LocalFree(board);
    return AOC_OK;
}

AOCLIB_API AocStatus AocGetBoardInfo(AocBoard* board, AocBoardInfo* info) {
    if (!board || !info) return AOC_BAD_ARGUMENT;
    *info = board->Info;
    return AOC_OK;
}

AOCLIB_API AocStatus AocSetRange(AocBoard* board, int channel, AocRange range) {
    if (!board || !IsChannel(channel) || !IsKnownRange(range)) return AOC_BAD_ARGUMENT;
    EnterCriticalSection(&board->Lock);
    // The channel's initial code is the driver's to keep: the record carries it back.
    LONG before = RangeGeneration(board->NameIndex);
    AocStatus status = FreshRanges(board);
    if (status == AOC_OK) {
        RangeRecordFor(range, static_cast<WORD>(channel), board->InitialCodes[channel], &board->Record);
        RangeRequest request = RecordRequest(board);
        status = Send(board, IOCTL_AO_SET_CHANNEL_RANGE, &request, sizeof request, nullptr, 0);
    }
    if (status == AOC_OK) {
        const RangeRecord& set = board->Record;
        ClassifyRange(set.Mode != RANGE_MODE_VOLTAGE, set.Maximum, set.Minimum, &board->Ranges[channel]);
        // This handle's ranges stay good unless another changed some meanwhile.
        LONG after = RangesChanged(board->NameIndex);
        if (board->Generation == before && after == before + 1) board->Generation = after;
    }
    LeaveCriticalSection(&board->Lock);
    return status;
}

AOCLIB_API AocStatus AocGetRange(AocBoard* board, int channel, AocChannelRange* range) {
    if (!board || !IsChannel(channel) || !range) return AOC_BAD_ARGUMENT;
    EnterCriticalSection(&board->Lock);
    AocStatus status = ReadRange(board, channel);
    if (status == AOC_OK) *range = board->Ranges[channel];
    LeaveCriticalSection(&board->Lock);
    return status;
}

AOCLIB_API AocStatus AocWriteAll(AocBoard* board, const AocValue values[AOC_CHANNELS], DWORD flags,
                                 AocOutput written[AOC_CHANNELS]) {
    if (!board || !values) return AOC_BAD_ARGUMENT;
    AocOutput outputs[AOC_CHANNELS];
    WORD codes[AOC_CHANNELS] = {0, 0, 0, 0};
    EnterCriticalSection(&board->Lock);
    AocStatus status = FreshRanges(board);
    for (int channel = 0; channel < AOC_CHANNELS; ++channel) {
        const AocValue& v = values[channel];
        Unwritten(status == AOC_OK ? ConvertValue(board->Ranges[channel], v.Value, v.Unit, flags, &codes[channel])
                                   : status,
                  &outputs[channel]);
    }
    // Every value is checked before any is written: a refused one leaves every
    // output as it was.
    for (int channel = 0; status == AOC_OK && channel < AOC_CHANNELS; ++channel) status = outputs[channel].Status;
    for (int channel = 0; status == AOC_OK && channel < AOC_CHANNELS; ++channel) {
        ChannelOutput request = {static_cast<WORD>(channel), 0, codes[channel]};
        status = Send(board, IOCTL_AO_WRITE_CHANNEL, &request, sizeof request, nullptr, 0);
        if (status == AOC_OK) {
            DescribeCode(board->Ranges[channel], codes[channel], &outputs[channel]);
            continue;
        }
        // The driver failed this one: it and those after it are not written.
        for (int rest = channel; rest < AOC_CHANNELS; ++rest) outputs[rest].Status = status;
    }
    LeaveCriticalSection(&board->Lock);
    if (written) {
        for (int channel = 0; channel < AOC_CHANNELS; ++channel) written[channel] = outputs[channel];
    }
    return status;
}

AOCLIB_API AocStatus AocWrite(AocBoard* board, int channel, double value, AocUnit unit, DWORD flags,
                              AocOutput* written) {
    AocOutput output;
    Unwritten(AOC_BAD_ARGUMENT, &output);
    if (board && IsChannel(channel)) {
        EnterCriticalSection(&board->Lock);
        WORD code = 0;
        AocStatus status = FreshRanges(board);
        if (status == AOC_OK) status = ConvertValue(board->Ranges[channel], value, unit, flags, &code);
        if (status == AOC_OK) {
            ChannelOutput request = {static_cast<WORD>(channel), 0, code};
            status = Send(board, IOCTL_AO_WRITE_CHANNEL, &request, sizeof request, nullptr, 0);
        }
        if (status == AOC_OK) DescribeCode(board->Ranges[channel], code, &output);
        output.Status = status;
        LeaveCriticalSection(&board->Lock);
    }
    if (written) *written = output;
    return output.Status;
}

AOCLIB_API AocStatus AocWriteVolts(AocBoard* board, int channel, double volts, DWORD flags, AocOutput* written) {
    return AocWrite(board, channel, volts, AOC_VOLTS, flags, written);
}

AOCLIB_API AocStatus AocWriteMilliamps(AocBoard* board, int channel, double milliamps, DWORD flags,
                                       AocOutput* written) {
    return AocWrite(board, channel, milliamps, AOC_MILLIAMPS, flags, written);
}

AOCLIB_API AocStatus AocWriteCode(AocBoard* board, int channel, DWORD code, DWORD flags, AocOutput* written) {
    return AocWrite(board, channel, static_cast<double>(code), AOC_CODE, flags, written);
}

AOCLIB_API AocStatus AocSetModeFlag(AocBoard* board, BOOL on) {
    if (!board) return AOC_BAD_ARGUMENT;
    WORD flag = on ? 1 : 0;
    return Send(board, IOCTL_AO_SET_MODE_FLAG, &flag, sizeof flag, nullptr, 0);
}

AOCLIB_API AocStatus AocStrobe(AocBoard* board) {
    if (!board) return AOC_BAD_ARGUMENT;
    return Send(board, IOCTL_AO_STROBE, nullptr, 0, nullptr, 0);
}
