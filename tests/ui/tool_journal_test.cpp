// pci6406cfg and the journal beside the script, killed at chosen moments of
// its save (strace stops it with SIGKILL at a chosen system call) and then
// met by a person's backups, hand edits, links, folders, modes and sudo.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "tool_fixture.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The command traced: LeakSanitizer, in a sanitized build, cannot run under a tracer.
std::string Traced(const std::string& options) {
    return "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0\" strace -f -qq -o /dev/null " + options + " ";
}

// The command dies with SIGKILL on entering the n-th call of `syscall`.
std::string KilledAt(const std::string& syscall, int n) {
    return Traced("-e trace=" + syscall + " -e inject=" + syscall + ":signal=KILL:when=" + std::to_string(n));
}

bool CanTrace() { return std::system("strace -f -qq -o /dev/null true >/dev/null 2>&1") == 0; }

// The moments of a save that a kill leaves a journal behind at.
struct Moment {
    const char* name;
    std::string prelude;
};
const Moment kMoments[] = {
    {"the journal written, the script not yet", KilledAt("fsync", 1)},
    {"the script written, the journal not yet removed", KilledAt("unlink", 1)},
};

class ToolJournalTest : public ToolTest {
protected:
    void SetUp() override {
        ToolTest::SetUp();
        if (!CanTrace()) GTEST_SKIP() << "strace cannot trace a process here, so no save is stopped at a chosen moment";
    }
    std::string Journal() const { return NativePath() + ".jnl"; }
    std::string SetAside() const { return Journal() + ".not-applied"; }
    // boardid 0 5 killed at the moment; the journal it leaves.
    std::string Kill(const Moment& moment) {
        Outcome killed = ToolAt(m_script.Root(), "boardid 0 5", moment.prelude);
        EXPECT_NE(killed.nStatus, 0);
        EXPECT_TRUE(Exists(Journal())) << killed.err;
        return Slurp(Journal());
    }
};

const std::string kBackup = kScriptHead + Section(0, 0) + Section(1, 1);  // before an earlier command
const std::string kBefore = kScriptHead + Section(0, 4) + Section(1, 1);  // before the killed one

TEST_F(ToolJournalTest, ASaveKilledIsPutBackOnlyOntoTheScriptItLeft) {
    struct Hand {
        const char* name;
        std::function<std::string(const std::string&)> leave;  // the script as the kill left it, to the person's
        bool bPutBack;
    } hands[] = {
        {"nothing done", [](const std::string& left) { return left; }, true},
        {"a backup put back", [](const std::string&) { return kBackup; }, false},
        {"a comment line added at the top", [](const std::string& left) { return "; restored\r\n" + left; }, false},
        {"a fresh copy", [](const std::string&) { return std::string(kScriptHead); }, false},
    };
    for (const Moment& moment : kMoments) {
        for (const Hand& hand : hands) {
            SCOPED_TRACE(std::string(moment.name) + ", " + hand.name);
            m_script.Put(kBefore);
            const std::string journal = Kill(moment);
            const std::string script = hand.leave(m_script.Get());
            m_script.Put(script);
            Outcome run = Tool("list --json");
            EXPECT_EQ(run.nStatus, 0) << run.err;
            EXPECT_FALSE(Exists(Journal()));
            if (hand.bPutBack) {
                EXPECT_EQ(m_script.Get(), kBefore);
                EXPECT_EQ(run.err, "");
                EXPECT_TRUE(Contains(run.out, "\"BoardID\": 4")) << run.out;
            } else {
                // Kept as the person left it; both paths said, and the journal kept whole.
                EXPECT_EQ(m_script.Get(), script);
                EXPECT_EQ(Slurp(SetAside()), journal);
                EXPECT_TRUE(Contains(run.err, "the script is kept as it is")) << run.err;
                EXPECT_TRUE(Contains(run.err, NativePath() + " was cut short")) << run.err;
                EXPECT_TRUE(Contains(run.err, "is kept as " + SetAside() + ".")) << run.err;
                std::remove(SetAside().c_str());
            }
        }
    }
}

// The journal holds the script's bytes: it is no more readable than the script.
TEST_F(ToolJournalTest, AJournalLeftBehindKeepsTheScriptsMode) {
    struct stat st;
    for (mode_t mode : {0600, 0640, 0644}) {
        SCOPED_TRACE(mode);
        m_script.Put(kBefore);
        ASSERT_EQ(chmod(m_script.Path(), mode), 0);
        Kill(kMoments[0]);
        ASSERT_EQ(stat(Journal().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, mode);
        EXPECT_EQ(Tool("list").nStatus, 0);
        EXPECT_EQ(m_script.Get(), kBefore);
    }
}

// A link, whole or dangling, and a folder at the journal's name are never
// followed: list reads the script, and an edit is refused naming them.
TEST_F(ToolJournalTest, WhatHoldsTheJournalsNameIsNeverFollowedAndIsNamed) {
    const std::string target = m_script.Create("elsewhere/keep.txt", "someone's file\n");
    struct Case {
        const char* name;
        std::function<int()> make;
        const char* reason;
    } cases[] = {
        {"a link to a file elsewhere", [&] { return symlink(target.c_str(), Journal().c_str()); },
         "it is a symbolic link, where the save would make the script's journal"},
        {"a dangling link", [&] { return symlink((target + ".none").c_str(), Journal().c_str()); },
         "it is a symbolic link, where the save would make the script's journal"},
        {"a folder", [&] { return mkdir(Journal().c_str(), 0755); },
         "it is a folder, where the save would make the script's journal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_script.Put(kBefore);
        ASSERT_EQ(c.make(), 0);
        Outcome list = Tool("list");
        EXPECT_EQ(list.nStatus, 0) << list.err;
        EXPECT_EQ(list.err, "");
        Outcome edit = Tool("boardid 0 5");
        EXPECT_EQ(edit.nStatus, 1);
        EXPECT_TRUE(Contains(edit.err, "(" + Journal() + "): " + c.reason)) << edit.err;
        EXPECT_TRUE(Contains(edit.err, "The script is unchanged.\n")) << edit.err;
        EXPECT_TRUE(Contains(edit.err, "move it away, then run the command again")) << edit.err;
        EXPECT_EQ(m_script.Get(), kBefore);
        EXPECT_EQ(Slurp(target), "someone's file\n");
        EXPECT_FALSE(Exists(target + ".none"));
        std::remove(Journal().c_str());
    }
}

// A journal that cannot be read, or that a crashed sudo run left: the
// message names the journal, its reason and what to do. As root, the
// commands of the person run as nobody.
TEST_F(ToolJournalTest, AJournalThatCannotBeReadIsNamedWithWhatToDo) {
    const bool bRoot = geteuid() == 0;
    const std::string asPerson = bRoot ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
    if (bRoot) {
        ASSERT_EQ(std::system(("chown -R 65534:65534 '" + m_script.Root() + "'").c_str()), 0);
    }
    m_script.Put(kBefore);
    Kill(kMoments[1]);
    ASSERT_EQ(chmod(Journal().c_str(), 0), 0);
    Outcome run = ToolAt(m_script.Root(), "list", asPerson);
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_TRUE(Contains(run.err, "(" + Journal() + "): access is denied.")) << run.err;
    EXPECT_TRUE(Contains(run.err, "chmod u+r " + Journal())) << run.err;
    EXPECT_TRUE(Exists(Journal()));
    if (!bRoot) {
        std::printf("not root: a journal a sudo run left is not tried\n");
        return;
    }
    // A save that root's command left is the person's to settle: the journal is theirs.
    ASSERT_EQ(chmod(Journal().c_str(), 0600), 0);
    run = ToolAt(m_script.Root(), "list", asPerson);
    EXPECT_EQ(run.nStatus, 0) << run.err;
    EXPECT_EQ(m_script.Get(), kBefore);
    EXPECT_FALSE(Exists(Journal()));
    // One root made its own, by an older hand: the person is told to run the command with sudo.
    Kill(kMoments[1]);
    ASSERT_EQ(chown(Journal().c_str(), 0, 0), 0);
    ASSERT_EQ(chmod(Journal().c_str(), 0600), 0);
    run = ToolAt(m_script.Root(), "boardid 1 3", asPerson);
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_TRUE(Contains(run.err, "It belongs to root: run the command as root (with sudo) once")) << run.err;
    EXPECT_EQ(Tool("list").nStatus, 0);
    EXPECT_EQ(m_script.Get(), kBefore);
}

// Another program's save (sed -i, an editor's) puts a file of its own at the
// script's name while this save runs: the save is said to be lost, and that
// file is kept as it is.
TEST_F(ToolJournalTest, AScriptReplacedWhileASaveRunsIsKeptAndTheLossSaid) {
    m_script.Put(kBefore);
    const std::string sed = "sed -i 's/\"SwitchID\"=dword:1/\"SwitchID\"=dword:9/' '" + NativePath() + "'";
    std::thread other([&] {
        // The save waits a second as it flushes its journal.
        for (int n = 0; n < 5000 && !Exists(Journal()); ++n) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(std::system(sed.c_str()), 0);
    });
    Outcome run = ToolAt(m_script.Root(), "boardid 0 5",
                         Traced("-e trace=fsync -e inject=fsync:delay_enter=1000000:when=1"));
    other.join();
    EXPECT_EQ(run.nStatus, 1);
    EXPECT_TRUE(Contains(run.err, "another program put a file of its own in the script's place while this save ran; "
                                  "that file is kept as it is, without the changes of this save"))
        << run.err;
    std::string replaced = kBefore;
    const std::string one = "\"SwitchID\"=dword:1";
    replaced.replace(replaced.find(one), one.size(), "\"SwitchID\"=dword:9");
    EXPECT_EQ(m_script.Get(), replaced);
    EXPECT_FALSE(Exists(Journal()));
}

}  // namespace
