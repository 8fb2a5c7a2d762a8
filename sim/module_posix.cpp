#include <dlfcn.h>

#include "module.h"

namespace sim {

namespace {
typedef int (*DllMainFn)(void*, unsigned, void*);
const unsigned PROCESS_DETACH = 0;
const unsigned PROCESS_ATTACH = 1;
const int SHOW_NORMAL = 1;  // SW_SHOWNORMAL, what a program started from the shell is shown with
}  // namespace

const char* const MODULE_SUFFIX = ".so";

void* OpenModule(const std::string& path, std::string* error) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        if (error) *error = std::string("cannot load ") + path + ": " + dlerror();
        return nullptr;
    }
    DllMainFn entry = reinterpret_cast<DllMainFn>(dlsym(module, "DllMain"));
    if (entry && !entry(module, PROCESS_ATTACH, nullptr)) {
        if (error) *error = path + ": the library refused to attach";
        dlclose(module);
        return nullptr;
    }
    return module;
}

void* ModuleSymbol(void* module, const char* name) { return dlsym(module, name); }

void CloseModule(void* module) {
    DllMainFn entry = reinterpret_cast<DllMainFn>(dlsym(module, "DllMain"));
    if (entry) entry(module, PROCESS_DETACH, nullptr);
    dlclose(module);
}

void* LoadedModule(const std::string& path) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (module) dlclose(module);  // drops the reference this lookup took
    return module;
}

const char* const PROGRAM_SUFFIX = ".so";

bool RunProgram(const std::string& path, const std::string& commandLine, int* exitCode, std::string* error) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        if (error) *error = std::string("cannot load ") + path + ": " + dlerror();
        return false;
    }
    typedef int (*WinMainFn)(void*, void*, char16_t*, int);
    WinMainFn entry = reinterpret_cast<WinMainFn>(dlsym(module, "WinMain"));
    if (!entry) {
        if (error) *error = path + " has no entry routine WinMain";
        dlclose(module);
        return false;
    }
    std::u16string line(commandLine.begin(), commandLine.end());
    for (char16_t& unit : line) unit = static_cast<unsigned char>(unit);
    *exitCode = entry(module, nullptr, &line[0], SHOW_NORMAL);
    dlclose(module);
    return true;
}

}  // namespace sim
