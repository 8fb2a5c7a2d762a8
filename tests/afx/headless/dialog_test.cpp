// Dialogs written in the class library's manner on this interface: a
// self-owned modeless dialog with a tree, tabs and a child page, and a modal
// box, driven as a person would.
#include <gtest/gtest.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "afxcmn.h"
#include "afxdlgs.h"
#include "afx_user.h"

namespace {

enum {
    IDD_SAMPLE = 900,
    IDC_SAMPLE_TREE = 901,
    IDC_SAMPLE_TABS = 902,
    IDC_SAMPLE_ADD = 903,
    IDD_SAMPLE_PAGE = 910,
    IDC_SAMPLE_CHOICE = 911,
    IDD_SAMPLE_ABOUT = 920,
    ID_SAMPLE_ABOUT = 930,
};

typedef std::vector<std::string> Log;

std::string Text(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Text(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    return line;
}

// The items from hItem on, with their children.
int CountItems(const CTreeCtrl& tree, HTREEITEM hItem) {
    int nCount = 0;
    for (; hItem != NULL; hItem = tree.GetNextSiblingItem(hItem)) nCount += 1 + CountItems(tree, tree.GetChildItem(hItem));
    return nCount;
}

class CSamplePage : public CDialog {
public:
    explicit CSamplePage(Log& log) : CDialog(IDD_SAMPLE_PAGE), m_log(log) {}
    CComboBox m_choice;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDC_SAMPLE_CHOICE, m_choice);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_choice.AddString("one");
        m_choice.AddString("two");
        m_choice.SetCurSel(0);
        return TRUE;
    }
    afx_msg void OnChoiceChange() { m_log.push_back(Text("page: choice %d", m_choice.GetCurSel())); }
    afx_msg void OnDestroy() {
        m_log.push_back("page: WM_DESTROY");
        CDialog::OnDestroy();
    }
    void PostNcDestroy() override {
        m_log.push_back("page: deleted");
        CDialog::PostNcDestroy();
        delete this;
    }

    Log& m_log;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSamplePage, CDialog)
    ON_CBN_SELCHANGE(IDC_SAMPLE_CHOICE, OnChoiceChange)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

class CSampleDlg : public CDialog {
public:
    explicit CSampleDlg(Log& log) : CDialog(IDD_SAMPLE), m_pPage(NULL), m_log(log) {}
    CSamplePage* m_pPage;
    CButton m_save;
    CTabCtrl m_tabs;
    CTreeCtrl m_tree;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        CDialog::DoDataExchange(pDX);
        DDX_Control(pDX, IDOK, m_save);
        DDX_Control(pDX, IDC_SAMPLE_TABS, m_tabs);
        DDX_Control(pDX, IDC_SAMPLE_TREE, m_tree);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_log.push_back(Text("init visible=%d", ::IsWindowVisible(m_hWnd)));
        m_save.EnableWindow(FALSE);
        HTREEITEM hRoot = m_tree.InsertItem("Root");
        m_tree.InsertItem("Child", hRoot);
        m_tabs.InsertItem(0, "First");
        m_tabs.InsertItem(1, "Second");
        m_pPage = new CSamplePage(m_log);
        m_pPage->Create(IDD_SAMPLE_PAGE, this);
        return TRUE;
    }
    void OnOK() override { m_log.push_back("save"); }
    void OnCancel() override {
        m_log.push_back("close");
        CDialog::OnCancel();
    }
    afx_msg void OnAdd() {
        m_log.push_back("add");
        m_save.EnableWindow(TRUE);
    }
    afx_msg void OnTreeSelChanged(NMHDR* pNMHDR, LRESULT* pResult) {
        NMTREEVIEW* pNMTreeView = reinterpret_cast<NMTREEVIEW*>(pNMHDR);
        m_log.push_back(Text("tree: %s visible=%d", (LPCTSTR)m_tree.GetItemText(pNMTreeView->itemNew.hItem),
                             ::IsWindowVisible(m_hWnd)));
        *pResult = 0;
    }
    afx_msg void OnTreeKeyDown(NMHDR* pNMHDR, LRESULT* pResult) {
        if (reinterpret_cast<NMTVKEYDOWN*>(pNMHDR)->wVKey == VK_F1) SendMessage(WM_COMMAND, ID_SAMPLE_ABOUT);
        *pResult = 0;
    }
    afx_msg void OnTabChange(NMHDR*, LRESULT* pResult) {
        m_log.push_back(Text("tab: %d", m_tabs.GetCurSel()));
        *pResult = 0;
    }
    afx_msg void OnAbout() {
        CDialog about(IDD_SAMPLE_ABOUT);
        m_log.push_back(Text("about: %d", about.DoModal()));
    }
    afx_msg void OnDestroy() {
        // The children are still there to be read.
        m_log.push_back(Text("dialog: WM_DESTROY items=%d", CountItems(m_tree, m_tree.GetRootItem())));
        CDialog::OnDestroy();
    }
    void PostNcDestroy() override {
        m_log.push_back("dialog: deleted");
        CDialog::PostNcDestroy();
        delete this;
    }

    Log& m_log;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSampleDlg, CDialog)
    ON_BN_CLICKED(IDC_SAMPLE_ADD, OnAdd)
    ON_NOTIFY(TVN_SELCHANGED, IDC_SAMPLE_TREE, OnTreeSelChanged)
    ON_NOTIFY(TVN_KEYDOWN, IDC_SAMPLE_TREE, OnTreeKeyDown)
    ON_NOTIFY(TCN_SELCHANGE, IDC_SAMPLE_TABS, OnTabChange)
    ON_COMMAND(ID_SAMPLE_ABOUT, OnAbout)
    ON_WM_DESTROY()
END_MESSAGE_MAP()

// A shown sample dialog, destroyed with whatever is left of it.
class SampleDialog : public ::testing::Test {
protected:
    void SetUp() override {
        m_pDlg = new CSampleDlg(m_log);
        ASSERT_TRUE(m_pDlg->Create(IDD_SAMPLE));
        m_hDlg = m_pDlg->m_hWnd;
        m_pDlg->ShowWindow(SW_SHOWNORMAL);
    }
    void TearDown() override {
        if (IsWindow(m_hDlg)) DestroyWindow(m_hDlg);
    }
    HWND Item(int nID) const { return GetDlgItem(m_hDlg, nID); }
    HTREEITEM TreeItem(LPCSTR text) const {
        for (HTREEITEM h = m_pDlg->m_tree.GetRootItem(); h != NULL; h = m_pDlg->m_tree.GetNextItem(h, TVGN_NEXTVISIBLE))
            if (m_pDlg->m_tree.GetItemText(h) == text) return h;
        return NULL;
    }

    Log m_log;
    CSampleDlg* m_pDlg = NULL;
    HWND m_hDlg = NULL;
};

TEST_F(SampleDialog, InitialisesBeforeShownAndTheTreeTakesTheFocusWithItsFirstItem) {
    // WM_INITDIALOG runs hidden; the tree, the first tab stop, gets the focus
    // right after it and selects its first visible item, still hidden.
    EXPECT_EQ(m_log, (Log{"init visible=0", "tree: Root visible=0"}));
    EXPECT_TRUE(IsWindowVisible(m_hDlg));
    EXPECT_EQ(GetFocus(), m_pDlg->m_tree.m_hWnd);
    // The page is a hidden child; its window belongs to the dialog.
    EXPECT_FALSE(::IsWindowVisible(m_pDlg->m_pPage->m_hWnd));
    EXPECT_EQ(::GetParent(m_pDlg->m_pPage->m_hWnd), m_hDlg);
}

TEST_F(SampleDialog, EndDialogHidesAModelessDialogAndDestructionFreesChildrenFirst) {
    m_log.clear();
    ASSERT_TRUE(CUser::PressKey(VK_ESCAPE));
    EXPECT_EQ(m_log, (Log{"close"}));
    EXPECT_TRUE(IsWindow(m_hDlg));
    EXPECT_FALSE(IsWindowVisible(m_hDlg));
    // Nobody can act on a hidden dialog.
    EXPECT_FALSE(CUser::ClickButton(Item(IDOK)));

    m_log.clear();
    DestroyWindow(m_hDlg);
    EXPECT_FALSE(IsWindow(m_hDlg));
    EXPECT_EQ(m_log, (Log{"dialog: WM_DESTROY items=2", "page: WM_DESTROY", "page: deleted", "dialog: deleted"}));
}

TEST_F(SampleDialog, ClicksAndChoicesReachTheirHandlers) {
    m_log.clear();
    EXPECT_FALSE(CUser::ClickDlgButton(m_hDlg, IDOK));  // disabled
    EXPECT_TRUE(CUser::ClickDlgButton(m_hDlg, IDC_SAMPLE_ADD));
    EXPECT_TRUE(CUser::ClickDlgButton(m_hDlg, IDOK));
    EXPECT_TRUE(CUser::ClickTab(Item(IDC_SAMPLE_TABS), 1));
    EXPECT_TRUE(CUser::ClickTreeText(Item(IDC_SAMPLE_TREE), "Root"));  // already selected: no change
    // The page is hidden until shown; a choice from code says nothing.
    HWND hChoice = GetDlgItem(m_pDlg->m_pPage->m_hWnd, IDC_SAMPLE_CHOICE);
    EXPECT_FALSE(CUser::ChooseComboItem(hChoice, 1));
    m_pDlg->m_pPage->ShowWindow(SW_SHOW);
    m_pDlg->m_pPage->m_choice.SetCurSel(1);
    EXPECT_TRUE(CUser::ChooseComboText(hChoice, "two"));
    EXPECT_EQ(m_log, (Log{"add", "save", "tab: 1", "page: choice 1"}));
}

TEST_F(SampleDialog, SelectingAnItemUnderACollapsedParentNotifiesOnce) {
    m_log.clear();
    m_pDlg->m_tree.SelectItem(m_pDlg->m_tree.GetChildItem(m_pDlg->m_tree.GetRootItem()));
    EXPECT_EQ(m_log, (Log{"tree: Child visible=1"}));
    EXPECT_EQ(TreeItem("Child"), m_pDlg->m_tree.GetSelectedItem());
    m_log.clear();
    EXPECT_TRUE(CUser::ClickTreeText(Item(IDC_SAMPLE_TREE), "Root"));
    EXPECT_EQ(m_log, (Log{"tree: Root visible=1"}));
}

TEST_F(SampleDialog, TheBoundTreeShowsEighteenRowsAsTheMainDialogsDoes) {
    CTreeCtrl& tree = m_pDlg->m_tree;
    EXPECT_EQ(::SendMessage(tree.m_hWnd, TVM_GETVISIBLECOUNT, 0, 0), 18);
    // The most the main dialog holds: a root, a device item, 16 templates.
    tree.DeleteItem(TVI_ROOT);
    HTREEITEM hDevice = tree.InsertItem("PCI-6406", tree.InsertItem("DeviceTemplate"));
    HTREEITEM hFirst = NULL;
    for (int n = 0; n < 16; ++n) {
        HTREEITEM hItem = tree.InsertItem(Text("Template%d", n).c_str(), hDevice);
        if (hFirst == NULL) hFirst = hItem;
    }
    tree.SelectSetFirstVisible(hFirst);
    EXPECT_EQ(tree.GetFirstVisibleItem(), tree.GetRootItem());
    // One more would scroll.
    tree.InsertItem("Template16", hDevice);
    tree.SelectSetFirstVisible(hFirst);
    EXPECT_EQ(tree.GetFirstVisibleItem(), hDevice);
}

TEST_F(SampleDialog, KeysGoThroughTheDialogManager) {
    m_log.clear();
    CUser::PressKey(VK_RETURN);  // the default button is disabled
    m_pDlg->m_save.EnableWindow(TRUE);
    CUser::PressKey(VK_RETURN);
    {
        // Other keys reach the tree, which tells the dialog.
        CUserScript user;
        user.ExpectDialog(IDD_SAMPLE_ABOUT, [](HWND) { CUser::PressKey(VK_ESCAPE); });
        CUser::PressKey(VK_F1);
        EXPECT_EQ(user.Verify(), "");
    }
    EXPECT_EQ(m_log, (Log{"save", "about: 2"}));
    // The modal box gave the focus back when it went.
    EXPECT_EQ(GetFocus(), m_pDlg->m_tree.m_hWnd);
    CUser::PressKey(VK_ESCAPE);
    EXPECT_EQ(m_log.back(), "close");
}

TEST_F(SampleDialog, ModalBoxesEndWithTheirResultAndAreDestroyed) {
    CDialog about(IDD_SAMPLE_ABOUT);
    HWND hAbout = NULL;
    CUserScript user;
    user.ExpectDialog(IDD_SAMPLE_ABOUT, [&](HWND hDlg) {
        hAbout = hDlg;
        EXPECT_TRUE(IsWindowVisible(hDlg));
        CUser::PressKey(VK_RETURN);  // no default button: IDOK
    });
    user.ExpectDialog(IDD_SAMPLE_ABOUT, [](HWND) {});  // left open
    EXPECT_EQ(about.DoModal(), IDOK);
    EXPECT_FALSE(IsWindow(hAbout));
    EXPECT_EQ(about.m_hWnd, (HWND)NULL);
    EXPECT_EQ(about.DoModal(), IDCANCEL);
    EXPECT_EQ(user.Verify(), "dialog 920 was left open");
}

TEST_F(SampleDialog, MessageBoxesTakeTheirCaptionsAndOwnersAsTheClassLibraryGivesThem) {
    AFX_MODULE_STATE* pLibrary = AfxGetStaticModuleState();
    LPCTSTR lpszName = pLibrary->m_lpszCurrentAppName;
    pLibrary->m_lpszCurrentAppName = "SampleLib";
    CUserScript user;
    user.ExpectMessageBox("owned", "SampleLib", MB_OK, IDOK).OwnedBy(m_hDlg);
    user.ExpectMessageBox("question", "Note", MB_OKCANCEL, IDCANCEL).OwnedBy(m_hDlg);
    user.ExpectMessageBox("plain", "Error", MB_OK, IDOK).OwnedBy(NULL);
    {
        AFX_MANAGE_STATE(AfxGetStaticModuleState());
        EXPECT_EQ(m_pDlg->MessageBox("owned"), IDOK);
        EXPECT_EQ(m_pDlg->MessageBox("question", "Note", MB_OKCANCEL), IDCANCEL);
    }
    EXPECT_EQ(::MessageBox(NULL, "plain", NULL, MB_OK), IDOK);
    EXPECT_EQ(user.Verify(), "");
    pLibrary->m_lpszCurrentAppName = lpszName;
}

// A page that refuses to let the tree's selection move, through the result
// its handler hands back.
class CVetoPage : public CDialog {
public:
    CVetoPage() : CDialog(IDD_SAMPLE_PAGE), m_bRefuse(TRUE) {}
    CTreeCtrl m_tree;
    BOOL m_bRefuse;

protected:
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_SAMPLE_TREE, m_tree); }
    afx_msg void OnSelChanging(NMHDR*, LRESULT* pResult) { *pResult = m_bRefuse; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CVetoPage, CDialog)
    ON_NOTIFY(TVN_SELCHANGING, IDC_SAMPLE_TREE, OnSelChanging)
END_MESSAGE_MAP()

TEST(MessageMaps, AHandlersResultGoesBackToTheControl) {
    CVetoPage page;
    ASSERT_TRUE(page.Create(IDD_SAMPLE_PAGE));
    HTREEITEM hItem = page.m_tree.InsertItem("Only");
    EXPECT_FALSE(page.m_tree.SelectItem(hItem));
    EXPECT_EQ(page.m_tree.GetSelectedItem(), (HTREEITEM)NULL);
    page.m_bRefuse = FALSE;
    EXPECT_TRUE(page.m_tree.SelectItem(hItem));
    EXPECT_EQ(page.m_tree.GetSelectedItem(), hItem);
    page.DestroyWindow();
}

TEST(ClassLibrary, TreeTextsOfAnyLengthComeBackWhole) {
    CVetoPage page;
    ASSERT_TRUE(page.Create(IDD_SAMPLE_PAGE));
    for (size_t length : {0u, 19u, 255u, 256u, 1000u}) {
        std::string text(length, 'x');
        HTREEITEM hItem = page.m_tree.InsertItem(text.c_str());
        EXPECT_EQ(std::string(page.m_tree.GetItemText(hItem)), text) << length;
    }
    EXPECT_EQ(std::string(page.m_tree.GetItemText(NULL)), "");
    page.DestroyWindow();
}

TEST(ClassLibrary, StringsCompareAndFormatAsTheClassLibrarysDo) {
    CString text("Template12");
    EXPECT_EQ(text.Compare("Template12"), 0);
    EXPECT_NE(text.Compare("TEMPLATE12"), 0);
    CString formatted;
    formatted.Format("AOSettings %d", 3);
    EXPECT_EQ(formatted, "AOSettings 3");
    formatted.Format("%s", std::string(600, 'y').c_str());
    EXPECT_EQ(formatted.GetLength(), 600);
}

TEST(ModuleState, ManageStateSwitchesToTheLibrarysResourcesForTheScopeOnly) {
    AFX_MODULE_STATE* pApp = AfxGetModuleState();
    HWND hPage;
    {
        AFX_MANAGE_STATE(AfxGetStaticModuleState());
        EXPECT_EQ(AfxGetResourceHandle(), AfxGetStaticModuleState()->m_hCurrentResourceHandle);
        CDialog* pPage = new CDialog(IDD_SAMPLE_PAGE);
        ASSERT_TRUE(pPage->Create(IDD_SAMPLE_PAGE));
        hPage = pPage->m_hWnd;
        EXPECT_EQ((HINSTANCE)GetWindowLongPtr(hPage, GWLP_HINSTANCE), AfxGetStaticModuleState()->m_hCurrentInstanceHandle);
        pPage->DestroyWindow();
        delete pPage;
    }
    EXPECT_EQ(AfxGetModuleState(), pApp);
    EXPECT_NE(pApp->m_hCurrentResourceHandle, AfxGetStaticModuleState()->m_hCurrentResourceHandle);
}

TEST(WindowObjects, ADialogTakesItsHostsRectangle) {
    WNDCLASS host = {0, DefWindowProc, 0, 0, NULL, NULL, NULL, NULL, NULL, "SampleHost"};
    ASSERT_NE(RegisterClass(&host), 0);
    HWND hHost = CreateWindowEx(0, "SampleHost", "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 50, 400, 300, NULL,
                                NULL, NULL, NULL);
    ASSERT_NE(hHost, (HWND)NULL);
    EXPECT_EQ(GetActiveWindow(), hHost);
    RECT rect;
    ASSERT_TRUE(::GetWindowRect(hHost, &rect));
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.bottom, 350);
    Log log;
    CSampleDlg* pDlg = new CSampleDlg(log);
    ASSERT_TRUE(pDlg->Create(IDD_SAMPLE));
    pDlg->MoveWindow(&rect, FALSE);
    pDlg->ShowWindow(SW_SHOWNORMAL);
    EXPECT_EQ(GetActiveWindow(), pDlg->m_hWnd);
    RECT moved;
    ::GetWindowRect(pDlg->m_hWnd, &moved);
    EXPECT_EQ(memcmp(&moved, &rect, sizeof(rect)), 0);
    // The host closing does not take the unowned dialog with it.
    HWND hDlg = pDlg->m_hWnd;
    DestroyWindow(hHost);
    EXPECT_TRUE(IsWindow(hDlg));
    DestroyWindow(hDlg);
    EXPECT_EQ(log.back(), "dialog: deleted");
}

}  // namespace
