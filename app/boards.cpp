// The boards the driver has published and the device manager has loaded: the
// driver's device keys, each checked against the active key its call name
// has now, so that a key left by a board that is gone is not taken for one.
#include "internal.h"
#include "registry_layout.h"
#include "settings_text.h"

namespace {

// The device manager's keys, as CE documents them: an active key per loaded
// device ("Name", the device key path "Key"), and in the PCI bus driver's
// device key the board's slot as "DeviceNumber".
const WCHAR kActiveRoot[] = TEXT("Drivers\\Active");
const WCHAR kActiveDeviceKey[] = TEXT("Key");
const WCHAR kPciSlot[] = TEXT("DeviceNumber");

const DWORD NAME_UNITS = 64;        // sub-key names read; longer ones are no device's
const DWORD KEY_PATH_UNITS = 260;

// A loaded device of the board's prefix: its name and PCI slot.
struct LoadedDevice {
    char Name[AOC_CALL_NAME_SIZE];
    DWORD Slot;
};
struct LoadedDevices {
    LoadedDevice Devices[AOC_MAX_BOARDS];
    int Count;
};

BOOL ReadDword(HKEY key, const WCHAR* name, DWORD* value) {
    DWORD type = 0, size = sizeof(*value);
    return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof(*value);
}

// A REG_SZ of up to `units` - 1 units, terminated here whether or not the
// value carries a terminator (a published call name does not).
BOOL ReadText(HKEY key, const WCHAR* name, WCHAR* text, DWORD units) {
    DWORD type = 0, size = (units - 1) * sizeof(WCHAR);
    for (DWORD i = 0; i < units; ++i) text[i] = 0;
    return RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
           type == REG_SZ;
}

// A device's name as 8-bit text: "AOC1:" and the like are ASCII; anything
// else is no name of ours.
BOOL NarrowName(const WCHAR* wide, char (&name)[AOC_CALL_NAME_SIZE]) {
    int i = 0;
    for (; wide[i]; ++i) {
        if (i == AOC_CALL_NAME_SIZE - 1 || wide[i] > 0x7E || wide[i] < 0x21) return FALSE;
        name[i] = static_cast<char>(wide[i]);
    }
    name[i] = 0;
    return i > 0;
}

BOOL IsOurName(const char* name) {
    // The prefix, a digit and a colon.
    return (name[0] == 'A' || name[0] == 'a') && (name[1] == 'O' || name[1] == 'o') &&
           (name[2] == 'C' || name[2] == 'c') && name[3] >= '0' && name[3] <= '9' && name[4] == ':' && !name[5];
}

// One active key: the device it names, when it is one of ours.
void ReadActiveKey(HKEY root, const WCHAR* keyName, LoadedDevices* loaded) {
    HKEY active = nullptr;
    if (RegOpenKeyExW(root, keyName, 0, 0, &active) != ERROR_SUCCESS) return;
    WCHAR wideName[ACTIVE_NAME_READ_UNITS];
    WCHAR path[KEY_PATH_UNITS];
    LoadedDevice device;
    BOOL ours = ReadText(active, VALUE_ACTIVE_NAME_W, wideName, ACTIVE_NAME_READ_UNITS) &&
                NarrowName(wideName, device.Name) && IsOurName(device.Name) &&
                ReadText(active, kActiveDeviceKey, path, KEY_PATH_UNITS);
    RegCloseKey(active);
    HKEY deviceKey = nullptr;
    if (!ours || RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &deviceKey) != ERROR_SUCCESS) return;
    BOOL slotRead = ReadDword(deviceKey, kPciSlot, &device.Slot);
    RegCloseKey(deviceKey);
    if (slotRead && loaded->Count < AOC_MAX_BOARDS) loaded->Devices[loaded->Count++] = device;
}

// Calls `visit` with each sub-key of the key at `path`; a key that is not
// there has none. Names too long for a device's are passed over.
template <class Visit>
AocStatus VisitSubKeys(const WCHAR* path, Visit visit) {
    HKEY parent = nullptr;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, 0, &parent);
    if (status == ERROR_FILE_NOT_FOUND) return AOC_OK;
    if (status != ERROR_SUCCESS) return AOC_REGISTRY_ERROR;
    for (DWORD index = 0;; ++index) {
        WCHAR name[NAME_UNITS];
        DWORD units = NAME_UNITS;
        status = RegEnumKeyExW(parent, index, name, &units, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) break;
        visit(parent, name);
    }
    RegCloseKey(parent);
    return status == ERROR_NO_MORE_ITEMS ? AOC_OK : AOC_REGISTRY_ERROR;
}

AocStatus ReadLoadedDevices(LoadedDevices* loaded) {
    loaded->Count = 0;
    return VisitSubKeys(kActiveRoot, [loaded](HKEY root, const WCHAR* name) { ReadActiveKey(root, name, loaded); });
}

// A driver device key as a board; FALSE when it lacks a value the driver
// publishes, or is a key of a board that is not loaded now.
BOOL ReadDeviceKey(HKEY service, const WCHAR* keyName, const LoadedDevices& loaded, AocBoardInfo* info) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(service, keyName, 0, 0, &key) != ERROR_SUCCESS) return FALSE;
    WCHAR callName[CALL_NAME_UNITS + 1];
    BOOL complete = ReadText(key, VALUE_CALL_NAME_W, callName, CALL_NAME_UNITS + 1) &&
                    NarrowName(callName, info->CallName) && ReadDword(key, VALUE_BUS_NUMBER_W, &info->BusNumber) &&
                    ReadDword(key, VALUE_SLOT_NUMBER_W, &info->SlotNumber) &&
                    ReadDword(key, VALUE_SWITCH_ID_W, &info->SwitchNumber) &&
                    ReadDword(key, VALUE_BASE_ADDRESS_W, &info->IoBase) &&
                    ReadDword(key, VALUE_IO_PORT_COUNT_W, &info->IoLength);
    // Read as the driver loads them at an open: numbers a text lacks are 0,
    // and a channel without a text has a setting nobody published, which is
    // none of the six.
    for (int channel = 0; complete && channel < AOC_CHANNELS; ++channel) {
        WCHAR name[16], text[CHANNEL_TEXT_READ_BYTES / 2 + 1];
        FormatAoSettingsName(channel, name, 16);
        AoChannelSetting setting = {0, 0.0f, 0.0f, 0.0f, 0.0f};
        if (ReadText(key, name, text, CHANNEL_TEXT_READ_BYTES / 2 + 1)) {
            ParseDeviceText(text, CHANNEL_TEXT_READ_BYTES / 2, setting);
        }
        // As the driver reports it: a current channel is one with a CurrentMax.
        BOOL current = setting.CurrentMax != 0.0f;
        ClassifyRange(current, current ? setting.CurrentMax : setting.VoltageMax,
                      current ? setting.CurrentMin : setting.VoltageMin, &info->Channels[channel]);
    }
    RegCloseKey(key);
    info->DeviceNumber = ParseDeviceKeyNumber(keyName);
    // A number the driver could not have formed the key from is no board's.
    if (!complete || info->DeviceNumber < 0 || info->DeviceNumber >= DEVICE_NUMBER_COUNT) return FALSE;
    // A published name the device manager gives the same slot's board now.
    for (int i = 0; i < loaded.Count; ++i) {
        if (SameName(loaded.Devices[i].Name, info->CallName) && loaded.Devices[i].Slot == info->SlotNumber) return TRUE;
    }
    return FALSE;
}

// Every published, loaded board, by device number: at most one per call name,
// so at most AOC_MAX_BOARDS.
struct Boards {
    AocBoardInfo Infos[AOC_MAX_BOARDS];
    int Count;
};

void Insert(Boards* boards, const AocBoardInfo& info) {
    for (int i = 0; i < boards->Count; ++i) {
        // Two keys for one loaded board: the lower number is the one the
        // driver finds first and uses.
        if (SameName(boards->Infos[i].CallName, info.CallName)) {
            if (info.DeviceNumber < boards->Infos[i].DeviceNumber) boards->Infos[i] = info;
            return;
        }
    }
    if (boards->Count == AOC_MAX_BOARDS) return;
    int at = boards->Count++;
    for (; at > 0 && boards->Infos[at - 1].DeviceNumber > info.DeviceNumber; --at) boards->Infos[at] = boards->Infos[at - 1];
    boards->Infos[at] = info;
}

AocStatus ReadBoards(Boards* boards) {
    boards->Count = 0;
    LoadedDevices loaded;
    AocStatus status = ReadLoadedDevices(&loaded);
    if (status != AOC_OK) return status;
    return VisitSubKeys(DRIVER_SERVICE_KEY_W, [boards, &loaded](HKEY service, const WCHAR* name) {
        AocBoardInfo info;
        if (TextContains(name, DEVICE_KEY_PREFIX_W) && ReadDeviceKey(service, name, loaded, &info)) Insert(boards, info);
    });
}

}  // namespace

BOOL SameName(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 'a' + 'A') : *a;
        char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 'a' + 'A') : *b;
        if (x != y) return FALSE;
        if (!x) return TRUE;
    }
}

AocStatus FindBoard(BoardKey key, const char* name, DWORD number, AocBoardInfo* info) {
    Boards boards;
    AocStatus status = ReadBoards(&boards);
    if (status != AOC_OK) return status;
    int matches = 0;
    for (int i = 0; i < boards.Count; ++i) {
        const AocBoardInfo& b = boards.Infos[i];
        BOOL match = key == BY_NAME             ? SameName(b.CallName, name)
                     : key == BY_DEVICE_NUMBER ? b.DeviceNumber == static_cast<LONG>(number)
                                               : b.SwitchNumber == number;
        if (!match) continue;
        if (++matches == 1) *info = b;
    }
    if (matches == 0) return AOC_NO_BOARD;
    return matches == 1 ? AOC_OK : AOC_SWITCH_SHARED;
}

AOCLIB_API AocStatus AocFindBoards(AocBoardInfo* boards, DWORD capacity, DWORD* found) {
    if (!found || (!boards && capacity)) return AOC_BAD_ARGUMENT;
    Boards all;
    AocStatus status = ReadBoards(&all);
    if (status != AOC_OK) return status;
    for (int i = 0; i < all.Count && static_cast<DWORD>(i) < capacity; ++i) boards[i] = all.Infos[i];
    *found = static_cast<DWORD>(all.Count);
    return static_cast<DWORD>(all.Count) > capacity ? AOC_MORE_BOARDS : AOC_OK;
}
