// Arbitrary script bytes under an arbitrary sequence of document operations,
// with file and memory failures injected along the way.
//
// Input: byte 0 is the length N of the operation program, bytes 1..N are the
// program, the rest is the script. The seeds in corpus/ are real scripts
// behind short programs.
//
// Besides the sanitizers, every step checks: the text held is the file's; a
// failure thrown out of an operation left the file as it was before it; an
// operation that reports nothing done, or only looks, changed nothing; the
// only block held between operations is the text.
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
    "\"", "[", "]", ";", "\r\n", "VQX6406S", "=", " ",
};
const int kNameCount = sizeof kNames / sizeof kNames[0];

const AfxFaultPoint kPoints[] = {AFX_FAULT_LENGTH, AFX_FAULT_SEEK,       AFX_FAULT_READ,
                                 AFX_FAULT_WRITE,  AFX_FAULT_SET_LENGTH, AFX_FAULT_PAGE_ALLOC};

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

std::string Text(const CRegScript& doc) { return doc.m_pText ? std::string(doc.m_pText, doc.m_dwLength) : ""; }

int TemplateNumber(FuzzedDataProvider& in) {
    uint8_t sel = in.ConsumeIntegral<uint8_t>();
    return sel < 240 ? sel % 17 : in.ConsumeIntegral<int>();
}

std::string Name(FuzzedDataProvider& in) {
    uint8_t sel = in.ConsumeIntegral<uint8_t>();
    return sel < 200 ? kNames[sel % kNameCount] : in.ConsumeRandomLengthString(300);
}

// The header finders the plain way, line by line, to hold the document's
// faster scans to: TemplateSectionExists on CR and LF lines, exact case;
// ListTemplateSections on LF lines, any case, two characters after the key.
std::vector<std::string> Lines(const std::string& text, const char* breaks) {
    std::vector<std::string> lines;
    const std::string visible = text.substr(0, text.find('\0'));
    for (size_t p = 0; (p = visible.find_first_not_of(breaks, p)) != std::string::npos;) {
        size_t e = visible.find_first_of(breaks, p);
        if (e == std::string::npos) e = visible.size();
        lines.push_back(visible.substr(p, e - p));
        p = e;
    }
    return lines;
}

int PlainExists(const CRegScript& doc, int n) {
    const std::string pattern =
        (doc.m_nBusKind == BUS_PCM ? std::string(doc.m_szDriverName) : "Template") + std::to_string(n) + "]";
    for (const std::string& line : Lines(Text(doc), "\r\n"))
        if (line.find(';') == std::string::npos && line.find(pattern) != std::string::npos) return 1;
    return 0;
}

std::string Upper(std::string s) {
    for (char& c : s) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    return s;
}

WORD PlainList(const CRegScript& doc) {
    const std::string key = Upper(doc.m_szSectionKey);
    WORD mask = 0;
    for (const std::string& line : Lines(Text(doc), "\n")) {
        size_t k;
        if (line.find(';') != std::string::npos || (k = Upper(line).find(key)) == std::string::npos) continue;
        const std::string two = line.substr(k + key.size(), 2);
        const int v = std::atoi(two.c_str());
        if (v >= 0 && v < 16) mask = static_cast<WORD>(mask | 1u << v);
    }
    return mask;
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
    std::ofstream(path, std::ios::binary | std::ios::trunc) << script;

    AfxResetFaults();
    auto doc = std::make_unique<CRegScript>();
    Check(doc->Open(path.c_str()) == 0, "open");
    Check(Text(*doc) == script, "text as read");

    for (int nStep = 0; nStep < 48 && in.remaining_bytes() > 0; ++nStep) {
        const std::string before = Slurp(path);
        const bool bHadText = doc->m_pText != nullptr;
        const int op = in.ConsumeIntegralInRange(0, 11);
        bool bLooksOnly = false;
        int result = 0;
        bool bThrew = false;
        try {
            switch (op) {
            case 0: {
                DWORD start, end;
                doc->FindTemplateSection(TemplateNumber(in), start, end);
                Check(start <= end && end <= doc->m_dwLength, "section bounds");
                bLooksOnly = true;
                break;
            }
            case 1: {
                const int n = TemplateNumber(in);
                const std::string name = Name(in);
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
                const int n = TemplateNumber(in);
                const std::string name = Name(in);
                DWORD type = op == 2 ? REG_DWORD : op == 3 ? REG_SZ : op == 4 ? REG_BINARY : REG_MULTI_SZ;
                if (in.ConsumeIntegral<uint8_t>() > 250) type = in.ConsumeIntegral<DWORD>();
                const std::string value = in.ConsumeRandomLengthString(120);
                const DWORD cb = in.ConsumeIntegralInRange<DWORD>(0, static_cast<DWORD>(value.size()));
                result = doc->WriteValue(n, name.c_str(), type, value.data(), cb);
                break;
            }
            case 6: {
                const int n = TemplateNumber(in);
                Check(doc->TemplateSectionExists(n) == (doc->m_pText ? PlainExists(*doc, n) : 0), "exists");
                bLooksOnly = true;
                break;
            }
            case 7:
                result = doc->AppendTemplateSection(TemplateNumber(in));
                break;
            case 8:
                result = doc->DeleteTemplateSection(TemplateNumber(in));
                break;
            case 9: {
                WORD mask = 0xFFFF;
                doc->ListTemplateSections(mask);
                Check(mask == (doc->m_pText ? PlainList(*doc) : 0), "list");
                bLooksOnly = true;
                break;
            }
            case 10:
                doc->Reload();
                break;
            case 11: {
                // One armed fault at a time keeps the undo itself out of harm's way.
                AfxResetFaults();
                const AfxFaultPoint pt = kPoints[in.ConsumeIntegralInRange<size_t>(0, 5)];
                const DWORD err = in.ConsumeBool() ? ERROR_DISK_FULL : ERROR_IO_DEVICE;
                AfxFailCall(pt, in.ConsumeIntegralInRange(1u, 4u), err, in.ConsumeIntegralInRange(0u, 16u));
                continue;
            }
            }
        } catch (CFileException* e) {
            e->Delete();
            bThrew = true;
        }
        const std::string after = Slurp(path);
        if (bThrew || bLooksOnly || result != 0) Check(after == before, "file changed by a failed or looking operation");
        if (bLooksOnly && bHadText) Check(Text(*doc) == before, "text changed by a looking operation");
        if (doc->m_pText) Check(Text(*doc) == after, "text and file apart");
        Check(AfxLivePageBlocks() == (doc->m_pText ? 1u : 0u), "working buffer kept");
    }
    AfxResetFaults();
    doc->Close();
    Check(AfxLivePageBlocks() == 0, "text kept after close");
    return 0;
}
