// pci6406cfg as a person runs it: what it prints, how it exits, and the
// script it leaves, byte for byte the dialog's.
#include <functional>

#include "resource.h"
#include "tool_fixture.h"

namespace {

const char kUsage[] =
    "usage: pci6406cfg --root DIR [--device NAME] list | add | remove T | boardid T ID | range T CHANNEL RANGE "
    "[RANGE]\n";

TEST_F(ToolTest, WritesTheBytesTheDialogWrites) {
    const std::string start = kScriptHead + Section(0, 0) + Section(2, 2, k0To10V);
    m_script.Put(start);
    const char* const commands[] = {"add", "boardid 1 3", "range 1 2 '4 ~ 20mA'", "range 0 0 '0~5v' none",
                                    "range 2 3 ' -5 ~ 5V '", "remove 0", "add"};
    for (const char* pszCommand : commands) {
        Outcome run = Tool(pszCommand);
        EXPECT_EQ(run.nStatus, 0) << pszCommand << ": " << run.err;
        EXPECT_EQ(run.err, "") << pszCommand;
    }
    const std::string byTool = m_script.Get();

    // The same by hand, one dialog per command as the tool opens them.
    m_script.Put(start);
    auto session = [&](std::function<void()> act) {
        Open(m_script.Get());
        act();
        Click(IDOK);
        DestroyWindow(m_hDlg);
    };
    session([&] { Click(IDC_ADD_TEMPLATE); });
    session([&] { ClickItem("Template1"); ClickTab(0); Choose(IDC_BOARD_ID, "3"); });
    session([&] { ClickItem("Template1"); ClickTab(1); Choose(IDC_CURRENT_RANGE2, "  4 ~ 20mA"); });
    session([&] {
        ClickItem("Template0");
        ClickTab(1);
        Choose(IDC_VOLTAGE_RANGE0, "  0 ~ 5V");
        Choose(IDC_CURRENT_RANGE0, " ");
    });
    session([&] { ClickItem("Template2"); ClickTab(1); Choose(IDC_VOLTAGE_RANGE3, " -5 ~ 5V"); });
    session([&] { ClickItem("Template0"); Click(IDC_REMOVE_TEMPLATE); });
    session([&] { Click(IDC_ADD_TEMPLATE); });
    EXPECT_EQ(byTool, m_script.Get());
    // Template1 took 3 and left 1 free for the new Template0.
    EXPECT_EQ(byTool, kScriptHead + Section(2, 2, k0To10V, kMinus10To10V, kMinus10To10V, kMinus5To5V) +
                          Section(1, 3, kMinus10To10V, kMinus10To10V, k4To20mA) + Section(0, 1));
}

TEST_F(ToolTest, ListsTemplatesInTheBoxesWords) {
    // A range the boxes lack and a SwitchID the BoardID box lacks are shown
    // as the template holds them.
    m_script.Put(kScriptHead + Section(0, 0, kMinus10To10V, k0To10V, k4To20mA, kMinus5To5V) +
                 Section(3, 3, k0To20mA, k0To5V, "     0    10    -5     0     0") + Section(4, 20));
    Outcome run = Tool("list");
    EXPECT_EQ(run.nStatus, 0) << run.err;
    EXPECT_EQ(run.out,
              "Template  BoardID  Channel 0         Channel 1         Channel 2         Channel 3\n"
              "0         0        -10 ~ 10V         0 ~ 10V           0 ~ 5V, 4 ~ 20mA  -5 ~ 5V\n"
              "3         3        0 ~ 5V, 0 ~ 20mA  0 ~ 5V            -5..10 V          -10 ~ 10V\n"
              "4         20       -10 ~ 10V         -10 ~ 10V         -10 ~ 10V         -10 ~ 10V\n");
    EXPECT_EQ(Tool("add").out, "1\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(ToolTest, RefusalsPrintTheDialogsMessageAndChangeNothing) {
    std::string sixteen = kScriptHead;
    for (int n = 0; n < 16; ++n) sixteen += Section(n, static_cast<DWORD>(n));
    const std::string two = kScriptHead + Section(0, 0) + Section(1, 1);
    struct Case {
        const std::string* pScript;
        const char* pszArgs;
        int nStatus;
        std::string err;
    };
    const Case cases[] = {
        {&two, "boardid 1 0", 1, "SwitchID already used!\n"},
        {&sixteen, "add", 1, "Support up to 16 Templates\n"},
        {&two, "remove Template7", 1, "pci6406cfg: " + ScriptPath() + " holds no Template7\n"},
        {&two, "", 2, std::string("pci6406cfg: no command\n") + kUsage},
        {&two, "rename 1", 2, std::string("pci6406cfg: unknown command rename\n") + kUsage},
        {&two, "add 3", 2, std::string("pci6406cfg: add takes no arguments\n") + kUsage},
        {&two, "remove 16", 2, std::string("pci6406cfg: remove takes a template number 0..15\n") + kUsage},
        {&two, "boardid 1 x", 2,
         std::string("pci6406cfg: boardid takes a template number and a BoardID, both 0..15\n") + kUsage},
        {&two, "range 0 4 '0 ~ 5V'", 2,
         std::string("pci6406cfg: range takes a template number, a channel 0..3 and one or two ranges\n") + kUsage},
        {&two, "range 0 1 '1 ~ 5V'", 2,
         std::string("pci6406cfg: no box offers the range \"1 ~ 5V\"; the ranges are -10 ~ 10V, -5 ~ 5V, 0 ~ 10V, "
                     "0 ~ 5V, 4 ~ 20mA, 0 ~ 20mA and none\n") +
             kUsage},
        {&two, "--device", 2, std::string("pci6406cfg: --device needs a value\n") + kUsage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszArgs);
        m_script.Put(*c.pScript);
        Outcome run = Tool(c.pszArgs);
        EXPECT_EQ(run.nStatus, c.nStatus);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(m_script.Get(), *c.pScript);
    }
}

TEST_F(ToolTest, NamesTheScriptItCannotOpenAndExplainsItself) {
    Outcome run = Tool("--device PCI6407 list");
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_EQ(run.err, "pci6406cfg: cannot open the registry script " + m_script.Root() +
                           "/Public\\Quorvex\\Device_Drivers\\PCI6407\\PCI6407.reg (operating-system error 3)\n");
    run = Tool("--help");
    EXPECT_EQ(run.nStatus, 0);
    EXPECT_EQ(run.out.rfind(kUsage, 0), 0u);
    EXPECT_NE(run.out.find("Exit status"), std::string::npos);
}

}  // namespace
