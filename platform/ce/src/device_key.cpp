// The device manager's OpenDeviceKey, over the active key it writes for each
// loaded device.
#include "ceddk.h"

CE_API HKEY OpenDeviceKey(LPCTSTR ActiveKey) {
    if (!ActiveKey) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HKEY active = nullptr;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, ActiveKey, 0, 0, &active);
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return nullptr;
    }
    WCHAR path[260] = {};
    DWORD type = 0, size = sizeof(path) - sizeof(WCHAR);  // keep a terminator
    status = RegQueryValueExW(active, TEXT("Key"), nullptr, &type, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(active);
    if (status == ERROR_SUCCESS && type != REG_SZ) status = ERROR_INVALID_DATA;
    HKEY device = nullptr;
    if (status == ERROR_SUCCESS) status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &device);
    if (status != ERROR_SUCCESS) {
        SetLastError(static_cast<DWORD>(status));
        return nullptr;
    }
    return device;
}
