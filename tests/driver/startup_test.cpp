#include "startup_fixture.h"

namespace startup_test {
namespace {

const char* const MINUS10_10 = "     0    10   -10     0     0";
const char* const FOUR_20MA = "     0     5     0    20     4";

const AoChannelSetting DEFAULT_RANGE = {0, 10, 0, 0, 0};

TEST_F(StartupTest, FirstStartOnAnEmptyRegistryTakesTemplateZero) {
    WriteTemplate("Template0", 0, {MINUS10_10, FOUR_20MA, MINUS10_10, "  2048     5    -5     0     0"});
    DeviceContext* d = Start(AddBoard());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->DeviceNumber, 0);
    EXPECT_EQ(d->BoardModelCode, 107u);
    EXPECT_EQ(d->SwitchID, 0u);
    EXPECT_EQ(d->OpenCount, 0);
    EXPECT_EQ(WString(d->CallName), TEXT("AOC1:"));
    EXPECT_EQ(d->BaseAddress, 0xD000u);
    EXPECT_EQ(d->IoPortCount, 0x20u);
    EXPECT_EQ(d->SlotNumber, 1u);
    EXPECT_EQ(d->InstanceIndex, 1u);
    EXPECT_EQ(d->InterfaceType, 5u);
    EXPECT_SETTING(d->Channels[0], Setting(0, 10, -10, 0, 0));
    EXPECT_SETTING(d->Channels[1], Setting(0, 5, 0, 20, 4));
    EXPECT_SETTING(d->Channels[3], Setting(2048, 5, -5, 0, 0));
    EXPECT_TRUE(sim::KeyExists(DriverKey(0)));
    EXPECT_TRUE(sim::KeyExists(DaqKey(0)));
}

TEST_F(StartupTest, PublishesBothKeysWithExactTypesSizesAndOrder) {
    WriteTemplate("Template0", 3, {MINUS10_10, FOUR_20MA, MINUS10_10, MINUS10_10});
    sim::BoardConfig config;
    config.subsystemId = 0xA100;
    config.switchRegister = 0x03;
    config.slot = 7;
    config.bus = 2;
    DeviceContext* d = Start(AddBoard(config));
    ASSERT_NE(d, nullptr);
    struct Row {
        const WCHAR* name;
        DWORD type, size;
    } rows[] = {
        {VALUE_BOARD_ID_W, REG_DWORD, 4},     {VALUE_DEVICE_NAME_W, REG_SZ, 100},  {VALUE_DRIVER_NAME_W, REG_SZ, 24},
        {VALUE_KERNEL_KEY_W, REG_SZ, 18},     {VALUE_BUS_NUMBER_W, REG_DWORD, 4},  {VALUE_SLOT_NUMBER_W, REG_DWORD, 4},
        {VALUE_ALLOW_CONFLICTS_W, REG_DWORD, 4}, {VALUE_INSTANCE_INDEX_W, REG_DWORD, 4},
        {VALUE_CALL_NAME_W, REG_SZ, 10},      {VALUE_SWITCH_ID_W, REG_DWORD, 4},   {VALUE_BASE_ADDRESS_W, REG_DWORD, 4},
        {VALUE_IO_PORT_COUNT_W, REG_DWORD, 4}, {TEXT("AOSettings 0"), REG_SZ, 80},      {TEXT("AOSettings 1"), REG_SZ, 80},
        {TEXT("AOSettings 2"), REG_SZ, 80},        {TEXT("AOSettings 3"), REG_SZ, 80},
    };
    auto check = [&](const WString& key, size_t count) {
        HKEY h = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, 0, &h), ERROR_SUCCESS);
        for (DWORD i = 0;; ++i) {
            WCHAR name[64];
            DWORD units = 64, type = 0, size = 0;
            if (RegEnumValueW(h, i, name, &units, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
                EXPECT_EQ(i, count) << "values of " << sim::Narrow(key);
                break;
            }
            ASSERT_LT(i, count) << "unexpected value " << sim::Narrow(name);
            EXPECT_EQ(WString(name), rows[i].name) << "value " << i;
            EXPECT_EQ(type, rows[i].type) << sim::Narrow(name);
            EXPECT_EQ(size, rows[i].size) << sim::Narrow(name);
        }
        RegCloseKey(h);
    };
    check(DriverKey(0), 16);
    check(DaqKey(0), 4);

    EXPECT_EQ(*sim::GetString(DriverKey(0), VALUE_DEVICE_NAME_W), TEXT("PCI-6406 SwitchID=3 I/O=d000H"));
    EXPECT_EQ(*sim::GetString(DaqKey(0), VALUE_DRIVER_NAME_W), TEXT("VQX6406.DLL"));
    EXPECT_EQ(*sim::GetString(DriverKey(0), VALUE_KERNEL_KEY_W), TEXT("VQX6406S"));
    EXPECT_EQ(*sim::GetString(DriverKey(0), VALUE_CALL_NAME_W), TEXT("AOC1:"));
    EXPECT_EQ(*sim::GetString(DriverKey(0), TEXT("AOSettings 1")), TEXT(" 0 5.00 0.00 20.00 4.00"));
    EXPECT_EQ(*sim::GetDword(DriverKey(0), VALUE_BOARD_ID_W), 107u);
    EXPECT_EQ(*sim::GetDword(DriverKey(0), VALUE_SLOT_NUMBER_W), 7u);
    EXPECT_EQ(*sim::GetDword(DriverKey(0), VALUE_BUS_NUMBER_W), 2u);
    EXPECT_EQ(*sim::GetDword(DriverKey(0), VALUE_ALLOW_CONFLICTS_W), 1u);
    EXPECT_EQ(*sim::GetDword(DriverKey(0), VALUE_SWITCH_ID_W), 3u);
    std::vector<BYTE> padded = sim::GetValue(DriverKey(0), VALUE_DEVICE_NAME_W)->data;
    EXPECT_TRUE(std::all_of(padded.begin() + 2 * 29, padded.end(), [](BYTE b) { return b == 0; }))
        << "the display name is zero-padded to its 100 bytes";
}

TEST_F(StartupTest, ASecondBoardInAnotherSlotGetsTheNextNumber) {
    WriteTemplate("Template0", 0, {MINUS10_10});
    sim::BoardConfig first, second;
    second.slot = 2;
    second.ioBase = 0xD100;
    ASSERT_NE(Start(AddBoard(first)), nullptr);
    DeviceContext* d = Start(AddBoard(second));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->DeviceNumber, 1);
    EXPECT_EQ(WString(d->CallName), TEXT("AOC2:"));
    EXPECT_EQ(*sim::GetDword(DriverKey(0), VALUE_SLOT_NUMBER_W), 1u) << "the first board's entry stays";
    EXPECT_EQ(*sim::GetDword(DriverKey(1), VALUE_SLOT_NUMBER_W), 2u);
}

TEST_F(StartupTest, ARestartKeepsTheNumberAndSettingsWhateverTheTemplatesSay) {
    WriteTemplate("Template0", 0, {MINUS10_10, MINUS10_10, MINUS10_10, MINUS10_10});
    sim::BoardConfig config;
    config.slot = 5;
    // Another driver's entry takes 0, so this board gets 1.
    sim::SetDword(DaqKey(0), VALUE_BOARD_ID_W, 55);
    DeviceContext* d = Start(AddBoard(config));
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->DeviceNumber, 1);
    Reboot();
    WriteTemplate("Template0", 0, {FOUR_20MA, FOUR_20MA, FOUR_20MA, FOUR_20MA});
    config.switchRegister = 0x09;  // a moved switch does not lose the entry
    config.subsystemId = 0xA200;
    d = Start(AddBoard(config));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->DeviceNumber, 1);
    EXPECT_EQ(d->SwitchID, 9u);
    for (const AoChannelSetting& s : d->Channels) EXPECT_SETTING(s, Setting(0, 10, -10, 0, 0));
    EXPECT_EQ(*sim::GetDword(DriverKey(1), VALUE_SWITCH_ID_W), 9u) << "republished at every start";
}

TEST_F(StartupTest, SwitchIsReadOnceAndOnlyWhereTheBoardHasOne) {
    struct Case {
        DWORD subsystem, ioLength;
        BYTE switchRegister;
        DWORD switchId;
        size_t reads;  // port accesses in all
    } cases[] = {
        {0xA100, 0x20, 0x3B, 11, 1}, {0xFFFF, 0x20, 0xF2, 2, 1}, {0xA0FF, 0x20, 0x3B, 0, 0},
        {0x0000, 0x20, 0x05, 0, 0},  {0xA100, 0, 0x3B, 0, 0},    {0xA100, 0x14, 0x3B, 0, 0},  // window ends before it
        {0xA100, 0x15, 0x0C, 12, 1},
    };
    for (const Case& c : cases) {
        Reboot();
        cesim::ResetAll();
        cesim::SetIoTrace(true);
        sim::BoardConfig config;
        config.subsystemId = c.subsystem;
        config.ioLength = c.ioLength;
        config.switchRegister = c.switchRegister;
        int board = AddBoard(config);
        DeviceContext* d = Start(board);
        cesim::SetIoTrace(false);
        std::vector<cesim::PortAccess> trace = cesim::TakeIoTrace();
        ASSERT_NE(d, nullptr);
        SCOPED_TRACE(testing::Message() << std::hex << "subsystem " << c.subsystem << " window " << c.ioLength);
        EXPECT_EQ(d->SwitchID, c.switchId);
        ASSERT_EQ(trace.size(), c.reads);
        if (c.reads) {
            EXPECT_EQ(trace[0].port, 0xD000 + 20);
            EXPECT_EQ(trace[0].width, 1);
            EXPECT_FALSE(trace[0].write);
        }
        EXPECT_FALSE(BoardAt(board).WroteAnyRegister()) << "start-up writes no register";
    }
}

TEST_F(StartupTest, ABoardWithoutAnIoWindowStillStartsAndPublishes) {
    sim::BoardConfig config;
    config.ioLength = 0;
    config.subsystemId = 0xA100;
    config.ioBase = 0;
    cesim::SetIoTrace(true);
    DeviceContext* d = Start(AddBoard(config));
    cesim::SetIoTrace(false);
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(cesim::TakeIoTrace().empty()) << "no port touched, at base 0 or anywhere";
    EXPECT_EQ(d->BaseAddress, 0u);
    EXPECT_EQ(d->IoPortCount, 0u);
    EXPECT_EQ(d->BusNumber, 0u);
    EXPECT_EQ(*sim::GetString(DriverKey(0), VALUE_DEVICE_NAME_W), TEXT("PCI-6406 SwitchID=0 I/O=0H"));
    EXPECT_EQ(*sim::GetDword(DriverKey(0), VALUE_IO_PORT_COUNT_W), 0u);
}

TEST_F(StartupTest, TheFirstMatchingTemplateInEnumerationOrderWins) {
    WriteTemplate("Template0", 2, {MINUS10_10});
    WriteTemplate("Template1", 2, {FOUR_20MA});
    WriteTemplate("Other", 2, {"     1     5    -5     0     0"});  // not a template key
    sim::BoardConfig config;
    config.subsystemId = 0xA100;
    config.switchRegister = 2;
    for (cesim::EnumOrder order : {cesim::EnumOrder::Creation, cesim::EnumOrder::Reversed}) {
        Reboot();
        sim::DeleteKey(DRIVER_SERVICE_KEY_W);
        sim::DeleteKey(DAQ_SERVICE_KEY_W);
        cesim::SetEnumOrder(order);
        DeviceContext* d = Start(AddBoard(config));
        ASSERT_NE(d, nullptr);
        EXPECT_SETTING(d->Channels[0], order == cesim::EnumOrder::Creation ? Setting(0, 10, -10, 0, 0)
                                                                           : Setting(0, 5, 0, 20, 4));
    }
}

TEST_F(StartupTest, TemplateTextsAndTheirGaps) {
    struct Case {
        const char* what;
        const char* key;
        std::vector<const char*> texts;
        AoChannelSetting expected[4];
    } cases[] = {
        {"no voltage range: 0..10 V, and no current maximum",
         "Template0",
         {"     0     0     0    20     4", "     0     0     0     0     4", "     7     0  0.5     0     0",
          "     0     0     0     0     0"},
         {{0, 10, 0, 0, 0}, {0, 10, 0, 0, 4}, {7, 10, 0, 0, 4}, {0, 10, 0, 0, 0}}},
        {"missing channels repeat the last one read",
         "Template0",
         {MINUS10_10, FOUR_20MA},
         {{0, 10, -10, 0, 0}, {0, 5, 0, 20, 4}, {0, 5, 0, 20, 4}, {0, 5, 0, 20, 4}}},
        {"a short text keeps the previous channel's later numbers",
         "MyTemplate",
         {"  2048    10   -10     0     0", "    12     5", "", "999999"},
         // A width of five takes "99999" (low 16 bits: 34463); the "9" left over is VoltageMax.
         {{2048, 10, -10, 0, 0}, {12, 5, -10, 0, 0}, {12, 5, -10, 0, 0}, {34463, 9, -10, 0, 0}}},
    };
    for (const Case& c : cases) {
        Reboot();
        cesim::ResetAll();
        WriteTemplate(c.key, 0, c.texts);
        DeviceContext* d = Start(AddBoard());
        ASSERT_NE(d, nullptr) << c.what;
        SCOPED_TRACE(c.what);
        for (int ch = 0; ch < 4; ++ch) EXPECT_SETTING(d->Channels[ch], c.expected[ch]);
    }
}

TEST_F(StartupTest, NoMatchingTemplateGivesDefaultsAndNoRootKeyGivesZeros) {
    struct Case {
        bool root;
        AoChannelSetting expected;
    } cases[] = {{true, DEFAULT_RANGE}, {false, {0, 0, 0, 0, 0}}};
    for (const Case& c : cases) {
        Reboot();
        cesim::ResetAll();
        if (c.root) WriteTemplate("Template0", 5, {FOUR_20MA});
        DeviceContext* d = Start(AddBoard());
        ASSERT_NE(d, nullptr);
        for (const AoChannelSetting& s : d->Channels) EXPECT_SETTING(s, c.expected);
    }
}

TEST_F(StartupTest, SwitchValuesOfTheWrongSizeDoNotMatch) {
    // The type is not checked; the size is: a number must be 4 bytes.
    struct Case {
        const char* what;
        DWORD type;
        std::vector<BYTE> bytes;
        bool matches;
    } cases[] = {
        {"dword", REG_DWORD, {2, 0, 0, 0}, true},
        {"binary of 4 bytes", REG_BINARY, {2, 0, 0, 0}, true},
        {"2 bytes", REG_DWORD, {2, 0}, false},
        {"8 bytes", REG_BINARY, {2, 0, 0, 0, 0, 0, 0, 0}, false},
        {"a text", REG_SZ, {'2', 0, 0, 0, 0, 0}, false},
    };
    sim::BoardConfig config;
    config.subsystemId = 0xA100;
    config.switchRegister = 2;
    for (const Case& c : cases) {
        Reboot();
        cesim::ResetAll();
        WriteTemplate("Template0", 0, {FOUR_20MA});
        sim::SetValue(TemplateKey("Template0"), VALUE_SWITCH_ID_W, c.type, c.bytes.data(), c.bytes.size());
        DeviceContext* d = Start(AddBoard(config));
        ASSERT_NE(d, nullptr);
        EXPECT_SETTING(d->Channels[0], c.matches ? Setting(0, 5, 0, 20, 4) : DEFAULT_RANGE) << c.what;
    }
}

TEST_F(StartupTest, ChannelTextsThatAreNotReadableTextsAreSkipped) {
    WriteTemplate("Template0", 0, {MINUS10_10, FOUR_20MA, FOUR_20MA, FOUR_20MA});
    DWORD number = 7;
    sim::SetValue(TemplateKey("Template0"), TEXT("AOSettings 1"), REG_DWORD, &number, 4);
    std::string longText(41, ' ');  // 84 bytes with its terminator: more than the 82 read
    longText[40] = '5';
    sim::SetString(TemplateKey("Template0"), TEXT("AOSettings 2"), W(longText.c_str()));
    WCHAR bare[41];
    for (WCHAR& c : bare) c = TEXT(' ');
    std::memcpy(bare, TEXT("     1     5    -5     0     0"), 30 * sizeof(WCHAR));
    sim::SetValue(TemplateKey("Template0"), TEXT("AOSettings 3"), REG_SZ, bare, sizeof(bare));  // 82 bytes, no terminator
    DeviceContext* d = Start(AddBoard());
    ASSERT_NE(d, nullptr);
    EXPECT_SETTING(d->Channels[1], Setting(0, 10, -10, 0, 0)) << "a dword is no text";
    EXPECT_SETTING(d->Channels[2], Setting(0, 10, -10, 0, 0)) << "too long to read";
    EXPECT_SETTING(d->Channels[3], Setting(1, 5, -5, 0, 0)) << "exactly the room read, unterminated";
}

TEST_F(StartupTest, DeviceNumbersAreTheLowestNoEntryHolds) {
    struct Case {
        const char* what;
        std::vector<std::string> names;
        BOOL ok;
        LONG number;
    } cases[] = {
        {"no key", {}, FALSE, 0},
        {"empty key", {"-"}, TRUE, 0},
        {"gap", {"Device000", "Device001", "Device003"}, TRUE, 2},
        {"out of range and odd names", {"Device255", "Device-3", "DeviceX", "device001", "MyDevice1"}, TRUE, 1},
        {"a long foreign name hides nothing", {std::string(90, 'Z'), "Device000"}, TRUE, 1},
    };
    for (const Case& c : cases) {
        cesim::ResetAll();
        for (const std::string& name : c.names) {
            sim::CreateKey(name == "-" ? WString(DAQ_SERVICE_KEY_W) : WString(DAQ_SERVICE_KEY_W) + TEXT('\\') + W(name.c_str()));
        }
        LONG number = -1;
        EXPECT_EQ(AllocateDeviceNumber(&number), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(number, c.number) << c.what;
        }
        EXPECT_EQ(cesim::OpenKeyCount(), 0u);
    }
    // DeviceX reads as 0 and takes 0; "device001" lacks the case-sensitive
    // "Device"; MyDevice1 reads from its seventh character, "ce1": 0 again.
}

TEST_F(StartupTest, WhenEveryNumberIsTakenTheBoardSharesDeviceZero) {
    for (int n = 0; n <= 254; ++n) sim::CreateKey(DaqKey(n));
    LONG number = -1;
    EXPECT_FALSE(AllocateDeviceNumber(&number));
    DeviceContext* d = Start(AddBoard());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->DeviceNumber, 0);
}

TEST_F(StartupTest, FindsOnlyCompleteEntriesOfThisBoard) {
    sim::BoardConfig config;
    config.slot = 4;
    config.bus = 1;
    auto entry = [](const WString& name, DWORD board, DWORD slot, DWORD bus, bool withSwitch) {
        WString key = WString(DRIVER_SERVICE_KEY_W) + TEXT('\\') + name;
        sim::SetDword(key, VALUE_BOARD_ID_W, board);
        sim::SetDword(key, VALUE_SLOT_NUMBER_W, slot);
        sim::SetDword(key, VALUE_BUS_NUMBER_W, bus);
        if (withSwitch) sim::SetDword(key, VALUE_SWITCH_ID_W, 15);
    };
    struct Case {
        const char* what;
        std::function<void()> setup;
        LONG number;
    } cases[] = {
        {"a match", [&] { entry(TEXT("Device009"), 107, 4, 1, true); }, 9},
        {"other slot", [&] { entry(TEXT("Device009"), 107, 3, 1, true); }, -1},
        {"other bus", [&] { entry(TEXT("Device009"), 107, 4, 0, true); }, -1},
        {"other model", [&] { entry(TEXT("Device009"), 108, 4, 1, true); }, -1},
        {"no SwitchID", [&] { entry(TEXT("Device009"), 107, 4, 1, false); }, -1},
        {"an empty SlotNumber after another entry",
         [&] {
             entry(TEXT("Device002"), 107, 4, 2, true);
             entry(TEXT("Device003"), 107, 4, 1, true);
             sim::SetValue(WString(DRIVER_SERVICE_KEY_W) + TEXT("\\Device003"), VALUE_SLOT_NUMBER_W, REG_DWORD, "", 0);
         },
         -1},
        {"number out of range", [&] { entry(TEXT("Device300"), 107, 4, 1, true); }, -1},
        {"the first of two", [&] {
             entry(TEXT("Device005"), 107, 4, 1, true);
             entry(TEXT("Device006"), 107, 4, 1, true);
         }, 5},
        {"a name longer than 31 units", [&] { entry(TEXT("Device007 and a long tail of text"), 107, 4, 1, true); }, -1},
    };
    for (const Case& c : cases) {
        cesim::ResetAll();
        c.setup();
        DeviceContext d = {};
        d.BoardModelCode = 107;
        d.SlotNumber = 4;
        d.BusNumber = 1;
        d.DeviceNumber = -1;
        FindDeviceEntry(&d);
        EXPECT_EQ(d.DeviceNumber, c.number) << c.what;
        EXPECT_EQ(cesim::OpenKeyCount(), 0u) << c.what;
    }
}

TEST_F(StartupTest, DeviceSettingsLoadUpToTheFirstMissingChannel) {
    DeviceContext* d = Start(AddBoard());
    ASSERT_NE(d, nullptr);
    WString key = DriverKey(d->DeviceNumber);
    sim::SetString(key, TEXT("AOSettings 0"), TEXT(" 2048 5.00 -5.00 0.00 0.00"));
    sim::SetString(key, TEXT("AOSettings 1"), TEXT(" 0 10.00 -10.00 0.00 0.00"));
    sim::DeleteValue(key, TEXT("AOSettings 2"));
    sim::SetString(key, TEXT("AOSettings 3"), TEXT(" 1 5.00 0.00 0.00 0.00"));
    for (AoChannelSetting& s : d->Channels) s = Setting(9, 1, 1, 1, 1);
    LoadDeviceSettings(d);
    EXPECT_EQ(cesim::OpenKeyCount(), 0u);
    EXPECT_SETTING(d->Channels[0], Setting(2048, 5, -5, 0, 0));
    EXPECT_SETTING(d->Channels[1], Setting(0, 10, -10, 0, 0)) << "-10.00 is cut after five characters";
    EXPECT_SETTING(d->Channels[2], Setting(9, 1, 1, 1, 1)) << "the missing channel and those after it stay";
    EXPECT_SETTING(d->Channels[3], Setting(9, 1, 1, 1, 1));
    sim::SetString(key, TEXT("AOSettings 2"), TEXT(" 0 0.00 0.00 0.00 0.00"));
    LoadDeviceSettings(d);
    EXPECT_SETTING(d->Channels[2], Setting(0, 0, 0, 0, 0)) << "no defaults when loading published zeros";
    EXPECT_SETTING(d->Channels[3], Setting(1, 5, 0, 0, 0));
}

TEST_F(StartupTest, CallNameTakesOnlyANameThatFits) {
    struct Case {
        const char* what;
        std::function<void(const WString&)> setName;
        const WCHAR* callName;
    } cases[] = {
        {"five characters", [](const WString& k) { sim::SetString(k, TEXT("Name"), TEXT("AOC9:")); }, TEXT("AOC9:")},
        {"shorter", [](const WString& k) { sim::SetString(k, TEXT("Name"), TEXT("A:")); }, TEXT("A:")},
        {"six characters", [](const WString& k) { sim::SetString(k, TEXT("Name"), TEXT("AOC10:")); }, TEXT("")},
        {"longer than the room read", [](const WString& k) { sim::SetString(k, TEXT("Name"), TEXT("AOC1:AOC1:AOC1:")); }, TEXT("")},
        {"missing", [](const WString& k) { sim::DeleteValue(k, TEXT("Name")); }, TEXT("")},
        {"not a text", [](const WString& k) { sim::SetDword(k, TEXT("Name"), 0x3A43); }, TEXT("")},
        {"five without a terminator",
         [](const WString& k) { sim::SetValue(k, TEXT("Name"), REG_SZ, TEXT("AOC7:"), 10, REG_OPTION_VOLATILE); }, TEXT("AOC7:")},
    };
    for (const Case& c : cases) {
        Reboot();
        cesim::ResetAll();
        int board = AddBoard();
        WString active = target_->CreateActiveKey(board);
        c.setName(active);
        DeviceContext* d = Start(board);
        ASSERT_NE(d, nullptr) << c.what;
        EXPECT_EQ(WString(d->CallName), c.callName) << c.what;
        std::optional<sim::RegValue> published = sim::GetValue(DriverKey(0), VALUE_CALL_NAME_W);
        ASSERT_TRUE(published) << c.what;
        EXPECT_EQ(published->data.size(), 10u) << c.what;
    }
}

}  // namespace
}  // namespace startup_test
