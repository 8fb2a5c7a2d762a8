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
const size_t PE_ENTRY_POINT = 0x28;          // OptionalHeader.AddressOfEntryPoint (PE32)
const size_t PE_IMPORT_DIRECTORY = 0x80;     // OptionalHeader.DataDirectory[1] (PE32)
struct ImportDescriptor {
    DWORD OriginalFirstThunk;
    DWORD TimeDateStamp;
    DWORD ForwarderChain;
    DWORD Name;
    DWORD FirstThunk;
};
const DWORD IMPORT_BY_ORDINAL = 0x80000000;

template <class T>
T At(const BYTE* base, size_t offset) {
    T value;
    std::memcpy(&value, base + offset, sizeof value);
    return value;
}

// Binds the program's imports, which the system's loader leaves to the
// program's start when it maps an executable as a library: each DLL from the
// program's folder first, as CE looks there, then by the usual search.
bool BindImports(BYTE* base, const std::string& folder, std::vector<void*>* loaded, std::string* error) {
    const BYTE* pe = base + At<DWORD>(base, DOS_NEW_HEADER);
    DWORD directory = At<DWORD>(pe, PE_IMPORT_DIRECTORY);
    for (const BYTE* d = base + directory; directory; d += sizeof(ImportDescriptor)) {
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
        DWORD* slot = reinterpret_cast<DWORD*>(base + import.FirstThunk);
        const DWORD* lookup = reinterpret_cast<const DWORD*>(
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
            *slot = static_cast<DWORD>(reinterpret_cast<uintptr_t>(address));
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

bool RunProgram(const std::string& path, const cesim::WString& commandLine, int* exitCode, std::string* error) {
    // Mapped and relocated like a library; its imports and entry are ours to do.
    BYTE* base = static_cast<BYTE*>(LoadLibraryExA(path.c_str(), nullptr, 0));
    if (!base) {
        if (error) *error = "cannot load " + path + ": error " + std::to_string(GetLastError());
        return false;
    }
    std::vector<void*> loaded;
    std::string why;
    size_t slash = path.find_last_of("\\/");
    bool bound = BindImports(base, slash == std::string::npos ? "." : path.substr(0, slash), &loaded, &why);
    if (bound) {
        typedef int (*WinMainFn)(void*, void*, WCHAR*, int);
        const BYTE* pe = base + At<DWORD>(base, DOS_NEW_HEADER);
        WinMainFn entry = reinterpret_cast<WinMainFn>(base + At<DWORD>(pe, PE_ENTRY_POINT));
        cesim::WString line = commandLine;
        *exitCode = entry(base, nullptr, &line[0], SHOW_NORMAL);
    } else if (error) {
        *error = path + ": " + why;
    }
    for (void* library : loaded) FreeLibrary(library);
    FreeLibrary(base);
    return bound;
}

}  // namespace sim
