#include "template_dlg.h"

#include <cstring>

#include "about_dlg.h"
#include "device_page.h"
#include "output_range_page.h"
#include "settings_text.h"

HWND g_hHostWnd = NULL;

namespace {

const char kSavePrompt[] = "The configuration of PCI-6406 is change, save the change";
const char kSavePromptCaption[] = "Note";

enum { TAB_DEVICE = 0, TAB_AO = 1 };

// The pages sit at a fixed place right of the tree, in the tab's area.
const int kPageLeft = 200;
const int kPageTop = 30;

}  // namespace

BEGIN_MESSAGE_MAP(CTemplateDlg, CSelfOwnedDialog)
    ON_BN_CLICKED(IDC_ADD_TEMPLATE, OnAddTemplate)
    ON_BN_CLICKED(IDC_REMOVE_TEMPLATE, OnRemoveTemplate)
    ON_NOTIFY(TVN_SELCHANGED, IDC_TEMPLATE_TREE, OnTreeSelChanged)
    ON_NOTIFY(TVN_KEYDOWN, IDC_TEMPLATE_TREE, OnTreeKeyDown)
    ON_NOTIFY(TCN_SELCHANGE, IDC_TEMPLATE_TABS, OnTabSelChange)
    ON_COMMAND(ID_HELP_ABOUT, OnAbout)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

CTemplateDlg::CTemplateDlg() : CSelfOwnedDialog(IDD), m_pOutputRangePage(NULL), m_pDevicePage(NULL) {}

void CTemplateDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDOK, m_saveButton);
    DDX_Control(pDX, IDC_TEMPLATE_TABS, m_tabs);
    DDX_Control(pDX, IDC_TEMPLATE_TREE, m_tree);
}

void CTemplateDlg::PlacePage(CDialog* pPage) {
    RECT rect;
    pPage->GetClientRect(&rect);
    pPage->MoveWindow(rect.left + kPageLeft, rect.top + kPageTop, rect.right - rect.left, rect.bottom - rect.top, FALSE);
}

BOOL CTemplateDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_store.m_wPendingRemoval = 0;
    m_store.m_wUsedSwitchIDs = 0;
    m_saveButton.EnableWindow(FALSE);

    // Over the host's window; a handle that names none leaves the dialog
    // where the template puts it.
    RECT rectHost;
    if (g_hHostWnd != NULL && ::GetWindowRect(g_hHostWnd, &rectHost)) MoveWindow(&rectHost, FALSE);

    m_pOutputRangePage = new COutputRangePage(this);
    HTREEITEM hRoot = m_tree.InsertItem("DeviceTemplate", TVI_ROOT, TVI_LAST);
    HTREEITEM hDevice = m_tree.InsertItem("PCI-6406", hRoot, TVI_LAST);
    m_store.LoadTemplateList();
    char szName[16];
    for (int i = 0; i < m_store.ListedCount(); ++i) {
        FormatTemplateName(m_store.ListedAt(i), szName, sizeof szName);
        m_tree.InsertItem(szName, hDevice, TVI_LAST);
    }
    m_tree.SelectSetFirstVisible(m_tree.GetChildItem(hDevice));
    m_tabs.InsertItem(TAB_DEVICE, "Device");
    m_tabs.InsertItem(TAB_AO, "AO");

    m_store.m_nCurTemplate = 0;

    // A page that cannot be made leaves its tab empty. Its object is not
    // deleted here: one whose window came and went has deleted itself.
    if (m_pOutputRangePage->Create(COutputRangePage::IDD, this))
        PlacePage(m_pOutputRangePage);
    else
        m_pOutputRangePage = NULL;
    m_pDevicePage = new CDevicePage(this);
    if (m_pDevicePage->Create(CDevicePage::IDD, this))
        PlacePage(m_pDevicePage);
    else
        m_pDevicePage = NULL;

    // What could not be read is left out, so that no save can overwrite it.
    if (m_store.m_wUnreadTemplates != 0)
        ReportScriptError(kCannotRead, kLeftOut);
    ReportSetAsideJournal();
    RefreshVisiblePage();
    return TRUE;
}

HTREEITEM CTemplateDlg::GetDeviceItem() const { return m_tree.GetChildItem(m_tree.GetRootItem()); }

void CTemplateDlg::ShowModified() { m_saveButton.EnableWindow(g_bModified ? TRUE : FALSE); }

void CTemplateDlg::ReportScriptError(LPCSTR lpszWhat, LPCSTR lpszOutcome) {
    MessageBox(m_store.ScriptErrorText(lpszWhat, lpszOutcome), NULL, MB_OK | MB_ICONERROR);
}

void CTemplateDlg::ReportSetAsideJournal() {
    const CString strNotice = m_store.TakeSetAsideNotice();
    if (!strNotice.IsEmpty()) MessageBox(strNotice, NULL, MB_OK | MB_ICONWARNING);
}

void CTemplateDlg::AddTemplate() {
    HTREEITEM hDevice = GetDeviceItem();
    const int nIndex = m_store.AddTemplate();
    ShowModified();
    if (nIndex < 0) {
        MessageBox(kTooManyTemplates);
        return;
    }
    char szName[16];
    FormatTemplateName(nIndex, szName, sizeof szName);
    m_tree.InsertItem(szName, hDevice, TVI_LAST);
    HTREEITEM hFirst = m_tree.GetChildItem(hDevice);
    m_tree.SelectItem(hFirst);
    m_tree.SelectSetFirstVisible(hFirst);
}

int CTemplateDlg::GetSelectedTemplateIndex() {
    int n = TemplateNumberOf(m_tree.GetItemText(m_tree.GetSelectedItem()));
    if (n >= 0) m_store.SelectTemplate(n);
    return n;
}

void CTemplateDlg::RemoveTemplate() {
    HTREEITEM hSelected = m_tree.GetSelectedItem();
    HTREEITEM hParent = hSelected != NULL ? m_tree.GetParentItem(hSelected) : NULL;
    // Only template items have a parent with a parent.
    const int n = hParent != NULL && m_tree.GetParentItem(hParent) != NULL ? GetSelectedTemplateIndex() : -1;
    m_store.RemoveTemplate(n);
    ShowModified();
    if (n >= 0) m_tree.DeleteItem(hSelected);
}

BOOL CTemplateDlg::SaveAllTemplates() {
    const BOOL bSaved = m_store.SaveAllTemplates();
    ShowModified();
    return bSaved;
}

void CTemplateDlg::HidePages() {
    if (m_pDevicePage != NULL) m_pDevicePage->ShowWindow(SW_HIDE);
    if (m_pOutputRangePage != NULL) m_pOutputRangePage->ShowWindow(SW_HIDE);
}

void CTemplateDlg::ShowPageOfSelectedTab() {
    const bool bDevice = m_tabs.GetCurSel() == TAB_DEVICE;
    if (m_pDevicePage != NULL) m_pDevicePage->ShowWindow(bDevice ? SW_SHOW : SW_HIDE);
    if (m_pOutputRangePage != NULL) m_pOutputRangePage->ShowWindow(bDevice ? SW_HIDE : SW_SHOW);
}

void CTemplateDlg::RefreshVisiblePage() {
    if (m_tabs.GetCurSel() == TAB_DEVICE) {
        if (m_pDevicePage != NULL) m_pDevicePage->ShowSwitchID();
    } else if (m_pOutputRangePage != NULL) {
        m_pOutputRangePage->ShowChannelRanges();
    }
}

void CTemplateDlg::OnTreeSelChanged(NMHDR*, LRESULT* pResult) {
    if (GetSelectedTemplateIndex() == -1) {
        HidePages();
    } else {
        ShowPageOfSelectedTab();
        RefreshVisiblePage();
    }
    *pResult = 0;
}

void CTemplateDlg::OnTabSelChange(NMHDR*, LRESULT* pResult) {
    if (TemplateNumberOf(m_tree.GetItemText(m_tree.GetSelectedItem())) >= 0) {
        ShowPageOfSelectedTab();
        RefreshVisiblePage();
    }
    *pResult = 0;
}

// No control of the dialog opens the About box; F1 in the tree does.
void CTemplateDlg::OnTreeKeyDown(NMHDR* pNMHDR, LRESULT* pResult) {
    if (reinterpret_cast<NMTVKEYDOWN*>(pNMHDR)->wVKey == VK_F1) SendMessage(WM_COMMAND, ID_HELP_ABOUT);
    *pResult = 0;
}

void CTemplateDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal();
}

void CTemplateDlg::OnAddTemplate() { AddTemplate(); }

void CTemplateDlg::OnRemoveTemplate() { RemoveTemplate(); }

// Save: the dialog stays open.
void CTemplateDlg::OnOK() {
    if (!SaveAllTemplates()) ReportScriptError(kCannotSave, "The script is unchanged.");
    ReportSetAsideJournal();
}

void CTemplateDlg::OnCancel() {
    if (g_bModified) {
        if (MessageBox(kSavePrompt, kSavePromptCaption, MB_OKCANCEL) == IDOK && !SaveAllTemplates()) {
            ReportScriptError(kCannotSave, "The script is unchanged, and the dialog stays open.");
            return;
        }
        g_bModified = false;
    }
    CDialog::OnCancel();
}

void CTemplateDlg::OnDestroy() {
    CDialog::OnDestroy();
    // The controls are still there for the save.
    if (g_bModified && ::MessageBoxA(NULL, kSavePrompt, kSavePromptCaption, MB_OKCANCEL) == IDOK &&
        !SaveAllTemplates())
        ReportScriptError(kCannotSave, "The script is unchanged; the changes are lost.");
    g_bModified = false;
}
