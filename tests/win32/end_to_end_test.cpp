// The real PCI6406Cfg.dll loaded by the host stand-in and worked as a person
// would, with real messages to Wine's real controls, and the registry
// script's bytes after each scenario: the scenarios of the headless tests,
// seen through the dialog's windows alone.
#include <afx_user.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_view.h"
#include "host.h"
#include "resource.h"
#include "script_file.h"

namespace {

const char kDialogCaption[] = "PCI-6406U device setting templates";
const char kSavePrompt[] = "The configuration of PCI-6406 is change, save the change";

const std::string kTemplates025 = std::string(kScriptHead) +
                                  Section(0, 0, kMinus10To10V, k0To10V, k4To20mA, kMinus5To5V) +
                                  Section(2, 2, k0To20mA) + Section(5, 7, k0To5V, k0To5V, k0To5V, k0To5V);

std::string ItemText(HWND hTree, HTREEITEM hItem) {
    char szText[64] = "";
    TVITEMA item = {};
    item.mask = TVIF_TEXT;
    item.hItem = hItem;
    item.pszText = szText;
    item.cchTextMax = sizeof szText;
    if (hItem == NULL || !SendMessageA(hTree, TVM_GETITEMA, 0, (LPARAM)&item)) return "";
    return szText;
}

HTREEITEM NextItem(HWND hTree, HTREEITEM hItem, UINT nCode) {
    return (HTREEITEM)SendMessageA(hTree, TVM_GETNEXTITEM, nCode, (LPARAM)hItem);
}

class EndToEnd : public ::testing::Test {
protected:
    EndToEnd() : m_script("Public/Quorvex/Device_Drivers/PCI6406/PCI6406.reg") {}

    // Each test loads the library afresh, as the image-build tool loads it.
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_host.Load(PCI6406CFG_DLL, &error)) << error;
        ASSERT_NE(m_host.CreateMainWindow(40, 30, 500, 420), (HWND)NULL);
    }
    // Whatever a test left unsaved goes unsaved: the destroy-time prompt is
    // answered Cancel.
    void TearDown() override {
        CUserScript user;
        m_host.CloseLibraryWindows();
        user.Verify();
    }

    void Open(const std::string& script) {
        m_script.Put(script);
        ASSERT_EQ(m_host.Configure(m_script.Root() + "\\", "PCI6406"), 1);
        m_hDlg = m_host.LibraryWindow(kDialogCaption);
        ASSERT_NE(m_hDlg, (HWND)NULL);
        ASSERT_TRUE(IsWindowVisible(m_hDlg));
    }

    HWND Control(int nID) const { return FindDialogControl(m_hDlg, nID); }
    HWND Tree() const { return Control(IDC_TEMPLATE_TREE); }
    std::vector<std::string> TemplateItems() const {
        std::vector<std::string> items;
        HTREEITEM hDevice = NextItem(Tree(), NextItem(Tree(), NULL, TVGN_ROOT), TVGN_CHILD);
        for (HTREEITEM h = NextItem(Tree(), hDevice, TVGN_CHILD); h != NULL; h = NextItem(Tree(), h, TVGN_NEXT))
            items.push_back(ItemText(Tree(), h));
        return items;
    }
    std::string SelectedItem() const { return ItemText(Tree(), NextItem(Tree(), NULL, TVGN_CARET)); }
    std::string ComboText(int nID) const { return ComboSelection(Control(nID)); }
    bool SaveEnabled() const { return IsWindowEnabled(Control(IDOK)) != FALSE; }

    void ClickItem(const char* pszText) { ASSERT_TRUE(CUser::ClickTreeText(Tree(), pszText)) << pszText; }
    void ClickTab(int nIndex) { ASSERT_TRUE(CUser::ClickTab(Control(IDC_TEMPLATE_TABS), nIndex)); }
    void Click(int nID) { ASSERT_TRUE(CUser::ClickDlgButton(m_hDlg, nID)) << nID; }
    void Choose(int nID, const char* pszText) { ASSERT_TRUE(CUser::ChooseComboText(Control(nID), pszText)) << pszText; }

    ScriptFile m_script;
    Host m_host;
    HWND m_hDlg = NULL;
};

TEST_F(EndToEnd, OpensOverTheHostListsTheScriptAndAddsAndSaves) {
    Open(kTemplates025);
    RECT host, dialog;
    GetWindowRect(m_host.MainWindow(), &host);
    GetWindowRect(m_hDlg, &dialog);
    EXPECT_TRUE(EqualRect(&host, &dialog)) << "the dialog covers the host's window";
    EXPECT_EQ(TemplateItems(), (std::vector<std::string>{"Template0", "Template2", "Template5"}));
    EXPECT_EQ(SelectedItem(), "DeviceTemplate");
    EXPECT_EQ(ShownPage(m_hDlg), "none");
    EXPECT_FALSE(SaveEnabled());

    Click(IDC_ADD_TEMPLATE);
    EXPECT_EQ(TemplateItems(), (std::vector<std::string>{"Template0", "Template2", "Template5", "Template1"}));
    EXPECT_EQ(SelectedItem(), "Template0");
    EXPECT_EQ(ShownPage(m_hDlg), "device");
    EXPECT_TRUE(SaveEnabled());
    EXPECT_EQ(m_script.Get(), kTemplates025);
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), kTemplates025 + Section(1, 5));
    EXPECT_FALSE(SaveEnabled());
    EXPECT_TRUE(IsWindowVisible(m_hDlg));
}

TEST_F(EndToEnd, RemoveAndSaveCutTheSectionAndARemovedNumberComesBackAtTheEnd) {
    Open(kScriptHead + Section(0, 9) + Section(1, 1, k4To20mA) + Section(2, 2));
    ClickItem("Template1");
    Click(IDC_REMOVE_TEMPLATE);
    EXPECT_EQ(TemplateItems(), (std::vector<std::string>{"Template0", "Template2"}));
    EXPECT_EQ(SelectedItem(), "Template2");
    EXPECT_EQ(ComboText(IDC_BOARD_ID), "2");
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 9) + Section(2, 2));

    // Back with its values, and the one SwitchID no entry holds.
    Click(IDC_ADD_TEMPLATE);
    EXPECT_EQ(TemplateItems(), (std::vector<std::string>{"Template0", "Template2", "Template1"}));
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 9) + Section(2, 2) + Section(1, 0, k4To20mA));
}

TEST_F(EndToEnd, EveryChoiceOfBothBoxesIsStoredWithItsCoupling) {
    Open(kScriptHead + Section(0, 0) + Section(1, 1));
    struct Step {
        int nBox;
        const char* pszItem;
        const char* pszVoltage;
        const char* pszCurrent;
        const char* pszStored;
    } steps[] = {
        {IDC_VOLTAGE_RANGE1, "  0 ~ 5V", "  0 ~ 5V", "  0 ~ 20mA", k0To20mA},
        {IDC_VOLTAGE_RANGE1, "  0 ~ 10V", "  0 ~ 10V", " ", k0To10V},
        {IDC_VOLTAGE_RANGE1, " -5 ~ 5V", " -5 ~ 5V", " ", kMinus5To5V},
        {IDC_CURRENT_RANGE1, "  4 ~ 20mA", "  0 ~ 5V", "  4 ~ 20mA", k4To20mA},
        {IDC_CURRENT_RANGE1, " ", "  0 ~ 5V", " ", k0To5V},
        {IDC_CURRENT_RANGE1, "  0 ~ 20mA", "  0 ~ 5V", "  0 ~ 20mA", k0To20mA},
        {IDC_VOLTAGE_RANGE1, "-10 ~ 10V", "-10 ~ 10V", " ", kMinus10To10V},
    };
    ClickItem("Template0");
    ClickTab(1);
    ASSERT_EQ(ShownPage(m_hDlg), "AO");
    for (const Step& step : steps) {
        SCOPED_TRACE(step.pszItem);
        Choose(step.nBox, step.pszItem);
        EXPECT_EQ(ComboText(IDC_VOLTAGE_RANGE1), step.pszVoltage);
        EXPECT_EQ(ComboText(IDC_CURRENT_RANGE1), step.pszCurrent);
        Click(IDOK);
        EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 0, kMinus10To10V, step.pszStored) + Section(1, 1));
        ClickItem("Template1");
        ClickItem("Template0");
        EXPECT_EQ(ComboText(IDC_VOLTAGE_RANGE1), step.pszVoltage);
        EXPECT_EQ(ComboText(IDC_CURRENT_RANGE1), step.pszCurrent);
    }
}

// Each refusal is a box over the dialog; the refused edit changes nothing,
// yet Save is enabled, and what the person does next still counts.
TEST_F(EndToEnd, RefusalsAreBoxesOverTheDialogAndLeaveTheTemplatesAsTheyWere) {
    std::string sixteen = kScriptHead;
    for (int n = 0; n < 16; ++n) sixteen += Section(n, static_cast<DWORD>(n));
    const std::string two = kScriptHead + Section(0, 0) + Section(1, 1);
    struct Case {
        const std::string* pScript;
        bool bBoardID;  // choosing BoardID 1 for Template0; else Add
        const char* pszRefusal;
        size_t nTemplates;
        const char* pszNextBoardID;  // then chosen for Template0, or NULL
        std::string saved;
    } cases[] = {
        {&two, true, "SwitchID already used!", 2, "7", kScriptHead + Section(0, 7) + Section(1, 1)},
        {&sixteen, false, "Support up to 16 Templates", 16, NULL, sixteen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszRefusal);
        Open(*c.pScript);
        ClickItem("Template0");
        {
            CUserScript user;
            user.ExpectMessageBox(c.pszRefusal, "PCI6406Cfg", MB_OK, IDOK).OwnedBy(m_hDlg);
            if (c.bBoardID)
                Choose(IDC_BOARD_ID, "1");
            else
                Click(IDC_ADD_TEMPLATE);
            EXPECT_EQ(user.Verify(), "");
        }
        EXPECT_EQ(TemplateItems().size(), c.nTemplates);
        EXPECT_EQ(ComboText(IDC_BOARD_ID), "0");
        EXPECT_TRUE(SaveEnabled());
        if (c.pszNextBoardID != NULL) Choose(IDC_BOARD_ID, c.pszNextBoardID);
        Click(IDOK);
        EXPECT_EQ(m_script.Get(), c.saved);
        DestroyWindow(m_hDlg);
    }
}

// Unsaved edits are asked about once: by Close, which hides the dialog, over
// the dialog; by the window's destruction, over no window.
TEST_F(EndToEnd, UnsavedChangesAreAskedAboutOnce) {
    struct Case {
        bool bClose;  // else the window is destroyed
        int nAnswer;
    } cases[] = {{true, IDOK}, {true, IDCANCEL}, {false, IDOK}, {false, IDCANCEL}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.bClose ? "close " : "destroy ") + std::to_string(c.nAnswer));
        Open(kTemplates025);
        Click(IDC_ADD_TEMPLATE);
        CUserScript user;
        user.ExpectMessageBox(kSavePrompt, "Note", MB_OKCANCEL, c.nAnswer).OwnedBy(c.bClose ? m_hDlg : NULL);
        if (c.bClose) {
            Click(IDCANCEL);
            EXPECT_TRUE(IsWindow(m_hDlg));
            EXPECT_FALSE(IsWindowVisible(m_hDlg));
        }
        DestroyWindow(m_hDlg);
        EXPECT_EQ(user.Verify(), "");
        EXPECT_EQ(m_script.Get(), c.nAnswer == IDOK ? kTemplates025 + Section(1, 5) : kTemplates025);
    }
}

TEST_F(EndToEnd, TabsAndTreeShowTheSelectedTemplatesPage) {
    Open(kTemplates025);
    struct Step {
        const char* pszItem;  // clicked in the tree, or NULL
        int nTab;             // clicked, or -1
        const char* pszPage;
        int nBox;             // a box of the page shown, or 0
        const char* pszShown;
    } steps[] = {
        {"Template2", -1, "device", IDC_BOARD_ID, "2"},
        {nullptr, 1, "AO", IDC_CURRENT_RANGE0, "  0 ~ 20mA"},
        {"Template0", -1, "AO", IDC_VOLTAGE_RANGE2, "  0 ~ 5V"},
        {"Template5", -1, "AO", IDC_VOLTAGE_RANGE3, "  0 ~ 5V"},
        {nullptr, 0, "device", IDC_BOARD_ID, "7"},
        {"DeviceTemplate", -1, "none", 0, nullptr},
        {nullptr, 1, "none", 0, nullptr},
        {"Template2", -1, "AO", IDC_VOLTAGE_RANGE2, "-10 ~ 10V"},
        {"PCI-6406", -1, "none", 0, nullptr},
        {"Template0", -1, "AO", IDC_CURRENT_RANGE2, "  4 ~ 20mA"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.pszItem != nullptr ? step.pszItem : "tab ") + std::to_string(step.nTab));
        if (step.pszItem != nullptr) ClickItem(step.pszItem);
        if (step.nTab >= 0) ClickTab(step.nTab);
        EXPECT_EQ(ShownPage(m_hDlg), step.pszPage);
        if (step.nBox != 0) {
            EXPECT_EQ(ComboText(step.nBox), step.pszShown);
        }
    }
    EXPECT_FALSE(SaveEnabled());
}

}  // namespace
