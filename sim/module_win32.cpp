#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "module.h"

// The platform stand-in owns <windows.h> on this include path, so the loader's
// functions are declared here as kernel32 exports them.
extern "C" {
__declspec(dllimport) void* __stdcall LoadLibraryA(const char* lpLibFileName);
__declspec(dllimport) void* __stdcall GetModuleHandleA(const char* lpModuleName);
__declspec(dllimport) void* __stdcall GetProcAddress(void* hModule, const char* lpProcName);
__declspec(dllimport) int __stdcall FreeLibrary(void* hLibModule);
__declspec(dllimport) unsigned long __stdcall GetLastError(void);
__declspec(dllimport) void* __stdcall LoadLibraryExA(const char* lpLibFileName, void* hFile, unsigned long dwFlags);
__declspec(dllimport) int __stdcall VirtualProtect(void* lpAddress, unsigned long dwSize, unsigned long flNewProtect,
                                                   unsigned long* lpflOldProtect);
}

namespace sim {

namespace {
const unsigned long ERROR_DLL_INIT_FAILED = 1114;
const unsigned long PAGE_READWRITE = 0x04;
const int SHOW_NORMAL = 1;  // SW_SHOWNORMAL, what a program started from the shell is shown with

// The parts of a PE image the program loader reads, by offset: the system's
// headers are not on this include path.
const size_t DOS_NEW_HEADER = 0x3C;          // e_lfanew
const size_t PE_SECTION_COUNT = 0x06;        // FileHeader.NumberOfSections
const size_t PE_OPTIONAL_SIZE = 0x14;        // FileHeader.SizeOfOptionalHeader
const size_t PE_OPTIONAL_HEADER = 0x18;
const size_t PE_ENTRY_POINT = 0x28;          // OptionalHeader.AddressOfEntryPoint (PE32)
const size_t PE_IMAGE_BASE = 0x34;           // OptionalHeader.ImageBase (PE32)
const size_t PE_IMPORT_DIRECTORY = 0x80;     // OptionalHeader.DataDirectory[1] (PE32)
const size_t PE_RELOCATION_DIRECTORY = 0xA0; // OptionalHeader.DataDirectory[5] (PE32)
const size_t SECTION_HEADER_SIZE = 40;       // VirtualAddress at 12, SizeOfRawData 16, PointerToRawData 20
const uint16_t RELOCATION_HIGHLOW = 3;
struct ImportDescriptor {
    uint32_t OriginalFirstThunk;
    uint32_t TimeDateStamp;
    uint32_t ForwarderChain;
    uint32_t Name;
    uint32_t FirstThunk;
};
const uint32_t IMPORT_BY_ORDINAL = 0x80000000;

template <class T>
T At(const uint8_t* base, size_t offset) {
    T value;
    std::memcpy(&value, base + offset, sizeof value);
    return value;
}

// A 32-bit word of the program's file.
bool ReadFileWord(const std::string& path, uint32_t offset, uint32_t* word) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bool read = std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(word, sizeof *word, 1, file) == 1;
    std::fclose(file);
    return read;
}

// The word the image file holds where `rva` is loaded, through its section
// table; false when no section's file data holds it.
bool FileWord(const std::string& path, const uint8_t* base, uint32_t rva, uint32_t* word) {
    const uint8_t* pe = base + At<uint32_t>(base, DOS_NEW_HEADER);
    const uint8_t* section = pe + PE_OPTIONAL_HEADER + At<uint16_t>(pe, PE_OPTIONAL_SIZE);
    for (uint16_t n = At<uint16_t>(pe, PE_SECTION_COUNT); n > 0; --n, section += SECTION_HEADER_SIZE) {
        uint32_t address = At<uint32_t>(section, 12), bytes = At<uint32_t>(section, 16);
        if (rva >= address && rva + sizeof *word <= address + bytes) {
            return ReadFileWord(path, At<uint32_t>(section, 20) + (rva - address), word);
        }
    }
    return false;
}

// Moves the image to where it was mapped, when the system's loader has not:
// Wine maps an executable loaded as a library at another base without
// applying its relocations. Whether they were applied shows in the first
// relocated word, beside the file's.
bool Relocate(const std::string& path, uint8_t* base, std::string* error) {
    const uint8_t* pe = base + At<uint32_t>(base, DOS_NEW_HEADER);
    uint32_t preferred = 0;
    // The headers lie at the start of the file as they lie at the image's.
    if (!ReadFileWord(path, static_cast<uint32_t>(pe - base + PE_IMAGE_BASE), &preferred)) {
        *error = "cannot read the program's image base";
        return false;
    }
    const uint32_t delta = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base)) - preferred;
    const uint32_t directory = At<uint32_t>(pe, PE_RELOCATION_DIRECTORY);
    const uint32_t size = At<uint32_t>(pe, PE_RELOCATION_DIRECTORY + 4);
    if (delta == 0 || !directory) return true;
    bool checked = false;
    for (uint32_t offset = 0; offset + 8 <= size;) {
        const uint32_t page = At<uint32_t>(base + directory, offset);
        const uint32_t blockSize = At<uint32_t>(base + directory, offset + 4);
        if (blockSize < 8) break;
        for (uint32_t entry = 8; entry + 2 <= blockSize; entry += 2) {
            const uint16_t item = At<uint16_t>(base + directory, offset + entry);
            if (item >> 12 != RELOCATION_HIGHLOW) continue;
            uint32_t* word = reinterpret_cast<uint32_t*>(base + page + (item & 0xFFF));
            if (!checked) {
                uint32_t original = 0;
                if (!FileWord(path, base, page + (item & 0xFFF), &original)) {
                    *error = "cannot read the program's relocations";
                    return false;
                }
                if (*word != original) return true;  // the loader moved it already
                checked = true;
            }
            unsigned long was = 0;
            VirtualProtect(word, sizeof *word, PAGE_READWRITE, &was);
            *word += delta;
            VirtualProtect(word, sizeof *word, was, &was);
        }
        offset += blockSize;
    }
    return true;
}

// Binds the program's imports, which the system's loader leaves to the
// program's start when it maps an executable as a library: each DLL from the
// program's folder first, as CE looks there, then by the usual search.
bool BindImports(uint8_t* base, const std::string& folder, std::vector<void*>* loaded, std::string* error) {
    const uint8_t* pe = base + At<uint32_t>(base, DOS_NEW_HEADER);
    uint32_t directory = At<uint32_t>(pe, PE_IMPORT_DIRECTORY);
    for (const uint8_t* d = base + directory; directory; d += sizeof(ImportDescriptor)) {
        ImportDescriptor import = At<ImportDescriptor>(d, 0);
        if (!import.Name) break;
        const char* name = reinterpret_cast<const char*>(base + import.Name);
        void* library = LoadLibraryExA((folder + "\\" + name).c_str(), nullptr, 0);
        if (!library) library = LoadLibraryA(name);
        if (!library) {
            *error = std::string("cannot load ") + name + ", which the program imports from";
            return false;
        }
        loaded->push_back(library);
        uint32_t* slot = reinterpret_cast<uint32_t*>(base + import.FirstThunk);
        const uint32_t* lookup = reinterpret_cast<const uint32_t*>(
            base + (import.OriginalFirstThunk ? import.OriginalFirstThunk : import.FirstThunk));
        for (; *lookup; ++lookup, ++slot) {
            const char* function = *lookup & IMPORT_BY_ORDINAL
                                       ? reinterpret_cast<const char*>(static_cast<uintptr_t>(*lookup & 0xFFFF))
                                       : reinterpret_cast<const char*>(base + *lookup + 2);  // after the hint
            void* address = GetProcAddress(library, function);
            if (!address) {
                *error = std::string(name) + " does not export a function the program imports";
                return false;
            }
            unsigned long was = 0;
            VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was);
            *slot = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address));
            VirtualProtect(slot, sizeof *slot, was, &was);
        }
    }
    return true;
}
}

const char* const MODULE_SUFFIX = ".dll";

void* OpenModule(const std::string& path, std::string* error) {
    void* module = LoadLibraryA(path.c_str());
    if (!module && error) {
        unsigned long code = GetLastError();
        *error = code == ERROR_DLL_INIT_FAILED ? path + ": the library refused to attach"
                                               : "cannot load " + path + ": error " + std::to_string(code);
    }
    return module;
}

void* ModuleSymbol(void* module, const char* name) { return GetProcAddress(module, name); }

void CloseModule(void* module) { FreeLibrary(module); }

void* LoadedModule(const std::string& path) { return GetModuleHandleA(path.c_str()); }

const char* const PROGRAM_SUFFIX = ".exe";

bool RunProgram(const std::string& path, const std::string& commandLine, int* exitCode, std::string* error) {
    // Mapped and relocated like a library; its imports and entry are ours to do.
    uint8_t* base = static_cast<uint8_t*>(LoadLibraryExA(path.c_str(), nullptr, 0));
    if (!base) {
        if (error) *error = "cannot load " + path + ": error " + std::to_string(GetLastError());
        return false;
    }
    std::vector<void*> loaded;
    std::string why;
    size_t slash = path.find_last_of("\\/");
    bool bound = Relocate(path, base, &why) &&
                 BindImports(base, slash == std::string::npos ? "." : path.substr(0, slash), &loaded, &why);
    if (bound) {
        typedef int (*WinMainFn)(void*, void*, wchar_t*, int);
        const uint8_t* pe = base + At<uint32_t>(base, DOS_NEW_HEADER);
        WinMainFn entry = reinterpret_cast<WinMainFn>(base + At<uint32_t>(pe, PE_ENTRY_POINT));
        std::wstring line(commandLine.begin(), commandLine.end());
        for (wchar_t& unit : line) unit = static_cast<unsigned char>(unit);
        *exitCode = entry(base, nullptr, &line[0], SHOW_NORMAL);
    } else if (error) {
        *error = path + ": " + why;
    }
    for (void* library : loaded) FreeLibrary(library);
    FreeLibrary(base);
    return bound;
}

}  // namespace sim
