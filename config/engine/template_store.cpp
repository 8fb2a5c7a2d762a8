// The template store: the main dialog's table of 16 templates, the tree that
// lists them, and the registry script they come from and go to. Each load,
// save, removal and listing opens the script on its own and closes it again.
#include <cstring>

#include "regscript.h"
#include "settings_text.h"
#include "template_dlg.h"

namespace {

// A channel text longer than this does not load: the channel keeps its default.
const int kChannelTextChars = 255;

// The setting of a channel that a template lacks: -10..10 V.
const TemplateTextNumbers kDefaultNumbers = {0, 10, -10, 0, 0};

WORD Bit(int n) { return static_cast<WORD>(1u << n); }
bool IsTemplateNumber(DWORD n) { return n < static_cast<DWORD>(TEMPLATE_COUNT); }

void SetDefaults(TemplateEntry& entry, int nIndex) {
    entry.SwitchID = static_cast<DWORD>(nIndex);
    for (AoChannelSetting& channel : entry.Channels) TemplateNumbersToSetting(kDefaultNumbers, channel);
}

// A script that is not there yet holds no templates; any other failure to
// open it means its templates could not be read.
bool IsMissing(DWORD dwError) { return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND; }

LPCSTR DescribeError(DWORD dwError) {
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
    default: return nullptr;
    }
}

}  // namespace

int TemplateNumberOf(LPCSTR lpszItemText) {
    const size_t cchPrefix = sizeof(TEMPLATE_KEY_PREFIX_A) - 1;
    if (lpszItemText == nullptr || std::strncmp(lpszItemText, TEMPLATE_KEY_PREFIX_A, cchPrefix) != 0) return -1;
    const char* p = lpszItemText + cchPrefix;
    int n = 0;
    int nDigits = 0;
    for (; *p >= '0' && *p <= '9' && nDigits < 3; ++p, ++nDigits) n = n * 10 + (*p - '0');
    return nDigits > 0 && *p == '\0' && n < TEMPLATE_COUNT ? n : -1;
}

BOOL CTemplateDlg::OpenScript(CRegScript& script) {
    const DWORD dwError = script.Open(m_szScriptPath);
    if (dwError != 0) {
        m_dwScriptError = dwError;
        m_strErrorFile.Empty();
    }
    return dwError == 0;
}

void CTemplateDlg::NoteFileError(CException* pError) {
    CFileException* pFileError = dynamic_cast<CFileException*>(pError);
    m_dwScriptError = pFileError != nullptr && pFileError->m_lOsError > 0 ? static_cast<DWORD>(pFileError->m_lOsError)
                                                                        : static_cast<DWORD>(ERROR_IO_DEVICE);
    m_strErrorFile.Empty();
    if (pFileError != nullptr && std::strcmp(pFileError->m_strFileName, m_szScriptPath) != 0)
        m_strErrorFile = pFileError->m_strFileName;
    pError->Delete();
}

// The store reads the script once to list it and once per template: all of
// them must see one script, or the table is a mix that no save may write.
void CTemplateDlg::NoteScriptRead(ULONGLONG qwFingerprint) {
    if (!m_bScriptRead) {
        m_qwScriptFingerprint = qwFingerprint;
        m_bScriptRead = TRUE;
    } else if (qwFingerprint != m_qwScriptFingerprint) {
        m_bScriptChanged = TRUE;
    }
}

HTREEITEM CTemplateDlg::GetDeviceItem() const { return m_tree.GetChildItem(m_tree.GetRootItem()); }

void CTemplateDlg::SetModified() {
    g_bModified = true;
    m_saveButton.EnableWindow(TRUE);
}

void CTemplateDlg::SetSaved() {
    g_bModified = false;
    m_saveButton.EnableWindow(FALSE);
}

void CTemplateDlg::ReportScriptError(LPCSTR lpszWhat, LPCSTR lpszOutcome) {
    CString strError;
    CString strOn;
    if (!m_strErrorFile.IsEmpty()) strOn.Format(" on %s", (LPCSTR)m_strErrorFile);
    const unsigned long ulError = m_dwScriptError;
    if (m_dwScriptError == SCRIPT_CHANGED_ELSEWHERE)
        strError = "Another program changed the script after this dialog read it; open the dialog again to edit the "
                   "script as it is now.";
    else if (LPCSTR lpszReason = DescribeError(m_dwScriptError))
        strError.Format("Operating-system error %lu%s: %s.", ulError, (LPCSTR)strOn, lpszReason);
    else
        strError.Format("Operating-system error %lu%s.", ulError, (LPCSTR)strOn);
    CString strText;
    strText.Format("%s\n%s\n%s\n%s", lpszWhat, m_szScriptPath, (LPCSTR)strError, lpszOutcome);
    MessageBox(strText, NULL, MB_OK | MB_ICONERROR);
}

BOOL CTemplateDlg::LoadTemplateList() {
    HTREEITEM hDevice = GetDeviceItem();
    for (int n = 0; n < TEMPLATE_COUNT; ++n) SetDefaults(m_templates[n], n);

    WORD wMask = 0;
    try {
        CRegScript script;
        if (OpenScript(script)) {
            NoteScriptRead(script.GetFingerprint());
            script.ListTemplateSections(wMask);
            script.Close();
        } else if (IsMissing(m_dwScriptError)) {
            NoteScriptRead(0);
        } else {
            m_wUnreadTemplates = 0xFFFF;
        }
    } catch (CException* pError) {
        NoteFileError(pError);
        m_wUnreadTemplates = 0xFFFF;
        wMask = 0;
    }

    char szName[16];
    for (int n = 0; n < TEMPLATE_COUNT; ++n) {
        if (!(wMask & Bit(n))) continue;
        FormatTemplateName(n, szName, sizeof szName);
        m_tree.InsertItem(szName, hDevice, TVI_LAST);
    }
    m_tree.SelectSetFirstVisible(m_tree.GetChildItem(hDevice));
    return TRUE;
}

BOOL CTemplateDlg::LoadTemplate(TemplateEntry& entry, int nIndex) {
    SetDefaults(entry, nIndex);
    if (!IsTemplateNumber(static_cast<DWORD>(nIndex))) return FALSE;
    try {
        CRegScript script;
        if (!OpenScript(script)) {
            if (IsMissing(m_dwScriptError))
                NoteScriptRead(0);
            else
                m_wUnreadTemplates |= Bit(nIndex);
            return FALSE;
        }
        NoteScriptRead(script.GetFingerprint());
        // Only a dword counts: anything else would be copied in as raw bytes.
        DWORD dwSwitchID = 0, dwType = 0, dwSize = 0;
        if (script.ReadValue(nIndex, VALUE_SWITCH_ID_A, &dwType, &dwSwitchID, sizeof dwSwitchID, &dwSize) != 0 ||
            dwType != REG_DWORD) {
            script.Close();
            return FALSE;  // no SwitchID, no template
        }
        entry.SwitchID = dwSwitchID;
        char szName[16];
        for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
            char szText[kChannelTextChars + 1] = {};
            FormatAoSettingsName(i, szName, sizeof szName);
            if (script.ReadValue(nIndex, szName, &dwType, szText, kChannelTextChars, &dwSize) != 0 ||
                dwType != REG_SZ)
                continue;  // the channel keeps its default
            // Numbers the text lacks keep the default's.
            TemplateTextNumbers numbers = kDefaultNumbers;
            ParseTemplateText(szText, dwSize, SCAN_ANY_WIDTH, numbers);
            TemplateNumbersToSetting(numbers, entry.Channels[i]);
        }
        script.Close();
        return TRUE;
    } catch (CException* pError) {
        NoteFileError(pError);
        m_wUnreadTemplates |= Bit(nIndex);
        return FALSE;
    }
}

BOOL CTemplateDlg::SaveTemplate(CRegScript& script, const TemplateEntry& entry, int nIndex) {
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
    // The document writes nothing when it runs out of memory.
    if (!bWritten) m_dwScriptError = ERROR_NOT_ENOUGH_MEMORY;
    return bWritten;
}

BOOL CTemplateDlg::FindFreeTemplateIndex(int& nIndex) {
    HTREEITEM hDevice = GetDeviceItem();
    WORD wUsed = m_wUnreadTemplates;
    for (HTREEITEM hItem = m_tree.GetChildItem(hDevice); hItem != NULL; hItem = m_tree.GetNextSiblingItem(hItem)) {
        int n = TemplateNumberOf(m_tree.GetItemText(hItem));
        if (n >= 0) wUsed |= Bit(n);
    }
    for (nIndex = 0; nIndex < TEMPLATE_COUNT && (wUsed & Bit(nIndex)); ++nIndex) {
    }
    return TRUE;
}

BOOL CTemplateDlg::AssignFreeSwitchID(int nIndex) {
    WORD wHeld = 0;
    for (const TemplateEntry& entry : m_templates) {
        if (IsTemplateNumber(entry.SwitchID)) wHeld |= Bit(static_cast<int>(entry.SwitchID));
    }
    for (int s = 0; s < TEMPLATE_COUNT; ++s) {
        if (wHeld & Bit(s)) continue;
        m_templates[nIndex].SwitchID = static_cast<DWORD>(s);
        m_wUsedSwitchIDs |= Bit(s);
        return TRUE;
    }
    // Every number is held, each by one entry: the template keeps the one
    // its entry holds, which is now in use.
    if (IsTemplateNumber(m_templates[nIndex].SwitchID))
        m_wUsedSwitchIDs |= Bit(static_cast<int>(m_templates[nIndex].SwitchID));
    return FALSE;
}

void CTemplateDlg::AddTemplate() {
    HTREEITEM hDevice = GetDeviceItem();
    SetModified();
    int nIndex;
    FindFreeTemplateIndex(nIndex);
    if (nIndex >= TEMPLATE_COUNT) {
        MessageBox("Support up to 16 Templates");
        return;
    }
    char szName[16];
    FormatTemplateName(nIndex, szName, sizeof szName);
    AssignFreeSwitchID(nIndex);
    m_tree.InsertItem(szName, hDevice, TVI_LAST);
    HTREEITEM hFirst = m_tree.GetChildItem(hDevice);
    m_tree.SelectItem(hFirst);
    m_tree.SelectSetFirstVisible(hFirst);
}

int CTemplateDlg::GetSelectedTemplateIndex() {
    int n = TemplateNumberOf(m_tree.GetItemText(m_tree.GetSelectedItem()));
    if (n >= 0) m_nCurTemplate = n;
    return n;
}

void CTemplateDlg::RemoveTemplate() {
    SetModified();
    HTREEITEM hSelected = m_tree.GetSelectedItem();
    HTREEITEM hParent = hSelected != NULL ? m_tree.GetParentItem(hSelected) : NULL;
    if (hParent == NULL || m_tree.GetParentItem(hParent) == NULL) return;  // not a template item
    if (GetSelectedTemplateIndex() < 0) return;
    m_wPendingRemoval |= Bit(m_nCurTemplate);
    const DWORD dwSwitchID = m_templates[m_nCurTemplate].SwitchID;
    if (IsTemplateNumber(dwSwitchID)) m_wUsedSwitchIDs &= static_cast<WORD>(~Bit(static_cast<int>(dwSwitchID)));
    m_tree.DeleteItem(hSelected);
}

BOOL CTemplateDlg::DeleteTemplateFromScript(CRegScript& script, int nIndex) {
    if (script.DeleteTemplateSection(nIndex) == 0) return TRUE;
    m_dwScriptError = ERROR_NOT_ENOUGH_MEMORY;
    return FALSE;
}

// One document for the whole save, held from the check that the script is
// still the one the dialog read until every change has landed together.
BOOL CTemplateDlg::SaveAllTemplates() {
    HTREEITEM hDevice = GetDeviceItem();
    try {
        CRegScript script;
        if (!OpenScript(script)) return FALSE;
        if (m_bScriptChanged || !m_bScriptRead || script.GetFingerprint() != m_qwScriptFingerprint) {
            m_dwScriptError = SCRIPT_CHANGED_ELSEWHERE;
            m_strErrorFile.Empty();
            return FALSE;
        }
        script.BeginTrans();
        for (int n = TEMPLATE_COUNT - 1; n >= 0; --n) {
            if ((m_wPendingRemoval & Bit(n)) && !DeleteTemplateFromScript(script, n)) return FALSE;
        }
        for (HTREEITEM hItem = m_tree.GetChildItem(hDevice); hItem != NULL; hItem = m_tree.GetNextSiblingItem(hItem)) {
            int n = TemplateNumberOf(m_tree.GetItemText(hItem));
            if (n < 0 || (m_wUnreadTemplates & Bit(n))) continue;
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
    SetSaved();
    return TRUE;
}
