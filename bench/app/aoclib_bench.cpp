// The cost of writing volts through aoclib beside a raw write-channel request
// on the same open device, both through the device manager into the driver
// library on the simulated target: the library's conversion and bookkeeping
// must cost next to nothing beside the request it sends.
//
// Each pair runs on the simulated I/O space as it is, and on a board whose
// every port access takes a microsecond, as a real one does. At the end the
// ratios are printed; the raw timings above them are for reference only. On a
// shared machine run it with --benchmark_repetitions=5: the ratios then come
// from the medians.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "aoc_ioctl.h"
#include "aoclib.h"
#include "median_reporter.h"
#include "registry_layout.h"
#include "target.h"

namespace {

// The board as the I/O space sees it, each access taking `delay`, spent
// spinning as the processor does while an I/O cycle runs.
class SlowPorts : public cesim::IoDevice {
public:
    explicit SlowPorts(sim::Board& board) : board_(board) {}
    DWORD ReadPort(DWORD offset, int width) override {
        Spin();
        return board_.ReadPort(offset, width);
    }
    void WritePort(DWORD offset, int width, DWORD value) override {
        Spin();
        board_.WritePort(offset, width, value);
    }
    std::chrono::nanoseconds delay{0};

private:
    void Spin() {
        auto until = std::chrono::steady_clock::now() + delay;
        while (std::chrono::steady_clock::now() < until) {
        }
    }
    sim::Board& board_;
};

struct Bench {
    sim::Target target;
    SlowPorts* ports = nullptr;
    HANDLE device = INVALID_HANDLE_VALUE;
    AocBoard* board = nullptr;

    Bench() {
        sim::CreateKey(TEMPLATE_ROOT_KEY_W);
        sim::BoardConfig config;
        config.slot = 3;
        int index = target.AddBoard(config);
        if (index < 0 || !target.Activate(static_cast<size_t>(index))) return;
        sim::Board& b = target.BoardAt(static_cast<size_t>(index));
        b.SetLogging(false);
        ports = new SlowPorts(b);
        cesim::DetachIoDevice(&b);
        cesim::AttachIoDevice(ports, config.ioBase, config.ioLength);
        device = CreateFileW(TEXT("AOC1:"), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        AocOpenByName("AOC1:", &board);
        AocSetRange(board, 1, AOC_RANGE_0_TO_10V);
    }
};

Bench& TheBench() {
    static Bench* bench = new Bench;
    return *bench;
}

bool Ready(benchmark::State& state) {
    Bench& b = TheBench();
    if (!b.board || b.device == INVALID_HANDLE_VALUE) {
        state.SkipWithError("the board did not start");
        return false;
    }
    b.ports->delay = std::chrono::nanoseconds(state.range(0));
    return true;
}

void BM_WriteChannel_Raw(benchmark::State& state) {
    if (!Ready(state)) return;
    ChannelOutput output = {1, 0, 0};
    DWORD count = 0;
    for (auto _ : state) {
        output.Value = (output.Value + 1) & 0xFFF;
        benchmark::DoNotOptimize(DeviceIoControl(TheBench().device, IOCTL_AO_WRITE_CHANNEL, &output, sizeof output,
                                                 nullptr, 0, &count, nullptr));
    }
}

void BM_WriteChannel_Volts(benchmark::State& state) {
    if (!Ready(state)) return;
    double volts = 0;
    AocOutput written;
    for (auto _ : state) {
        volts = volts < 9.5 ? volts + 0.001 : 0;
        benchmark::DoNotOptimize(AocWriteVolts(TheBench().board, 1, volts, 0, &written));
    }
}

// Four channels: four raw requests beside one AocWriteAll.
void BM_WriteFour_Raw(benchmark::State& state) {
    if (!Ready(state)) return;
    ChannelOutput output = {0, 0, 0};
    DWORD count = 0;
    for (auto _ : state) {
        output.Value = (output.Value + 1) & 0xFFF;
        for (WORD channel = 0; channel < AOC_CHANNELS; ++channel) {
            output.Channel = channel;
            benchmark::DoNotOptimize(DeviceIoControl(TheBench().device, IOCTL_AO_WRITE_CHANNEL, &output,
                                                     sizeof output, nullptr, 0, &count, nullptr));
        }
    }
}

void BM_WriteFour_Volts(benchmark::State& state) {
    if (!Ready(state)) return;
    AocValue values[AOC_CHANNELS] = {{0, AOC_VOLTS}, {0, AOC_VOLTS}, {0, AOC_VOLTS}, {0, AOC_VOLTS}};
    AocOutput written[AOC_CHANNELS];
    for (auto _ : state) {
        for (AocValue& v : values) v.Value = v.Value < 9.5 ? v.Value + 0.001 : 0;
        benchmark::DoNotOptimize(AocWriteAll(TheBench().board, values, 0, written));
    }
}

const int64_t kSimulated = 0;
const int64_t kMicrosecond = 1000;

#define PAIR(name)                                                     \
    BENCHMARK(BM_##name##_Raw)->Arg(kSimulated)->Arg(kMicrosecond);   \
    BENCHMARK(BM_##name##_Volts)->Arg(kSimulated)->Arg(kMicrosecond)
PAIR(WriteChannel);
PAIR(WriteFour);

void PrintRatios(const MedianReporter& reporter) {
    std::printf("\nwrite          port access   raw request   in volts     volts/raw\n");
    for (const char* name : {"WriteChannel", "WriteFour"}) {
        for (int64_t delay : {kSimulated, kMicrosecond}) {
            std::string arg = "/" + std::to_string(delay);
            const MedianReporter::Result* raw = reporter.Find(std::string("BM_") + name + "_Raw" + arg);
            const MedianReporter::Result* volts = reporter.Find(std::string("BM_") + name + "_Volts" + arg);
            if (!raw || !volts) continue;
            std::printf("%-14s %-12s %9.1f ns %9.1f ns   %6.3f\n", name, delay ? "1 us" : "simulated", raw->time,
                        volts->time, volts->time / raw->time);
        }
    }
}

}  // namespace

int main(int argc, char** argv) { return RunWithRatios(argc, argv, PrintRatios); }
