// The cost of one request through AOC_IOControl beside a baseline that makes
// the same port accesses directly through the primitives under Lock, and the
// throughput of four threads driving four channels beside one.
//
// Each pair runs twice: on the simulated I/O space as it is, and on a board
// whose every port access takes a microsecond, as a real one does. At the end
// the ratios are printed; the raw timings above them are for reference only.
// On a shared machine run it with --benchmark_repetitions=5: the ratios then
// come from the medians.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "median_reporter.h"
#include "register_file.h"

namespace {

const DWORD kBase = 0xC000;

// A board whose port accesses take `delay` each, spent spinning as the
// processor does while an I/O cycle runs.
class SlowBoard : public aoctest::RegisterFile {
public:
    using RegisterFile::RegisterFile;
    DWORD ReadPort(DWORD offset, int width) override {
        Spin();
        return RegisterFile::ReadPort(offset, width);
    }
    void WritePort(DWORD offset, int width, DWORD value) override {
        Spin();
        RegisterFile::WritePort(offset, width, value);
    }
    std::chrono::nanoseconds delay{0};

private:
    void Spin() {
        auto until = std::chrono::steady_clock::now() + delay;
        while (std::chrono::steady_clock::now() < until) {
        }
    }
};

struct Bench {
    DeviceContext device;
    SlowBoard board{&device.Lock};
    RangeRecord record;
    RangeRequest rangeRequest;

    Bench() {
        std::memset(&device, 0, sizeof device);
        InitializeCriticalSection(&device.Lock);
        device.BaseAddress = kBase;
        device.IoPortCount = aoctest::kRegisterFileBytes;
        for (AoChannelSetting& c : device.Channels) c = AoChannelSetting{0, 10.0f, -10.0f, 0.0f, 0.0f};
        cesim::AttachIoDevice(&board, kBase, aoctest::kRegisterFileBytes);
        record = RangeRecord{0, 2048, RANGE_MODE_VOLTAGE, 1, 5.0f, -5.0f};
        rangeRequest = RangeRequest{RANGE_REQUEST_SET_GET, sizeof record, cesim::RegisterCallerBuffer(&record, sizeof record)};
    }
    DWORD_PTR Handle() { return reinterpret_cast<DWORD_PTR>(&device); }
};

Bench& TheBench() {
    static Bench* bench = new Bench;
    return *bench;
}

void SetPortDelay(const benchmark::State& state) {
    TheBench().board.delay = std::chrono::nanoseconds(state.range(0));
}

template <class In>
BOOL Send(DWORD code, const In& in, void* out = nullptr, DWORD lenOut = 0) {
    DWORD count;
    return AOC_IOControl(TheBench().Handle(), code, reinterpret_cast<BYTE*>(const_cast<In*>(&in)), sizeof in,
                         static_cast<BYTE*>(out), lenOut, &count);
}

void BM_WriteChannel_Ioctl(benchmark::State& state) {
    SetPortDelay(state);
    ChannelOutput output = {static_cast<WORD>(state.thread_index() % AO_CHANNEL_COUNT), 0, 0};
    for (auto _ : state) {
        output.Value = (output.Value + 1) & 0xFFF;
        benchmark::DoNotOptimize(Send(IOCTL_AO_WRITE_CHANNEL, output));
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_WriteChannel_Direct(benchmark::State& state) {
    SetPortDelay(state);
    DeviceContext& d = TheBench().device;
    const DWORD channel = 1;
    WORD value = 0;
    for (auto _ : state) {
        value = (value + 1) & 0xFFF;
        EnterCriticalSection(&d.Lock);
        BYTE range = ReadPortByte(BoardPort(&d, AO_RANGE));
        WritePortByte(BoardPort(&d, AO_RANGE), static_cast<BYTE>((range & ~(3 << RangeShift(channel))) | (3 << RangeShift(channel))));
        WritePortWord(BoardPort(&d, ChannelDataRegister(channel)), value);
        LeaveCriticalSection(&d.Lock);
    }
}

void BM_SetRange_Ioctl(benchmark::State& state) {
    SetPortDelay(state);
    for (auto _ : state) benchmark::DoNotOptimize(Send(IOCTL_AO_SET_CHANNEL_RANGE, TheBench().rangeRequest));
}

void BM_SetRange_Direct(benchmark::State& state) {
    SetPortDelay(state);
    DeviceContext& d = TheBench().device;
    for (auto _ : state) {
        EnterCriticalSection(&d.Lock);
        BYTE range = ReadPortByte(BoardPort(&d, AO_RANGE));
        WritePortByte(BoardPort(&d, AO_RANGE), static_cast<BYTE>((range & ~0x0C) | 0x08));
        LeaveCriticalSection(&d.Lock);
    }
}

// Get-range reaches no port: its baseline is the lock hold that reads the setting.
void BM_GetRange_Ioctl(benchmark::State& state) {
    SetPortDelay(state);
    BYTE out[4];
    for (auto _ : state) benchmark::DoNotOptimize(Send(IOCTL_AO_GET_CHANNEL_RANGE, TheBench().rangeRequest, out, sizeof out));
}

void BM_GetRange_Direct(benchmark::State& state) {
    SetPortDelay(state);
    DeviceContext& d = TheBench().device;
    for (auto _ : state) {
        EnterCriticalSection(&d.Lock);
        AoChannelSetting setting = d.Channels[1];
        LeaveCriticalSection(&d.Lock);
        benchmark::DoNotOptimize(setting);
    }
}

void BM_PortRead_Ioctl(benchmark::State& state) {
    SetPortDelay(state);
    PortRequest request = {AO_RANGE, 0};
    BYTE out;
    for (auto _ : state) {
        DWORD count;
        benchmark::DoNotOptimize(AOC_IOControl(TheBench().Handle(), IOCTL_PORT_READ_BYTE, reinterpret_cast<BYTE*>(&request),
                                               PORT_READ_REQUEST_BYTES, &out, sizeof out, &count));
    }
}

void BM_PortRead_Direct(benchmark::State& state) {
    SetPortDelay(state);
    DeviceContext& d = TheBench().device;
    for (auto _ : state) {
        EnterCriticalSection(&d.Lock);
        benchmark::DoNotOptimize(ReadPortByte(BoardPort(&d, AO_RANGE)));
        LeaveCriticalSection(&d.Lock);
    }
}

const int64_t kSimulated = 0;
const int64_t kMicrosecond = 1000;

#define PAIR(name)                                                  \
    BENCHMARK(BM_##name##_Direct)->Arg(kSimulated)->Arg(kMicrosecond); \
    BENCHMARK(BM_##name##_Ioctl)->Arg(kSimulated)->Arg(kMicrosecond)
PAIR(WriteChannel);
PAIR(SetRange);
PAIR(GetRange);
PAIR(PortRead);
BENCHMARK(BM_WriteChannel_Ioctl)
    ->Name("BM_WriteChannel_Threads")
    ->Arg(kSimulated)
    ->Arg(kMicrosecond)
    ->Threads(1)
    ->Threads(4)
    ->UseRealTime();

void PrintRatios(const MedianReporter& reporter) {
    std::printf("\nrequest        port access   direct      ioctl     ioctl/direct\n");
    for (const char* name : {"WriteChannel", "SetRange", "GetRange", "PortRead"}) {
        for (int64_t delay : {kSimulated, kMicrosecond}) {
            std::string arg = "/" + std::to_string(delay);
            const MedianReporter::Result* direct = reporter.Find(std::string("BM_") + name + "_Direct" + arg);
            const MedianReporter::Result* ioctl = reporter.Find(std::string("BM_") + name + "_Ioctl" + arg);
            if (!direct || !ioctl) continue;
            std::printf("%-14s %-12s %8.1f ns %8.1f ns   %6.3f\n", name, delay ? "1 us" : "simulated", direct->time,
                        ioctl->time, ioctl->time / direct->time);
        }
    }
    std::printf("\nfour threads, four channels: write-channel throughput against one thread\n");
    for (int64_t delay : {kSimulated, kMicrosecond}) {
        std::string base = "BM_WriteChannel_Threads/" + std::to_string(delay) + "/real_time/threads:";
        const MedianReporter::Result* one = reporter.Find(base + "1");
        const MedianReporter::Result* four = reporter.Find(base + "4");
        if (!one || !four) continue;
        double oneItems = one->Counter("items_per_second"), fourItems = four->Counter("items_per_second");
        std::printf("%-12s %10.0f req/s with 1 thread, %10.0f req/s with 4: %5.2fx\n", delay ? "1 us" : "simulated",
                    oneItems, fourItems, fourItems / oneItems);
    }
}

}  // namespace

int main(int argc, char** argv) { return RunWithRatios(argc, argv, PrintRatios); }
