// Saving 16 templates the way the template store does (one document, one
// transaction: per template the exists check, an append when missing, five
// value writes; then the commit), into scripts of about 4 KB, 64 KB and 1 MB.
//
// The baseline reads and writes a file of the same size as often as the
// store's save did when each template had its own document and every value
// went straight to the file: per template one open and read, then five times
// a whole write and a whole read. Beside each save runs the same save landed
// without its journal (the changed bytes written over the script and
// flushed, as the document lands them with its journal switched off), which
// prices the journal. The figures that matter are printed at the end:
// each save's time as a ratio to the baseline of its size and to the save
// without a journal, and nanoseconds per script byte, which stay flat when the
// cost grows linearly.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "ao_setting.h"
#include "registry_layout.h"
#include "regscript.h"
#include "template_store.h"

namespace {

const int kSizes[] = {4 << 10, 64 << 10, 1 << 20};
const char kKey[] = "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S";

std::string g_dir;

std::string PathFor(const char* kind, int size) {
    return g_dir + "/Device_Drivers/PCI6406/" + kind + std::to_string(size) + ".reg";
}

void Put(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

AoChannelSetting Setting(bool bCurrent) {
    AoChannelSetting s = {};
    s.VoltageMax = bCurrent ? 5.0f : 10.0f;
    s.VoltageMin = bCurrent ? 0.0f : -10.0f;
    s.CurrentMax = bCurrent ? 20.0f : 0.0f;
    s.CurrentMin = bCurrent ? 4.0f : 0.0f;
    return s;
}

// A template as the store writes it: SwitchID n or 15 - n, every channel alike.
TemplateEntry Entry(int n, bool bFlip) {
    TemplateEntry entry;
    entry.SwitchID = static_cast<DWORD>(bFlip ? 15 - n : n);
    for (AoChannelSetting& channel : entry.Channels) channel = Setting(bFlip);
    return entry;
}

bool g_bWithoutJournal = false;

void SaveAll(const char* path, bool bFlip) {
    CRegScript doc;
    if (doc.Open(path) != 0) std::abort();
    doc.SetJournaled(!g_bWithoutJournal);
    doc.BeginTrans();
    for (int n = 0; n < TEMPLATE_COUNT; ++n) {
        if (!SaveTemplateEntry(doc, n, Entry(n, bFlip))) std::abort();
    }
    doc.CommitTrans();
    doc.Close();
}

// Other drivers' keys, as a platform script carries them, up to `size` bytes.
std::string Filler(size_t size) {
    std::string s;
    for (int i = 0; s.size() < size; ++i) {
        char sz[160];
        std::snprintf(sz, sizeof sz,
                      "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial%05d]\r\n   \"Dll\"=\"serial.dll\"\r\n"
                      "   \"Index\"=dword:%x\r\n\r\n",
                      i, i);
        s += sz;
    }
    s.resize(size - 2);
    return s + "\r\n";
}

const std::string kPreamble = std::string("REGEDIT4\r\n\r\n") + kKey + "]\r\n   \"Dll\"=\"VQX6406S.dll\"\r\n\r\n";

// New templates: appended to a script that has none; the script is put back
// before each pass, outside the timing.
void BM_SaveNewTemplates(benchmark::State& state) {
    g_bWithoutJournal = state.range(1) != 0;
    const int size = static_cast<int>(state.range(0));
    const std::string path = PathFor("new", size);
    const std::string script = kPreamble + Filler(size - kPreamble.size());
    for (auto _ : state) {
        state.PauseTiming();
        Put(path, script);
        state.ResumeTiming();
        SaveAll(path.c_str(), false);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
    state.counters["script_bytes"] = size;
}

// The script for changed templates: all 16 stand before the other keys, so
// that every value write rewrites almost the whole script. At the smallest
// size the templates alone take a little more than the size asked for.
std::string ChangedScript(int size) {
    static std::map<int, std::string> scripts;
    std::string& script = scripts[size];
    if (script.empty()) {
        const std::string path = PathFor("block", size);
        Put(path, kPreamble);
        SaveAll(path.c_str(), false);
        std::ifstream in(path, std::ios::binary);
        script.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (script.size() + 2 < static_cast<size_t>(size)) script += Filler(size - script.size());
    }
    return script;
}

// Each pass changes every value, flipping between two scripts of one length.
void BM_SaveChangedTemplates(benchmark::State& state) {
    g_bWithoutJournal = state.range(1) != 0;
    const int size = static_cast<int>(state.range(0));
    const std::string path = PathFor("changed", size);
    const std::string script = ChangedScript(size);
    Put(path, script);
    bool bFlip = false;
    for (auto _ : state) SaveAll(path.c_str(), bFlip = !bFlip);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(script.size()));
    state.counters["script_bytes"] = static_cast<double>(script.size());
}

void BM_Baseline(benchmark::State& state) {
    const int size = static_cast<int>(state.range(0));
    const std::string path = PathFor("baseline", size);
    std::string bytes = ChangedScript(size);
    const UINT cb = static_cast<UINT>(bytes.size());
    Put(path, bytes);
    for (auto _ : state) {
        for (int n = 0; n < TEMPLATE_COUNT; ++n) {
            CFile file;
            if (!file.Open(path.c_str(), CFile::modeReadWrite | CFile::shareExclusive)) std::abort();
            file.Read(&bytes[0], cb);
            for (int value = 0; value < 5; ++value) {
                file.SeekToBegin();
                file.Write(bytes.data(), cb);
                file.SeekToBegin();
                file.Read(&bytes[0], cb);
            }
            file.Close();
        }
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(cb));
    state.counters["script_bytes"] = cb;
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int size : kSizes) b->Arg(size);
    b->Unit(benchmark::kMillisecond);
}
// The second argument: 1 lands the save without its journal.
void SizesWithAndWithoutJournal(benchmark::internal::Benchmark* b) {
    for (int size : kSizes) {
        b->Args({size, 0});
        b->Args({size, 1});
    }
    b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_Baseline)->Apply(Sizes);
BENCHMARK(BM_SaveNewTemplates)->Apply(SizesWithAndWithoutJournal);
BENCHMARK(BM_SaveChangedTemplates)->Apply(SizesWithAndWithoutJournal);

// Prints the runs as usual, then each save against the baseline of its size.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
            // BM_Name/size[/1 without the journal]
            std::string name = run.benchmark_name();
            const size_t slash = name.find('/');
            const size_t second = name.find('/', slash + 1);
            const int size = std::stoi(name.substr(slash + 1));
            const std::string key =
                name.substr(0, slash) + (second != std::string::npos && name.substr(second + 1) == "1" ? "-" : "");
            m_seconds[key][size] = run.real_accumulated_time / static_cast<double>(run.iterations);
            auto bytes = run.counters.find("script_bytes");
            if (bytes != run.counters.end()) m_bytes[key][size] = bytes->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto& baseline = m_seconds["BM_Baseline"];
        std::printf("\n%-22s %9s %9s %11s %8s %14s %9s\n", "save", "bytes", "ms", "baseline ms", "ratio",
                    "no-journal ms", "journal");
        for (const std::string name : {"BM_SaveNewTemplates", "BM_SaveChangedTemplates"}) {
            for (const auto& [size, seconds] : m_seconds[name]) {
                auto base = baseline.find(size);
                auto bare = m_seconds[name + "-"].find(size);
                if (base == baseline.end() || bare == m_seconds[name + "-"].end()) continue;
                std::printf("%-22s %9.0f %9.3f %11.3f %8.2f %14.3f %9.2f\n", name.c_str() + 3, m_bytes[name][size],
                            seconds * 1e3, base->second * 1e3, seconds / base->second, bare->second * 1e3,
                            seconds / bare->second);
            }
        }
    }

private:
    std::map<std::string, std::map<int, double>> m_seconds;
    std::map<std::string, std::map<int, double>> m_bytes;
};

}  // namespace

int main(int argc, char** argv) {
    // The folder's own name must not hold a bus name that Open would pick up.
    do {
        char szDir[] = "/tmp/regscript_bench_XXXXXX";
        if (!mkdtemp(szDir)) return 1;
        g_dir = szDir;
    } while (g_dir.find("PCM") != std::string::npos || g_dir.find("USB") != std::string::npos);
    std::system(("mkdir -p '" + g_dir + "/Device_Drivers/PCI6406'").c_str());

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::system(("rm -rf '" + g_dir + "'").c_str());
    return 0;
}
