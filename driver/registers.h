#pragma once
// The board's registers and everything that touches them: the port
// primitives, the range code of a voltage pair and the two operations that
// program AO_RANGE.
#include "ao_output.h"
#include "aoc_ioctl.h"
#include "vqx6406s.h"

// ---- Register map, by offset from BaseAddress -------------------------------------
inline constexpr DWORD AO_DATA_0 = 0;  // 16-bit output code of channel n at AO_DATA_0 + 2n
inline constexpr DWORD AO_DATA_1 = 2;
inline constexpr DWORD AO_DATA_2 = 4;
inline constexpr DWORD AO_DATA_3 = 6;
inline constexpr DWORD AO_RANGE = 8;       // two range bits per channel, channel 0 lowest
inline constexpr DWORD AO_STROBE = 9;      // written with 0
inline constexpr DWORD AO_MODE_FLAG = 15;  // written with 1 or 0
inline constexpr DWORD SWITCH_ID = 20;     // low four bits: the board-ID switch

inline constexpr DWORD AO_DATA_WIDTH = 2;
inline constexpr DWORD AO_RANGE_BITS = 2;
inline constexpr BYTE AO_RANGE_CHANNEL_MASK = 0x3;
inline constexpr BYTE SWITCH_ID_MASK = 0x0F;

constexpr DWORD ChannelDataRegister(DWORD channel) { return AO_DATA_0 + AO_DATA_WIDTH * channel; }
constexpr DWORD RangeShift(DWORD channel) { return AO_RANGE_BITS * channel; }
static_assert(ChannelDataRegister(3) == AO_DATA_3);

// ---- Port primitives: one port instruction each -----------------------------------
// Port numbers are 16 bits; BaseAddress + offset wraps modulo 65536.
inline WORD BoardPort(const DeviceContext* pDevice, DWORD offset) {
    return static_cast<WORD>(pDevice->BaseAddress + offset);
}
// None of these takes Lock; their callers hold it.
inline BYTE ReadPortByte(WORD port) { return __inbyte(port); }
inline WORD ReadPortWord(WORD port) { return __inword(port); }
inline DWORD ReadPortDword(WORD port) { return __indword(port); }
inline void WritePortByte(WORD port, BYTE value) { __outbyte(port, value); }
inline void WritePortWord(WORD port, WORD value) { __outword(port, value); }
inline void WritePortDword(WORD port, DWORD value) { __outdword(port, value); }

// TRUE when `width` ports from `offset` all lie inside the board's I/O window.
// A board that start-up found without a window (IoPortCount 0) holds none.
inline BOOL WindowHolds(const DeviceContext* pDevice, DWORD offset, DWORD width) {
    return offset < pDevice->IoPortCount && width <= pDevice->IoPortCount - offset;
}

// ---- Output ranges ------------------------------------------------------------------
// RangeCode (ao_output.h) gives a voltage pair's code; a pair that is none of
// the four has none.

// The voltage pair a record stores: current ranges ride on 0..5 V.
void RecordVoltagePair(const RangeRecord* pRecord, float* pVoltageMax, float* pVoltageMin);

// Sets channel n's bits of AO_RANGE to the code of its stored voltage pair; a
// pair without a code leaves the register untouched. Lock must be held.
void UpdateRangeRegister(DeviceContext* pDevice, DWORD channel);

// Stores the record as the channel's setting and programs its range bits, in
// one hold of Lock. FALSE, with nothing stored or touched, for a channel above 3.
BOOL StoreChannelRange(DeviceContext* pDevice, const RangeRecord* pRecord);

// Brings the channel's range bits in line with its stored setting and writes
// the value to its data register, in one hold of Lock. A channel above 3
// touches nothing. Always TRUE.
BOOL WriteChannelOutput(DeviceContext* pDevice, DWORD channel, WORD value);
