// What the next Open makes of a save that was cut short: the journal is put
// back only onto a script in a state that save could have left; a script
// changed since is kept, and the journal set aside; anything else at the
// journal's name is left alone, never followed, and named when a save meets it.
#include <afx_fault.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "regscript.h"
#include "script_file.h"

namespace {

const std::string kT0 = Header(0) + "\r\n\"SwitchID\"=dword:00000000\r\n\"AOSettings 0\"=\"     0    10   -10     0     0\"\r\n";
const std::string kT1 = Header(1) + "\r\n\"SwitchID\"=dword:1\r\n";
const std::string kScript = "REGEDIT4\r\n\r\n" + kT0 + "\r\n" + kT1 + "[HKEY_LOCAL_MACHINE\\Other]\r\n\"A\"=\"b\"\r\n";

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

struct Change {
    const char* name;
    std::function<int(CRegScript&)> run;
};

const Change kChanges[] = {
    {"in place", [](CRegScript& d) { DWORD v = 2; return d.WriteValue(1, "SwitchID", REG_DWORD, &v, 4); }},
    {"shorter", [](CRegScript& d) { return d.DeleteTemplateSection(0); }},
    {"longer", [](CRegScript& d) { return d.AppendTemplateSection(2); }},
};

// A save of the change stopped right before its journal would have gone:
// the script holds the new bytes, the journal whole beside it.
struct Interrupted {
    std::string after;
    std::string journal;
};

Interrupted Interrupt(const ScriptFile& file, const Change& change) {
    // A clean save counts the seeks of its landing; the next one is the undo's.
    file.Put(kScript);
    unsigned nSeeks = 0;
    {
        CRegScript doc;
        EXPECT_EQ(doc.Open(file.Path()), 0u);
        AfxResetFaults();
        EXPECT_EQ(change.run(doc), 0);
        nSeeks = AfxCallCount(AFX_FAULT_SEEK);
    }
    file.Put(kScript);
    AfxResetFaults();
    {
        CRegScript doc;
        EXPECT_EQ(doc.Open(file.Path()), 0u);
        AfxFailCall(AFX_FAULT_REMOVE, 1, ERROR_IO_DEVICE);
        AfxFailCall(AFX_FAULT_SEEK, nSeeks + 1, ERROR_IO_DEVICE);
        try {
            change.run(doc);
            ADD_FAILURE() << "the save landed";
        } catch (CFileException* e) {
            e->Delete();
        }
    }
    AfxResetFaults();
    return Interrupted{file.Get(), Slurp(file.Path() + std::string(".jnl"))};
}

// The script a save of `before` into `after` leaves when it has written k
// bytes from the first one it changes.
std::string WrittenUpTo(const std::string& before, const std::string& after, size_t k) {
    size_t from = 0;
    while (from < before.size() && from < after.size() && before[from] == after[from]) ++from;
    std::string script = before.substr(0, from) + after.substr(from, k);
    if (script.size() < before.size()) script += before.substr(script.size());
    return script;
}

class JournalTest : public ::testing::Test {
protected:
    void SetUp() override { AfxResetFaults(); }
    void TearDown() override { AfxResetFaults(); }

    std::string Journal() const { return m_file.Path() + std::string(".jnl"); }
    std::string SetAside(int n = 1) const { return Journal() + ".not-applied" + (n > 1 ? "." + std::to_string(n) : ""); }
    // Opens the script as the next command would; what it then holds.
    std::string Reopen(std::string* pSetAside = nullptr) const {
        CRegScript doc;
        EXPECT_EQ(doc.Open(m_file.Path()), 0u);
        if (pSetAside) *pSetAside = doc.SetAsideJournal();
        const std::string text = doc.GetText() ? std::string(doc.GetText(), doc.GetLength()) : "";
        EXPECT_EQ(text, m_file.Get(doc.GetFile()));
        return text;
    }
    // A save must fail on what holds the journal's name, naming it, and leave it and the script be.
    void ExpectSaveRefused(DWORD dwError) {
        const std::string script = m_file.Get();
        CRegScript doc;
        ASSERT_EQ(doc.Open(m_file.Path()), 0u);
        try {
            DWORD v = 7;
            doc.WriteValue(1, "SwitchID", REG_DWORD, &v, 4);
            ADD_FAILURE() << "saved";
        } catch (CFileException* e) {
            EXPECT_EQ(static_cast<DWORD>(e->m_lOsError), dwError);
            EXPECT_STREQ(e->m_strFileName, Journal().c_str());
            e->Delete();
        }
        EXPECT_EQ(m_file.Get(doc.GetFile()), script);
    }

    ScriptFile m_file;
};

TEST_F(JournalTest, ASaveCutShortIsPutBackOnlyOntoAScriptItCouldHaveLeft) {
    for (const Change& change : kChanges) {
        SCOPED_TRACE(change.name);
        const Interrupted cut = Interrupt(m_file, change);
        ASSERT_NE(cut.after, kScript);
        ASSERT_FALSE(cut.journal.empty());
        size_t from = 0;
        while (from < kScript.size() && kScript[from] == cut.after[from]) ++from;
        // Where the save began, or the last byte when it only appended.
        std::string differsAtFrom = kScript;
        const size_t at = std::min(from, kScript.size() - 1);
        differsAtFrom[at] = static_cast<char>(kScript[at] == '#' || cut.after[at] == '#' ? '%' : '#');
        struct Case {
            const char* name;
            std::string script;  // as the person leaves it before the next command
            bool bPutBack;       // else kept as it is, the journal set aside
        } cases[] = {
            {"saved whole, the journal not yet removed", cut.after, true},
            {"not yet written", kScript, true},
            {"written up to its first byte", WrittenUpTo(kScript, cut.after, 1), true},
            {"written halfway", WrittenUpTo(kScript, cut.after, (cut.after.size() - from) / 2), true},
            {"a backup that differs where the save began", differsAtFrom, false},
            {"a comment line added at the top", "; restored\r\n" + kScript, false},
            {"a fresh copy", "REGEDIT4\r\n; fresh\r\n", false},
            {"the saved bytes, edited at the end", cut.after + "; note\r\n", false},
            {"emptied", "", false},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            m_file.Put(c.script);
            Put(Journal(), cut.journal);
            std::string setAside;
            const std::string now = Reopen(&setAside);
            EXPECT_FALSE(Exists(Journal()));
            if (c.bPutBack) {
                EXPECT_EQ(now, kScript);
                EXPECT_EQ(setAside, "");
            } else {
                EXPECT_EQ(now, c.script);
                EXPECT_EQ(setAside, SetAside());
                EXPECT_EQ(Slurp(SetAside()), cut.journal);
                std::remove(SetAside().c_str());
            }
        }
    }
}

TEST_F(JournalTest, AJournalCutShortGoesADamagedOneIsSetAsideAndAnotherFileStays) {
    const Interrupted cut = Interrupt(m_file, kChanges[1]);
    std::string damaged = cut.journal;
    damaged[damaged.size() - 3] ^= 1;
    struct Case {
        const char* name;
        std::string journal;
        const char* stays;  // where the journal's bytes are afterwards, "" for nowhere
    } cases[] = {
        {"empty", "", ""},
        {"its mark cut short", cut.journal.substr(0, 9), ""},
        {"its header only", cut.journal.substr(0, 56), ""},
        {"one byte short", cut.journal.substr(0, cut.journal.size() - 1), ""},
        {"a byte changed", damaged, "set aside"},
        {"another program's file", "REGEDIT4\r\n", "in place"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_file.Put(kScript);
        Put(Journal(), c.journal);
        std::string setAside;
        EXPECT_EQ(Reopen(&setAside), kScript);
        const std::string stays = c.stays;
        EXPECT_EQ(Exists(Journal()), stays == "in place");
        EXPECT_EQ(setAside, stays == "set aside" ? SetAside() : "");
        if (stays == "set aside") {
            EXPECT_EQ(Slurp(SetAside()), c.journal);
        }
        if (stays == "in place") {
            ExpectSaveRefused(ERROR_FILE_EXISTS);
            EXPECT_EQ(Slurp(Journal()), c.journal);
        }
        std::remove(SetAside().c_str());
        std::remove(Journal().c_str());
    }
    // A journal set aside never takes the name of one set aside before.
    m_file.Put(kScript);
    Put(SetAside(), "earlier");
    Put(Journal(), damaged);
    std::string setAside;
    Reopen(&setAside);
    EXPECT_EQ(setAside, SetAside(2));
    EXPECT_EQ(Slurp(SetAside()), "earlier");
    EXPECT_EQ(Slurp(SetAside(2)), damaged);
    // With every name up to .99 taken, the journal stays and Open fails naming it.
    for (int n = 2; n <= 99; ++n) Put(SetAside(n), "earlier");
    Put(Journal(), damaged);
    {
        CRegScript doc;
        EXPECT_EQ(doc.Open(m_file.Path()), static_cast<DWORD>(ERROR_FILE_EXISTS));
        EXPECT_STREQ(doc.GetFileError().m_strFileName, Journal().c_str());
    }
    EXPECT_EQ(Slurp(Journal()), damaged);
    EXPECT_FALSE(Exists(SetAside(100)));
    EXPECT_FALSE(Exists(Journal() + ".not-applied.00"));
    for (int n = 1; n <= 99; ++n) std::remove(SetAside(n).c_str());
    std::remove(Journal().c_str());
}

// Switched off, the journal is neither written nor looked at by a save: the
// change lands over what holds the journal's name, and one that fails still
// puts the old bytes back.
TEST_F(JournalTest, WithoutTheJournalASaveLandsInPlace) {
    m_file.Put(kScript);
    Put(Journal(), "REGEDIT4\r\n");
    ExpectSaveRefused(ERROR_FILE_EXISTS);
    {
        CRegScript doc;
        ASSERT_EQ(doc.Open(m_file.Path()), 0u);
        doc.SetJournaled(FALSE);
        DWORD v = 7;
        EXPECT_EQ(doc.WriteValue(1, "SwitchID", REG_DWORD, &v, 4), 0);
        const std::string saved = m_file.Get(doc.GetFile());
        EXPECT_EQ(saved, std::string(doc.GetText(), doc.GetLength()));
        EXPECT_NE(saved.find("\"SwitchID\"=dword:7\r\n"), std::string::npos);
        AfxFailCall(AFX_FAULT_WRITE, 1, ERROR_DISK_FULL);
        try {
            doc.DeleteTemplateSection(0);
            ADD_FAILURE() << "saved";
        } catch (CFileException* e) {
            e->Delete();
        }
        AfxResetFaults();
        EXPECT_EQ(m_file.Get(doc.GetFile()), saved);
    }
    EXPECT_EQ(Slurp(Journal()), "REGEDIT4\r\n");
}

#if !defined(_WIN32)
// The journal is only ever made as a new file: a link at its name, whole or
// dangling, and a folder stay as they are and are never followed.
TEST_F(JournalTest, ALinkOrAFolderAtTheJournalsNameIsNeverFollowed) {
    const Interrupted cut = Interrupt(m_file, kChanges[0]);
    std::remove(Journal().c_str());
    const std::string target = m_file.Create("elsewhere/target.jnl", cut.journal);
    struct Case {
        const char* name;
        std::function<void()> make;
        DWORD dwError;
    } cases[] = {
        {"a link to a whole journal", [&] { ASSERT_EQ(symlink(target.c_str(), Journal().c_str()), 0); },
         ERROR_STOPPED_ON_SYMLINK},
        {"a dangling link", [&] { ASSERT_EQ(symlink((target + ".none").c_str(), Journal().c_str()), 0); },
         ERROR_STOPPED_ON_SYMLINK},
        {"a folder", [&] { ASSERT_EQ(mkdir(Journal().c_str(), 0755), 0); }, ERROR_DIRECTORY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_file.Put(cut.after);  // what the journal behind the link would put back
        c.make();
        EXPECT_EQ(Reopen(), cut.after);
        ExpectSaveRefused(c.dwError);
        EXPECT_EQ(Slurp(target), cut.journal);
        EXPECT_FALSE(Exists(target + ".none"));
        std::remove(Journal().c_str());
    }
}

// The journal holds the script's bytes: no one may read it who may not read
// the script, and the script's owner may always read it.
TEST_F(JournalTest, TheJournalIsNoMoreReadableThanTheScript) {
    struct stat st;
    for (mode_t mode : {0600, 0640, 0644, 0660, 0604}) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(chmod(m_file.Path(), mode), 0);
        Interrupt(m_file, kChanges[1]);
        ASSERT_EQ(stat(Journal().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600 | (mode & 0066));
        std::remove(Journal().c_str());
    }
    if (geteuid() != 0) {
        std::printf("not root: the journal of another user's script is not tried\n");
        return;
    }
    // A superuser's save gives the journal to the script's owner and group.
    ASSERT_EQ(chown(m_file.Path(), 65534, 65534), 0);
    Interrupt(m_file, kChanges[1]);
    ASSERT_EQ(stat(Journal().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
}

// A script that may not be written is read, refused any change, and not
// put back from a journal while it stays so.
TEST_F(JournalTest, AWriteProtectedScriptIsReadButNeitherChangedNorPutBack) {
    const Interrupted cut = Interrupt(m_file, kChanges[0]);
    m_file.Put(kScript);
    std::remove(Journal().c_str());
    ASSERT_EQ(chmod(m_file.Path(), 0444), 0);
    {
        CRegScript doc;
        ASSERT_EQ(doc.Open(m_file.Path()), 0u);
        EXPECT_TRUE(doc.IsReadOnly());
        try {
            doc.DeleteTemplateSection(0);
            ADD_FAILURE() << "changed";
        } catch (CFileException* e) {
            EXPECT_EQ(e->m_lOsError, ERROR_WRITE_PROTECT);
            e->Delete();
        }
        EXPECT_EQ(std::string(doc.GetText(), doc.GetLength()), kScript);
    }
    ASSERT_EQ(chmod(m_file.Path(), 0644), 0);
    m_file.Put(cut.after);
    ASSERT_EQ(chmod(m_file.Path(), 0444), 0);
    Put(Journal(), cut.journal);
    {
        CRegScript doc;
        EXPECT_EQ(doc.Open(m_file.Path()), CScriptJournal::ERROR_ROLLBACK_WRITE_PROTECTED);
    }
    EXPECT_EQ(m_file.Get(), cut.after);
    EXPECT_EQ(Slurp(Journal()), cut.journal);
    ASSERT_EQ(chmod(m_file.Path(), 0644), 0);
    EXPECT_EQ(Reopen(), kScript);
}
#endif

}  // namespace
