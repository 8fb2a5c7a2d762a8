#pragma once
// Requests that aoc-sim sends to started boards: their text form, running
// them through the device manager with all each reported, and the registers
// and analog outputs the boards are left with.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "aoc_ioctl.h"
#include "session.h"

enum class RequestKind {
    Open,
    Close,
    Read,
    Write,
    Seek,
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
    Raw,       // any control code with buffers given as bytes
    Together,  // several requests, each in a thread of its own, all at once
};

// Which handle a request goes to: by default the one the board's last open
// returned (null before the first open and after the last close), for open
// the board's device context.
enum class HandleChoice { Default, Board, Null };

// Where a range request's RecordAddress points.
enum class AddressChoice { Record, Unmapped, Given };

// Numbers take 32 bits and go into their record field as a C assignment would:
// a 16-bit field keeps the low 16 bits.
struct Request {
    RequestKind kind = RequestKind::Probe;
    std::string board;  // call name such as AOC1:
    std::string text;   // the request as written, without the board
    std::string where;  // "line 3" or "--request 2", for messages
    HandleChoice handle = HandleChoice::Default;
    DWORD offset = 0;   // port requests
    DWORD value = 0;    // port writes, write channel, mode flag
    DWORD channel = 0;
    DWORD mode = RANGE_MODE_VOLTAGE;
    float maximum = 0.0f;
    float minimum = 0.0f;
    DWORD initialCode = 0;
    // Range requests: the RangeRequest's fields and the record's reserved one.
    DWORD requestCode = RANGE_REQUEST_SET_GET;
    std::optional<DWORD> recordLength;
    AddressChoice address = AddressChoice::Record;
    DWORD givenAddress = 0;
    DWORD reserved = 0;
    // The raw form and the stream entry points: the control code, the input
    // buffer (absent unless given) with its declared length, the output
    // buffer's size with its declared length, and no count pointer.
    DWORD code = 0;
    std::optional<std::vector<BYTE>> in;
    std::optional<DWORD> inLength;
    std::optional<DWORD> outSize;
    std::optional<DWORD> outLength;
    bool noCount = false;
    LONG amount = 0;    // seek
    DWORD seekType = 0;
    // Together: the requests, each run `times` times in its own thread.
    std::vector<Request> parts;
    DWORD times = 1;
};

// One request: an optional call name ("AOC2:"), then the request's words;
// "#" starts a comment. Without a call name it goes to `defaultBoard`. False
// with `error` saying what is wrong, without the place.
bool ParseRequest(const std::string& line, const std::string& defaultBoard, Request* request, std::string* error);

// Requests one per line; blank lines and comments are skipped. False at the
// first malformed line, with `error` giving its number.
bool ParseRequestLines(std::istream& in, const std::string& source, const std::string& defaultBoard,
                       std::vector<Request>* requests, std::string* error);

// The words a request may start with, their arguments and options, for --help.
std::string RequestUsageText();

// Runs requests against a session's boards.
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
    void RunTogether(const Request& request, std::ostream& out);

    Session& session_;
    std::vector<Board> boards_;
    std::vector<size_t> targets_;  // board index of each resolved request
};

// False with `error` naming the first request whose board none of the boards
// will be called once they have started (`names`, as PlannedCallNames gives).
bool CheckRequestBoards(const std::vector<Request>& requests, const std::vector<std::string>& names,
                        std::string* error);
