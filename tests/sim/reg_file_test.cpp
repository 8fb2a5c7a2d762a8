#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "reg_file.h"
#include "registry_util.h"

namespace {

using sim::WString;

class RegFileTest : public ::testing::Test {
protected:
    void SetUp() override { cesim::ResetAll(); }
    void TearDown() override {
        EXPECT_EQ(cesim::OpenKeyCount(), 0u);
        cesim::ResetAll();
    }
    static std::vector<BYTE> Bytes(const WString& key, const WString& name) {
        std::optional<sim::RegValue> v = sim::GetValue(key, name);
        return v ? v->data : std::vector<BYTE>{0xEE};
    }
    static DWORD Type(const WString& key, const WString& name) {
        std::optional<sim::RegValue> v = sim::GetValue(key, name);
        return v ? v->type : 0xFFFF;
    }
};

const WString T0 = TEXT("Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template0");

TEST_F(RegFileTest, ImportsWhatTheConfigurationLibraryWrites) {
    const char* script =
        "; board script\r\n"
        " \r\n"
        "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template0] \r\n"
        "\"SwitchID\"=dword:a\r\n"
        "\"AOSettings 0\"=\"     0    10   -10     0     0\"\r\n"
        "\"Blob\"=hex:0A,FF,00\r\n"
        "\"List\"=multi_sz:41,42,00,43,00,00\r\n";
    std::string error;
    ASSERT_TRUE(sim::ImportRegText(script, &error)) << error;
    EXPECT_EQ(*sim::GetDword(T0, TEXT("SwitchID")), 10u);
    EXPECT_EQ(*sim::GetString(T0, TEXT("AOSettings 0")), TEXT("     0    10   -10     0     0"));
    EXPECT_EQ(Bytes(T0, TEXT("AOSettings 0")).size(), 62u) << "30 units and a terminator";
    EXPECT_EQ(Bytes(T0, TEXT("Blob")), (std::vector<BYTE>{0x0A, 0xFF, 0x00}));
    EXPECT_EQ(Type(T0, TEXT("List")), static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(Bytes(T0, TEXT("List")), (std::vector<BYTE>{'A', 0, 'B', 0, 0, 0, 'C', 0, 0, 0, 0, 0}))
        << "8-bit characters become UTF-16 units";
}

TEST_F(RegFileTest, ImportsOrdinaryRegSyntax) {
    const char* script =
        "REGEDIT4\n"
        "[HKLM\\A\\B]\n"
        "@=\"default\"\n"
        "\"Esc\"=\"a\\\\b \\\"q\\\" c:\\x\"   ; trailing comment\n"
        "\"Multi\"=multi_sz:\"one\", \"two\"\n"
        "\"Raw\"=hex(7):6f,00,00,00,\\\n"
        "   00,00\n"
        "\"Gone\"=dword:1\n"
        "\"Gone\"=-\n"
        "[HKEY_LOCAL_MACHINE\\A\\Doomed\\Child]\n"
        "[-HKEY_LOCAL_MACHINE\\A\\Doomed]\n";
    std::string error;
    ASSERT_TRUE(sim::ImportRegText(script, &error)) << error;
    EXPECT_EQ(*sim::GetString(TEXT("A\\B"), TEXT("")), TEXT("default"));
    EXPECT_EQ(*sim::GetString(TEXT("A\\B"), TEXT("Esc")), TEXT("a\\b \"q\" c:\\x"));
    std::vector<BYTE> multi = {'o', 0, 'n', 0, 'e', 0, 0, 0, 't', 0, 'w', 0, 'o', 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(TEXT("A\\B"), TEXT("Multi")), multi);
    EXPECT_EQ(Bytes(TEXT("A\\B"), TEXT("Raw")), (std::vector<BYTE>{0x6F, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(sim::GetValue(TEXT("A\\B"), TEXT("Gone")));
    EXPECT_FALSE(sim::KeyExists(TEXT("A\\Doomed")));
    EXPECT_EQ(sim::SubKeyNames(TEXT("A")), std::vector<WString>{TEXT("B")});
}

TEST_F(RegFileTest, MalformedScriptsChangeNothingAndNameTheLine) {
    struct Case {
        const char* script;
        const char* error;
    } cases[] = {
        {"[HKLM\\K]\n\"V\"=dword:123456789\n", "line 2: "},
        {"[HKLM\\K]\n\"V\"=dword:\n", "line 2: "},
        {"[HKLM\\K]\n\"V\"=hex:1,2x\n", "line 2: "},
        {"[HKLM\\K]\n\"V\"=hex:123\n", "line 2: "},
        {"[HKLM\\K]\n\"V\"=\"open\n", "line 2: "},
        {"[HKLM\\K]\n\"V\" \"x\"\n", "line 2: "},
        {"[HKLM\\K]\n\"V\"=word:1\n", "line 2: "},
        {"[HKLM\\K]\n\"V\"=\"x\" y\n", "line 2: "},
        {"[HKLM\\K]\n[-HKLM\\K]\n\"V\"=dword:1\n", "line 3: "},
        {"[HKEY_NOWHERE\\K]\n", "line 1: "},
        {"[HKLM\\K\\\\L]\n", "line 1: "},
        {"[HKLM\\K\n", "line 1: "},
        {"[HKLM\\K]\nrandom text\n", "line 2: "},
        {"[HKLM\\K]\n\"V\"=hex(7:00\n", "line 2: "},
    };
    for (const Case& c : cases) {
        cesim::ResetRegistry();
        std::string error;
        EXPECT_FALSE(sim::ImportRegText(std::string("[HKLM\\Before]\n\"X\"=dword:1\n") + c.script, &error))
            << c.script;
        // The prefix adds two lines.
        int line = std::atoi(c.error + 5) + 2;
        EXPECT_EQ(error.rfind("line " + std::to_string(line) + ": ", 0), 0u) << c.script << " gave " << error;
        EXPECT_FALSE(sim::KeyExists(TEXT("Before"))) << "nothing of a bad script is applied";
        EXPECT_FALSE(sim::KeyExists(TEXT("K")));
    }
    std::string error;
    EXPECT_FALSE(sim::ImportRegText("REGEDIT4\n\"V\"=dword:1\n", &error));
    EXPECT_EQ(error, "line 2: a value outside a section (or in a deleted one)");
}

// The image build reads text as its host's C runtime does in text mode: a
// line ends at a line feed, a Ctrl-Z ends the file; and a script its
// byte-order mark declares UTF-8 is UTF-8 throughout.
TEST_F(RegFileTest, LinesEndAtALineFeedTheFileAtACtrlZ) {
    const std::string bom = "\xEF\xBB\xBF";
    struct Case {
        const char* name;
        std::string script;
        int line;         // of the refusal; 0: taken
        WString value;    // K's "V" then, or "" for no K
        int endMarkLine;
    } cases[] = {
        {"a Ctrl-Z at the end", "[HKLM\\K]\r\n\"V\"=\"a\"\r\n\x1A", 0, TEXT("a"), 3},
        {"a Ctrl-Z before a section", "[HKLM\\K]\r\n\"V\"=\"a\"\r\n\x1A\r\n[HKLM\\L]\r\n", 0, TEXT("a"), 3},
        {"a Ctrl-Z before what is no line", "[HKLM\\K]\r\n\"V\"=\"a\"\x1Anot a line\r\n", 0, TEXT("a"), 2},
        {"UTF-8", bom + "[HKLM\\K]\r\n\"V\"=\"caf\xC3\xA9 \xF0\x9F\x98\x80\"\r\n", 0,
         WString{'c', 'a', 'f', 0xE9, ' ', 0xD83D, 0xDE00}, 0},
        {"an 8-bit byte in a comment", bom + "; caf\xE9\r\n[HKLM\\K]\r\n", 1, TEXT(""), 0},
        {"a character written too long", bom + "[HKLM\\K]\r\n\"V\"=\"\xC0\xAF\"\r\n", 2, TEXT(""), 0},
        {"half a surrogate pair", bom + "[HKLM\\K]\r\n\"V\"=\"\xED\xA0\x80\"\r\n", 2, TEXT(""), 0},
        {"a character cut off", bom + "[HKLM\\K]\r\n; \xE2\x82", 2, TEXT(""), 0},
        {"the same bytes without the mark", "[HKLM\\K]\r\n\"V\"=\"caf\xE9\"\r\n", 0, WString{'c', 'a', 'f', 0xE9}, 0},
        {"carriage returns alone after a comment", "; note\r[HKLM\\K]\r\"V\"=\"a\"\r", 0, TEXT(""), 0},
        {"carriage returns alone after a header", "[HKLM\\K]\r\"V\"=\"a\"\r", 1, TEXT(""), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cesim::ResetRegistry();
        sim::ParsedScript parsed;
        std::string error;
        const bool ok = sim::ParseRegText(c.script, parsed, &error);
        EXPECT_EQ(ok, c.line == 0) << error;
        if (!ok) {
            EXPECT_EQ(error.rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << error;
            continue;
        }
        EXPECT_EQ(parsed.endMarkLine, c.endMarkLine);
        ASSERT_TRUE(sim::ApplyRegScript(parsed, &error)) << error;
        EXPECT_EQ(sim::GetString(TEXT("K"), TEXT("V")).value_or(TEXT("")), c.value);
        EXPECT_FALSE(sim::KeyExists(TEXT("L")));
    }
}

// Each script is cut where a file can end unnoticed by the syntax alone.
TEST_F(RegFileTest, CutOffScriptsAreRefusedWithTheirLine) {
    std::string saved, error;
    sim::SetDword(TEXT("Drivers\\A"), TEXT("X"), 1);
    sim::SetValue(TEXT("Drivers\\B"), TEXT("Y"), REG_BINARY, std::string(100, 'y').data(), 100);
    ASSERT_TRUE(sim::ExportRegText(saved, &error));
    const size_t lastSection = saved.rfind("\r\n[");
    struct Case {
        std::string script;
        int line;  // 0: accepted
    } cases[] = {
        {"[HKLM\\K]\r\n\"V\"=hex:01,02,", 2},
        {"[HKLM\\K]\r\n\"V\"=hex:01,02,\\\r\n", 2},
        {"[HKLM\\K]\r\n\"V\"=hex:01,02,\\\r\n   \r\n", 2},
        {"[HKLM\\K]\r\n\"V\"=hex:01,02,\\\r\n  03,0", 2},
        {"[HKLM\\K]\r\n\"V\"=hex:01,\r\n\"W\"=dword:1\r\n", 2},
        {saved.substr(0, lastSection + 2), static_cast<int>(std::count(saved.begin(), saved.begin() + lastSection + 2, '\n')) + 1},
        {saved.substr(0, saved.size() - 5), static_cast<int>(std::count(saved.begin(), saved.end(), '\n'))},
        {saved, 0},
        {"[HKLM\\K]\r\n\"V\"=hex:01,2\r\n", 0},          // one digit, then the line's end
        {"[HKLM\\K]\r\n\"V\"=dword:5", 0},                // as the configuration library leaves a script
        {"[HKLM\\K]\r\n\"V\"=hex:01,\\\r\n  02\r\n", 0},
    };
    for (const Case& c : cases) {
        cesim::ResetRegistry();
        bool ok = sim::ImportRegText(c.script, &error);
        EXPECT_EQ(ok, c.line == 0) << c.script;
        if (c.line == 0) continue;
        EXPECT_EQ(error.rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << error;
        EXPECT_NE(error.find("cut off"), std::string::npos) << error;
        EXPECT_TRUE(sim::SubKeyNames(TEXT("")).empty()) << "nothing of a cut script is applied";
    }
}

// Export is a walk of its own, and import creates each section once.
TEST_F(RegFileTest, ATreeDeeperThanTheStackGoesOutAndComesBack) {
    WString path = TEXT("k");
    for (int level = 1; level < 100000; ++level) path += TEXT("\\k");
    sim::SetDword(path, TEXT("Deepest"), 7);
    std::string text, error;
    ASSERT_TRUE(sim::ExportRegText(text, &error)) << error;
    cesim::ResetRegistry();
    ASSERT_TRUE(sim::ImportRegText(text, &error)) << error;
    EXPECT_EQ(sim::GetDword(path, TEXT("Deepest")), 7u);
}

#if !defined(_WIN32)
class RegFileOnDiskTest : public RegFileTest {
protected:
    void SetUp() override {
        RegFileTest::SetUp();
        dir_ = std::filesystem::temp_directory_path() / ("reg-file-test-" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        sim::SetDword(TEXT("Drivers\\A"), TEXT("X"), 1);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        RegFileTest::TearDown();
    }
    std::string Path(const char* name) const { return (dir_ / name).string(); }
    size_t Entries() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir_), {}));
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::path dir_;
};

TEST_F(RegFileOnDiskTest, SavingKeepsTheLinkAndTheModeAndLeavesNothingElse) {
    std::string real = Path("real.reg"), link = Path("link.reg"), error;
    std::ofstream(real) << "old";
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    std::filesystem::create_symlink("real.reg", link);
    ASSERT_TRUE(sim::ExportRegFile(link, &error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(Read(real).find("[HKEY_LOCAL_MACHINE\\Drivers\\A]"), std::string::npos);
    struct stat st;
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(Entries(), 2u);

    // A link to a file not there yet makes the file it names.
    std::filesystem::create_symlink("later.reg", Path("dangling.reg"));
    ASSERT_TRUE(sim::ExportRegFile(Path("dangling.reg"), &error)) << error;
    EXPECT_TRUE(std::filesystem::is_regular_file(Path("later.reg")));
}

TEST_F(RegFileOnDiskTest, AFailedSaveSaysWhyAndLeavesTheOldFile) {
    std::string kept = Path("kept.reg"), error;
    std::ofstream(kept) << "old";
    std::filesystem::create_directory(Path("folder.reg"));
    struct Case {
        std::string path;
        std::string reason;
    } cases[] = {
        {Path("missing/target.reg"), "No such file or directory"},
        {Path("folder.reg"), "is a directory"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(sim::ExportRegFile(c.path, &error)) << c.path;
        EXPECT_EQ(error, "cannot save " + c.path + ": " + c.reason);
    }
    // A write that fails halfway: the file size limit stands in for a full disk.
    auto previous = signal(SIGXFSZ, SIG_IGN);
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    rlimit small = limit;
    small.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &small);
    bool saved = sim::ExportRegFile(kept, &error);
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved);
    EXPECT_EQ(error, "cannot save " + kept + ": File too large");
    EXPECT_EQ(Read(kept), "old");
    EXPECT_EQ(Entries(), 2u) << "no temporary file is left";
}

TEST_F(RegFileOnDiskTest, OnlyFilesAreRead) {
    std::string fifo = Path("fifo.reg"), error;
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir_.string(), "is a directory"},
        {fifo, "is not a regular file"},
        {Path("absent.reg"), "No such file or directory"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(sim::ImportRegFile(c.path, &error));
        EXPECT_EQ(error, "cannot read " + c.path + ": " + c.reason);
    }
}
#endif

TEST_F(RegFileTest, ExportThenImportGivesBackTheSameTypesAndBytes) {
    struct Value {
        const WCHAR* name;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::vector<BYTE> padded(100, 0);
    padded[0] = 'P';
    std::vector<BYTE> big(300);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i);
    const Value values[] = {
        {TEXT("Text"), REG_SZ, {'h', 0, 'i', 0, 0, 0}},
        {TEXT("Quote\"d \\ name"), REG_SZ, {'"', 0, '\\', 0, 0, 0}},
        {TEXT("Padded"), REG_SZ, padded},
        {TEXT("Bare"), REG_SZ, {'A', 0, 'O', 0, 'C', 0, '1', 0, ':', 0}},
        {TEXT("Odd"), REG_SZ, {'A', 0, 'B'}},
        {TEXT("Wide"), REG_SZ, {0x34, 0x12, 0, 0}},
        {TEXT("EmptyText"), REG_SZ, {0, 0}},
        {TEXT("NoBytes"), REG_SZ, {}},
        {TEXT("Word"), REG_DWORD, {1, 2, 3, 4}},
        {TEXT("ShortWord"), REG_DWORD, {1, 2}},
        {TEXT("Binary"), REG_BINARY, big},
        {TEXT("Multi"), REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {TEXT("MultiHole"), REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {TEXT("Expand"), REG_EXPAND_SZ, {'%', 0, 0, 0}},
        {TEXT("None"), REG_NONE, {}},
        {TEXT(""), REG_DWORD, {9, 0, 0, 0}},
    };
    for (const Value& v : values) sim::SetValue(TEXT("Round\\Trip"), v.name, v.type, v.data.data(), v.data.size());
    sim::CreateKey(TEXT("Round\\Empty"));
    sim::SetDword(TEXT("Round\\Later"), TEXT("X"), 1);
    std::string text, error;
    ASSERT_TRUE(sim::ExportRegText(text, &error)) << error;
    cesim::ResetRegistry();
    ASSERT_TRUE(sim::ImportRegText(text, &error)) << error << "\n" << text;
    for (const Value& v : values) {
        EXPECT_EQ(Type(TEXT("Round\\Trip"), v.name), v.type) << sim::Narrow(v.name);
        EXPECT_EQ(Bytes(TEXT("Round\\Trip"), v.name), v.data) << sim::Narrow(v.name);
    }
    EXPECT_EQ(sim::SubKeyNames(TEXT("Round")), (std::vector<WString>{TEXT("Trip"), TEXT("Empty"), TEXT("Later")}));
    EXPECT_NE(text.find("\"Text\"=\"hi\"\r\n"), std::string::npos) << "texts stay readable";
    EXPECT_NE(text.find("; \"Padded\" holds \"P\" in 100 bytes"), std::string::npos);
}

TEST_F(RegFileTest, ExportKeepsCreationOrderAndLeavesVolatileKeysOut) {
    for (const WCHAR* name : {TEXT("T\\Template1"), TEXT("T\\Template0"), TEXT("T\\Template2")}) sim::SetDword(name, TEXT("SwitchID"), 2);
    sim::SetDword(TEXT("Drivers\\Active\\01"), TEXT("Hnd"), 1, REG_OPTION_VOLATILE);
    cesim::SetEnumOrder(cesim::EnumOrder::Reversed);
    std::string text, error;
    ASSERT_TRUE(sim::ExportRegText(text, &error)) << error;
    EXPECT_EQ(text.find("Active"), std::string::npos);
    cesim::ResetRegistry();
    ASSERT_TRUE(sim::ImportRegText(text, &error)) << error;
    EXPECT_EQ(sim::SubKeyNames(TEXT("T")), (std::vector<WString>{TEXT("Template1"), TEXT("Template0"), TEXT("Template2")}))
        << "the first template found stays the first after a restart";
}

TEST_F(RegFileTest, ExportRefusesNamesBeyondEightBits) {
    sim::SetDword(TEXT("K"), TEXT("\x4E2D"), 1);
    std::string text, error;
    EXPECT_FALSE(sim::ExportRegText(text, &error));
    EXPECT_NE(error.find("8-bit"), std::string::npos);
}

}  // namespace
