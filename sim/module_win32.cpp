#include <string>

#include "module.h"

// The platform stand-in owns <windows.h> on this include path, so the loader's
// functions are declared here as kernel32 exports them.
extern "C" {
__declspec(dllimport) void* __stdcall LoadLibraryA(const char* lpLibFileName);
__declspec(dllimport) void* __stdcall GetModuleHandleA(const char* lpModuleName);
__declspec(dllimport) void* __stdcall GetProcAddress(void* hModule, const char* lpProcName);
__declspec(dllimport) int __stdcall FreeLibrary(void* hLibModule);
__declspec(dllimport) unsigned long __stdcall GetLastError(void);
}

namespace sim {

namespace {
const unsigned long ERROR_DLL_INIT_FAILED = 1114;
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

}  // namespace sim
