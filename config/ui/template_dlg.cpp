#include "template_dlg.h"

#include <cstring>

#include "about_dlg.h"
#include "device_page.h"
#include "output_range_page.h"

bool g_bModified = false;
HWND g_hHostWnd = NULL;

namespace {

const char kScriptFolders[] = "Public\\Quorvex\\Device_Drivers\\";
const char kScriptExtension[] = ".reg";
const size_t kDeviceChars = 7;  // a three-letter bus prefix and the four-character model

const char kSavePrompt[] = "The configuration of PCI-6406 is change, save the change";
const char kSavePromptCaption[] = "Note";
const char kSaveFailed[] = "Cannot save the templates to the registry script";

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

CTemplateDlg::CTemplateDlg()
    : CSelfOwnedDialog(IDD),
      m_pOutputRangePage(NULL),
      m_pDevicePage(NULL),
      m_nCurTemplate(0),
      m_wPendingRemoval(0),
      m_wUsedSwitchIDs(0),
      m_wUnreadTemplates(0),
      m_wUnloadedTemplates(0),
      m_dwScriptError(0),
      m_qwScriptFingerprint(0),
      m_bScriptRead(FALSE) {
    std::memset(m_templates, 0, sizeof m_templates);
    std::memset(m_szScriptPath, 0, sizeof m_szScriptPath);
}

BOOL CTemplateDlg::SetScriptPath(LPCSTR lpszRoot, LPCSTR lpszDevice) {
    if (lpszRoot == NULL) lpszRoot = "";
    if (lpszDevice == NULL) lpszDevice = "";
    const size_t cchRoot = std::strlen(lpszRoot);
    const size_t cchDevice = strnlen(lpszDevice, kDeviceChars);
    const size_t cchPath =
        cchRoot + (sizeof kScriptFolders - 1) + cchDevice + 1 + cchDevice + (sizeof kScriptExtension - 1);
    std::memset(m_szScriptPath, 0, sizeof m_szScriptPath);
    if (cchPath > MAX_SCRIPT_PATH) return FALSE;

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
    m_wPendingRemoval = 0;
    m_wUsedSwitchIDs = 0;
    m_saveButton.EnableWindow(FALSE);

    // Over the host's window; a handle that names none leaves the dialog
    // where the template puts it.
    RECT rectHost;
    if (g_hHostWnd != NULL && ::GetWindowRect(g_hHostWnd, &rectHost)) MoveWindow(&rectHost, FALSE);

    m_pOutputRangePage = new COutputRangePage(this);
    HTREEITEM hRoot = m_tree.InsertItem("DeviceTemplate", TVI_ROOT, TVI_LAST);
    m_tree.InsertItem("PCI-6406", hRoot, TVI_LAST);
    LoadTemplateList();
    m_tabs.InsertItem(TAB_DEVICE, "Device");
    m_tabs.InsertItem(TAB_AO, "AO");

    m_nCurTemplate = 0;

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

    if (m_wUnreadTemplates != 0) {
        // What could not be read is left out, so that no save can overwrite it.
        HTREEITEM hDevice = GetDeviceItem();
        for (HTREEITEM hItem = m_tree.GetChildItem(hDevice); hItem != NULL;) {
            HTREEITEM hNext = m_tree.GetNextSiblingItem(hItem);
            int n = TemplateNumberOf(m_tree.GetItemText(hItem));
            if (n >= 0 && (m_wUnreadTemplates & TemplateBit(n))) m_tree.DeleteItem(hItem);
            hItem = hNext;
        }
        ReportScriptError("Cannot read the registry script",
                          "The templates that could not be read are left out; the script keeps them as they are.");
    }
    ReportSetAsideJournal();
    RefreshVisiblePage();
    return TRUE;
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
    if (!SaveAllTemplates()) ReportScriptError(kSaveFailed, "The script is unchanged.");
    ReportSetAsideJournal();
}

void CTemplateDlg::OnCancel() {
    if (g_bModified) {
        if (MessageBox(kSavePrompt, kSavePromptCaption, MB_OKCANCEL) == IDOK && !SaveAllTemplates()) {
            ReportScriptError(kSaveFailed, "The script is unchanged, and the dialog stays open.");
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
        ReportScriptError(kSaveFailed, "The script is unchanged; the changes are lost.");
    g_bModified = false;
}
