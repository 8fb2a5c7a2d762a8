#include "dialog_fixture.h"

#include "resource.h"

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
    EXPECT_STREQ(m_pDlg->m_store.m_szScriptPath, ScriptPath().c_str());
}

HWND TemplateDialogTest::Control(int nID) const { return FindDialogControl(m_hDlg, nID); }

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

std::string TemplateDialogTest::PageShown() const { return ShownPage(m_hDlg); }

std::string TemplateDialogTest::ComboText(int nID) const { return ComboSelection(Control(nID)); }

void TemplateDialogTest::ClickItem(const char* pszText) { ASSERT_TRUE(CUser::ClickTreeText(Tree(), pszText)) << pszText; }

void TemplateDialogTest::ClickTab(int nIndex) { ASSERT_TRUE(CUser::ClickTab(Control(IDC_TEMPLATE_TABS), nIndex)); }

void TemplateDialogTest::Click(int nID) { ASSERT_TRUE(CUser::ClickDlgButton(m_hDlg, nID)) << nID; }

void TemplateDialogTest::Choose(int nComboID, const char* pszText) {
    ASSERT_TRUE(CUser::ChooseComboText(Control(nComboID), pszText)) << nComboID << " " << pszText;
}
