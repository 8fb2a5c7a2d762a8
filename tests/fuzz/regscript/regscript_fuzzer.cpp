// Arbitrary script bytes under an arbitrary sequence of document operations,
// transactions among them, with file and memory failures injected along the way.
//
// Input: byte 0 is the length N of the operation program, bytes 1..N are the
// program, the rest is the script. The seeds in corpus/ are real scripts
// behind short programs.
//
// Besides the sanitizers, every step checks against a plain line-by-line
// reading of the script:
// - the finders agree with it (headers, sections, the mask);
// - an operation changes only the lines it owns: a value write its own value
//   line or one new line in its section (or at the end), an appended header
//   two new lines at the end, a cut the section's lines but its comments;
//   every line written is a whole line;
// - outside a transaction the text held is the file's; inside one the file
//   keeps its bytes until the commit;
// - a failure thrown out of an operation left the file as it was, and no
//   journal behind; an operation that reports nothing done changed nothing;
// - the only blocks held between operations are the text and, while a
//   transaction holds changes, the file's own bytes;
// - a journal beside the script at Open, ours by its mark or another's, is
//   removed or set aside whole if ours, left if not, and changes nothing
//   (none can pass its check by chance).
#include <fuzzer/FuzzedDataProvider.h>

#include <afx_fault.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "regscript.h"

namespace {

const char* const kDevices[] = {
    "Device_Drivers/PCI6406/PCI6406.reg",
    "Device_Drivers/USB6406/USB6406.reg",
    "Device_Drivers/PCM6478/PCM6478.reg",
    "Device_Drivers/PCI6451/PCI6451.reg",
    "PCI/Device_Drivers/USB6406/USB6406.reg",
};
const int kDeviceCount = sizeof kDevices / sizeof kDevices[0];

const char* const kNames[] = {
    "SwitchID", "AOSettings 0", "AOSettings 1", "AOSettings 2", "AOSettings 3", "Template", "dword:", "hex:",
    "\"", "[", "]", ";", "\r\n", "VQX6406S", "=", " ", "switchid", "OldSwitchID",
};
const int kNameCount = sizeof kNames / sizeof kNames[0];

const AfxFaultPoint kPoints[] = {AFX_FAULT_OPEN,       AFX_FAULT_LENGTH, AFX_FAULT_SEEK,  AFX_FAULT_READ,
                                 AFX_FAULT_WRITE,      AFX_FAULT_SET_LENGTH, AFX_FAULT_FLUSH, AFX_FAULT_REMOVE,
                                 AFX_FAULT_PAGE_ALLOC};
const size_t kPointCount = sizeof kPoints / sizeof kPoints[0];

std::string g_paths[kDeviceCount];

void Check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::string Text(const CRegScript& doc) { return doc.GetText() ? std::string(doc.GetText(), doc.GetLength()) : ""; }

int TemplateNumber(FuzzedDataProvider& in) {
    uint8_t sel = in.ConsumeIntegral<uint8_t>();
    return sel < 240 ? sel % 17 : in.ConsumeIntegral<int>();
}

// As the document sees it: up to its first zero byte.
std::string Name(FuzzedDataProvider& in) {
    uint8_t sel = in.ConsumeIntegral<uint8_t>();
    return sel < 200 ? kNames[sel % kNameCount] : in.ConsumeRandomLengthString(300).c_str();
}

// ---- The script read the plain way ------------------------------------------

struct Line {
    std::string text;  // without its end
    std::string end;   // "\r\n", "\n", "\r" or "" for a last line without one
    size_t offset;
};

// A UTF-8 byte-order mark is no part of the first line.
std::vector<Line> Lines(const std::string& text) {
    std::vector<Line> lines;
    for (size_t p = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; p < text.size();) {
        size_t e = text.find_first_of("\r\n", p);
        if (e == std::string::npos) {
            lines.push_back({text.substr(p), "", p});
            break;
        }
        const size_t n = text.compare(e, 2, "\r\n") == 0 ? 2 : 1;
        lines.push_back({text.substr(p, e - p), text.substr(e, n), p});
        p = e + n;
    }
    return lines;
}

std::string Upper(std::string s) {
    for (char& c : s) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    return s;
}

std::string Trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    return b == std::string::npos ? "" : s.substr(b);
}

bool Opens(const Line& line, char c) {
    const std::string t = Trimmed(line.text);
    return !t.empty() && t[0] == c;
}

bool IsHeader(const CRegScript& doc, const Line& line, int n) {
    const std::string header = Upper(doc.GetSectionKey() + std::to_string(n) + "]");
    const std::string t = Trimmed(line.text);
    if (Upper(t.substr(0, header.size())) != header) return false;
    const std::string rest = Trimmed(t.substr(header.size()));
    return rest.empty() || rest[0] == ';';
}

// Template n's section as lines [first, last): its first header line to the next line "[" opens.
bool Section(const CRegScript& doc, const std::vector<Line>& lines, int n, size_t& first, size_t& last) {
    for (first = 0; first < lines.size() && !IsHeader(doc, lines[first], n); ++first) {
    }
    if (first == lines.size()) return false;
    for (last = first + 1; last < lines.size() && !Opens(lines[last], '['); ++last) {
    }
    return true;
}

bool IsValueLine(const Line& line, const std::string& name) {
    const std::string t = Trimmed(line.text);
    const std::string quoted = "\"" + Upper(name) + "\"";
    if (Upper(t.substr(0, quoted.size())) != quoted) return false;
    const std::string rest = Trimmed(t.substr(quoted.size()));
    return !rest.empty() && rest[0] == '=';
}

WORD PlainList(const CRegScript& doc) {
    WORD mask = 0;
    const std::vector<Line> lines = Lines(Text(doc));
    for (int n = 0; n < 16; ++n) {
        size_t first, last;
        if (Section(doc, lines, n, first, last)) mask = static_cast<WORD>(mask | 1u << n);
    }
    return mask;
}

// ---- What an operation may change ---------------------------------------------

// after must be before with lines [i, j) replaced by nNew new lines, each
// whole; a last line before them that had no end may have gained one.
void CheckReplaced(const std::vector<Line>& before, const std::vector<Line>& after, size_t i, size_t j,
                   size_t nNew) {
    Check(after.size() == before.size() - (j - i) + nNew, "lines the operation does not own came or went");
    for (size_t k = 0; k < i; ++k) {
        const bool bEnded = k + 1 == before.size() && before[k].end.empty() && !after[k].end.empty();
        Check(after[k].text == before[k].text && (after[k].end == before[k].end || bEnded),
              "a line before the change changed");
    }
    for (size_t k = i; k < i + nNew; ++k) Check(!after[k].end.empty(), "a written line without its end");
    for (size_t k = j; k < before.size(); ++k)
        Check(after[k - j + i + nNew].text == before[k].text && after[k - j + i + nNew].end == before[k].end,
              "a line after the change changed");
}

// A comment or a section's line stands alone; any other line ending in a
// backslash is continued by the next one, unless that one stands alone.
bool StandsAlone(const Line& line) { return Opens(line, ';') || Opens(line, '['); }
bool Continues(const Line& line) {
    const size_t e = line.text.find_last_not_of(" \t");
    return !StandsAlone(line) && e != std::string::npos && line.text[e] == '\\';
}

void CheckValueWrite(const CRegScript& doc, const std::string& before, const std::string& after, int n,
                     const std::string& name) {
    const std::vector<Line> b = Lines(before), a = Lines(after);
    size_t first = 0, last, i = b.size(), j = b.size();
    const bool bPresent = Section(doc, b, n, first, last);
    if (bPresent) {
        i = j = last;  // a new value ends its section
        // Lines that a backslash continues belong to the line before them.
        for (size_t k = first + 1; k < last; ++k) {
            size_t e = k + 1;
            while (e < last && Continues(b[e - 1]) && !StandsAlone(b[e])) ++e;
            if (IsValueLine(b[k], name)) {
                i = k;
                j = e;
                break;
            }
            k = e - 1;
        }
    }
    if (i == j) {
        // A new line goes before a value left open where it would go.
        while (i > (bPresent ? first + 1 : 0) && Continues(b[i - 1])) --i;
        j = i;
    }
    CheckReplaced(b, a, i, j, 1);
    Check(IsValueLine(a[i], name), "the line written is the value's");
}

void CheckAppend(const CRegScript& doc, const std::string& before, const std::string& after, int n) {
    const std::vector<Line> b = Lines(before), a = Lines(after);
    CheckReplaced(b, a, b.size(), b.size(), 2);
    Check(a[b.size()].text == " " && IsHeader(doc, a[b.size() + 1], n), "a line of one space, then the header");
}

void CheckDelete(const CRegScript& doc, const std::string& before, const std::string& after, int n) {
    const std::vector<Line> b = Lines(before);
    size_t first, last;
    if (!Section(doc, b, n, first, last)) {
        Check(after == before, "a cut of an absent template changed the text");
        return;
    }
    std::string expected = before.substr(0, b[first].offset);
    for (size_t k = first; k < last; ++k)
        if (Opens(b[k], ';')) expected += b[k].text + b[k].end;
    if (last < b.size()) expected += before.substr(b[last].offset);
    Check(after == expected, "a cut takes the section's lines but its comments, and nothing else");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char szRoot[] = "/dev/shm/regscript_fuzz_XXXXXX";
    char szFallback[] = "/tmp/regscript_fuzz_XXXXXX";
    const char* root = mkdtemp(szRoot);
    if (!root) root = mkdtemp(szFallback);
    Check(root != nullptr, "temporary folder");
    for (int i = 0; i < kDeviceCount; ++i) {
        std::string path = std::string(root) + "/" + kDevices[i];
        for (size_t slash = std::strlen(root) + 1; (slash = path.find('/', slash)) != std::string::npos; ++slash)
            mkdir(path.substr(0, slash).c_str(), 0777);
        g_paths[i] = path;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t cbProgram = data[0] < size - 1 ? data[0] : size - 1;
    FuzzedDataProvider in(data + 1, cbProgram);
    const std::string script(reinterpret_cast<const char*>(data) + 1 + cbProgram, size - 1 - cbProgram);

    const std::string& path = g_paths[in.ConsumeIntegralInRange(0, kDeviceCount - 1)];
    const std::string journal = path + ".jnl";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << script;

    // Sometimes a journal beside it, ours by its mark or not: what Open
    // makes of it must leave no journal of ours behind, and move a foreign
    // file nowhere.
    std::string journalBytes;
    const bool bJournal = in.ConsumeIntegral<uint8_t>() < 32;
    if (bJournal) {
        journalBytes = (in.ConsumeBool() ? std::string("PCI6406Cfg jnl2\n") : std::string()) +
                       in.ConsumeRandomLengthString(120);
        std::ofstream(journal, std::ios::binary | std::ios::trunc) << journalBytes;
    }

    AfxResetFaults();
    auto doc = std::make_unique<CRegScript>();
    const bool bUtf16 = script.size() >= 2 && ((script[0] == '\xFF' && script[1] == '\xFE') ||
                                               (script[0] == '\xFE' && script[1] == '\xFF'));
    const DWORD dwOpen = doc->Open(path.c_str());
    if (bJournal) {
        const bool bOurs = journalBytes.compare(0, 16, "PCI6406Cfg jnl2\n") == 0 ||
                           std::string("PCI6406Cfg jnl2\n").compare(0, journalBytes.size(), journalBytes) == 0;
        const std::string setAside = doc->SetAsideJournal();
        Check(Exists(journal) == !bOurs, "a journal of ours stays, or another's is moved");
        Check(setAside.empty() || Slurp(setAside) == journalBytes, "a journal set aside keeps its bytes");
        Check(Slurp(path) == script, "a journal that does not fit changes nothing");
        std::remove(journal.c_str());
        if (!setAside.empty()) std::remove(setAside.c_str());
    }
    if (bUtf16 || script.find('\0') != std::string::npos) {
        Check(dwOpen == (bUtf16 ? ERROR_NO_UNICODE_TRANSLATION : ERROR_INVALID_DATA), "not text, not opened");
        Check(Slurp(path) == script && AfxLivePageBlocks() == 0, "a refused script untouched");
        return 0;
    }
    Check(dwOpen == 0, "open");
    Check(Text(*doc) == script, "text as read");

    std::string committed = script;  // the file's bytes while a transaction holds changes
    for (int nStep = 0; nStep < 48 && in.remaining_bytes() > 0; ++nStep) {
        const std::string fileBefore = Slurp(path);
        const std::string textBefore = Text(*doc);
        const bool bHadText = doc->GetText() != nullptr;
        const bool bWasInTrans = doc->InTransaction() != FALSE;
        const int op = in.ConsumeIntegralInRange(0, 14);
        bool bLooksOnly = false;
        int result = 0;
        bool bThrew = false;
        int n = 0;
        std::string name;
        try {
            switch (op) {
            case 0: {
                DWORD start, end;
                n = TemplateNumber(in);
                doc->FindTemplateSection(n, start, end);
                Check(start <= end && end <= doc->GetLength(), "section bounds");
                if (doc->GetText()) {
                    const std::vector<Line> lines = Lines(textBefore);
                    size_t first, last;
                    if (Section(*doc, lines, n, first, last)) {
                        Check(start == lines[first].offset, "section start");
                        Check(end == (last < lines.size() ? lines[last].offset : textBefore.size()), "section end");
                    } else {
                        Check(start == end && end == doc->GetLength(), "absent section");
                    }
                }
                bLooksOnly = true;
                break;
            }
            case 1: {
                n = TemplateNumber(in);
                name = Name(in);
                const DWORD cap = in.ConsumeIntegralInRange<DWORD>(0, 300);
                // Exactly cap bytes, so that a write past them is caught.
                std::unique_ptr<unsigned char[]> buf(cap ? new unsigned char[cap] : nullptr);
                DWORD type = 0, cb = 0;
                result = doc->ReadValue(n, name.c_str(), &type, in.ConsumeBool() ? buf.get() : nullptr, cap, &cb);
                bLooksOnly = true;
                break;
            }
            case 2:
            case 3:
            case 4:
            case 5: {
                n = TemplateNumber(in);
                name = Name(in);
                DWORD type = op == 2 ? REG_DWORD : op == 3 ? REG_SZ : op == 4 ? REG_BINARY : REG_MULTI_SZ;
                if (in.ConsumeIntegral<uint8_t>() > 250) type = in.ConsumeIntegral<DWORD>();
                const std::string value = in.ConsumeRandomLengthString(120);
                const DWORD cb = in.ConsumeIntegralInRange<DWORD>(0, static_cast<DWORD>(value.size()));
                result = doc->WriteValue(n, name.c_str(), type, value.data(), cb);
                if (result == 0 && Text(*doc) != textBefore) CheckValueWrite(*doc, textBefore, Text(*doc), n, name);
                if (result == 0 && Text(*doc) == textBefore) {
                    // Unchanged: the value's line already read as it would be written.
                    size_t first, last;
                    Check(Section(*doc, Lines(textBefore), n, first, last), "a write to an absent template wrote nothing");
                }
                break;
            }
            case 6: {
                n = TemplateNumber(in);
                size_t first, last;
                const bool bPlain = doc->GetText() && Section(*doc, Lines(textBefore), n, first, last);
                Check(doc->TemplateSectionExists(n) == (bPlain ? 1 : 0), "exists");
                bLooksOnly = true;
                break;
            }
            case 7:
                n = TemplateNumber(in);
                result = doc->AppendTemplateSection(n);
                if (result == 0) CheckAppend(*doc, textBefore, Text(*doc), n);
                break;
            case 8:
                n = TemplateNumber(in);
                result = doc->DeleteTemplateSection(n);
                if (result == 0) CheckDelete(*doc, textBefore, Text(*doc), n);
                break;
            case 9: {
                WORD mask = 0xFFFF;
                doc->ListTemplateSections(mask);
                Check(mask == (doc->GetText() ? PlainList(*doc) : 0), "list");
                bLooksOnly = true;
                break;
            }
            case 10:
                doc->Reload();
                committed = Text(*doc);
                break;
            case 11: {
                // One armed fault at a time keeps the undo itself out of harm's way.
                AfxResetFaults();
                const AfxFaultPoint pt = kPoints[in.ConsumeIntegralInRange<size_t>(0, kPointCount - 1)];
                const DWORD err = in.ConsumeBool() ? ERROR_DISK_FULL : ERROR_IO_DEVICE;
                AfxFailCall(pt, in.ConsumeIntegralInRange(1u, 4u), err, in.ConsumeIntegralInRange(0u, 16u));
                continue;
            }
            case 12:
                doc->BeginTrans();
                committed = fileBefore;
                continue;
            case 13:
                doc->CommitTrans();
                break;
            case 14:
                doc->Rollback();
                Check(Text(*doc) == (bHadText ? fileBefore : ""), "a rollback returns to the file");
                break;
            }
        } catch (CFileException* e) {
            e->Delete();
            bThrew = true;
        }
        const std::string fileAfter = Slurp(path);
        Check(!Exists(journal), "a journal outlived its operation");
        if (bThrew || bLooksOnly || result != 0) Check(fileAfter == fileBefore, "file changed by a failed or looking operation");
        if (bThrew && doc->GetText()) Check(Text(*doc) == fileAfter, "a failure leaves the text at the file");
        if ((bLooksOnly || result != 0) && bHadText && !bThrew) Check(Text(*doc) == textBefore, "text changed by a looking or failed operation");
        if (doc->InTransaction()) {
            Check(fileAfter == committed, "the file moved before the commit");
        } else if (doc->GetText()) {
            Check(Text(*doc) == fileAfter, "text and file apart");
        }
        if (bWasInTrans && !doc->InTransaction() && !bThrew && op == 13 && doc->GetText())
            Check(fileAfter == Text(*doc), "a commit lands the text");
        const size_t nBlocks = (doc->GetText() ? 1u : 0u) + (doc->HasPendingChanges() ? 1u : 0u);
        Check(AfxLivePageBlocks() == nBlocks, "working buffer kept");
    }
    AfxResetFaults();
    doc->Close();
    Check(AfxLivePageBlocks() == 0, "text kept after close");
    return 0;
}
