#include <dlfcn.h>

#include "module.h"

namespace sim {

namespace {
typedef int (*DllMainFn)(void*, unsigned, void*);
const unsigned PROCESS_DETACH = 0;
const unsigned PROCESS_ATTACH = 1;
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

}  // namespace sim
