#pragma once
// The main dialog, the template store's view: the tree lists the store's
// templates and selects the one the "Device" and "AO" pages show and edit;
// Add, Remove and Save reach the store's operations.
#include <afxcmn.h>
#include <afxwin.h>

#include "registry_layout.h"
#include "resource.h"
#include "self_owned_dialog.h"
#include "template_store.h"

class COutputRangePage;
class CDevicePage;

// The window handle the host last passed to DriverConfig.
extern HWND g_hHostWnd;

class CTemplateDlg : public CSelfOwnedDialog {
public:
    enum { IDD = IDD_TEMPLATE_DIALOG };
    enum { MAX_SCRIPT_PATH = CTemplateStore::MAX_SCRIPT_PATH };

    CTemplateDlg();

    BOOL SetScriptPath(LPCSTR lpszRoot, LPCSTR lpszDevice) { return m_store.SetScriptPath(lpszRoot, lpszDevice); }

    // The store's operations as the person reaches them: the tree shows the
    // listed templates, and its selection is the store's selected template.
    void AddTemplate();
    int GetSelectedTemplateIndex();
    void RemoveTemplate();
    BOOL SaveAllTemplates();

    CTemplateStore& Store() { return m_store; }
    // The selected template's entry, for the pages.
    TemplateEntry& CurrentTemplate() { return m_store.CurrentTemplate(); }
    // Save goes with g_bModified.
    void ShowModified();

    CTemplateStore m_store;
    COutputRangePage* m_pOutputRangePage;
    CDevicePage* m_pDevicePage;
    CButton m_saveButton;
    CTabCtrl m_tabs;
    CTreeCtrl m_tree;

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
    HTREEITEM GetDeviceItem() const;
    void ShowPageOfSelectedTab();
    void HidePages();
    void RefreshVisiblePage();
    void PlacePage(CDialog* pPage);
    // A message box naming the script and the store's last script error.
    void ReportScriptError(LPCSTR lpszWhat, LPCSTR lpszOutcome);
    // A message box naming the script and the journal set aside, if any.
    void ReportSetAsideJournal();
};
