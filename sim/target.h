#pragma once
// The simulated target: PCI enumeration puts boards on the bus and writes
// their device keys; the device manager gives each an active key, loads the
// driver library its device key names, and forwards the stream calls.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "board.h"
#include "registry_util.h"

namespace sim {

struct BoardConfig {
    DWORD bus = 0;
    DWORD slot = 1;            // PCI device number
    DWORD function = 0;
    DWORD vendorId = 0x1F06;
    DWORD deviceId = 0x6406;
    DWORD subsystemId = 0;     // 0xA100 and above: the board has a board-ID switch
    DWORD ioBase = 0xD000;     // the board answers on ports (ioBase + n) modulo 65536
    DWORD ioLength = 0x20;     // 0: the board has no I/O window; at most 65536
    BYTE switchRegister = 0;   // what SWITCH_ID reads
    WString dll = TEXT("VQX6406S.dll");
    WString prefix = TEXT("AOC");
};

// The stream interface a driver library exports under its prefix.
typedef cesim::StreamEntries StreamEntries;

extern const WString PCI_INSTANCE_ROOT;  // Drivers\BuiltIn\PCI\Instance
extern const WString ACTIVE_ROOT;        // Drivers\Active

class Target {
public:
    // `libraryDir` holds the driver libraries; empty for the build's own
    // (or $AOC_TARGET_DIR when set).
    explicit Target(std::string libraryDir = "");
    ~Target();  // unloads every board and detaches it from the I/O space
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    // PCI enumeration: the board joins the I/O space (when it has a window)
    // and its device key is written. Returns the board's index, or -1 with
    // `error` when its slot holds a board already or its window overlaps
    // another's. A window that runs past port 0xFFFF goes on at port 0.
    int AddBoard(const BoardConfig& config = BoardConfig(), std::string* error = nullptr);
    size_t BoardCount() const { return slots_.size(); }
    Board& BoardAt(size_t index) { return *slots_.at(index).board; }
    const BoardConfig& ConfigAt(size_t index) const { return slots_.at(index).config; }
    const WString& DeviceKey(size_t index) const { return slots_.at(index).deviceKey; }

    // Device manager. CreateActiveKey is Activate's first step, apart so a test
    // can change the key before the driver reads it; empty with `error` when
    // the board's prefix has no free index (AOC0: to AOC9: all taken). Activate
    // then loads the library, calls its entry routine on first load and Init
    // with the active key's path, and makes the device reachable by its name
    // through CreateFileW. False with `error` when any step fails; a failed
    // Init leaves no active key behind.
    WString CreateActiveKey(size_t index, std::string* error = nullptr);
    bool Activate(size_t index, std::string* error = nullptr);
    bool IsActive(size_t index) const { return slots_.at(index).context != 0; }
    const WString& ActiveKey(size_t index) const { return slots_.at(index).activeKey; }
    // The "Name" the device manager gave the board, such as AOC1:.
    const WString& CallName(size_t index) const { return slots_.at(index).callName; }
    DWORD_PTR DeviceContext(size_t index) const { return slots_.at(index).context; }
    // The board whose active key bears this name, or -1.
    int FindByCallName(const WString& name) const;
    // The call name each board has, or would be given if the boards not yet
    // active were activated in order and all started; empty for a board whose
    // prefix would have no free index left.
    std::vector<WString> PlannedCallNames() const;

    DWORD_PTR Open(size_t index, DWORD access = 0, DWORD share = 0);
    BOOL Close(size_t index, DWORD_PTR handle);
    BOOL IoControl(size_t index, DWORD_PTR handle, DWORD code, BYTE* in, DWORD inLen, BYTE* out, DWORD outLen,
                   DWORD* actual);
    DWORD Read(size_t index, DWORD_PTR handle, LPVOID buffer, DWORD count);
    DWORD Write(size_t index, DWORD_PTR handle, LPCVOID buffer, DWORD count);
    DWORD Seek(size_t index, DWORD_PTR handle, LONG amount, DWORD type);
    const StreamEntries* Entries(size_t index) const;
    // The program file the target's folder holds under `name` ("aocctl" or
    // "aocctl.exe", in any letter case); empty when it holds none.
    std::string FindProgram(const std::string& name) const;
    // The driver library file the board's "Dll" value named.
    const std::string& LibraryPath(size_t index) const { return slots_.at(index).libraryPath; }
    // The name goes (once no call is inside the driver through it), then
    // Deinit, then the active key goes and the library is released.
    bool Unload(size_t index);

private:
    struct Library {
        void* handle = nullptr;
        int users = 0;
    };
    struct Slot {
        BoardConfig config;
        std::unique_ptr<Board> board;
        // What the I/O space holds of the board: itself, or the two parts of
        // a window that runs past port 0xFFFF.
        std::vector<std::unique_ptr<cesim::IoDevice>> parts;
        std::vector<cesim::IoDevice*> attached;
        WString deviceKey;
        WString activeKey;
        WString callName;
        std::string libraryPath;
        StreamEntries entries{};
        DWORD_PTR context = 0;
    };

    bool LoadLibrary(Slot& slot, std::string* error);
    void ReleaseLibrary(Slot& slot);
    void RemoveActiveKey(Slot& slot);
    bool Attach(Slot& slot, std::string* error);
    // The index a board of this slot gets, with `used` the indexes taken; -1
    // when none is free.
    int NameIndex(const Slot& slot, const bool (&used)[10]) const;

    std::string libraryDir_;
    std::vector<Slot> slots_;
    std::map<std::string, Library> libraries_;
    DWORD nextHandle_ = 0x1000;
};

}  // namespace sim
