#pragma once
// The main dialog: the template tree, the "Device" and "AO" tabs over their
// pages, and the 16-entry template table with the store operations that list,
// load, add, remove and save the templates of the board's registry script
// (template_dlg_store.cpp, over config/engine/template_store).
#include <afxcmn.h>
#include <afxwin.h>

#include "registry_layout.h"
#include "resource.h"
#include "self_owned_dialog.h"
#include "template_store.h"

class COutputRangePage;
class CDevicePage;
class CRegScript;

// Unsaved edits, shared by every dialog of the process; goes with the state
// of the Save button.
extern bool g_bModified;
// The window handle the host last passed to DriverConfig.
extern HWND g_hHostWnd;

class CTemplateDlg : public CSelfOwnedDialog {
public:
    enum { IDD = IDD_TEMPLATE_DIALOG };
    enum { MAX_SCRIPT_PATH = 255 };  // characters, without the terminator

    CTemplateDlg();

    // m_szScriptPath = root + "Public\Quorvex\Device_Drivers\" + DEV + "\" +
    // DEV + ".reg", DEV the first seven characters of the device name, all
    // copied verbatim (NULL reads as ""). FALSE, with the path left empty,
    // when that would exceed MAX_SCRIPT_PATH characters.
    BOOL SetScriptPath(LPCSTR lpszRoot, LPCSTR lpszDevice);

    // ---- Template store ----
    // The walks go over the device item's children, so they see every
    // template item however the user has scrolled the tree or folded it.
    // The dialog's start: lists the script's templates in the tree and loads
    // every entry, from one reading of the script.
    BOOL LoadTemplateList();
    BOOL LoadTemplate(CRegScript& script, TemplateEntry& entry, int nIndex);
    // A save holds one document for all its writes: they land together.
    BOOL SaveTemplate(CRegScript& script, const TemplateEntry& entry, int nIndex);
    BOOL FindFreeTemplateIndex(int& nIndex);
    BOOL AssignFreeSwitchID(int nIndex);
    void AddTemplate();
    int GetSelectedTemplateIndex();
    void RemoveTemplate();
    BOOL DeleteTemplateFromScript(CRegScript& script, int nIndex);
    // FALSE when the script could not be brought in line (m_dwScriptError
    // says why): the script is as it was, and the edits, the pending
    // removals and g_bModified are kept for another try. A script that
    // another program changed since the dialog read it is not written at all.
    BOOL SaveAllTemplates();

    // The selected template's entry, for the pages.
    TemplateEntry& CurrentTemplate() { return m_templates[m_nCurTemplate]; }
    // An edit: g_bModified set and Save enabled.
    void SetModified();
    // The person changed the selected template's values: a save writes it
    // even when the script held it without a "SwitchID".
    void NoteTemplateEdited();

    COutputRangePage* m_pOutputRangePage;
    CDevicePage* m_pDevicePage;
    TemplateEntry m_templates[TEMPLATE_COUNT];
    int m_nCurTemplate;
    WORD m_wPendingRemoval;
    WORD m_wUsedSwitchIDs;
    char m_szScriptPath[MAX_SCRIPT_PATH + 1];
    CButton m_saveButton;
    CTabCtrl m_tabs;
    CTreeCtrl m_tree;
    // Template numbers the script may hold but that could not be read: they
    // are not listed, written, cut or reused, so the script keeps them as
    // they are.
    WORD m_wUnreadTemplates;
    // Listed templates the script holds without a "SwitchID": the dialog shows
    // them at their defaults, so a save leaves their lines as they are until
    // the person edits them or adds them again.
    WORD m_wUnloadedTemplates;
    // The operating system's error of the last script operation that failed,
    // or SCRIPT_CHANGED_ELSEWHERE; the file it concerned when not the script.
    DWORD m_dwScriptError;
    CString m_strErrorFile;
    // The script as this dialog read it: a save writes over nothing else.
    // 0 for a script that was not there; m_bScriptRead once it was looked at.
    ULONGLONG m_qwScriptFingerprint;
    BOOL m_bScriptRead;
    // A journal that an open of the script set aside, not yet reported; and
    // the text of the last such report.
    CString m_strSetAsideJournal;
    CString m_strNotice;

    // An application's own error code, as Win32 marks them.
    static const DWORD SCRIPT_CHANGED_ELSEWHERE = 0x20000001;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    afx_msg void OnAddTemplate();
    afx_msg void OnRemoveTemplate();
    afx_msg void OnTreeSelChanged(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnTreeKeyDown(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnTabSelChange(NMHDR* pNMHDR, LRESULT* pResult);
    afx_msg void OnAbout();
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    // FALSE, with m_dwScriptError set, when the script cannot be opened.
    BOOL OpenScript(CRegScript& script);
    BOOL OpenScriptToRead(CRegScript& script, WORD wUnread);
    void NoteFileError(CException* pError);
    HTREEITEM GetDeviceItem() const;
    void SetSaved();
    void ShowPageOfSelectedTab();
    void HidePages();
    void RefreshVisiblePage();
    void PlacePage(CDialog* pPage);
    // A message box naming the script and m_dwScriptError.
    void ReportScriptError(LPCSTR lpszWhat, LPCSTR lpszOutcome);
    // A message box naming the script and the journal set aside, if any.
    void ReportSetAsideJournal();
};
