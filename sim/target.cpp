#include "target.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ceddk.h"
#include "module.h"

#ifndef AOC_TARGET_DIR
#define AOC_TARGET_DIR "target"
#endif

namespace sim {

const WString PCI_INSTANCE_ROOT = TEXT("Drivers\\BuiltIn\\PCI\\Instance");
const WString ACTIVE_ROOT = TEXT("Drivers\\Active");

namespace {

// PCI class of a data-acquisition board: signal processing, other.
const DWORD PCI_CLASS = 0x11;
const DWORD PCI_SUBCLASS = 0x80;
const DWORD PCI_REVISION = 1;
const int MAX_ACTIVE_KEYS = 99;  // two decimal digits

// "VQX6406S.dll" names the file VQX6406S plus the host's library suffix in the
// library folder; CE's file names ignore case, so the match does too.
WString LibraryBase(const WString& dll) {
    size_t slash = dll.find_last_of(TEXT("\\/"));
    WString base = slash == WString::npos ? dll : dll.substr(slash + 1);
    if (base.size() > 4 && EqualNoCase(base.substr(base.size() - 4), TEXT(".dll"))) base.resize(base.size() - 4);
    return base;
}

// The file of `dir` named `base` and `suffix`, in any letter case.
std::string FindFile(const std::string& dir, const WString& base, const char* suffix) {
    WString wanted = base + Widen(suffix);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        if (EqualNoCase(Widen(entry.path().filename().string()), wanted)) return entry.path().string();
    }
    return {};
}

std::string FindLibrary(const std::string& dir, const WString& dll) { return FindFile(dir, LibraryBase(dll), MODULE_SUFFIX); }

void Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
}

const DWORD PORT_COUNT = 0x10000;
const int NAME_INDEXES = 10;  // a prefix's devices are numbered 0 to 9
// The order the device manager hands out a prefix's indexes in.
const int NAME_ORDER[NAME_INDEXES] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0};

// The part of a board's window past port 0xFFFF, which the 16-bit port number
// carries on at port 0: its ports continue the board's offsets.
// Marks the indexes that these call names hold under the prefix.
void MarkUsed(const std::vector<WString>& names, const WString& prefix, bool (&used)[NAME_INDEXES]) {
    for (const WString& name : names) {
        if (name.size() == prefix.size() + 2 && EqualNoCase(name.substr(0, prefix.size()), prefix)) {
            used[name[prefix.size()] - TEXT('0')] = true;
        }
    }
}

class WindowTail : public cesim::IoDevice {
public:
    WindowTail(Board* board, DWORD offset) : board_(board), offset_(offset) {}
    DWORD ReadPort(DWORD offset, int width) override { return board_->ReadPort(offset_ + offset, width); }
    void WritePort(DWORD offset, int width, DWORD value) override { board_->WritePort(offset_ + offset, width, value); }

private:
    Board* board_;
    DWORD offset_;
};

}  // namespace

Target::Target(std::string libraryDir) : libraryDir_(std::move(libraryDir)) {
    if (libraryDir_.empty()) {
        const char* env = std::getenv("AOC_TARGET_DIR");
        libraryDir_ = env && *env ? env : AOC_TARGET_DIR;
    }
}

Target::~Target() {
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (IsActive(i)) Unload(i);
        for (cesim::IoDevice* part : slots_[i].attached) cesim::DetachIoDevice(part);
    }
}

bool Target::Attach(Slot& slot, std::string* error) {
    const BoardConfig& c = slot.config;
    if (!c.ioLength) return true;
    char window[64];
    std::snprintf(window, sizeof(window), "the I/O window %#x+%#x", c.ioBase, c.ioLength);
    if (c.ioLength > PORT_COUNT) {
        Fail(error, std::string(window) + " is longer than the 65536 ports there are");
        return false;
    }
    const DWORD first = c.ioBase % PORT_COUNT;
    const DWORD head = std::min(c.ioLength, PORT_COUNT - first);
    if (head < c.ioLength) slot.parts.push_back(std::make_unique<WindowTail>(slot.board.get(), head));
    struct Claim {
        cesim::IoDevice* device;
        DWORD port, count;
    } claims[] = {{slot.board.get(), first, head},
                  {slot.parts.empty() ? nullptr : slot.parts.back().get(), 0, c.ioLength - head}};
    for (const Claim& claim : claims) {
        if (!claim.device) continue;
        if (!cesim::AttachIoDevice(claim.device, claim.port, claim.count)) {
            for (cesim::IoDevice* part : slot.attached) cesim::DetachIoDevice(part);
            slot.attached.clear();
            Fail(error, std::string(window) + " overlaps another board's");
            return false;
        }
        slot.attached.push_back(claim.device);
    }
    return true;
}

int Target::AddBoard(const BoardConfig& config, std::string* error) {
    for (const Slot& s : slots_) {
        if (s.config.bus == config.bus && s.config.slot == config.slot) {
            Fail(error, "bus " + std::to_string(config.bus) + " slot " + std::to_string(config.slot) +
                            " holds a board already");
            return -1;
        }
    }
    Slot slot;
    slot.config = config;
    slot.board = std::make_unique<Board>(config.switchRegister);
    if (!Attach(slot, error)) return -1;
    int instance = 1;
    for (const Slot& s : slots_) instance += EqualNoCase(s.config.dll, config.dll) ? 1 : 0;
    std::string number = std::to_string(instance);
    slot.deviceKey = Join(PCI_INSTANCE_ROOT, LibraryBase(config.dll) + Widen(number));

    // The bus driver rebuilds its instance keys at every boot.
    CreateKey(PCI_INSTANCE_ROOT);
    DeleteKey(slot.deviceKey);
    const DWORD v = REG_OPTION_VOLATILE;
    const WString& key = slot.deviceKey;
    SetString(key, TEXT("Dll"), config.dll, v);
    SetString(key, TEXT("Prefix"), config.prefix, v);
    SetDword(key, TEXT("DeviceNumber"), config.slot, v);
    SetDword(key, TEXT("FunctionNumber"), config.function, v);
    SetDword(key, TEXT("InstanceIndex"), static_cast<DWORD>(instance), v);
    SetDword(key, TEXT("Class"), PCI_CLASS, v);
    SetDword(key, TEXT("SubClass"), PCI_SUBCLASS, v);
    SetDword(key, TEXT("ProgIF"), 0, v);
    SetDword(key, TEXT("VendorID"), config.vendorId, v);
    SetDword(key, TEXT("DeviceID"), config.deviceId, v);
    SetDword(key, TEXT("RevisionID"), PCI_REVISION, v);
    SetDword(key, TEXT("SubVendorID"), config.vendorId, v);
    SetDword(key, TEXT("SubSystemID"), config.subsystemId, v);
    SetDword(key, TEXT("BusNumber"), config.bus, v);
    SetDword(key, TEXT("InterfaceType"), PCIBus, v);
    if (config.ioLength) {
        SetDword(key, TEXT("IoBase"), config.ioBase, v);
        SetDword(key, TEXT("IoLen"), config.ioLength, v);
    }
    slots_.push_back(std::move(slot));
    return static_cast<int>(slots_.size() - 1);
}

int Target::NameIndex(const Slot& slot, const bool (&used)[NAME_INDEXES]) const {
    std::optional<DWORD> fixed = GetDword(slot.deviceKey, TEXT("Index"));
    if (fixed && *fixed < NAME_INDEXES) return static_cast<int>(*fixed);
    for (int i : NAME_ORDER) {
        if (!used[i]) return i;
    }
    return -1;
}

std::vector<WString> Target::PlannedCallNames() const {
    std::vector<WString> names(slots_.size());
    for (size_t i = 0; i < slots_.size(); ++i) names[i] = slots_[i].callName;
    for (size_t i = 0; i < slots_.size(); ++i) {
        const Slot& slot = slots_[i];
        if (!slot.activeKey.empty()) continue;
        bool used[NAME_INDEXES] = {};
        MarkUsed(names, slot.config.prefix, used);
        int index = NameIndex(slot, used);
        if (index >= 0) names[i] = slot.config.prefix + static_cast<WCHAR>(TEXT('0') + index) + TEXT(':');
    }
    return names;
}

WString Target::CreateActiveKey(size_t index, std::string* error) {
    Slot& slot = slots_.at(index);
    if (!slot.activeKey.empty()) return slot.activeKey;
    // CE names a prefix's devices with one digit: an eleventh is not loaded.
    std::vector<WString> names;
    for (const Slot& s : slots_) names.push_back(s.callName);
    bool used[NAME_INDEXES] = {};
    MarkUsed(names, slot.config.prefix, used);
    int nameIndex = NameIndex(slot, used);
    if (nameIndex < 0) {
        std::string prefix = Narrow(slot.config.prefix);
        Fail(error, "the device manager has no index left for " + prefix + " (" + prefix + "0: to " + prefix +
                        "9: are taken), so it does not load the board");
        return {};
    }
    if (used[nameIndex]) {
        // A fixed "Index" another board's name holds: the name is in use.
        Fail(error, "the device manager has " + Narrow(slot.config.prefix) + std::to_string(nameIndex) +
                        ": in use already, so it does not load the board");
        return {};
    }
    CreateKey(TEXT("Drivers"));
    CreateKey(ACTIVE_ROOT, REG_OPTION_VOLATILE);
    WString key;
    for (int n = 1; n <= MAX_ACTIVE_KEYS && key.empty(); ++n) {
        char digits[4];
        std::snprintf(digits, sizeof(digits), "%02d", n);
        WString candidate = Join(ACTIVE_ROOT, Widen(digits));
        if (!KeyExists(candidate)) key = candidate;
    }
    if (key.empty()) {
        Fail(error, "no free active key");
        return key;
    }
    slot.callName = slot.config.prefix + static_cast<WCHAR>(TEXT('0') + nameIndex) + TEXT(':');
    const DWORD v = REG_OPTION_VOLATILE;
    SetString(key, TEXT("Key"), slot.deviceKey, v);
    SetString(key, TEXT("Name"), slot.callName, v);
    SetDword(key, TEXT("Hnd"), nextHandle_++, v);
    slot.activeKey = key;
    return key;
}

bool Target::LoadLibrary(Slot& slot, std::string* error) {
    std::optional<WString> dll = GetString(slot.deviceKey, TEXT("Dll"));
    std::optional<WString> prefix = GetString(slot.deviceKey, TEXT("Prefix"));
    if (!dll || !prefix) {
        Fail(error, "the device key names no \"Dll\" or no \"Prefix\"");
        return false;
    }
    std::string path = FindLibrary(libraryDir_, *dll);
    if (path.empty()) {
        Fail(error, "no driver library for \"" + Narrow(*dll) + "\" in " + libraryDir_);
        return false;
    }
    Library& lib = libraries_[path];
    if (!lib.handle) {
        lib.handle = OpenModule(path, error);
        if (!lib.handle) {
            libraries_.erase(path);
            return false;
        }
    }
    ++lib.users;
    slot.libraryPath = path;
    std::string p = Narrow(*prefix);
    auto find = [&](const char* suffix) { return ModuleSymbol(lib.handle, (p + "_" + suffix).c_str()); };
    StreamEntries& e = slot.entries;
    e.Init = reinterpret_cast<decltype(e.Init)>(find("Init"));
    e.Deinit = reinterpret_cast<decltype(e.Deinit)>(find("Deinit"));
    e.Open = reinterpret_cast<decltype(e.Open)>(find("Open"));
    e.Close = reinterpret_cast<decltype(e.Close)>(find("Close"));
    e.Read = reinterpret_cast<decltype(e.Read)>(find("Read"));
    e.Write = reinterpret_cast<decltype(e.Write)>(find("Write"));
    e.Seek = reinterpret_cast<decltype(e.Seek)>(find("Seek"));
    e.IOControl = reinterpret_cast<decltype(e.IOControl)>(find("IOControl"));
    e.PowerUp = reinterpret_cast<decltype(e.PowerUp)>(find("PowerUp"));
    e.PowerDown = reinterpret_cast<decltype(e.PowerDown)>(find("PowerDown"));
    if (!e.Init || !e.Deinit) {
        Fail(error, path + " has no " + p + "_Init or " + p + "_Deinit");
        ReleaseLibrary(slot);
        return false;
    }
    return true;
}

void Target::ReleaseLibrary(Slot& slot) {
    auto it = libraries_.find(slot.libraryPath);
    slot.libraryPath.clear();
    slot.entries = StreamEntries{};
    if (it == libraries_.end() || --it->second.users > 0) return;
    CloseModule(it->second.handle);
    libraries_.erase(it);
}

void Target::RemoveActiveKey(Slot& slot) {
    if (!slot.activeKey.empty()) DeleteKey(slot.activeKey);
    slot.activeKey.clear();
    slot.callName.clear();
}

bool Target::Activate(size_t index, std::string* error) {
    Slot& slot = slots_.at(index);
    if (slot.context) {
        Fail(error, "the board is active already");
        return false;
    }
    if (CreateActiveKey(index, error).empty()) return false;
    if (!LoadLibrary(slot, error)) {
        RemoveActiveKey(slot);
        return false;
    }
    slot.context = slot.entries.Init(slot.activeKey.c_str(), nullptr);
    if (!slot.context) {
        Fail(error, Narrow(slot.config.prefix) + "_Init failed");
        RemoveActiveKey(slot);
        ReleaseLibrary(slot);
        return false;
    }
    // CreateActiveKey gave a name no active board holds.
    cesim::RegisterStreamDevice(slot.callName, slot.entries, slot.context);
    return true;
}

std::string Target::FindProgram(const std::string& name) const {
    WString base = Widen(name);
    if (base.size() > 4 && EqualNoCase(base.substr(base.size() - 4), TEXT(".exe"))) base.resize(base.size() - 4);
    return FindFile(libraryDir_, base, PROGRAM_SUFFIX);
}

int Target::FindByCallName(const WString& name) const {
    for (size_t i = 0; i < slots_.size(); ++i) {
        if (slots_[i].context && EqualNoCase(slots_[i].callName, name)) return static_cast<int>(i);
    }
    return -1;
}

const StreamEntries* Target::Entries(size_t index) const {
    const Slot& slot = slots_.at(index);
    return slot.context ? &slot.entries : nullptr;
}

DWORD_PTR Target::Open(size_t index, DWORD access, DWORD share) {
    const StreamEntries* e = Entries(index);
    return e && e->Open ? e->Open(slots_[index].context, access, share) : 0;
}

BOOL Target::Close(size_t index, DWORD_PTR handle) {
    const StreamEntries* e = Entries(index);
    return e && e->Close ? e->Close(handle) : FALSE;
}

BOOL Target::IoControl(size_t index, DWORD_PTR handle, DWORD code, BYTE* in, DWORD inLen, BYTE* out, DWORD outLen,
                       DWORD* actual) {
    const StreamEntries* e = Entries(index);
    return e && e->IOControl ? e->IOControl(handle, code, in, inLen, out, outLen, actual) : FALSE;
}

DWORD Target::Read(size_t index, DWORD_PTR handle, LPVOID buffer, DWORD count) {
    const StreamEntries* e = Entries(index);
    return e && e->Read ? e->Read(handle, buffer, count) : 0;
}

DWORD Target::Write(size_t index, DWORD_PTR handle, LPCVOID buffer, DWORD count) {
    const StreamEntries* e = Entries(index);
    return e && e->Write ? e->Write(handle, buffer, count) : 0;
}

DWORD Target::Seek(size_t index, DWORD_PTR handle, LONG amount, DWORD type) {
    const StreamEntries* e = Entries(index);
    return e && e->Seek ? e->Seek(handle, amount, type) : static_cast<DWORD>(-1);
}

bool Target::Unload(size_t index) {
    Slot& slot = slots_.at(index);
    if (!slot.context) return false;
    cesim::DeregisterStreamDevice(slot.callName);
    slot.entries.Deinit(slot.context);
    slot.context = 0;
    RemoveActiveKey(slot);
    ReleaseLibrary(slot);
    return true;
}

}  // namespace sim
