#include "command.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "registry_layout.h"

namespace {

// A decimal number 0..nLast of at most two digits, after an optional prefix
// in any letter case; -1 when malformed.
int ParseNumber(const std::string& text, int nLast, const char* pszPrefix = "") {
    const size_t cchPrefix = std::strlen(pszPrefix);
    const bool bPrefixed = text.size() >= cchPrefix && strncasecmp(text.c_str(), pszPrefix, cchPrefix) == 0;
    const std::string digits = bPrefixed ? text.substr(cchPrefix) : text;
    if (digits.empty() || digits.size() > 2 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    const int n = std::atoi(digits.c_str());
    return n <= nLast ? n : -1;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) {
        if (!text.empty()) text += ' ';
        text += word.find(' ') != std::string::npos ? "\"" + word + "\"" : word;
    }
    return text;
}

}  // namespace

const char kUsage[] =
    "usage: pci6406cfg --root DIR [--device NAME] [--commands FILE] COMMAND [, COMMAND]...\n"
    "commands: list [--json] | add | remove T | boardid T ID | range T CHANNEL RANGE [RANGE] | save | check\n";

const char kRangeWords[] = "the ranges are -10 ~ 10V, -5 ~ 5V, 0 ~ 10V, 0 ~ 5V, 4 ~ 20mA, 0 ~ 20mA and none";

void Say(const std::string& message) { std::fprintf(stderr, "pci6406cfg: %s\n", message.c_str()); }

int Malformed(const std::string& problem) {
    Say(problem);
    std::fprintf(stderr, "%s", kUsage);
    return EXIT_MALFORMED;
}

std::string FoldedRange(const std::string& text) {
    std::string folded;
    for (char c : text) {
        if (c != ' ' && c != '\t') folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return folded == "none" ? "" : folded;
}

std::vector<std::vector<std::string>> SplitCommands(const std::vector<std::string>& words) {
    std::vector<std::vector<std::string>> commands(1);
    for (std::string word : words) {
        const bool bEnds = !word.empty() && word.back() == ',';
        if (bEnds) word.pop_back();
        // An empty word is kept for its command to refuse; a lone "," is none.
        if (!bEnds || !word.empty()) commands.back().push_back(word);
        if (bEnds) commands.emplace_back();
    }
    return commands;
}

std::string SplitLine(const std::string& line, std::vector<std::string>& words) {
    words.clear();
    std::string word;
    bool bInWord = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\'' || c == '"') {
            const size_t close = line.find(c, i + 1);
            if (close == std::string::npos) return std::string("a ") + c + " without its closing one";
            word += line.substr(i + 1, close - i - 1);
            bInWord = true;
            i = close;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            if (bInWord) words.push_back(word);
            word.clear();
            bInWord = false;
        } else {
            word += c;
            bInWord = true;
        }
    }
    if (bInWord) words.push_back(word);
    return "";
}

std::string ParseCommand(const std::vector<std::string>& words, Command& command) {
    if (words.empty()) return "an empty command";
    command.name = words[0];
    command.text = Joined(words);
    std::vector<std::string> args(words.begin() + 1, words.end());
    if (command.name == "list" && !args.empty() && args[0] == "--json") {
        command.bJson = true;
        args.erase(args.begin());
    }
    const size_t nArgs = args.size();
    auto templateArg = [&]() {
        command.nTemplate = ParseNumber(args[0], TEMPLATE_COUNT - 1, TEMPLATE_KEY_PREFIX_A);
        return command.nTemplate >= 0;
    };
    if (command.name == "list" || command.name == "add" || command.name == "save" || command.name == "check") {
        if (nArgs != 0) return command.name + " takes no arguments";
    } else if (command.name == "remove") {
        if (nArgs != 1 || !templateArg()) return "remove takes a template number 0..15";
    } else if (command.name == "boardid") {
        if (nArgs != 2 || !templateArg() || (command.nValue = ParseNumber(args[1], TEMPLATE_COUNT - 1)) < 0)
            return "boardid takes a template number and a BoardID, both 0..15";
    } else if (command.name == "range") {
        if (nArgs < 3 || nArgs > 4 || !templateArg() ||
            (command.nValue = ParseNumber(args[1], AO_CHANNEL_COUNT - 1)) < 0)
            return "range takes a template number, a channel 0..3 and one or two ranges";
        command.ranges.assign(args.begin() + 2, args.end());
        for (const std::string& range : command.ranges) {
            // An empty word is no range; "none" says no current range.
            if (range.find_first_not_of(" \t") == std::string::npos)
                return std::string("an empty range; ") + kRangeWords;
        }
    } else {
        return "unknown command " + command.name;
    }
    return "";
}
