// aoc-sim as a person runs it: its arguments, its output and its exit codes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "board_list.h"
#include "echo.h"
#include "options.h"

namespace {

// The runs go through the POSIX shell; a Windows build tests the parsers only.
#if !defined(_WIN32)
struct Outcome {
    int status;
    std::string out;
};

// `prelude` runs in the same shell first, or stands before the tool.
Outcome Sim(const std::string& args, const std::string& prelude = "") {
    std::string command = prelude + std::string(AOC_SIM_TOOL) + " " + args + " 2>&1";
    Outcome run{-1, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }
#endif

TEST(ToolTest, ArgumentsParseOrExplainThemselves) {
    struct Case {
        std::vector<const char*> args;
        const char* error;  // null: accepted
    } cases[] = {
        {{"--registry", "r.reg", "--import", "a.reg", "--import=b.reg", "--board", "slot=3"}, nullptr},
        {{"--help"}, nullptr},
        {{"--registry"}, "--registry needs FILE"},
        {{"--registry", "a", "--registry", "b"}, "--registry is given twice"},
        {{"--bogus"}, "unknown argument '--bogus'"},
        {{"board"}, "unknown argument 'board'"},
        {{"--help=yes"}, "--help takes no value"},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv = {"aoc-sim"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        Options options;
        std::string error;
        bool ok = ParseArguments(static_cast<int>(argv.size()), argv.data(), options, &error);
        EXPECT_EQ(ok, c.error == nullptr) << argv[1];
        if (c.error) {
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        }
    }
}

TEST(ToolTest, BoardListsParseWithRangesChecked) {
    struct Case {
        const char* text;
        bool ok;
    } cases[] = {
        {"", true},           {"slot=3", true},        {"bus=1,slot=0x1f,subsys=0xa100,io=0xe000,len=32,switch=15", true},
        {"switch=0x3b", true}, {"switch=256", false},  {"io=0x1d000", true},  {"io=0xfff0,len=0x20", true},
        {"len=0x10000", true}, {"len=0x10001", false}, {"io=0x100000000", false}, {"slot=32", false},
        {"slot", false},      {"slot=", false},        {"slot=-1", false},     {"slot=3,slot=4", false},
        {"slot=3,", false},   {"colour=red", false},   {"len=0", true},        {"slot=9z", false},
    };
    for (const Case& c : cases) {
        BoardList board;
        std::string error;
        EXPECT_EQ(ParseBoardList(c.text, board, &error), c.ok) << c.text << ": " << error;
    }
}

TEST(ToolTest, DefaultsFillFreeSlotsAndWindowsAroundFixedOnes) {
    std::vector<std::string> lists = {"", "slot=1,io=0xd000", "switch=3", "bus=1", "len=0"};
    std::vector<BoardList> boards(lists.size());
    std::string error;
    for (size_t i = 0; i < lists.size(); ++i) ASSERT_TRUE(ParseBoardList(lists[i], boards[i], &error));
    CompleteBoardLists(boards);
    EXPECT_EQ(boards[0].config.slot, 2u) << "slot 1 is fixed by the second list";
    EXPECT_EQ(boards[0].config.ioBase, 0xD100u);
    EXPECT_EQ(boards[2].config.slot, 3u);
    EXPECT_EQ(boards[2].config.subsystemId, 0xA100u) << "a switch implies a board that has one";
    EXPECT_EQ(boards[2].config.switchRegister, 3);
    EXPECT_EQ(boards[2].config.ioBase, 0xD200u);
    EXPECT_EQ(boards[3].config.slot, 1u) << "another bus";
    EXPECT_EQ(boards[0].config.subsystemId, 0u);
    EXPECT_EQ(boards[4].config.ioLength, 0u);
}

#if !defined(_WIN32)
class ToolRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("aoc-sim-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    std::filesystem::path dir_;
};

TEST_F(ToolRunTest, TwoRunsOnOneRegistryShowARestart) {
    std::string registry = Path("target.reg");
    std::string args = "--registry " + Quote(registry) + " --import " + Quote(AOC_EXAMPLE_SCRIPT) +
                       " --board slot=3 --board slot=4,switch=2";
    Outcome first = Sim(args);
    ASSERT_EQ(first.status, 0) << first.out;
    EXPECT_NE(first.out.find("AOC1:  device 0  SwitchID 0  \"PCI-6406 I/O=d000H\""), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("AOC2:  device 1  SwitchID 2  \"PCI-6406 SwitchID=2 I/O=d100H\""), std::string::npos);
    EXPECT_NE(first.out.find("settings from template Template1"), std::string::npos);
    EXPECT_NE(first.out.find("AO3  -10..10 V  InitialCode 2048"), std::string::npos);

    // A changed template reaches no board that already has its entry.
    std::string changed = Path("changed.reg");
    std::ofstream(changed) << "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template1]\r\n"
                              "\"AOSettings 3\"=\"     0     5     0     0     0\"\r\n";
    Outcome second = Sim("--registry " + Quote(registry) + " --import " + Quote(changed) +
                     " --board slot=3 --board slot=4,switch=2");
    ASSERT_EQ(second.status, 0) << second.out;
    EXPECT_NE(second.out.find("settings from its device key Device001"), std::string::npos) << second.out;
    EXPECT_NE(second.out.find("AO3  -10..10 V  InitialCode 2048"), std::string::npos);
    EXPECT_EQ(second.out.find("Active"), std::string::npos);
}

// Each board's lines tell what its own start-up did, whatever later boards
// wrote to keys it shares with them.
TEST_F(ToolRunTest, EachBoardsStartUpLinesAreItsOwn) {
    // Every device number is taken, so both boards fall back to Device000.
    std::string full = Path("full.reg");
    {
        std::ofstream script(full);
        for (int n = 0; n < 255; ++n) {
            char line[96];
            std::snprintf(line, sizeof line, "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\RIRODA\\Device%03d]\n", n);
            script << line;
        }
    }
    // A device entry that names slot 3, under a name whose number has no device key.
    std::string entry = Path("entry.reg");
    std::ofstream(entry) << "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\VQX6406S\\Device5]\n"
                            "\"BoardID\"=dword:6b\n\"SlotNumber\"=dword:3\n\"BusNumber\"=dword:0\n\"SwitchID\"=dword:0\n";
    std::string boards;
    for (int slot = 1; slot <= 11; ++slot) boards += " --board slot=" + std::to_string(slot);
    struct Case {
        std::string args;
        int status;
        std::vector<std::string> lines;
    } cases[] = {
        {"--import " + Quote(full) + " --board slot=3,switch=1 --board slot=4,switch=2",
         0,
         {"AOC1:  device 0  SwitchID 1  \"PCI-6406 SwitchID=1 I/O=d000H\"",
          "AOC2:  device 0  SwitchID 2  \"PCI-6406 SwitchID=2 I/O=d100H\""}},
        {"--import " + Quote(AOC_EXAMPLE_SCRIPT) + " --import " + Quote(entry) + " --board slot=3",
         0,
         {"AOC1:  device 5  SwitchID 0",
          "    settings not loaded: a device entry matched the board, but its device key Device005 does not open",
          "    AO0  0..0 V  InitialCode 0"}},
        {"--board slot=3", 0, {"    settings not loaded: there is no readable template root key"}},
        {boards,
         1,
         {"AOC0:  device 9", "board 11 (bus 0 slot 11, I/O 0xda00+0x20, subsystem 0x0): not started: the device "
                             "manager has no index left for AOC (AOC0: to AOC9: are taken)"}},
    };
    for (const Case& c : cases) {
        Outcome run = Sim(c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.out;
        for (const std::string& line : c.lines) EXPECT_NE(run.out.find(line), std::string::npos) << line << "\nin\n" << run.out;
    }
}

TEST_F(ToolRunTest, BadInputGetsOneLineAndANonZeroExit) {
    std::string bad = Path("bad.reg");
    std::ofstream(bad) << "[HKLM\\K]\n\"V\"=dword:xyz\n";
    std::string kept = Path("kept.reg");
    std::ofstream(kept) << "REGEDIT4\n[HKLM\\K]\n\"V\"=nonsense\n";
    struct Case {
        std::string args;
        int status;
        std::string message;
    } cases[] = {
        {"--frobnicate", 2, "aoc-sim: unknown argument '--frobnicate' (see --help)\n"},
        {"--board switch=299", 2, "aoc-sim: --board 'switch=299': switch needs a number from 0 to 255\n"},
        {"--import " + Quote(Path("missing.reg")), 1,
         "aoc-sim: cannot read " + Path("missing.reg") + ": No such file or directory\n"},
        {"--import " + Quote(bad), 1, "aoc-sim: " + bad + ": line 2: a dword needs one to eight hexadecimal digits\n"},
        {"--registry " + Quote(kept), 1, "aoc-sim: " + kept + ": line 3: an unknown value form"},
        {"--registry " + Quote(dir_.string()), 1, "aoc-sim: cannot read " + dir_.string() + ": is a directory\n"},
        {"--board io=0xd000 --board io=0xd010", 1, "aoc-sim: board 2: the I/O window"},
        {"--board slot=3 --board slot=3", 1, "aoc-sim: board 2: bus 0 slot 3 holds a board already\n"},
        {"--import " + Quote(dir_.string()), 1, "aoc-sim: cannot read " + dir_.string() + ": is a directory\n"},
        {"--requests " + Quote(dir_.string()), 2, "aoc-sim: cannot read " + dir_.string() + ": is a directory\n"},
        {"--requests /dev/null --board slot=3", 2, "aoc-sim: cannot read /dev/null: is not a regular file\n"},
        {"--board slot=3 --on AOC1: --request 'write-channel 0 " + std::string(100000, '7') + "'", 2,
         "aoc-sim: --request 1 'write-channel 0 77777777777777777777777777777777... (100016 characters)': "
         "write-channel: '77777777777777777777777777777777... (100000 characters)' is not a value\n"},
        {"--board slot=" + std::string(100000, '3'), 2,
         "aoc-sim: --board 'slot=" + std::string(43, '3') + "... (100005 characters)': slot needs a number from 0 to 31\n"},
    };
    for (const Case& c : cases) {
        Outcome run = Sim(c.args);
        EXPECT_EQ(run.status, c.status) << Echo(c.args) << "\n" << run.out;
        EXPECT_EQ(run.out.rfind(c.message, 0), 0u) << Echo(c.args) << "\n" << run.out;
        if (c.status) {
            EXPECT_LE(std::count(run.out.begin(), run.out.end(), '\n'), 1) << Echo(c.args);
        }
    }
    std::ifstream in(kept);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "REGEDIT4") << "a registry that could not be read is not overwritten";
}

// A request for a board that will not be there stops the run before any
// board starts, and the registry file keeps what it held.
TEST_F(ToolRunTest, ABadRequestFileStopsTheRunBeforeAnyBoardStarts) {
    std::string registry = Path("target.reg");
    std::ofstream(registry) << "REGEDIT4\r\n";
    std::string requests = Path("requests.txt");
    std::ofstream(requests) << "AOC1: open\nAOC2: open\n";
    Outcome run = Sim("--registry " + Quote(registry) + " --board slot=3 --requests " + Quote(requests));
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "aoc-sim: " + requests + ":2: no board will be called AOC2: (the boards are AOC1:)\n");
    std::ifstream in(registry);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "REGEDIT4\r\n");
}

TEST_F(ToolRunTest, AFailedSaveSaysWhy) {
    std::string registry = Path("missing/target.reg");
    Outcome run = Sim("--registry " + Quote(registry) + " --board slot=3");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("AOC1:  device 0"), std::string::npos) << "the board ran";
    EXPECT_NE(run.out.find("aoc-sim: cannot save " + registry + ": No such file or directory\n"), std::string::npos)
        << run.out;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 0) << "nothing left behind";
}

// Programs of the target run in its process after the requests; what they
// print joins the run's output, and the outputs printed last are theirs.
TEST_F(ToolRunTest, ProgramsRunInTheTargetAfterTheBoardsStart) {
    const std::string boards = " --import " + Quote(AOC_EXAMPLE_SCRIPT) + " --board slot=3 --board slot=4,switch=2";
    Outcome run = Sim(boards + " --run 'aocctl list' --run 'aocctl switch=2 range 3 -5..5V write 3 -2.5V'");
    ASSERT_EQ(run.status, 0) << run.out;
    for (const char* line : {"\n$ aocctl list\nAOC1:  device 0  switch 0  bus 0 slot 3  I/O 0xd000+0x20\n",
                             "AOC2:  device 1  switch 2  bus 0 slot 4  I/O 0xd100+0x20\n",
                             "AOC2: AO3 range -5..5 V\nAOC2: AO3 -2.5V: code 1024, -2.5000 V\n",
                             "    AO3  code 1024 on -5..5 V: -2.500 V\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\nin\n" << run.out;
    }
    struct Case {
        std::string args;
        int status;
        std::string text;
    } cases[] = {
        {boards + " --run 'aocctl switch=5 strobe'", 1,
         "aocctl: switch=5: no board that the driver has published and that is loaded now answers to that name or "
         "number\n(exit status 1)\n"},
        {boards + " --run 'aocctl AOC1: write 3 9V'", 1, "aocctl: 9V: the value lies outside the channel's range\n"},
        {boards + " --run 'aocctl AOC1: jump'", 1, "aocctl: a command is unknown or lacks its arguments\nusage:"},
        {boards + " --run 'aocctl.EXE AOC1: clamp write 3 9V'", 0, "AOC1: AO3 9V: code 4095, 4.9976 V\n"},
        {boards + " --run 'nothing here'", 2, "aoc-sim: --run 'nothing here': the target folder holds no such program\n"},
    };
    for (const Case& c : cases) {
        Outcome failed = Sim(c.args);
        EXPECT_EQ(failed.status, c.status) << c.args << "\n" << failed.out;
        EXPECT_NE(failed.out.find(c.text), std::string::npos) << c.text << "\nin\n" << failed.out;
    }
}

TEST_F(ToolRunTest, HelpDescribesEveryOption) {
    Outcome run = Sim("--help");
    EXPECT_EQ(run.status, 0);
    for (const char* word : {"--registry FILE", "--import SCRIPT", "--board LIST", "switch", "subsys", "--run",
                             "Exit status: 0 when every board started", "; 1 when a board did not start",
                             "2 for a malformed option"}) {
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
    }
}

// The start-up lines say where the settings came from as the driver read
// them: a channel's text only from a text value, each channel in turn.
TEST_F(ToolRunTest, ADeviceKeysSettingsAreSaidAsTheDriverTakesThem) {
    const std::string entry = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\VQX6406S\\Device000]\n"
                              "\"BoardID\"=dword:6b\n\"SlotNumber\"=dword:3\n\"BusNumber\"=dword:0\n\"SwitchID\"=dword:0\n";
    const std::string text = "\" 0 10.00 0.00 0.00 0.00\"\n";
    auto channels = [&](const std::string& ch0, const std::string& ch1, const std::string& ch2) {
        return "\"AOSettings 0\"=" + ch0 + "\"AOSettings 1\"=" + ch1 + "\"AOSettings 2\"=" + ch2 +
               "\"AOSettings 3\"=" + text;
    };
    struct Case {
        const char* name;
        std::string values;
        std::vector<std::string> lines;
    } cases[] = {
        {"all four texts", channels(text, text, text), {"    settings from its device key Device000\n", "AO3  0..10 V"}},
        {"channel 0 as hex", channels("hex:09,00\n", text, text),
         {"    settings not loaded: its device key Device000: it holds \"AOSettings 0\" as REG_BINARY, and the driver "
          "takes a channel's settings only from a text (REG_SZ)\n",
          "AO0  0..0 V", "AO3  0..0 V"}},
        {"channel 0 as a dword", channels("dword:9\n", text, text),
         {"    settings not loaded: its device key Device000: it holds \"AOSettings 0\" as REG_DWORD"}},
        {"channel 2 as hex", channels(text, text, "hex:30,00\n"),
         {"    settings from its device key Device000 for channels 0 to 1; channel 2 on not loaded: it holds "
          "\"AOSettings 2\" as REG_BINARY",
          "AO1  0..10 V", "AO2  0..0 V"}},
        {"channel 1 missing", "\"AOSettings 0\"=" + text,
         {"    settings from its device key Device000 for channel 0; channel 1 on not loaded: it has no "
          "\"AOSettings 1\"\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string script = Path("device.reg");
        std::ofstream(script) << entry << c.values;
        Outcome run = Sim("--import " + Quote(script) + " --board slot=3");
        EXPECT_EQ(run.status, 0) << run.out;
        for (const std::string& line : c.lines) EXPECT_NE(run.out.find(line), std::string::npos) << line << "\nin\n" << run.out;
    }
}

// The image build reads a script with a UTF-8 byte-order mark as the
// configuration library does: the mark is no part of the first line.
TEST_F(ToolRunTest, AByteOrderMarkIsNoPartOfTheFirstHeader) {
    const std::string script = Path("bom.reg");
    std::ofstream(script) << "\xEF\xBB\xBF[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template0] \r\n"
                             "\"SwitchID\"=dword:0\r\n\"AOSettings 0\"=\"     0     5     0     0     0\"\r\n";
    Outcome run = Sim("--import " + Quote(script) + " --board slot=3");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("settings from template Template0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("AO0  0..5 V"), std::string::npos) << run.out;
}

// A save killed between writing its new file and putting it in place leaves
// that file only until the next save; a superuser's save keeps the owner.
TEST_F(ToolRunTest, NoTemporaryFileOutlivesTheNextRunAndTheOwnerStays) {
    if (std::system("strace -f -qq -o /dev/null true >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "strace cannot trace a process here, so no save is stopped at a chosen moment";
    const std::string registry = Path("target.reg");
    std::ofstream(registry) << "REGEDIT4\r\n";
    ASSERT_EQ(chmod(registry.c_str(), 0640), 0);
    const bool bRoot = geteuid() == 0;
    if (bRoot) {
        ASSERT_EQ(chown(registry.c_str(), 65534, 65534), 0);
    }
    auto files = [&] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    };
    Outcome killed = Sim("--registry " + Quote(registry) + " --board slot=3",
                         // LeakSanitizer, in a sanitized build, cannot run under a tracer.
                         "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" strace -f -qq -o /dev/null "
                         "-e trace=rename,renameat,renameat2 -e inject=rename,renameat,renameat2:signal=KILL ");
    EXPECT_NE(killed.status, 0);
    ASSERT_EQ(files().size(), 2u) << "the killed save's new file";
    Outcome run = Sim("--registry " + Quote(registry) + " --board slot=3");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(files(), std::vector<std::string>{"target.reg"});
    struct stat st;
    ASSERT_EQ(stat(registry.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (!bRoot) {
        std::printf("not root: another user's registry file is not tried\n");
        return;
    }
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
}
#endif

}  // namespace
