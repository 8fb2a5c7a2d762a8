#include "requests.h"

#include <ce_sim.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>
#include <thread>

#include "echo.h"
#include "number_text.h"
#include "vqx6406s.h"

namespace {

// The thread's last error is set to this before each request, so that a
// request that sets none can be told from one that clears it.
const DWORD THREAD_ERROR_MARK = 0x12345678;
// The count of bytes returned starts as this; a request that writes no count
// leaves it.
const DWORD COUNT_MARK = 0xC0C0C0C0;
// An output buffer's bytes before the request, and the caller's memory past a
// buffer's end, which a declared length beyond the buffer reaches.
const BYTE OUT_FILL = 0xEE;
const BYTE BEYOND_FILL = 0xCC;
// A declared length reaches at most this far into the caller's memory, and a
// buffer is at most this long.
const DWORD MEMORY_REACH = 0x10000;
// Bytes shown of a buffer; the rest is counted.
const size_t BYTES_SHOWN = 64;

enum Argument {
    ARG_OFFSET,
    ARG_VALUE,
    ARG_CHANNEL,
    ARG_MODE,
    ARG_MAXIMUM,
    ARG_MINIMUM,
    ARG_INITIAL,
    ARG_CODE,
    ARG_COUNT,
    ARG_BYTES,
    ARG_AMOUNT,
    ARG_TYPE,
};

// Groups of key=value options a request takes.
enum Options : unsigned {
    OPT_HANDLE = 1,   // handle=board|null
    OPT_RANGE = 2,    // code= reserved= length= address=
    OPT_BUFFERS = 4,  // in= inlen= out= outlen= count=
};

// One request word, its arguments (the last `optional` of them may be left
// out) and its options.
struct Syntax {
    const char* word;
    RequestKind kind;
    std::vector<Argument> arguments;
    size_t optional;
    unsigned options;
    const char* usage;
};

const std::vector<Syntax>& Syntaxes() {
    static const std::vector<Syntax> rows = {
        {"open", RequestKind::Open, {}, 0, OPT_HANDLE, "open"},
        {"close", RequestKind::Close, {}, 0, OPT_HANDLE, "close"},
        {"read", RequestKind::Read, {ARG_COUNT}, 0, OPT_HANDLE, "read COUNT"},
        {"write", RequestKind::Write, {ARG_BYTES}, 0, OPT_HANDLE, "write BYTES"},
        {"seek", RequestKind::Seek, {ARG_AMOUNT, ARG_TYPE}, 1, OPT_HANDLE, "seek AMOUNT [TYPE]"},
        {"read-byte", RequestKind::ReadByte, {ARG_OFFSET}, 0, OPT_HANDLE, "read-byte OFFSET"},
        {"read-word", RequestKind::ReadWord, {ARG_OFFSET}, 0, OPT_HANDLE, "read-word OFFSET"},
        {"read-dword", RequestKind::ReadDword, {ARG_OFFSET}, 0, OPT_HANDLE, "read-dword OFFSET"},
        {"write-byte", RequestKind::WriteByte, {ARG_OFFSET, ARG_VALUE}, 0, OPT_HANDLE, "write-byte OFFSET VALUE"},
        {"write-word", RequestKind::WriteWord, {ARG_OFFSET, ARG_VALUE}, 0, OPT_HANDLE, "write-word OFFSET VALUE"},
        {"write-dword", RequestKind::WriteDword, {ARG_OFFSET, ARG_VALUE}, 0, OPT_HANDLE, "write-dword OFFSET VALUE"},
        {"set-range", RequestKind::SetRange, {ARG_CHANNEL, ARG_MODE, ARG_MAXIMUM, ARG_MINIMUM, ARG_INITIAL}, 1,
         OPT_HANDLE | OPT_RANGE,
         "set-range CHANNEL voltage|current|MODE MAXIMUM MINIMUM [INITIAL-CODE] [range options]"},
        {"get-range", RequestKind::GetRange, {ARG_CHANNEL}, 0, OPT_HANDLE | OPT_RANGE,
         "get-range CHANNEL [range options]"},
        {"write-channel", RequestKind::WriteChannel, {ARG_CHANNEL, ARG_VALUE}, 0, OPT_HANDLE,
         "write-channel CHANNEL VALUE"},
        {"mode-flag", RequestKind::ModeFlag, {ARG_VALUE}, 0, OPT_HANDLE, "mode-flag FLAG"},
        {"strobe", RequestKind::Strobe, {}, 0, OPT_HANDLE, "strobe"},
        {"probe", RequestKind::Probe, {}, 0, OPT_HANDLE, "probe"},
        {"ioctl", RequestKind::Raw, {ARG_CODE}, 0, OPT_HANDLE | OPT_BUFFERS,
         "ioctl CODE [in=BYTES|none] [inlen=N] [out=N|none] [outlen=N] [count=none]"},
    };
    return rows;
}

struct NamedCode {
    const char* name;
    DWORD code;
};
const NamedCode CODES[] = {
    {"IOCTL_PORT_READ_BYTE", IOCTL_PORT_READ_BYTE},
    {"IOCTL_PORT_READ_WORD", IOCTL_PORT_READ_WORD},
    {"IOCTL_PORT_READ_DWORD", IOCTL_PORT_READ_DWORD},
    {"IOCTL_PORT_WRITE_BYTE", IOCTL_PORT_WRITE_BYTE},
    {"IOCTL_PORT_WRITE_WORD", IOCTL_PORT_WRITE_WORD},
    {"IOCTL_PORT_WRITE_DWORD", IOCTL_PORT_WRITE_DWORD},
    {"IOCTL_AO_PROBE", IOCTL_AO_PROBE},
    {"IOCTL_AO_SET_CHANNEL_RANGE", IOCTL_AO_SET_CHANNEL_RANGE},
    {"IOCTL_AO_GET_CHANNEL_RANGE", IOCTL_AO_GET_CHANNEL_RANGE},
    {"IOCTL_AO_WRITE_CHANNEL", IOCTL_AO_WRITE_CHANNEL},
    {"IOCTL_AO_SET_MODE_FLAG", IOCTL_AO_SET_MODE_FLAG},
    {"IOCTL_AO_STROBE", IOCTL_AO_STROBE},
};

bool SameWord(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

bool Signed(const std::string& word, LONG* out) {
    bool negative = !word.empty() && word[0] == '-';
    DWORD magnitude = 0;
    if (!ParseUnsigned(negative ? word.substr(1) : word, negative ? 0x80000000ull : 0x7FFFFFFFull, magnitude))
        return false;
    *out = negative ? static_cast<LONG>(0u - magnitude) : static_cast<LONG>(magnitude);
    return true;
}

bool Float(const std::string& word, float* out) {
    errno = 0;
    char* end = nullptr;
    *out = std::strtof(word.c_str(), &end);
    return !word.empty() && !*end && errno != ERANGE;
}

// Hexadecimal bytes separated by commas ("08,00,ff"); empty for none.
bool ByteList(const std::string& word, std::vector<BYTE>* out) {
    out->clear();
    if (word.empty()) return true;
    for (size_t start = 0;;) {
        size_t comma = word.find(',', start);
        std::string byte = word.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (byte.empty() || byte.size() > 2 || HexDigit(byte[0]) < 0 || (byte.size() == 2 && HexDigit(byte[1]) < 0)) {
            return false;
        }
        int value = HexDigit(byte[0]);
        if (byte.size() == 2) value = value * 16 + HexDigit(byte[1]);
        out->push_back(static_cast<BYTE>(value));
        if (out->size() > MEMORY_REACH) return false;
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

std::string Quoted(const std::string& word) { return "'" + Echo(word, 32) + "'"; }

bool TakeArgument(Argument argument, const std::string& word, const Syntax& syntax, Request* r, std::string* error) {
    bool ok = true;
    const char* what = "";
    switch (argument) {
    case ARG_OFFSET: what = "an offset"; ok = ParseUnsigned(word, 0xFFFFFFFF, r->offset); break;
    case ARG_VALUE: what = "a value"; ok = ParseUnsigned(word, 0xFFFFFFFF, r->value); break;
    case ARG_CHANNEL: what = "a channel"; ok = ParseUnsigned(word, 0xFFFFFFFF, r->channel); break;
    case ARG_MODE:
        what = "voltage, current or a mode number";
        if (word == "voltage") r->mode = RANGE_MODE_VOLTAGE;
        else if (word == "current") r->mode = RANGE_MODE_CURRENT;
        else ok = ParseUnsigned(word, 0xFFFFFFFF, r->mode);
        break;
    case ARG_MAXIMUM: what = "a maximum"; ok = Float(word, &r->maximum); break;
    case ARG_MINIMUM: what = "a minimum"; ok = Float(word, &r->minimum); break;
    case ARG_INITIAL: what = "an initial code"; ok = ParseUnsigned(word, 0xFFFFFFFF, r->initialCode); break;
    case ARG_CODE: {
        what = "a control code (a number or a name such as IOCTL_AO_PROBE)";
        ok = ParseUnsigned(word, 0xFFFFFFFF, r->code);
        for (const NamedCode& c : CODES) {
            if (SameWord(word, c.name)) {
                r->code = c.code;
                ok = true;
            }
        }
        break;
    }
    case ARG_COUNT: what = "a byte count up to 65536"; ok = ParseUnsigned(word, MEMORY_REACH, r->value); break;
    case ARG_BYTES: {
        what = "a list of hexadecimal bytes such as 01,ff";
        std::vector<BYTE> bytes;
        ok = ByteList(word, &bytes);
        r->in = bytes;
        break;
    }
    case ARG_AMOUNT: what = "a distance from -2147483648 to 2147483647"; ok = Signed(word, &r->amount); break;
    case ARG_TYPE: what = "a seek method"; ok = ParseUnsigned(word, 0xFFFFFFFF, r->seekType); break;
    }
    if (!ok) *error = std::string(syntax.word) + ": " + Quoted(word) + " is not " + what;
    return ok;
}

bool TakeOption(const std::string& word, const Syntax& syntax, Request* r, std::string* error) {
    size_t eq = word.find('=');
    const std::string key = word.substr(0, eq), value = word.substr(eq + 1);
    auto fail = [&](const char* what) {
        *error = std::string(syntax.word) + ": " + Quoted(value) + " is not " + what + " for " + key + "=";
        return false;
    };
    DWORD number = 0;
    if ((syntax.options & OPT_HANDLE) && key == "handle") {
        if (value == "board") r->handle = HandleChoice::Board;
        else if (value == "null") r->handle = HandleChoice::Null;
        else return fail("board or null");
        return true;
    }
    if (syntax.options & OPT_RANGE) {
        if (key == "code") return ParseUnsigned(value, 0xFFFFFFFF, r->requestCode) || fail("a number");
        if (key == "reserved") return ParseUnsigned(value, 0xFFFFFFFF, r->reserved) || fail("a number");
        if (key == "length") {
            if (!ParseUnsigned(value, 0xFFFFFFFF, number)) return fail("a number");
            r->recordLength = number;
            return true;
        }
        if (key == "address") {
            if (value == "unmapped") r->address = AddressChoice::Unmapped;
            else if (ParseUnsigned(value, 0xFFFFFFFF, r->givenAddress)) r->address = AddressChoice::Given;
            else return fail("a number or unmapped");
            return true;
        }
    }
    if (syntax.options & OPT_BUFFERS) {
        if (key == "in") {
            std::vector<BYTE> bytes;
            if (value == "none") r->in.reset();
            else if (ByteList(value, &bytes)) r->in = bytes;
            else return fail("none or hexadecimal bytes such as 08,00,00,00");
            return true;
        }
        if (key == "out") {
            if (value == "none") r->outSize.reset();
            else if (ParseUnsigned(value, MEMORY_REACH, number)) r->outSize = number;
            else return fail("none or a size up to 65536");
            return true;
        }
        if (key == "inlen" || key == "outlen") {
            if (!ParseUnsigned(value, 0xFFFFFFFF, number)) return fail("a number");
            (key == "inlen" ? r->inLength : r->outLength) = number;
            return true;
        }
        if (key == "count") {
            if (value != "none") return fail("none");
            r->noCount = true;
            return true;
        }
    }
    *error = std::string(syntax.word) + " takes no option " + Quoted(key + "=");
    return false;
}

std::string Hex(DWORD value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x", digits, value);
    return text;
}

const char* RangeText(int code) {
    static const char* const texts[] = {"0..5 V", "0..10 V", "-5..5 V", "-10..10 V"};
    return texts[code & 3];
}

std::string ByteText(const BYTE* data, size_t count) {
    std::string text;
    char byte[4];
    for (size_t i = 0; i < count && i < BYTES_SHOWN; ++i) {
        std::snprintf(byte, sizeof byte, "%s%02x", i ? " " : "", data[i]);
        text += byte;
    }
    if (count > BYTES_SHOWN) text += " ... (" + std::to_string(count) + " bytes)";
    return text;
}

std::string ThreadErrorText(DWORD error) {
    return error == THREAD_ERROR_MARK ? std::string("thread error unchanged") : "thread error " + Hex(error, 8);
}

// A buffer of the simulated caller: its bytes, then the caller's memory that
// a declared length past its end reaches. Absent: a null pointer.
class CallerBuffer {
public:
    CallerBuffer() = default;
    CallerBuffer(const std::vector<BYTE>& bytes, DWORD declared)
        : present_(true),
          size_(bytes.size()),
          reach_(std::max<size_t>(bytes.size(), std::min(declared, MEMORY_REACH))) {
        // One byte more, so that even an empty buffer has an address.
        memory_ = bytes;
        memory_.resize(reach_ + 1, BEYOND_FILL);
    }
    BYTE* Data() { return present_ ? memory_.data() : nullptr; }
    bool Present() const { return present_; }
    size_t Size() const { return size_; }
    // The buffer's bytes and, after a bar, what lies past it up to its declared length.
    std::string Text() const {
        std::string text = size_ ? ByteText(memory_.data(), size_) : std::string("(none)");
        if (reach_ > size_) text += " | " + ByteText(memory_.data() + size_, reach_ - size_);
        return text;
    }

private:
    bool present_ = false;
    size_t size_ = 0;
    size_t reach_ = 0;
    std::vector<BYTE> memory_;
};

template <class T>
std::vector<BYTE> BytesOf(const T& record, size_t bytes = sizeof(T)) {
    const BYTE* p = reinterpret_cast<const BYTE*>(&record);
    return std::vector<BYTE>(p, p + bytes);
}

std::string RecordText(const RangeRecord& r) {
    char text[160];
    std::snprintf(text, sizeof text, "reserved %s, initial code %u, mode %u, channel %u, maximum %g, minimum %g",
                  Hex(r.Reserved, 4).c_str(), r.InitialCode, r.Mode, r.Channel, r.Maximum, r.Minimum);
    return text;
}

bool ParsePlainRequest(const std::string& line, const std::string& defaultBoard, Request* request, std::string* error) {
    std::istringstream words(line.substr(0, line.find('#')));
    std::vector<std::string> w;
    for (std::string word; words >> word;) w.push_back(word);
    Request r;
    r.board = defaultBoard;
    size_t first = 0;
    if (!w.empty() && w[0].size() > 1 && w[0].back() == ':') {
        r.board = w[0];
        first = 1;
    }
    if (first >= w.size()) {
        *error = "no request";
        return false;
    }
    if (r.board.empty()) {
        *error = "no board: begin the request with a call name such as AOC1: or give --on";
        return false;
    }
    const Syntax* syntax = nullptr;
    for (const Syntax& s : Syntaxes()) {
        if (w[first] == s.word) syntax = &s;
    }
    if (!syntax) {
        *error = "unknown request " + Quoted(w[first]);
        return false;
    }
    r.kind = syntax->kind;
    size_t given = 0;
    for (size_t i = first + 1; i < w.size(); ++i) {
        if (w[i].find('=') != std::string::npos) {
            if (!TakeOption(w[i], *syntax, &r, error)) return false;
            continue;
        }
        if (given == syntax->arguments.size()) {
            *error = std::string("usage: ") + syntax->usage;
            return false;
        }
        if (!TakeArgument(syntax->arguments[given++], w[i], *syntax, &r, error)) return false;
    }
    if (given < syntax->arguments.size() - syntax->optional) {
        *error = std::string("usage: ") + syntax->usage;
        return false;
    }
    for (size_t i = first; i < w.size(); ++i) r.text += (i > first ? " " : "") + w[i];
    *request = r;
    return true;
}

const DWORD MAX_TIMES = 1000000;
const char* const TOGETHER_USAGE = "together [times=N] REQUEST ; REQUEST ...";

// "together [times=N] REQUEST ; REQUEST ...": each request as a line of its
// own would give it, but for open and close, which change what the other
// threads' requests go to.
bool ParseTogether(const std::string& text, const std::string& defaultBoard, Request* request, std::string* error) {
    Request r;
    r.kind = RequestKind::Together;
    std::string rest = text.substr(text.find("together") + std::strlen("together"));
    std::istringstream first(rest);
    std::string word;
    if (first >> word && word.compare(0, 6, "times=") == 0) {
        if (!ParseUnsigned(word.substr(6), MAX_TIMES, r.times) || r.times == 0) {
            *error = "times= takes a number from 1 to " + std::to_string(MAX_TIMES);
            return false;
        }
        rest = rest.substr(rest.find(word) + word.size());
    }
    for (size_t start = 0; start <= rest.size();) {
        size_t end = std::min(rest.find(';', start), rest.size());
        Request part;
        if (!ParsePlainRequest(rest.substr(start, end - start), defaultBoard, &part, error)) {
            *error = "together, request " + std::to_string(r.parts.size() + 1) + ": " + *error;
            return false;
        }
        if (part.kind == RequestKind::Open || part.kind == RequestKind::Close) {
            *error = "together runs no " + Quoted(part.text.substr(0, part.text.find(' ')));
            return false;
        }
        r.parts.push_back(part);
        start = end + 1;
    }
    if (r.parts.size() < 2) {
        *error = std::string("usage: ") + TOGETHER_USAGE;
        return false;
    }
    r.board = r.parts[0].board;
    std::istringstream words(text);
    for (std::string w; words >> w;) r.text += (r.text.empty() ? "" : " ") + w;
    *request = r;
    return true;
}

}  // namespace

bool ParseRequest(const std::string& line, const std::string& defaultBoard, Request* request, std::string* error) {
    const std::string uncommented = line.substr(0, line.find('#'));
    std::istringstream leading(uncommented);
    std::string firstWord;
    if (leading >> firstWord && firstWord == "together") return ParseTogether(uncommented, defaultBoard, request, error);
    return ParsePlainRequest(uncommented, defaultBoard, request, error);
}

bool ParseRequestLines(std::istream& in, const std::string& source, const std::string& defaultBoard,
                       std::vector<Request>* requests, std::string* error) {
    std::vector<Request> parsed;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        Request r;
        std::string why;
        if (!ParseRequest(line, defaultBoard, &r, &why)) {
            *error = source + ":" + std::to_string(number) + ": " + why;
            return false;
        }
        r.where = source + ":" + std::to_string(number);
        parsed.push_back(r);
    }
    requests->insert(requests->end(), parsed.begin(), parsed.end());
    return true;
}

std::string RequestUsageText() {
    std::string text;
    for (const Syntax& s : Syntaxes()) text += std::string("  ") + s.usage + "\n";
    return text + "  " + TOGETHER_USAGE + "\n";
}

bool CheckRequestBoards(const std::vector<Request>& requests, const std::vector<std::string>& names,
                        std::string* error) {
    std::string known;
    for (const std::string& name : names) {
        if (!name.empty()) known += (known.empty() ? "" : ", ") + name;
    }
    for (const Request& r : requests) {
        std::vector<std::string> boards{r.board};
        for (const Request& part : r.parts) boards.push_back(part.board);
        for (const std::string& board : boards) {
            bool found = false;
            for (const std::string& name : names) found = found || (!name.empty() && SameWord(board, name.c_str()));
            if (!found) {
                *error = r.where + ": no board will be called " + Echo(board, 16) + " (" +
                         (known.empty() ? std::string("there are no boards") : "the boards are " + known) + ")";
                return false;
            }
        }
    }
    return true;
}

RequestRunner::RequestRunner(Session& session) : session_(session), boards_(session.Target().BoardCount()) {}

bool RequestRunner::Resolve(const std::vector<Request>& requests, std::string* error) {
    targets_.clear();
    for (const Request& r : requests) {
        for (const Request& part : r.parts) {
            if (session_.FindBoard(part.board) < 0) {
                *error = r.where + ": no running board is called " + Echo(part.board, 16);
                return false;
            }
        }
        int index = session_.FindBoard(r.board);
        if (index < 0) {
            *error = r.where + ": no running board is called " + Echo(r.board, 16);
            targets_.clear();
            return false;
        }
        targets_.push_back(static_cast<size_t>(index));
    }
    return true;
}

void RequestRunner::Run(const std::vector<Request>& requests, std::ostream& out) {
    for (size_t i = 0; i < requests.size() && i < targets_.size(); ++i) {
        if (requests[i].kind == RequestKind::Together) RunTogether(requests[i], out);
        else RunOne(requests[i], targets_[i], out);
    }
}

// All threads start at once and each sends its request `times` times; the
// lines show each one's last result, in the order written, so the output is
// the same at every run as long as the requests do not fail on one another.
void RequestRunner::RunTogether(const Request& r, std::ostream& out) {
    std::vector<std::ostringstream> results(r.parts.size());
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (size_t i = 0; i < r.parts.size(); ++i) {
        threads.emplace_back([this, &r, &results, &go, i] {
            const Request& part = r.parts[i];
            const size_t index = static_cast<size_t>(session_.FindBoard(part.board));
            while (!go.load()) std::this_thread::yield();
            for (DWORD n = 0; n < r.times; ++n) {
                results[i].str("");
                RunOne(part, index, results[i]);
            }
        });
    }
    go = true;
    for (std::thread& t : threads) t.join();
    out << "together, " << r.parts.size() << " threads, " << r.times << (r.times == 1 ? " time" : " times")
        << " each:\n";
    for (const std::ostringstream& result : results) out << "  " << result.str();
}

void RequestRunner::RunOne(const Request& r, size_t index, std::ostream& out) {
    sim::Target& target = session_.Target();
    const sim::StreamEntries& entries = *target.Entries(index);
    Board& board = boards_[index];
    const DWORD_PTR context = target.DeviceContext(index);
    const ::DeviceContext* device = reinterpret_cast<const ::DeviceContext*>(context);
    out << sim::Narrow(target.CallName(index)) << " " << Echo(r.text, 80) << "  ->  ";
    DWORD_PTR handle = board.handle;
    if (r.handle == HandleChoice::Board || (r.handle == HandleChoice::Default && r.kind == RequestKind::Open)) {
        handle = context;
    } else if (r.handle == HandleChoice::Null) {
        handle = 0;
    }
    // The device manager forwards only what the library exports.
    const bool exported = r.kind == RequestKind::Open    ? entries.Open != nullptr
                          : r.kind == RequestKind::Close ? entries.Close != nullptr
                          : r.kind == RequestKind::Read  ? entries.Read != nullptr
                          : r.kind == RequestKind::Write ? entries.Write != nullptr
                          : r.kind == RequestKind::Seek  ? entries.Seek != nullptr
                                                         : entries.IOControl != nullptr;
    if (!exported) {
        out << "the driver library does not export this entry point\n";
        return;
    }
    SetLastError(THREAD_ERROR_MARK);

    switch (r.kind) {
    case RequestKind::Open:
    case RequestKind::Close: {
        BOOL ok;
        if (r.kind == RequestKind::Open) {
            DWORD_PTR opened = entries.Open(handle, 0, 0);
            ok = opened != 0;
            if (ok) {
                board.handle = opened;
                ++board.opens;
            }
        } else {
            ok = entries.Close(handle);
            if (ok && handle == board.handle && board.opens > 0 && --board.opens == 0) board.handle = 0;
        }
        out << (ok ? "TRUE" : "FALSE") << ", " << ThreadErrorText(GetLastError()) << ", OpenCount "
            << device->OpenCount << "\n";
        return;
    }
    case RequestKind::Read: {
        std::vector<BYTE> buffer(r.value, OUT_FILL);
        DWORD read = entries.Read(handle, buffer.data(), r.value);
        DWORD threadError = GetLastError();
        bool same = std::all_of(buffer.begin(), buffer.end(), [](BYTE b) { return b == OUT_FILL; });
        out << read << ", " << ThreadErrorText(threadError) << "; buffer "
            << (same ? "unchanged" : ByteText(buffer.data(), buffer.size())) << "\n";
        return;
    }
    case RequestKind::Write: {
        DWORD written = entries.Write(handle, r.in->data(), static_cast<DWORD>(r.in->size()));
        out << written << ", " << ThreadErrorText(GetLastError()) << "\n";
        return;
    }
    case RequestKind::Seek: {
        DWORD position = entries.Seek(handle, r.amount, r.seekType);
        out << Hex(position, 8) << " (" << static_cast<LONG>(position) << "), " << ThreadErrorText(GetLastError())
            << "\n";
        return;
    }
    default: break;
    }

    // The request's buffers: for the named requests each exactly its record.
    RangeRecord record = {static_cast<WORD>(r.reserved), static_cast<WORD>(r.initialCode), static_cast<WORD>(r.mode),
                          static_cast<WORD>(r.channel), r.maximum, r.minimum};
    const RangeRecord recordBefore = record;
    DWORD recordAddress = 0;
    DWORD code = r.code;
    std::vector<BYTE> in;
    bool inPresent = true;
    DWORD outBytes = 0;
    PortRequest port = {r.offset, r.value};
    switch (r.kind) {
    case RequestKind::ReadByte: code = IOCTL_PORT_READ_BYTE; outBytes = 1; break;
    case RequestKind::ReadWord: code = IOCTL_PORT_READ_WORD; outBytes = 2; break;
    case RequestKind::ReadDword: code = IOCTL_PORT_READ_DWORD; outBytes = 4; break;
    case RequestKind::WriteByte: code = IOCTL_PORT_WRITE_BYTE; in = BytesOf(port, PORT_WRITE_REQUEST_BYTES(1)); break;
    case RequestKind::WriteWord: code = IOCTL_PORT_WRITE_WORD; in = BytesOf(port, PORT_WRITE_REQUEST_BYTES(2)); break;
    case RequestKind::WriteDword: code = IOCTL_PORT_WRITE_DWORD; in = BytesOf(port, PORT_WRITE_REQUEST_BYTES(4)); break;
    case RequestKind::SetRange: code = IOCTL_AO_SET_CHANNEL_RANGE; break;
    case RequestKind::GetRange: code = IOCTL_AO_GET_CHANNEL_RANGE; outBytes = RANGE_REPLY_BYTES; break;
    case RequestKind::WriteChannel:
        code = IOCTL_AO_WRITE_CHANNEL;
        in = BytesOf(ChannelOutput{static_cast<WORD>(r.channel), 0, r.value});
        break;
    case RequestKind::ModeFlag: code = IOCTL_AO_SET_MODE_FLAG; in = BytesOf(static_cast<WORD>(r.value)); break;
    case RequestKind::Strobe: code = IOCTL_AO_STROBE; inPresent = false; break;
    case RequestKind::Probe: code = IOCTL_AO_PROBE; in = BytesOf(WORD{0}); break;
    default: break;
    }
    if (code >> 16 == PORT_DEVICE_TYPE && in.empty()) in = BytesOf(port, PORT_READ_REQUEST_BYTES);
    const bool range = r.kind == RequestKind::SetRange || r.kind == RequestKind::GetRange;
    if (range) {
        recordAddress = cesim::RegisterCallerBuffer(&record, sizeof record);
        DWORD address = recordAddress;
        // The caller space leaves a gap after every buffer; halfway into it lies no buffer.
        if (r.address == AddressChoice::Unmapped) address = recordAddress + 0x800;
        if (r.address == AddressChoice::Given) address = r.givenAddress;
        RangeRequest request = {static_cast<WORD>(r.requestCode),
                                static_cast<WORD>(r.recordLength ? *r.recordLength : sizeof record), address};
        in = BytesOf(request);
    }

    CallerBuffer input, output;
    if (r.kind == RequestKind::Raw) {
        if (r.in) input = CallerBuffer(*r.in, r.inLength ? *r.inLength : static_cast<DWORD>(r.in->size()));
        if (r.outSize) {
            output = CallerBuffer(std::vector<BYTE>(*r.outSize, OUT_FILL), r.outLength ? *r.outLength : *r.outSize);
        }
    } else {
        if (inPresent) input = CallerBuffer(in, static_cast<DWORD>(in.size()));
        if (outBytes) output = CallerBuffer(std::vector<BYTE>(outBytes, OUT_FILL), outBytes);
    }
    const bool raw = r.kind == RequestKind::Raw;
    const DWORD inLength = raw && r.inLength ? *r.inLength : static_cast<DWORD>(input.Size());
    const DWORD outLength = raw && r.outLength ? *r.outLength : static_cast<DWORD>(output.Size());

    DWORD count = COUNT_MARK;
    BOOL ok = entries.IOControl(handle, code, input.Data(), inLength, output.Data(), outLength,
                                r.noCount ? nullptr : &count);
    DWORD threadError = GetLastError();
    if (recordAddress) cesim::UnregisterCallerBuffer(recordAddress);

    std::string countText = count == COUNT_MARK ? std::string("not written") : std::to_string(count);
    out << (ok ? "TRUE" : "FALSE") << ", " << ThreadErrorText(threadError) << ", count "
        << (r.noCount ? std::string("not asked for") : countText) << ", LastError " << device->LastError;
    if (output.Present()) out << "; out " << output.Text();
    if (range) {
        out << "; record ";
        if (std::memcmp(&record, &recordBefore, sizeof record) == 0) out << "unchanged";
        else out << "now " << RecordText(record);
    }
    out << "\n";
}

void RequestRunner::PrintOutputs(std::ostream& out) const {
    sim::Target& target = session_.Target();
    for (size_t i = 0; i < target.BoardCount(); ++i) {
        if (!target.IsActive(i)) continue;
        const sim::Board& board = target.BoardAt(i);
        out << sim::Narrow(target.CallName(i)) << "  AO_DATA";
        for (int n = 0; n < sim::Board::CHANNELS; ++n) out << " " << Hex(board.DataCode(n), 4);
        out << "  AO_RANGE " << Hex(board.Range(), 2) << "  AO_MODE_FLAG " << Hex(board.Register(sim::REG_AO_MODE_FLAG), 2)
            << "  strobes " << board.StrobeCount() << "  SWITCH_ID " << Hex(board.Register(sim::REG_SWITCH_ID), 2)
            << "\n";
        const ::DeviceContext* device = reinterpret_cast<const ::DeviceContext*>(target.DeviceContext(i));
        for (int n = 0; n < sim::Board::CHANNELS; ++n) {
            sim::Board::Output o = board.ChannelOutput(n);
            const AoChannelSetting& setting = device->Channels[n];
            char text[96];
            // A current loop rides on 0..5 V; the board cannot tell, the channel's setting can.
            if (setting.CurrentMax != 0.0f && o.rangeCode == 0) {
                std::snprintf(text, sizeof text, "%.3f mA (%g..%g mA)",
                              sim::Board::Milliamps(o.code, setting.CurrentMin, setting.CurrentMax),
                              setting.CurrentMin, setting.CurrentMax);
            } else {
                std::snprintf(text, sizeof text, "%.3f V", o.volts);
            }
            out << "    AO" << n << "  code " << o.code << " on " << RangeText(o.rangeCode) << ": " << text << "\n";
        }
    }
}
