#include "registry_util.h"

namespace sim {

namespace {

HKEY OpenKey(const WString& key) {
    HKEY h = nullptr;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS ? h : nullptr;
}

}  // namespace

bool SetValue(const WString& key, const WString& name, DWORD type, const void* data, size_t bytes, DWORD options) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, options, KEY_WRITE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    LONG status = RegSetValueExW(h, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes));
    RegCloseKey(h);
    return status == ERROR_SUCCESS;
}

bool SetDword(const WString& key, const WString& name, DWORD value, DWORD options) {
    return SetValue(key, name, REG_DWORD, &value, sizeof(value), options);
}

bool SetString(const WString& key, const WString& name, const WString& text, DWORD options) {
    return SetValue(key, name, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(WCHAR), options);
}

std::optional<RegValue> GetValue(const WString& key, const WString& name) {
    HKEY h = OpenKey(key);
    if (!h) return std::nullopt;
    RegValue value{};
    DWORD size = 0;
    LONG status = RegQueryValueExW(h, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.data.resize(size);
        status = RegQueryValueExW(h, name.c_str(), nullptr, &value.type, value.data.data(), &size);
        value.data.resize(size);
    }
    RegCloseKey(h);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value;
}

std::optional<DWORD> GetDword(const WString& key, const WString& name) {
    std::optional<RegValue> v = GetValue(key, name);
    if (!v || v->data.size() != sizeof(DWORD)) return std::nullopt;
    DWORD out = 0;
    for (int i = 3; i >= 0; --i) out = (out << 8) | v->data[i];
    return out;
}

std::optional<WString> GetString(const WString& key, const WString& name) {
    std::optional<RegValue> v = GetValue(key, name);
    if (!v) return std::nullopt;
    WString text;
    for (size_t i = 0; i + 1 < v->data.size(); i += 2) {
        WCHAR c = static_cast<WCHAR>(v->data[i] | (v->data[i + 1] << 8));
        if (!c) break;
        text.push_back(c);
    }
    return text;
}

bool KeyExists(const WString& key) {
    HKEY h = OpenKey(key);
    if (h) RegCloseKey(h);
    return h != nullptr;
}

bool CreateKey(const WString& key, DWORD options) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, options, KEY_WRITE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

bool DeleteKey(const WString& key) { return RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str()) == ERROR_SUCCESS; }

bool DeleteValue(const WString& key, const WString& name) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_WRITE, &h) != ERROR_SUCCESS) return false;
    LONG status = RegDeleteValueW(h, name.c_str());
    RegCloseKey(h);
    return status == ERROR_SUCCESS;
}

std::vector<WString> SubKeyNames(const WString& key) {
    std::vector<WString> names;
    HKEY h = OpenKey(key);
    if (!h) return names;
    WCHAR name[256];
    for (DWORD i = 0;; ++i) {
        DWORD units = 256;
        if (RegEnumKeyExW(h, i, name, &units, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, units);
    }
    RegCloseKey(h);
    return names;
}

WString Widen(const std::string& text) {
    WString out;
    for (unsigned char c : text) out.push_back(static_cast<WCHAR>(c));
    return out;
}

std::string Narrow(const WString& text) {
    std::string out;
    for (WCHAR c : text) out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return out;
}

WString Join(const WString& key, const WString& sub) { return key.empty() ? sub : key + TEXT('\\') + sub; }

namespace {
WCHAR UpperAscii(WCHAR c) { return c >= TEXT('a') && c <= TEXT('z') ? static_cast<WCHAR>(c - 0x20) : c; }
}  // namespace

bool StartsWithNoCase(const WString& text, const WString& prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (UpperAscii(text[i]) != UpperAscii(prefix[i])) return false;
    }
    return true;
}

bool EqualNoCase(const WString& a, const WString& b) { return a.size() == b.size() && StartsWithNoCase(a, b); }

}  // namespace sim
