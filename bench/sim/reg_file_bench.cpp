// Importing and exporting the target's registry file, as aoc-sim does at
// every start and exit, for registries of 10,000, 40,000 and 100,000 keys,
// beside a plain read of the same file. Each key holds a number and a text,
// and every tenth a zero-padded text written as a hex list over several
// lines, as the driver's device keys are.
//
// The figures that matter are printed at the end: import and export time as
// ratios to the read, and nanoseconds per file byte; both stay flat from one
// size to the next when the cost grows linearly with the file. On a shared
// machine run it with --benchmark_repetitions=5: the figures then come from
// the medians.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

#include "median_reporter.h"
#include "reg_file.h"
#include "registry_util.h"

namespace {

const int kKeyCounts[] = {10000, 40000, 100000};

std::string g_dir;

std::string FileFor(int keys) { return g_dir + "/registry" + std::to_string(keys) + ".reg"; }

void Fill(int keys) {
    cesim::ResetRegistry();
    std::vector<BYTE> padded(100, 0);
    for (int i = 0; i < keys; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "SYSTEM\\CurrentControlSet\\Services\\Bench\\Device%06d", i);
        sim::WString key = sim::Widen(name);
        sim::SetDword(key, TEXT("SlotNumber"), static_cast<DWORD>(i));
        sim::SetString(key, TEXT("DriverName"), TEXT("BENCH.DLL"));
        if (i % 10 == 0) sim::SetValue(key, TEXT("DeviceName"), REG_SZ, padded.data(), padded.size());
    }
}

// The file of each size, written once by the simulator itself.
size_t Prepare(int keys) {
    static std::map<int, size_t> sizes;
    auto it = sizes.find(keys);
    if (it != sizes.end()) return it->second;
    Fill(keys);
    std::string error;
    if (!sim::ExportRegFile(FileFor(keys), &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::abort();
    }
    std::ifstream in(FileFor(keys), std::ios::binary | std::ios::ate);
    return sizes[keys] = static_cast<size_t>(in.tellg());
}

void Count(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

void BM_PlainRead(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    const size_t bytes = Prepare(keys);
    for (auto _ : state) {
        std::string text;
        std::ifstream in(FileFor(keys), std::ios::binary);
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        benchmark::DoNotOptimize(text.data());
    }
    Count(state, bytes);
}

void BM_Import(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    const size_t bytes = Prepare(keys);
    std::string error;
    for (auto _ : state) {
        state.PauseTiming();
        cesim::ResetRegistry();
        state.ResumeTiming();
        if (!sim::ImportRegFile(FileFor(keys), &error)) state.SkipWithError(error.c_str());
    }
    Count(state, bytes);
}

void BM_Export(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    const size_t bytes = Prepare(keys);
    std::string error;
    cesim::ResetRegistry();
    if (!sim::ImportRegFile(FileFor(keys), &error)) state.SkipWithError(error.c_str());
    const std::string out = g_dir + "/exported.reg";
    for (auto _ : state) {
        if (!sim::ExportRegFile(out, &error)) state.SkipWithError(error.c_str());
    }
    Count(state, bytes);
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (int keys : kKeyCounts) b->Arg(keys);
    b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_PlainRead)->Apply(Sizes);
BENCHMARK(BM_Import)->Apply(Sizes);
BENCHMARK(BM_Export)->Apply(Sizes);

// The import and the export against the read of the same file.
void PrintRatios(const MedianReporter& reporter) {
    std::printf("\n%-8s %8s %10s %10s %10s %11s %12s %9s %9s\n", "keys", "MB", "read ms", "import ms", "export ms",
                "import/read", "export/read", "imp ns/B", "exp ns/B");
    for (int keys : kKeyCounts) {
        const std::string arg = "/" + std::to_string(keys);
        const MedianReporter::Result* read = reporter.Find("BM_PlainRead" + arg);
        const MedianReporter::Result* in = reporter.Find("BM_Import" + arg);
        const MedianReporter::Result* out = reporter.Find("BM_Export" + arg);
        if (!read || !in || !out) continue;
        // Times are in milliseconds, the benchmarks' unit.
        const double bytes = read->Counter("file_bytes");
        std::printf("%-8d %8.2f %10.3f %10.3f %10.3f %11.1f %12.1f %9.1f %9.1f\n", keys, bytes / 1e6, read->time,
                    in->time, out->time, in->time / read->time, out->time / read->time, in->time * 1e6 / bytes,
                    out->time * 1e6 / bytes);
    }
}

}  // namespace

int main(int argc, char** argv) {
    char dir[] = "/tmp/reg_file_bench_XXXXXX";
    if (!mkdtemp(dir)) return 1;
    g_dir = dir;
    int status = RunWithRatios(argc, argv, PrintRatios);
    std::system(("rm -rf '" + g_dir + "'").c_str());
    return status;
}
