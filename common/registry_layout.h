#pragma once
// The registry boundary between the driver and the configuration library:
// every key path, value name, value type, byte count and fixed text, once.
// All keys lie under HKEY_LOCAL_MACHINE.
#include <cstdint>
#include "layout_char.h"

// ---- Keys --------------------------------------------------------------
LAYOUT_TEXT(TEMPLATE_ROOT_KEY, "Drivers\\BuiltIn\\PCI\\Template\\VQX6406S");
LAYOUT_TEXT(TEMPLATE_KEY_PREFIX, "Template");   // template key: prefix + n (0..15)
LAYOUT_TEXT(DRIVER_SERVICE_KEY, "SYSTEM\\CurrentControlSet\\Services\\VQX6406S");
LAYOUT_TEXT(DAQ_SERVICE_KEY, "SYSTEM\\CurrentControlSet\\Services\\RIRODA");
LAYOUT_TEXT(DEVICE_KEY_PREFIX, "Device");       // device key: prefix + "%03d"
LAYOUT_TEXT(KEY_SEPARATOR, "\\");

// The number of a device key name starts after the six letters of "Device".
inline constexpr int DEVICE_KEY_NUMBER_OFFSET = 6;
// Device numbers 0..254: 255 numbers, not 256.
inline constexpr int DEVICE_NUMBER_COUNT = 255;

// ---- Value types (Win32 codes) -----------------------------------------
inline constexpr uint32_t LAYOUT_REG_SZ = 1;
inline constexpr uint32_t LAYOUT_REG_BINARY = 3;
inline constexpr uint32_t LAYOUT_REG_DWORD = 4;
inline constexpr uint32_t LAYOUT_REG_MULTI_SZ = 7;
inline constexpr uint32_t LAYOUT_DWORD_BYTES = 4;

// ---- Values of a template key ------------------------------------------
LAYOUT_TEXT(VALUE_SWITCH_ID, "SwitchID");            // REG_DWORD
LAYOUT_TEXT(VALUE_AO_SETTINGS_PREFIX, "AOSettings ");  // REG_SZ, + channel 0..3

// ---- Values of a driver device key, in the order the driver writes them --
// Rows 1 to 4 are also the whole data-acquisition device key.
LAYOUT_TEXT(VALUE_BOARD_ID, "BoardID");              // 1  REG_DWORD 4
LAYOUT_TEXT(VALUE_DEVICE_NAME, "DeviceName");        // 2  REG_SZ  100
LAYOUT_TEXT(VALUE_DRIVER_NAME, "DriverName");        // 3  REG_SZ   24
LAYOUT_TEXT(VALUE_KERNEL_KEY, "KernelKey");          // 4  REG_SZ   18
LAYOUT_TEXT(VALUE_BUS_NUMBER, "BusNumber");          // 5  REG_DWORD 4
LAYOUT_TEXT(VALUE_SLOT_NUMBER, "SlotNumber");        // 6  REG_DWORD 4
LAYOUT_TEXT(VALUE_ALLOW_CONFLICTS, "AllowConflicts");  // 7  REG_DWORD 4
LAYOUT_TEXT(VALUE_INSTANCE_INDEX, "InstanceIndex");  // 8  REG_DWORD 4
LAYOUT_TEXT(VALUE_CALL_NAME, "CallName");            // 9  REG_SZ   10, no terminator
//          VALUE_SWITCH_ID                             10 REG_DWORD 4
LAYOUT_TEXT(VALUE_BASE_ADDRESS, "BaseAddress");      // 11 REG_DWORD 4
LAYOUT_TEXT(VALUE_IO_PORT_COUNT, "IoPortCount");     // 12 REG_DWORD 4
//          VALUE_AO_SETTINGS_PREFIX + 0..3             13-16 REG_SZ 80

LAYOUT_TEXT(DRIVER_NAME_TEXT, "VQX6406.DLL");
LAYOUT_TEXT(KERNEL_KEY_TEXT, "VQX6406S");

inline constexpr uint32_t DEVICE_NAME_BYTES = 100;   // 50 UTF-16 units
inline constexpr uint32_t DRIVER_NAME_BYTES = 24;    // "VQX6406.DLL" + terminator
inline constexpr uint32_t KERNEL_KEY_BYTES = 18;     // "VQX6406S" + terminator
inline constexpr uint32_t CALL_NAME_BYTES = 10;      // five units, no terminator
inline constexpr uint32_t DEVICE_TEXT_BYTES = 80;    // 40 UTF-16 units
inline constexpr uint32_t ALLOW_CONFLICTS_VALUE = 1;

inline constexpr uint32_t DEVICE_NAME_UNITS = DEVICE_NAME_BYTES / 2;
inline constexpr uint32_t DEVICE_TEXT_UNITS = DEVICE_TEXT_BYTES / 2;
inline constexpr uint32_t CALL_NAME_UNITS = CALL_NAME_BYTES / 2;

// ---- Values read from the platform's keys ------------------------------
LAYOUT_TEXT(VALUE_ACTIVE_NAME, "Name");   // stream name such as "AOC1:"
inline constexpr uint32_t ACTIVE_NAME_READ_UNITS = 10;  // room read, terminator included

// Channel texts are read with room for 82 bytes (41 UTF-16 units).
inline constexpr uint32_t CHANNEL_TEXT_READ_BYTES = 82;

// ---- Board identity ----------------------------------------------------
inline constexpr uint32_t BOARD_MODEL_CODE = 107;           // "BoardID"
inline constexpr uint32_t SWITCH_SUBSYSTEM_ID_MIN = 0xA100;  // boards with a board-ID switch
inline constexpr int AO_CHANNEL_COUNT = 4;
inline constexpr int TEMPLATE_COUNT = 16;
