// ceddk's registry readers, over the values that CE's PCI bus driver writes.
// Like the real ceddk.dll they read through coredll's registry.
#include <cstring>
#include <vector>

#include "ceddk.h"

namespace {

const WCHAR* const PCI_ID_NAMES[8] = {TEXT("Class"),      TEXT("SubClass"),    TEXT("ProgIF"),     TEXT("VendorID"),
                                      TEXT("DeviceID"),   TEXT("RevisionID"),  TEXT("SubVendorID"), TEXT("SubSystemID")};

// A REG_DWORD value; the registry's own error when it cannot be read,
// ERROR_INVALID_DATA when it is there with another type or size.
DWORD ReadDword(HKEY hk, const WCHAR* name, DWORD& out) {
    DWORD type = 0, size = sizeof(out);
    LONG status = RegQueryValueExW(hk, name, nullptr, &type, reinterpret_cast<BYTE*>(&out), &size);
    if ((status == ERROR_SUCCESS || status == ERROR_MORE_DATA) && type != REG_DWORD) return ERROR_INVALID_DATA;
    if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
    return size == sizeof(out) ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

// One window list: both values absent, no window; both REG_DWORD, one window;
// both REG_MULTI_SZ, up to MAX_DEVICE_WINDOWS hexadecimal strings each, with
// equal counts. Any other pair is invalid.
class WindowList {
public:
    explicit WindowList(HKEY hk) : hk_(hk) {}

    DWORD Read(const WCHAR* baseName, const WCHAR* lenName, DWORD& count, DEVICEWINDOW* windows) {
        Item base, len;
        DWORD status = Load(baseName, base);
        if (status == ERROR_SUCCESS) status = Load(lenName, len);
        if (status != ERROR_SUCCESS) return status;
        if (base.type != len.type) return ERROR_INVALID_DATA;
        if (base.type == REG_NONE) {
            count = 0;
            return ERROR_SUCCESS;
        }
        if (base.type == REG_DWORD) {
            if (base.data.size() != 4 || len.data.size() != 4) return ERROR_INVALID_DATA;
            std::memcpy(&windows[0].dwBase, base.data.data(), 4);
            std::memcpy(&windows[0].dwLen, len.data.data(), 4);
            count = 1;
            return ERROR_SUCCESS;
        }
        if (base.type != REG_MULTI_SZ) return ERROR_INVALID_DATA;
        DWORD bases[MAX_DEVICE_WINDOWS], lens[MAX_DEVICE_WINDOWS];
        DWORD nBases = ParseList(base, bases), nLens = ParseList(len, lens);
        if (nBases != nLens) return ERROR_INVALID_DATA;
        for (DWORD i = 0; i < nBases; ++i) windows[i] = DEVICEWINDOW{bases[i], lens[i]};
        count = nBases;
        return ERROR_SUCCESS;
    }

private:
    struct Item {
        DWORD type = REG_NONE;  // REG_NONE: absent
        std::vector<BYTE> data;
    };

    DWORD Load(const WCHAR* name, Item& item) {
        DWORD type = 0, size = 0;
        LONG status = RegQueryValueExW(hk_, name, nullptr, &type, nullptr, &size);
        if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
        if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
        item.data.resize(size);
        status = RegQueryValueExW(hk_, name, nullptr, &type, item.data.data(), &size);
        if (status != ERROR_SUCCESS) return static_cast<DWORD>(status);
        item.data.resize(size);
        item.type = type == REG_NONE ? REG_BINARY : type;  // a present REG_NONE is not "absent"
        return ERROR_SUCCESS;
    }

    // Hexadecimal strings of a multi-string, at most MAX_DEVICE_WINDOWS.
    static DWORD ParseList(const Item& item, DWORD* out) {
        size_t units = item.data.size() / sizeof(WCHAR);
        std::vector<WCHAR> text(units + 1, 0);
        if (units) std::memcpy(text.data(), item.data.data(), units * sizeof(WCHAR));
        DWORD n = 0;
        for (size_t i = 0; i < units && text[i] && n < MAX_DEVICE_WINDOWS;) {
            size_t j = i;
            while (text[j]) ++j;
            out[n++] = ParseHex(&text[i]);
            i = j + 1;
        }
        return n;
    }

    static DWORD ParseHex(const WCHAR* s) {
        while (*s == TEXT(' ') || *s == TEXT('\t')) ++s;
        if (s[0] == TEXT('0') && (s[1] == TEXT('x') || s[1] == TEXT('X'))) s += 2;
        DWORD v = 0;
        for (;; ++s) {
            unsigned c = *s;
            unsigned d = (c >= '0' && c <= '9') ? c - '0'
                         : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                         : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                  : 16u;
            if (d == 16) return v;
            v = v * 16 + d;
        }
    }

    HKEY hk_;
};

}  // namespace

CEDDK_API DWORD DDKReg_GetPciInfo(HKEY hk, PDDKPCIINFO pPciInfo) {
    if (!hk || !pPciInfo || pPciInfo->cbSize != sizeof(DDKPCIINFO)) return ERROR_INVALID_PARAMETER;
    std::memset(reinterpret_cast<BYTE*>(pPciInfo) + sizeof(DWORD), 0, sizeof(DDKPCIINFO) - sizeof(DWORD));
    DWORD* const required[3] = {&pPciInfo->dwDeviceNumber, &pPciInfo->dwFunctionNumber, &pPciInfo->dwInstanceIndex};
    const WCHAR* const requiredNames[3] = {TEXT("DeviceNumber"), TEXT("FunctionNumber"), TEXT("InstanceIndex")};
    for (int i = 0; i < 3; ++i) {
        DWORD status = ReadDword(hk, requiredNames[i], *required[i]);
        if (status != ERROR_SUCCESS) return status;
    }
    for (int id = 0; id < 8; ++id) {
        DWORD value = 0;
        DWORD status = ReadDword(hk, PCI_ID_NAMES[id], value);
        if (status == ERROR_INVALID_DATA) return status;
        if (status != ERROR_SUCCESS) continue;  // unreadable counts as absent
        pPciInfo->idVals[id] = value;
        pPciInfo->dwWhichIds |= 1u << id;
    }
    return ERROR_SUCCESS;
}

CEDDK_API DWORD DDKReg_GetWindowInfo(HKEY hk, PDDKWINDOWINFO pWinInfo) {
    if (!hk || !pWinInfo || pWinInfo->cbSize != sizeof(DDKWINDOWINFO)) return ERROR_INVALID_PARAMETER;
    std::memset(reinterpret_cast<BYTE*>(pWinInfo) + sizeof(DWORD), 0, sizeof(DDKWINDOWINFO) - sizeof(DWORD));
    pWinInfo->dwInterfaceType = InterfaceTypeUndefined;
    pWinInfo->dwBusNumber = 0;
    DWORD value = 0;
    if (ReadDword(hk, TEXT("BusNumber"), value) == ERROR_SUCCESS) pWinInfo->dwBusNumber = value;
    if (ReadDword(hk, TEXT("InterfaceType"), value) == ERROR_SUCCESS) pWinInfo->dwInterfaceType = value;
    WindowList list(hk);
    DWORD status = list.Read(TEXT("MemBase"), TEXT("MemLen"), pWinInfo->dwNumMemWindows, pWinInfo->memWindows);
    if (status != ERROR_SUCCESS) return status;
    return list.Read(TEXT("IoBase"), TEXT("IoLen"), pWinInfo->dwNumIoWindows, pWinInfo->ioWindows);
}
