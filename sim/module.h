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

// File name extension of a program of the target on this host: natively a
// shared object, which the simulator loads into its own process (".so");
// on Windows the CE program itself (".exe").
extern const char* const PROGRAM_SUFFIX;

// Runs a program of the target in this process, which stands for the target
// while the program runs: loads it, calls its entry routine as CE calls a
// program's (WinMain with the command line after the program's name) and
// unloads it. The command line is 8-bit text, each byte one UTF-16 unit
// (Latin-1). False with `error` when it cannot be loaded or run.
bool RunProgram(const std::string& path, const std::string& commandLine, int* exitCode, std::string* error);

}  // namespace sim
