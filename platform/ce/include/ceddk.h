#pragma once
// Stand-in for the device-manager and DDK registry helpers: the records and
// readers of the values that CE's device manager and PCI bus driver write.
#include <windows.h>

// The DDK helpers live in ceddk.dll, the device manager's in coredll.dll.
#if !defined(_WIN32)
#define CEDDK_API extern "C" __attribute__((visibility("default")))
#elif defined(CE_BUILDING_CEDDK)
#define CEDDK_API extern "C"  // exported by ceddk.def, made from target_imports.txt
#else
#define CEDDK_API extern "C" __declspec(dllimport)
#endif

// ---- PCI information ----------------------------------------------------------
#define PCIID_CLASS 0
#define PCIID_SUBCLASS 1
#define PCIID_PROGIF 2
#define PCIID_VENDORID 3
#define PCIID_DEVICEID 4
#define PCIID_REVISIONID 5
#define PCIID_SUBVENDORID 6
#define PCIID_SUBSYSTEMID 7
#define PCIIDM_CLASS (1 << PCIID_CLASS)
#define PCIIDM_SUBCLASS (1 << PCIID_SUBCLASS)
#define PCIIDM_PROGIF (1 << PCIID_PROGIF)
#define PCIIDM_VENDORID (1 << PCIID_VENDORID)
#define PCIIDM_DEVICEID (1 << PCIID_DEVICEID)
#define PCIIDM_REVISIONID (1 << PCIID_REVISIONID)
#define PCIIDM_SUBVENDORID (1 << PCIID_SUBVENDORID)
#define PCIIDM_SUBSYSTEMID (1 << PCIID_SUBSYSTEMID)

typedef struct {
    DWORD cbSize;
    DWORD dwDeviceNumber;
    DWORD dwFunctionNumber;
    DWORD dwInstanceIndex;
    DWORD dwWhichIds;  // PCIIDM_ bits of the identifiers found
    DWORD idVals[8];   // indexed by PCIID_
} DDKPCIINFO, *PDDKPCIINFO;
static_assert(sizeof(DDKPCIINFO) == 52, "DDKPCIINFO is 52 bytes");

// ---- Window information ---------------------------------------------------------
#define MAX_DEVICE_WINDOWS 6
#define InterfaceTypeUndefined ((DWORD)-1)
#define PCIBus 5

typedef struct {
    DWORD dwBase;
    DWORD dwLen;
} DEVICEWINDOW, *PDEVICEWINDOW;

typedef struct {
    DWORD cbSize;
    DWORD dwBusNumber;
    DWORD dwInterfaceType;
    DWORD dwNumIoWindows;
    DEVICEWINDOW ioWindows[MAX_DEVICE_WINDOWS];
    DWORD dwNumMemWindows;
    DEVICEWINDOW memWindows[MAX_DEVICE_WINDOWS];
} DDKWINDOWINFO, *PDDKWINDOWINFO;
static_assert(sizeof(DDKWINDOWINFO) == 116, "DDKWINDOWINFO is 116 bytes");

// Reads the PCI identity values of a device key ("DeviceNumber",
// "FunctionNumber", "InstanceIndex", then the optional identifiers).
CEDDK_API DWORD DDKReg_GetPciInfo(HKEY hk, PDDKPCIINFO pPciInfo);
// Reads "BusNumber", "InterfaceType" and the "MemBase"/"MemLen",
// "IoBase"/"IoLen" windows of a device key.
CEDDK_API DWORD DDKReg_GetWindowInfo(HKEY hk, PDDKWINDOWINFO pWinInfo);

// ---- Device manager -----------------------------------------------------------------
// Opens the device key named by the "Key" value of an active key; NULL with
// the thread's last error set on failure.
CE_API HKEY OpenDeviceKey(LPCTSTR ActiveKey);
