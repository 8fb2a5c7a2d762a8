#pragma once
// Loading driver libraries the way the target's loader does: the library's
// entry routine runs with process attach when it is loaded and with process
// detach when it is unloaded. On Windows the system loader does both; on POSIX
// the simulator calls the routine itself.
#include <string>

namespace sim {

// File name extension of a shared library on this host (".so", ".dll").
extern const char* const MODULE_SUFFIX;

// Null with the reason in `error` when the library cannot be loaded or its
// entry routine refuses the attach.
void* OpenModule(const std::string& path, std::string* error);
void* ModuleSymbol(void* module, const char* name);
void CloseModule(void* module);
// The handle of a library this process has loaded already (the one its entry
// routine was given); null when it is not loaded.
void* LoadedModule(const std::string& path);

}  // namespace sim
