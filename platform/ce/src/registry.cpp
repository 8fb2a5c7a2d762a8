// The registry: in memory, one lock, Win32 error codes and buffer rules.
// Values keep their type and exact bytes; nothing is added or trimmed.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "internal.h"

namespace cesim {
namespace {

using detail::EqualNoCase;

const size_t MAX_KEY_NAME = 255;      // units, per path component
const size_t MAX_VALUE_NAME = 16383;  // units

struct Value {
    WString name;
    DWORD type;
    std::vector<BYTE> data;
};

struct Key {
    WString name;
    bool isVolatile = false;
    bool deleted = false;
    std::vector<std::shared_ptr<Key>> children;  // creation order
    std::vector<Value> values;                   // creation order
};

struct Handle {
    std::shared_ptr<Key> key;
    WString path;  // relative to the root, as the caller spelled it
};

std::mutex g_mutex;
std::shared_ptr<Key> g_roots[3];
std::unordered_map<uintptr_t, Handle> g_handles;
uintptr_t g_nextHandle = 0x1000;
EnumOrder g_order = EnumOrder::Creation;
RegistryObserver g_observer;

int RootIndex(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) return 0;
    if (key == HKEY_CURRENT_USER) return 1;
    if (key == HKEY_LOCAL_MACHINE) return 2;
    return -1;
}

void ResetLocked() {
    for (std::shared_ptr<Key>& root : g_roots) root = std::make_shared<Key>();
    g_handles.clear();
    g_order = EnumOrder::Creation;
}

bool Lookup(HKEY hKey, Handle& out) {
    if (!g_roots[0]) ResetLocked();
    int root = RootIndex(hKey);
    if (root >= 0) {
        out = Handle{g_roots[root], WString()};
        return true;
    }
    auto it = g_handles.find(reinterpret_cast<uintptr_t>(hKey));
    if (it == g_handles.end()) return false;
    out = it->second;
    return true;
}

HKEY NewHandle(std::shared_ptr<Key> key, WString path) {
    uintptr_t h = g_nextHandle;
    g_nextHandle += 4;
    g_handles[h] = Handle{std::move(key), std::move(path)};
    return reinterpret_cast<HKEY>(h);
}

WString Join(const WString& base, const WString& sub) {
    if (base.empty()) return sub;
    if (sub.empty()) return base;
    return base + TEXT('\\') + sub;
}

WString TextOf(const WCHAR* text) { return text ? WString(text) : WString(); }

// Path components of a sub-key argument; false for an empty or overlong one.
bool Split(const WString& path, std::vector<WString>& parts, LONG& error) {
    parts.clear();
    if (path.empty()) return true;
    size_t start = 0;
    for (;;) {
        size_t end = path.find(TEXT('\\'), start);
        WString part = path.substr(start, end == WString::npos ? WString::npos : end - start);
        if (part.empty()) {
            error = ERROR_BAD_PATHNAME;
            return false;
        }
        if (part.size() > MAX_KEY_NAME) {
            error = ERROR_INVALID_PARAMETER;
            return false;
        }
        parts.push_back(std::move(part));
        if (end == WString::npos) return true;
        start = end + 1;
    }
}

std::shared_ptr<Key> Child(const Key& key, const WString& name) {
    for (const std::shared_ptr<Key>& c : key.children) {
        if (EqualNoCase(c->name, name)) return c;
    }
    return nullptr;
}

Value* FindValue(Key& key, const WString& name) {
    for (Value& v : key.values) {
        if (EqualNoCase(v.name, name)) return &v;
    }
    return nullptr;
}

void MarkDeleted(Key& key) {
    key.deleted = true;
    for (std::shared_ptr<Key>& c : key.children) MarkDeleted(*c);
}

size_t OrderedIndex(size_t index, size_t count) {
    return g_order == EnumOrder::Reversed ? count - 1 - index : index;
}

// Win32 data rules: no buffer reports the size; a short buffer gets
// ERROR_MORE_DATA with the size needed and no bytes.
LONG CopyData(const Value& v, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    DWORD size = static_cast<DWORD>(v.data.size());
    if (lpType) *lpType = v.type;
    if (!lpData) {
        if (lpcbData) *lpcbData = size;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < size) {
        *lpcbData = size;
        return ERROR_MORE_DATA;
    }
    if (size) std::memcpy(lpData, v.data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
}

// Collects the event while the lock is held and reports it after the lock is
// released (declare it before the lock).
class Report {
public:
    explicit Report(Call call) { event_.call = call; }
    ~Report() {
        if (g_observer) g_observer(event_);
    }
    LONG Done(LONG result) {
        event_.result = result;
        return result;
    }
    RegistryEvent event_{};
};

bool Fails(Report& report, LONG& error) {
    return detail::TakeFault(report.event_.call, report.event_.key, report.event_.name, error);
}

// Resolves the key a call works on, records its path and lets a fault take
// the call.
LONG Begin(Report& report, HKEY hKey, Handle& h) {
    if (!Lookup(hKey, h)) return ERROR_INVALID_HANDLE;
    report.event_.key = h.path;
    if (h.key->deleted) return ERROR_KEY_DELETED;
    LONG error = ERROR_SUCCESS;
    Fails(report, error);
    return error;
}

// As Begin, for calls that name a sub-key path below hKey.
LONG BeginPath(Report& report, HKEY hKey, LPCWSTR lpSubKey, Handle& base, std::vector<WString>& parts) {
    if (!Lookup(hKey, base)) return ERROR_INVALID_HANDLE;
    if (base.key->deleted) return ERROR_KEY_DELETED;
    WString sub = TextOf(lpSubKey);
    report.event_.key = Join(base.path, sub);
    LONG error = ERROR_SUCCESS;
    if (Split(sub, parts, error)) Fails(report, error);
    return error;
}

}  // namespace

void SetEnumOrder(EnumOrder order) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_order = order;
}

EnumOrder GetEnumOrder() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_order;
}

void ResetRegistry() {
    std::lock_guard<std::mutex> lock(g_mutex);
    ResetLocked();
}

size_t OpenKeyCount() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_handles.size();
}

std::vector<WString> OpenKeyPaths() {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<WString> paths;
    for (const auto& h : g_handles) paths.push_back(h.second.path);
    return paths;
}

void SetRegistryObserver(RegistryObserver observer) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_observer = std::move(observer);
}

bool IsKeyVolatile(HKEY key) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Handle h;
    return Lookup(key, h) && h.key->isVolatile;
}

}  // namespace cesim

using namespace cesim;

CE_API LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
    Report report(Call::RegOpenKeyEx);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!phkResult) return report.Done(ERROR_INVALID_PARAMETER);
    *phkResult = nullptr;
    Handle base;
    std::vector<WString> parts;
    if (LONG error = BeginPath(report, hKey, lpSubKey, base, parts)) return report.Done(error);
    std::shared_ptr<Key> key = base.key;
    for (const WString& part : parts) {
        key = Child(*key, part);
        if (!key) return report.Done(ERROR_FILE_NOT_FOUND);
    }
    *phkResult = NewHandle(key, report.event_.key);
    return report.Done(ERROR_SUCCESS);
}

CE_API LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD dwOptions, REGSAM,
                            LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    Report report(Call::RegCreateKeyEx);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!phkResult) return report.Done(ERROR_INVALID_PARAMETER);
    *phkResult = nullptr;
    Handle base;
    std::vector<WString> parts;
    if (LONG error = BeginPath(report, hKey, lpSubKey, base, parts)) return report.Done(error);
    bool makeVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
    std::shared_ptr<Key> key = base.key;
    bool created = false;
    for (const WString& part : parts) {
        std::shared_ptr<Key> next = Child(*key, part);
        if (!next) {
            if (key->isVolatile && !makeVolatile) return report.Done(ERROR_CHILD_MUST_BE_VOLATILE);
            next = std::make_shared<Key>();
            next->name = part;
            next->isVolatile = makeVolatile;
            key->children.push_back(next);
            created = true;
        }
        key = next;
    }
    *phkResult = NewHandle(key, report.event_.key);
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return report.Done(ERROR_SUCCESS);
}

CE_API LONG RegCloseKey(HKEY hKey) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (RootIndex(hKey) >= 0) return ERROR_SUCCESS;
    return g_handles.erase(reinterpret_cast<uintptr_t>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

CE_API LONG RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcClass, LPDWORD, LPDWORD lpcSubKeys,
                             LPDWORD lpcMaxSubKeyLen, LPDWORD lpcMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcMaxValueNameLen, LPDWORD lpcMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
    Report report(Call::RegQueryInfoKey);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (lpClass && !lpcClass) return report.Done(ERROR_INVALID_PARAMETER);
    Handle h;
    if (LONG error = Begin(report, hKey, h)) return report.Done(error);
    const Key& key = *h.key;
    DWORD maxSub = 0, maxName = 0, maxData = 0;
    for (const auto& c : key.children) maxSub = std::max<DWORD>(maxSub, static_cast<DWORD>(c->name.size()));
    for (const Value& v : key.values) {
        maxName = std::max<DWORD>(maxName, static_cast<DWORD>(v.name.size()));
        maxData = std::max<DWORD>(maxData, static_cast<DWORD>(v.data.size()));
    }
    if (lpClass && *lpcClass) lpClass[0] = 0;
    if (lpcClass) *lpcClass = 0;
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key.children.size());
    if (lpcMaxSubKeyLen) *lpcMaxSubKeyLen = maxSub;
    if (lpcMaxClassLen) *lpcMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(key.values.size());
    if (lpcMaxValueNameLen) *lpcMaxValueNameLen = maxName;
    if (lpcMaxValueLen) *lpcMaxValueLen = maxData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    return report.Done(ERROR_SUCCESS);
}

CE_API LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcName, LPDWORD, LPWSTR lpClass,
                          LPDWORD lpcClass, PFILETIME lpftLastWriteTime) {
    Report report(Call::RegEnumKeyEx);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!lpName || !lpcName) return report.Done(ERROR_INVALID_PARAMETER);
    Handle h;
    if (LONG error = Begin(report, hKey, h)) return report.Done(error);
    const auto& children = h.key->children;
    if (dwIndex >= children.size()) return report.Done(ERROR_NO_MORE_ITEMS);
    const WString& name = children[OrderedIndex(dwIndex, children.size())]->name;
    // The count stays as it was when the name does not fit with its terminator.
    if (name.size() >= *lpcName) return report.Done(ERROR_MORE_DATA);
    std::memcpy(lpName, name.data(), name.size() * sizeof(WCHAR));
    lpName[name.size()] = 0;
    *lpcName = static_cast<DWORD>(name.size());
    if (lpClass && lpcClass && *lpcClass) lpClass[0] = 0;
    if (lpcClass) *lpcClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    report.event_.name = name;
    return report.Done(ERROR_SUCCESS);
}

CE_API LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcValueName, LPDWORD,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    Report report(Call::RegEnumValue);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!lpValueName || !lpcValueName || (lpData && !lpcbData)) return report.Done(ERROR_INVALID_PARAMETER);
    Handle h;
    if (LONG error = Begin(report, hKey, h)) return report.Done(error);
    const auto& values = h.key->values;
    if (dwIndex >= values.size()) return report.Done(ERROR_NO_MORE_ITEMS);
    const Value& v = values[dwIndex];
    if (v.name.size() >= *lpcValueName) return report.Done(ERROR_MORE_DATA);
    if (lpData && *lpcbData < v.data.size()) {
        *lpcbData = static_cast<DWORD>(v.data.size());
        return report.Done(ERROR_MORE_DATA);
    }
    std::memcpy(lpValueName, v.name.data(), v.name.size() * sizeof(WCHAR));
    lpValueName[v.name.size()] = 0;
    *lpcValueName = static_cast<DWORD>(v.name.size());
    report.event_.name = v.name;
    return report.Done(CopyData(v, lpType, lpData, lpcbData));
}

CE_API LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
    Report report(Call::RegQueryValueEx);
    std::lock_guard<std::mutex> lock(g_mutex);
    report.event_.name = TextOf(lpValueName);
    if (lpReserved || (lpData && !lpcbData)) return report.Done(ERROR_INVALID_PARAMETER);
    Handle h;
    if (LONG error = Begin(report, hKey, h)) return report.Done(error);
    const Value* v = FindValue(*h.key, report.event_.name);
    if (!v) return report.Done(ERROR_FILE_NOT_FOUND);
    return report.Done(CopyData(*v, lpType, lpData, lpcbData));
}

CE_API LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
    Report report(Call::RegSetValueEx);
    std::lock_guard<std::mutex> lock(g_mutex);
    report.event_.name = TextOf(lpValueName);
    if ((!lpData && cbData) || report.event_.name.size() > MAX_VALUE_NAME) {
        return report.Done(ERROR_INVALID_PARAMETER);
    }
    Handle h;
    if (LONG error = Begin(report, hKey, h)) return report.Done(error);
    std::vector<BYTE> data(lpData, lpData + cbData);
    if (Value* v = FindValue(*h.key, report.event_.name)) {
        v->type = dwType;
        v->data = std::move(data);
    } else {
        h.key->values.push_back(Value{report.event_.name, dwType, std::move(data)});
    }
    return report.Done(ERROR_SUCCESS);
}

CE_API LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    Report report(Call::RegDeleteKey);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!lpSubKey || !*lpSubKey) return report.Done(ERROR_INVALID_PARAMETER);
    Handle base;
    std::vector<WString> parts;
    if (LONG error = BeginPath(report, hKey, lpSubKey, base, parts)) return report.Done(error);
    std::shared_ptr<Key> parent = base.key;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        parent = Child(*parent, parts[i]);
        if (!parent) return report.Done(ERROR_FILE_NOT_FOUND);
    }
    auto& siblings = parent->children;
    for (auto it = siblings.begin(); it != siblings.end(); ++it) {
        if (EqualNoCase((*it)->name, parts.back())) {
            // CE deletes the whole subtree; handles still open on it see ERROR_KEY_DELETED.
            MarkDeleted(**it);
            siblings.erase(it);
            return report.Done(ERROR_SUCCESS);
        }
    }
    return report.Done(ERROR_FILE_NOT_FOUND);
}

CE_API LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    Report report(Call::RegDeleteValue);
    std::lock_guard<std::mutex> lock(g_mutex);
    report.event_.name = TextOf(lpValueName);
    Handle h;
    if (LONG error = Begin(report, hKey, h)) return report.Done(error);
    auto& values = h.key->values;
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (EqualNoCase(it->name, report.event_.name)) {
            values.erase(it);
            return report.Done(ERROR_SUCCESS);
        }
    }
    return report.Done(ERROR_FILE_NOT_FOUND);
}
