#include "startup.h"

#include <ceddk.h>

#include "registers.h"
#include "settings_text.h"

namespace {

// Sub-key name buffers, in UTF-16 units with the terminator.
const DWORD DEVICE_ENTRY_NAME_UNITS = 32;
const DWORD DAQ_ENTRY_NAME_UNITS = 80;
const DWORD TEMPLATE_NAME_UNITS = 512;

// Device key paths: a service key, "\Device" and three digits, with room.
const size_t KEY_PATH_UNITS = 96;

// A 4-byte value of any type: the type is not checked, but a value that is
// not exactly 4 bytes cannot be taken as a number and counts as missing.
BOOL ReadDwordValue(HKEY key, LPCWSTR name, DWORD* pValue) {
    DWORD value = 0, size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        size != sizeof(value)) {
        return FALSE;
    }
    *pValue = value;
    return TRUE;
}

// A REG_SZ read into `text` with room for `bytes`; `*pUnits` receives the
// units read, which need not include a terminator.
BOOL ReadTextValue(HKEY key, LPCWSTR name, WCHAR* text, DWORD bytes, DWORD* pUnits) {
    DWORD type = 0, size = bytes;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return FALSE;
    }
    *pUnits = size / sizeof(WCHAR);
    return TRUE;
}

BOOL ReadChannelText(HKEY key, int channel, WCHAR (&text)[CHANNEL_TEXT_READ_BYTES / 2], DWORD* pUnits) {
    WCHAR name[16];
    FormatAoSettingsName(channel, name, 16);
    return ReadTextValue(key, name, text, CHANNEL_TEXT_READ_BYTES, pUnits);
}

void WriteDwordValue(HKEY key, LPCWSTR name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void WriteTextValue(HKEY key, LPCWSTR name, const WCHAR* text, DWORD bytes) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

// The switch is read only on boards that have one, and only when the
// register lies inside the board's window: a board without a window (or with
// one too short) has no port there to read.
DWORD ReadSwitchID(const DeviceContext* pDevice) {
    if (pDevice->SubsystemID < SWITCH_SUBSYSTEM_ID_MIN || !WindowHolds(pDevice, SWITCH_ID, sizeof(BYTE))) return 0;
    return ReadPortByte(BoardPort(pDevice, SWITCH_ID)) & SWITCH_ID_MASK;
}

// Copies the first `count` channels into the context in one hold of Lock, so
// that a request on another handle never sees a setting half replaced.
void StoreChannels(DeviceContext* pDevice, const AoChannelSetting* settings, int count) {
    EnterCriticalSection(&pDevice->Lock);
    for (int channel = 0; channel < count; ++channel) pDevice->Channels[channel] = settings[channel];
    LeaveCriticalSection(&pDevice->Lock);
}

void ReadCallName(DeviceContext* pDevice, LPCWSTR pActiveKey) {
    pDevice->CallName[0] = 0;
    HKEY active = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, pActiveKey, 0, 0, &active) != ERROR_SUCCESS) return;
    WCHAR name[ACTIVE_NAME_READ_UNITS];
    DWORD units = 0;
    if (ReadTextValue(active, VALUE_ACTIVE_NAME_W, name, sizeof(name), &units)) {
        DWORD length = 0;
        while (length < units && name[length]) ++length;
        // A name that does not fit is left out whole: a cut one would name
        // another device.
        const DWORD room = sizeof(pDevice->CallName) / sizeof(WCHAR) - 1;
        if (length <= room) {
            for (DWORD i = 0; i < length; ++i) pDevice->CallName[i] = name[i];
            pDevice->CallName[length] = 0;
        }
    }
    RegCloseKey(active);
}

// The entry matches when it holds all four values it is written with and
// names this board's model, slot and bus; its switch setting may differ.
BOOL EntryMatches(HKEY service, const WCHAR* name, const DeviceContext* pDevice) {
    HKEY entry = nullptr;
    if (RegOpenKeyExW(service, name, 0, 0, &entry) != ERROR_SUCCESS) return FALSE;
    DWORD boardId = 0, slot = 0, bus = 0, switchId = 0;
    BOOL complete = ReadDwordValue(entry, VALUE_BOARD_ID_W, &boardId) &&
                    ReadDwordValue(entry, VALUE_SLOT_NUMBER_W, &slot) &&
                    ReadDwordValue(entry, VALUE_BUS_NUMBER_W, &bus) &&
                    ReadDwordValue(entry, VALUE_SWITCH_ID_W, &switchId);
    RegCloseKey(entry);
    return complete && boardId == pDevice->BoardModelCode && slot == pDevice->SlotNumber &&
           bus == pDevice->BusNumber;
}

BOOL IsDeviceNumber(int number) { return number >= 0 && number < DEVICE_NUMBER_COUNT; }

DWORD SubKeyCount(HKEY key, BOOL* pOk) {
    DWORD count = 0;
    *pOk = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS;
    return count;
}

// Channel texts of a matching template. The five numbers carry over from one
// channel to the next, so a channel the template lacks repeats the last one.
void ReadTemplateChannels(HKEY key, AoChannelSetting (&channels)[AO_CHANNEL_COUNT]) {
    TemplateTextNumbers numbers = {};
    for (int channel = 0; channel < AO_CHANNEL_COUNT; ++channel) {
        WCHAR text[CHANNEL_TEXT_READ_BYTES / 2];
        DWORD units = 0;
        if (ReadChannelText(key, channel, text, &units)) ParseTemplateText(text, units, SCAN_WIDTH_FIVE, numbers);
        TemplateNumbersToBoardSetting(numbers, channels[channel]);
    }
}

void SetDefaultChannels(DeviceContext* pDevice) {
    AoChannelSetting defaults[AO_CHANNEL_COUNT];
    for (AoChannelSetting& s : defaults) s = AoChannelSetting{0, 10.0f, 0.0f, 0.0f, 0.0f};
    StoreChannels(pDevice, defaults, AO_CHANNEL_COUNT);
}

// Rows 1 to 4, the whole data-acquisition device key and the start of the
// driver's own.
void WriteCommonValues(HKEY key, const DeviceContext* pDevice) {
    WCHAR displayName[DEVICE_NAME_UNITS];
    FormatDisplayName(pDevice->SubsystemID, pDevice->SwitchID, pDevice->BaseAddress, displayName, DEVICE_NAME_UNITS);
    WriteDwordValue(key, VALUE_BOARD_ID_W, pDevice->BoardModelCode);
    WriteTextValue(key, VALUE_DEVICE_NAME_W, displayName, DEVICE_NAME_BYTES);
    WriteTextValue(key, VALUE_DRIVER_NAME_W, DRIVER_NAME_TEXT_W, DRIVER_NAME_BYTES);
    WriteTextValue(key, VALUE_KERNEL_KEY_W, KERNEL_KEY_TEXT_W, KERNEL_KEY_BYTES);
}

HKEY CreateDeviceKey(const WCHAR* serviceKey, LONG number) {
    WCHAR path[KEY_PATH_UNITS];
    FormatDeviceKeyPath(serviceKey, number, path, KEY_PATH_UNITS);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, REG_OPTION_NON_VOLATILE, 0, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

}  // namespace

BOOL ReadBusInfo(DeviceContext* pDevice, LPCWSTR pActiveKey) {
    HKEY deviceKey = OpenDeviceKey(pActiveKey);
    if (!deviceKey) return FALSE;

    DDKPCIINFO pci = {};
    pci.cbSize = sizeof(pci);
    DWORD status = DDKReg_GetPciInfo(deviceKey, &pci);
    if (status == ERROR_SUCCESS) {
        pDevice->SlotNumber = pci.dwDeviceNumber;
        pDevice->InstanceIndex = pci.dwInstanceIndex;
        if (pci.dwWhichIds & PCIIDM_SUBSYSTEMID) pDevice->SubsystemID = pci.idVals[PCIID_SUBSYSTEMID];
    } else if (status != ERROR_FILE_NOT_FOUND) {
        RegCloseKey(deviceKey);
        return FALSE;
    }

    DDKWINDOWINFO window = {};
    window.cbSize = sizeof(window);
    if (DDKReg_GetWindowInfo(deviceKey, &window) == ERROR_SUCCESS && window.dwNumIoWindows >= 1) {
        pDevice->BusNumber = window.dwBusNumber;
        pDevice->InterfaceType = window.dwInterfaceType;
        pDevice->BaseAddress = window.ioWindows[0].dwBase;
        pDevice->IoPortCount = window.ioWindows[0].dwLen;
    }
    RegCloseKey(deviceKey);

    ReadCallName(pDevice, pActiveKey);
    return TRUE;
}

BOOL ConfigureDevice(DeviceContext* pDevice) {
    pDevice->DeviceNumber = -1;
    pDevice->SwitchID = ReadSwitchID(pDevice);
    pDevice->BoardModelCode = BOARD_MODEL_CODE;
    FindDeviceEntry(pDevice);
    if (pDevice->DeviceNumber >= 0) {
        LoadDeviceSettings(pDevice);
    } else {
        LONG number = 0;
        pDevice->DeviceNumber = AllocateDeviceNumber(&number) ? number : 0;
        LoadTemplateSettings(pDevice);
    }
    PublishDevice(pDevice->DeviceNumber, pDevice);
    return TRUE;
}

void FindDeviceEntry(DeviceContext* pDevice) {
    HKEY service = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, DRIVER_SERVICE_KEY_W, 0, 0, &service) != ERROR_SUCCESS) return;
    BOOL ok = FALSE;
    DWORD count = SubKeyCount(service, &ok);
    for (DWORD index = 0; ok && index < count; ++index) {
        WCHAR name[DEVICE_ENTRY_NAME_UNITS];
        DWORD units = DEVICE_ENTRY_NAME_UNITS;
        LONG status = RegEnumKeyExW(service, index, name, &units, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || !TextContains(name, DEVICE_KEY_PREFIX_W)) continue;
        // An entry whose name gives no device number cannot be this board's:
        // its keys could never be formed from the number.
        int number = ParseDeviceKeyNumber(name);
        if (IsDeviceNumber(number) && EntryMatches(service, name, pDevice)) {
            pDevice->DeviceNumber = number;
            break;
        }
    }
    RegCloseKey(service);
}

BOOL AllocateDeviceNumber(LONG* pNumber) {
    HKEY service = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, DAQ_SERVICE_KEY_W, 0, KEY_READ, &service) != ERROR_SUCCESS) return FALSE;
    bool taken[DEVICE_NUMBER_COUNT] = {};
    for (DWORD index = 0;; ++index) {
        WCHAR name[DAQ_ENTRY_NAME_UNITS];
        DWORD units = DAQ_ENTRY_NAME_UNITS;
        LONG status = RegEnumKeyExW(service, index, name, &units, nullptr, nullptr, nullptr, nullptr);
        // Other drivers share this key; one long name of theirs must not hide
        // the entries after it, or their numbers would be handed out again.
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        if (!TextContains(name, DEVICE_KEY_PREFIX_W)) continue;
        int number = ParseDeviceKeyNumber(name);
        if (IsDeviceNumber(number)) taken[number] = true;
    }
    RegCloseKey(service);
    for (LONG number = 0; number < DEVICE_NUMBER_COUNT; ++number) {
        if (!taken[number]) {
            *pNumber = number;
            return TRUE;
        }
    }
    return FALSE;
}

void LoadDeviceSettings(DeviceContext* pDevice) {
    WCHAR path[KEY_PATH_UNITS];
    FormatDeviceKeyPath(DRIVER_SERVICE_KEY_W, pDevice->DeviceNumber, path, KEY_PATH_UNITS);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &key) != ERROR_SUCCESS) return;
    AoChannelSetting loaded[AO_CHANNEL_COUNT];
    int count = 0;
    for (; count < AO_CHANNEL_COUNT; ++count) {
        WCHAR text[CHANNEL_TEXT_READ_BYTES / 2];
        DWORD units = 0;
        if (!ReadChannelText(key, count, text, &units)) break;
        loaded[count] = AoChannelSetting{};
        ParseDeviceText(text, units, loaded[count]);
    }
    RegCloseKey(key);
    StoreChannels(pDevice, loaded, count);
}

void LoadTemplateSettings(DeviceContext* pDevice) {
    HKEY root = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEMPLATE_ROOT_KEY_W, 0, 0, &root) != ERROR_SUCCESS) return;
    BOOL ok = FALSE;
    DWORD count = SubKeyCount(root, &ok);
    if (!ok) {
        RegCloseKey(root);
        return;
    }
    BOOL matched = FALSE;
    AoChannelSetting channels[AO_CHANNEL_COUNT] = {};
    for (DWORD index = 0; !matched && index < count; ++index) {
        WCHAR name[TEMPLATE_NAME_UNITS];
        DWORD units = TEMPLATE_NAME_UNITS;
        LONG status = RegEnumKeyExW(root, index, name, &units, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || !TextContains(name, TEMPLATE_KEY_PREFIX_W)) continue;
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, name, 0, 0, &key) != ERROR_SUCCESS) continue;
        DWORD switchId = 0;
        if (ReadDwordValue(key, VALUE_SWITCH_ID_W, &switchId) && switchId == pDevice->SwitchID) {
            ReadTemplateChannels(key, channels);
            matched = TRUE;
        }
        RegCloseKey(key);
    }
    RegCloseKey(root);
    if (matched) StoreChannels(pDevice, channels, AO_CHANNEL_COUNT);
    else SetDefaultChannels(pDevice);
}

void PublishDevice(LONG number, DeviceContext* pDevice) {
    if (HKEY key = CreateDeviceKey(DAQ_SERVICE_KEY_W, number)) {
        WriteCommonValues(key, pDevice);
        RegCloseKey(key);
    }

    HKEY key = CreateDeviceKey(DRIVER_SERVICE_KEY_W, number);
    if (!key) return;
    AoChannelSetting channels[AO_CHANNEL_COUNT];
    EnterCriticalSection(&pDevice->Lock);
    for (int channel = 0; channel < AO_CHANNEL_COUNT; ++channel) channels[channel] = pDevice->Channels[channel];
    LeaveCriticalSection(&pDevice->Lock);

    WriteCommonValues(key, pDevice);
    WriteDwordValue(key, VALUE_BUS_NUMBER_W, pDevice->BusNumber);
    WriteDwordValue(key, VALUE_SLOT_NUMBER_W, pDevice->SlotNumber);
    WriteDwordValue(key, VALUE_ALLOW_CONFLICTS_W, ALLOW_CONFLICTS_VALUE);
    WriteDwordValue(key, VALUE_INSTANCE_INDEX_W, pDevice->InstanceIndex);
    WriteTextValue(key, VALUE_CALL_NAME_W, pDevice->CallName, CALL_NAME_BYTES);
    WriteDwordValue(key, VALUE_SWITCH_ID_W, pDevice->SwitchID);
    WriteDwordValue(key, VALUE_BASE_ADDRESS_W, pDevice->BaseAddress);
    WriteDwordValue(key, VALUE_IO_PORT_COUNT_W, pDevice->IoPortCount);
    for (int channel = 0; channel < AO_CHANNEL_COUNT; ++channel) {
        WCHAR name[16], text[DEVICE_TEXT_UNITS];
        FormatAoSettingsName(channel, name, 16);
        FormatDeviceText(channels[channel], text, DEVICE_TEXT_UNITS);
        WriteTextValue(key, name, text, DEVICE_TEXT_BYTES);
    }
    RegCloseKey(key);
}
