// Range codes and the transfer function. Built into the driver and the
// application library too, so it calls no runtime: a CE image offers them no
// math library.
#include "ao_output.h"

const AoRangePair RANGE_CODE_PAIRS[RANGE_CODE_COUNT] = {
    {5.0f, 0.0f},
    {10.0f, 0.0f},
    {5.0f, -5.0f},
    {10.0f, -10.0f},
};

int RangeCode(float VoltageMax, float VoltageMin) {
    for (int code = 0; code < RANGE_CODE_COUNT; ++code) {
        if (VoltageMax == RANGE_CODE_PAIRS[code].VoltageMax && VoltageMin == RANGE_CODE_PAIRS[code].VoltageMin) {
            return code;
        }
    }
    return RANGE_CODE_NONE;
}

double AoCodeToValue(double low, double high, unsigned code) {
    // Through int: the target's compiler converts that inline, without a runtime.
    return low + (high - low) * static_cast<int>(code) / static_cast<int>(AO_CODE_SPAN);
}

AoValueFit AoFitValue(double low, double high, double value, bool clamp, double* fitted) {
    if (value != value) return AO_VALUE_NOT_FINITE;
    if (value >= low && value <= high) {
        *fitted = value;
        return AO_VALUE_FITS;
    }
    // Infinities fail this: inf - inf is NaN.
    const bool finite = value - value == 0.0;
    if (!clamp) return finite ? AO_VALUE_OUTSIDE : AO_VALUE_NOT_FINITE;
    *fitted = value < low ? low : high;
    return AO_VALUE_CLAMPED;
}

AoValueFit AoValueToCode(double low, double high, double value, bool clamp, unsigned* code) {
    double fitted = 0;
    AoValueFit fit = AoFitValue(low, high, value, clamp, &fitted);
    if (fit != AO_VALUE_FITS && fit != AO_VALUE_CLAMPED) return fit;
    // Non-negative here, so the conversion truncates to the floor.
    int nearest = static_cast<int>((fitted - low) * static_cast<int>(AO_CODE_SPAN) / (high - low) + 0.5);
    *code = nearest > static_cast<int>(AO_CODE_MAX) ? AO_CODE_MAX : static_cast<unsigned>(nearest);
    return fit;
}
