#pragma once
// The command line of aoc-sim. Each option is one row of a table, so a new
// one (a request sequence, say) is a row and a field.
#include <string>
#include <vector>

struct Options {
    bool help = false;
    std::string registryFile;              // --registry: loaded, and saved at exit
    std::vector<std::string> imports;      // --import, in order
    std::vector<std::string> boards;       // --board, one key=value list each
    std::string requestBoard;              // --on: call name of the board requests go to
    // --request TEXT and --requests FILE, in the order given.
    struct RequestSource {
        bool file;
        std::string text;
    };
    std::vector<RequestSource> requests;
    std::vector<std::string> programs;     // --run, in order: "PROGRAM ARGUMENTS"
};

// False with a one-line `error` for an unknown option, a missing value or a
// value given twice where one is allowed.
bool ParseArguments(int argc, const char* const* argv, Options& options, std::string* error);

std::string UsageText();
