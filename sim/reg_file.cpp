#include "reg_file.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "number_text.h"
#include "registry_util.h"
#include "text_file.h"

namespace sim {

namespace {

struct RootName {
    HKEY key;
    const char* names[2];
};
const RootName ROOTS[] = {
    {HKEY_LOCAL_MACHINE, {"HKEY_LOCAL_MACHINE", "HKLM"}},
    {HKEY_CURRENT_USER, {"HKEY_CURRENT_USER", "HKCU"}},
    {HKEY_CLASSES_ROOT, {"HKEY_CLASSES_ROOT", "HKCR"}},
};

const size_t MAX_KEY_NAME = 255;

// The first and last lines of a registry the simulator saved: a file that
// begins with the first and lacks the last was cut off.
#define SAVED_MARK "; Registry of the simulated target, saved whole"
#define END_MARK "; End of the registry"

// Against an 8-bit literal, by the simulator's one case rule.
bool EqualNoCase(const WString& a, const char* b) { return sim::EqualNoCase(a, Widen(b)); }

bool IsBlank(WCHAR c) { return c == TEXT(' ') || c == TEXT('\t'); }

// The part of text[begin, end) without blanks and carriage returns at its ends.
WString Trim(const WString& text, size_t begin, size_t end) {
    auto skipped = [](WCHAR c) { return IsBlank(c) || c == TEXT('\r'); };
    while (begin < end && skipped(text[begin])) ++begin;
    while (end > begin && skipped(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

WString Trim(const WString& s) { return Trim(s, 0, s.size()); }

// ---- Decoding the script --------------------------------------------------------

// UTF-8 from `start` into UTF-16, which the registry holds. False at the
// first byte that begins no UTF-8 character, with its offset in `bad`: a
// stray 8-bit byte taken as the start of one would swallow the bytes after
// it, line ends and quotes among them.
bool DecodeUtf8(const std::string& bytes, size_t start, WString& text, size_t& bad) {
    static const unsigned kLeast[] = {0, 0x80, 0x800, 0x10000};  // no character written longer than it needs
    for (size_t i = start; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const unsigned extra = c < 0x80 ? 0 : c < 0xC0 ? 4 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : c < 0xF8 ? 3 : 4;
        unsigned cp = extra ? c & (0x3F >> extra) : c;
        bool ok = extra < 4;
        for (unsigned k = 1; ok && k <= extra; ++k) {
            ok = i + k < bytes.size() && (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
            if (ok) cp = (cp << 6) | (bytes[i + k] & 0x3F);
        }
        if (!ok || cp < kLeast[extra] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            bad = i;
            return false;
        }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            text.push_back(static_cast<WCHAR>(0xD800 + (cp >> 10)));
            text.push_back(static_cast<WCHAR>(0xDC00 + (cp & 0x3FF)));
        } else {
            text.push_back(static_cast<WCHAR>(cp));
        }
    }
    return true;
}

bool Decode(const std::string& bytes, WString& text, std::string* error) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            text.push_back(static_cast<WCHAR>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
        }
        return true;
    }
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") != 0) {
        text = Widen(bytes);
        return true;
    }
    size_t bad = 0;
    if (DecodeUtf8(bytes, 3, text, bad)) return true;
    if (error) {
        char byte[8];
        std::snprintf(byte, sizeof byte, "0x%02x", static_cast<unsigned char>(bytes[bad]));
        *error = "line " + std::to_string(LineOfByte(bytes, bad)) + ": the byte " + byte +
                 " is not UTF-8, which the script's byte-order mark says it is";
    }
    return false;
}

// ---- Parsing ---------------------------------------------------------------------

class Parser {
public:
    bool Parse(const WString& text, std::vector<ScriptSection>& sections, std::string* error) {
        // Where each line starts; the last entry is one past the text's end.
        std::vector<size_t> starts = {0};
        for (size_t at = text.find(TEXT('\n')); at != WString::npos; at = text.find(TEXT('\n'), at + 1)) {
            starts.push_back(at + 1);
        }
        starts.push_back(text.size() + 1);
        const size_t count = starts.size() - 1;
        auto lineAt = [&](size_t i) { return Trim(text, starts[i], starts[i + 1] - 1); };
        // Only the last line can be cut inside a word: the others end with
        // their line end (a carriage return alone counts as one).
        const bool lastLineOpen = starts[count - 1] < text.size() && text.back() != TEXT('\r');
        const WString savedMark = Widen(SAVED_MARK), endMark = Widen(END_MARK);
        bool saved = false, closed = false;
        for (size_t i = 0; i < count; ++i) {
            line_ = static_cast<int>(i + 1);
            WString line = lineAt(i);
            if (line == savedMark && sections.empty()) saved = true;
            if (line == endMark) closed = true;
            if (line.empty() || line[0] == TEXT(';') || EqualNoCase(line, "REGEDIT4") ||
                EqualNoCase(line, "Windows Registry Editor Version 5.00")) {
                continue;
            }
            if (line[0] == TEXT('[')) {
                if (!Header(line, sections)) return Failed(error);
                continue;
            }
            if (line[0] != TEXT('"') && line[0] != TEXT('@')) {
                what_ = "not a section, a value or a comment";
                return Failed(error);
            }
            // A value continues over lines that end with a backslash; a file
            // that ends instead was cut off.
            while (!line.empty() && line.back() == TEXT('\\')) {
                size_t next = i + 1;
                while (next < count && lineAt(next).empty()) ++next;
                if (next == count) {
                    what_ = "the file ends where this line says it goes on (\"\\\" at its end): it is cut off";
                    return Failed(error);
                }
                line.pop_back();
                line += lineAt(++i);
            }
            if (sections.empty() || sections.back().remove) {
                what_ = "a value outside a section (or in a deleted one)";
                return Failed(error);
            }
            endsFile_ = i + 1 == count && lastLineOpen;
            ScriptValue value{line_, false, {}, 0, {}};
            if (!Value(line, value)) return Failed(error);
            sections.back().values.push_back(std::move(value));
        }
        if (saved && !closed) {
            line_ = static_cast<int>(count);
            what_ = "the file ends before the line \"" END_MARK "\" that closes a saved registry: it is cut off";
            return Failed(error);
        }
        return true;
    }

private:
    bool Failed(std::string* error) {
        if (error) *error = "line " + std::to_string(line_) + ": " + what_;
        return false;
    }
    bool Fail(const char* what) {
        what_ = what;
        return false;
    }

    bool Header(const WString& line, std::vector<ScriptSection>& sections) {
        size_t close = line.rfind(TEXT(']'));
        if (close == WString::npos) return Fail("a section header without \"]\"");
        WString rest = Trim(line.substr(close + 1));
        if (!rest.empty() && rest[0] != TEXT(';')) return Fail("text after a section header");
        WString path = line.substr(1, close - 1);
        ScriptSection section{line_, false, nullptr, {}, {}};
        if (!path.empty() && path[0] == TEXT('-')) {
            section.remove = true;
            path.erase(0, 1);
        }
        size_t slash = path.find(TEXT('\\'));
        WString root = path.substr(0, slash);
        for (const RootName& r : ROOTS) {
            if (EqualNoCase(root, r.names[0]) || EqualNoCase(root, r.names[1])) section.root = r.key;
        }
        if (!section.root) return Fail("an unknown root key");
        section.key = slash == WString::npos ? WString() : path.substr(slash + 1);
        if (section.remove && section.key.empty()) return Fail("a root key cannot be deleted");
        size_t from = 0;
        while (!section.key.empty()) {
            size_t to = section.key.find(TEXT('\\'), from);
            size_t length = (to == WString::npos ? section.key.size() : to) - from;
            if (length == 0 || length > MAX_KEY_NAME) return Fail("an empty or overlong key name in the path");
            if (to == WString::npos) break;
            from = to + 1;
        }
        sections.push_back(std::move(section));
        return true;
    }

    // A quoted text from `pos` (at its opening quote); \\ and \" are escapes,
    // any other backslash stands for itself.
    bool Quoted(const WString& line, size_t& pos, WString& out) {
        out.clear();
        for (++pos; pos < line.size(); ++pos) {
            WCHAR c = line[pos];
            if (c == TEXT('"')) {
                ++pos;
                return true;
            }
            if (c == TEXT('\\') && pos + 1 < line.size() && (line[pos + 1] == TEXT('\\') || line[pos + 1] == TEXT('"'))) c = line[++pos];
            out.push_back(c);
        }
        return Fail("a text without its closing quote");
    }

    // One to eight hexadecimal digits from pos, which moves past them.
    static bool HexNumber(const WString& line, size_t& pos, DWORD& value) {
        int digits = 0;
        for (value = 0; pos < line.size() && HexDigit(line[pos]) >= 0; ++pos, ++digits) {
            value = value * 16 + static_cast<DWORD>(HexDigit(line[pos]));
        }
        return digits > 0 && digits <= 8;
    }

    static void SkipBlanks(const WString& line, size_t& pos) {
        while (pos < line.size() && IsBlank(line[pos])) ++pos;
    }

    bool StartsWith(const WString& line, size_t pos, const char* word) {
        size_t n = 0;
        while (word[n]) ++n;
        return pos + n <= line.size() && EqualNoCase(line.substr(pos, n), word);
    }

    bool Bytes(const WString& line, size_t& pos, std::vector<BYTE>& out) {
        out.clear();
        for (bool afterComma = false;; afterComma = true) {
            SkipBlanks(line, pos);
            int digits = 0, value = 0;
            while (pos < line.size() && HexDigit(line[pos]) >= 0 && digits < 3) {
                value = value * 16 + HexDigit(line[pos++]);
                ++digits;
            }
            if (digits > 2) return Fail("a byte of more than two hexadecimal digits");
            if (digits) out.push_back(static_cast<BYTE>(value));
            SkipBlanks(line, pos);
            if (pos < line.size() && line[pos] == TEXT(',')) {
                if (!digits) return Fail("an empty byte in a byte list");
                ++pos;
                continue;
            }
            if (!digits && afterComma) return Fail("a byte list that ends with a comma: is the file cut off?");
            if (digits == 1 && endsFile_ && pos == line.size()) {
                return Fail("the file ends inside a byte (one hexadecimal digit and no line end): it is cut off");
            }
            return true;
        }
    }

    static void PutText(const WString& text, std::vector<BYTE>& out) {
        for (WCHAR c : text) {
            out.push_back(static_cast<BYTE>(c & 0xFF));
            out.push_back(static_cast<BYTE>(c >> 8));
        }
        out.push_back(0);
        out.push_back(0);
    }

    bool Value(const WString& line, ScriptValue& op) {
        size_t pos = 0;
        if (line[0] == TEXT('@')) {
            op.name.clear();
            pos = 1;
        } else if (!Quoted(line, pos, op.name)) {
            return false;
        }
        SkipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != TEXT('=')) return Fail("a value name without \"=\"");
        ++pos;
        SkipBlanks(line, pos);
        op.data.clear();
        if (pos < line.size() && line[pos] == TEXT('-')) {
            op.remove = true;
            ++pos;
        } else if (pos < line.size() && line[pos] == TEXT('"')) {
            WString text;
            if (!Quoted(line, pos, text)) return false;
            op.type = REG_SZ;
            PutText(text, op.data);
        } else if (StartsWith(line, pos, "dword:")) {
            pos += 6;
            DWORD value = 0;
            if (!HexNumber(line, pos, value)) return Fail("a dword needs one to eight hexadecimal digits");
            op.type = REG_DWORD;
            for (int i = 0; i < 4; ++i) op.data.push_back(static_cast<BYTE>(value >> (8 * i)));
        } else if (StartsWith(line, pos, "hex:")) {
            pos += 4;
            op.type = REG_BINARY;
            if (!Bytes(line, pos, op.data)) return false;
        } else if (StartsWith(line, pos, "hex(")) {
            pos += 4;
            DWORD type = 0;
            if (!HexNumber(line, pos, type) || !StartsWith(line, pos, "):")) {
                return Fail("a malformed hex(type): prefix");
            }
            pos += 2;
            op.type = type;
            if (!Bytes(line, pos, op.data)) return false;
        } else if (StartsWith(line, pos, "multi_sz:")) {
            pos += 9;
            op.type = REG_MULTI_SZ;
            SkipBlanks(line, pos);
            if (pos < line.size() && line[pos] == TEXT('"')) {
                for (;;) {
                    WString text;
                    if (!Quoted(line, pos, text)) return false;
                    PutText(text, op.data);
                    SkipBlanks(line, pos);
                    if (pos >= line.size() || line[pos] != TEXT(',')) break;
                    ++pos;
                    SkipBlanks(line, pos);
                }
                op.data.push_back(0);
                op.data.push_back(0);
            } else {
                // The configuration library's form: 8-bit characters as bytes.
                std::vector<BYTE> narrow;
                if (!Bytes(line, pos, narrow)) return false;
                for (BYTE b : narrow) {
                    op.data.push_back(b);
                    op.data.push_back(0);
                }
            }
        } else {
            return Fail("an unknown value form (a text, dword:, hex:, hex(n): or multi_sz:)");
        }
        SkipBlanks(line, pos);
        if (pos < line.size() && line[pos] != TEXT(';')) return Fail("text after the value");
        return true;
    }

    int line_ = 0;
    const char* what_ = "";
    bool endsFile_ = false;  // the value is the file's last line, without a line end
};

bool Refused(std::string* error, int line, LONG status) {
    if (error) {
        *error = "line " + std::to_string(line) + ": the registry refused it (error " + std::to_string(status) + ")";
    }
    return false;
}

}  // namespace

bool ApplyRegScript(const ParsedScript& script, std::string* error) {
    for (const ScriptSection& section : script.sections) {
        if (section.remove) {
            LONG status = RegDeleteKeyW(section.root, section.key.c_str());
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return Refused(error, section.line, status);
            continue;
        }
        HKEY key = nullptr;
        LONG status = RegCreateKeyExW(section.root, section.key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_WRITE, nullptr, &key, nullptr);
        if (status != ERROR_SUCCESS) return Refused(error, section.line, status);
        for (const ScriptValue& value : section.values) {
            if (value.remove) {
                status = RegDeleteValueW(key, value.name.c_str());
                if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
            } else {
                status = RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                                        static_cast<DWORD>(value.data.size()));
            }
            if (status != ERROR_SUCCESS) {
                RegCloseKey(key);
                return Refused(error, value.line, status);
            }
        }
        RegCloseKey(key);
    }
    return true;
}

namespace {

// ---- Export -------------------------------------------------------------------------

bool Printable(WCHAR c) { return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF); }

std::string QuotedText(const WString& text) {
    std::string out = "\"";
    for (WCHAR c : text) {
        if (c == TEXT('\\') || c == TEXT('"')) out.push_back('\\');
        out.push_back(static_cast<char>(c));
    }
    return out + "\"";
}

bool PrintableText(const WString& text) {
    for (WCHAR c : text) {
        if (!Printable(c)) return false;
    }
    return true;
}

WString Units(const std::vector<BYTE>& data) {
    WString units;
    for (size_t i = 0; i + 1 < data.size(); i += 2) units.push_back(static_cast<WCHAR>(data[i] | (data[i + 1] << 8)));
    return units;
}

class Exporter {
public:
    bool Run(std::string& out, std::string* error) {
        out_ = std::string("REGEDIT4\r\n") + SAVED_MARK + "\r\n";
        for (const RootName& r : ROOTS) {
            if (!Walk(r.key, r.names[0], error)) return false;
        }
        out_ += std::string("\r\n") + END_MARK + "\r\n";
        out.swap(out_);
        return true;
    }

private:
    // Parents before children, each key's children in creation order. The
    // walk keeps its own stack, so a tree's depth costs memory, not stack.
    bool Walk(HKEY root, const std::string& rootName, std::string* error) {
        struct Level {
            HKEY key;
            DWORD subKeys;
            DWORD next;
            size_t pathUnits;  // of `path` at this level
        };
        WString path;
        std::vector<Level> levels;
        auto enter = [&](HKEY key) {
            DWORD subKeys = 0;
            if (!Print(key, rootName, path, &subKeys, error)) return false;
            levels.push_back({key, subKeys, 0, path.size()});
            return true;
        };
        auto closeAll = [&]() {
            for (const Level& level : levels) {
                if (level.key != root) RegCloseKey(level.key);
            }
        };
        if (!enter(root)) return false;
        // Creation order, whatever order enumeration is set to.
        bool reversed = cesim::GetEnumOrder() == cesim::EnumOrder::Reversed;
        while (!levels.empty()) {
            Level& level = levels.back();
            if (level.next == level.subKeys) {
                if (level.key != root) RegCloseKey(level.key);
                levels.pop_back();
                if (!levels.empty()) path.resize(levels.back().pathUnits);
                continue;
            }
            DWORD index = reversed ? level.subKeys - 1 - level.next : level.next;
            ++level.next;
            WCHAR child[256];
            DWORD units = 256;
            HKEY sub = nullptr;
            if (RegEnumKeyExW(level.key, index, child, &units, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
                closeAll();
                return Refuse(error, "cannot list the keys of " + Narrow(path));
            }
            if (RegOpenKeyExW(level.key, child, 0, KEY_READ, &sub) != ERROR_SUCCESS) {
                closeAll();
                return Refuse(error, "cannot open a key of " + Narrow(path));
            }
            if (cesim::IsKeyVolatile(sub)) {
                RegCloseKey(sub);
                continue;
            }
            path.resize(level.pathUnits);
            if (!path.empty()) path += TEXT('\\');
            path.append(child, units);
            if (!enter(sub)) {
                RegCloseKey(sub);
                closeAll();
                return false;
            }
        }
        return true;
    }

    // The key's section when it has values or is a leaf, and its sub-key count.
    bool Print(HKEY key, const std::string& rootName, const WString& path, DWORD* pSubKeys, std::string* error) {
        DWORD subKeys = 0, values = 0, maxName = 0, maxData = 0;
        if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, &maxName, &maxData,
                             nullptr, nullptr) != ERROR_SUCCESS) {
            return Refuse(error, "cannot read " + Narrow(path));
        }
        *pSubKeys = subKeys;
        if (!values && (subKeys || path.empty())) return true;
        if (!PrintableText(path)) return Refuse(error, "key name not writable as 8-bit text: " + Narrow(path));
        out_ += "\r\n[" + rootName + (path.empty() ? "" : "\\" + Narrow(path)) + "]\r\n";
        std::vector<WCHAR> name(maxName + 1);
        std::vector<BYTE> data(maxData);
        for (DWORD i = 0; i < values; ++i) {
            DWORD nameUnits = maxName + 1, type = 0, size = maxData;
            if (RegEnumValueW(key, i, name.data(), &nameUnits, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
                return Refuse(error, "cannot read a value of " + Narrow(path));
            }
            WString valueName(name.data(), nameUnits);
            if (!PrintableText(valueName)) {
                return Refuse(error, "value name not writable as 8-bit text in " + Narrow(path));
            }
            Line(valueName, type, std::vector<BYTE>(data.begin(), data.begin() + size));
        }
        return true;
    }

    static bool Refuse(std::string* error, const std::string& what) {
        if (error) *error = what;
        return false;
    }

    void Line(const WString& name, DWORD type, const std::vector<BYTE>& data) {
        std::string lead = name.empty() ? "@=" : QuotedText(name) + "=";
        WString units = Units(data);
        bool even = data.size() % 2 == 0;
        if (type == REG_SZ && even && !units.empty() && units.back() == 0 && PrintableText(units.substr(0, units.size() - 1))) {
            out_ += lead + QuotedText(units.substr(0, units.size() - 1)) + "\r\n";
            return;
        }
        if (type == REG_DWORD && data.size() == 4) {
            char hex[16];
            std::snprintf(hex, sizeof(hex), "dword:%08x", data[0] | (data[1] << 8) | (data[2] << 16) |
                                                             (static_cast<DWORD>(data[3]) << 24));
            out_ += lead + hex + "\r\n";
            return;
        }
        if (type == REG_MULTI_SZ && even && MultiText(units, lead)) return;
        if (type == REG_SZ && even) {
            // A text padded with zeros, or without its terminator: exact bytes,
            // with the text above them for the reader.
            WString text = units.substr(0, units.find(TEXT('\0')));
            if (PrintableText(text)) {
                out_ += "; " + (name.empty() ? std::string("@") : QuotedText(name)) + " holds " + QuotedText(text) +
                        " in " + std::to_string(data.size()) + " bytes\r\n";
            }
        }
        char prefix[24];
        if (type == REG_BINARY) std::snprintf(prefix, sizeof(prefix), "hex:");
        else std::snprintf(prefix, sizeof(prefix), "hex(%x):", type);
        std::string line = lead + prefix;
        for (size_t i = 0; i < data.size(); ++i) {
            char byte[4];
            std::snprintf(byte, sizeof(byte), "%02x", data[i]);
            line += byte;
            if (i + 1 < data.size()) {
                line += ",";
                if (line.size() > 76) {
                    out_ += line + "\\\r\n";
                    line = "  ";
                }
            }
        }
        out_ += line + "\r\n";
    }

    // multi_sz:"a","b" when those texts give back exactly these bytes.
    bool MultiText(const WString& units, const std::string& lead) {
        if (units.size() < 2 || units[units.size() - 1] != 0 || units[units.size() - 2] != 0) return false;
        std::string line = lead + "multi_sz:";
        size_t start = 0;
        for (bool first = true; start + 1 < units.size(); first = false) {
            size_t end = units.find(TEXT('\0'), start);
            WString text = units.substr(start, end - start);
            if (text.empty() || !PrintableText(text)) return false;
            line += (first ? "" : ",") + QuotedText(text);
            start = end + 1;
        }
        if (start != units.size() - 1) return false;
        out_ += line + "\r\n";
        return true;
    }

    std::string out_;
};

}  // namespace

bool ParseRegText(const std::string& bytes, ParsedScript& script, std::string* error) {
    script = ParsedScript();
    WString text;
    if (!Decode(bytes, text, error)) return false;
    const size_t endMark = text.find(TEXT('\x1A'));
    if (endMark != WString::npos) {
        script.endMarkLine = 1 + static_cast<int>(std::count(text.begin(), text.begin() + endMark, TEXT('\n')));
        text.resize(endMark);
    }
    Parser parser;
    return parser.Parse(text, script.sections, error);
}

int LineOfByte(const std::string& text, size_t offset) {
    return 1 + static_cast<int>(std::count(text.begin(), text.begin() + std::min(offset, text.size()), '\n'));
}

bool ImportRegText(const std::string& text, std::string* error) {
    ParsedScript script;
    return ParseRegText(text, script, error) && ApplyRegScript(script, error);
}

bool ImportRegFile(const std::string& path, std::string* error) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error)) return false;
    if (!ImportRegText(bytes, error)) {
        if (error) *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool ExportRegText(std::string& text, std::string* error) {
    Exporter exporter;
    return exporter.Run(text, error);
}

bool ExportRegFile(const std::string& path, std::string* error) {
    std::string text;
    return ExportRegText(text, error) && ReplaceFile(path, text, error);
}

}  // namespace sim
