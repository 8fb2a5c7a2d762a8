#include "requests.h"

#include <ce_sim.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <istream>
#include <ostream>
#include <sstream>

#include "vqx6406s.h"

namespace {

enum Argument { ARG_OFFSET, ARG_VALUE, ARG_CHANNEL, ARG_MODE, ARG_MAXIMUM, ARG_MINIMUM, ARG_INITIAL };

// One request word, its arguments (the last `optional` of them may be left
// out) and the widest value it takes.
struct Syntax {
    const char* word;
    RequestKind kind;
    std::vector<Argument> arguments;
    size_t optional;
    unsigned long valueMax;
    const char* usage;
};

const std::vector<Syntax>& Syntaxes() {
    static const std::vector<Syntax> rows = {
        {"open", RequestKind::Open, {}, 0, 0, "open"},
        {"close", RequestKind::Close, {}, 0, 0, "close"},
        {"read-byte", RequestKind::ReadByte, {ARG_OFFSET}, 0, 0, "read-byte OFFSET"},
        {"read-word", RequestKind::ReadWord, {ARG_OFFSET}, 0, 0, "read-word OFFSET"},
        {"read-dword", RequestKind::ReadDword, {ARG_OFFSET}, 0, 0, "read-dword OFFSET"},
        {"write-byte", RequestKind::WriteByte, {ARG_OFFSET, ARG_VALUE}, 0, 0xFF, "write-byte OFFSET VALUE"},
        {"write-word", RequestKind::WriteWord, {ARG_OFFSET, ARG_VALUE}, 0, 0xFFFF, "write-word OFFSET VALUE"},
        {"write-dword", RequestKind::WriteDword, {ARG_OFFSET, ARG_VALUE}, 0, 0xFFFFFFFF, "write-dword OFFSET VALUE"},
        {"set-range", RequestKind::SetRange, {ARG_CHANNEL, ARG_MODE, ARG_MAXIMUM, ARG_MINIMUM, ARG_INITIAL}, 1, 0,
         "set-range CHANNEL voltage|current MAXIMUM MINIMUM [INITIAL-CODE]"},
        {"get-range", RequestKind::GetRange, {ARG_CHANNEL}, 0, 0, "get-range CHANNEL"},
        {"write-channel", RequestKind::WriteChannel, {ARG_CHANNEL, ARG_VALUE}, 0, 0xFFFFFFFF,
         "write-channel CHANNEL VALUE"},
        {"mode-flag", RequestKind::ModeFlag, {ARG_VALUE}, 0, 0xFFFF, "mode-flag FLAG"},
        {"strobe", RequestKind::Strobe, {}, 0, 0, "strobe"},
        {"probe", RequestKind::Probe, {}, 0, 0, "probe"},
    };
    return rows;
}

// Decimal or 0x hexadecimal, no sign, at most `max`.
bool Unsigned(const std::string& word, unsigned long max, DWORD* out) {
    if (word.empty() || !std::isdigit(static_cast<unsigned char>(word[0]))) return false;
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(word.c_str(), &end, 0);
    if (errno || *end || v > max) return false;
    *out = static_cast<DWORD>(v);
    return true;
}

bool Float(const std::string& word, float* out) {
    errno = 0;
    char* end = nullptr;
    *out = std::strtof(word.c_str(), &end);
    return !word.empty() && !*end && errno != ERANGE;
}

bool TakeArgument(Argument argument, const std::string& word, const Syntax& syntax, Request* r, std::string* error) {
    DWORD number = 0;
    bool ok = true;
    const char* what = "";
    switch (argument) {
    case ARG_OFFSET:
        what = "an offset";
        ok = Unsigned(word, 0xFFFFFFFF, &r->offset);
        break;
    case ARG_VALUE:
        what = "a value";
        ok = Unsigned(word, syntax.valueMax, &r->value);
        break;
    case ARG_CHANNEL:
        what = "a channel";
        ok = Unsigned(word, 0xFFFF, &number);
        r->channel = static_cast<WORD>(number);
        break;
    case ARG_MODE:
        what = "voltage or current";
        ok = word == "voltage" || word == "current";
        r->mode = word == "current" ? RANGE_MODE_CURRENT : RANGE_MODE_VOLTAGE;
        break;
    case ARG_MAXIMUM:
        what = "a maximum";
        ok = Float(word, &r->maximum);
        break;
    case ARG_MINIMUM:
        what = "a minimum";
        ok = Float(word, &r->minimum);
        break;
    case ARG_INITIAL:
        what = "an initial code";
        ok = Unsigned(word, 0xFFFF, &number);
        r->initialCode = static_cast<WORD>(number);
        break;
    }
    if (!ok) {
        *error = std::string(syntax.word) + ": '" + word + "' is not " + what;
        if (argument == ARG_VALUE) {
            char max[16];
            std::snprintf(max, sizeof max, "%#lx", syntax.valueMax);
            *error += std::string(" up to ") + max;
        }
    }
    return ok;
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

}  // namespace

bool ParseRequest(const std::string& line, const std::string& defaultBoard, Request* request, std::string* error) {
    std::istringstream words(line);
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
        *error = "unknown request '" + w[first] + "'";
        return false;
    }
    size_t given = w.size() - first - 1;
    size_t most = syntax->arguments.size();
    if (given > most || given < most - syntax->optional) {
        *error = std::string("usage: ") + syntax->usage;
        return false;
    }
    r.kind = syntax->kind;
    for (size_t i = 0; i < given; ++i) {
        if (!TakeArgument(syntax->arguments[i], w[first + 1 + i], *syntax, &r, error)) return false;
    }
    for (size_t i = first; i < w.size(); ++i) r.text += (i > first ? " " : "") + w[i];
    *request = r;
    return true;
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
    return text;
}

RequestRunner::RequestRunner(Session& session) : session_(session), boards_(session.Target().BoardCount()) {}

bool RequestRunner::Resolve(const std::vector<Request>& requests, std::string* error) {
    targets_.clear();
    for (const Request& r : requests) {
        int index = session_.FindBoard(r.board);
        if (index < 0) {
            *error = r.where + ": no running board is called " + r.board;
            targets_.clear();
            return false;
        }
        targets_.push_back(static_cast<size_t>(index));
    }
    return true;
}

void RequestRunner::Run(const std::vector<Request>& requests, std::ostream& out) {
    for (size_t i = 0; i < requests.size() && i < targets_.size(); ++i) RunOne(requests[i], targets_[i], out);
}

void RequestRunner::RunOne(const Request& r, size_t index, std::ostream& out) {
    sim::Target& target = session_.Target();
    Board& board = boards_[index];
    const ::DeviceContext* device = reinterpret_cast<const ::DeviceContext*>(target.DeviceContext(index));
    out << sim::Narrow(target.CallName(index)) << " " << r.text << "  ->  ";
    SetLastError(0);

    if (r.kind == RequestKind::Open || r.kind == RequestKind::Close) {
        BOOL ok;
        if (r.kind == RequestKind::Open) {
            DWORD_PTR handle = target.Open(index);
            ok = handle != 0;
            if (ok) {
                board.handle = handle;
                ++board.opens;
            }
        } else {
            ok = target.Close(index, board.handle);
            if (ok && board.opens > 0 && --board.opens == 0) board.handle = 0;
        }
        out << (ok ? "TRUE" : "FALSE") << ", thread error " << Hex(GetLastError(), 8) << ", OpenCount "
            << device->OpenCount << "\n";
        return;
    }

    // The request's buffers, each exactly as long as its record.
    PortRequest port = {r.offset, r.value};
    ChannelOutput output = {r.channel, 0, r.value};
    WORD flag = static_cast<WORD>(r.value);
    RangeRecord record = {0, r.initialCode, r.mode, r.channel, r.maximum, r.minimum};
    RangeRequest range = {RANGE_REQUEST_SET_GET, sizeof record, 0};
    BYTE reply[4] = {};
    DWORD code = 0;
    const void* in = nullptr;
    DWORD inBytes = 0;
    DWORD outBytes = 0;
    switch (r.kind) {
    case RequestKind::ReadByte: code = IOCTL_PORT_READ_BYTE; outBytes = 1; break;
    case RequestKind::ReadWord: code = IOCTL_PORT_READ_WORD; outBytes = 2; break;
    case RequestKind::ReadDword: code = IOCTL_PORT_READ_DWORD; outBytes = 4; break;
    case RequestKind::WriteByte: code = IOCTL_PORT_WRITE_BYTE; inBytes = PortWriteRequestBytes(1); break;
    case RequestKind::WriteWord: code = IOCTL_PORT_WRITE_WORD; inBytes = PortWriteRequestBytes(2); break;
    case RequestKind::WriteDword: code = IOCTL_PORT_WRITE_DWORD; inBytes = PortWriteRequestBytes(4); break;
    case RequestKind::SetRange: code = IOCTL_AO_SET_CHANNEL_RANGE; break;
    case RequestKind::GetRange: code = IOCTL_AO_GET_CHANNEL_RANGE; outBytes = RANGE_REPLY_BYTES; break;
    case RequestKind::WriteChannel: code = IOCTL_AO_WRITE_CHANNEL; in = &output; inBytes = sizeof output; break;
    case RequestKind::ModeFlag: code = IOCTL_AO_SET_MODE_FLAG; in = &flag; inBytes = sizeof flag; break;
    case RequestKind::Strobe: code = IOCTL_AO_STROBE; break;
    case RequestKind::Probe: code = IOCTL_AO_PROBE; in = &flag; inBytes = sizeof flag; break;
    default: break;
    }
    if (code >> 16 == PORT_DEVICE_TYPE) {
        in = &port;
        if (!inBytes) inBytes = PORT_READ_REQUEST_BYTES;
    }
    if (r.kind == RequestKind::SetRange || r.kind == RequestKind::GetRange) {
        range.RecordAddress = cesim::RegisterCallerBuffer(&record, sizeof record);
        in = &range;
        inBytes = sizeof range;
    }

    const DWORD untouched = 0xFFFFFFFF;
    DWORD count = untouched;
    BOOL ok = target.IoControl(index, board.handle, code, static_cast<BYTE*>(const_cast<void*>(in)), inBytes,
                               outBytes ? reply : nullptr, outBytes, &count);
    DWORD threadError = GetLastError();
    if (range.RecordAddress) cesim::UnregisterCallerBuffer(range.RecordAddress);

    out << (ok ? "TRUE" : "FALSE") << ", thread error " << Hex(threadError, 8) << ", count "
        << (count == untouched ? std::string("not written") : std::to_string(count)) << ", LastError "
        << device->LastError;
    if (ok && outBytes && code >> 16 == PORT_DEVICE_TYPE) {
        DWORD value = 0;
        for (DWORD i = 0; i < outBytes; ++i) value |= DWORD(reply[i]) << (8 * i);
        out << "; read " << Hex(value, 2 * outBytes);
    }
    if (ok && r.kind == RequestKind::GetRange) {
        const char* unit = record.Mode ? " mA" : " V";
        out << "; " << (record.Mode ? "current " : "voltage ") << record.Minimum << ".." << record.Maximum << unit
            << ", initial code " << record.InitialCode;
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
                              sim::Board::Milliamps(o.volts, setting.CurrentMin, setting.CurrentMax),
                              setting.CurrentMin, setting.CurrentMax);
            } else {
                std::snprintf(text, sizeof text, "%.3f V", o.volts);
            }
            out << "    AO" << n << "  code " << o.code << " on " << RangeText(o.rangeCode) << ": " << text << "\n";
        }
    }
}
