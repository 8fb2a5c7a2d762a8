#pragma once
// Registry access by path for the simulator, its tools and the tests. Paths
// are under HKEY_LOCAL_MACHINE.
#include <ce_sim.h>

#include <optional>
#include <string>
#include <vector>

namespace sim {

using cesim::WString;

struct RegValue {
    DWORD type;
    std::vector<BYTE> data;
};

// Creates the key (and its parents) as needed.
bool SetValue(const WString& key, const WString& name, DWORD type, const void* data, size_t bytes,
              DWORD options = REG_OPTION_NON_VOLATILE);
bool SetDword(const WString& key, const WString& name, DWORD value, DWORD options = REG_OPTION_NON_VOLATILE);
// REG_SZ of the text and its terminator.
bool SetString(const WString& key, const WString& name, const WString& text, DWORD options = REG_OPTION_NON_VOLATILE);

std::optional<RegValue> GetValue(const WString& key, const WString& name);
std::optional<DWORD> GetDword(const WString& key, const WString& name);  // exactly 4 bytes
// The text up to its first zero unit.
std::optional<WString> GetString(const WString& key, const WString& name);

bool KeyExists(const WString& key);
bool CreateKey(const WString& key, DWORD options = REG_OPTION_NON_VOLATILE);
bool DeleteKey(const WString& key);  // with its subtree
bool DeleteValue(const WString& key, const WString& name);
std::vector<WString> SubKeyNames(const WString& key);  // in enumeration order

// 8-bit text to UTF-16 and back, one unit per byte (Latin-1).
WString Widen(const std::string& text);
std::string Narrow(const WString& text);
WString Join(const WString& key, const WString& sub);
// Registry names compare without regard to ASCII letter case.
bool StartsWithNoCase(const WString& text, const WString& prefix);
bool EqualNoCase(const WString& a, const WString& b);

}  // namespace sim
