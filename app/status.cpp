// Statuses in words, and the thread errors a failed request leaves.
#include "internal.h"

namespace {

const char* const kTexts[] = {
    "done",
    "an argument is missing or wrong: a null pointer, a channel above 3, or an unknown range, unit or flag",
    "the value lies outside the channel's range",
    "the value is not a number or is infinite",
    "the value's unit is not the channel's: volts go to a voltage range, milliamperes to a current range",
    "the channel's range is none of the six, so volts and milliamperes have no code on it: set a range first",
    "more boards were found than the array holds",
    "no board that the driver has published and that is loaded now answers to that name or number",
    "several published boards have that switch number: open one of them by its call name or device number",
    "the board's device did not open",
    "the driver's published keys in the registry could not be read",
    "there is no memory left for the board's record",
    "the driver found no device behind the handle (error 3)",
    "the driver refused an argument of the request (error 10)",
    "the board's I/O window does not reach the register the request needs (error 64)",
    "the driver failed the request with an error number of its own",
    "the driver refused the request without saying why",
    "the board's device was unloaded since it was opened",
    "the system failed the request",
};
static_assert(sizeof kTexts / sizeof kTexts[0] == AOC_SYSTEM_ERROR + 1, "a sentence for every status");

}  // namespace

AOCLIB_API const char* AocStatusText(AocStatus status) {
    if (status < AOC_OK || status > AOC_SYSTEM_ERROR) return "an unknown status";
    return kTexts[status];
}

AOCLIB_API AocStatus AocStatusOfThreadError(DWORD threadError) {
    switch (threadError) {
    case 0: return AOC_DRIVER_REFUSED;
    case DRIVER_THREAD_ERROR(ERR_NO_DEVICE): return AOC_DRIVER_NO_DEVICE;
    case DRIVER_THREAD_ERROR(ERR_BAD_ARGUMENT): return AOC_DRIVER_BAD_ARGUMENT;
    case DRIVER_THREAD_ERROR(ERR_PORT_OUT_OF_RANGE): return AOC_DRIVER_PORT_OUT_OF_RANGE;
    case ERROR_INVALID_HANDLE_STATE: return AOC_BOARD_GONE;
    default: return (threadError & APPLICATION_ERROR_MASK) ? AOC_DRIVER_ERROR : AOC_SYSTEM_ERROR;
    }
}
