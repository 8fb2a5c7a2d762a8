// Attacks AOC_IOControl the way a driver test kit does: mostly the board's own
// codes, buffers of any length and content or none, range records that may
// not be mappable, on boards with small, odd or no I/O windows. Each buffer is
// allocated exactly as long as the caller declares it, so AddressSanitizer
// catches any access beyond it; the checks below catch everything else a
// request may not do.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "register_file.h"

// Where the requests go: the driver linked in, or, when the corpus replays
// through the shipped library on Windows, that library's own export.
decltype(&AOC_IOControl) g_ioControl = AOC_IOControl;

namespace {

const DWORD kCodes[] = {
    IOCTL_PORT_READ_BYTE,  IOCTL_PORT_READ_WORD,       IOCTL_PORT_READ_DWORD,      IOCTL_PORT_WRITE_BYTE,
    IOCTL_PORT_WRITE_WORD, IOCTL_PORT_WRITE_DWORD,     IOCTL_AO_PROBE,             IOCTL_AO_SET_CHANNEL_RANGE,
    IOCTL_AO_GET_CHANNEL_RANGE, IOCTL_AO_WRITE_CHANNEL, IOCTL_AO_SET_MODE_FLAG,    IOCTL_AO_STROBE,
};
const float kValues[] = {0.0f, 5.0f, 10.0f, -5.0f, -10.0f, 20.0f, 4.0f, -0.0f, 1e30f};
const DWORD kWindows[] = {0, 1, 8, 9, 10, 15, 16, 20, 21, 32};
const DWORD kBase = 0xE000;
const DWORD kUntouchedError = 0x0BADF00D;
const DWORD kUntouchedCount = 0xC0C0C0C0;

#define CHECK(cond)                                                               \
    do {                                                                          \
        if (!(cond)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                         \
        }                                                                         \
    } while (0)

// Requests sent over the whole run, told at exit beside libFuzzer's statistics.
unsigned long long g_requests = 0;
void TellRequests() { std::fprintf(stderr, "stat::requests_sent:            %llu\n", g_requests); }

bool IsKnown(DWORD code) {
    for (DWORD c : kCodes) {
        if (c == code) return true;
    }
    return false;
}

// Once the input runs out every draw is 0, so rare events must need a high draw.
bool Rare(FuzzedDataProvider& fdp) { return fdp.ConsumeProbability<float>() > 0.97f; }

float PickFloat(FuzzedDataProvider& fdp) {
    if (fdp.ConsumeBool()) return fdp.PickValueInArray(kValues);
    return fdp.ConsumeFloatingPoint<float>();
}

// A caller buffer of exactly the declared length (new[] even for 0 bytes, so
// any access to an empty buffer is flagged too), or none.
struct Buffer {
    std::unique_ptr<BYTE[]> bytes;
    DWORD length = 0;
    BYTE* data() const { return bytes.get(); }
    std::vector<BYTE> Copy() const { return bytes ? std::vector<BYTE>(data(), data() + length) : std::vector<BYTE>(); }
};

void Fill(FuzzedDataProvider& fdp, Buffer& buffer, DWORD length) {
    buffer.bytes.reset(new BYTE[length]);
    buffer.length = length;
    std::vector<BYTE> content = fdp.ConsumeBytes<BYTE>(length);
    content.resize(length);
    if (length) std::memcpy(buffer.data(), content.data(), length);
}

template <class T>
void Put(Buffer& buffer, DWORD offset, const T& value) {
    if (buffer.bytes && buffer.length >= offset + sizeof value) std::memcpy(buffer.data() + offset, &value, sizeof value);
}

struct Board {
    DeviceContext device;
    aoctest::RegisterFile registers{&device.Lock};
};

void RunRequest(FuzzedDataProvider& fdp, Board& b) {
    DeviceContext& device = b.device;
    DWORD code = fdp.ConsumeProbability<float>() < 0.9f ? fdp.PickValueInArray(kCodes) : fdp.ConsumeIntegral<DWORD>();
    bool nullHandle = Rare(fdp);

    Buffer in;
    Buffer out;
    if (fdp.ConsumeProbability<float>() < 0.95f) Fill(fdp, in, fdp.ConsumeIntegralInRange<DWORD>(0, 24));
    if (fdp.ConsumeProbability<float>() < 0.9f) Fill(fdp, out, fdp.ConsumeIntegralInRange<DWORD>(0, 8));

    // Offsets near the window are the interesting ones.
    if (fdp.ConsumeProbability<float>() < 0.7f) Put(in, 0, fdp.ConsumeIntegralInRange<DWORD>(0, 40));

    // A caller record, registered with a length of its own; the request may
    // point at it, into it, past it or anywhere.
    Buffer record;
    Fill(fdp, record, fdp.ConsumeIntegralInRange<DWORD>(0, 40));
    if (record.length >= sizeof(RangeRecord) && fdp.ConsumeBool()) {
        RangeRecord r = {};
        r.Reserved = fdp.ConsumeIntegral<WORD>();
        r.InitialCode = fdp.ConsumeIntegral<WORD>();
        r.Mode = fdp.ConsumeIntegralInRange<WORD>(0, 2);
        r.Channel = fdp.ConsumeIntegralInRange<WORD>(0, 5);
        r.Maximum = PickFloat(fdp);
        r.Minimum = PickFloat(fdp);
        Put(record, 0, r);
    }
    DWORD recordAddress = record.length ? cesim::RegisterCallerBuffer(record.data(), record.length) : 0;
    if ((code == IOCTL_AO_SET_CHANNEL_RANGE || code == IOCTL_AO_GET_CHANNEL_RANGE) &&
        fdp.ConsumeProbability<float>() < 0.8f) {
        const WORD requestCodes[] = {RANGE_REQUEST_SET, RANGE_REQUEST_SET_GET, RANGE_REQUEST_SET_GET,
                                     fdp.ConsumeIntegral<WORD>()};
        const WORD lengths[] = {16, 16, 15, 17, 0, 40, fdp.ConsumeIntegral<WORD>()};
        RangeRequest request;
        request.RequestCode = fdp.PickValueInArray(requestCodes);
        request.RecordLength = fdp.PickValueInArray(lengths);
        request.RecordAddress = recordAddress + fdp.ConsumeIntegralInRange<DWORD>(0, 4) * (fdp.ConsumeBool() ? 1 : 4);
        if (Rare(fdp)) request.RecordAddress = fdp.ConsumeIntegral<DWORD>();
        Put(in, 0, request);
    }
    if (Rare(fdp)) cesim::InjectFault(cesim::Fault(cesim::Call::MapCallerPtr));

    bool nullCount = Rare(fdp);
    DWORD count = kUntouchedCount;
    SetLastError(kUntouchedError);
    DWORD lastErrorBefore = device.LastError;
    BYTE registersBefore[aoctest::kRegisterFileBytes];
    std::memcpy(registersBefore, b.registers.bytes, sizeof registersBefore);
    AoChannelSetting channelsBefore[AO_CHANNEL_COUNT];
    std::memcpy(channelsBefore, device.Channels, sizeof channelsBefore);
    std::vector<BYTE> recordBefore = record.Copy();
    std::vector<BYTE> outBefore = out.Copy();

    DWORD_PTR handle = nullHandle ? 0 : reinterpret_cast<DWORD_PTR>(&device);
    ++g_requests;
    BOOL result = g_ioControl(handle, code, in.data(), in.length, out.data(), out.length, nullCount ? nullptr : &count);
    DWORD threadError = GetLastError();
    cesim::ClearFaults();
    if (recordAddress) cesim::UnregisterCallerBuffer(recordAddress);

    // No port outside the window, and every access under Lock.
    bool wrotePort = false;
    for (const cesim::PortAccess& a : cesim::TakeIoTrace()) {
        CHECK(device.IoPortCount != 0);
        CHECK(a.port >= device.BaseAddress && a.port + a.width <= device.BaseAddress + device.IoPortCount);
        wrotePort = wrotePort || a.write;
    }
    CHECK(b.registers.unlockedAccesses.load() == 0);

    if (!IsKnown(code)) {
        CHECK(!result && threadError == kUntouchedError && count == kUntouchedCount &&
              device.LastError == lastErrorBefore);
        return;
    }
    if (nullHandle) {
        CHECK(!result && threadError == DRIVER_THREAD_ERROR(ERR_NO_DEVICE));
        CHECK(nullCount || count == ERR_NO_DEVICE);
        return;
    }
    bool settingsSame = std::memcmp(channelsBefore, device.Channels, sizeof channelsBefore) == 0;
    if (!result) {
        // A refusal changes no register and no setting, and says why.
        CHECK(!wrotePort && settingsSame);
        CHECK(std::memcmp(registersBefore, b.registers.bytes, sizeof registersBefore) == 0);
        CHECK(record.Copy() == recordBefore && out.Copy() == outBefore);
        if (threadError == kUntouchedError) {
            // Only set-range's channel above 3 fails silently.
            CHECK(code == IOCTL_AO_SET_CHANNEL_RANGE && device.LastError == lastErrorBefore);
            CHECK(count == kUntouchedCount);
        } else {
            CHECK(device.LastError == ERR_BAD_ARGUMENT || device.LastError == ERR_PORT_OUT_OF_RANGE);
            CHECK(threadError == DRIVER_THREAD_ERROR(device.LastError));
            CHECK(nullCount || count == device.LastError || count == 0);
        }
        return;
    }

    CHECK(threadError == kUntouchedError && device.LastError == lastErrorBefore);
    DWORD expectedCount = 0;
    switch (code) {
    case IOCTL_PORT_READ_BYTE: expectedCount = 1; break;
    case IOCTL_PORT_READ_WORD: expectedCount = 2; break;
    case IOCTL_PORT_READ_DWORD: expectedCount = 4; break;
    case IOCTL_AO_GET_CHANNEL_RANGE: expectedCount = 4; break;
    case IOCTL_AO_SET_CHANNEL_RANGE: expectedCount = kUntouchedCount; break;
    default: break;
    }
    CHECK(nullCount || count == expectedCount);

    // Only set-range changes a setting, and only its own channel's; range
    // programming changes only that channel's two bits.
    WORD channel = 0xFFFF;
    const RangeRecord* pRecord = nullptr;
    RangeRecord caller;
    if (code == IOCTL_AO_SET_CHANNEL_RANGE || code == IOCTL_AO_GET_CHANNEL_RANGE) {
        RangeRequest request;
        std::memcpy(&request, in.data(), sizeof request);
        size_t offset = request.RecordAddress - recordAddress;
        CHECK(recordAddress && offset + sizeof caller <= recordBefore.size());
        std::memcpy(&caller, recordBefore.data() + offset, sizeof caller);
        pRecord = &caller;
        channel = caller.Channel;
        CHECK(channel < AO_CHANNEL_COUNT);
        RangeRecord after;
        std::memcpy(&after, record.data() + offset, sizeof after);
        CHECK(after.Reserved == caller.Reserved && after.Channel == caller.Channel);
    } else if (code == IOCTL_AO_WRITE_CHANNEL) {
        std::memcpy(&channel, in.data(), sizeof channel);
    }
    for (int n = 0; n < AO_CHANNEL_COUNT; ++n) {
        bool same = std::memcmp(&channelsBefore[n], &device.Channels[n], sizeof channelsBefore[n]) == 0;
        CHECK(same || (code == IOCTL_AO_SET_CHANNEL_RANGE && n == channel));
    }
    if (code == IOCTL_AO_SET_CHANNEL_RANGE || code == IOCTL_AO_WRITE_CHANNEL) {
        BYTE others = channel < AO_CHANNEL_COUNT ? static_cast<BYTE>(~(3u << (2 * channel))) : 0xFF;
        CHECK((registersBefore[AO_RANGE] & others) == (b.registers.bytes[AO_RANGE] & others));
    }
    if (code == IOCTL_AO_SET_CHANNEL_RANGE) {
        const AoChannelSetting& stored = device.Channels[channel];
        CHECK(record.Copy() == recordBefore);
        CHECK(stored.InitialCode == pRecord->InitialCode);
        CHECK(RangeCode(stored.VoltageMax, stored.VoltageMin) == static_cast<int>((b.registers.bytes[AO_RANGE] >> (2 * channel)) & 3));
    }
    if (code == IOCTL_AO_GET_CHANNEL_RANGE) {
        WORD reply[2];
        std::memcpy(reply, out.data(), sizeof reply);
        CHECK(reply[0] == pRecord->Reserved && reply[1] == device.Channels[channel].InitialCode);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider fdp(data, size);
    static Board* board = [] {
        Board* b = new Board;
        InitializeCriticalSection(&b->device.Lock);
        cesim::SetIoTrace(true);
        std::atexit(TellRequests);
        return b;
    }();
    Board& b = *board;
    DeviceContext& device = b.device;
    device.IoPortCount = fdp.PickValueInArray(kWindows);
    device.BaseAddress = device.IoPortCount ? kBase : 0;
    device.LastError = fdp.ConsumeIntegral<DWORD>();
    for (AoChannelSetting& c : device.Channels) {
        c.InitialCode = fdp.ConsumeIntegral<WORD>();
        c.VoltageMax = PickFloat(fdp);
        c.VoltageMin = PickFloat(fdp);
        c.CurrentMax = PickFloat(fdp);
        c.CurrentMin = PickFloat(fdp);
    }
    std::memset(b.registers.bytes, 0, sizeof b.registers.bytes);
    b.registers.bytes[AO_RANGE] = fdp.ConsumeIntegral<BYTE>();
    if (device.IoPortCount) CHECK(cesim::AttachIoDevice(&b.registers, device.BaseAddress, device.IoPortCount));
    cesim::TakeIoTrace();

    int requests = fdp.ConsumeIntegralInRange<int>(1, 8);
    for (int i = 0; i < requests && fdp.remaining_bytes() > 0; ++i) RunRequest(fdp, b);

    cesim::DetachIoDevice(&b.registers);
    cesim::ResetCallerSpace();
    return 0;
}
