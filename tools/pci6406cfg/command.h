#pragma once
// The commands of one pci6406cfg session, read from the command line and a
// command file and checked before the dialog opens.
#include <string>
#include <vector>

enum { EXIT_DONE = 0, EXIT_REFUSED = 1, EXIT_MALFORMED = 2 };

struct Command {
    std::string name;
    std::string text;   // as written, for messages
    std::string where;  // "FILE:LINE: " for a command from a file
    int nTemplate = -1;
    int nValue = -1;  // the BoardID or the channel
    std::vector<std::string> ranges;
    bool bJson = false;
};

// Splits words into commands at ",", a word of its own or the end of one.
std::vector<std::vector<std::string>> SplitCommands(const std::vector<std::string>& words);

// The words of a command-file line: blanks separate them, '...' and "..."
// group them. "" on success, else the problem.
std::string SplitLine(const std::string& line, std::vector<std::string>& words);

// "" when the words make a command, else the problem.
std::string ParseCommand(const std::vector<std::string>& words, Command& command);

extern const char kUsage[];

// "pci6406cfg: " and the message on standard error.
void Say(const std::string& message);
// Says the problem and the usage; the exit status of a malformed command.
int Malformed(const std::string& problem);

// What the boxes offer, for messages.
extern const char kRangeWords[];

// The box texts compared without blanks or letter case: "-10~10v" is
// "-10 ~ 10V", and "none" is the current box's blank item.
std::string FoldedRange(const std::string& text);
