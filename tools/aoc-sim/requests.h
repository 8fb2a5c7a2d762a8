#pragma once
// I/O control requests that aoc-sim sends to started boards: their text form,
// running them through the device manager with what each reported, and the
// registers and analog outputs the boards are left with.
#include <iosfwd>
#include <string>
#include <vector>

#include "aoc_ioctl.h"
#include "session.h"

enum class RequestKind {
    Open,
    Close,
    ReadByte,
    ReadWord,
    ReadDword,
    WriteByte,
    WriteWord,
    WriteDword,
    SetRange,
    GetRange,
    WriteChannel,
    ModeFlag,
    Strobe,
    Probe,
};

struct Request {
    RequestKind kind = RequestKind::Probe;
    std::string board;  // call name such as AOC1:
    std::string text;   // the request as written, without the board
    std::string where;  // "line 3" or "--request 2", for messages
    DWORD offset = 0;   // port requests
    DWORD value = 0;    // port writes, write channel, mode flag
    WORD channel = 0;
    WORD mode = RANGE_MODE_VOLTAGE;
    float maximum = 0.0f;
    float minimum = 0.0f;
    WORD initialCode = 0;
};

// One request: an optional call name ("AOC2:"), then the request's words.
// Without a call name it goes to `defaultBoard`. False with `error` saying
// what is wrong, without the place.
bool ParseRequest(const std::string& line, const std::string& defaultBoard, Request* request, std::string* error);

// Requests one per line; blank lines and lines starting with # are skipped.
// False at the first malformed line, with `error` giving its number.
bool ParseRequestLines(std::istream& in, const std::string& source, const std::string& defaultBoard,
                       std::vector<Request>* requests, std::string* error);

// The words a request may start with, and their arguments, for --help.
std::string RequestUsageText();

// Runs requests against a session's started boards, each on the handle the
// board's last open returned (none before the first open, so the driver
// answers as it does to a null handle).
class RequestRunner {
public:
    explicit RequestRunner(Session& session);
    // False with `error` naming the first request whose board is not running;
    // then none has run.
    bool Resolve(const std::vector<Request>& requests, std::string* error);
    void Run(const std::vector<Request>& requests, std::ostream& out);
    // Each board's registers and the output every channel drives.
    void PrintOutputs(std::ostream& out) const;

private:
    struct Board {
        DWORD_PTR handle = 0;
        int opens = 0;
    };
    void RunOne(const Request& request, size_t index, std::ostream& out);

    Session& session_;
    std::vector<Board> boards_;
    std::vector<size_t> targets_;  // board index of each resolved request
};
