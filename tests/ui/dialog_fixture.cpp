#include "dialog_fixture.h"

#include <cstdio>

#include "resource.h"

const char kMinus10To10V[] = "     0    10   -10     0     0";
const char k0To10V[] = "     0    10     0     0     0";
const char kMinus5To5V[] = "     0     5    -5     0     0";
const char k0To5V[] = "     0     5     0     0     0";
const char k0To20mA[] = "     0     5     0    20     0";
const char k4To20mA[] = "     0     5     0    20     4";

const char kScriptHead[] = "; PCI-6406 board registry script\r\n";

std::string Section(int n, DWORD dwSwitchID, const char* ch0, const char* ch1, const char* ch2, const char* ch3) {
    char szSwitch[32];
    std::snprintf(szSwitch, sizeof szSwitch, "\"SwitchID\"=dword:%x\r\n", static_cast<unsigned>(dwSwitchID));
    std::string text = " \r\n" + Header(n) + " \r\n" + szSwitch;
    const char* channels[] = {ch0, ch1, ch2, ch3};
    for (int i = 0; i < 4; ++i) text += "\"AOSettings " + std::to_string(i) + "\"=\"" + channels[i] + "\"\r\n";
    return text;
}

namespace {

HWND FindDescendant(HWND hParent, int nID) {
    for (HWND hChild = GetWindow(hParent, GW_CHILD); hChild != NULL; hChild = GetWindow(hChild, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(hChild) == nID) return hChild;
        if (HWND hFound = FindDescendant(hChild, nID)) return hFound;
    }
    return NULL;
}

}  // namespace

TemplateDialogTest::TemplateDialogTest()
    : m_script("Public/Quorvex/Device_Drivers/PCI6406/PCI6406.reg"), m_hDlg(NULL), m_pDlg(NULL) {}

void TemplateDialogTest::SetUp() {
    AfxGetStaticModuleState()->m_lpszCurrentAppName = "PCI6406Cfg";
    g_bModified = false;
    AfxResetFaults();
}

void TemplateDialogTest::TearDown() {
    if (IsWindow(m_hDlg)) {
        g_bModified = false;  // whatever a test left unsaved goes without a prompt
        DestroyWindow(m_hDlg);
    }
    AfxResetFaults();
    EXPECT_EQ(AfxLivePageBlocks(), 0u);
}

std::string TemplateDialogTest::ScriptPath() const {
    return m_script.Root() + "/Public\\Quorvex\\Device_Drivers\\PCI6406\\PCI6406.reg";
}

void TemplateDialogTest::Open(const std::string& script) {
    m_script.Put(script);
    EXPECT_EQ(DriverConfig(NULL, (m_script.Root() + "/").c_str(), "PCI6406", ""), 1);
    m_hDlg = GetActiveWindow();
    m_pDlg = dynamic_cast<CTemplateDlg*>(CWnd::FromHandlePermanent(m_hDlg));
    ASSERT_NE(m_pDlg, nullptr);
    EXPECT_STREQ(m_pDlg->m_szScriptPath, ScriptPath().c_str());
}

HWND TemplateDialogTest::Control(int nID) const { return FindDescendant(m_hDlg, nID); }

HTREEITEM TemplateDialogTest::Item(const char* pszText) const {
    CTreeCtrl& tree = m_pDlg->m_tree;
    HTREEITEM hRoot = tree.GetRootItem();
    if (tree.GetItemText(hRoot) == pszText) return hRoot;
    HTREEITEM hDevice = tree.GetChildItem(hRoot);
    if (tree.GetItemText(hDevice) == pszText) return hDevice;
    for (HTREEITEM h = tree.GetChildItem(hDevice); h != NULL; h = tree.GetNextSiblingItem(h))
        if (tree.GetItemText(h) == pszText) return h;
    return NULL;
}

std::vector<std::string> TemplateDialogTest::TemplateItems() const {
    CTreeCtrl& tree = m_pDlg->m_tree;
    std::vector<std::string> items;
    for (HTREEITEM h = tree.GetChildItem(tree.GetChildItem(tree.GetRootItem())); h != NULL;
         h = tree.GetNextSiblingItem(h))
        items.push_back((LPCSTR)tree.GetItemText(h));
    return items;
}

std::string TemplateDialogTest::SelectedItem() const {
    return (LPCSTR)m_pDlg->m_tree.GetItemText(m_pDlg->m_tree.GetSelectedItem());
}

std::string TemplateDialogTest::PageShown() const {
    const bool bDevice = IsWindowVisible(GetParent(Control(IDC_BOARD_ID))) != FALSE;
    const bool bAo = IsWindowVisible(GetParent(Control(IDC_VOLTAGE_RANGE0))) != FALSE;
    if (bDevice && bAo) return "both";
    return bDevice ? "device" : bAo ? "AO" : "none";
}

std::string TemplateDialogTest::ComboText(int nID) const {
    HWND hCombo = Control(nID);
    int nSel = (int)SendMessage(hCombo, CB_GETCURSEL, 0, 0);
    if (nSel < 0) return "(none)";
    char szText[64] = {};
    SendMessage(hCombo, CB_GETLBTEXT, nSel, (LPARAM)szText);
    return szText;
}

void TemplateDialogTest::ClickItem(const char* pszText) { ASSERT_TRUE(CUser::ClickTreeText(Tree(), pszText)) << pszText; }

void TemplateDialogTest::ClickTab(int nIndex) { ASSERT_TRUE(CUser::ClickTab(Control(IDC_TEMPLATE_TABS), nIndex)); }

void TemplateDialogTest::Click(int nID) { ASSERT_TRUE(CUser::ClickDlgButton(m_hDlg, nID)) << nID; }

void TemplateDialogTest::Choose(int nComboID, const char* pszText) {
    ASSERT_TRUE(CUser::ChooseComboText(Control(nComboID), pszText)) << nComboID << " " << pszText;
}
