#pragma once
// What the library's parts share: the board record, the six ranges and the
// conversion of a value on a channel's range.
#include "aoc_ioctl.h"
#include "aoclib.h"

// One per open handle, from the local heap: its blocks are what the driver can
// map, so the range record a request points at lives here.
struct AocBoard {
    RangeRecord Record;          // the record of range requests; guarded by Lock
    HANDLE Device;
    CRITICAL_SECTION Lock;       // one request sequence at a time on this handle
    AocBoardInfo Info;           // as found when opened
    int NameIndex;               // the digit of the call name: which device it is
    // The channels' ranges as the driver held them when last read or set, good
    // while the device's range generation is still Generation.
    AocChannelRange Ranges[AOC_CHANNELS];
    WORD InitialCodes[AOC_CHANNELS];
    LONG Generation;
};

// ---- Ranges (ranges.cpp) ------------------------------------------------------

BOOL IsKnownRange(AocRange range);
// The unit and ends of one of the six.
void RangeEnds(AocRange range, AocUnit* unit, double* low, double* high);
// The range record that sets `range` on a channel, keeping its initial code.
void RangeRecordFor(AocRange range, WORD channel, WORD initialCode, RangeRecord* record);
// A stored setting as a range: one of the six only when its pair is exactly one.
void ClassifyRange(BOOL current, float maximum, float minimum, AocChannelRange* range);
// The code for `value` in `unit` on a channel whose range is `range`.
AocStatus ConvertValue(const AocChannelRange& range, double value, AocUnit unit, DWORD flags, WORD* code);
// What `code` drives on the channel, in its unit (AOC_CODE on another range).
void DescribeCode(const AocChannelRange& range, WORD code, AocOutput* output);

// ---- Finding boards (boards.cpp) ------------------------------------------------

// What an open looks for: a call name, a device number or a switch number.
enum BoardKey { BY_NAME, BY_DEVICE_NUMBER, BY_SWITCH };
// The one published, loaded board the key names. AOC_NO_BOARD, AOC_SWITCH_SHARED
// or AOC_REGISTRY_ERROR otherwise.
AocStatus FindBoard(BoardKey key, const char* name, DWORD number, AocBoardInfo* info);

// Letters compare without regard to case, as the device manager's names do.
BOOL SameName(const char* a, const char* b);
