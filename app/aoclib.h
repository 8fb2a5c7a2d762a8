#ifndef AOCLIB_H
#define AOCLIB_H
/* aoclib: the application library of the four-channel analog-output board on
 * the Windows CE target. It finds the boards the VQX6406S driver has
 * published, opens one by its call name, device number or switch number,
 * sets and reads each channel's output range, and writes outputs in volts, in
 * milliamperes or as raw 12-bit codes.
 *
 * Written in the common part of C89 and C++03, the languages of the
 * platform's compilers. Link AOCLIB.lib; AOCLIB.dll imports from coredll.dll
 * alone.
 *
 * Every function returns an AocStatus; AocStatusText turns it into a
 * sentence. Functions on one board may be called from several threads at
 * once: each call holds the board's own lock while it talks to the driver. */
#include <stddef.h>
#include <windows.h>

#if defined(__cplusplus)
extern "C" {
#endif

#if defined(AOCLIB_BUILDING) && defined(_WIN32)
#define AOCLIB_API __declspec(dllexport)
#elif defined(AOCLIB_BUILDING)
#define AOCLIB_API __attribute__((visibility("default")))
#elif defined(_WIN32)
#define AOCLIB_API __declspec(dllimport)
#else
#define AOCLIB_API
#endif

#define AOC_CHANNELS 4      /* channels 0 to 3 */
#define AOC_MAX_BOARDS 10   /* the device manager names them AOC1: to AOC9:, then AOC0: */
#define AOC_CODE_MAX 4095   /* the converters take 12-bit codes */
#define AOC_CALL_NAME_SIZE 6

/* ---- Statuses --------------------------------------------------------------- */
typedef enum AocStatus {
    AOC_OK = 0,
    /* The caller's request */
    AOC_BAD_ARGUMENT = 1,       /* a null pointer, a channel above 3, an unknown range, unit or flag */
    AOC_VALUE_OUT_OF_RANGE = 2, /* the value lies outside the channel's range */
    AOC_VALUE_NOT_FINITE = 3,   /* the value is NaN or infinite */
    AOC_WRONG_UNIT = 4,         /* volts for a current range, or milliamperes for a voltage range */
    AOC_RANGE_UNKNOWN = 5,      /* the channel's range is none of the six: no volts or milliamperes */
    AOC_MORE_BOARDS = 6,        /* more boards were found than the array holds */
    /* Finding and opening a board */
    AOC_NO_BOARD = 7,           /* no published board answers to that name or number */
    AOC_SWITCH_SHARED = 8,      /* several published boards have that switch number */
    AOC_OPEN_FAILED = 9,        /* the device did not open; GetLastError says why */
    AOC_REGISTRY_ERROR = 10,    /* the driver's published keys could not be read */
    AOC_NO_MEMORY = 11,         /* the local heap had no room for the board's record */
    /* The driver's answers: its error numbers, and what the thread error says */
    AOC_DRIVER_NO_DEVICE = 12,         /* error number 3, thread error 0x20000003 */
    AOC_DRIVER_BAD_ARGUMENT = 13,      /* error number 10, thread error 0x2000000A */
    AOC_DRIVER_PORT_OUT_OF_RANGE = 14, /* error number 64, thread error 0x20000040 */
    AOC_DRIVER_ERROR = 15,             /* another thread error with bit 29 set */
    AOC_DRIVER_REFUSED = 16,           /* the driver refused without a thread error */
    AOC_BOARD_GONE = 17,               /* the board's device was unloaded since it was opened */
    AOC_SYSTEM_ERROR = 18              /* the system failed the request; GetLastError says why */
} AocStatus;

/* A sentence saying what the status means, such as "several published boards
 * have that switch number: open one of them by its call name or device
 * number". Never NULL; an unknown status has a sentence that says so. */
AOCLIB_API const char* AocStatusText(AocStatus status);

/* The status a thread error after a failed DeviceIoControl stands for: the
 * driver's error number n arrives as 0x20000000 + n (AOC_DRIVER_NO_DEVICE,
 * AOC_DRIVER_BAD_ARGUMENT, AOC_DRIVER_PORT_OUT_OF_RANGE, AOC_DRIVER_ERROR for
 * any other), 0 as AOC_DRIVER_REFUSED, ERROR_INVALID_HANDLE_STATE as
 * AOC_BOARD_GONE and any other as AOC_SYSTEM_ERROR. These seven are "the
 * driver statuses" below: what a call that sends a request may return when
 * the request fails. The library leaves the thread error as the request
 * left it. */
AOCLIB_API AocStatus AocStatusOfThreadError(DWORD threadError);

/* ---- Ranges and units --------------------------------------------------------- */
typedef enum AocRange {
    AOC_RANGE_0_TO_5V = 0,
    AOC_RANGE_0_TO_10V = 1,
    AOC_RANGE_MINUS5_TO_5V = 2,
    AOC_RANGE_MINUS10_TO_10V = 3,
    AOC_RANGE_4_TO_20MA = 4,  /* a current loop: the channel's output runs on 0..5 V */
    AOC_RANGE_0_TO_20MA = 5,
    AOC_RANGE_OTHER = 6       /* read back only: the stored pair is none of the six */
} AocRange;

typedef enum AocUnit {
    AOC_VOLTS = 0,
    AOC_MILLIAMPS = 1,
    AOC_CODE = 2              /* a raw converter code, 0 to 4095 */
} AocUnit;

/* A channel's range as the driver holds it: one of the six, or
 * AOC_RANGE_OTHER with the stored pair, which is then no guess at a range. */
typedef struct AocChannelRange {
    AocRange Range;
    AocUnit Unit;   /* AOC_VOLTS or AOC_MILLIAMPS: the unit of Low and High */
    double Low;     /* the stored minimum */
    double High;    /* the stored maximum */
} AocChannelRange;

/* The range's words: "0..5 V", "0..10 V", "-5..5 V", "-10..10 V",
 * "4..20 mA", "0..20 mA", and "another range" for AOC_RANGE_OTHER. Never NULL. */
AOCLIB_API const char* AocRangeText(AocRange range);

/* The range whose words `text` holds, in any letter case, with or without the
 * blank before the unit ("0..10V", "4..20 mA"). AOC_BAD_ARGUMENT for any
 * other text, or a NULL pointer. */
AOCLIB_API AocStatus AocParseRange(const char* text, AocRange* range);

/* ---- The transfer function ----------------------------------------------------
 * A converter takes a 12-bit code c and drives, on a range from Low to High,
 *     value(c) = Low + (High - Low) * c / 4096.
 * Code 0 drives Low; the top code, 4095, one step below High:
 *     0..5 V    0 V .. 4.998779 V      0..10 V    0 V .. 9.997559 V
 *     -5..5 V  -5 V .. 4.997559 V      -10..10 V -10 V .. 9.995117 V
 *     4..20 mA  4 mA .. 19.996094 mA   0..20 mA   0 mA .. 19.995117 mA
 * A value from Low to High gets the nearest code,
 *     c = floor((value - Low) * 4096 / (High - Low) + 0.5),
 * so the output is within half a step of the value, a value exactly half a
 * step above a code's value getting the code above; from half a step below
 * High up to High the top code is as near as the converter gets. This is the
 * one function the simulated target computes its outputs with, too. */

/* Flags of the write functions. */
#define AOC_CLAMP 0x0001  /* a value outside the range, or an infinity, takes the nearer end */

/* The code for `value` in `unit` on `range`. AOC_CODE values are whole
 * numbers from 0 to 4095.
 * Errors: AOC_BAD_ARGUMENT (NULL code, AOC_RANGE_OTHER or an unknown range,
 * an unknown unit or flag, an AOC_CODE value that is no whole number),
 * AOC_WRONG_UNIT (volts on a current range, milliamperes on a voltage
 * range), AOC_VALUE_OUT_OF_RANGE (below Low or above High, or outside 0 to
 * 4095, without AOC_CLAMP), AOC_VALUE_NOT_FINITE (NaN, whatever the flags;
 * an infinity without AOC_CLAMP). `code` is written only on AOC_OK. */
AOCLIB_API AocStatus AocValueToCode(AocRange range, double value, AocUnit unit, DWORD flags, WORD* code);

/* What `code` drives on `range`, in the range's unit. Errors:
 * AOC_BAD_ARGUMENT (a NULL pointer, AOC_RANGE_OTHER or an unknown range, a
 * code above 4095). */
AOCLIB_API AocStatus AocCodeToValue(AocRange range, DWORD code, double* value, AocUnit* unit);

/* ---- Finding boards -------------------------------------------------------------- */

/* A board the driver has published, as its device key holds it. */
typedef struct AocBoardInfo {
    LONG DeviceNumber;                 /* the number of its device keys, 0 to 254 */
    char CallName[AOC_CALL_NAME_SIZE]; /* the stream name it is opened by, "AOC1:" */
    DWORD BusNumber;
    DWORD SlotNumber;                  /* the PCI device number */
    DWORD SwitchNumber;                /* the board-ID switch; 0 on a board without one */
    DWORD IoBase;                      /* the first port of its I/O window */
    DWORD IoLength;                    /* the ports of the window; 0 when it has none */
    /* The published ranges, which every open of the board loads: the board's
     * channels run on them until a range is set. */
    AocChannelRange Channels[AOC_CHANNELS];
} AocBoardInfo;

/* The boards the driver has published that are loaded now, by device number:
 * each published device key whose call name the device manager's active key
 * gives this very board (the same bus and slot). A key left from a board no
 * longer in the machine is not listed. Up to `capacity` of them go into
 * `boards` (NULL when `capacity` is 0); `found` receives how many there are.
 * Errors: AOC_BAD_ARGUMENT (NULL found, or NULL boards with a capacity),
 * AOC_MORE_BOARDS (`boards` holds the first `capacity`), AOC_REGISTRY_ERROR
 * (a key could not be read; a driver that published nothing yet finds no
 * boards, which is no error). */
AOCLIB_API AocStatus AocFindBoards(AocBoardInfo* boards, DWORD capacity, DWORD* found);

/* ---- Opening a board ------------------------------------------------------------
 * Each open finds the board as AocFindBoards does, opens its device and reads
 * the four channels' ranges. Every open of a board, by any program, makes the
 * driver load the published ranges again (AocOpen* included): ranges set
 * through an earlier handle then no longer hold. The board's record lives in
 * the local heap until AocClose. */
typedef struct AocBoard AocBoard;

/* By call name ("AOC1:", any letter case).
 * Errors: AOC_BAD_ARGUMENT (a NULL pointer), AOC_NO_BOARD (no published,
 * loaded board has the name), AOC_OPEN_FAILED, AOC_REGISTRY_ERROR,
 * AOC_NO_MEMORY, and the driver statuses of reading the ranges. */
AOCLIB_API AocStatus AocOpenByName(const char* callName, AocBoard** board);
/* By device number, the number of its device keys (Device003: 3). Errors as
 * AocOpenByName. */
AOCLIB_API AocStatus AocOpenByDeviceNumber(LONG deviceNumber, AocBoard** board);
/* By switch number: the one published board whose board-ID switch is set to
 * it (boards without a switch count as 0). Errors as AocOpenByName, and
 * AOC_SWITCH_SHARED when several boards have that switch number: none is
 * opened, since any pick could drive the wrong outputs. */
AOCLIB_API AocStatus AocOpenBySwitch(DWORD switchNumber, AocBoard** board);

/* Closes the device and frees the record; no call on the board may be running
 * or follow. Errors: AOC_BAD_ARGUMENT (NULL). */
AOCLIB_API AocStatus AocClose(AocBoard* board);

/* What the board was found as when it was opened. Errors: AOC_BAD_ARGUMENT. */
AOCLIB_API AocStatus AocGetBoardInfo(AocBoard* board, AocBoardInfo* info);

/* ---- Ranges -------------------------------------------------------------------- */

/* Sets the channel's range: the driver stores it and programs the channel's
 * range bits; the channel's initial code stays. It lasts until the board is
 * next opened (see above).
 * Errors: AOC_BAD_ARGUMENT (NULL board, a channel above 3, AOC_RANGE_OTHER or
 * an unknown range), the driver statuses (AOC_DRIVER_PORT_OUT_OF_RANGE on a
 * board whose I/O window does not reach the range register). */
AOCLIB_API AocStatus AocSetRange(AocBoard* board, int channel, AocRange range);

/* Reads the channel's range back from the driver. A pair that is none of the
 * six reads back as AOC_RANGE_OTHER with its numbers.
 * Errors: AOC_BAD_ARGUMENT (a NULL pointer, a channel above 3), the driver
 * statuses. */
AOCLIB_API AocStatus AocGetRange(AocBoard* board, int channel, AocChannelRange* range);

/* ---- Writing outputs --------------------------------------------------------------
 * A write converts the value with the transfer function above on the
 * channel's range and sends the code with one write-channel request. The
 * library keeps each channel's range from the open, AocSetRange and
 * AocGetRange, and reads it again first when a handle of this program opened
 * the board or set a range since; what another program does to the board it
 * cannot see: call AocGetRange after it.
 * A refused value writes nothing. */

/* What a write did: the code written and the value it drives. */
typedef struct AocOutput {
    AocStatus Status; /* AOC_OK, or why this channel's value was refused */
    WORD Code;        /* the code written, 0 to 4095 */
    double Value;     /* what it drives, in Unit */
    AocUnit Unit;     /* the channel's unit; AOC_CODE when its range is none of the six */
} AocOutput;

/* Writes `value` in `unit` to the channel; `written` (may be NULL) receives
 * what was written.
 * Errors: those of AocValueToCode, with AOC_BAD_ARGUMENT also for a NULL
 * board or a channel above 3; AOC_RANGE_UNKNOWN (volts or milliamperes on a
 * channel whose range is none of the six); the driver statuses. */
AOCLIB_API AocStatus AocWrite(AocBoard* board, int channel, double value, AocUnit unit, DWORD flags,
                              AocOutput* written);
/* AocWrite with the unit AOC_VOLTS, AOC_MILLIAMPS or AOC_CODE: the same
 * errors. */
AOCLIB_API AocStatus AocWriteVolts(AocBoard* board, int channel, double volts, DWORD flags, AocOutput* written);
AOCLIB_API AocStatus AocWriteMilliamps(AocBoard* board, int channel, double milliamps, DWORD flags,
                                       AocOutput* written);
AOCLIB_API AocStatus AocWriteCode(AocBoard* board, int channel, DWORD code, DWORD flags, AocOutput* written);

/* A value with its unit, for AocWriteAll. */
typedef struct AocValue {
    double Value;
    AocUnit Unit;
} AocValue;

/* Writes all four channels, values[n] to channel n, in one hold of the
 * board's lock. Every value is checked first: when any is refused, none is
 * written and the status is the first refused channel's; `written` (may be
 * NULL) then tells each channel's status. When the driver fails a write, the
 * channels before it stay written and it and those after it carry its
 * status. Errors: as AocWrite. */
AOCLIB_API AocStatus AocWriteAll(AocBoard* board, const AocValue values[AOC_CHANNELS], DWORD flags,
                                 AocOutput written[AOC_CHANNELS]);

/* ---- Mode flag and strobe ---------------------------------------------------------- */

/* Writes 1 (on) or 0 to the board's mode-flag register. Errors:
 * AOC_BAD_ARGUMENT (NULL board), the driver statuses. */
AOCLIB_API AocStatus AocSetModeFlag(AocBoard* board, BOOL on);

/* Writes the strobe register. Errors: AOC_BAD_ARGUMENT (NULL board), the
 * driver statuses. */
AOCLIB_API AocStatus AocStrobe(AocBoard* board);

/* The records are part of the interface, laid out alike by every compiler of
 * the target (doubles 8-byte aligned, enumerations 4 bytes): checked where
 * the header is compiled, in a form C89 and C++03 take. */
#define AOCLIB_CHECK(name, condition) typedef char AocLibCheck_##name[(condition) ? 1 : -1]
AOCLIB_CHECK(EnumerationsAre4Bytes, sizeof(AocStatus) == 4 && sizeof(AocRange) == 4 && sizeof(AocUnit) == 4);
AOCLIB_CHECK(ChannelRangeLayout, sizeof(AocChannelRange) == 24 && offsetof(AocChannelRange, Unit) == 4 &&
                                     offsetof(AocChannelRange, Low) == 8 && offsetof(AocChannelRange, High) == 16);
AOCLIB_CHECK(BoardInfoLayout, sizeof(AocBoardInfo) == 128 && offsetof(AocBoardInfo, CallName) == 4 &&
                                  offsetof(AocBoardInfo, BusNumber) == 12 && offsetof(AocBoardInfo, IoLength) == 28 &&
                                  offsetof(AocBoardInfo, Channels) == 32);
AOCLIB_CHECK(OutputLayout, sizeof(AocOutput) == 24 && offsetof(AocOutput, Code) == 4 &&
                               offsetof(AocOutput, Value) == 8 && offsetof(AocOutput, Unit) == 16);
AOCLIB_CHECK(ValueLayout, sizeof(AocValue) == 16 && offsetof(AocValue, Unit) == 8);

#if defined(__cplusplus)
}
#endif

#endif /* AOCLIB_H */
