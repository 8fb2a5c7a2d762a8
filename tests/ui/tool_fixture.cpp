#include "tool_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

Outcome ToolTest::ToolAt(const std::string& root, const std::string& args, const std::string& prelude) {
    // Beside no image root: one may be a file or a read-only file system.
    static std::atomic<unsigned> s_nRun(0);
    const std::string errPath = (std::filesystem::temp_directory_path() /
                                 ("pci6406cfg_stderr_" + std::to_string(getpid()) + "_" + std::to_string(s_nRun++)))
                                    .string();
    const std::string command = prelude + std::string(AOC_PCI6406CFG_TOOL) + " --root '" + root + "' " + args +
                                " 2>'" + errPath + "'";
    Outcome outcome{-1, {}, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return outcome;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) outcome.out.append(buffer, n);
    const int nStatus = pclose(pipe);
    outcome.nStatus = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    std::ifstream err(errPath, std::ios::binary);
    std::stringstream text;
    text << err.rdbuf();
    outcome.err = text.str();
    std::remove(errPath.c_str());
    return outcome;
}
