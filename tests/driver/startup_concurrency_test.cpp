// AOC_Open reloads the channel settings while other threads read them under
// Lock, as I/O control requests do: no reader may see a setting half replaced.
#include <atomic>
#include <thread>

#include "startup_fixture.h"

namespace startup_test {
namespace {

TEST_F(StartupTest, ReloadReplacesEachSettingWhole) {
    WriteTemplate("Template0", 0, {"     1     5     0    20     4", "     2     5     0    20     4",
                                    "     3     5     0    20     4", "     4     5     0    20     4"});
    DeviceContext* d = Start(AddBoard());
    ASSERT_NE(d, nullptr);
    const AoChannelSetting other = Setting(9, 10, -10, 0, 0);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            EnterCriticalSection(&d->Lock);
            for (AoChannelSetting& s : d->Channels) s = other;
            LeaveCriticalSection(&d->Lock);
            EnterCriticalSection(&d->Lock);
            for (int ch = 0; ch < 4; ++ch) {
                const AoChannelSetting& s = d->Channels[ch];
                AoChannelSetting published = Setting(static_cast<uint16_t>(ch + 1), 5, 0, 20, 4);
                if (!Same(s, other) && !Same(s, published)) ++torn;
            }
            LeaveCriticalSection(&d->Lock);
        }
    });
    std::vector<std::thread> openers;
    for (int t = 0; t < 2; ++t) {
        openers.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                DWORD_PTR h = AOC_Open(reinterpret_cast<DWORD_PTR>(d), 0, 0);
                AOC_Close(h);
            }
        });
    }
    for (std::thread& t : openers) t.join();
    stop = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(d->OpenCount, 0);
}

}  // namespace
}  // namespace startup_test
