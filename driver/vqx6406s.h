#pragma once
// VQX6406S: the board's stream-interface driver (device prefix AOC). The ten
// entry points, the library entry routine and the per-board device context.
//
// Handles are DWORD_PTR: the stream interface's 32-bit DWORDs on the CE
// target, where the device context pointer is the handle, and in the 32-bit
// Windows build; pointer-sized on 64-bit hosts, so the same code runs there.
#include <windows.h>

#include <cstddef>
#include <type_traits>

#include "ao_setting.h"
#include "registry_layout.h"

#if defined(_WIN32)
#define AOC_API extern "C" __declspec(dllexport)
#else
#define AOC_API extern "C" __attribute__((visibility("default")))
#endif

// One per board, from AOC_Init to AOC_Deinit; also every open handle.
// Fields in this order.
struct DeviceContext {
    WCHAR CallName[6];        // "AOC1:" and a terminator
    DWORD BoardModelCode;     // always BOARD_MODEL_CODE
    DWORD SwitchID;           // board-ID switch 0..15; 0 without a switch
    LONG DeviceNumber;        // names the device keys; -1 while unassigned
    DWORD InstanceIndex;
    DWORD SubsystemID;        // 0 when the PCI information carries none
    LONG OpenCount;
    DWORD SlotNumber;         // PCI device number
    DWORD BusNumber;
    DWORD InterfaceType;      // kept, not used
    DWORD BaseAddress;        // first port of the first I/O window
    DWORD IoPortCount;        // length of that window
    DWORD LastError;          // last failed I/O control request; never cleared
    AoChannelSetting Channels[AO_CHANNEL_COUNT];
    CRITICAL_SECTION Lock;    // every port access, and the channel settings
};

// The record is the target's: the same offsets on every build, Lock straight
// after the channels where pointers are 32 bits wide.
static_assert(offsetof(DeviceContext, BoardModelCode) == 12 && offsetof(DeviceContext, SwitchID) == 16 &&
              offsetof(DeviceContext, DeviceNumber) == 20 && offsetof(DeviceContext, InstanceIndex) == 24 &&
              offsetof(DeviceContext, SubsystemID) == 28 && offsetof(DeviceContext, OpenCount) == 32 &&
              offsetof(DeviceContext, SlotNumber) == 36 && offsetof(DeviceContext, BusNumber) == 40 &&
              offsetof(DeviceContext, InterfaceType) == 44 && offsetof(DeviceContext, BaseAddress) == 48 &&
              offsetof(DeviceContext, IoPortCount) == 52 && offsetof(DeviceContext, LastError) == 56 &&
              offsetof(DeviceContext, Channels) == 60 && sizeof(DeviceContext::Channels) == 80);
static_assert(sizeof(void*) != 4 || (std::is_same<DWORD_PTR, DWORD>::value && offsetof(DeviceContext, Lock) == 140),
              "the 32-bit driver takes DWORD handles and keeps the target's device context");

AOC_API DWORD_PTR AOC_Init(LPCTSTR pContext, LPCVOID lpvBusContext);
AOC_API BOOL AOC_Deinit(DWORD_PTR hDeviceContext);
AOC_API DWORD_PTR AOC_Open(DWORD_PTR hDeviceContext, DWORD AccessCode, DWORD ShareMode);
AOC_API BOOL AOC_Close(DWORD_PTR hOpenContext);
AOC_API DWORD AOC_Read(DWORD_PTR hOpenContext, LPVOID pBuffer, DWORD Count);
AOC_API DWORD AOC_Write(DWORD_PTR hOpenContext, LPCVOID pBuffer, DWORD Count);
AOC_API DWORD AOC_Seek(DWORD_PTR hOpenContext, LONG Amount, DWORD Type);
AOC_API BOOL AOC_IOControl(DWORD_PTR hOpenContext, DWORD dwCode, BYTE* pBufIn, DWORD dwLenIn, BYTE* pBufOut,
                           DWORD dwLenOut, DWORD* pdwActualOut);
AOC_API void AOC_PowerUp(DWORD_PTR hDeviceContext);
AOC_API void AOC_PowerDown(DWORD_PTR hDeviceContext);

// The library entry routine. On the target the loader enters the image here
// (the link names it the entry point; it is no export), with CE's WINAPI,
// which on x86 is cdecl. The native simulator finds it by name.
#if defined(_WIN32)
#define AOC_ENTRY extern "C"
#else
#define AOC_ENTRY AOC_API
#endif
AOC_ENTRY BOOL WINAPI DllMain(HANDLE hinstDLL, DWORD dwReason, LPVOID lpvReserved);
