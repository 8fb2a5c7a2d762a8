// The device manager's side of the stream-device calls: CreateFileW on a
// loaded device's name, DeviceIoControl and CloseHandle on the handle it gave,
// each carried to the driver's own entry point in the caller's thread. The
// simulator's device manager registers each device once its Init succeeded.
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "internal.h"

namespace {

struct Device {
    cesim::WString name;
    cesim::StreamEntries entries;
    DWORD_PTR context;
    bool gone = false;
};

struct OpenHandle {
    std::shared_ptr<Device> device;
    DWORD_PTR openContext;
};

std::mutex g_mutex;
std::condition_variable g_callEnded;
std::vector<std::shared_ptr<Device>> g_devices;
std::map<HANDLE, OpenHandle> g_handles;
// Calls inside a driver now, per device; deregistration waits for none.
std::map<const Device*, unsigned> g_calls;
// Handle values look like the kernel's: small multiples of four, never null
// and never INVALID_HANDLE_VALUE.
uintptr_t g_nextHandle = 0x1004;

// A call into the driver, counted while it runs. The lock is not held during
// the call: several threads may be in a driver at once, as on the target.
class DriverCall {
public:
    explicit DriverCall(const std::shared_ptr<Device>& device, std::unique_lock<std::mutex>& lock)
        : device_(device), lock_(lock) {
        ++g_calls[device_.get()];
        lock_.unlock();
    }
    ~DriverCall() {
        lock_.lock();
        if (--g_calls[device_.get()] == 0) {
            g_calls.erase(device_.get());
            g_callEnded.notify_all();
        }
    }
    DriverCall(const DriverCall&) = delete;
    DriverCall& operator=(const DriverCall&) = delete;

private:
    std::shared_ptr<Device> device_;
    std::unique_lock<std::mutex>& lock_;
};

std::shared_ptr<Device> FindDevice(const cesim::WString& name) {
    for (const std::shared_ptr<Device>& d : g_devices) {
        if (cesim::detail::EqualNoCase(d->name, name)) return d;
    }
    return nullptr;
}

}  // namespace

CE_API HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, LPSECURITY_ATTRIBUTES,
                          DWORD, DWORD, HANDLE) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::unique_lock<std::mutex> lock(g_mutex);
    std::shared_ptr<Device> device = FindDevice(lpFileName);
    if (!device || !device->entries.Open) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    DWORD_PTR openContext;
    {
        DriverCall call(device, lock);
        openContext = device->entries.Open(device->context, dwDesiredAccess, dwShareMode);
    }
    // A refused open leaves the thread error as the driver set it.
    if (!openContext) return INVALID_HANDLE_VALUE;
    HANDLE handle = reinterpret_cast<HANDLE>(g_nextHandle);
    g_nextHandle += 4;
    g_handles[handle] = OpenHandle{device, openContext};
    return handle;
}

CE_API BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, LPVOID lpInBuffer, DWORD nInBufferSize,
                            LPVOID lpOutBuffer, DWORD nOutBufferSize, LPDWORD lpBytesReturned, LPOVERLAPPED) {
    std::unique_lock<std::mutex> lock(g_mutex);
    auto it = g_handles.find(hDevice);
    if (it == g_handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const OpenHandle open = it->second;
    if (open.device->gone || !open.device->entries.IOControl) {
        SetLastError(ERROR_INVALID_HANDLE_STATE);
        return FALSE;
    }
    DriverCall call(open.device, lock);
    return open.device->entries.IOControl(open.openContext, dwIoControlCode, static_cast<BYTE*>(lpInBuffer),
                                          nInBufferSize, static_cast<BYTE*>(lpOutBuffer), nOutBufferSize,
                                          lpBytesReturned);
}

CE_API BOOL CloseHandle(HANDLE hObject) {
    std::unique_lock<std::mutex> lock(g_mutex);
    auto it = g_handles.find(hObject);
    if (it == g_handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const OpenHandle open = it->second;
    g_handles.erase(it);
    if (!open.device->gone && open.device->entries.Close) {
        DriverCall call(open.device, lock);
        open.device->entries.Close(open.openContext);
    }
    return TRUE;
}

namespace cesim {

bool RegisterStreamDevice(const WString& name, const StreamEntries& entries, DWORD_PTR deviceContext) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (FindDevice(name)) return false;
    std::shared_ptr<Device> device = std::make_shared<Device>();
    device->name = name;
    device->entries = entries;
    device->context = deviceContext;
    g_devices.push_back(device);
    return true;
}

void DeregisterStreamDevice(const WString& name) {
    std::unique_lock<std::mutex> lock(g_mutex);
    std::shared_ptr<Device> device = FindDevice(name);
    if (!device) return;
    device->gone = true;
    for (size_t i = 0; i < g_devices.size(); ++i) {
        if (g_devices[i] == device) g_devices.erase(g_devices.begin() + static_cast<std::ptrdiff_t>(i));
    }
    g_callEnded.wait(lock, [&] { return g_calls.count(device.get()) == 0; });
}

size_t OpenStreamHandles() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_handles.size();
}

}  // namespace cesim
