// pci6406cfg at the edges a new user finds: scripts whose lines read alike
// for the dialog, check and the image build; scripts it may only read; paths
// that cannot hold a script; an output that cannot be written; and a Save
// that must be pressed.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "resource.h"
#include "tool_fixture.h"

extern char** environ;

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Channels(const char* ch0 = kMinus10To10V) {
    std::string text = "\"AOSettings 0\"=\"" + std::string(ch0) + "\"\r\n";
    for (int i = 1; i < 4; ++i) text += "\"AOSettings " + std::to_string(i) + "\"=\"" + kMinus10To10V + "\"\r\n";
    return text;
}

// Lines as a person writes them: a byte-order mark, a comment and a value
// that end in a backslash, a value left open at the end of a section.
TEST_F(ToolTest, ScriptLinesReadAlikeForTheDialogAndCheck) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string t0 = Header(0) + " \r\n\"SwitchID\"=dword:0\r\n" + Channels();
    const std::string comment = kScriptHead + std::string(" \r\n") + Header(0) +
                                " \r\n; files in C:\\image\\\r\n\"SwitchID\"=dword:7\r\n" + Channels();
    const std::string keepMe =
        kScriptHead + std::string(" \r\n") + Header(0) + " \r\n\"SwitchID\"=dword:3\\\r\n; keep me\r\n" + Channels();
    const std::string open = kScriptHead + std::string(" \r\n") + Header(0) + " \r\n\"SwitchID\"=dword:2\r\n" +
                             "\"Bin\"=hex:01,\\\r\n" + Section(1, 1).substr(3);
    auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    struct Case {
        const char* name;
        std::string script;
        const char* boardId;  // as list shows Template0's
        bool bCheckClean;     // check finds nothing
        const char* args;
        std::string after;
    } cases[] = {
        {"a byte-order mark before the first header", bom + t0, "0", true, "add", bom + t0 + Section(1, 1)},
        {"a comment ending in a backslash", comment, "7", true, "range 0 0 '0 ~ 5V'",
         replaced(comment, "\"AOSettings 0\"=\"" + std::string(kMinus10To10V), "\"AOSettings 0\"=\"" + std::string(k0To20mA))},
        {"a value ending in a backslash before a comment", keepMe, "3", true, "boardid 0 5",
         replaced(keepMe, "dword:3\\", "dword:5")},
        // The section lacks its channels: they all go before the value left open.
        {"a value left open before the next header", open, "2", false, "range 0 0 '0 ~ 5V'",
         replaced(open, "\"Bin\"", Channels(k0To20mA) + "\"Bin\"")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_script.Put(c.script);
        Outcome run = Tool("list --json");
        EXPECT_EQ(run.nStatus, 0) << run.err;
        EXPECT_TRUE(Contains(run.out, "{\"template\": 0, \"BoardID\": " + std::string(c.boardId) + ",")) << run.out;
        run = Tool("check");
        EXPECT_EQ(Contains(run.out, "each read by the driver as the dialog shows it"), c.bCheckClean) << run.out;
        run = Tool(c.args);
        EXPECT_EQ(run.nStatus, 0) << run.err;
        EXPECT_EQ(m_script.Get(), c.after);
    }
}

// A script that may not be written: list and check read it, an edit is
// refused with the reason, and nothing is written.
TEST_F(ToolTest, AWriteProtectedScriptIsReadAndAnEditRefused) {
    const std::string script = kScriptHead + Section(0, 0);
    auto expectReadOnly = [&](const std::string& root, const char* step) {
        for (const char* args : {"list", "list --json", "check"}) {
            SCOPED_TRACE(args);
            Outcome run = ToolAt(root, args);
            EXPECT_EQ(run.nStatus, 0) << run.err;
            EXPECT_EQ(run.err, "");
        }
        Outcome run = ToolAt(root, "boardid 0 4");
        EXPECT_EQ(run.nStatus, 1);
        EXPECT_TRUE(Contains(run.err, ": the registry script is write-protected.\nThe script is unchanged.\n")) << run.err;
        EXPECT_TRUE(Contains(run.err, step)) << run.err;
    };
    m_script.Put(script);
    ASSERT_EQ(chmod(m_script.Path(), 0444), 0);
    expectReadOnly(m_script.Root(), "Make it writable (chmod u+w ");
    EXPECT_EQ(m_script.Get(), script);

    const std::string mount = m_script.Root() + "/mounted";
    ASSERT_EQ(mkdir(mount.c_str(), 0755), 0);
    if (geteuid() != 0 || ::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=1m") != 0) {
        std::printf("a read-only file system is not tried: this process cannot mount one\n");
        return;
    }
    ASSERT_EQ(std::system(("mkdir -p '" + mount + "/Public/Quorvex/Device_Drivers/PCI6406' && cp '" + m_script.Path() +
                           "' '" + mount + "/Public/Quorvex/Device_Drivers/PCI6406/' && chmod u+w '" + mount +
                           "/Public/Quorvex/Device_Drivers/PCI6406/PCI6406.reg'")
                              .c_str()),
              0);
    ASSERT_EQ(::mount("tmpfs", mount.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);
    expectReadOnly(mount, "Its file system is mounted read-only");
    umount(mount.c_str());
}

// Names that cannot lead to a script are refused with the reason, and
// nothing is written anywhere.
TEST_F(ToolTest, APathThatCannotLeadToAScriptIsRefusedWithItsReason) {
    const std::string root = m_script.Root();
    m_script.Put(kScriptHead + Section(0, 0));
    const std::string tar = m_script.Create("image.tar", "not a folder");
    m_script.Create("boardfile/Public/Quorvex/Device_Drivers/PCI6406", "a file");
    m_script.Create("a\\b/Public/Quorvex/Device_Drivers/PCI6406/PCI6406.reg", kScriptHead);
    m_script.Create("a/b/Public/Quorvex/Device_Drivers/PCI6406/PCI6406.reg", kScriptHead);
    const std::string big = m_script.Create("big/Public/Quorvex/Device_Drivers/PCI6406/PCI6406.reg");
    ASSERT_EQ(truncate(big.c_str(), (5ll << 30)), 0);
    struct Case {
        const char* name;
        std::string root;
        const char* args;
        int nStatus;
        std::string err;
    } cases[] = {
        {"a root that is a file", tar, "list --json", 1, tar + " is a file, not a folder; --root takes the image's root folder"},
        {"a board folder that is a file", root + "/boardfile", "list", 1,
         root + "/boardfile/Public/Quorvex/Device_Drivers/PCI6406 is a file, not a folder"},
        {"a backslash in the root", root + "/a\\b", "add", 2,
         "a backslash is part of a file name, not a separator of folders"},
        {"a backslash ending the root", root + "\\", "add", 2, "a backslash is part of a file name"},
        {"a backslash in the device name", root, "--device 'PCI\\6406' add", 2, "--device PCI\\6406: on this system"},
        {"a device name of five characters", root, "--device PCI64 add", 1,
         "the device name \"PCI64\" is not a three-letter bus and a four-character model, such as PCI6406."},
        {"a script over 4 GB", root + "/big", "list", 1, "it is 4 GB or larger, more than a registry script may be."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Outcome run = ToolAt(c.root, c.args);
        EXPECT_EQ(run.nStatus, c.nStatus);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(Contains(run.err, c.err)) << run.err;
    }
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 0));
    for (const char* script : {"a\\b", "a/b"})
        EXPECT_EQ(Slurp(root + "/" + script + "/Public/Quorvex/Device_Drivers/PCI6406/PCI6406.reg"), kScriptHead);
    struct stat st;
    EXPECT_NE(stat((root + "/Public/Quorvex/Device_Drivers/PCI64").c_str(), &st), 0);

    // The dialog's start refuses the device name as the tool does.
    CUserScript user;
    user.ExpectMessageBox("The device name \"PCI64\" is not a three-letter bus and a four-character model, such as "
                          "PCI6406.",
                          "PCI6406Cfg", MB_OK, IDOK)
        .OwnedBy(NULL);
    EXPECT_EQ(DriverConfig(NULL, (root + "/").c_str(), "PCI64", ""), 1);
    EXPECT_EQ(user.Verify(), "");
    EXPECT_EQ(GetActiveWindow(), (HWND)NULL);
}

// A board folder the command cannot lock (it may not be read) is said, and
// the command goes on. As root, the command runs as nobody.
TEST_F(ToolTest, ABoardFolderThatCannotBeLockedIsSaid) {
    const bool bRoot = geteuid() == 0;
    m_script.Put(kScriptHead + Section(0, 0));
    if (bRoot) {
        ASSERT_EQ(std::system(("chown -R 65534:65534 '" + m_script.Root() + "'").c_str()), 0);
    }
    const std::string folder = m_script.Root() + "/Public/Quorvex/Device_Drivers/PCI6406";
    ASSERT_EQ(chmod(folder.c_str(), 0333), 0);
    Outcome run = ToolAt(m_script.Root(), "boardid 0 3", bRoot ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "");
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(run.nStatus, 0) << run.err;
    EXPECT_EQ(run.err, "pci6406cfg: cannot lock the board folder " + folder +
                           " (Permission denied), so another pci6406cfg on it will not wait for this one, nor this one "
                           "for it\n");
    EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 3));
}

// pci6406cfg with its standard output on fd, a descriptor of this process.
Outcome ToolWithOutput(const std::string& root, const std::vector<std::string>& words, int fd) {
    std::vector<std::string> args = {AOC_PCI6406CFG_TOOL, "--root", root};
    args.insert(args.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    const std::string err = root + "/stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    Outcome outcome{-1, {}, {}};
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        outcome.nStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    outcome.err = Slurp(err);
    return outcome;
}

// An output that cannot be written is a failure, said on standard error
// with whether the save landed; nothing is saved after it, so a second try
// adds one template, not two.
TEST_F(ToolTest, AnOutputThatCannotBeWrittenFailsAndSaysWhetherTheSaveLanded) {
    const std::string script = kScriptHead + Section(0, 0);
    m_script.Put(script);
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    Outcome run = ToolWithOutput(m_script.Root(), {"list"}, full);
    close(full);
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_EQ(run.err, "pci6406cfg: cannot write the output: No space left on device; nothing was saved\n");

    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    close(pipeFds[0]);  // the reader has gone
    run = ToolWithOutput(m_script.Root(), {"add"}, pipeFds[1]);
    close(pipeFds[1]);
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_EQ(run.err, "pci6406cfg: cannot write the output: Broken pipe; nothing was saved\n");
    EXPECT_EQ(m_script.Get(), script);
    run = Tool("add");
    EXPECT_EQ(run.out, "Template1, BoardID 1\n");
    EXPECT_EQ(m_script.Get(), script + Section(1, 1));
}

// save writes every listed template whatever BoardIDs they hold; choosing a
// BoardID, the one shown too, is an edit as choosing a range is, so a
// template held without a SwitchID is then written whole.
TEST_F(ToolTest, SaveSavesAndChoosingABoardIdIsAnEdit) {
    const std::string sixteen = kScriptHead + Section(0, 16);  // "SwitchID"=dword:10
    m_script.Put(sixteen);
    Outcome run = Tool("save");
    EXPECT_EQ(run.nStatus, 0) << run.err;
    EXPECT_EQ(m_script.Get(), sixteen);

    const std::string noSwitch =
        kScriptHead + std::string(" \r\n") + Header(4) + " \r\n\"AOSettings 0\"=\"" + k0To10V + "\"\r\n";
    for (const char* args : {"boardid 4 4", "range 4 0 '-10 ~ 10V'"}) {
        SCOPED_TRACE(args);
        m_script.Put(noSwitch);
        run = Tool(args);
        EXPECT_EQ(run.nStatus, 0) << run.err;
        EXPECT_EQ(m_script.Get(), kScriptHead + std::string(" \r\n") + Header(4) + " \r\n\"AOSettings 0\"=\"" +
                                      kMinus10To10V + "\"\r\n\"SwitchID\"=dword:4\r\n" +
                                      Channels().substr(Channels().find("\"AOSettings 1\"")));
    }
    // Saved without an edit, it keeps its lines.
    m_script.Put(noSwitch);
    EXPECT_EQ(Tool("save").nStatus, 0);
    EXPECT_EQ(m_script.Get(), noSwitch);
}

}  // namespace
