#pragma once
// What a channel's output is: the four ranges the board's AO_RANGE bits
// select, and the transfer function of its 12-bit converters. The driver
// programs range codes from it, the simulated board computes what it drives
// from it, and the application library turns volts and milliamperes into
// codes with it: one definition for all three.

// ---- Range codes ------------------------------------------------------------
// The voltage pair each code of a channel's two AO_RANGE bits selects: 0..5 V,
// 0..10 V, -5..+5 V, -10..+10 V. A current loop rides on code 0.
struct AoRangePair {
    float VoltageMax;
    float VoltageMin;
};
inline constexpr int RANGE_CODE_COUNT = 4;
extern const AoRangePair RANGE_CODE_PAIRS[RANGE_CODE_COUNT];

// The code of a voltage pair, by exact comparison of the stored floats (-0
// equals 0); RANGE_CODE_NONE for any other pair, NaN included.
inline constexpr int RANGE_CODE_NONE = -1;
int RangeCode(float VoltageMax, float VoltageMin);

// ---- Transfer function ----------------------------------------------------------
// A converter takes the low 12 bits of its data register. On a range from
// `low` to `high` (volts, or milliamperes on a current loop) code c drives
//
//     value(c) = low + (high - low) * c / 4096
//
// so one step is (high - low) / 4096, code 0 drives `low` exactly and the top
// code, 4095, drives one step below `high`:
//
//     0..5 V     code 0: 0 V      code 4095: 4.998779 V   step 1.220703 mV
//     0..10 V    code 0: 0 V      code 4095: 9.997559 V   step 2.441406 mV
//     -5..5 V    code 0: -5 V     code 4095: 4.997559 V   step 2.441406 mV
//     -10..10 V  code 0: -10 V    code 4095: 9.995117 V   step 4.882813 mV
//     4..20 mA   code 0: 4 mA     code 4095: 19.996094 mA step 3.906250 uA
//     0..20 mA   code 0: 0 mA     code 4095: 19.995117 mA step 4.882813 uA
//
// Every step is a power-of-two fraction of these spans, so the values of all
// codes, and the half steps between them, are exact in a double.
inline constexpr unsigned AO_CODE_SPAN = 4096;
inline constexpr unsigned AO_CODE_MAX = AO_CODE_SPAN - 1;

double AoCodeToValue(double low, double high, unsigned code);

enum AoValueFit {
    AO_VALUE_FITS,        // low <= value <= high
    AO_VALUE_CLAMPED,     // outside, or infinite, and clamped to the nearer end
    AO_VALUE_OUTSIDE,     // below low or above high: no code
    AO_VALUE_NOT_FINITE,  // NaN, or an infinity not clamped: no code
};

// Where `value` stands against the range from `low` to `high`: inside (its
// ends included), outside or not finite; with `clamp` a value outside, or an
// infinity, takes the nearer end. `fitted` receives the value or that end
// when the result is AO_VALUE_FITS or AO_VALUE_CLAMPED.
AoValueFit AoFitValue(double low, double high, double value, bool clamp, double* fitted);

// The code for `value` on the range from `low` to `high` (low < high): the
// nearest one, c = floor((value - low) * 4096 / (high - low) + 0.5), so a
// value exactly half a step above code c's gives c + 1; at most 4095, so from
// half a step below `high` up to `high` itself the top code, one step below
// `high`, is as near as the converter gets. Values outside the range, and
// infinities, have no code unless `clamp` is set, which takes the nearer end
// (code 0 or 4095); NaN never has one. `code` is written only when the
// result is AO_VALUE_FITS or AO_VALUE_CLAMPED.
AoValueFit AoValueToCode(double low, double high, double value, bool clamp, unsigned* code);
