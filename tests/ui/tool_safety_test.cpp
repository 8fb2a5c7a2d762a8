// pci6406cfg on scripts that people keep: hand edits it must leave alone,
// files it must not take for scripts, disks that fill, two commands at once,
// and a process killed in the middle of its save.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <random>
#include <thread>

#include "regscript.h"
#include "resource.h"
#include "tool_fixture.h"

extern char** environ;

namespace {

std::string Lf(std::string text) {
    for (size_t p; (p = text.find("\r\n")) != std::string::npos;) text.erase(p, 1);
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Channels(const char* ch1 = kMinus10To10V) {
    std::string text;
    const char* channels[] = {kMinus10To10V, ch1, kMinus10To10V, kMinus10To10V};
    for (int i = 0; i < 4; ++i) text += "\"AOSettings " + std::to_string(i) + "\"=\"" + channels[i] + "\"\r\n";
    return text;
}

const std::string kOtherKeys = "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial]\r\n\"Dll\"=\"serial.dll\"\r\n";

std::string Utf16(const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (char c : text) bytes += std::string(1, c) + '\0';
    return bytes;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The scripts a person's hands leave, and what each command must make of them.
TEST_F(ToolTest, HandEditedScriptsLoseNothingTheCommandDidNotChange) {
    const std::string t1 = Section(1, 1);
    const std::string lfScript = Lf("REGEDIT4\r\n\r\n" + Section(0, 0) + "\r\n" + kOtherKeys);
    const std::string zeroScript =
        std::string(kScriptHead) + " \r\n" + Header(0) + " \r\n; note" + std::string(1, '\0') + "\r\n" + t1 + kOtherKeys;
    const std::string commented = std::string(kScriptHead) + "; " + Header(0) + "\r\n" + t1;
    const std::string namedInComments = std::string(kScriptHead) + " \r\n" + Header(0) +
                                        " \r\n; SwitchID is the switch\r\n\"OldSwitchID\"=dword:9\r\n"
                                        "\"SwitchID\"=dword:0\r\n" +
                                        Channels() + t1;
    const std::string bracketInValue =
        std::string(kScriptHead) + " \r\n" + Header(0) + " \r\n\"Desc\"=\"see [manual]\"\r\n\"SwitchID\"=dword:0\r\n" + t1;
    const std::string headerLast = std::string(kScriptHead) + t1 + Header(0);
    const std::string lowerCase =
        std::string(kScriptHead) + " \r\n" + Lower(Header(0)) + " \r\n\"SwitchID\"=dword:2\r\n" + Channels(k0To10V) + t1;

    auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    struct Case {
        const char* name;
        std::string script;
        const char* args;
        int nStatus;
        std::string after;
        const char* err;  // what standard error must hold
    } cases[] = {
        {"LF line ends", lfScript, "boardid 0 7", 0, replaced(lfScript, "dword:0\n", "dword:7\n"), ""},
        {"a zero byte", zeroScript, "remove 0", 1, zeroScript, "it holds a zero byte, so it is not a text file"},
        {"UTF-16, list", Utf16(commented), "list", 1, Utf16(commented), "it is UTF-16 text"},
        {"UTF-16, add", Utf16(commented), "add", 1, Utf16(commented), "it is UTF-16 text"},
        {"a header in a comment", commented, "add", 0, commented + Section(0, 0), ""},
        {"names in comments and other values", namedInComments, "boardid 0 5", 0,
         replaced(namedInComments, "\"SwitchID\"=dword:0", "\"SwitchID\"=dword:5"), ""},
        {"a [ inside a value", bracketInValue, "range 0 1 '-5 ~ 5V'", 0,
         replaced(bracketInValue, Header(1), Channels(kMinus5To5V) + Header(1)), ""},
        {"a header without a line end", headerLast, "boardid 0 4", 0,
         headerLast + "\r\n\"SwitchID\"=dword:4\r\n" + Channels(), ""},
        {"a header in lower case", lowerCase, "boardid 0 5", 0, replaced(lowerCase, "dword:2", "dword:5"), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_script.Put(c.script);
        Outcome run = Tool(c.args);
        EXPECT_EQ(run.nStatus, c.nStatus) << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ(m_script.Get(), c.after);
    }

    // The lower-case header is listed with its own values, not the defaults.
    m_script.Put(lowerCase);
    EXPECT_EQ(Tool("list").out,
              "Template  BoardID  Channel 0         Channel 1         Channel 2         Channel 3\n"
              "0         2        -10 ~ 10V         0 ~ 10V           -10 ~ 10V         -10 ~ 10V\n"
              "1         1        -10 ~ 10V         -10 ~ 10V         -10 ~ 10V         -10 ~ 10V\n");
}

// Folders above the image say nothing about the board, and what is not a
// file is refused at once.
TEST_F(ToolTest, TheImageRootNamesNoKeyAndNoFileIsWaitedFor) {
    const std::string root = m_script.Root() + "/media/USBdisk/PCM-Device_Drivers/image";
    const std::string script = m_script.Create("media/USBdisk/PCM-Device_Drivers/image/Public/Quorvex/Device_Drivers/"
                                               "PCI6406/PCI6406.reg",
                                               kScriptHead);
    Outcome run = ToolAt(root, "add");
    EXPECT_EQ(run.nStatus, 0) << run.err;
    std::ifstream in(script, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
              kScriptHead + Section(0, 0));

    std::remove(m_script.Path());
    ASSERT_EQ(mkfifo(m_script.Path(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    run = ToolAt(m_script.Root(), "list", "timeout 20 ");
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_NE(run.err.find("it is a device or a pipe, not a file"), std::string::npos) << run.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// A size limit on what a process may write stops the save with a message,
// not with a signal, and the script keeps every byte.
TEST_F(ToolTest, AWriteLimitIsAnErrorAndTheScriptIsUnchanged) {
    std::string script = kScriptHead + Section(0, 0);
    while (script.size() < 24 * 1024) script += kOtherKeys;
    script += Section(2, 2);
    for (const char* pszArgs : {"add", "remove 0", "range 2 1 '0 ~ 10V'"}) {
        SCOPED_TRACE(pszArgs);
        m_script.Put(script);
        // 8 blocks: 4 or 8 KB, however the shell counts them.
        Outcome run = ToolAt(m_script.Root(), pszArgs, "ulimit -f 8; ");
        EXPECT_EQ(run.nStatus, 1);
        EXPECT_NE(run.err.find("the disk is full.\nThe script is unchanged."), std::string::npos) << run.err;
        // Old bytes that could not be put back past the limit are put back by the next open.
        CRegScript next;
        ASSERT_EQ(next.Open(m_script.Path()), 0u);
        next.Close();
        EXPECT_EQ(m_script.Get(), script);
        EXPECT_FALSE(Exists(m_script.Path() + std::string(".jnl")));
    }
}

// Two commands started together each get their change in; the second waits
// for the first rather than saving the table it read before the first saved.
TEST_F(ToolTest, TwoCommandsAtOnceBothLand) {
    const std::string script = kScriptHead + Section(0, 0) + Section(1, 1);
    for (int nRound = 0; nRound < 10; ++nRound) {
        SCOPED_TRACE(nRound);
        m_script.Put(script);
        Outcome first, second;
        std::thread other([&] { first = Tool("boardid 0 5"); });
        second = Tool("range 1 2 '4 ~ 20mA'");
        other.join();
        EXPECT_EQ(first.nStatus, 0) << first.err;
        EXPECT_EQ(second.nStatus, 0) << second.err;
        EXPECT_EQ(m_script.Get(), kScriptHead + Section(0, 5) +
                                      Section(1, 1, kMinus10To10V, kMinus10To10V, k4To20mA));
    }
}

// ---- Killed in the middle ------------------------------------------------

pid_t Spawn(const std::string& root, const std::vector<std::string>& words) {
    std::vector<std::string> args = {AOC_PCI6406CFG_TOOL, "--root", root};
    args.insert(args.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Waits for the journal to appear, as a save begins, or for the process to
// end; true for the journal.
bool WaitForSave(pid_t pid, const std::string& journal, int& nStatus) {
    for (;;) {
        if (Exists(journal)) return true;
        if (waitpid(pid, &nStatus, WNOHANG) == pid) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
}

// kill -9 at random instants of add, remove and range on a script of some
// megabytes: whatever the instant, the script is afterwards, at the latest
// once opened again, its bytes before the command or those the whole command
// writes. Most kills wait for the save to begin, then strike within it.
TEST_F(ToolTest, AKilledCommandLeavesTheScriptBeforeOrAfterNeverBetween) {
    const ScriptFile& file = m_script;
    std::string filler;
    for (int i = 0; filler.size() < 1200 * 1024; ++i)
        filler += "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\Serial" + std::to_string(i) +
                  "]\r\n\"Dll\"=\"serial.dll\"\r\n\"Index\"=dword:" + std::to_string(i % 10) + "\r\n";
    const std::string before = kScriptHead + Section(0, 0) + filler + Section(2, 2) + filler + Section(5, 5);
    const std::string journal = file.Path() + std::string(".jnl");
    const std::vector<std::vector<std::string>> commands = {
        {"add"}, {"remove", "2"}, {"range", "0", "1", "0 ~ 10V"}};
    std::mt19937 random(20261208);
    unsigned nKills = 0, nInsideSave = 0;
    for (const std::vector<std::string>& command : commands) {
        SCOPED_TRACE(command[0]);
        // A whole run: the bytes to expect, and how long a save lasts. A save
        // of a few bytes can come and go between two looks on a busy machine,
        // so a run that showed none is timed again.
        pid_t pid = -1;
        int nStatus = 0;
        bool bSeen = false;
        std::chrono::steady_clock::duration saveTime{}, runTime{};
        for (int nTry = 0; !bSeen && nTry < 50; ++nTry) {
            file.Put(before);
            pid = Spawn(file.Root(), command);
            const auto start = std::chrono::steady_clock::now();
            bSeen = WaitForSave(pid, journal, nStatus);
            const auto saveStart = std::chrono::steady_clock::now();
            while (Exists(journal)) std::this_thread::sleep_for(std::chrono::microseconds(20));
            saveTime = std::chrono::steady_clock::now() - saveStart;
            if (bSeen) {
                ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
            }
            runTime = std::chrono::steady_clock::now() - start;
        }
        ASSERT_TRUE(bSeen) << "no save was seen in 50 runs";
        ASSERT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
        const std::string after = file.Get();
        ASSERT_NE(after, before);

        unsigned nInside = 0;
        for (int nRun = 0; nInside < 70 && nRun < 1500; ++nRun) {
            file.Put(before);
            pid = Spawn(file.Root(), command);
            const bool bAnyInstant = nRun % 8 == 0;
            bool bRunning = true;
            if (bAnyInstant) {
                std::this_thread::sleep_for(std::uniform_int_distribution<long long>(
                    0, std::chrono::duration_cast<std::chrono::microseconds>(runTime).count())(random) *
                    std::chrono::microseconds(1));
            } else if (WaitForSave(pid, journal, nStatus)) {
                std::this_thread::sleep_for(std::uniform_int_distribution<long long>(
                    0, 3 * std::chrono::duration_cast<std::chrono::microseconds>(saveTime).count() / 2)(random) *
                    std::chrono::microseconds(1));
            } else {
                bRunning = false;
            }
            if (bRunning) {
                kill(pid, SIGKILL);
                ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
            }
            if (!WIFSIGNALED(nStatus)) continue;  // it finished first
            ++nKills;
            const bool bInside = Exists(journal);
            nInside += bInside;
            // The next opener finds what the killed save left.
            CRegScript script;
            ASSERT_EQ(script.Open(file.Path()), 0u);
            const std::string now(script.GetText(), script.GetLength());
            script.Close();
            ASSERT_TRUE(now == before || now == after)
                << "killed " << (bInside ? "inside" : "outside") << " a save: " << now.size() << " bytes";
            EXPECT_EQ(file.Get(), now);
            EXPECT_FALSE(Exists(journal));
        }
        nInsideSave += nInside;
    }
    EXPECT_GE(nInsideSave, 200u);
    RecordProperty("kills", static_cast<int>(nKills));
    RecordProperty("kills_inside_a_save", static_cast<int>(nInsideSave));
}

}  // namespace
