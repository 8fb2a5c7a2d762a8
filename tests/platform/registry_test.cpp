#include <gtest/gtest.h>

#include <cstring>

#include "ce_sim.h"

namespace {

using cesim::WString;

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { cesim::ResetAll(); }
    void TearDown() override {
        EXPECT_EQ(cesim::OpenKeyCount(), 0u) << "a test left a key open";
        cesim::ResetAll();
    }

    static HKEY Create(const WCHAR* path, DWORD options = REG_OPTION_NON_VOLATILE, DWORD* disposition = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, options, 0, nullptr, &key, disposition),
                  ERROR_SUCCESS);
        return key;
    }
    static void Make(const WCHAR* path) { RegCloseKey(Create(path)); }
    static LONG Open(const WCHAR* path, HKEY& key) { return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &key); }

    static std::vector<WString> SubKeys(HKEY key) {
        std::vector<WString> names;
        WCHAR name[256];
        for (DWORD i = 0;; ++i) {
            DWORD n = 256;
            if (RegEnumKeyExW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.emplace_back(name, n);
        }
        return names;
    }
};

TEST_F(RegistryTest, KeysOpenWithoutRegardToCaseAndCountHandles) {
    DWORD disposition = 0;
    HKEY created = Create(TEXT("Drivers\\BuiltIn\\PCI"), REG_OPTION_NON_VOLATILE, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    HKEY again = Create(TEXT("DRIVERS\\builtin"), REG_OPTION_NON_VOLATILE, &disposition);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExW(again, TEXT("pci"), 0, 0, &opened), ERROR_SUCCESS);
    EXPECT_EQ(cesim::OpenKeyCount(), 3u);
    std::vector<WString> paths = cesim::OpenKeyPaths();
    EXPECT_NE(std::find(paths.begin(), paths.end(), WString(TEXT("DRIVERS\\builtin\\pci"))), paths.end());
    for (HKEY k : {created, again, opened}) EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(opened), ERROR_INVALID_HANDLE) << "closed twice";
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryTest, OpenAndCreateReportWin32Errors) {
    Make(TEXT("A\\B"));
    HKEY key = reinterpret_cast<HKEY>(1);
    struct Case {
        const WCHAR* path;
        LONG expected;
    } cases[] = {
        {TEXT("A\\C"), ERROR_FILE_NOT_FOUND}, {TEXT("A\\\\B"), ERROR_BAD_PATHNAME}, {TEXT("\\A"), ERROR_BAD_PATHNAME},
        {TEXT("A\\B\\"), ERROR_BAD_PATHNAME},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Open(c.path, key), c.expected);
        EXPECT_EQ(key, nullptr) << "the result is cleared on failure";
    }
    WString tooLong(256, TEXT('x'));
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, tooLong.c_str(), 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("A"), 0, 0, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegOpenKeyExW(reinterpret_cast<HKEY>(0x4444), TEXT("A"), 0, 0, &key), ERROR_INVALID_HANDLE);
    ASSERT_EQ(Open(nullptr, key), ERROR_SUCCESS) << "no sub-key opens the key itself";
    RegCloseKey(key);
}

TEST_F(RegistryTest, ValuesKeepTypeAndExactBytes) {
    HKEY key = Create(TEXT("K"));
    // A text padded with zero units, and one without its terminator: the
    // registry neither trims nor adds.
    WCHAR padded[50] = TEXT("PCI-6406 I/O=d000H");
    const WCHAR bare[5] = {TEXT('A'), TEXT('O'), TEXT('C'), TEXT('1'), TEXT(':')};
    BYTE odd[3] = {1, 2, 3};
    ASSERT_EQ(RegSetValueExW(key, TEXT("DeviceName"), 0, REG_SZ, reinterpret_cast<BYTE*>(padded), 100), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, TEXT("CallName"), 0, REG_SZ, reinterpret_cast<const BYTE*>(bare), 10), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, TEXT("Odd"), 0, REG_DWORD, odd, 3), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    struct Case {
        const WCHAR* name;
        DWORD type, size;
        const void* bytes;
    } cases[] = {
        {TEXT("devicename"), REG_SZ, 100, padded}, {TEXT("CallName"), REG_SZ, 10, bare},
        {TEXT("Odd"), REG_DWORD, 3, odd},          {TEXT(""), REG_BINARY, 0, nullptr},
    };
    for (const Case& c : cases) {
        BYTE got[128];
        std::memset(got, 0xEE, sizeof(got));
        DWORD type = 0, size = sizeof(got);
        ASSERT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, got, &size), ERROR_SUCCESS);
        EXPECT_EQ(type, c.type);
        ASSERT_EQ(size, c.size);
        if (size) {
            EXPECT_EQ(std::memcmp(got, c.bytes, size), 0);
        }
        EXPECT_EQ(got[size], 0xEE) << "nothing written past the value";
    }
    RegCloseKey(key);
}

TEST_F(RegistryTest, QueryFollowsTheWin32BufferRules) {
    HKEY key = Create(TEXT("K"));
    DWORD word = 0x12345678;
    RegSetValueExW(key, TEXT("W"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&word), 4);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("W"), nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u) << "no buffer: the size needed";
    BYTE small[3] = {9, 9, 9};
    size = 3;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("W"), nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(small[0], 9) << "a short buffer receives nothing";
    EXPECT_EQ(RegQueryValueExW(key, TEXT("W"), nullptr, &type, small, nullptr), ERROR_INVALID_PARAMETER);
    size = 4;
    EXPECT_EQ(RegQueryValueExW(key, TEXT("Missing"), nullptr, &type, small, &size), ERROR_FILE_NOT_FOUND);
    DWORD other = 7;
    RegSetValueExW(key, TEXT("Second"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&other), 4);
    RegSetValueExW(key, TEXT("w"), 0, REG_BINARY, small, 1);
    WCHAR name[16];
    DWORD n = 16;
    size = 0;
    ASSERT_EQ(RegEnumValueW(key, 0, name, &n, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(WString(name), TEXT("W")) << "an overwritten value keeps its place and its first spelling";
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 1u);
    RegCloseKey(key);
}

TEST_F(RegistryTest, SubKeysEnumerateInTheSelectedOrder) {
    for (const WCHAR* name : {TEXT("T\\Template1"), TEXT("T\\Second"), TEXT("T\\Template0")}) Make(name);
    HKEY key = nullptr;
    ASSERT_EQ(Open(TEXT("T"), key), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(key), (std::vector<WString>{TEXT("Template1"), TEXT("Second"), TEXT("Template0")}));
    cesim::SetEnumOrder(cesim::EnumOrder::Reversed);
    EXPECT_EQ(SubKeys(key), (std::vector<WString>{TEXT("Template0"), TEXT("Second"), TEXT("Template1")}));
    WCHAR name[16];
    DWORD n = 16;
    EXPECT_EQ(RegEnumKeyExW(key, 3, name, &n, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

// Deletions leave the survivors in creation order, each still found by name
// in any case; a name deleted and made again comes last.
TEST_F(RegistryTest, DeletionsKeepTheOthersInOrderAndFindable) {
    HKEY key = Create(TEXT("T"));
    DWORD v = 1;
    for (const WCHAR* name : {TEXT("A"), TEXT("B"), TEXT("C"), TEXT("D"), TEXT("E")}) {
        RegCloseKey(Create((WString(TEXT("T\\")) + name).c_str()));
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4);
    }
    for (const WCHAR* name : {TEXT("b"), TEXT("D")}) {
        EXPECT_EQ(RegDeleteKeyW(key, name), ERROR_SUCCESS);
        EXPECT_EQ(RegDeleteValueW(key, name), ERROR_SUCCESS);
    }
    EXPECT_EQ(SubKeys(key), (std::vector<WString>{TEXT("A"), TEXT("C"), TEXT("E")}));
    HKEY found = nullptr;
    ASSERT_EQ(RegOpenKeyExW(key, TEXT("e"), 0, 0, &found), ERROR_SUCCESS) << "found after the holes closed";
    RegCloseKey(found);
    EXPECT_EQ(RegDeleteKeyW(key, TEXT("A")), ERROR_SUCCESS);
    RegCloseKey(Create(TEXT("T\\B")));
    EXPECT_EQ(SubKeys(key), (std::vector<WString>{TEXT("C"), TEXT("E"), TEXT("B")}));
    RegSetValueExW(key, TEXT("B"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4);
    std::vector<WString> values;
    for (DWORD i = 0;; ++i) {
        WCHAR name[8];
        DWORD n = 8;
        if (RegEnumValueW(key, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        values.emplace_back(name, n);
    }
    EXPECT_EQ(values, (std::vector<WString>{TEXT("A"), TEXT("C"), TEXT("E"), TEXT("B")}));
    DWORD subKeys = 0, count = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
    EXPECT_EQ(subKeys, 3u);
    EXPECT_EQ(count, 4u);
    RegCloseKey(key);
}

// A tree far deeper than any stack could follow key by key: built through a
// chain of handles, walked, deleted with handles still open inside it, and
// reset.
TEST_F(RegistryTest, DepthIsBoundedByMemoryNotByTheStack) {
    const int depth = 100000;
    std::vector<HKEY> chain;
    HKEY key = HKEY_LOCAL_MACHINE;
    for (int level = 0; level < depth; ++level) {
        HKEY next = nullptr;
        ASSERT_EQ(RegCreateKeyExW(key, TEXT("k"), 0, nullptr, 0, 0, nullptr, &next, nullptr), ERROR_SUCCESS);
        chain.push_back(next);
        key = next;
    }
    for (size_t i = 0; i + 1 < chain.size(); ++i) RegCloseKey(chain[i]);
    WString seen;
    cesim::SetRegistryObserver([&](const cesim::RegistryEvent& e) { seen = e.key; });
    DWORD size = 0;
    RegQueryValueExW(chain.back(), TEXT("X"), nullptr, nullptr, nullptr, &size);
    cesim::SetRegistryObserver(nullptr);
    EXPECT_EQ(seen.size(), 2u * depth - 1) << "the deepest handle's path names every level";
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("k")), ERROR_SUCCESS);
    DWORD v = 1;
    EXPECT_EQ(RegSetValueExW(chain.back(), TEXT("X"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(chain.back()), ERROR_SUCCESS);

    WString path = TEXT("k");
    for (int level = 1; level < depth; ++level) path += TEXT("\\k");
    RegCloseKey(Create(path.c_str()));
    cesim::ResetRegistry();  // takes the whole tree with it
}

TEST_F(RegistryTest, EnumerationNeedsRoomForTheTerminator) {
    Make(TEXT("T\\Device000"));  // nine units
    HKEY key = nullptr;
    ASSERT_EQ(Open(TEXT("T"), key), ERROR_SUCCESS);
    struct Case {
        DWORD room;
        LONG expected;
        DWORD countAfter;
    } cases[] = {{10, ERROR_SUCCESS, 9}, {9, ERROR_MORE_DATA, 9}, {1, ERROR_MORE_DATA, 1}, {0, ERROR_MORE_DATA, 0}};
    for (const Case& c : cases) {
        WCHAR name[16];
        std::fill(std::begin(name), std::end(name), TEXT('#'));
        DWORD n = c.room;
        EXPECT_EQ(RegEnumKeyExW(key, 0, name, &n, nullptr, nullptr, nullptr, nullptr), c.expected) << c.room;
        EXPECT_EQ(n, c.countAfter) << c.room;
        if (c.expected != ERROR_SUCCESS) {
            EXPECT_EQ(name[0], TEXT('#')) << "nothing copied";
        }
    }
    DWORD n = 10;
    EXPECT_EQ(RegEnumKeyExW(key, 0, nullptr, &n, nullptr, nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryTest, QueryInfoCountsSubKeysAndValues) {
    Make(TEXT("K\\Short"));
    Make(TEXT("K\\LongerName"));
    HKEY key = Create(TEXT("K"));
    BYTE data[40] = {};
    RegSetValueExW(key, TEXT("Value"), 0, REG_BINARY, data, 40);
    RegSetValueExW(key, TEXT("V"), 0, REG_BINARY, data, 2);
    DWORD subKeys = 0, maxSub = 0, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &values, &maxName,
                               &maxData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 2u);
    EXPECT_EQ(maxSub, 10u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxName, 5u);
    EXPECT_EQ(maxData, 40u);
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingAKeyTakesItsSubtreeAndOrphansItsHandles) {
    Make(TEXT("A\\B\\C"));
    HKEY inner = nullptr;
    ASSERT_EQ(Open(TEXT("A\\B\\C"), inner), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("a\\b")), ERROR_SUCCESS);
    HKEY key = nullptr;
    EXPECT_EQ(Open(TEXT("A\\B"), key), ERROR_FILE_NOT_FOUND);
    DWORD v = 1;
    EXPECT_EQ(RegSetValueExW(inner, TEXT("X"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(inner), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("A\\B")), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("")), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(Open(TEXT("A"), key), ERROR_SUCCESS);
    RegSetValueExW(key, TEXT("X"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4);
    EXPECT_EQ(RegDeleteValueW(key, TEXT("x")), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, TEXT("X")), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryTest, VolatileKeysHoldOnlyVolatileChildren) {
    HKEY drivers = Create(TEXT("Drivers"));
    HKEY active = Create(TEXT("Drivers\\Active"), REG_OPTION_VOLATILE);
    EXPECT_TRUE(cesim::IsKeyVolatile(active));
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExW(active, TEXT("01"), 0, nullptr, REG_OPTION_NON_VOLATILE, 0, nullptr, &child, nullptr),
              ERROR_CHILD_MUST_BE_VOLATILE);
    EXPECT_EQ(RegCreateKeyExW(active, TEXT("01"), 0, nullptr, REG_OPTION_VOLATILE, 0, nullptr, &child, nullptr),
              ERROR_SUCCESS);
    EXPECT_FALSE(cesim::IsKeyVolatile(drivers));
    HKEY fresh = Create(TEXT("Fresh\\Deep"), REG_OPTION_VOLATILE);
    HKEY parent = nullptr;
    ASSERT_EQ(Open(TEXT("Fresh"), parent), ERROR_SUCCESS);
    EXPECT_TRUE(cesim::IsKeyVolatile(parent)) << "every key the call creates is volatile";
    for (HKEY k : {active, child, drivers, fresh, parent}) RegCloseKey(k);
}

TEST_F(RegistryTest, FaultsPickCallsByKeyPathAndValueName) {
    HKEY key = Create(TEXT("SYSTEM\\Services\\X"));
    DWORD v = 5, size = 4;
    RegSetValueExW(key, TEXT("BoardID"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4);
    RegSetValueExW(key, TEXT("SlotNumber"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&v), 4);
    cesim::InjectFault(cesim::Fault(cesim::Call::RegQueryValueEx, ERROR_ACCESS_DENIED)
                           .Key(TEXT("system\\services\\x"))
                           .Value(TEXT("SLOTNUMBER"))
                           .Times(0));
    cesim::InjectFault(cesim::Fault(cesim::Call::RegOpenKeyEx, ERROR_FILE_NOT_FOUND).Key(TEXT("SYSTEM\\Services")));
    EXPECT_EQ(RegQueryValueExW(key, TEXT("BoardID"), nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size),
              ERROR_SUCCESS);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(RegQueryValueExW(key, TEXT("SlotNumber"), nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size),
                  ERROR_ACCESS_DENIED);
    }
    HKEY other = nullptr;
    EXPECT_EQ(Open(TEXT("SYSTEM\\Services\\X"), other), ERROR_SUCCESS) << "another path";
    RegCloseKey(other);
    EXPECT_EQ(Open(TEXT("SYSTEM\\Services"), other), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Open(TEXT("SYSTEM\\Services"), other), ERROR_SUCCESS);
    RegCloseKey(other);
    EXPECT_EQ(cesim::FaultsDelivered(), 3u);
    RegCloseKey(key);
}

TEST_F(RegistryTest, ObserverSeesEachCallWithItsResult) {
    Make(TEXT("T\\Template0"));
    std::vector<cesim::RegistryEvent> events;
    cesim::SetRegistryObserver([&](const cesim::RegistryEvent& e) { events.push_back(e); });
    HKEY key = nullptr;
    ASSERT_EQ(Open(TEXT("T"), key), ERROR_SUCCESS);
    WCHAR name[16];
    DWORD n = 16;
    RegEnumKeyExW(key, 0, name, &n, nullptr, nullptr, nullptr, nullptr);
    DWORD size = 0;
    RegQueryValueExW(key, TEXT("SwitchID"), nullptr, nullptr, nullptr, &size);
    RegCloseKey(key);
    cesim::SetRegistryObserver(nullptr);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].call, cesim::Call::RegOpenKeyEx);
    EXPECT_EQ(events[0].key, TEXT("T"));
    EXPECT_EQ(events[1].name, TEXT("Template0"));
    EXPECT_EQ(events[2].name, TEXT("SwitchID"));
    EXPECT_EQ(events[2].result, ERROR_FILE_NOT_FOUND);
}

}  // namespace
