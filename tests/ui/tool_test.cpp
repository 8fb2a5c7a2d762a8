// pci6406cfg as a person runs it: what it prints, how it exits, and the
// script it leaves, byte for byte the dialog's.
#include <fcntl.h>
#include <sys/stat.h>

#include <functional>

#include "resource.h"
#include "tool_fixture.h"

namespace {

const char kUsage[] =
    "usage: pci6406cfg --root DIR [--device NAME] [--commands FILE] COMMAND [, COMMAND]...\n"
    "commands: list [--json] | add | remove T | boardid T ID | range T CHANNEL RANGE [RANGE] | save | check\n";

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
    // The new template takes the one SwitchID that no entry holds.
    EXPECT_EQ(Tool("add").out, "Template1, BoardID 4\n");
    EXPECT_EQ(run.err, "");
}

TEST_F(ToolTest, RefusalsPrintTheDialogsMessageAndChangeNothing) {
    std::string sixteen = kScriptHead;
    for (int n = 0; n < 16; ++n) sixteen += Section(n, static_cast<DWORD>(n));
    const std::string two = kScriptHead + Section(0, 0) + Section(1, 1);
    const std::string file = m_script.Create("build/templates.txt", "# the build's templates\nadd, add\n\nremove\n");
    struct Case {
        const std::string* pScript;
        std::string args;
        int nStatus;
        std::string err;
        std::string out = "";
    };
    const Case cases[] = {
        {&two, "boardid 1 0", 1,
         "SwitchID already used!\npci6406cfg: boardid 1 0: Template0 holds BoardID 0; free BoardIDs: 2..15\n"},
        {&sixteen, "add", 1,
         "Support up to 16 Templates\npci6406cfg: add: all 16 template numbers are listed; remove a template first\n"},
        {&two, "remove Template7", 1,
         "pci6406cfg: remove Template7: no Template7 in " + NativePath() + "; it holds Template0 and Template1\n"},
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
        {&two, "range 0 0 ''", 2,
         std::string("pci6406cfg: an empty range; the ranges are -10 ~ 10V, -5 ~ 5V, 0 ~ 10V, 0 ~ 5V, 4 ~ 20mA, "
                     "0 ~ 20mA and none\n") +
             kUsage},
        {&two, "list --verbose", 2, std::string("pci6406cfg: unknown option --verbose\n") + kUsage},
        {&two, "--json add", 2, std::string("pci6406cfg: --json goes with list\n") + kUsage},
        // A session: a refusal anywhere saves nothing, a malformed command runs nothing.
        {&two, "add, boardid 2 0, range 2 0 0~5V", 1,
         "SwitchID already used!\npci6406cfg: boardid 2 0: Template0 holds BoardID 0; free BoardIDs: 3..15; nothing "
         "is saved\n",
         "Template2, BoardID 2\n"},
        {&two, "add, range 2 0 '1~5V'", 2,
         std::string("pci6406cfg: no box offers the range \"1~5V\"; the ranges are -10 ~ 10V, -5 ~ 5V, 0 ~ 10V, "
                     "0 ~ 5V, 4 ~ 20mA, 0 ~ 20mA and none\n") +
             kUsage,
         "Template2, BoardID 2\n"},
        {&two, "add, boardid 1", 2,
         std::string("pci6406cfg: boardid 1: boardid takes a template number and a BoardID, both 0..15\n") + kUsage},
        {&two, "check, list", 2, std::string("pci6406cfg: check runs alone: it reads the script as saved\n") + kUsage},
        {&two, "--commands " + file + " add", 2,
         "pci6406cfg: " + file + ":4: remove takes a template number 0..15\n" + kUsage},
        {&two, "--commands " + m_script.Root() + "/build", 2,
         "pci6406cfg: the command file " + m_script.Root() + "/build is a folder\n" + kUsage},
        {&two, "--commands " + m_script.Root() + "/none.txt", 2,
         "pci6406cfg: cannot read the command file " + m_script.Root() + "/none.txt: No such file or directory\n" +
             kUsage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        m_script.Put(*c.pScript);
        Outcome run = Tool(c.args);
        EXPECT_EQ(run.nStatus, c.nStatus);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(m_script.Get(), *c.pScript);
    }
}

TEST_F(ToolTest, NamesTheScriptItCannotOpenAndExplainsItself) {
    const std::string folder = m_script.Root() + "/Public/Quorvex/Device_Drivers/PCI6407";
    Outcome run = Tool("--device PCI6407 list");
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_EQ(run.err, "pci6406cfg: there is no registry script " + folder +
                           "/PCI6407.reg; its folder is missing too\n"
                           "tools/pci6406cfg/examples/PCI6406.reg is a minimal one to start from; from the top of "
                           "the source tree:\n"
                           "  mkdir -p " + folder + "\n"
                           "  cp tools/pci6406cfg/examples/PCI6406.reg " + folder + "/PCI6407.reg\n");

    // One message, with the path as this system writes it and the reason in words.
    run = Tool("--device pci6406 list");
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_EQ(run.err, "pci6406cfg: cannot read the registry script " + m_script.Root() +
                           "/Public/Quorvex/Device_Drivers/pci6406/pci6406.reg: the path names no board folder under "
                           "Device_Drivers.\nThe device name is the bus in capitals (PCI, PCM or USB) and the "
                           "four-character model, such as --device PCI6406.\n");

    // Help wherever it is asked for, and nothing else done.
    m_script.Put(kScriptHead);
    for (const char* pszArgs : {"--help", "-h", "add -h", "remove 99 --help"}) {
        SCOPED_TRACE(pszArgs);
        run = Tool(pszArgs);
        EXPECT_EQ(run.nStatus, 0);
        EXPECT_EQ(run.out.rfind(kUsage, 0), 0u);
        EXPECT_NE(run.out.find("Exit status"), std::string::npos);
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(m_script.Get(), kScriptHead);
}

TEST_F(ToolTest, TakesOptionsAnywhereAndTemplateNamesInAnyCase) {
    m_script.Put(kScriptHead + Section(0, 0) + Section(1, 1));
    // The root given first is not there; the one given last counts.
    Outcome run = Tool("--root /nonexistent boardid template1 5 --device PCI6406 --root=" + m_script.Root());
    EXPECT_EQ(run.nStatus, 0) << run.err;
    run = Tool("range TEMPLATE0 3 -5~5V");
    EXPECT_EQ(run.nStatus, 0) << run.err;
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 0, kMinus10To10V, kMinus10To10V, kMinus10To10V, kMinus5To5V) +
                                  Section(1, 5));
}

// The script's bytes and time stay as they are when the dialog would save
// what the script holds, hand-written forms included; save writes them the
// dialog's way.
TEST_F(ToolTest, ACommandThatChangesNothingWritesNothing) {
    const std::string handWritten = std::string(kScriptHead) + " \r\n" + Header(0) +
                                    " \r\n\"SwitchID\"=dword:00000000\r\n\"AOSettings 0\"=\"0 10 -10 0 0\"\r\n" +
                                    "\"AOSettings 1\"=\"   0  5  0 20 4\"\r\n" +
                                    Section(0, 0).substr(Section(0, 0).find("\"AOSettings 2\"")) + Section(1, 1);
    m_script.Put(handWritten);
    for (const char* pszArgs : {"list", "boardid 0 0", "range 0 1 '4 ~ 20mA'", "range 1 0 0~5V none, range 1 0 -10~10V",
                                "boardid 1 9, boardid 1 1", "add, remove 2"}) {
        SCOPED_TRACE(pszArgs);
        struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, m_script.Path(), times, 0), 0);
        Outcome run = Tool(pszArgs);
        EXPECT_EQ(run.nStatus, 0) << run.err;
        struct stat st;
        ASSERT_EQ(stat(m_script.Path(), &st), 0);
        EXPECT_EQ(st.st_mtime, 1000000000);
        EXPECT_EQ(m_script.Get(), handWritten);
    }
    Outcome run = Tool("save");
    EXPECT_EQ(run.nStatus, 0) << run.err;
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 0, kMinus10To10V, k4To20mA, kMinus10To10V, kMinus10To10V) +
                                  Section(1, 1));
}

// Several commands are one dialog: the same bytes as a person's one session
// with one Save, whether on the line, from a file or from standard input.
TEST_F(ToolTest, ASessionIsOneDialogWithOneSave) {
    const std::string start = kScriptHead + Section(0, 0) + Section(1, 1, k0To10V);
    m_script.Put(start);
    Outcome run = Tool("remove 0, add, boardid 0 7, range template0 2 '4 ~ 20mA', add,");
    EXPECT_EQ(run.nStatus, 0) << run.err;
    // The template added again keeps its values; its SwitchID is chosen afresh.
    EXPECT_EQ(run.out, "Template0, BoardID 0\nTemplate2, BoardID 0\n");
    const std::string bySession = m_script.Get();
    EXPECT_EQ(bySession, kScriptHead + Section(1, 1, k0To10V) +
                             Section(0, 7, kMinus10To10V, kMinus10To10V, k4To20mA) + Section(2, 0));

    m_script.Put(start);
    Open(start);
    ClickItem("Template0");
    Click(IDC_REMOVE_TEMPLATE);
    Click(IDC_ADD_TEMPLATE);
    ClickItem("Template0");
    ClickTab(0);
    Choose(IDC_BOARD_ID, "7");
    ClickTab(1);
    Choose(IDC_CURRENT_RANGE2, "  4 ~ 20mA");
    Click(IDC_ADD_TEMPLATE);
    Click(IDOK);
    DestroyWindow(m_hDlg);
    EXPECT_EQ(m_script.Get(), bySession);

    const std::string file = m_script.Create("templates.txt", "# one session\nremove 0, add\r\n\n  boardid 0 7\n"
                                                              "range template0 2 \"4 ~ 20mA\"\nadd");
    for (const std::string& args : {"--commands " + file, "--commands - < " + file}) {
        SCOPED_TRACE(args);
        m_script.Put(start);
        run = Tool(args);
        EXPECT_EQ(run.nStatus, 0) << run.err;
        EXPECT_EQ(run.out, "Template0, BoardID 0\nTemplate2, BoardID 0\n");
        EXPECT_EQ(m_script.Get(), bySession);
    }
}

TEST_F(ToolTest, ListsJsonWithTheStoredNumbers) {
    m_script.Put(kScriptHead + Section(0, 0, k4To20mA, k0To5V) +
                 Section(3, 20, "  2048    10    -5     0     0", k0To20mA));
    Outcome run = Tool("list --json");
    EXPECT_EQ(run.nStatus, 0) << run.err;
    auto channel = [](int i, const char* pszWords, const char* pszNumbers) {
        return std::string(i ? ",\n" : "\n") + "    {\"channel\": " + std::to_string(i) + ", " + pszWords + ", " +
               pszNumbers + "}";
    };
    const char kDefault[] = "\"InitialCode\": 0, \"VoltageMax\": 10, \"VoltageMin\": -10, \"CurrentMax\": 0, "
                            "\"CurrentMin\": 0";
    const char kDefaultWords[] = "\"voltage\": \"-10 ~ 10V\", \"current\": \"none\"";
    EXPECT_EQ(run.out,
              "{\"script\": \"" + NativePath() + "\",\n \"templates\": [\n" +
                  "  {\"template\": 0, \"BoardID\": 0, \"channels\": [" +
                  channel(0, "\"voltage\": \"0 ~ 5V\", \"current\": \"4 ~ 20mA\"",
                          "\"InitialCode\": 0, \"VoltageMax\": 5, \"VoltageMin\": 0, \"CurrentMax\": 20, "
                          "\"CurrentMin\": 4") +
                  channel(1, "\"voltage\": \"0 ~ 5V\", \"current\": \"none\"",
                          "\"InitialCode\": 0, \"VoltageMax\": 5, \"VoltageMin\": 0, \"CurrentMax\": 0, "
                          "\"CurrentMin\": 0") +
                  channel(2, kDefaultWords, kDefault) + channel(3, kDefaultWords, kDefault) + "\n  ]},\n" +
                  "  {\"template\": 3, \"BoardID\": 20, \"channels\": [" +
                  channel(0, "\"voltage\": null, \"current\": null",
                          "\"InitialCode\": 2048, \"VoltageMax\": 10, \"VoltageMin\": -5, \"CurrentMax\": 0, "
                          "\"CurrentMin\": 0") +
                  channel(1, "\"voltage\": \"0 ~ 5V\", \"current\": \"0 ~ 20mA\"",
                          "\"InitialCode\": 0, \"VoltageMax\": 5, \"VoltageMin\": 0, \"CurrentMax\": 20, "
                          "\"CurrentMin\": 0") +
                  channel(2, kDefaultWords, kDefault) + channel(3, kDefaultWords, kDefault) + "\n  ]}\n ]}\n");
    m_script.Put(kScriptHead);
    EXPECT_EQ(Tool("--json list").out, "{\"script\": \"" + NativePath() + "\",\n \"templates\": []}\n");
}

}  // namespace
