// The main dialog and its pages as a person uses them, and the bytes of the
// registry script they leave.
#include "dialog_fixture.h"
#include "resource.h"

namespace {

const std::string kTemplates025 = std::string(kScriptHead) + Section(0, 0, kMinus10To10V, k0To10V, k4To20mA, kMinus5To5V) +
                                  Section(2, 2, k0To20mA) + Section(5, 7, k0To5V, k0To5V, k0To5V, k0To5V);

TEST_F(TemplateDialogTest, ListsTheScriptsTemplatesWithNoneSelected) {
    Open(kTemplates025);
    EXPECT_EQ(TemplateItems(), (std::vector<std::string>{"Template0", "Template2", "Template5"}));
    // The tree took the focus with nothing selected and chose its first row.
    EXPECT_EQ(SelectedItem(), "DeviceTemplate");
    EXPECT_EQ(PageShown(), "none");
    EXPECT_FALSE(SaveEnabled());
    EXPECT_FALSE(g_bModified);
    EXPECT_EQ(m_pDlg->m_store.m_wUsedSwitchIDs, (1u << 0) | (1u << 2) | (1u << 7));
    EXPECT_EQ(m_pDlg->m_store.m_templates[5].SwitchID, 7u);
    EXPECT_FLOAT_EQ(m_pDlg->m_store.m_templates[0].Channels[2].CurrentMin, 4.0f);
    // Unlisted entries hold their defaults.
    EXPECT_EQ(m_pDlg->m_store.m_templates[9].SwitchID, 9u);
    EXPECT_FLOAT_EQ(m_pDlg->m_store.m_templates[9].Channels[3].VoltageMin, -10.0f);
}

TEST_F(TemplateDialogTest, AddAppendsTheLowestFreeNumberAndSaveAppendsItsSection) {
    Open(kTemplates025);
    Click(IDC_ADD_TEMPLATE);
    EXPECT_EQ(TemplateItems(), (std::vector<std::string>{"Template0", "Template2", "Template5", "Template1"}));
    EXPECT_EQ(SelectedItem(), "Template0");
    EXPECT_EQ(PageShown(), "device");
    EXPECT_EQ(ComboText(IDC_BOARD_ID), "0");
    EXPECT_TRUE(SaveEnabled());
    EXPECT_EQ(m_script.Get(), kTemplates025);  // nothing written before Save

    // Template5 holds 7, so 5 is the one SwitchID no entry of the table holds.
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), kTemplates025 + Section(1, 5));
    EXPECT_FALSE(SaveEnabled());
    EXPECT_FALSE(g_bModified);
    EXPECT_TRUE(IsWindowVisible(m_hDlg));
}

TEST_F(TemplateDialogTest, TheFirstTemplateOfAnEmptyScriptIsTemplate0) {
    Open(kScriptHead);
    EXPECT_TRUE(TemplateItems().empty());
    Click(IDC_ADD_TEMPLATE);
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 0));
}

TEST_F(TemplateDialogTest, RemoveAndSaveCutTheWholeSection) {
    Open(kTemplates025);
    ClickItem("Template2");
    Click(IDC_REMOVE_TEMPLATE);
    EXPECT_EQ(TemplateItems(), (std::vector<std::string>{"Template0", "Template5"}));
    // The tree selects the next item and the page follows it.
    EXPECT_EQ(SelectedItem(), "Template5");
    EXPECT_EQ(ComboText(IDC_BOARD_ID), "7");
    EXPECT_EQ(m_pDlg->m_store.m_wUsedSwitchIDs, (1u << 0) | (1u << 7));
    EXPECT_EQ(m_script.Get(), kTemplates025);
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 0, kMinus10To10V, k0To10V, k4To20mA, kMinus5To5V) +
                                  Section(5, 7, k0To5V, k0To5V, k0To5V, k0To5V));
}

TEST_F(TemplateDialogTest, ARemovedNumberComesBackWithItsValuesAndAFreshSwitchIDAtTheEnd) {
    // Template0 holds SwitchID 9, so 0 is free.
    const std::string script = kScriptHead + Section(0, 9) + Section(1, 1, k4To20mA) + Section(2, 2);
    Open(script);
    ClickItem("Template1");
    Click(IDC_REMOVE_TEMPLATE);
    Click(IDC_ADD_TEMPLATE);
    EXPECT_EQ(TemplateItems(), (std::vector<std::string>{"Template0", "Template2", "Template1"}));
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 9) + Section(2, 2) + Section(1, 0, k4To20mA));
    // Again: Template1 now holds 0 and leaves 1 free. The cut of the last
    // section leaves the one-space line above its header.
    ClickItem("Template1");
    Click(IDC_REMOVE_TEMPLATE);
    Click(IDC_ADD_TEMPLATE);
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 9) + Section(2, 2) + " \r\n" + Section(1, 1, k4To20mA));
}

TEST_F(TemplateDialogTest, EveryChoiceOfBothBoxesIsStoredWithItsCouplingAndShownBack) {
    // Channel 1 of Template0 with an InitialCode, which no choice touches.
    Open(kScriptHead + Section(0, 0, kMinus10To10V, "  2048    10   -10     0     0") + Section(1, 1));
    struct Step {
        int nBox;
        const char* pszItem;
        const char* pszVoltageShown;
        const char* pszCurrentShown;
        const char* pszStored;
    };
    const Step steps[] = {
        {IDC_VOLTAGE_RANGE1, "  0 ~ 5V", "  0 ~ 5V", "  0 ~ 20mA", "  2048     5     0    20     0"},
        {IDC_VOLTAGE_RANGE1, "  0 ~ 10V", "  0 ~ 10V", " ", "  2048    10     0     0     0"},
        {IDC_VOLTAGE_RANGE1, " -5 ~ 5V", " -5 ~ 5V", " ", "  2048     5    -5     0     0"},
        {IDC_CURRENT_RANGE1, "  4 ~ 20mA", "  0 ~ 5V", "  4 ~ 20mA", "  2048     5     0    20     4"},
        {IDC_CURRENT_RANGE1, " ", "  0 ~ 5V", " ", "  2048     5     0     0     0"},
        {IDC_CURRENT_RANGE1, "  0 ~ 20mA", "  0 ~ 5V", "  0 ~ 20mA", "  2048     5     0    20     0"},
        {IDC_VOLTAGE_RANGE1, "-10 ~ 10V", "-10 ~ 10V", " ", "  2048    10   -10     0     0"},
        {IDC_CURRENT_RANGE1, "  4 ~ 20mA", "  0 ~ 5V", "  4 ~ 20mA", "  2048     5     0    20     4"},
        {IDC_VOLTAGE_RANGE1, "  0 ~ 5V", "  0 ~ 5V", "  0 ~ 20mA", "  2048     5     0    20     0"},
        // The same choice again is an edit too.
        {IDC_VOLTAGE_RANGE1, "  0 ~ 5V", "  0 ~ 5V", "  0 ~ 20mA", "  2048     5     0    20     0"},
    };
    ClickItem("Template0");
    ClickTab(1);
    ASSERT_EQ(PageShown(), "AO");
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.pszItem) + " in box " + std::to_string(step.nBox));
        Choose(step.nBox, step.pszItem);
        EXPECT_EQ(ComboText(IDC_VOLTAGE_RANGE1), step.pszVoltageShown);
        EXPECT_EQ(ComboText(IDC_CURRENT_RANGE1), step.pszCurrentShown);
        EXPECT_TRUE(SaveEnabled());
        Click(IDOK);
        EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 0, kMinus10To10V, step.pszStored) + Section(1, 1));
        // Shown back as the boxes stood, after another template was shown.
        ClickItem("Template1");
        EXPECT_EQ(ComboText(IDC_VOLTAGE_RANGE1), "-10 ~ 10V");
        ClickItem("Template0");
        EXPECT_EQ(ComboText(IDC_VOLTAGE_RANGE1), step.pszVoltageShown);
        EXPECT_EQ(ComboText(IDC_CURRENT_RANGE1), step.pszCurrentShown);
    }
}

TEST_F(TemplateDialogTest, ARangeTheBoxesLackLeavesThemAsTheyStood) {
    // 10..-5 V matches no item; 0..10 V with a current shows no current.
    Open(kScriptHead + Section(0, 0, "     0    10    -5     0     0", "     0    10     0    20     4") +
         Section(1, 1, kMinus5To5V, k4To20mA));
    ClickItem("Template1");
    ClickTab(1);
    ClickItem("Template0");
    EXPECT_EQ(ComboText(IDC_VOLTAGE_RANGE0), " -5 ~ 5V");  // Template1's
    EXPECT_EQ(ComboText(IDC_VOLTAGE_RANGE1), "  0 ~ 10V");
    EXPECT_EQ(ComboText(IDC_CURRENT_RANGE1), " ");
    EXPECT_FALSE(SaveEnabled());
}

TEST_F(TemplateDialogTest, ASwitchIDAnotherTemplateHoldsIsRefused) {
    Open(kScriptHead + Section(0, 0) + Section(1, 1));
    ClickItem("Template0");
    HWND hPage = GetParent(Control(IDC_BOARD_ID));
    {
        CUserScript user;
        user.ExpectMessageBox("SwitchID already used!", "PCI6406Cfg", MB_OK, IDOK).OwnedBy(hPage);
        Choose(IDC_BOARD_ID, "1");
        EXPECT_EQ(user.Verify(), "");
    }
    EXPECT_EQ(ComboText(IDC_BOARD_ID), "0");
    EXPECT_EQ(m_pDlg->m_store.m_templates[0].SwitchID, 0u);
    EXPECT_TRUE(SaveEnabled());

    Choose(IDC_BOARD_ID, "0");  // its own: no message
    Choose(IDC_BOARD_ID, "7");
    EXPECT_EQ(m_pDlg->m_store.m_wUsedSwitchIDs, (1u << 1) | (1u << 7));
    ClickItem("Template1");
    Choose(IDC_BOARD_ID, "0");  // freed by Template0
    ClickItem("Template0");
    EXPECT_EQ(ComboText(IDC_BOARD_ID), "7");
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 7) + Section(1, 0));
}

TEST_F(TemplateDialogTest, SixteenTemplatesAreTheMostAndRefusalsStillEnableSave) {
    std::string script = kScriptHead;
    for (int n = 0; n < 16; ++n) script += Section(n, static_cast<DWORD>(n));
    Open(script);
    ASSERT_EQ(TemplateItems().size(), 16u);
    {
        CUserScript user;
        user.ExpectMessageBox("Support up to 16 Templates", "PCI6406Cfg", MB_OK, IDOK).OwnedBy(m_hDlg);
        Click(IDC_ADD_TEMPLATE);
        EXPECT_EQ(user.Verify(), "");
    }
    EXPECT_EQ(TemplateItems().size(), 16u);
    EXPECT_TRUE(SaveEnabled());
    Click(IDOK);
    ClickItem("PCI-6406");
    Click(IDC_REMOVE_TEMPLATE);  // not a template item
    EXPECT_EQ(TemplateItems().size(), 16u);
    EXPECT_TRUE(SaveEnabled());
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), script);
}

TEST_F(TemplateDialogTest, CloseAsksAboutUnsavedChangesOnceAndHides) {
    struct Case {
        int nAnswer;
        bool bSaved;
    };
    for (const Case& c : {Case{IDOK, true}, Case{IDCANCEL, false}}) {
        SCOPED_TRACE(c.nAnswer);
        Open(kTemplates025);
        Click(IDC_ADD_TEMPLATE);
        {
            CUserScript user;
            user.ExpectMessageBox("The configuration of PCI-6406 is change, save the change", "Note", MB_OKCANCEL,
                                  c.nAnswer)
                .OwnedBy(m_hDlg);
            Click(IDCANCEL);
            EXPECT_EQ(user.Verify(), "");
        }
        EXPECT_EQ(m_script.Get(), c.bSaved ? kTemplates025 + Section(1, 5) : kTemplates025);
        EXPECT_FALSE(g_bModified);
        EXPECT_TRUE(IsWindow(m_hDlg));
        EXPECT_FALSE(IsWindowVisible(m_hDlg));
        DestroyWindow(m_hDlg);  // no second prompt
    }
    // Without changes, no prompt at all.
    Open(kTemplates025);
    Click(IDCANCEL);
    EXPECT_FALSE(IsWindowVisible(m_hDlg));
}

TEST_F(TemplateDialogTest, DestroyingTheWindowWithUnsavedChangesAsksWithoutOwner) {
    Open(kTemplates025);
    Click(IDC_ADD_TEMPLATE);
    CUserScript user;
    user.ExpectMessageBox("The configuration of PCI-6406 is change, save the change", "Note", MB_OKCANCEL, IDOK)
        .OwnedBy(NULL);
    DestroyWindow(m_hDlg);
    EXPECT_EQ(user.Verify(), "");
    EXPECT_EQ(m_script.Get(), kTemplates025 + Section(1, 5));
    EXPECT_FALSE(g_bModified);
}

TEST_F(TemplateDialogTest, TabsAndTreeShowTheSelectedTemplatesPage) {
    Open(kTemplates025);
    struct Step {
        const char* pszItem;  // clicked in the tree, or NULL
        int nTab;             // clicked, or -1
        const char* pszPage;
        const char* pszBoardID;  // shown when the device page is
        const char* pszChannel2;  // voltage box of channel 2, when the AO page is
    };
    const Step steps[] = {
        {"Template2", -1, "device", "2", nullptr},  {nullptr, 1, "AO", nullptr, "-10 ~ 10V"},
        {"Template0", -1, "AO", nullptr, "  0 ~ 5V"}, {"Template5", -1, "AO", nullptr, "  0 ~ 5V"},
        {nullptr, 0, "device", "7", nullptr},       {"DeviceTemplate", -1, "none", nullptr, nullptr},
        {nullptr, 1, "none", nullptr, nullptr},     {"Template2", -1, "AO", nullptr, "-10 ~ 10V"},
        {"PCI-6406", -1, "none", nullptr, nullptr}, {nullptr, 0, "none", nullptr, nullptr},
        {"Template0", -1, "device", "0", nullptr},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(std::string(step.pszItem ? step.pszItem : "tab ") + std::to_string(step.nTab));
        if (step.pszItem) ClickItem(step.pszItem);
        if (step.nTab >= 0) ClickTab(step.nTab);
        EXPECT_EQ(PageShown(), step.pszPage);
        if (step.pszBoardID) {
            EXPECT_EQ(ComboText(IDC_BOARD_ID), step.pszBoardID);
        }
        if (step.pszChannel2) {
            EXPECT_EQ(ComboText(IDC_VOLTAGE_RANGE2), step.pszChannel2);
        }
    }
    EXPECT_FALSE(SaveEnabled());
}

TEST_F(TemplateDialogTest, TheDialogCoversTheHostsWindowAndShowsTheBoardsFeatures) {
    WNDCLASS host = {0, DefWindowProc, 0, 0, NULL, NULL, NULL, NULL, NULL, "Pci6406CfgHost"};
    RegisterClass(&host);
    HWND hHost = CreateWindowEx(0, "Pci6406CfgHost", "Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30, 500, 420, NULL,
                                NULL, NULL, NULL);
    m_script.Put(kTemplates025);
    DriverConfig(hHost, (m_script.Root() + "/").c_str(), "PCI6406", "ignored");
    m_hDlg = GetActiveWindow();
    ASSERT_NE(m_hDlg, hHost);
    m_pDlg = dynamic_cast<CTemplateDlg*>(CWnd::FromHandlePermanent(m_hDlg));
    ASSERT_NE(m_pDlg, nullptr);
    EXPECT_EQ(g_hHostWnd, hHost);
    RECT rect;
    GetWindowRect(m_hDlg, &rect);
    EXPECT_EQ(rect.left, 40);
    EXPECT_EQ(rect.top, 30);
    EXPECT_EQ(rect.right, 540);
    EXPECT_EQ(rect.bottom, 450);
    // The pages sit 200, 30 into the dialog.
    HWND hPage = GetParent(Control(IDC_BOARD_ID));
    RECT page;
    GetWindowRect(hPage, &page);
    POINT origin = {page.left, page.top};
    ScreenToClient(m_hDlg, &origin);
    EXPECT_EQ(origin.x, 200);
    EXPECT_EQ(origin.y, 30);
    char szText[512] = {};
    GetWindowText(Control(IDC_DEVICE_FEATURES), szText, sizeof szText);
    EXPECT_STREQ(szText,
                 "12-bit, 4-ch Isolated Analog Output Card\n\n*Four 12-bit D/A output channels\n*Multiple output "
                 "ranges\n*2,500 VDC isolation between the outputs and the PCI bus\n*Keeps output values after "
                 "system hot reset");
    DestroyWindow(hHost);
    EXPECT_TRUE(IsWindow(m_hDlg));
}

}  // namespace
