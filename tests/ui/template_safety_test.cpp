// What a careless tree, a hand-edited script, a long image path and a
// failing disk must not do: lose edits, shift past the masks, overrun the
// path, or spoil the script.
#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#include <algorithm>
#include <fstream>
#include <mutex>

#include "dialog_fixture.h"
#include "resource.h"

namespace {

const std::string kTemplates025 = kScriptHead + Section(0, 0) + Section(2, 2) + Section(5, 5);

TEST_F(TemplateDialogTest, AFoldedOrScrolledTreeHidesNoTemplateFromAddOrSave) {
    struct Case {
        const char* pszName;
        bool bFold;
    };
    for (const Case& c : {Case{"folded", true}, Case{"scrolled", false}}) {
        SCOPED_TRACE(c.pszName);
        Open(kTemplates025);
        ClickItem("Template5");
        ClickTab(1);
        Choose(IDC_CURRENT_RANGE3, "  4 ~ 20mA");
        if (c.bFold) {
            // The selection moves up to the folded item, without a word to the dialog.
            ASSERT_TRUE(CUser::ClickTreeButton(Tree(), Item("PCI-6406")));
            ASSERT_EQ(SelectedItem(), "PCI-6406");
        } else {
            RECT rect;
            GetWindowRect(Tree(), &rect);
            ScreenToClient(m_hDlg, reinterpret_cast<POINT*>(&rect));
            MoveWindow(Tree(), rect.left, rect.top, rect.right - rect.left, 3 * 16 + 4, FALSE);
            ASSERT_TRUE(CUser::ScrollTree(Tree(), 3));
            ASSERT_EQ(m_pDlg->m_tree.GetFirstVisibleItem(), Item("Template0"));
        }
        Click(IDC_ADD_TEMPLATE);
        EXPECT_EQ(TemplateItems(), (std::vector<std::string>{"Template0", "Template2", "Template5", "Template1"}));
        Click(IDOK);
        EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 0) + Section(2, 2) +
                                      Section(5, 5, kMinus10To10V, kMinus10To10V, kMinus10To10V, k4To20mA) +
                                      Section(1, 1));
        DestroyWindow(m_hDlg);
    }
}

TEST_F(TemplateDialogTest, SwitchIDsAndTemplateNumbersOutsideTheTablesTouchNoMask) {
    // Headers of templates 16 and 99, and SwitchIDs 16 and 0xffffffff, as a
    // hand-edited script may hold them.
    const std::string script = kScriptHead + Section(0, 16) + Section(1, 0xFFFFFFFF) + Section(2, 2) +
                               Section(16, 3) + Section(99, 4);
    Open(script);
    EXPECT_EQ(TemplateItems(), (std::vector<std::string>{"Template0", "Template1", "Template2"}));
    EXPECT_EQ(m_pDlg->m_store.m_wUsedSwitchIDs, 1u << 2);
    // A number the box lacks shows no selection, not the one shown before.
    ClickItem("Template2");
    EXPECT_EQ(ComboText(IDC_BOARD_ID), "2");
    ClickItem("Template1");
    EXPECT_EQ(ComboText(IDC_BOARD_ID), "(none)");
    ClickItem("Template0");
    EXPECT_EQ(ComboText(IDC_BOARD_ID), "(none)");
    Choose(IDC_BOARD_ID, "3");
    EXPECT_EQ(m_pDlg->m_store.m_wUsedSwitchIDs, (1u << 2) | (1u << 3));
    // Removing a template whose SwitchID has no bit clears none.
    ClickItem("Template1");
    Click(IDC_REMOVE_TEMPLATE);
    EXPECT_EQ(m_pDlg->m_store.m_wUsedSwitchIDs, (1u << 2) | (1u << 3));
    // Entry 1 still holds 0xffffffff, which holds no number: 0 and 1 are free.
    Click(IDC_ADD_TEMPLATE);
    EXPECT_EQ(m_pDlg->m_store.m_templates[1].SwitchID, 0u);
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 3) + Section(2, 2) + Section(16, 3) + Section(99, 4) +
                                  Section(1, 0));

    struct Text {
        const char* pszText;
        int nNumber;
    };
    const Text texts[] = {{"Template0", 0},   {"Template15", 15}, {"Template16", -1}, {"Template99", -1},
                          {"Template", -1},   {"Template-1", -1}, {"Template1x", -1}, {"template1", -1},
                          {"DeviceTemplate", -1}, {"Template4294967297", -1}, {"", -1}, {nullptr, -1}};
    for (const Text& t : texts) EXPECT_EQ(TemplateNumberOf(t.pszText), t.nNumber) << (t.pszText ? t.pszText : "NULL");
}

TEST_F(TemplateDialogTest, AScriptPathOver255CharactersOpensNoDialog) {
    m_script.Put(kTemplates025);
    const std::string suffix = "Public\\Quorvex\\Device_Drivers\\PCI6406\\PCI6406.reg";
    // A root that fills the path to exactly 255 characters, then one more.
    std::string root = m_script.Root() + "/";
    root += std::string(255 - root.size() - suffix.size(), '/');
    ASSERT_EQ(root.size() + suffix.size(), 255u);
    DriverConfig(NULL, root.c_str(), "PCI6406", "");
    m_hDlg = GetActiveWindow();
    m_pDlg = dynamic_cast<CTemplateDlg*>(CWnd::FromHandlePermanent(m_hDlg));
    ASSERT_NE(m_pDlg, nullptr);
    EXPECT_EQ(std::string(m_pDlg->m_store.m_szScriptPath), root + suffix);
    EXPECT_EQ(TemplateItems().size(), 3u);
    DestroyWindow(m_hDlg);

    // The box echoes the root up to the longest a path may be.
    for (size_t cchRoot : {root.size() + 1, size_t(100000)}) {
        SCOPED_TRACE(cchRoot);
        std::string longRoot = m_script.Root() + "/" + std::string(cchRoot - m_script.Root().size() - 1, '/');
        std::string shown = longRoot.size() > 255 ? longRoot.substr(0, 255) + "..." : longRoot;
        CUserScript user;
        user.ExpectMessageBox(("The path of the registry script would be longer than 255 characters; keep the "
                               "image folder's path shorter.\n" + shown).c_str(),
                              "PCI6406Cfg", MB_OK, IDOK)
            .OwnedBy(NULL);
        EXPECT_EQ(DriverConfig(NULL, longRoot.c_str(), "PCI6406", ""), 1);
        EXPECT_EQ(user.Verify(), "");
        EXPECT_EQ(GetActiveWindow(), (HWND)NULL);
    }

    // The device name gives its first seven characters twice; the caller's
    // strings are copied as they are.
    struct Name {
        const char* pszDevice;
        const char* pszTail;
    };
    const Name names[] = {{"PCI6406U", "PCI6406\\PCI6406.reg"}, {"PCI64", "PCI64\\PCI64.reg"}, {nullptr, "\\.reg"}};
    for (const Name& n : names) {
        CTemplateDlg dlg;
        EXPECT_TRUE(dlg.SetScriptPath("D:\\IMAGE\\", n.pszDevice));
        EXPECT_EQ(std::string(dlg.m_store.m_szScriptPath), std::string("D:\\IMAGE\\Public\\Quorvex\\Device_Drivers\\") + n.pszTail);
    }
}

// Answers every box with OK and keeps its text, for boxes whose reason
// depends on which primitive failed.
class CRecordedBoxes : public CUserAnswers {
public:
    CRecordedBoxes() : m_pPrevious(AfxSetUserAnswers(this)) {}
    ~CRecordedBoxes() override { AfxSetUserAnswers(m_pPrevious); }
    int AnswerMessageBox(HWND, LPCSTR lpszText, LPCSTR, UINT) override {
        std::lock_guard<std::mutex> hold(m_lock);
        m_texts.push_back(lpszText);
        return IDOK;
    }
    void WorkModalDialog(HWND, UINT) override { ADD_FAILURE() << "a dialog came up"; }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> hold(m_lock);
        return m_texts;
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_texts;
    CUserAnswers* m_pPrevious;
};

// Every file primitive and every allocation of a whole save failing in turn:
// the script keeps its old bytes, the dialog says so and keeps the edits, and
// the next Save writes them all.
TEST_F(TemplateDialogTest, ASaveLandsWholeOrNotAtAllWhicheverPrimitiveFails) {
    const AfxFaultPoint points[] = {AFX_FAULT_OPEN,  AFX_FAULT_LENGTH,     AFX_FAULT_SEEK,  AFX_FAULT_READ,
                                    AFX_FAULT_WRITE, AFX_FAULT_SET_LENGTH, AFX_FAULT_FLUSH, AFX_FAULT_REMOVE,
                                    AFX_FAULT_PAGE_ALLOC};
    // Two removals, a changed channel and a new template: each kind of change
    // in one save, which leaves the script shorter.
    auto edit = [&] {
        ClickItem("Template2");
        Click(IDC_REMOVE_TEMPLATE);
        ClickItem("Template5");
        Click(IDC_REMOVE_TEMPLATE);
        ClickItem("Template0");
        ClickTab(1);
        Choose(IDC_CURRENT_RANGE3, "  4 ~ 20mA");
        Click(IDC_ADD_TEMPLATE);
    };
    Open(kTemplates025);
    edit();
    unsigned nCalls[AFX_FAULT_POINT_COUNT];
    for (AfxFaultPoint pt : points) nCalls[pt] = AfxCallCount(pt);
    Click(IDOK);
    for (AfxFaultPoint pt : points) nCalls[pt] = AfxCallCount(pt) - nCalls[pt];
    const std::string expected = m_script.Get();
    // The cut of the last section leaves the line of one space before it, as ever.
    ASSERT_EQ(expected, kScriptHead + Section(0, 0, kMinus10To10V, kMinus10To10V, kMinus10To10V, k4To20mA) + " \r\n" +
                            Section(1, 1));
    DestroyWindow(m_hDlg);

    const std::string prefix = "Cannot save the templates to the registry script\n" + ScriptPath() + "\n";
    const std::string suffix = "\nThe script is unchanged.";
    unsigned nFailed = 0;
    for (AfxFaultPoint pt : points) {
        for (unsigned nCall = 1; nCall <= nCalls[pt]; ++nCall) {
            SCOPED_TRACE(testing::Message() << "point " << pt << " call " << nCall);
            Open(kTemplates025);
            edit();
            AfxFailCall(pt, nCall, pt == AFX_FAULT_PAGE_ALLOC ? ERROR_NOT_ENOUGH_MEMORY : ERROR_DISK_FULL, 5);
            std::vector<std::string> texts;
            {
                CRecordedBoxes boxes;
                Click(IDOK);
                texts = boxes.Texts();
            }
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(texts[0].rfind(prefix, 0), 0u) << texts[0];
            EXPECT_EQ(texts[0].substr(texts[0].size() - std::min(texts[0].size(), suffix.size())), suffix);
            EXPECT_EQ(m_script.Get(), kTemplates025);
            EXPECT_FALSE(std::ifstream(m_script.Path() + std::string(".jnl")).good());
            EXPECT_TRUE(g_bModified);
            EXPECT_TRUE(SaveEnabled());
            Click(IDOK);
            EXPECT_EQ(m_script.Get(), expected);
            EXPECT_FALSE(SaveEnabled());
            DestroyWindow(m_hDlg);
            ++nFailed;
        }
    }
    for (AfxFaultPoint pt : points) EXPECT_GT(nCalls[pt], 0u) << "point " << pt << " never failed";
    RecordProperty("failed_calls", static_cast<int>(nFailed));
}

// The script is read at the dialog's start; whatever another program writes
// after that is never saved over.
TEST_F(TemplateDialogTest, ASaveNeverWritesOverAnotherProgramsChange) {
    Open(kTemplates025);
    Click(IDC_ADD_TEMPLATE);
    Click(IDOK);
    Click(IDC_ADD_TEMPLATE);
    Click(IDOK);  // the dialog's own saves are no other program's
    const std::string ours = kTemplates025 + Section(1, 1) + Section(3, 3);
    ASSERT_EQ(m_script.Get(), ours);

    ClickItem("Template0");
    Click(IDC_REMOVE_TEMPLATE);
    const std::string theirs = ours + "; added by hand\r\n";
    m_script.Put(theirs);
    for (int nButton : {IDOK, IDCANCEL}) {
        CUserScript user;
        if (nButton == IDCANCEL)
            user.ExpectMessageBox("The configuration of PCI-6406 is change, save the change", "Note", MB_OKCANCEL, IDOK);
        user.ExpectMessageBox(("Cannot save the templates to the registry script\n" + ScriptPath() +
                               "\nAnother program changed the script after this dialog read it; open the dialog "
                               "again to edit the script as it is now.\nThe script is unchanged" +
                               (nButton == IDOK ? "." : ", and the dialog stays open."))
                                  .c_str(),
                              "PCI6406Cfg", MB_OK, IDOK)
            .OwnedBy(m_hDlg);
        Click(nButton);
        EXPECT_EQ(user.Verify(), "");
        EXPECT_EQ(m_script.Get(), theirs);
        EXPECT_TRUE(g_bModified);
    }
    g_bModified = false;
    DestroyWindow(m_hDlg);

    // Opened again, the dialog edits the script as it is now.
    Open(theirs);
    ClickItem("Template0");
    Click(IDC_REMOVE_TEMPLATE);
    Click(IDOK);
    std::string expected = theirs;
    expected.erase(expected.find(Section(0, 0)), Section(0, 0).size());
    EXPECT_EQ(m_script.Get(), expected);
}

// A template the script holds without a "SwitchID" is listed at its
// defaults; its own lines stay as they are until the person edits it.
TEST_F(TemplateDialogTest, ATemplateWithoutSwitchIDKeepsItsLinesUntilEdited) {
    std::string unloaded = Section(2, 2, kMinus10To10V, k0To10V);
    unloaded.erase(unloaded.find("\"SwitchID\"=dword:2\r\n"), 20);
    const std::string script = kScriptHead + Section(0, 0) + unloaded;
    Open(script);
    EXPECT_EQ(TemplateItems(), (std::vector<std::string>{"Template0", "Template2"}));
    ClickItem("Template2");
    ClickTab(1);
    EXPECT_EQ(ComboText(IDC_VOLTAGE_RANGE1), "-10 ~ 10V");  // its defaults, as the text has it
    Click(IDC_ADD_TEMPLATE);
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), script + Section(1, 1));

    // Edited, it is written whole, as the dialog shows it; its "SwitchID", a
    // new value, ends its section.
    ClickItem("Template2");
    ClickTab(1);
    Choose(IDC_VOLTAGE_RANGE3, "  0 ~ 10V");
    Click(IDOK);
    std::string edited = Section(2, 2, kMinus10To10V, kMinus10To10V, kMinus10To10V, k0To10V);
    edited.erase(edited.find("\"SwitchID\"=dword:2\r\n"), 20);
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 0) + edited + " \r\n\"SwitchID\"=dword:2\r\n" +
                                  Section(1, 1).substr(3));
}

TEST_F(TemplateDialogTest, AScriptHeldByAnotherProgramKeepsTheDialogOpenAtClose) {
    Open(kTemplates025);
    Click(IDC_ADD_TEMPLATE);
    CFile other;
    ASSERT_TRUE(other.Open(m_script.Path(), CFile::modeReadWrite | CFile::shareExclusive));
    {
        CUserScript user;
        user.ExpectMessageBox("The configuration of PCI-6406 is change, save the change", "Note", MB_OKCANCEL, IDOK);
        user.ExpectMessageBox(("Cannot save the templates to the registry script\n" + ScriptPath() +
                               "\nOperating-system error 32: another program has the file open.\nThe script is "
                               "unchanged, and the dialog stays open.")
                                  .c_str(),
                              "PCI6406Cfg", MB_OK, IDOK);
        Click(IDCANCEL);
        EXPECT_EQ(user.Verify(), "");
    }
    EXPECT_TRUE(IsWindowVisible(m_hDlg));
    EXPECT_TRUE(g_bModified);
    other.Close();
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), kTemplates025 + Section(1, 1));
}

TEST_F(TemplateDialogTest, ATemplateThatCannotBeReadIsLeftOutAndKept) {
    // The dialog's start reads the script once: a script that cannot be read
    // lists nothing, takes no template and writes nothing.
    const std::string script = kScriptHead + Section(0, 0) + Section(2, 2, k4To20mA) + Section(5, 5);
    const std::string message = "Cannot read the registry script\n" + ScriptPath() +
                                "\nOperating-system error 30: the device cannot be read.\nThe templates that could "
                                "not be read are left out; the script keeps them as they are.";
    m_script.Put(script);
    AfxFailCall(AFX_FAULT_READ, 1, ERROR_READ_FAULT);
    {
        CUserScript user;
        user.ExpectMessageBox(message.c_str(), "PCI6406Cfg", MB_OK, IDOK);
        Open(script);
        EXPECT_EQ(user.Verify(), "");
    }
    EXPECT_TRUE(TemplateItems().empty());
    {
        CUserScript user;
        user.ExpectMessageBox("Support up to 16 Templates", "PCI6406Cfg", MB_OK, IDOK);
        Click(IDC_ADD_TEMPLATE);
    }
    Click(IDOK);
    EXPECT_EQ(m_script.Get(), script);
}

TEST_F(TemplateDialogTest, AMissingScriptListsNothingSilentlyButASaveSaysWhy) {
    Open(kTemplates025);
    DestroyWindow(m_hDlg);
    std::remove(m_script.Path());
    EXPECT_EQ(DriverConfig(NULL, (m_script.Root() + "/").c_str(), "PCI6406", ""), 1);
    m_hDlg = GetActiveWindow();
    m_pDlg = dynamic_cast<CTemplateDlg*>(CWnd::FromHandlePermanent(m_hDlg));
    ASSERT_NE(m_pDlg, nullptr);
    EXPECT_TRUE(TemplateItems().empty());
    Click(IDC_ADD_TEMPLATE);
    CUserScript user;
    user.ExpectMessageBox(("Cannot save the templates to the registry script\n" + ScriptPath() +
                           "\nOperating-system error 2: the file does not exist.\nThe script is unchanged.")
                              .c_str(),
                          "PCI6406Cfg", MB_OK, IDOK);
    Click(IDOK);
    EXPECT_EQ(user.Verify(), "");
    EXPECT_TRUE(SaveEnabled());
}

TEST_F(TemplateDialogTest, F1InTheTreeOpensTheAboutBox) {
    Open(kTemplates025);
    ClickItem("Template2");
    CUserScript user;
    user.ExpectDialog(IDD_ABOUTBOX, [](HWND hAbout) {
        EXPECT_TRUE(IsWindowVisible(hAbout));
        CUser::PressKey(VK_ESCAPE);
    });
    ASSERT_TRUE(CUser::PressKey(VK_F1));
    EXPECT_EQ(user.Verify(), "");
    EXPECT_EQ(GetFocus(), Tree());
    EXPECT_FALSE(SaveEnabled());
}

// On Windows the DLL's export table is read with objdump instead.
#if !defined(_WIN32)
TEST(PCI6406CfgLibrary, ExportsDriverConfigByItsPlainNameAndNothingElse) {
    void* pLibrary = dlopen(AOC_PCI6406CFG_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(pLibrary, nullptr) << dlerror();
    EXPECT_NE(dlsym(pLibrary, "DriverConfig"), nullptr);
    EXPECT_EQ(dlsym(pLibrary, "g_bModified"), nullptr);
    EXPECT_EQ(dlsym(pLibrary, "MessageBoxA"), nullptr);
    dlclose(pLibrary);
}
#endif

}  // namespace
