#include "template_store.h"

#include <cstring>

#include "journal.h"
#include "regscript.h"
#include "settings_text.h"

namespace {

// A channel text longer than this does not load: the channel keeps its default.
const int kChannelTextChars = 255;

// The setting of a channel that a template lacks: -10..10 V.
const TemplateTextNumbers kDefaultNumbers = {0, 10, -10, 0, 0};

}  // namespace

void SetDefaultTemplate(TemplateEntry& entry, int nIndex) {
    entry.SwitchID = static_cast<DWORD>(nIndex);
    for (AoChannelSetting& channel : entry.Channels) TemplateNumbersToSetting(kDefaultNumbers, channel);
}

WORD TemplateBit(DWORD n) { return n < static_cast<DWORD>(TEMPLATE_COUNT) ? static_cast<WORD>(1u << n) : 0; }

int TemplateNumberOf(LPCSTR lpszItemText) {
    const size_t cchPrefix = sizeof(TEMPLATE_KEY_PREFIX_A) - 1;
    if (lpszItemText == nullptr || std::strncmp(lpszItemText, TEMPLATE_KEY_PREFIX_A, cchPrefix) != 0) return -1;
    const char* p = lpszItemText + cchPrefix;
    int n = 0;
    int nDigits = 0;
    for (; *p >= '0' && *p <= '9' && nDigits < 3; ++p, ++nDigits) n = n * 10 + (*p - '0');
    return nDigits > 0 && *p == '\0' && n < TEMPLATE_COUNT ? n : -1;
}

int LowestFreeTemplateNumber(WORD wUsed) {
    int n = 0;
    while (n < TEMPLATE_COUNT && (wUsed & TemplateBit(static_cast<DWORD>(n)))) ++n;
    return n;
}

BOOL ChooseFreeSwitchID(TemplateEntry (&templates)[TEMPLATE_COUNT], int nIndex, WORD& wUsedSwitchIDs) {
    WORD wHeld = 0;
    for (const TemplateEntry& entry : templates) wHeld |= TemplateBit(entry.SwitchID);
    const int nFree = LowestFreeTemplateNumber(wHeld);
    if (nFree < TEMPLATE_COUNT) templates[nIndex].SwitchID = static_cast<DWORD>(nFree);
    wUsedSwitchIDs |= TemplateBit(templates[nIndex].SwitchID);
    return nFree < TEMPLATE_COUNT;
}

BOOL LoadTemplateEntry(CRegScript& script, int nIndex, TemplateEntry& entry) {
    SetDefaultTemplate(entry, nIndex);
    // Only a dword counts: anything else would be copied in as raw bytes.
    DWORD dwSwitchID = 0, dwType = 0, dwSize = 0;
    if (script.ReadValue(nIndex, VALUE_SWITCH_ID_A, &dwType, &dwSwitchID, sizeof dwSwitchID, &dwSize) != 0 ||
        dwType != REG_DWORD)
        return FALSE;  // no SwitchID, no template
    entry.SwitchID = dwSwitchID;
    char szName[16];
    for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
        char szText[kChannelTextChars + 1] = {};
        FormatAoSettingsName(i, szName, sizeof szName);
        if (script.ReadValue(nIndex, szName, &dwType, szText, kChannelTextChars, &dwSize) != 0 || dwType != REG_SZ)
            continue;  // the channel keeps its default
        TemplateTextNumbers numbers = kDefaultNumbers;
        ParseTemplateText(szText, dwSize, SCAN_ANY_WIDTH, numbers);
        TemplateNumbersToSetting(numbers, entry.Channels[i]);
    }
    return TRUE;
}

BOOL SaveTemplateEntry(CRegScript& script, int nIndex, const TemplateEntry& entry) {
    BOOL bWritten = !script.TemplateSectionExists(nIndex) ? script.AppendTemplateSection(nIndex) == 0 : TRUE;
    bWritten = bWritten &&
               script.WriteValue(nIndex, VALUE_SWITCH_ID_A, REG_DWORD, &entry.SwitchID, sizeof entry.SwitchID) == 0;
    char szName[16];
    char szText[64];
    for (int i = 0; bWritten && i < AO_CHANNEL_COUNT; ++i) {
        FormatAoSettingsName(i, szName, sizeof szName);
        size_t cchText = FormatTemplateText(entry.Channels[i], szText, sizeof szText);
        bWritten = script.WriteValue(nIndex, szName, REG_SZ, szText, static_cast<DWORD>(cchText)) == 0;
    }
    return bWritten;
}

BOOL IsScriptMissing(DWORD dwError) { return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND; }

LPCSTR DescribeScriptError(DWORD dwError) {
    switch (dwError) {
    case ERROR_FILE_NOT_FOUND: return "the file does not exist";
    case ERROR_PATH_NOT_FOUND: return "its folder does not exist";
    case ERROR_ACCESS_DENIED: return "access is denied";
    case ERROR_NOT_ENOUGH_MEMORY: return "there is not enough memory";
    case ERROR_SHARING_VIOLATION: return "another program has the file open";
    case ERROR_LOCK_VIOLATION: return "another program has locked part of the file";
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL: return "the disk is full";
    case ERROR_WRITE_FAULT: return "the device cannot be written";
    case ERROR_READ_FAULT: return "the device cannot be read";
    case ERROR_IO_DEVICE: return "the device reported an I/O error";
    case ERROR_BAD_PATHNAME: return "the path names no board folder under Device_Drivers";
    case ERROR_FILENAME_EXCED_RANGE: return "the path is too long";
    case ERROR_BAD_FILE_TYPE: return "it is a device or a pipe, not a file";
    case ERROR_NO_UNICODE_TRANSLATION: return "it is UTF-16 text, and only 8-bit text is edited";
    case ERROR_INVALID_DATA: return "it holds a zero byte, so it is not a text file";
    case ERROR_WRITE_PROTECT: return "the registry script is write-protected";
    case ERROR_FILE_TOO_LARGE: return "it is 4 GB or larger, more than a registry script may be";
    // What a save meets at the name of the script's journal, which it only
    // ever makes as a new file.
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return "a file that is no journal of this script has the name of its journal";
    case ERROR_STOPPED_ON_SYMLINK: return "it is a symbolic link, where the save would make the script's journal";
    case ERROR_DIRECTORY: return "it is a folder, where the save would make the script's journal";
    case CScriptJournal::ERROR_SCRIPT_REPLACED:
        return "another program put a file of its own in the script's place while this save ran; that file is "
               "kept as it is, without the changes of this save";
    case CScriptJournal::ERROR_ROLLBACK_WRITE_PROTECTED:
        return "a save of it was cut short, and its old bytes cannot be put back from its journal while the "
               "script is write-protected";
    default: return nullptr;
    }
}
