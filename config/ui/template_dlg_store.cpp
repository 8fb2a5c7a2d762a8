// The template store as the main dialog runs it: the tree that lists the
// templates, the masks and the script sessions, over the entries, numbers and
// script reads and writes of config/engine/template_store. The dialog's start
// and each save open the script on their own and close it again.
#include <cstring>

#include "regscript.h"
#include "settings_text.h"
#include "template_dlg.h"

BOOL CTemplateDlg::OpenScript(CRegScript& script) {
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

void CTemplateDlg::ReportSetAsideJournal() {
    if (m_strSetAsideJournal.IsEmpty()) return;
    m_strNotice.Format("A save of the registry script was cut short, and the script was changed after that, so the "
                       "journal of that save was not put back. The script is kept as it is:\n%s\nThe journal, "
                       "which holds the script's bytes from before that save, is kept as:\n%s",
                       m_szScriptPath, (LPCSTR)m_strSetAsideJournal);
    m_strSetAsideJournal.Empty();
    MessageBox(m_strNotice, NULL, MB_OK | MB_ICONWARNING);
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

// The read of the dialog's start: FALSE when the script has nothing to give,
// missing (which a save then expects) or unreadable (wUnread marked unread).
BOOL CTemplateDlg::OpenScriptToRead(CRegScript& script, WORD wUnread) {
    const BOOL bOpened = OpenScript(script);
    if (bOpened || IsScriptMissing(m_dwScriptError)) {
        m_qwScriptFingerprint = bOpened ? script.GetFingerprint() : 0;
        m_bScriptRead = TRUE;
    } else {
        m_wUnreadTemplates |= wUnread;
    }
    return bOpened;
}

HTREEITEM CTemplateDlg::GetDeviceItem() const { return m_tree.GetChildItem(m_tree.GetRootItem()); }

void CTemplateDlg::NoteTemplateEdited() {
    m_wUnloadedTemplates &= static_cast<WORD>(~TemplateBit(m_nCurTemplate));
}

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
    else if (LPCSTR lpszReason = DescribeScriptError(m_dwScriptError))
        strError.Format("Operating-system error %lu%s: %s.", ulError, (LPCSTR)strOn, lpszReason);
    else
        strError.Format("Operating-system error %lu%s.", ulError, (LPCSTR)strOn);
    CString strText;
    strText.Format("%s\n%s\n%s\n%s", lpszWhat, m_szScriptPath, (LPCSTR)strError, lpszOutcome);
    MessageBox(strText, NULL, MB_OK | MB_ICONERROR);
}

// The dialog's start reads the script once: the list and every entry come
// from one document, and the masks from what loaded.
BOOL CTemplateDlg::LoadTemplateList() {
    HTREEITEM hDevice = GetDeviceItem();
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

    char szName[16];
    for (int n = 0; n < TEMPLATE_COUNT; ++n) {
        if (!(wMask & TemplateBit(n))) continue;
        FormatTemplateName(n, szName, sizeof szName);
        m_tree.InsertItem(szName, hDevice, TVI_LAST);
    }
    m_tree.SelectSetFirstVisible(m_tree.GetChildItem(hDevice));
    return TRUE;
}

BOOL CTemplateDlg::LoadTemplate(CRegScript& script, TemplateEntry& entry, int nIndex) {
    return TemplateBit(static_cast<DWORD>(nIndex)) != 0 && LoadTemplateEntry(script, nIndex, entry);
}

BOOL CTemplateDlg::SaveTemplate(CRegScript& script, const TemplateEntry& entry, int nIndex) {
    if (SaveTemplateEntry(script, nIndex, entry)) return TRUE;
    m_dwScriptError = ERROR_NOT_ENOUGH_MEMORY;  // the document writes nothing when it runs out of memory
    return FALSE;
}

BOOL CTemplateDlg::FindFreeTemplateIndex(int& nIndex) {
    HTREEITEM hDevice = GetDeviceItem();
    WORD wUsed = m_wUnreadTemplates;
    for (HTREEITEM hItem = m_tree.GetChildItem(hDevice); hItem != NULL; hItem = m_tree.GetNextSiblingItem(hItem)) {
        int n = TemplateNumberOf(m_tree.GetItemText(hItem));
        if (n >= 0) wUsed |= TemplateBit(n);
    }
    nIndex = LowestFreeTemplateNumber(wUsed);
    return TRUE;
}

BOOL CTemplateDlg::AssignFreeSwitchID(int nIndex) { return ChooseFreeSwitchID(m_templates, nIndex, m_wUsedSwitchIDs); }

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
    m_wUnloadedTemplates &= static_cast<WORD>(~TemplateBit(nIndex));  // asked for anew: written whole
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
    m_wPendingRemoval |= TemplateBit(m_nCurTemplate);
    m_wUsedSwitchIDs &= static_cast<WORD>(~TemplateBit(m_templates[m_nCurTemplate].SwitchID));
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
    if (m_wUnreadTemplates == 0xFFFF) {
        // Nothing of the script could be read, so the dialog may write nothing.
        m_wPendingRemoval = 0;
        SetSaved();
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
        for (HTREEITEM hItem = m_tree.GetChildItem(hDevice); hItem != NULL; hItem = m_tree.GetNextSiblingItem(hItem)) {
            int n = TemplateNumberOf(m_tree.GetItemText(hItem));
            if (n < 0 || ((m_wUnreadTemplates | m_wUnloadedTemplates) & TemplateBit(n))) continue;
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
