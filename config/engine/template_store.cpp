#include "template_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "journal.h"
#include "regscript.h"
#include "settings_text.h"

bool g_bModified = false;

const char kTooManyTemplates[] = "Support up to 16 Templates";
const char kSwitchIDUsed[] = "SwitchID already used!";
const char kCannotRead[] = "Cannot read the registry script";
const char kLeftOut[] = "The templates that could not be read are left out; the script keeps them as they are.";
const char kCannotSave[] = "Cannot save the templates to the registry script";

const char* const kVoltageRangeItems[VOLTAGE_RANGE_ITEMS] = {"  0 ~ 5V", "  0 ~ 10V", " -5 ~ 5V", "-10 ~ 10V"};
const char* const kCurrentRangeItems[CURRENT_RANGE_ITEMS] = {" ", "  4 ~ 20mA", "  0 ~ 20mA"};

namespace {

const char kScriptFolders[] = "Public\\Quorvex\\Device_Drivers\\";
const char kScriptExtension[] = ".reg";
const size_t kDeviceChars = 7;  // a three-letter bus prefix and the four-character model

// One item of a range list: the channel's range it stands for, and the item
// of the channel's other list that goes with it (-1: that list stays as it is).
struct RangeChoice {
    bool bSetsVoltage;
    float fVoltageMax;
    float fVoltageMin;
    float fCurrentMax;
    float fCurrentMin;
    int nOtherItem;
};

const RangeChoice kVoltageChoices[VOLTAGE_RANGE_ITEMS] = {
    {true, 5.0f, 0.0f, 20.0f, 0.0f, 2},  // 0..5 V comes with 0..20 mA
    {true, 10.0f, 0.0f, 0.0f, 0.0f, 0},
    {true, 5.0f, -5.0f, 0.0f, 0.0f, 0},
    {true, 10.0f, -10.0f, 0.0f, 0.0f, 0},
};

const RangeChoice kCurrentChoices[CURRENT_RANGE_ITEMS] = {
    {false, 0.0f, 0.0f, 0.0f, 0.0f, -1},  // no current range: the voltage stays
    {true, 5.0f, 0.0f, 20.0f, 4.0f, 0},   // a current range rides on 0..5 V
    {true, 5.0f, 0.0f, 20.0f, 0.0f, 0},
};

template <size_t N>
int ApplyChoice(const RangeChoice (&choices)[N], int nItem, AoChannelSetting& channel) {
    if (nItem < 0 || nItem >= static_cast<int>(N)) return -1;
    const RangeChoice& choice = choices[nItem];
    if (choice.bSetsVoltage) {
        channel.VoltageMax = choice.fVoltageMax;
        channel.VoltageMin = choice.fVoltageMin;
    }
    channel.CurrentMax = choice.fCurrentMax;
    channel.CurrentMin = choice.fCurrentMin;
    return choice.nOtherItem;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Its first seven characters a three-letter bus and a four-character model:
// any fewer, or a separator among them, would name another folder and give
// the templates another key.
bool IsDeviceName(LPCSTR lpszDevice) {
    if (lpszDevice == NULL || strnlen(lpszDevice, kDeviceChars) < kDeviceChars) return false;
    for (size_t i = 0; i < kDeviceChars; ++i) {
        if (!IsLetter(lpszDevice[i]) && (i < 3 || !IsDigit(lpszDevice[i]))) return false;
    }
    return true;
}

// Characters of the script's path for this root and device name, without
// the terminator (NULL reads as "").
size_t ScriptPathChars(LPCSTR lpszRoot, LPCSTR lpszDevice) {
    const size_t cchDevice = lpszDevice != NULL ? strnlen(lpszDevice, kDeviceChars) : 0;
    return (lpszRoot != NULL ? std::strlen(lpszRoot) : 0) + (sizeof kScriptFolders - 1) + cchDevice + 1 + cchDevice +
           (sizeof kScriptExtension - 1);
}

bool Matches(float fValue, double dTarget) { return std::fabs(static_cast<double>(fValue) - dTarget) < 1e-6; }

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

// ---- Output ranges -----------------------------------------------------------

int ApplyVoltageRange(int nItem, AoChannelSetting& channel) { return ApplyChoice(kVoltageChoices, nItem, channel); }

int ApplyCurrentRange(int nItem, AoChannelSetting& channel) { return ApplyChoice(kCurrentChoices, nItem, channel); }

BOOL ShownRangeItems(const AoChannelSetting& channel, int& nVoltageItem, int& nCurrentItem) {
    nCurrentItem = 0;
    if (Matches(channel.VoltageMax, 5) && Matches(channel.VoltageMin, 0)) {
        nVoltageItem = 0;
        if (Matches(channel.CurrentMax, 20) && Matches(channel.CurrentMin, 4))
            nCurrentItem = 1;
        else if (Matches(channel.CurrentMax, 20) && Matches(channel.CurrentMin, 0))
            nCurrentItem = 2;
    } else if (Matches(channel.VoltageMax, 10) && Matches(channel.VoltageMin, 0)) {
        nVoltageItem = 1;
    } else if (Matches(channel.VoltageMax, 5) && Matches(channel.VoltageMin, -5)) {
        nVoltageItem = 2;
    } else if (Matches(channel.VoltageMax, 10) && Matches(channel.VoltageMin, -10)) {
        nVoltageItem = 3;
    } else {
        return FALSE;
    }
    return TRUE;
}

// ---- The store ------------------------------------------------------------------

CTemplateStore::CTemplateStore()
    : m_nCurTemplate(0),
      m_wPendingRemoval(0),
      m_wUsedSwitchIDs(0),
      m_wUnreadTemplates(0),
      m_wUnloadedTemplates(0),
      m_dwScriptError(0),
      m_nListed(0),
      m_qwScriptFingerprint(0),
      m_bScriptRead(FALSE) {
    std::memset(m_templates, 0, sizeof m_templates);
    std::memset(m_szScriptPath, 0, sizeof m_szScriptPath);
    std::memset(m_anListed, 0, sizeof m_anListed);
}

BOOL CTemplateStore::SetScriptPath(LPCSTR lpszRoot, LPCSTR lpszDevice) {
    if (lpszRoot == NULL) lpszRoot = "";
    if (lpszDevice == NULL) lpszDevice = "";
    std::memset(m_szScriptPath, 0, sizeof m_szScriptPath);
    if (ScriptPathChars(lpszRoot, lpszDevice) > MAX_SCRIPT_PATH) return FALSE;
    const size_t cchRoot = std::strlen(lpszRoot);
    const size_t cchDevice = strnlen(lpszDevice, kDeviceChars);

    char* p = m_szScriptPath;
    auto append = [&p](const char* pszPart, size_t cchPart) {
        std::memcpy(p, pszPart, cchPart);
        p += cchPart;
    };
    append(lpszRoot, cchRoot);
    append(kScriptFolders, sizeof kScriptFolders - 1);
    append(lpszDevice, cchDevice);
    append("\\", 1);
    append(lpszDevice, cchDevice);
    append(kScriptExtension, sizeof kScriptExtension - 1);
    return TRUE;
}

CString CTemplateStore::ScriptPathProblem(LPCSTR lpszRoot, LPCSTR lpszDevice) {
    CString strText;
    if (!IsDeviceName(lpszDevice)) {
        strText.Format("The device name \"%.40s\" is not a three-letter bus and a four-character model, such as "
                       "PCI6406.",
                       lpszDevice != NULL ? lpszDevice : "");
        return strText;
    }
    if (ScriptPathChars(lpszRoot, lpszDevice) <= MAX_SCRIPT_PATH) return strText;
    // The root is echoed only as far as a path could go: a box shows no more
    // than 32767 characters.
    LPCSTR lpszShown = lpszRoot != NULL ? lpszRoot : "";
    const int cchShown = static_cast<int>(strnlen(lpszShown, MAX_SCRIPT_PATH + 1));
    strText.Format("The path of the registry script would be longer than %d characters; "
                   "keep the image folder's path shorter.\n%.*s%s",
                   MAX_SCRIPT_PATH, std::min(cchShown, static_cast<int>(MAX_SCRIPT_PATH)), lpszShown,
                   cchShown > MAX_SCRIPT_PATH ? "..." : "");
    return strText;
}

BOOL CTemplateStore::OpenScript(CRegScript& script) {
    const DWORD dwError = script.Open(m_szScriptPath);
    if (*script.SetAsideJournal()) m_strSetAsideJournal = script.SetAsideJournal();
    if (dwError != 0) {
        m_dwScriptError = dwError;
        // What kept the script closed may be its journal.
        LPCSTR lpszFile = script.GetFileError().m_strFileName;
        m_strErrorFile.Empty();
        if (*lpszFile && std::strcmp(lpszFile, m_szScriptPath) != 0) m_strErrorFile = lpszFile;
    }
    return dwError == 0;
}

void CTemplateStore::NoteFileError(CException* pError) {
    CFileException* pFileError = dynamic_cast<CFileException*>(pError);
    m_dwScriptError = pFileError != nullptr && pFileError->m_lOsError > 0 ? static_cast<DWORD>(pFileError->m_lOsError)
                                                                        : static_cast<DWORD>(ERROR_IO_DEVICE);
    m_strErrorFile.Empty();
    if (pFileError != nullptr && std::strcmp(pFileError->m_strFileName, m_szScriptPath) != 0)
        m_strErrorFile = pFileError->m_strFileName;
    pError->Delete();
}

// The read of the start: FALSE when the script has nothing to give, missing
// (which a save then expects) or unreadable (wUnread marked unread).
BOOL CTemplateStore::OpenScriptToRead(CRegScript& script, WORD wUnread) {
    const BOOL bOpened = OpenScript(script);
    if (bOpened || IsScriptMissing(m_dwScriptError)) {
        m_qwScriptFingerprint = bOpened ? script.GetFingerprint() : 0;
        m_bScriptRead = TRUE;
    } else {
        m_wUnreadTemplates |= wUnread;
    }
    return bOpened;
}

void CTemplateStore::NoteTemplateEdited() { m_wUnloadedTemplates &= static_cast<WORD>(~TemplateBit(m_nCurTemplate)); }

void CTemplateStore::SetModified() { g_bModified = true; }

BOOL CTemplateStore::IsListed(int nIndex) const {
    for (int i = 0; i < m_nListed; ++i) {
        if (m_anListed[i] == nIndex) return TRUE;
    }
    return FALSE;
}

CString CTemplateStore::ScriptErrorText(LPCSTR lpszWhat, LPCSTR lpszOutcome) const {
    CString strError;
    CString strOn;
    if (!m_strErrorFile.IsEmpty()) strOn.Format(" on %s", (LPCSTR)m_strErrorFile);
    const unsigned long ulError = m_dwScriptError;
    if (m_dwScriptError == SCRIPT_CHANGED_ELSEWHERE)
        strError = "Another program changed the script after this dialog read it; open the dialog again to edit the "
                   "script as it is now.";
    else if (LPCSTR lpszReason = DescribeScriptError(m_dwScriptError))
        strError.Format("Operating-system error %lu%s: %s.", ulError, (LPCSTR)strOn, lpszReason);
    else
        strError.Format("Operating-system error %lu%s.", ulError, (LPCSTR)strOn);
    CString strText;
    strText.Format("%s\n%s\n%s\n%s", lpszWhat, m_szScriptPath, (LPCSTR)strError, lpszOutcome);
    return strText;
}

CString CTemplateStore::TakeSetAsideNotice() {
    CString strNotice;
    if (m_strSetAsideJournal.IsEmpty()) return strNotice;
    strNotice.Format("A save of the registry script was cut short, and the script was changed after that, so the "
                     "journal of that save was not put back. The script is kept as it is:\n%s\nThe journal, "
                     "which holds the script's bytes from before that save, is kept as:\n%s",
                     m_szScriptPath, (LPCSTR)m_strSetAsideJournal);
    m_strSetAsideJournal.Empty();
    return strNotice;
}

// The start reads the script once: the list and every entry come from one
// document, and the masks from what loaded.
BOOL CTemplateStore::LoadTemplateList() {
    WORD wMask = 0, wLoaded = 0;
    try {
        CRegScript script;
        if (OpenScriptToRead(script, 0xFFFF)) {
            script.ListTemplateSections(wMask);
            for (int n = 0; n < TEMPLATE_COUNT; ++n) {
                if (LoadTemplate(script, m_templates[n], n)) wLoaded |= TemplateBit(n);
            }
            script.Close();
        }
    } catch (CException* pError) {
        NoteFileError(pError);
        m_wUnreadTemplates = 0xFFFF;
        wMask = wLoaded = 0;
    }
    for (int n = 0; n < TEMPLATE_COUNT; ++n) {
        if (wLoaded & TemplateBit(n)) {
            m_wUsedSwitchIDs |= TemplateBit(m_templates[n].SwitchID);
        } else {
            SetDefaultTemplate(m_templates[n], n);
            if (!(m_wUnreadTemplates & TemplateBit(n))) m_wUnloadedTemplates |= TemplateBit(n);
        }
    }
    m_nListed = 0;
    for (int n = 0; n < TEMPLATE_COUNT; ++n) {
        if ((wMask & TemplateBit(n)) && !(m_wUnreadTemplates & TemplateBit(n))) m_anListed[m_nListed++] = n;
    }
    return TRUE;
}

BOOL CTemplateStore::LoadTemplate(CRegScript& script, TemplateEntry& entry, int nIndex) {
    return TemplateBit(static_cast<DWORD>(nIndex)) != 0 && LoadTemplateEntry(script, nIndex, entry);
}

BOOL CTemplateStore::SaveTemplate(CRegScript& script, const TemplateEntry& entry, int nIndex) {
    if (SaveTemplateEntry(script, nIndex, entry)) return TRUE;
    m_dwScriptError = ERROR_NOT_ENOUGH_MEMORY;  // the document writes nothing when it runs out of memory
    return FALSE;
}

BOOL CTemplateStore::FindFreeTemplateIndex(int& nIndex) {
    WORD wUsed = m_wUnreadTemplates;
    for (int i = 0; i < m_nListed; ++i) wUsed |= TemplateBit(static_cast<DWORD>(m_anListed[i]));
    nIndex = LowestFreeTemplateNumber(wUsed);
    return TRUE;
}

BOOL CTemplateStore::AssignFreeSwitchID(int nIndex) { return ChooseFreeSwitchID(m_templates, nIndex, m_wUsedSwitchIDs); }

int CTemplateStore::AddTemplate() {
    SetModified();
    int nIndex;
    FindFreeTemplateIndex(nIndex);
    if (nIndex >= TEMPLATE_COUNT) return -1;
    AssignFreeSwitchID(nIndex);
    m_wUnloadedTemplates &= static_cast<WORD>(~TemplateBit(nIndex));  // asked for anew: written whole
    m_anListed[m_nListed++] = nIndex;
    return nIndex;
}

void CTemplateStore::SelectTemplate(int nIndex) {
    if (TemplateBit(static_cast<DWORD>(nIndex)) != 0) m_nCurTemplate = nIndex;
}

void CTemplateStore::RemoveTemplate(int nIndex) {
    SetModified();
    int i = 0;
    while (i < m_nListed && m_anListed[i] != nIndex) ++i;
    if (i == m_nListed) return;
    m_nCurTemplate = nIndex;
    m_wPendingRemoval |= TemplateBit(nIndex);
    m_wUsedSwitchIDs &= static_cast<WORD>(~TemplateBit(m_templates[nIndex].SwitchID));
    for (--m_nListed; i < m_nListed; ++i) m_anListed[i] = m_anListed[i + 1];
}

BOOL CTemplateStore::DeleteTemplateFromScript(CRegScript& script, int nIndex) {
    if (script.DeleteTemplateSection(nIndex) == 0) return TRUE;
    m_dwScriptError = ERROR_NOT_ENOUGH_MEMORY;
    return FALSE;
}

// One document for the whole save, held from the check that the script is
// still the one that was read until every change has landed together.
BOOL CTemplateStore::SaveAllTemplates() {
    if (m_wUnreadTemplates == 0xFFFF) {
        // Nothing of the script could be read, so nothing may be written.
        m_wPendingRemoval = 0;
        g_bModified = false;
        return TRUE;
    }
    try {
        CRegScript script;
        if (!OpenScript(script)) return FALSE;
        if (!m_bScriptRead || script.GetFingerprint() != m_qwScriptFingerprint) {
            m_dwScriptError = SCRIPT_CHANGED_ELSEWHERE;
            m_strErrorFile.Empty();
            return FALSE;
        }
        script.BeginTrans();
        for (int n = TEMPLATE_COUNT - 1; n >= 0; --n) {
            if ((m_wPendingRemoval & TemplateBit(n)) && !DeleteTemplateFromScript(script, n)) return FALSE;
        }
        for (int i = 0; i < m_nListed; ++i) {
            const int n = m_anListed[i];
            if ((m_wUnreadTemplates | m_wUnloadedTemplates) & TemplateBit(n)) continue;
            if (!SaveTemplate(script, m_templates[n], n)) return FALSE;
        }
        script.CommitTrans();
        m_qwScriptFingerprint = script.GetFingerprint();
        script.Close();
    } catch (CException* pError) {
        NoteFileError(pError);
        return FALSE;
    }
    m_wPendingRemoval = 0;
    g_bModified = false;
    return TRUE;
}

BOOL CTemplateStore::ChooseSwitchID(DWORD dwSwitchID) {
    TemplateEntry& entry = CurrentTemplate();
    const bool bRefused = (m_wUsedSwitchIDs & TemplateBit(dwSwitchID)) && dwSwitchID != entry.SwitchID;
    const DWORD dwChosen = bRefused ? entry.SwitchID : dwSwitchID;
    m_wUsedSwitchIDs &= static_cast<WORD>(~TemplateBit(entry.SwitchID));
    m_wUsedSwitchIDs |= TemplateBit(dwChosen);
    // A choice is an edit even of the number shown, as a range chosen again is.
    if (!bRefused) NoteTemplateEdited();
    entry.SwitchID = dwChosen;
    SetModified();
    return !bRefused;
}

int CTemplateStore::ChooseVoltageRange(int nChannel, int nItem, BOOL bQuiet) {
    return ChooseRange(ApplyVoltageRange, VOLTAGE_RANGE_ITEMS, nChannel, nItem, bQuiet);
}

int CTemplateStore::ChooseCurrentRange(int nChannel, int nItem, BOOL bQuiet) {
    return ChooseRange(ApplyCurrentRange, CURRENT_RANGE_ITEMS, nChannel, nItem, bQuiet);
}

int CTemplateStore::ChooseRange(int (*pfnApply)(int, AoChannelSetting&), int nItems, int nChannel, int nItem,
                                BOOL bQuiet) {
    if (nItem < 0 || nItem >= nItems) return -1;
    const int nOther = pfnApply(nItem, CurrentTemplate().Channels[nChannel]);
    if (!bQuiet) {
        NoteTemplateEdited();
        SetModified();
    }
    return nOther;
}
