#ifndef AOC_IOCTL_H
#define AOC_IOCTL_H
/* The board's I/O control interface as applications see it: the control
 * codes, the records passed in the request buffers, and the driver error
 * numbers. Records are little-endian and packed exactly as laid out below.
 *
 * Shipped for applications on the target, whose compilers are C89 and C++03
 * compilers: the header is written in the common part of both languages. */
#include <stddef.h>
#include <windows.h>

/* A compile-time check in a form C89 and C++03 take: a negative array size
 * stops the compilation where a check fails. */
#define AOC_IOCTL_CHECK(name, condition) typedef char AocIoctlCheck_##name[(condition) ? 1 : -1]

/* ---- Control codes --------------------------------------------------------------
 * Device type in bits 31-16, required access in 15-14 (1 read, 2 write, 3 both),
 * function in 13-2, transfer method (0, buffered) in 1-0. The driver compares
 * whole codes; the layout only documents where the numbers come from. */
#define AOC_CONTROL_CODE(deviceType, function, access) \
    (((DWORD)(deviceType) << 16) | ((DWORD)(access) << 14) | ((DWORD)(function) << 2))

#define PORT_DEVICE_TYPE ((DWORD)0x9C40)
#define AO_DEVICE_TYPE ((DWORD)0xDC7F)

#define IOCTL_PORT_READ_BYTE ((DWORD)0x9C406400)
#define IOCTL_PORT_READ_WORD ((DWORD)0x9C406404)
#define IOCTL_PORT_READ_DWORD ((DWORD)0x9C406408)
#define IOCTL_PORT_WRITE_BYTE ((DWORD)0x9C40A440)
#define IOCTL_PORT_WRITE_WORD ((DWORD)0x9C40A444)
#define IOCTL_PORT_WRITE_DWORD ((DWORD)0x9C40A448)
#define IOCTL_AO_PROBE ((DWORD)0xDC7FF874)
#define IOCTL_AO_SET_CHANNEL_RANGE ((DWORD)0xDC7FF878)
#define IOCTL_AO_GET_CHANNEL_RANGE ((DWORD)0xDC7FF87C)
#define IOCTL_AO_WRITE_CHANNEL ((DWORD)0xDC7FF884)
#define IOCTL_AO_SET_MODE_FLAG ((DWORD)0xDC7FF910)
#define IOCTL_AO_STROBE ((DWORD)0xDC7FF914)

AOC_IOCTL_CHECK(PortReadByte, IOCTL_PORT_READ_BYTE == AOC_CONTROL_CODE(PORT_DEVICE_TYPE, 0x900, 1));
AOC_IOCTL_CHECK(PortReadWord, IOCTL_PORT_READ_WORD == AOC_CONTROL_CODE(PORT_DEVICE_TYPE, 0x901, 1));
AOC_IOCTL_CHECK(PortReadDword, IOCTL_PORT_READ_DWORD == AOC_CONTROL_CODE(PORT_DEVICE_TYPE, 0x902, 1));
AOC_IOCTL_CHECK(PortWriteByte, IOCTL_PORT_WRITE_BYTE == AOC_CONTROL_CODE(PORT_DEVICE_TYPE, 0x910, 2));
AOC_IOCTL_CHECK(PortWriteWord, IOCTL_PORT_WRITE_WORD == AOC_CONTROL_CODE(PORT_DEVICE_TYPE, 0x911, 2));
AOC_IOCTL_CHECK(PortWriteDword, IOCTL_PORT_WRITE_DWORD == AOC_CONTROL_CODE(PORT_DEVICE_TYPE, 0x912, 2));
AOC_IOCTL_CHECK(Probe, IOCTL_AO_PROBE == AOC_CONTROL_CODE(AO_DEVICE_TYPE, 0xE1D, 3));
AOC_IOCTL_CHECK(SetRange, IOCTL_AO_SET_CHANNEL_RANGE == AOC_CONTROL_CODE(AO_DEVICE_TYPE, 0xE1E, 3));
AOC_IOCTL_CHECK(GetRange, IOCTL_AO_GET_CHANNEL_RANGE == AOC_CONTROL_CODE(AO_DEVICE_TYPE, 0xE1F, 3));
AOC_IOCTL_CHECK(WriteChannel, IOCTL_AO_WRITE_CHANNEL == AOC_CONTROL_CODE(AO_DEVICE_TYPE, 0xE21, 3));
AOC_IOCTL_CHECK(ModeFlag, IOCTL_AO_SET_MODE_FLAG == AOC_CONTROL_CODE(AO_DEVICE_TYPE, 0xE44, 3));
AOC_IOCTL_CHECK(Strobe, IOCTL_AO_STROBE == AOC_CONTROL_CODE(AO_DEVICE_TYPE, 0xE45, 3));

/* ---- Driver error numbers -------------------------------------------------------
 * A failed request leaves the number in the device's LastError and sets the
 * thread's last error to DRIVER_THREAD_ERROR(number). */
#define ERR_NO_DEVICE ((DWORD)3)          /* the open handle is null */
#define ERR_BAD_ARGUMENT ((DWORD)10)      /* a buffer or field the code needs is missing or wrong */
#define ERR_PORT_OUT_OF_RANGE ((DWORD)64) /* the access lies outside the board's I/O window */

#define DRIVER_THREAD_ERROR(number) ((DWORD)APPLICATION_ERROR_MASK | (DWORD)(number))
AOC_IOCTL_CHECK(NoDeviceThreadError, DRIVER_THREAD_ERROR(ERR_NO_DEVICE) == 0x20000003);
AOC_IOCTL_CHECK(BadArgumentThreadError, DRIVER_THREAD_ERROR(ERR_BAD_ARGUMENT) == 0x2000000A);
AOC_IOCTL_CHECK(PortOutOfRangeThreadError, DRIVER_THREAD_ERROR(ERR_PORT_OUT_OF_RANGE) == 0x20000040);

/* ---- Records -------------------------------------------------------------------- */

/* Input of the port codes. The read codes send only the offset (4 bytes); the
 * write codes add the value in the code's width (5, 6 or 8 bytes in all), so
 * a byte or word write uses the low bytes of Value. */
typedef struct PortRequest {
    DWORD Offset; /* from BaseAddress */
    DWORD Value;
} PortRequest;
#define PORT_READ_REQUEST_BYTES ((DWORD)offsetof(PortRequest, Value))
#define PORT_WRITE_REQUEST_BYTES(width) (PORT_READ_REQUEST_BYTES + (DWORD)(width))

/* Request codes a RangeRequest may carry. */
#define RANGE_REQUEST_SET ((WORD)0x2000)     /* set-range only */
#define RANGE_REQUEST_SET_GET ((WORD)0x2004) /* set-range and get-range */

/* Input of the set-range and get-range codes: where the caller's RangeRecord
 * lies. On the target an address is 32 bits wide: (DWORD)&record. */
typedef struct RangeRequest {
    WORD RequestCode;
    WORD RecordLength;   /* bytes of the caller's RangeRecord */
    DWORD RecordAddress; /* in the caller's address space */
} RangeRequest;

/* The caller's range setting of one channel, reached through RangeRequest. */
typedef struct RangeRecord {
    WORD Reserved; /* never interpreted; get-range hands it back */
    WORD InitialCode;
    WORD Mode;     /* 0 voltage, non-zero current; get-range reports 0 or 1 */
    WORD Channel;  /* 0..3 */
    float Maximum; /* volts, or milliamperes in current mode */
    float Minimum;
} RangeRecord;
#define RANGE_MODE_VOLTAGE ((WORD)0)
#define RANGE_MODE_CURRENT ((WORD)1)
/* Get-range returns the record's first two fields. */
#define RANGE_REPLY_BYTES ((DWORD)offsetof(RangeRecord, Mode))

/* Input of IOCTL_AO_WRITE_CHANNEL. */
typedef struct ChannelOutput {
    WORD Channel;
    WORD Reserved; /* not read */
    DWORD Value;   /* the low 16 bits reach the data register */
} ChannelOutput;

/* Input of IOCTL_AO_SET_MODE_FLAG: one 16-bit flag. */
#define MODE_FLAG_REQUEST_BYTES ((DWORD)sizeof(WORD))

AOC_IOCTL_CHECK(PortRequestLayout, sizeof(PortRequest) == 8 && offsetof(PortRequest, Offset) == 0 &&
                                       offsetof(PortRequest, Value) == 4);
AOC_IOCTL_CHECK(RangeRequestLayout, sizeof(RangeRequest) == 8 && offsetof(RangeRequest, RequestCode) == 0 &&
                                        offsetof(RangeRequest, RecordLength) == 2 &&
                                        offsetof(RangeRequest, RecordAddress) == 4);
AOC_IOCTL_CHECK(RangeRecordLayout, sizeof(RangeRecord) == 16 && offsetof(RangeRecord, Reserved) == 0 &&
                                       offsetof(RangeRecord, InitialCode) == 2 && offsetof(RangeRecord, Mode) == 4 &&
                                       offsetof(RangeRecord, Channel) == 6 && offsetof(RangeRecord, Maximum) == 8 &&
                                       offsetof(RangeRecord, Minimum) == 12);
AOC_IOCTL_CHECK(ChannelOutputLayout, sizeof(ChannelOutput) == 8 && offsetof(ChannelOutput, Channel) == 0 &&
                                         offsetof(ChannelOutput, Reserved) == 2 &&
                                         offsetof(ChannelOutput, Value) == 4);
/* The records carry IEEE single-precision floats. */
AOC_IOCTL_CHECK(FloatIsFourBytes, sizeof(float) == 4);

#endif /* AOC_IOCTL_H */
