// The six ranges, their words, and values turned into codes on them with the
// one transfer function (ao_output.h).
#include "ao_output.h"
#include "internal.h"

namespace {

// A current loop rides on 0..5 V, range code 0; the voltage ranges are the
// four range codes, in their order.
struct CurrentRange {
    float High, Low;
};
const CurrentRange kCurrentRanges[] = {{20.0f, 4.0f}, {20.0f, 0.0f}};
const AocRange kFirstCurrentRange = AOC_RANGE_4_TO_20MA;

const char* const kRangeTexts[] = {"0..5 V", "0..10 V", "-5..5 V", "-10..10 V", "4..20 mA", "0..20 mA"};
const char* const kOtherRangeText = "another range";

BOOL IsCurrentRange(AocRange range) { return range >= kFirstCurrentRange; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `text` equals `words` but for letter case and the blank before the unit,
// which either may leave out.
BOOL SameRangeWords(const char* text, const char* words) {
    while (*text || *words) {
        if (*words == ' ' && *text != ' ') {
            ++words;
            continue;
        }
        if (Lower(*text) != Lower(*words)) return FALSE;
        ++text;
        ++words;
    }
    return TRUE;
}

AocStatus StatusOfFit(AoValueFit fit) {
    switch (fit) {
    case AO_VALUE_FITS:
    case AO_VALUE_CLAMPED: return AOC_OK;
    case AO_VALUE_OUTSIDE: return AOC_VALUE_OUT_OF_RANGE;
    default: return AOC_VALUE_NOT_FINITE;
    }
}

// A raw code: a whole number from 0 to 4095, or clamped to it.
AocStatus CodeOfNumber(double value, DWORD flags, WORD* code) {
    double fitted = 0;
    AocStatus status = StatusOfFit(AoFitValue(0, AO_CODE_MAX, value, (flags & AOC_CLAMP) != 0, &fitted));
    if (status != AOC_OK) return status;
    int whole = static_cast<int>(fitted);
    if (whole != fitted) return AOC_BAD_ARGUMENT;
    *code = static_cast<WORD>(whole);
    return AOC_OK;
}

}  // namespace

BOOL IsKnownRange(AocRange range) { return range >= AOC_RANGE_0_TO_5V && range < AOC_RANGE_OTHER; }

void RangeEnds(AocRange range, AocUnit* unit, double* low, double* high) {
    if (IsCurrentRange(range)) {
        const CurrentRange& c = kCurrentRanges[range - kFirstCurrentRange];
        *unit = AOC_MILLIAMPS;
        *low = c.Low;
        *high = c.High;
    } else {
        const AoRangePair& v = RANGE_CODE_PAIRS[range];
        *unit = AOC_VOLTS;
        *low = v.VoltageMin;
        *high = v.VoltageMax;
    }
}

void RangeRecordFor(AocRange range, WORD channel, WORD initialCode, RangeRecord* record) {
    AocUnit unit;
    double low, high;
    RangeEnds(range, &unit, &low, &high);
    record->Reserved = 0;
    record->InitialCode = initialCode;
    record->Mode = unit == AOC_MILLIAMPS ? RANGE_MODE_CURRENT : RANGE_MODE_VOLTAGE;
    record->Channel = channel;
    record->Maximum = static_cast<float>(high);
    record->Minimum = static_cast<float>(low);
}

void ClassifyRange(BOOL current, float maximum, float minimum, AocChannelRange* range) {
    range->Unit = current ? AOC_MILLIAMPS : AOC_VOLTS;
    range->Low = minimum;
    range->High = maximum;
    range->Range = AOC_RANGE_OTHER;
    if (current) {
        for (int i = 0; i < 2; ++i) {
            if (maximum == kCurrentRanges[i].High && minimum == kCurrentRanges[i].Low) {
                range->Range = static_cast<AocRange>(kFirstCurrentRange + i);
            }
        }
    } else {
        int code = RangeCode(maximum, minimum);
        if (code != RANGE_CODE_NONE) range->Range = static_cast<AocRange>(code);
    }
}

AocStatus ConvertValue(const AocChannelRange& range, double value, AocUnit unit, DWORD flags, WORD* code) {
    if (flags & ~static_cast<DWORD>(AOC_CLAMP)) return AOC_BAD_ARGUMENT;
    if (unit == AOC_CODE) return CodeOfNumber(value, flags, code);
    if (unit != AOC_VOLTS && unit != AOC_MILLIAMPS) return AOC_BAD_ARGUMENT;
    if (range.Range == AOC_RANGE_OTHER) return AOC_RANGE_UNKNOWN;
    if (unit != range.Unit) return AOC_WRONG_UNIT;
    unsigned taken = 0;
    AocStatus status = StatusOfFit(AoValueToCode(range.Low, range.High, value, (flags & AOC_CLAMP) != 0, &taken));
    if (status == AOC_OK) *code = static_cast<WORD>(taken);
    return status;
}

void DescribeCode(const AocChannelRange& range, WORD code, AocOutput* output) {
    output->Code = code;
    if (range.Range == AOC_RANGE_OTHER) {
        output->Unit = AOC_CODE;
        output->Value = code;
    } else {
        output->Unit = range.Unit;
        output->Value = AoCodeToValue(range.Low, range.High, code);
    }
}

AOCLIB_API const char* AocRangeText(AocRange range) {
    return IsKnownRange(range) ? kRangeTexts[range] : kOtherRangeText;
}

AOCLIB_API AocStatus AocParseRange(const char* text, AocRange* range) {
    if (!text || !range) return AOC_BAD_ARGUMENT;
    for (int r = AOC_RANGE_0_TO_5V; r < AOC_RANGE_OTHER; ++r) {
        if (SameRangeWords(text, kRangeTexts[r])) {
            *range = static_cast<AocRange>(r);
            return AOC_OK;
        }
    }
    return AOC_BAD_ARGUMENT;
}

AOCLIB_API AocStatus AocValueToCode(AocRange range, double value, AocUnit unit, DWORD flags, WORD* code) {
    if (!code || !IsKnownRange(range)) return AOC_BAD_ARGUMENT;
    AocChannelRange channel;
    channel.Range = range;
    RangeEnds(range, &channel.Unit, &channel.Low, &channel.High);
    return ConvertValue(channel, value, unit, flags, code);
}

AOCLIB_API AocStatus AocCodeToValue(AocRange range, DWORD code, double* value, AocUnit* unit) {
    if (!value || !unit || !IsKnownRange(range) || code > AO_CODE_MAX) return AOC_BAD_ARGUMENT;
    double low, high;
    RangeEnds(range, unit, &low, &high);
    *value = AoCodeToValue(low, high, code);
    return AOC_OK;
}
