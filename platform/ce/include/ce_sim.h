#pragma once
// Hooks of the Windows CE stand-in for the simulator and the tests: failure
// injection, the heap and lock counters, the caller address space, the devices
// of the I/O space and registry inspection. The driver never includes this.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// On Windows coredll.def exports the platform's functions; these hooks export
// themselves.
#if !defined(_WIN32)
#define CE_SIM_API
#elif defined(CE_BUILDING_COREDLL)
#define CE_SIM_API __declspec(dllexport)
#else
#define CE_SIM_API __declspec(dllimport)
#endif

namespace cesim {

typedef std::basic_string<WCHAR> WString;

// Clears every fault, the caller address space, the registry (back to three
// empty roots, creation order) and the registry observer. Devices attached to
// the I/O space stay attached.
CE_SIM_API void ResetAll();

// ---- Failure injection --------------------------------------------------------

enum class Call {
    RegOpenKeyEx,
    RegCreateKeyEx,
    RegQueryInfoKey,
    RegEnumKeyEx,
    RegEnumValue,
    RegQueryValueEx,
    RegSetValueEx,
    RegDeleteKey,
    RegDeleteValue,
    LocalAlloc,
    MapCallerPtr,
};

// A call matches when it is `call`, its key path equals `key` and its value
// name equals `value` (both without regard to case; empty matches any). The
// key path is the key the call opens, creates, deletes or reads, relative to
// its root and without the root's name: "SYSTEM\CurrentControlSet\Services".
// The first `skip` matching calls go through; the next `times` fail with
// `error` (0 for all later ones). A failing registry call returns `error`;
// LocalAlloc returns NULL with `error` as the thread's last error; MapCallerPtr
// returns NULL.
struct Fault {
    explicit Fault(Call c, LONG e = ERROR_INVALID_PARAMETER) : call(c), error(e) {}
    Fault& Key(WString path) { key = std::move(path); return *this; }
    Fault& Value(WString name) { value = std::move(name); return *this; }
    Fault& Skip(unsigned n) { skip = n; return *this; }
    Fault& Times(unsigned n) { times = n; return *this; }

    Call call;
    LONG error;
    WString key;
    WString value;
    unsigned skip = 0;
    unsigned times = 1;
};
CE_SIM_API void InjectFault(const Fault& fault);
CE_SIM_API void ClearFaults();
// Failures delivered since the last ClearFaults.
CE_SIM_API unsigned FaultsDelivered();

// ---- Kernel -------------------------------------------------------------------

CE_SIM_API size_t LiveLocalAllocations();
CE_SIM_API size_t LiveCriticalSections();
// Whether the calling thread holds the critical section.
CE_SIM_API bool IsCriticalSectionOwned(const CRITICAL_SECTION* section);
CE_SIM_API bool ThreadLibraryCallsDisabled(HMODULE module);

// ---- Caller address space -----------------------------------------------------
// Buffers of a simulated calling process. Each gets a 32-bit caller address;
// MapCallerPtr turns an address range that lies wholly inside one registered
// buffer into a pointer to the buffer. Regions are spaced apart, so running
// off one never lands in the next. It also maps, to themselves, ranges that
// lie wholly inside one live LocalAlloc block, which is how code in the
// calling process hands over its own records: LocalAlloc's blocks lie below
// 4 GB as all of a CE process's memory does. Every other range is refused.

CE_SIM_API DWORD RegisterCallerBuffer(void* data, DWORD bytes);
CE_SIM_API void UnregisterCallerBuffer(DWORD callerAddress);
CE_SIM_API void ResetCallerSpace();

// ---- Stream devices ---------------------------------------------------------------
// What the device manager knows of a loaded stream driver: the entry points it
// found in the library under the device's prefix (any may be null), and the
// device context the driver's Init returned.
struct StreamEntries {
    DWORD_PTR (*Init)(LPCWSTR, LPCVOID);
    BOOL (*Deinit)(DWORD_PTR);
    DWORD_PTR (*Open)(DWORD_PTR, DWORD, DWORD);
    BOOL (*Close)(DWORD_PTR);
    DWORD (*Read)(DWORD_PTR, LPVOID, DWORD);
    DWORD (*Write)(DWORD_PTR, LPCVOID, DWORD);
    DWORD (*Seek)(DWORD_PTR, LONG, DWORD);
    BOOL (*IOControl)(DWORD_PTR, DWORD, BYTE*, DWORD, BYTE*, DWORD, DWORD*);
    void (*PowerUp)(DWORD_PTR);
    void (*PowerDown)(DWORD_PTR);
};

// Makes a loaded device reachable by its name ("AOC1:"): CreateFileW opens it
// through the driver's Open, and DeviceIoControl and CloseHandle on the handle
// go to its IOControl and Close with the open context Open returned. False
// when a device of that name (in any letter case) is registered already.
CE_SIM_API bool RegisterStreamDevice(const WString& name, const StreamEntries& entries, DWORD_PTR deviceContext);
// Takes the name away and returns once no call is inside the driver through
// it, so that the driver may be deinitialised. Handles still open outlive the
// device: DeviceIoControl on them fails with ERROR_INVALID_HANDLE_STATE, and
// CloseHandle releases them without reaching the driver.
CE_SIM_API void DeregisterStreamDevice(const WString& name);
// Handles that CreateFileW opened on stream devices and no CloseHandle closed.
CE_SIM_API size_t OpenStreamHandles();

// ---- I/O space ------------------------------------------------------------------
// 65536 ports. A device claims a range of them; an access that lies wholly in
// one device's range reaches it as one access of its width, any other is split
// into byte accesses. Ports no device claims read all ones and ignore writes.

class IoDevice {
public:
    virtual ~IoDevice() = default;
    // `offset` counts from the first port of the claimed range; `width` is 1, 2
    // or 4 bytes. Calls may come from several threads at once.
    virtual DWORD ReadPort(DWORD offset, int width) = 0;
    virtual void WritePort(DWORD offset, int width, DWORD value) = 0;
};

// False when the range leaves the 16-bit port space, is empty, or overlaps a
// claimed range. Once DetachIoDevice returns, no access is inside the device.
CE_SIM_API bool AttachIoDevice(IoDevice* device, DWORD firstPort, DWORD portCount);
CE_SIM_API void DetachIoDevice(IoDevice* device);

// Every port instruction, claimed or not, in the order executed.
struct PortAccess {
    USHORT port;
    BYTE width;
    bool write;
    DWORD value;
};
// Off by default: a long run would otherwise grow without bound.
CE_SIM_API void SetIoTrace(bool on);
CE_SIM_API std::vector<PortAccess> TakeIoTrace();

// ---- Registry ------------------------------------------------------------------

// Sub-key enumeration order. CE documents none; tests that must not depend on
// it run with the reverse of creation order. Values enumerate in creation order.
enum class EnumOrder { Creation, Reversed };
CE_SIM_API void SetEnumOrder(EnumOrder order);
CE_SIM_API EnumOrder GetEnumOrder();

CE_SIM_API void ResetRegistry();
// Handles open now (predefined roots excluded), and the key path of each.
CE_SIM_API size_t OpenKeyCount();
CE_SIM_API std::vector<WString> OpenKeyPaths();

// Called after each registry call, outside the registry's lock, with the call,
// its key path (as in Fault), the value name of value calls, the sub-key name
// of a successful enumeration, and the result.
struct RegistryEvent {
    Call call;
    WString key;
    WString name;
    LONG result;
};
typedef std::function<void(const RegistryEvent&)> RegistryObserver;
// Install only while no other thread is in the registry; empty to remove.
CE_SIM_API void SetRegistryObserver(RegistryObserver observer);

// Whether the key was created volatile (not kept across a restart).
CE_SIM_API bool IsKeyVolatile(HKEY key);

}  // namespace cesim
