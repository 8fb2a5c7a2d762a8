// pci6406cfg commands on registry scripts of 1 MB, 10 MB and 100 MB, each
// run as a process of its own, as a person or a build runs it, beside a plain
// read of the same file in this process.
//
// Two layouts of one script: "end" holds the board's two templates after the
// other drivers' keys, where the library appends them; "top" holds them
// before, so that a change near the top meets the whole file after it.
// boardid and range rewrite a line in place, add and remove (taking turns)
// make the script longer and shorter, list and check only read it.
//
// The figures that matter are printed at the end: each command's wall time
// in milliseconds and as a ratio to the read, and its peak memory (the
// process's largest resident set) as a ratio to the script's size. On a
// shared machine run it with --benchmark_repetitions=5: the figures then
// come from the medians.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "median_reporter.h"

extern char** environ;

namespace {

const int kSizesMb[] = {1, 10, 100};
const char* const kLayouts[] = {"end", "top"};
const char* const kCommands[] = {"boardid", "range", "add-remove", "list", "check"};

const char kKey[] = "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template";
const char kChannel[] = "=\"     0    10   -10     0     0\"\r\n";

std::string g_dir;

std::string Root(int mb, const char* layout) { return g_dir + "/" + layout + std::to_string(mb); }
std::string Script(int mb, const char* layout) {
    return Root(mb, layout) + "/Public/Quorvex/Device_Drivers/PCI6406/PCI6406.reg";
}

std::string Template(int n) {
    std::string text = " \r\n" + std::string(kKey) + std::to_string(n) + "] \r\n\"SwitchID\"=dword:" +
                       std::to_string(n) + "\r\n";
    for (int i = 0; i < 4; ++i) text += "\"AOSettings " + std::to_string(i) + "\"" + kChannel;
    return text;
}

// Other drivers' keys, as a platform script carries them, to about `size` bytes.
std::string Filler(size_t size) {
    std::string s;
    s.reserve(size + 256);
    for (int i = 0; s.size() < size; ++i) {
        char sz[200];
        std::snprintf(sz, sizeof sz,
                      "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial%07d]\r\n   \"Dll\"=\"serial.dll\"\r\n"
                      "   \"Index\"=dword:%x\r\n   \"Prefix\"=\"COM\"\r\n\r\n",
                      i, i);
        s += sz;
    }
    return s;
}

// The scripts, written once; a command that changes one leaves it as large.
size_t Prepare(int mb, const char* layout) {
    const std::string path = Script(mb, layout);
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (in) return static_cast<size_t>(in.tellg());
    std::system(("mkdir -p '" + Root(mb, layout) + "/Public/Quorvex/Device_Drivers/PCI6406'").c_str());
    const std::string head = "REGEDIT4\r\n\r\n";
    const std::string templates = Template(0) + Template(1);
    const std::string filler = Filler(static_cast<size_t>(mb) << 20);
    const bool bEnd = std::string(layout) == "end";
    std::ofstream(path, std::ios::binary) << head << (bEnd ? filler + templates : templates + "\r\n" + filler);
    return head.size() + filler.size() + templates.size() + (bEnd ? 0 : 2);
}

struct Run {
    double seconds;
    long maxRssKb;
};

// The commands are started by a small process forked before this one grew:
// the largest resident set the kernel reports for a process counts what the
// process that started it held when it was made, so a command started from
// here would report this program's own buffers.
class Launcher {
public:
    void Start() {
        int toChild[2], fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) std::abort();
        m_pid = fork();
        if (m_pid < 0) std::abort();
        if (m_pid == 0) {
            close(toChild[1]);
            close(fromChild[0]);
            Serve(toChild[0], fromChild[1]);
            _exit(0);
        }
        close(toChild[0]);
        close(fromChild[1]);
        m_to = toChild[1];
        m_from = fromChild[0];
    }
    void Stop() {
        close(m_to);
        waitpid(m_pid, nullptr, 0);
    }
    // One pci6406cfg, its output thrown away; its wall time and largest resident set.
    Run Command(const std::vector<std::string>& args) {
        std::string request;
        for (const std::string& arg : args) request += arg + '\0';
        const uint32_t size = static_cast<uint32_t>(request.size());
        Write(m_to, &size, sizeof size);
        Write(m_to, request.data(), size);
        Run run;
        int status;
        Read(m_from, &run, sizeof run);
        Read(m_from, &status, sizeof status);
        // check exits 1 on findings; these scripts have none.
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "pci6406cfg %s failed\n", args[3].c_str());
            std::abort();
        }
        return run;
    }

private:
    static void Write(int fd, const void* p, size_t n) {
        if (write(fd, p, n) != static_cast<ssize_t>(n)) std::abort();
    }
    static bool Read(int fd, void* p, size_t n) {
        for (size_t done = 0; done < n;) {
            const ssize_t got = read(fd, static_cast<char*>(p) + done, n - done);
            if (got <= 0) return false;
            done += static_cast<size_t>(got);
        }
        return true;
    }
    static void Serve(int in, int out) {
        for (uint32_t size; Read(in, &size, sizeof size);) {
            std::string request(size, '\0');
            if (!Read(in, &request[0], size)) return;
            std::vector<char*> argv;
            for (size_t at = 0; at < request.size(); at = request.find('\0', at) + 1) argv.push_back(&request[at]);
            argv.push_back(nullptr);
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            const auto start = std::chrono::steady_clock::now();
            pid_t pid = -1;
            if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) std::abort();
            posix_spawn_file_actions_destroy(&actions);
            int status = 0;
            struct rusage usage = {};
            if (wait4(pid, &status, 0, &usage) != pid) std::abort();
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            const Run run{elapsed.count(), usage.ru_maxrss};
            Write(out, &run, sizeof run);
            Write(out, &status, sizeof status);
        }
    }

    pid_t m_pid = -1;
    int m_to = -1;
    int m_from = -1;
};

Launcher g_launcher;

Run Command(const std::string& root, const std::vector<std::string>& words) {
    std::vector<std::string> args = {AOC_PCI6406CFG_TOOL, "--root", root};
    args.insert(args.end(), words.begin(), words.end());
    return g_launcher.Command(args);
}

// The words of the command's n-th run: each run a change of the script,
// except for list and check.
std::vector<std::string> Words(const std::string& command, int64_t n) {
    const bool odd = n % 2 != 0;
    if (command == "boardid") return {"boardid", "0", odd ? "5" : "6"};
    if (command == "range") return {"range", "1", "2", odd ? "0 ~ 10V" : "-5 ~ 5V"};
    if (command == "add-remove") return odd ? std::vector<std::string>{"remove", "2"} : std::vector<std::string>{"add"};
    return {command};
}

void BM_Read(benchmark::State& state, int mb, const char* layout) {
    const size_t size = Prepare(mb, layout);
    std::string bytes(size, '\0');
    for (auto _ : state) {
        FILE* file = std::fopen(Script(mb, layout).c_str(), "rb");
        if (!file || std::fread(&bytes[0], 1, size, file) != size) std::abort();
        std::fclose(file);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["script_bytes"] = static_cast<double>(size);
}

void BM_Command(benchmark::State& state, int mb, const char* layout, const std::string& command) {
    const size_t size = Prepare(mb, layout);
    long maxRssKb = 0;
    int64_t n = 0;
    for (auto _ : state) {
        const Run run = Command(Root(mb, layout), Words(command, n++));
        state.SetIterationTime(run.seconds);
        if (run.maxRssKb > maxRssKb) maxRssKb = run.maxRssKb;
    }
    // A pair of changes leaves the script as it was.
    if (n % 2 != 0) Command(Root(mb, layout), Words(command, n));
    state.counters["script_bytes"] = static_cast<double>(size);
    state.counters["peak_bytes"] = static_cast<double>(maxRssKb) * 1024;
}

std::string Name(const char* what, int mb, const char* layout) {
    return std::string(what) + "/" + layout + "/" + std::to_string(mb) + "MB";
}

void PrintRatios(const MedianReporter& reporter) {
    std::printf("\n%-12s %-6s %6s %10s %9s %8s %12s\n", "command", "layout", "MB", "ms", "read ms", "ratio",
                "peak/script");
    for (const char* layout : kLayouts) {
        for (int mb : kSizesMb) {
            const MedianReporter::Result* read = reporter.Find(Name("BM_Read", mb, layout));
            if (!read) continue;
            for (const char* command : kCommands) {
                const MedianReporter::Result* run =
                    reporter.Find(Name(("BM_Command/" + std::string(command)).c_str(), mb, layout) + "/manual_time");
                if (!run) continue;
                std::printf("%-12s %-6s %6d %10.1f %9.2f %8.1f %12.2f\n", command, layout, mb, run->time,
                            read->time, run->time / read->time,
                            run->Counter("peak_bytes") / run->Counter("script_bytes"));
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    g_launcher.Start();
    // The folder's own name must not hold a bus name that the library would pick up.
    do {
        char szDir[] = "/tmp/command_bench_XXXXXX";
        if (!mkdtemp(szDir)) return 1;
        g_dir = szDir;
    } while (g_dir.find("PCM") != std::string::npos || g_dir.find("USB") != std::string::npos ||
             g_dir.find("PCI") != std::string::npos);
    for (const char* layout : kLayouts) {
        for (int mb : kSizesMb) {
            benchmark::RegisterBenchmark(Name("BM_Read", mb, layout).c_str(), BM_Read, mb, layout)
                ->Unit(benchmark::kMillisecond);
            for (const char* command : kCommands) {
                benchmark::RegisterBenchmark(Name(("BM_Command/" + std::string(command)).c_str(), mb, layout).c_str(),
                                             BM_Command, mb, layout, std::string(command))
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond);
            }
        }
    }
    const int result = RunWithRatios(argc, argv, PrintRatios);
    g_launcher.Stop();
    std::system(("rm -rf '" + g_dir + "'").c_str());
    return result;
}
