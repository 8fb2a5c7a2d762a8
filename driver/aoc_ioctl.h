#pragma once
// The board's I/O control interface as applications see it: the control codes,
// the records passed in the request buffers, and the driver error numbers.
// Records are little-endian and packed exactly as laid out below.
#include <windows.h>

#include <cstddef>

// ---- Control codes ------------------------------------------------------------
// Device type in bits 31-16, required access in 15-14 (1 read, 2 write, 3 both),
// function in 13-2, transfer method (0, buffered) in 1-0. The driver compares
// whole codes; the layout only documents where the numbers come from.
constexpr DWORD AocControlCode(DWORD deviceType, DWORD function, DWORD access) {
    return (deviceType << 16) | (access << 14) | (function << 2);
}

inline constexpr DWORD PORT_DEVICE_TYPE = 0x9C40;
inline constexpr DWORD AO_DEVICE_TYPE = 0xDC7F;

inline constexpr DWORD IOCTL_PORT_READ_BYTE = 0x9C406400;
inline constexpr DWORD IOCTL_PORT_READ_WORD = 0x9C406404;
inline constexpr DWORD IOCTL_PORT_READ_DWORD = 0x9C406408;
inline constexpr DWORD IOCTL_PORT_WRITE_BYTE = 0x9C40A440;
inline constexpr DWORD IOCTL_PORT_WRITE_WORD = 0x9C40A444;
inline constexpr DWORD IOCTL_PORT_WRITE_DWORD = 0x9C40A448;
inline constexpr DWORD IOCTL_AO_PROBE = 0xDC7FF874;
inline constexpr DWORD IOCTL_AO_SET_CHANNEL_RANGE = 0xDC7FF878;
inline constexpr DWORD IOCTL_AO_GET_CHANNEL_RANGE = 0xDC7FF87C;
inline constexpr DWORD IOCTL_AO_WRITE_CHANNEL = 0xDC7FF884;
inline constexpr DWORD IOCTL_AO_SET_MODE_FLAG = 0xDC7FF910;
inline constexpr DWORD IOCTL_AO_STROBE = 0xDC7FF914;

static_assert(IOCTL_PORT_READ_BYTE == AocControlCode(PORT_DEVICE_TYPE, 0x900, 1));
static_assert(IOCTL_PORT_READ_WORD == AocControlCode(PORT_DEVICE_TYPE, 0x901, 1));
static_assert(IOCTL_PORT_READ_DWORD == AocControlCode(PORT_DEVICE_TYPE, 0x902, 1));
static_assert(IOCTL_PORT_WRITE_BYTE == AocControlCode(PORT_DEVICE_TYPE, 0x910, 2));
static_assert(IOCTL_PORT_WRITE_WORD == AocControlCode(PORT_DEVICE_TYPE, 0x911, 2));
static_assert(IOCTL_PORT_WRITE_DWORD == AocControlCode(PORT_DEVICE_TYPE, 0x912, 2));
static_assert(IOCTL_AO_PROBE == AocControlCode(AO_DEVICE_TYPE, 0xE1D, 3));
static_assert(IOCTL_AO_SET_CHANNEL_RANGE == AocControlCode(AO_DEVICE_TYPE, 0xE1E, 3));
static_assert(IOCTL_AO_GET_CHANNEL_RANGE == AocControlCode(AO_DEVICE_TYPE, 0xE1F, 3));
static_assert(IOCTL_AO_WRITE_CHANNEL == AocControlCode(AO_DEVICE_TYPE, 0xE21, 3));
static_assert(IOCTL_AO_SET_MODE_FLAG == AocControlCode(AO_DEVICE_TYPE, 0xE44, 3));
static_assert(IOCTL_AO_STROBE == AocControlCode(AO_DEVICE_TYPE, 0xE45, 3));

// ---- Driver error numbers -----------------------------------------------------
// A failed request leaves the number in the device's LastError and sets the
// thread's last error to DriverThreadError(number).
inline constexpr DWORD ERR_NO_DEVICE = 3;           // the open handle is null
inline constexpr DWORD ERR_BAD_ARGUMENT = 10;       // a buffer or field the code needs is missing or wrong
inline constexpr DWORD ERR_PORT_OUT_OF_RANGE = 64;  // the access lies outside the board's I/O window

constexpr DWORD DriverThreadError(DWORD number) { return APPLICATION_ERROR_MASK | number; }
static_assert(DriverThreadError(ERR_NO_DEVICE) == 0x20000003);
static_assert(DriverThreadError(ERR_BAD_ARGUMENT) == 0x2000000A);
static_assert(DriverThreadError(ERR_PORT_OUT_OF_RANGE) == 0x20000040);

// ---- Records --------------------------------------------------------------------

// Input of the port codes. The read codes send only the offset (4 bytes); the
// write codes add the value in the code's width (5, 6 or 8 bytes in all), so
// a byte or word write uses the low bytes of Value.
struct PortRequest {
    DWORD Offset;  // from BaseAddress
    DWORD Value;
};
inline constexpr DWORD PORT_READ_REQUEST_BYTES = offsetof(PortRequest, Value);
constexpr DWORD PortWriteRequestBytes(DWORD width) { return PORT_READ_REQUEST_BYTES + width; }

// Request codes a RangeRequest may carry.
inline constexpr WORD RANGE_REQUEST_SET = 0x2000;      // set-range only
inline constexpr WORD RANGE_REQUEST_SET_GET = 0x2004;  // set-range and get-range

// Input of the set-range and get-range codes: where the caller's RangeRecord lies.
struct RangeRequest {
    WORD RequestCode;
    WORD RecordLength;   // bytes of the caller's RangeRecord
    DWORD RecordAddress; // in the caller's address space
};

// The caller's range setting of one channel, reached through RangeRequest.
struct RangeRecord {
    WORD Reserved;     // never interpreted; get-range hands it back
    WORD InitialCode;
    WORD Mode;         // 0 voltage, non-zero current; get-range reports 0 or 1
    WORD Channel;      // 0..3
    float Maximum;     // volts, or milliamperes in current mode
    float Minimum;
};
inline constexpr WORD RANGE_MODE_VOLTAGE = 0;
inline constexpr WORD RANGE_MODE_CURRENT = 1;
// Get-range returns the record's first two fields.
inline constexpr DWORD RANGE_REPLY_BYTES = offsetof(RangeRecord, Mode);

// Input of IOCTL_AO_WRITE_CHANNEL.
struct ChannelOutput {
    WORD Channel;
    WORD Reserved;  // not read
    DWORD Value;    // the low 16 bits reach the data register
};

// Input of IOCTL_AO_SET_MODE_FLAG: one 16-bit flag.
inline constexpr DWORD MODE_FLAG_REQUEST_BYTES = sizeof(WORD);

static_assert(sizeof(PortRequest) == 8 && offsetof(PortRequest, Offset) == 0 && offsetof(PortRequest, Value) == 4);
static_assert(sizeof(RangeRequest) == 8 && offsetof(RangeRequest, RequestCode) == 0 &&
              offsetof(RangeRequest, RecordLength) == 2 && offsetof(RangeRequest, RecordAddress) == 4);
static_assert(sizeof(RangeRecord) == 16 && offsetof(RangeRecord, Reserved) == 0 &&
              offsetof(RangeRecord, InitialCode) == 2 && offsetof(RangeRecord, Mode) == 4 &&
              offsetof(RangeRecord, Channel) == 6 && offsetof(RangeRecord, Maximum) == 8 &&
              offsetof(RangeRecord, Minimum) == 12);
static_assert(sizeof(ChannelOutput) == 8 && offsetof(ChannelOutput, Channel) == 0 &&
              offsetof(ChannelOutput, Reserved) == 2 && offsetof(ChannelOutput, Value) == 4);
static_assert(sizeof(float) == 4, "the records carry IEEE single-precision floats");
