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

// A name as Win32 compares it: by its upper-case form.
WString Fold(const WString& name) {
    WString folded(name);
    for (WCHAR& c : folded) c = detail::UpcaseUnit(c);
    return folded;
}

// Members in creation order, found by name without regard to case. A removal
// leaves a hole that the next access by position closes, so that removing
// many members one by one, and enumerating, stay linear in their number.
template <class Ptr>
class NamedList {
public:
    Ptr* Find(const WString& name) {
        auto it = index_.find(Fold(name));
        return it == index_.end() ? nullptr : &items_[it->second];
    }
    // The name must not be in the list yet.
    void Add(Ptr item) {
        index_.emplace(Fold(item->name), items_.size());
        items_.push_back(std::move(item));
    }
    Ptr Remove(const WString& name) {
        auto it = index_.find(Fold(name));
        if (it == index_.end()) return Ptr();
        Ptr item = std::move(items_[it->second]);
        index_.erase(it);
        ++holes_;
        return item;
    }
    size_t Size() const { return items_.size() - holes_; }
    Ptr& At(size_t position) {
        Compact();
        return items_[position];
    }
    template <class F>
    void ForEach(F f) const {
        for (const Ptr& item : items_) {
            if (item) f(*item);
        }
    }
    std::vector<Ptr> TakeAll() {
        std::vector<Ptr> items;
        items.swap(items_);
        index_.clear();
        holes_ = 0;
        return items;
    }

private:
    void Compact() {
        if (!holes_) return;
        size_t kept = 0;
        for (Ptr& item : items_) {
            if (!item) continue;
            if (&item != &items_[kept]) {
                items_[kept] = std::move(item);
                index_[Fold(items_[kept]->name)] = kept;
            }
            ++kept;
        }
        items_.resize(kept);
        holes_ = 0;
    }

    std::vector<Ptr> items_;
    std::unordered_map<WString, size_t> index_;
    size_t holes_ = 0;
};

struct Value {
    WString name;
    DWORD type;
    std::vector<BYTE> data;
};

struct Key {
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    // A subtree goes key by key, so its depth cannot exhaust the stack. A key
    // a handle still holds goes with the handle's last reference instead.
    ~Key() {
        std::vector<std::shared_ptr<Key>> doomed = children.TakeAll();
        while (!doomed.empty()) {
            std::shared_ptr<Key> key = std::move(doomed.back());
            doomed.pop_back();
            if (!key || key.use_count() != 1) continue;
            for (std::shared_ptr<Key>& child : key->children.TakeAll()) doomed.push_back(std::move(child));
        }
    }

    WString name;
    bool isVolatile = false;
    bool deleted = false;
    NamedList<std::shared_ptr<Key>> children;
    NamedList<std::unique_ptr<Value>> values;
};

// A handle's path relative to its root, as the callers spelled it: each
// handle opened below another shares the other's path, so that a chain of
// handles down a deep tree costs one node each. The text is put together only
// for whoever asks (the observer, an injected fault, OpenKeyPaths).
struct PathNode {
    PathNode(std::shared_ptr<PathNode> p, WString s) : parent(std::move(p)), sub(std::move(s)) {}
    PathNode(const PathNode&) = delete;
    PathNode& operator=(const PathNode&) = delete;
    ~PathNode() {
        std::shared_ptr<PathNode> next = std::move(parent);
        while (next && next.use_count() == 1) {
            std::shared_ptr<PathNode> after = std::move(next->parent);
            next = std::move(after);
        }
    }

    std::shared_ptr<PathNode> parent;
    WString sub;
};

WString PathText(const std::shared_ptr<PathNode>& path) {
    std::vector<const WString*> parts;
    size_t units = 0;
    for (const PathNode* node = path.get(); node; node = node->parent.get()) {
        if (node->sub.empty()) continue;
        parts.push_back(&node->sub);
        units += node->sub.size() + 1;
    }
    WString text;
    text.reserve(units);
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
        if (!text.empty()) text += TEXT('\\');
        text += **it;
    }
    return text;
}

struct Handle {
    std::shared_ptr<Key> key;
    std::shared_ptr<PathNode> path;  // null for a root
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
        out = Handle{g_roots[root], nullptr};
        return true;
    }
    auto it = g_handles.find(reinterpret_cast<uintptr_t>(hKey));
    if (it == g_handles.end()) return false;
    out = it->second;
    return true;
}

HKEY NewHandle(std::shared_ptr<Key> key, std::shared_ptr<PathNode> path) {
    uintptr_t h = g_nextHandle;
    g_nextHandle += 4;
    g_handles[h] = Handle{std::move(key), std::move(path)};
    return reinterpret_cast<HKEY>(h);
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

std::shared_ptr<Key> Child(Key& key, const WString& name) {
    std::shared_ptr<Key>* child = key.children.Find(name);
    return child ? *child : nullptr;
}

Value* FindValue(Key& key, const WString& name) {
    std::unique_ptr<Value>* value = key.values.Find(name);
    return value ? value->get() : nullptr;
}

void MarkDeleted(Key& top) {
    std::vector<Key*> pending = {&top};
    while (!pending.empty()) {
        Key* key = pending.back();
        pending.pop_back();
        key->deleted = true;
        key->children.ForEach([&](Key& child) { pending.push_back(&child); });
    }
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
    // Read without the lock, as the observer is installed only while no
    // other thread is in the registry.
    explicit Report(Call call) : observed_(g_observer) { event_.call = call; }
    ~Report() {
        if (observed_) observed_(event_);
    }
    LONG Done(LONG result) {
        event_.result = result;
        return result;
    }
    // Whether anyone looks at the event's key path; called with the lock held.
    bool Wanted() const { return observed_ || detail::FaultsArmed(); }
    RegistryEvent event_{};

private:
    RegistryObserver observed_;
};

bool Fails(Report& report, LONG& error) {
    return detail::TakeFault(report.event_.call, report.event_.key, report.event_.name, error);
}

// Resolves the key a call works on, records its path and lets a fault take
// the call.
LONG Begin(Report& report, HKEY hKey, Handle& h) {
    if (!Lookup(hKey, h)) return ERROR_INVALID_HANDLE;
    bool wanted = report.Wanted();
    if (wanted) report.event_.key = PathText(h.path);
    if (h.key->deleted) return ERROR_KEY_DELETED;
    LONG error = ERROR_SUCCESS;
    if (wanted) Fails(report, error);
    return error;
}

// As Begin, for calls that name a sub-key path below hKey; `path` receives
// the path of the key they name.
LONG BeginPath(Report& report, HKEY hKey, LPCWSTR lpSubKey, Handle& base, std::vector<WString>& parts,
               std::shared_ptr<PathNode>& path) {
    if (!Lookup(hKey, base)) return ERROR_INVALID_HANDLE;
    if (base.key->deleted) return ERROR_KEY_DELETED;
    WString sub = TextOf(lpSubKey);
    bool wanted = report.Wanted();
    if (wanted) {
        WString prefix = PathText(base.path);
        report.event_.key = prefix.empty() ? sub : sub.empty() ? prefix : prefix + TEXT('\\') + sub;
    }
    LONG error = ERROR_SUCCESS;
    if (Split(sub, parts, error) && wanted) Fails(report, error);
    path = sub.empty() ? base.path : std::make_shared<PathNode>(base.path, std::move(sub));
    return error;
}

// RegOpenKeyExW, and with `create` RegCreateKeyExW, which makes the keys of
// the path that are missing.
LONG OpenPath(Call call, HKEY hKey, LPCWSTR lpSubKey, bool create, DWORD dwOptions, PHKEY phkResult,
              LPDWORD lpdwDisposition) {
    Report report(call);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!phkResult) return report.Done(ERROR_INVALID_PARAMETER);
    *phkResult = nullptr;
    Handle base;
    std::vector<WString> parts;
    std::shared_ptr<PathNode> path;
    if (LONG error = BeginPath(report, hKey, lpSubKey, base, parts, path)) return report.Done(error);
    bool makeVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
    std::shared_ptr<Key> key = base.key;
    bool created = false;
    for (WString& part : parts) {
        std::shared_ptr<Key> next = Child(*key, part);
        if (!next) {
            if (!create) return report.Done(ERROR_FILE_NOT_FOUND);
            if (key->isVolatile && !makeVolatile) return report.Done(ERROR_CHILD_MUST_BE_VOLATILE);
            next = std::make_shared<Key>();
            next->name = std::move(part);
            next->isVolatile = makeVolatile;
            key->children.Add(next);
            created = true;
        }
        key = std::move(next);
    }
    *phkResult = NewHandle(key, std::move(path));
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return report.Done(ERROR_SUCCESS);
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
    for (const auto& h : g_handles) paths.push_back(PathText(h.second.path));
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
    return OpenPath(Call::RegOpenKeyEx, hKey, lpSubKey, false, 0, phkResult, nullptr);
}

CE_API LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD dwOptions, REGSAM,
                            LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
    return OpenPath(Call::RegCreateKeyEx, hKey, lpSubKey, true, dwOptions, phkResult, lpdwDisposition);
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
    key.children.ForEach([&](const Key& c) { maxSub = std::max<DWORD>(maxSub, static_cast<DWORD>(c.name.size())); });
    key.values.ForEach([&](const Value& v) {
        maxName = std::max<DWORD>(maxName, static_cast<DWORD>(v.name.size()));
        maxData = std::max<DWORD>(maxData, static_cast<DWORD>(v.data.size()));
    });
    if (lpClass && *lpcClass) lpClass[0] = 0;
    if (lpcClass) *lpcClass = 0;
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key.children.Size());
    if (lpcMaxSubKeyLen) *lpcMaxSubKeyLen = maxSub;
    if (lpcMaxClassLen) *lpcMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(key.values.Size());
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
    auto& children = h.key->children;
    if (dwIndex >= children.Size()) return report.Done(ERROR_NO_MORE_ITEMS);
    const WString& name = children.At(OrderedIndex(dwIndex, children.Size()))->name;
    // The count stays as it was when the name does not fit with its terminator.
    if (name.size() >= *lpcName) return report.Done(ERROR_MORE_DATA);
    std::memcpy(lpName, name.data(), name.size() * sizeof(WCHAR));
    lpName[name.size()] = 0;
    *lpcName = static_cast<DWORD>(name.size());
    if (lpClass && lpcClass && *lpcClass) lpClass[0] = 0;
    if (lpcClass) *lpcClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
    if (report.Wanted()) report.event_.name = name;
    return report.Done(ERROR_SUCCESS);
}

CE_API LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcValueName, LPDWORD,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    Report report(Call::RegEnumValue);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!lpValueName || !lpcValueName || (lpData && !lpcbData)) return report.Done(ERROR_INVALID_PARAMETER);
    Handle h;
    if (LONG error = Begin(report, hKey, h)) return report.Done(error);
    auto& values = h.key->values;
    if (dwIndex >= values.Size()) return report.Done(ERROR_NO_MORE_ITEMS);
    const Value& v = *values.At(dwIndex);
    if (v.name.size() >= *lpcValueName) return report.Done(ERROR_MORE_DATA);
    if (lpData && *lpcbData < v.data.size()) {
        *lpcbData = static_cast<DWORD>(v.data.size());
        return report.Done(ERROR_MORE_DATA);
    }
    std::memcpy(lpValueName, v.name.data(), v.name.size() * sizeof(WCHAR));
    lpValueName[v.name.size()] = 0;
    *lpcValueName = static_cast<DWORD>(v.name.size());
    if (report.Wanted()) report.event_.name = v.name;
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
        h.key->values.Add(std::make_unique<Value>(Value{report.event_.name, dwType, std::move(data)}));
    }
    return report.Done(ERROR_SUCCESS);
}

CE_API LONG RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    Report report(Call::RegDeleteKey);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!lpSubKey || !*lpSubKey) return report.Done(ERROR_INVALID_PARAMETER);
    Handle base;
    std::vector<WString> parts;
    std::shared_ptr<PathNode> path;
    if (LONG error = BeginPath(report, hKey, lpSubKey, base, parts, path)) return report.Done(error);
    std::shared_ptr<Key> parent = base.key;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        parent = Child(*parent, parts[i]);
        if (!parent) return report.Done(ERROR_FILE_NOT_FOUND);
    }
    std::shared_ptr<Key> doomed = parent->children.Remove(parts.back());
    if (!doomed) return report.Done(ERROR_FILE_NOT_FOUND);
    // CE deletes the whole subtree; handles still open on it see ERROR_KEY_DELETED.
    MarkDeleted(*doomed);
    return report.Done(ERROR_SUCCESS);
}

CE_API LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    Report report(Call::RegDeleteValue);
    std::lock_guard<std::mutex> lock(g_mutex);
    report.event_.name = TextOf(lpValueName);
    Handle h;
    if (LONG error = Begin(report, hKey, h)) return report.Done(error);
    return report.Done(h.key->values.Remove(report.event_.name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
}
