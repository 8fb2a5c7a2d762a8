// The stream interface: the ten AOC_ entry points and the library entry.
#include <ceddk.h>

#include "startup.h"

namespace {

DeviceContext* ContextOf(DWORD_PTR handle) { return reinterpret_cast<DeviceContext*>(handle); }

}  // namespace

AOC_ENTRY BOOL WINAPI DllMain(HANDLE hinstDLL, DWORD dwReason, LPVOID) {
    if (dwReason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(static_cast<HMODULE>(hinstDLL));
    return TRUE;
}

AOC_API DWORD_PTR AOC_Init(LPCTSTR pContext, LPCVOID) {
    DeviceContext* pDevice = static_cast<DeviceContext*>(LocalAlloc(LPTR, sizeof(DeviceContext)));
    if (!pDevice) return 0;
    // Only proves that the device key exists; ReadBusInfo opens it again.
    HKEY deviceKey = OpenDeviceKey(pContext);
    if (!deviceKey) {
        LocalFree(pDevice);
        return 0;
    }
    RegCloseKey(deviceKey);
    InitializeCriticalSection(&pDevice->Lock);
    if (!ReadBusInfo(pDevice, pContext)) {
        AOC_Deinit(reinterpret_cast<DWORD_PTR>(pDevice));
        return 0;
    }
    ConfigureDevice(pDevice);
    pDevice->OpenCount = 0;
    return reinterpret_cast<DWORD_PTR>(pDevice);
}

AOC_API BOOL AOC_Deinit(DWORD_PTR hDeviceContext) {
    DeviceContext* pDevice = ContextOf(hDeviceContext);
    if (!pDevice) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    AOC_PowerDown(hDeviceContext);
    DeleteCriticalSection(&pDevice->Lock);
    LocalFree(pDevice);
    return TRUE;
}

// The handle is the device context; a null one is refused rather than
// followed.
AOC_API DWORD_PTR AOC_Open(DWORD_PTR hDeviceContext, DWORD, DWORD) {
    DeviceContext* pDevice = ContextOf(hDeviceContext);
    if (!pDevice) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    LoadDeviceSettings(pDevice);
    InterlockedIncrement(&pDevice->OpenCount);
    return hDeviceContext;
}

AOC_API BOOL AOC_Close(DWORD_PTR hOpenContext) {
    DeviceContext* pDevice = ContextOf(hOpenContext);
    if (!pDevice) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    InterlockedDecrement(&pDevice->OpenCount);
    return TRUE;
}

AOC_API DWORD AOC_Read(DWORD_PTR, LPVOID, DWORD) { return 0; }

AOC_API DWORD AOC_Write(DWORD_PTR, LPCVOID, DWORD) { return 0; }

AOC_API DWORD AOC_Seek(DWORD_PTR, LONG, DWORD) { return static_cast<DWORD>(-1); }

AOC_API void AOC_PowerUp(DWORD_PTR) {}

AOC_API void AOC_PowerDown(DWORD_PTR) {}
