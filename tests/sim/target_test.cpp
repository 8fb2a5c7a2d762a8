// The device manager loading the built driver library the way CE does: by the
// device key's "Dll", entry points found by "Prefix".
#include <gtest/gtest.h>

#include "module.h"
#include "registry_layout.h"
#include "startup_watch.h"
#include "target.h"
#include "aoc_ioctl.h"
#include "vqx6406s.h"

namespace {

using sim::WString;

class TargetTest : public ::testing::Test {
protected:
    void SetUp() override {
        cesim::ResetAll();
        heap_ = cesim::LiveLocalAllocations();
    }
    void TearDown() override {
        target_.reset();
        EXPECT_EQ(cesim::OpenKeyCount(), 0u);
        EXPECT_EQ(cesim::LiveLocalAllocations(), heap_);
        cesim::ResetAll();
    }
    sim::Target& T() { return *target_; }
    // A board in its own slot and 0x100 ports of its own.
    static sim::BoardConfig InSlot(DWORD slot) {
        sim::BoardConfig config;
        config.slot = slot;
        config.ioBase = 0xD000 + 0x100 * (slot - 1);
        return config;
    }

    std::unique_ptr<sim::Target> target_ = std::make_unique<sim::Target>();
    size_t heap_ = 0;
};

WString Template0() { return WString(TEMPLATE_ROOT_KEY_W) + TEXT("\\Template0"); }

TEST_F(TargetTest, EnumerationWritesTheDeviceKeyAsTheBusDriverDoes) {
    sim::BoardConfig config;
    config.slot = 6;
    config.bus = 1;
    config.subsystemId = 0xA123;
    ASSERT_EQ(T().AddBoard(config), 0);
    const WString& key = T().DeviceKey(0);
    EXPECT_EQ(key, TEXT("Drivers\\BuiltIn\\PCI\\Instance\\VQX6406S1"));
    EXPECT_EQ(*sim::GetString(key, TEXT("Dll")), TEXT("VQX6406S.dll"));
    EXPECT_EQ(*sim::GetString(key, TEXT("Prefix")), TEXT("AOC"));
    EXPECT_EQ(*sim::GetDword(key, TEXT("DeviceNumber")), 6u);
    EXPECT_EQ(*sim::GetDword(key, TEXT("BusNumber")), 1u);
    EXPECT_EQ(*sim::GetDword(key, TEXT("SubSystemID")), 0xA123u);
    EXPECT_EQ(*sim::GetDword(key, TEXT("InterfaceType")), 5u);
    EXPECT_EQ(*sim::GetDword(key, TEXT("IoBase")), 0xD000u);
    EXPECT_EQ(*sim::GetDword(key, TEXT("IoLen")), 0x20u);
    config.ioLength = 0;
    config.slot = 7;
    ASSERT_EQ(T().AddBoard(config), 1);
    EXPECT_EQ(T().DeviceKey(1), TEXT("Drivers\\BuiltIn\\PCI\\Instance\\VQX6406S2"));
    EXPECT_FALSE(sim::GetValue(T().DeviceKey(1), TEXT("IoBase"))) << "no window, no window values";
    config.ioLength = 0x20;
    config.ioBase = 0xD010;
    std::string error;
    EXPECT_EQ(T().AddBoard(config, &error), -1) << "windows may not overlap";
    EXPECT_FALSE(error.empty());
}

TEST_F(TargetTest, LoadsTheDriverAndStartsTheBoardEndToEnd) {
    sim::SetDword(Template0(), VALUE_SWITCH_ID_W, 0);
    sim::SetString(Template0(), TEXT("AOSettings 0"), TEXT("     0     5     0    20     4"));
    ASSERT_EQ(T().AddBoard(), 0);
    std::string error;
    sim::StartupWatch watch;
    ASSERT_TRUE(T().Activate(0, &error)) << error;
    EXPECT_EQ(watch.Origin(), sim::SettingsOrigin::Template);
    EXPECT_EQ(watch.Source(), TEXT("Template0"));
    EXPECT_EQ(watch.PublishedKey(), WString(DRIVER_SERVICE_KEY_W) + TEXT("\\Device000"));
    EXPECT_EQ(cesim::OpenKeyCount(), 0u);
    void* module = sim::LoadedModule(T().LibraryPath(0));
    ASSERT_NE(module, nullptr) << T().LibraryPath(0);
    EXPECT_TRUE(cesim::ThreadLibraryCallsDisabled(module)) << "the entry routine ran with process attach";
    EXPECT_EQ(T().ActiveKey(0), TEXT("Drivers\\Active\\01"));
    EXPECT_EQ(T().CallName(0), TEXT("AOC1:"));
    EXPECT_EQ(*sim::GetString(T().ActiveKey(0), TEXT("Key")), T().DeviceKey(0));
    EXPECT_FALSE(T().BoardAt(0).WroteAnyRegister()) << "start-up writes no register";
    EXPECT_EQ(*sim::GetString(WString(DRIVER_SERVICE_KEY_W) + TEXT("\\Device000"), TEXT("AOSettings 0")),
              TEXT(" 0 5.00 0.00 20.00 4.00"));

    DWORD_PTR h = T().Open(0);
    EXPECT_EQ(h, T().DeviceContext(0));
    EXPECT_EQ(cesim::OpenKeyCount(), 0u);
    DWORD actual = 0;
    BYTE out[4];
    EXPECT_FALSE(T().IoControl(0, h, 0, nullptr, 0, out, 4, &actual)) << "code 0 is no request";
    EXPECT_TRUE(T().Close(0, h));
    EXPECT_EQ(T().FindByCallName(TEXT("aoc1:")), 0);

    EXPECT_TRUE(T().Unload(0));
    EXPECT_FALSE(sim::KeyExists(TEXT("Drivers\\Active\\01"))) << "the active key goes with the driver";
    EXPECT_TRUE(sim::KeyExists(WString(DRIVER_SERVICE_KEY_W) + TEXT("\\Device000"))) << "the device entry stays";
    EXPECT_EQ(T().FindByCallName(TEXT("AOC1:")), -1);
}

TEST_F(TargetTest, BoardsShareOneLoadedLibraryAndTheirOwnNames) {
    ASSERT_EQ(T().AddBoard(), 0);
    ASSERT_EQ(T().AddBoard(InSlot(2)), 1);
    ASSERT_TRUE(T().Activate(0));
    ASSERT_TRUE(T().Activate(1));
    EXPECT_EQ(T().CallName(1), TEXT("AOC2:"));
    EXPECT_EQ(T().ActiveKey(1), TEXT("Drivers\\Active\\02"));
    EXPECT_EQ(T().Entries(0)->Init, T().Entries(1)->Init);
    EXPECT_EQ(cesim::LiveLocalAllocations(), heap_ + 2) << "a device context each";
    T().Unload(0);
    EXPECT_TRUE(T().IsActive(1));
    EXPECT_TRUE(T().Close(1, T().Open(1))) << "the library stays while a board uses it";
    ASSERT_EQ(T().AddBoard(InSlot(3)), 2);
    ASSERT_TRUE(T().Activate(2));
    EXPECT_EQ(T().CallName(2), TEXT("AOC1:")) << "the freed index is taken again";
}

// An application's CreateFileW reaches the board the name belongs to now.
TEST_F(TargetTest, ApplicationsOpenABoardByItsNameWhileItIsLoaded) {
    ASSERT_EQ(T().AddBoard(), 0);
    ASSERT_TRUE(T().Activate(0));
    HANDLE h = CreateFileW(TEXT("AOC1:"), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const ::DeviceContext* device = reinterpret_cast<const ::DeviceContext*>(T().DeviceContext(0));
    EXPECT_EQ(device->OpenCount, 1);
    BYTE in[4] = {20, 0, 0, 0}, out = 0;
    DWORD count = 0;
    EXPECT_TRUE(DeviceIoControl(h, IOCTL_PORT_READ_BYTE, in, sizeof in, &out, 1, &count, nullptr));
    EXPECT_EQ(count, 1u);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(device->OpenCount, 0);
    h = CreateFileW(TEXT("AOC1:"), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    T().Unload(0);
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_PORT_READ_BYTE, in, sizeof in, &out, 1, &count, nullptr));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(CreateFileW(TEXT("AOC1:"), 0, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
}

// A fixed "Index" another loaded board's name holds keeps this one unloaded.
TEST_F(TargetTest, ANameInUseIsNotGivenTwice) {
    ASSERT_EQ(T().AddBoard(), 0);
    ASSERT_EQ(T().AddBoard(InSlot(2)), 1);
    ASSERT_TRUE(T().Activate(0));
    sim::SetDword(T().DeviceKey(1), TEXT("Index"), 1);
    std::string error;
    EXPECT_FALSE(T().Activate(1, &error));
    EXPECT_EQ(error, "the device manager has AOC1: in use already, so it does not load the board");
}

// CE gives a prefix's devices one digit each: AOC1: to AOC9:, then AOC0:.
TEST_F(TargetTest, AnEleventhBoardOfAPrefixIsNotLoaded) {
    const WCHAR* expected[] = {TEXT("AOC1:"), TEXT("AOC2:"), TEXT("AOC3:"), TEXT("AOC4:"), TEXT("AOC5:"), TEXT("AOC6:"),
                               TEXT("AOC7:"), TEXT("AOC8:"), TEXT("AOC9:"), TEXT("AOC0:"), TEXT("")};
    for (DWORD n = 0; n < 11; ++n) {
        sim::BoardConfig config;
        config.slot = n + 1;
        config.ioBase = 0xD000 + 0x100 * n;
        ASSERT_EQ(T().AddBoard(config), static_cast<int>(n));
    }
    EXPECT_EQ(T().PlannedCallNames(), std::vector<WString>(std::begin(expected), std::end(expected)));
    for (size_t n = 0; n < 10; ++n) ASSERT_TRUE(T().Activate(n)) << n;
    std::string error;
    EXPECT_FALSE(T().Activate(10, &error));
    EXPECT_EQ(error, "the device manager has no index left for AOC (AOC0: to AOC9: are taken), so it does not load "
                     "the board");
    EXPECT_TRUE(sim::KeyExists(TEXT("Drivers\\Active\\10")));
    EXPECT_FALSE(sim::KeyExists(TEXT("Drivers\\Active\\11"))) << "no active key for the refused board";
    for (size_t n = 0; n < 10; ++n) EXPECT_EQ(T().CallName(n), expected[n]);
    T().Unload(3);
    EXPECT_EQ(T().PlannedCallNames()[3], TEXT("AOC4:")) << "boards are planned in order";
    EXPECT_EQ(T().PlannedCallNames()[10], TEXT(""));
    ASSERT_TRUE(T().Activate(10));
    EXPECT_EQ(T().CallName(10), TEXT("AOC4:"));
}

TEST_F(TargetTest, ASlotHoldsOneBoardAndAWindowPastTheLastPortWraps) {
    sim::BoardConfig config;
    config.slot = 3;
    config.ioBase = 0xFFF0;
    config.switchRegister = 0x3B;
    ASSERT_EQ(T().AddBoard(config), 0);
    std::string error;
    config.ioBase = 0xD000;
    EXPECT_EQ(T().AddBoard(config, &error), -1);
    EXPECT_EQ(error, "bus 0 slot 3 holds a board already");
    config.bus = 1;
    config.ioBase = 0x0008;
    EXPECT_EQ(T().AddBoard(config, &error), -1) << "ports 0 to 0xf belong to the first board";
    EXPECT_EQ(error, "the I/O window 0x8+0x20 overlaps another board's");
    config.ioBase = 0x10010;  // the port number keeps 16 bits of it
    ASSERT_EQ(T().AddBoard(config, &error), 1) << error;

    EXPECT_EQ(__inbyte(0x0004), 0x3B) << "the first board's switch register, 20 ports on from 0xfff0";
    __outword(0xFFF8, 0x1234);
    EXPECT_EQ(T().BoardAt(0).Range(), 0x34);
    __outbyte(0x0010 + 9, 0);
    EXPECT_EQ(T().BoardAt(1).StrobeCount(), 1u);
}

TEST_F(TargetTest, ActivationFailuresAreReportedAndLeaveNoActiveKey) {
    struct Case {
        const char* what;
        const WCHAR* value;
        const WCHAR* text;
    } cases[] = {
        {"no such library", TEXT("Dll"), TEXT("NOPE.dll")},
        {"no such prefix", TEXT("Prefix"), TEXT("XYZ")},
        {"a device key the driver cannot read", TEXT("DeviceNumber"), TEXT("text")},
    };
    for (const Case& c : cases) {
        target_ = std::make_unique<sim::Target>();
        cesim::ResetAll();
        ASSERT_EQ(T().AddBoard(), 0);
        sim::SetString(T().DeviceKey(0), c.value, c.text, REG_OPTION_VOLATILE);
        std::string error;
        EXPECT_FALSE(T().Activate(0, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_FALSE(T().IsActive(0)) << c.what;
        EXPECT_TRUE(sim::SubKeyNames(sim::ACTIVE_ROOT).empty()) << c.what;
        EXPECT_EQ(cesim::OpenKeyCount(), 0u) << c.what;
    }
}

TEST_F(TargetTest, StartupWatchTellsWhereSettingsCameFrom) {
    struct Case {
        const char* what;
        bool root, matching, restart;
        sim::SettingsOrigin origin;
        const WCHAR* source;
    } cases[] = {
        {"no root", false, false, false, sim::SettingsOrigin::Unchanged, TEXT("")},
        {"no match", true, false, false, sim::SettingsOrigin::Defaults, TEXT("")},
        {"template", true, true, false, sim::SettingsOrigin::Template, TEXT("Template0")},
        {"restart", true, true, true, sim::SettingsOrigin::DeviceKey, TEXT("Device000")},
    };
    for (const Case& c : cases) {
        target_ = std::make_unique<sim::Target>();
        cesim::ResetAll();
        if (c.root) sim::SetDword(Template0(), VALUE_SWITCH_ID_W, c.matching ? 0 : 4);
        if (c.restart) {
            ASSERT_EQ(T().AddBoard(), 0);
            ASSERT_TRUE(T().Activate(0));
            target_ = std::make_unique<sim::Target>();
        }
        ASSERT_EQ(T().AddBoard(), 0);
        sim::StartupWatch watch;
        ASSERT_TRUE(T().Activate(0)) << c.what;
        EXPECT_EQ(watch.Origin(), c.origin) << c.what;
        EXPECT_EQ(watch.Source(), c.source) << c.what;
    }
}

}  // namespace
