#include <gtest/gtest.h>

#include <cstring>

#include "ce_sim.h"
#include "ceddk.h"

namespace {

using cesim::WString;

class DdkTest : public ::testing::Test {
public:
    void SetUp() override {
        cesim::ResetAll();
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("Drivers\\BuiltIn\\PCI\\Instance\\B1"), 0, nullptr, 0, 0,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key);
        EXPECT_EQ(cesim::OpenKeyCount(), 0u);
        cesim::ResetAll();
    }

    void Dword(const WCHAR* name, DWORD v) {
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4);
    }
    void Text(const WCHAR* name, const WString& text, DWORD type = REG_SZ) {
        RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    }
    // A multi-string from texts separated by '|'.
    void Multi(const WCHAR* name, const WString& list) {
        WString data = list;
        for (WCHAR& c : data) {
            if (c == TEXT('|')) c = 0;
        }
        data.push_back(0);
        RegSetValueExW(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(WCHAR)));
    }
    void Identity() {
        Dword(TEXT("DeviceNumber"), 9);
        Dword(TEXT("FunctionNumber"), 0);
        Dword(TEXT("InstanceIndex"), 2);
    }

    HKEY key = nullptr;
};

TEST_F(DdkTest, PciInfoChecksItsParameters) {
    Identity();
    DDKPCIINFO info;
    info.cbSize = 51;
    EXPECT_EQ(DDKReg_GetPciInfo(key, &info), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    info.cbSize = sizeof(info);
    EXPECT_EQ(DDKReg_GetPciInfo(nullptr, &info), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(DDKReg_GetPciInfo(key, nullptr), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(DdkTest, PciInfoReadsTheIdentityAndSetsABitPerIdentifier) {
    Identity();
    Dword(TEXT("VendorID"), 0x1F06);
    Dword(TEXT("SubSystemID"), 0xA100);
    DDKPCIINFO info;
    std::memset(&info, 0xAB, sizeof(info));
    info.cbSize = sizeof(info);
    ASSERT_EQ(DDKReg_GetPciInfo(key, &info), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(info.dwDeviceNumber, 9u);
    EXPECT_EQ(info.dwInstanceIndex, 2u);
    EXPECT_EQ(info.dwWhichIds, static_cast<DWORD>(PCIIDM_VENDORID | PCIIDM_SUBSYSTEMID));
    EXPECT_EQ(info.idVals[PCIID_SUBSYSTEMID], 0xA100u);
    EXPECT_EQ(info.idVals[PCIID_DEVICEID], 0u) << "the record is zeroed first";
}

TEST_F(DdkTest, PciInfoFailures) {
    struct Case {
        const char* what;
        std::function<void(DdkTest&)> setup;
        DWORD expected;
    } cases[] = {
        {"no identity", [](DdkTest&) {}, ERROR_FILE_NOT_FOUND},
        {"instance missing", [](DdkTest& t) { t.Dword(TEXT("DeviceNumber"), 1); t.Dword(TEXT("FunctionNumber"), 0); },
         ERROR_FILE_NOT_FOUND},
        {"number as text", [](DdkTest& t) { t.Identity(); t.Text(TEXT("DeviceNumber"), TEXT("9")); }, ERROR_INVALID_DATA},
        {"identifier as text", [](DdkTest& t) { t.Identity(); t.Text(TEXT("SubSystemID"), TEXT("A100")); },
         ERROR_INVALID_DATA},
        {"identifier as long text", [](DdkTest& t) { t.Identity(); t.Text(TEXT("Class"), TEXT("long enough")); },
         ERROR_INVALID_DATA},
    };
    for (const Case& c : cases) {
        RegCloseKey(key);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("Drivers"));
        SetUp();
        c.setup(*this);
        DDKPCIINFO info = {};
        info.cbSize = sizeof(info);
        EXPECT_EQ(DDKReg_GetPciInfo(key, &info), c.expected) << c.what;
    }
}

TEST_F(DdkTest, UnreadableIdentifierCountsAsAbsent) {
    Identity();
    Dword(TEXT("SubSystemID"), 0xA100);
    cesim::InjectFault(cesim::Fault(cesim::Call::RegQueryValueEx, ERROR_ACCESS_DENIED).Value(TEXT("SubSystemID")));
    DDKPCIINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_EQ(DDKReg_GetPciInfo(key, &info), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(info.dwWhichIds & PCIIDM_SUBSYSTEMID, 0u);
}

TEST_F(DdkTest, WindowInfoForms) {
    struct Case {
        const char* what;
        std::function<void(DdkTest&)> setup;
        DWORD expected;
        DWORD ioCount, firstBase, firstLen, memCount;
    } cases[] = {
        {"nothing", [](DdkTest&) {}, ERROR_SUCCESS, 0, 0, 0, 0},
        {"one dword window", [](DdkTest& t) { t.Dword(TEXT("IoBase"), 0xD000); t.Dword(TEXT("IoLen"), 0x20); },
         ERROR_SUCCESS, 1, 0xD000, 0x20, 0},
        {"lists",
         [](DdkTest& t) { t.Multi(TEXT("IoBase"), TEXT("d000|0xE000")); t.Multi(TEXT("IoLen"), TEXT("20|40")); },
         ERROR_SUCCESS, 2, 0xD000, 0x20, 0},
        {"seven in a list",
         [](DdkTest& t) { t.Multi(TEXT("IoBase"), TEXT("1|2|3|4|5|6|7")); t.Multi(TEXT("IoLen"), TEXT("1|2|3|4|5|6|7")); },
         ERROR_SUCCESS, 6, 1, 1, 0},
        {"counts differ", [](DdkTest& t) { t.Multi(TEXT("IoBase"), TEXT("d000|e000")); t.Multi(TEXT("IoLen"), TEXT("20")); },
         ERROR_INVALID_DATA, 0, 0, 0, 0},
        {"base without length", [](DdkTest& t) { t.Dword(TEXT("IoBase"), 0xD000); }, ERROR_INVALID_DATA, 0, 0, 0, 0},
        {"types differ", [](DdkTest& t) { t.Dword(TEXT("IoBase"), 0xD000); t.Multi(TEXT("IoLen"), TEXT("20")); },
         ERROR_INVALID_DATA, 0, 0, 0, 0},
        {"memory broken", [](DdkTest& t) { t.Dword(TEXT("MemBase"), 1); t.Dword(TEXT("IoBase"), 1); t.Dword(TEXT("IoLen"), 1); },
         ERROR_INVALID_DATA, 0, 0, 0, 0},
        {"memory and io",
         [](DdkTest& t) {
             t.Dword(TEXT("MemBase"), 0xFE000000); t.Dword(TEXT("MemLen"), 0x1000);
             t.Dword(TEXT("IoBase"), 0xD000); t.Dword(TEXT("IoLen"), 0x20);
         },
         ERROR_SUCCESS, 1, 0xD000, 0x20, 1},
    };
    for (const Case& c : cases) {
        RegCloseKey(key);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("Drivers"));
        SetUp();
        c.setup(*this);
        DDKWINDOWINFO info;
        std::memset(&info, 0xAB, sizeof(info));
        info.cbSize = sizeof(info);
        ASSERT_EQ(DDKReg_GetWindowInfo(key, &info), c.expected) << c.what;
        if (c.expected != ERROR_SUCCESS) continue;
        EXPECT_EQ(info.dwNumIoWindows, c.ioCount) << c.what;
        EXPECT_EQ(info.dwNumMemWindows, c.memCount) << c.what;
        EXPECT_EQ(info.ioWindows[0].dwBase, c.firstBase) << c.what;
        EXPECT_EQ(info.ioWindows[0].dwLen, c.firstLen) << c.what;
        EXPECT_EQ(info.dwInterfaceType, InterfaceTypeUndefined) << c.what;
    }
}

TEST_F(DdkTest, WindowInfoTakesBusAndInterfaceWhenPresent) {
    Dword(TEXT("BusNumber"), 3);
    Dword(TEXT("InterfaceType"), PCIBus);
    DDKWINDOWINFO info = {};
    info.cbSize = sizeof(info);
    ASSERT_EQ(DDKReg_GetWindowInfo(key, &info), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(info.dwBusNumber, 3u);
    EXPECT_EQ(info.dwInterfaceType, static_cast<DWORD>(PCIBus));
    info.cbSize = 115;
    EXPECT_EQ(DDKReg_GetWindowInfo(key, &info), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(DdkTest, OpenDeviceKeyFollowsTheActiveKey) {
    HKEY active = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, TEXT("Drivers\\Active\\01"), 0, nullptr, REG_OPTION_VOLATILE, 0,
                              nullptr, &active, nullptr),
              ERROR_SUCCESS);
    WString path = TEXT("Drivers\\BuiltIn\\PCI\\Instance\\B1");
    RegSetValueExW(active, TEXT("Key"), 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>((path.size() + 1) * 2));
    RegCloseKey(active);
    HKEY device = OpenDeviceKey(TEXT("Drivers\\Active\\01"));
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(cesim::OpenKeyCount(), 2u) << "the fixture's key and the device key; the active key is closed";
    RegCloseKey(device);

    struct Case {
        const WCHAR* activeKey;
        DWORD error;
    } cases[] = {{TEXT("Drivers\\Active\\02"), ERROR_FILE_NOT_FOUND}, {nullptr, ERROR_INVALID_PARAMETER}};
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(OpenDeviceKey(c.activeKey), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("Drivers\\BuiltIn\\PCI\\Instance\\B1"));
    SetLastError(0);
    EXPECT_EQ(OpenDeviceKey(TEXT("Drivers\\Active\\01")), nullptr) << "the device key is gone";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
