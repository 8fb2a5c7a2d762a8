#include "options.h"

#include <cstring>

#include "echo.h"
#include "requests.h"

namespace {

struct OptionRow {
    const char* name;
    const char* value;  // name of the value, or null for a flag
    const char* help;
    bool (*store)(Options&, const std::string&, std::string* error);
};

bool Once(std::string& field, const std::string& value, const char* option, std::string* error) {
    if (!field.empty()) {
        *error = std::string(option) + " is given twice";
        return false;
    }
    if (value.empty()) {
        *error = std::string(option) + " needs a file name";
        return false;
    }
    field = value;
    return true;
}

const OptionRow ROWS[] = {
    {"--help", nullptr, "show this text and exit",
     [](Options& o, const std::string&, std::string*) { return o.help = true; }},
    {"--registry", "FILE",
     "the target's persistent registry: loaded from FILE when it exists, saved back to it at exit as .reg text",
     [](Options& o, const std::string& v, std::string* e) { return Once(o.registryFile, v, "--registry", e); }},
    {"--import", "SCRIPT",
     "merge a registry script into the registry before the boards start, as the image build does (repeatable)",
     [](Options& o, const std::string& v, std::string*) {
         o.imports.push_back(v);
         return true;
     }},
    {"--board", "LIST",
     "one board as key=value pairs separated by commas (repeatable): bus, slot, subsys (PCI subsystem ID), "
     "io (I/O base, 32 bits; the board answers on ports io+n modulo 65536, so a window may run past 0xffff "
     "and wrap), len (I/O length up to 0x10000, 0 for none), switch (the byte SWITCH_ID reads, 0..255: its "
     "low four bits are the board-ID switch)",
     [](Options& o, const std::string& v, std::string*) {
         o.boards.push_back(v);
         return true;
     }},
    {"--on", "NAME",
     "the call name of the board that requests go to (AOC1:), unless a request begins with another call name",
     [](Options& o, const std::string& v, std::string* e) { return Once(o.requestBoard, v, "--on", e); }},
    {"--request", "TEXT",
     "one request to send once the boards have started (repeatable; the requests are listed below)",
     [](Options& o, const std::string& v, std::string*) {
         o.requests.push_back({false, v});
         return true;
     }},
    {"--requests", "FILE",
     "requests one per line from FILE, or from standard input for -; blank lines are skipped and # starts a "
     "comment (repeatable)",
     [](Options& o, const std::string& v, std::string* e) {
         if (v.empty()) {
             *e = "--requests needs a file name";
             return false;
         }
         o.requests.push_back({true, v});
         return true;
     }},
    {"--run", "'PROGRAM ARGUMENTS'",
     "run a program of the target (aocctl) in the target's process once the requests are sent, with the rest "
     "of the text as its command line, and print what it prints (repeatable; the programs run in order)",
     [](Options& o, const std::string& v, std::string* e) {
         if (v.find_first_not_of(" \t") == std::string::npos) {
             *e = "--run needs a program";
             return false;
         }
         o.programs.push_back(v);
         return true;
     }},
};

}  // namespace

bool ParseArguments(int argc, const char* const* argv, Options& options, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        size_t eq = arg.find('=');
        bool inlineValue = arg.compare(0, 2, "--") == 0 && eq != std::string::npos;
        if (inlineValue) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
        }
        const OptionRow* row = nullptr;
        for (const OptionRow& r : ROWS) {
            if (arg == r.name) row = &r;
        }
        if (!row) {
            *error = "unknown argument '" + Echo(argv[i]) + "' (see --help)";
            return false;
        }
        if (row->value && !inlineValue) {
            if (i + 1 >= argc) {
                *error = arg + " needs " + row->value;
                return false;
            }
            value = argv[++i];
        } else if (!row->value && inlineValue) {
            *error = arg + " takes no value";
            return false;
        }
        if (!row->store(options, value, error)) return false;
    }
    return true;
}

// The help text of one option, wrapped to fit 80 columns under its name.
static std::string Wrapped(const char* text) {
    const size_t width = 72;
    std::string out = "      ", word;
    size_t column = 0;
    for (const char* p = text;; ++p) {
        if (*p && *p != ' ') {
            word.push_back(*p);
            continue;
        }
        if (column && column + 1 + word.size() > width) {
            out += "\n      ";
            column = 0;
        }
        out += (column ? " " : "") + word;
        column += (column ? 1 : 0) + word.size();
        word.clear();
        if (!*p) return out + "\n";
    }
}

std::string UsageText() {
    std::string text =
        "usage: aoc-sim [--registry FILE] [--import SCRIPT]... [--board LIST]...\n"
        "               [--on NAME] [--request TEXT | --requests FILE]...\n"
        "               [--run 'PROGRAM ARGUMENTS']...\n"
        "\n"
        "Starts PCI-6406 boards on a simulated Windows CE target: the PCI bus lists\n"
        "each board, the device manager loads the VQX6406S driver for it (at most ten\n"
        "boards, AOC1: to AOC9: and AOC0:; an eleventh is not loaded), and the driver\n"
        "configures it from the registry. For every board it prints the call name,\n"
        "device number, SwitchID, display name and the four channel settings its\n"
        "start-up gave it, and where the settings came from. Then it sends the\n"
        "requests in order, runs the programs, and ends with each board's registers\n"
        "and the output every channel drives. A malformed request, one for a board\n"
        "that will not be there, or a program the target does not hold is reported\n"
        "with its place, and then no board starts.\n"
        "\n"
        "options:\n";
    for (const OptionRow& r : ROWS) {
        std::string head = std::string("  ") + r.name + (r.value ? std::string(" ") + r.value : "");
        text += head + "\n" + Wrapped(r.help);
    }
    text +=
        "\n"
        "board defaults: bus=0, the lowest free slot from 1, io the lowest free 0x100 block\n"
        "from 0xd000, len=0x20, switch=0, subsys=0xa100 when a switch is given, else 0.\n"
        "Numbers are decimal or 0x hexadecimal.\n"
        "\n"
        "requests, each optionally after a call name (AOC2: strobe); # starts a comment:\n" +
        RequestUsageText() +
        "\n"
        "Numbers take 32 bits, decimal or 0x hexadecimal, and go into their record\n"
        "field as a C assignment would: a 16-bit field keeps the low 16 bits. BYTES\n"
        "are hexadecimal bytes separated by commas (08,00,00,00). read, write and seek\n"
        "call AOC_Read, AOC_Write and AOC_Seek; close without an open closes the\n"
        "board's device context when given handle=board.\n"
        "Options, as key=value anywhere after the request word:\n"
        "  handle=board|null   any request: the board's device context, or a null\n"
        "                      handle; by default the handle its last open returned\n"
        "                      (null before the first open), for open the context\n"
        "  code=N reserved=N length=N address=N|unmapped\n"
        "                      set-range and get-range: the RangeRequest's request\n"
        "                      code (0x2004) and record length (16), the record's\n"
        "                      reserved field (0), and where the record is said to\n"
        "                      lie (unmapped: where the caller has no memory)\n"
        "  in=BYTES|none inlen=N out=N|none outlen=N count=none\n"
        "                      ioctl: the input bytes (in= for an empty buffer) and\n"
        "                      an output buffer of N bytes (both none unless\n"
        "                      given), the lengths declared for them (their sizes\n"
        "                      unless given; past a buffer's end the caller's\n"
        "                      memory holds 0xcc), no count pointer\n"
        "CODE is a number or a name such as IOCTL_AO_GET_CHANNEL_RANGE.\n"
        "\n"
        "Each request prints its result; the thread error, which is set to 0x12345678\n"
        "before each request, as \"unchanged\" or its new value; the count (\"not\n"
        "written\" when the request left it); the board's LastError; the output\n"
        "buffer's bytes (an output buffer starts as 0xee bytes, and a bar marks its end\n"
        "when the declared length reaches past it); for range requests the caller's\n"
        "record if the request changed it; for open and close the OpenCount.\n"
        "\n"
        "Exit status: 0 when every board started and the registry file, if one was\n"
        "given, was saved; 1 when a board did not start or its requests could not\n"
        "be sent, when a program --run runs ends with another status, when the\n"
        "boards cannot be placed as given, or when a file cannot be read or saved;\n"
        "2 for a malformed option, board list or request, a request for a board\n"
        "that will not be there or a program that is not there (then no board\n"
        "starts and the registry file is not written).\n"
        "\n"
        "examples:\n"
        "  aoc-sim --registry target.reg --import PCI6406.reg --board slot=3 --board slot=4,switch=2\n"
        "Run it again on the same registry file to see a restart.\n"
        "  aoc-sim --board slot=3 --on AOC1: --request open --request 'set-range 0 voltage 10 -10' \\\n"
        "          --request 'write-channel 0 3072'\n"
        "  aoc-sim --board slot=3,switch=0x3b --on AOC1: --request open \\\n"
        "          --request 'ioctl IOCTL_PORT_READ_BYTE in=14,00,00,00 out=1' --request 'get-range 9'\n"
        "  aoc-sim --board slot=3 --board slot=4,switch=3 --run 'aocctl list' \\\n"
        "          --run 'aocctl switch=3 range 1 -10..10V write 1 -2.5V'\n"
        "tools/aoc-sim/examples/edge-cases.txt sends the interface's edge cases.\n"
        "\n"
        "Programs are looked for in the target's folder, beside the driver library;\n"
        "aocctl is the application library's program (aocctl with no arguments says\n"
        "how to use it).\n";
    return text;
}
