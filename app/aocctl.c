/* aocctl: the boards' outputs from the command line of the target, through
 * aoclib.h alone. Written in C89, as the platform's compilers take it.
 *
 *   aocctl list
 *   aocctl BOARD COMMAND...
 *
 * BOARD is a call name (AOC1:), device=N or switch=N. The commands run in
 * order and stop at the first that fails:
 *   range CHANNEL RANGE   0..5V, 0..10V, -5..5V, -10..10V, 4..20mA, 0..20mA
 *   write CHANNEL VALUE   volts (2.5V), milliamperes (12mA) or a code (2048, 0x800)
 *   clamp                 later writes take the nearer end of the range
 *   mode on|off           the mode flag
 *   strobe
 * The exit status is 0, 1 when a call failed, 2 for a command line it does
 * not understand. Numbers are printed from whole numbers, so the text is the
 * same whatever C runtime prints it. */
#include <stdio.h>

#include "aoclib.h"

#if defined(_WIN32)
#define AOCCTL_ENTRY
#else
/* The simulated target runs the program in its own process and finds the
 * entry routine by name. */
#define AOCCTL_ENTRY __attribute__((visibility("default")))
#endif

#define MAX_WORDS 32
#define WORD_SIZE 32
#define EXIT_FAILED 1
#define EXIT_USAGE 2

typedef struct Words {
    char Text[MAX_WORDS][WORD_SIZE];
    int Count;
} Words;

static const char* const kUsage =
    "usage: aocctl list\n"
    "       aocctl BOARD COMMAND...\n"
    "BOARD: a call name (AOC1:), device=N or switch=N\n"
    "COMMAND: range CHANNEL RANGE (0..5V 0..10V -5..5V -10..10V 4..20mA 0..20mA)\n"
    "         write CHANNEL VALUE (2.5V, 12mA, or a code: 2048, 0x800)\n"
    "         clamp, mode on|off, strobe\n";

/* ---- Words and numbers ------------------------------------------------------------ */

/* The command line split at blanks; a unit beyond ASCII becomes '?'. FALSE when
 * there are too many words or one is too long. */
static BOOL SplitCommandLine(const WCHAR* line, Words* words) {
    int length = 0;
    words->Count = 0;
    for (;; ++line) {
        BOOL blank = *line == ' ' || *line == '\t' || *line == 0;
        if (!blank) {
            if (length == 0 && words->Count == MAX_WORDS) return FALSE;
            if (length == WORD_SIZE - 1) return FALSE;
            words->Text[words->Count][length++] = (char)(*line < 0x7F ? *line : '?');
        } else if (length) {
            words->Text[words->Count++][length] = 0;
            length = 0;
        }
        if (*line == 0) return TRUE;
    }
}

static char Lower(char c) { return (char)(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); }

static BOOL Same(const char* a, const char* b) {
    for (; *a || *b; ++a, ++b) {
        if (Lower(*a) != Lower(*b)) return FALSE;
    }
    return TRUE;
}

/* `text` starts with `prefix`; `rest` receives what follows. */
static BOOL StartsWith(const char* text, const char* prefix, const char** rest) {
    for (; *prefix; ++prefix, ++text) {
        if (Lower(*text) != Lower(*prefix)) return FALSE;
    }
    *rest = text;
    return TRUE;
}

/* A whole number, decimal or 0x hexadecimal, up to 0xFFFFFFF. */
static BOOL ParseWhole(const char* text, DWORD* number) {
    DWORD base = 10, value = 0;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text += 2;
    }
    if (!*text) return FALSE;
    for (; *text; ++text) {
        char c = Lower(*text);
        DWORD digit = c >= '0' && c <= '9' ? (DWORD)(c - '0') : c >= 'a' && c <= 'f' ? (DWORD)(c - 'a' + 10) : 16;
        if (digit >= base || value > 0xFFFFFFF / base) return FALSE;
        value = value * base + digit;
    }
    *number = value;
    return TRUE;
}

/* A decimal number with an optional sign and fraction, ending where `end`
 * says. Built from a whole mantissa and a power of ten, both exact, so the
 * value is the double nearest the text. */
static BOOL ParseDecimal(const char* text, const char* end, double* value) {
    static const double kTens[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    double mantissa = 0;
    int digits = 0, decimals = -1;
    BOOL negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    for (; text < end; ++text) {
        if (*text == '.' && decimals < 0) {
            decimals = 0;
        } else if (*text >= '0' && *text <= '9' && digits < 15) {
            mantissa = mantissa * 10 + (*text - '0');
            ++digits;
            if (decimals >= 0) ++decimals;
        } else {
            return FALSE;
        }
    }
    if (digits == 0 || decimals > 9) return FALSE;
    *value = (negative ? -mantissa : mantissa) / kTens[decimals > 0 ? decimals : 0];
    return TRUE;
}

/* "2.5V", "12mA", or a code: "2048", "0x800". */
static BOOL ParseValue(const char* text, AocValue* value) {
    const char* end = text;
    DWORD code;
    while (*end) ++end;
    if (end - text > 1 && Lower(end[-1]) == 'v') {
        value->Unit = AOC_VOLTS;
        return ParseDecimal(text, end - 1, &value->Value);
    }
    if (end - text > 2 && Lower(end[-2]) == 'm' && Lower(end[-1]) == 'a') {
        value->Unit = AOC_MILLIAMPS;
        return ParseDecimal(text, end - 2, &value->Value);
    }
    value->Unit = AOC_CODE;
    if (!ParseWhole(text, &code)) return FALSE;
    value->Value = code;
    return TRUE;
}

static BOOL ParseChannel(const char* text, int* channel) {
    DWORD number;
    if (!ParseWhole(text, &number) || number >= AOC_CHANNELS) return FALSE;
    *channel = (int)number;
    return TRUE;
}

/* A value with four decimals, or with none when it is whole. */
static void PrintNumber(double value, BOOL fourDecimals) {
    const long scale = 10000;
    double scaled = (value < 0 ? -value : value) * scale + 0.5;
    long whole, fraction;
    if (scaled >= 2e9) scaled = 2e9; /* no value of a range comes near */
    whole = (long)scaled / scale;
    fraction = (long)scaled % scale;
    printf("%s%ld", value < 0 && (whole || fraction) ? "-" : "", whole);
    if (fourDecimals || fraction) printf(".%04ld", fraction);
}

static const char* UnitText(AocUnit unit) {
    return unit == AOC_VOLTS ? " V" : unit == AOC_MILLIAMPS ? " mA" : "";
}

static void PrintRange(const AocChannelRange* range) {
    if (range->Range != AOC_RANGE_OTHER) {
        printf("%s", AocRangeText(range->Range));
        return;
    }
    printf("%s (", AocRangeText(range->Range));
    PrintNumber(range->Low, FALSE);
    printf("..");
    PrintNumber(range->High, FALSE);
    printf("%s)", UnitText(range->Unit));
}

/* ---- Commands ----------------------------------------------------------------------- */

static int Failed(const char* what, AocStatus status) {
    printf("aocctl: %s: %s\n", what, AocStatusText(status));
    return EXIT_FAILED;
}

static int Usage(const char* why) {
    printf("aocctl: %s\n%s", why, kUsage);
    return EXIT_USAGE;
}

static int List(void) {
    AocBoardInfo boards[AOC_MAX_BOARDS];
    DWORD found = 0, i;
    int channel;
    AocStatus status = AocFindBoards(boards, AOC_MAX_BOARDS, &found);
    if (status != AOC_OK) return Failed("list", status);
    if (found == 0) printf("no boards\n");
    for (i = 0; i < found; ++i) {
        const AocBoardInfo* b = &boards[i];
        printf("%s  device %ld  switch %lu  bus %lu slot %lu  I/O 0x%lx+0x%lx\n   ", b->CallName, (long)b->DeviceNumber,
               (unsigned long)b->SwitchNumber, (unsigned long)b->BusNumber, (unsigned long)b->SlotNumber,
               (unsigned long)b->IoBase, (unsigned long)b->IoLength);
        for (channel = 0; channel < AOC_CHANNELS; ++channel) {
            printf(" AO%d ", channel);
            PrintRange(&b->Channels[channel]);
        }
        printf("\n");
    }
    return 0;
}

static AocStatus OpenBoard(const char* text, AocBoard** board) {
    const char* rest;
    DWORD number;
    if (StartsWith(text, "device=", &rest) && ParseWhole(rest, &number)) {
        return AocOpenByDeviceNumber((LONG)number, board);
    }
    if (StartsWith(text, "switch=", &rest) && ParseWhole(rest, &number)) return AocOpenBySwitch(number, board);
    return AocOpenByName(text, board);
}

/* Runs the commands from words[first] on; returns the exit status. */
static int RunCommands(AocBoard* board, const Words* words, int first) {
    AocBoardInfo info;
    DWORD flags = 0;
    int i = first;
    AocGetBoardInfo(board, &info);
    while (i < words->Count) {
        const char* command = words->Text[i];
        int channel;
        AocStatus status;
        if (Same(command, "range") && i + 2 < words->Count) {
            AocRange range;
            AocChannelRange set;
            if (!ParseChannel(words->Text[i + 1], &channel) || AocParseRange(words->Text[i + 2], &range) != AOC_OK) {
                return Usage("range takes a channel 0 to 3 and one of the six ranges");
            }
            status = AocSetRange(board, channel, range);
            if (status == AOC_OK) status = AocGetRange(board, channel, &set);
            if (status != AOC_OK) return Failed(command, status);
            printf("%s AO%d range ", info.CallName, channel);
            PrintRange(&set);
            printf("\n");
            i += 3;
        } else if (Same(command, "write") && i + 2 < words->Count) {
            AocValue value;
            AocOutput written;
            if (!ParseChannel(words->Text[i + 1], &channel) || !ParseValue(words->Text[i + 2], &value)) {
                return Usage("write takes a channel 0 to 3 and a value such as 2.5V, 12mA or 0x800");
            }
            status = AocWrite(board, channel, value.Value, value.Unit, flags, &written);
            if (status != AOC_OK) return Failed(words->Text[i + 2], status);
            printf("%s AO%d %s: code %u, ", info.CallName, channel, words->Text[i + 2], (unsigned)written.Code);
            PrintNumber(written.Value, written.Unit != AOC_CODE);
            printf("%s\n", UnitText(written.Unit));
            i += 3;
        } else if (Same(command, "clamp")) {
            flags |= AOC_CLAMP;
            i += 1;
        } else if (Same(command, "mode") && i + 1 < words->Count &&
                   (Same(words->Text[i + 1], "on") || Same(words->Text[i + 1], "off"))) {
            status = AocSetModeFlag(board, Same(words->Text[i + 1], "on"));
            if (status != AOC_OK) return Failed(command, status);
            printf("%s mode flag %s\n", info.CallName, words->Text[i + 1]);
            i += 2;
        } else if (Same(command, "strobe")) {
            status = AocStrobe(board);
            if (status != AOC_OK) return Failed(command, status);
            printf("%s strobe\n", info.CallName);
            i += 1;
        } else {
            return Usage("a command is unknown or lacks its arguments");
        }
    }
    return 0;
}

AOCCTL_ENTRY int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show) {
    Words words;
    AocBoard* board = NULL;
    AocStatus status;
    int result;
    (void)instance;
    (void)previous;
    (void)show;
    if (!SplitCommandLine(commandLine, &words)) return Usage("too many words, or one too long");
    if (words.Count == 1 && Same(words.Text[0], "list")) return List();
    if (words.Count < 2) return Usage("no command");
    status = OpenBoard(words.Text[0], &board);
    if (status != AOC_OK) return Failed(words.Text[0], status);
    result = RunCommands(board, &words, 1);
    AocClose(board);
    return result;
}
