#pragma once
// Boards on a simulated bus, started by calling the statically linked driver
// directly. Every test ends with no key open, no block or lock left behind.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "registry_layout.h"
#include "settings_text.h"
#include "startup.h"
#include "target.h"

namespace startup_test {

using sim::WString;

inline WString W(const char* text) { return sim::Widen(text); }

inline WString TemplateKey(const char* name) { return WString(TEMPLATE_ROOT_KEY_W) + TEXT('\\') + W(name); }
inline WString DriverKey(int number) {
    WCHAR path[96];
    FormatDeviceKeyPath(DRIVER_SERVICE_KEY_W, number, path, 96);
    return path;
}
inline WString DaqKey(int number) {
    WCHAR path[96];
    FormatDeviceKeyPath(DAQ_SERVICE_KEY_W, number, path, 96);
    return path;
}
inline WString ChannelName(int channel) { return WString(VALUE_AO_SETTINGS_PREFIX_W) + static_cast<WCHAR>(TEXT('0') + channel); }

// A template key with its switch number and channel texts (fewer than four
// leaves the rest out).
inline void WriteTemplate(const char* name, DWORD switchId, const std::vector<const char*>& texts) {
    sim::SetDword(TemplateKey(name), VALUE_SWITCH_ID_W, switchId);
    for (size_t i = 0; i < texts.size(); ++i) sim::SetString(TemplateKey(name), ChannelName(static_cast<int>(i)), W(texts[i]));
}

inline AoChannelSetting Setting(uint16_t code, float vmax, float vmin, float cmax, float cmin) {
    return AoChannelSetting{code, vmax, vmin, cmax, cmin};
}

inline bool Same(const AoChannelSetting& a, const AoChannelSetting& b) {
    return a.InitialCode == b.InitialCode && a.VoltageMax == b.VoltageMax && a.VoltageMin == b.VoltageMin &&
           a.CurrentMax == b.CurrentMax && a.CurrentMin == b.CurrentMin;
}

inline std::string Show(const AoChannelSetting& s) {
    char text[96];
    std::snprintf(text, sizeof(text), "{%u, %g, %g, %g, %g}", s.InitialCode, s.VoltageMax, s.VoltageMin,
                  s.CurrentMax, s.CurrentMin);
    return text;
}

#define EXPECT_SETTING(actual, expected) \
    EXPECT_TRUE(Same(actual, expected)) << Show(actual) << " is not " << Show(expected)

class StartupTest : public ::testing::Test {
public:
    void SetUp() override {
        cesim::ResetAll();
        heap_ = cesim::LiveLocalAllocations();
        sections_ = cesim::LiveCriticalSections();
        target_ = std::make_unique<sim::Target>();
    }

    void TearDown() override {
        for (DeviceContext* d : running_) EXPECT_TRUE(AOC_Deinit(reinterpret_cast<DWORD_PTR>(d)));
        running_.clear();
        target_.reset();
        EXPECT_EQ(cesim::OpenKeyCount(), 0u);
        EXPECT_EQ(cesim::LiveLocalAllocations(), heap_) << "a device context was not freed";
        EXPECT_EQ(cesim::LiveCriticalSections(), sections_) << "a lock was not deleted";
        cesim::ResetAll();
    }

    int AddBoard(const sim::BoardConfig& config = sim::BoardConfig()) {
        int index = target_->AddBoard(config);
        EXPECT_GE(index, 0);
        return index;
    }

    // AOC_Init for the board; null when it fails. Every key it opened is
    // closed again.
    DeviceContext* Start(int board) {
        WString active = target_->CreateActiveKey(board);
        DeviceContext* d = reinterpret_cast<DeviceContext*>(AOC_Init(active.c_str(), nullptr));
        EXPECT_EQ(cesim::OpenKeyCount(), 0u) << "AOC_Init left a key open";
        if (d) running_.push_back(d);
        return d;
    }

    void Stop(DeviceContext* d) {
        running_.erase(std::find(running_.begin(), running_.end(), d));
        EXPECT_TRUE(AOC_Deinit(reinterpret_cast<DWORD_PTR>(d)));
        EXPECT_EQ(cesim::OpenKeyCount(), 0u);
    }

    // The same bus again after a restart: boards enumerate afresh.
    void Reboot() {
        for (DeviceContext* d : running_) AOC_Deinit(reinterpret_cast<DWORD_PTR>(d));
        running_.clear();
        target_ = std::make_unique<sim::Target>();
    }

    sim::Board& BoardAt(int index) { return target_->BoardAt(index); }

    std::unique_ptr<sim::Target> target_;
    std::vector<DeviceContext*> running_;
    size_t heap_ = 0, sections_ = 0;
};

}  // namespace startup_test
