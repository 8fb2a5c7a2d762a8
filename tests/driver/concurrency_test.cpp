// Several threads set ranges of different channels, write outputs, toggle the
// mode flag, read settings back and reopen handles, all on one board at once.
#include <atomic>
#include <thread>
#include <vector>

#include "board_fixture.h"
#include "settings_text.h"

namespace aoctest {
namespace {

const int kRounds = 1500;

// The ranges the channel threads cycle through. Each setting's InitialCode
// names the row it came from, so a reader can tell a whole setting from a
// mixture of two.
struct Row {
    WORD mode;
    float maximum, minimum;
    BYTE code;
} const kRows[] = {
    {RANGE_MODE_VOLTAGE, 5.0f, 0.0f, 0},   {RANGE_MODE_VOLTAGE, 10.0f, 0.0f, 1},
    {RANGE_MODE_VOLTAGE, 5.0f, -5.0f, 2},  {RANGE_MODE_VOLTAGE, 10.0f, -10.0f, 3},
    {RANGE_MODE_CURRENT, 20.0f, 4.0f, 0},
};
const int kRowCount = sizeof kRows / sizeof kRows[0];
WORD RowCode(int row, int channel) { return static_cast<WORD>(100 * row + channel); }
// What the driver device key holds, and every open reloads.
WORD PublishedCode(int channel) { return static_cast<WORD>(700 + channel); }
// The row each channel ends on, different per channel.
const int kLastRow[AO_CHANNEL_COUNT] = {3, 0, 2, 1};

class ConcurrencyTest : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        cesim::SetIoTrace(false);
        board.yieldOnRange = true;  // widen the window an unlocked read-merge-write would lose bits in
        PublishSettings();
    }

    void PublishSettings() {
        LayoutWChar path[128];
        FormatDeviceKeyPath(DRIVER_SERVICE_KEY_W, device.DeviceNumber, path, 128);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_SUCCESS);
        for (int n = 0; n < AO_CHANNEL_COUNT; ++n) {
            LayoutWChar name[16];
            LayoutWChar text[DEVICE_TEXT_UNITS];
            FormatAoSettingsName(n, name, 16);
            FormatDeviceText(Setting(PublishedCode(n), 10.0f, 0.0f), text, DEVICE_TEXT_UNITS);
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DEVICE_TEXT_BYTES);
        }
        RegCloseKey(key);
    }

    // A setting read back must be one whole setting: a row's or the published one.
    static bool IsWhole(int channel, const RangeRecord& r) {
        if (r.InitialCode == PublishedCode(channel)) {
            return r.Mode == RANGE_MODE_VOLTAGE && r.Maximum == 10.0f && r.Minimum == 0.0f;
        }
        for (int row = 0; row < kRowCount; ++row) {
            if (r.InitialCode == RowCode(row, channel)) {
                WORD mode = kRows[row].mode;
                return r.Mode == mode && r.Maximum == kRows[row].maximum && r.Minimum == kRows[row].minimum;
            }
        }
        return false;
    }

    // Requests from worker threads; the caller buffers are each thread's own.
    bool SetRange(DWORD_PTR handle, int channel, int row) {
        RangeRecord record = Record(static_cast<WORD>(channel), kRows[row].mode, kRows[row].maximum,
                                    kRows[row].minimum, RowCode(row, channel));
        DWORD address = cesim::RegisterCallerBuffer(&record, sizeof record);
        RangeRequest request = {RANGE_REQUEST_SET, sizeof record, address};
        DWORD count = 0;
        BOOL ok = AOC_IOControl(handle, IOCTL_AO_SET_CHANNEL_RANGE, reinterpret_cast<BYTE*>(&request), sizeof request,
                                nullptr, 0, &count);
        cesim::UnregisterCallerBuffer(address);
        return ok;
    }
    bool GetRange(DWORD_PTR handle, int channel, RangeRecord* pRecord) {
        *pRecord = Record(static_cast<WORD>(channel), 0, 0.0f, 0.0f);
        DWORD address = cesim::RegisterCallerBuffer(pRecord, sizeof *pRecord);
        RangeRequest request = {RANGE_REQUEST_SET_GET, sizeof *pRecord, address};
        BYTE out[4];
        DWORD count = 0;
        BOOL ok = AOC_IOControl(handle, IOCTL_AO_GET_CHANNEL_RANGE, reinterpret_cast<BYTE*>(&request), sizeof request,
                                out, sizeof out, &count);
        cesim::UnregisterCallerBuffer(address);
        return ok;
    }
    // A channel's bits as the board holds them, read through the driver.
    static int ReadRangeBits(DWORD_PTR handle, int channel) {
        PortRequest request = {AO_RANGE, 0};
        BYTE range = 0;
        DWORD count = 0;
        if (!AOC_IOControl(handle, IOCTL_PORT_READ_BYTE, reinterpret_cast<BYTE*>(&request), PORT_READ_REQUEST_BYTES,
                           &range, sizeof range, &count)) {
            return -1;
        }
        return (range >> (2 * channel)) & 3;
    }
    template <class In>
    static bool Send(DWORD_PTR handle, DWORD code, In in) {
        DWORD count = 0;
        return AOC_IOControl(handle, code, reinterpret_cast<BYTE*>(&in), sizeof in, nullptr, 0, &count);
    }
};

TEST_F(ConcurrencyTest, RequestsAndReopensOnOneBoardLoseNothing) {
    DWORD_PTR handle = AOC_Open(Handle(), 0, 0);
    ASSERT_EQ(handle, Handle());
    std::atomic<int> failures{0};
    std::atomic<int> mixedReads{0};
    std::atomic<int> lostBits{0};
    WORD lastValue[AO_CHANNEL_COUNT] = {};

    std::vector<std::thread> threads;
    for (int channel = 0; channel < AO_CHANNEL_COUNT; ++channel) {
        threads.emplace_back([&, channel] {
            WORD value = 0;
            for (int round = 0; round < kRounds; ++round) {
                value = static_cast<WORD>((round * 37 + channel) & 0xFFF);
                RangeRecord back;
                if (!SetRange(handle, channel, round % kRowCount)) ++failures;
                // Only this thread programs this channel, and a reopen touches
                // no register: the bits must still be the ones just set.
                if (ReadRangeBits(handle, channel) != kRows[round % kRowCount].code) ++lostBits;
                if (!Send(handle, IOCTL_AO_WRITE_CHANNEL, ChannelOutput{static_cast<WORD>(channel), 0, value})) ++failures;
                if (!GetRange(handle, channel, &back)) ++failures;
                if (!IsWhole(channel, back)) ++mixedReads;
            }
            lastValue[channel] = value;
            if (!SetRange(handle, channel, kLastRow[channel])) ++failures;
        });
    }
    threads.emplace_back([&] {
        for (int round = 0; round < kRounds; ++round) {
            if (!Send(handle, IOCTL_AO_SET_MODE_FLAG, static_cast<WORD>(round & 1))) ++failures;
            if (!Send(handle, IOCTL_AO_STROBE, DWORD{0})) ++failures;
        }
    });
    for (int reopener = 0; reopener < 2; ++reopener) {
        threads.emplace_back([&] {
            for (int round = 0; round < kRounds; ++round) {
                DWORD_PTR h = AOC_Open(Handle(), 0, 0);
                if (h != Handle()) ++failures;
                AOC_Close(h);
            }
        });
    }
    threads.emplace_back([&] {
        for (int round = 0; round < kRounds; ++round) {
            for (int channel = 0; channel < AO_CHANNEL_COUNT; ++channel) {
                RangeRecord back;
                if (!GetRange(handle, channel, &back)) ++failures;
                if (!IsWhole(channel, back)) ++mixedReads;
            }
        }
    });
    for (std::thread& t : threads) t.join();

    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(mixedReads.load(), 0) << "a request saw a setting half replaced";
    EXPECT_EQ(lostBits.load(), 0) << "another channel's range programming lost this channel's bits";
    EXPECT_EQ(device.LastError, 0u);
    EXPECT_EQ(device.OpenCount, 1);
    for (int channel = 0; channel < AO_CHANNEL_COUNT; ++channel) {
        EXPECT_EQ(RangeBits(channel), kRows[kLastRow[channel]].code) << "channel " << channel;
        EXPECT_EQ(board.Word(ChannelDataRegister(channel)), lastValue[channel]) << "channel " << channel;
    }
    AOC_Close(handle);
}

}  // namespace
}  // namespace aoctest
