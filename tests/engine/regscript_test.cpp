#include "regscript.h"

#include <afx_fault.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "ao_setting.h"
#include "registry_layout.h"
#include "script_file.h"
#include "settings_text.h"

namespace {

const std::string kPreamble =
    "REGEDIT4\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S]\r\n"
    "   \"Dll\"=\"VQX6406S.dll\"\r\n"
    "\r\n";

// Template 0 indented, with a trailing comment and blank line; template 11
// before template 1, which ends the file.
const std::string kT0 = Header(0) + "\r\n"
                                    "    \"SwitchID\"=dword:5\r\n"
                                    "    \"AOSettings 0\"=\"     0    10   -10     0     0\"\r\n"
                                    "; end of template 0\r\n"
                                    "\r\n";
const std::string kT11 = Header(11) + "\r\n\"SwitchID\"=dword:0000000B\r\n";
const std::string kT1 = Header(1) + "\r\n\"SwitchID\"=dword:1\r\n";
const std::string kScript = kPreamble + kT0 + kT11 + kT1;

class RegScriptTest : public ::testing::Test {
protected:
    void SetUp() override { AfxResetFaults(); }
    void TearDown() override {
        m_doc.Close();
        EXPECT_EQ(AfxLivePageBlocks(), 0u) << "a buffer outlived its document";
        AfxResetFaults();
    }
    void OpenOn(const std::string& bytes) {
        m_file.Put(bytes);
        ASSERT_EQ(m_doc.Open(m_file.Path()), 0u);
    }
    std::string OnDisk() const { return m_file.Get(m_doc.GetFile()); }
    // The text held must be the file's, and only the text may be held between operations.
    void ExpectInStep() {
        EXPECT_EQ(std::string(m_doc.GetText(), m_doc.GetLength()), OnDisk());
        EXPECT_EQ(AfxLivePageBlocks(), 1u);
    }
    std::string ReadString(int n, const char* name) {
        char buf[256] = {};
        DWORD type = 0, size = 0;
        if (m_doc.ReadValue(n, name, &type, buf, sizeof buf, &size) != 0 || type != REG_SZ) return "<unread>";
        return std::string(buf, size);
    }
    int WriteDword(int n, const char* name, DWORD value) {
        return m_doc.WriteValue(n, name, REG_DWORD, &value, sizeof value);
    }

    ScriptFile m_file;
    CRegScript m_doc;
};

TEST_F(RegScriptTest, OpenTakesDeviceDriverBusAndKeyFromTheDevicesPartOfThePath) {
    const char* const kPciKey = "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template";
    struct Case {
        const char* path;
        const char* device;
        const char* driver;
        int bus;
        const char* key;
    } cases[] = {
        {"Device_Drivers/PCI6406/PCI6406.reg", "PCI6406", "VQX6406S", BUS_PCI, kPciKey},
        {"Device_Drivers\\PCI6406\\PCI6406.reg", "PCI6406", "VQX6406S", BUS_PCI, kPciKey},
        {"Device_Drivers/PCI6451/PCI6451.reg", "PCI6451", "VQX6451S", BUS_PCI,
         "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6451S"},
        {"Device_Drivers/PCM6478/PCM6478.reg", "PCM6478", "VQX6478S", BUS_PCM,
         "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\VQX6478S"},
        {"Device_Drivers/USB6406/USB6406.reg", "USB6406", "VQX6406S", BUS_USB,
         "[HKEY_LOCAL_MACHINE\\Drivers\\USB\\ClientDrivers\\USB6406_Class\\Template"},
        // The folders above the device's own say nothing about it.
        {"PCI/Device_Drivers/USB6406/USB6406.reg", "USB6406", "VQX6406S", BUS_USB,
         "[HKEY_LOCAL_MACHINE\\Drivers\\USB\\ClientDrivers\\USB6406_Class\\Template"},
        {"media/USBdisk/PCMimage/Public/Quorvex/Device_Drivers/PCI6406/PCI6406.reg", "PCI6406", "VQX6406S", BUS_PCI,
         kPciKey},
        {"Device_Drivers/old/Device_Drivers/PCI6406/PCI6406.reg", "PCI6406", "VQX6406S", BUS_PCI, kPciKey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CRegScript doc;
        ASSERT_EQ(doc.Open(m_file.Create(c.path, "x").c_str()), 0u);
        EXPECT_STREQ(doc.GetDevice(), c.device);
        EXPECT_STREQ(doc.GetDriverName(), c.driver);
        EXPECT_EQ(doc.GetBusKind(), c.bus);
        EXPECT_STREQ(doc.GetSectionKey(), c.key);
        EXPECT_EQ(std::string(doc.GetText(), doc.GetLength()), "x");
    }
}

TEST_F(RegScriptTest, OpenRefusesPathsWithoutADeviceAndFilesItCannotEdit) {
    struct Case {
        std::string path;
        DWORD result;
    } cases[] = {
        {m_file.Create("Drivers/PCI6406/PCI6406.reg", "x"), ERROR_BAD_PATHNAME},
        {m_file.Create("Device_Drivers/PCI640", "x"), ERROR_BAD_PATHNAME},  // six characters after it
        {m_file.Create("Device_Drivers/ABC6406/ABC6406.reg", "x"), ERROR_BAD_PATHNAME},
        {m_file.Create("PCI/Device_Drivers/ABC6406/ABC6406.reg", "x"), ERROR_BAD_PATHNAME},
        {m_file.Root() + "/Device_Drivers/PCI6406/missing.reg", ERROR_FILE_NOT_FOUND},
        {m_file.Create("Device_Drivers/PCI6406/z.reg", kT1 + "; note" + std::string(1, '\0') + "\r\n"),
         ERROR_INVALID_DATA},
        {m_file.Create("Device_Drivers/PCI6406/le.reg", std::string("\xFF\xFE[\0H\0", 6)),
         ERROR_NO_UNICODE_TRANSLATION},
        {m_file.Create("Device_Drivers/PCI6406/be.reg", std::string("\xFE\xFF\0[\0H", 6)),
         ERROR_NO_UNICODE_TRANSLATION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CRegScript doc;
        EXPECT_EQ(doc.Open(c.path.c_str()), c.result);
        EXPECT_EQ(doc.GetText(), nullptr);
        EXPECT_EQ(doc.GetFile().m_hFile, CFile::hFileNull);
        EXPECT_EQ(doc.ReadValue(0, "SwitchID", nullptr, nullptr, 0, nullptr), 1);
        DWORD v = 1;
        EXPECT_EQ(doc.WriteValue(1, "SwitchID", REG_DWORD, &v, 4), 1);
        EXPECT_EQ(doc.Close(), 0);
    }
    // A UTF-8 script is 8-bit text like any other.
    EXPECT_EQ(m_doc.Open(m_file.Create("Device_Drivers/PCI6406/u8.reg", "\xEF\xBB\xBF" + kT1).c_str()), 0u);
    m_doc.Close();

    OpenOn(kScript);
    CRegScript second;
    EXPECT_EQ(second.Open(m_file.Path()), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(second.GetFileError().m_cause, CFileException::sharingViolation);
}

#if !defined(_WIN32)
TEST_F(RegScriptTest, OpenRefusesAFifoADeviceAndAFolderWithoutWaiting) {
    const std::string fifo = m_file.Root() + "/Device_Drivers/PCI6406/fifo.reg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = m_file.Root() + "/Device_Drivers/PCI6406/folder.reg";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string device = m_file.Root() + "/Device_Drivers/PCI6406/null.reg";
    ASSERT_EQ(symlink("/dev/null", device.c_str()), 0);
    struct Case {
        const std::string& path;
        DWORD result;
    } cases[] = {{fifo, ERROR_BAD_FILE_TYPE}, {device, ERROR_BAD_FILE_TYPE}, {folder, ERROR_ACCESS_DENIED}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CRegScript doc;
        EXPECT_EQ(doc.Open(c.path.c_str()), c.result);
        EXPECT_EQ(doc.GetFile().m_hFile, CFile::hFileNull);
    }
}
#endif

// One rule for every finder: a header is a whole line, the board's key in
// any case, the number as written and "]".
TEST_F(RegScriptTest, TheHeaderFindersAgreeOnWholeHeaderLines) {
    const std::string lower = "[hkey_local_machine\\drivers\\builtin\\pci\\template\\vqx6406s\\template5]\r\n";
    const std::string other = "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6408S\\Template6]\r\n";
    const std::string script = kPreamble + "; was " + Header(4) + "\r\n" + lower + "\"SwitchID\"=dword:5\r\n" +
                               "  ; " + Header(7) + "\r\n" + "\"Desc\"=\"Template7] " + Header(8) + "\"\r\n" + other +
                               "\t " + Header(7) + " ; the oven\r\n\"SwitchID\"=dword:7\r\n" + Header(9) + "x\r\n" +
                               Header(0).insert(Header(0).size() - 2, "0") + "\r\n" + kT11 + kT1;
    OpenOn(script);

    struct Case {
        int n;
        bool present;
    } cases[] = {{1, true}, {4, false}, {5, true}, {6, false}, {7, true}, {8, false}, {9, false},
                 {11, true}, {0, false}, {2, false}};
    WORD mask = 0xFFFF;
    EXPECT_EQ(m_doc.ListTemplateSections(mask), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        DWORD start = 1, end = 1;
        EXPECT_EQ(m_doc.FindTemplateSection(c.n, start, end), 0);
        EXPECT_EQ(start != end, c.present);
        EXPECT_EQ(m_doc.TemplateSectionExists(c.n), c.present ? 1 : 0);
        EXPECT_EQ((mask >> c.n & 1) != 0, c.present);
    }
    // A section is its header's whole line up to the next line that opens
    // with "[", whatever "[" stands inside values or comments.
    DWORD start, end;
    m_doc.FindTemplateSection(7, start, end);
    EXPECT_EQ(script.substr(start, end - start), "\t " + Header(7) + " ; the oven\r\n\"SwitchID\"=dword:7\r\n");
    m_doc.FindTemplateSection(5, start, end);
    EXPECT_EQ(script.substr(start, end - start), lower + "\"SwitchID\"=dword:5\r\n  ; " + Header(7) + "\r\n" +
                                                     "\"Desc\"=\"Template7] " + Header(8) + "\"\r\n");
    // Template1] does not match Template11].
    m_doc.FindTemplateSection(1, start, end);
    EXPECT_EQ(script.substr(start), kT1);
    ExpectInStep();
}

TEST_F(RegScriptTest, ListTemplateSectionsTakesNumbersAsTheLibraryWritesThem) {
    const std::string key = "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template";
    OpenOn(key + "12]\r\n" + key + "3]\r\n" + key + "16]\r\n" + key + "-1]\r\n" + key + "X]\r\n" + key +
           "99] ; 9\r\n" + key + "03]\r\n" + key + " 4]\r\n" + key + "0] ; kept\r\n");
    WORD mask = 0;
    m_doc.ListTemplateSections(mask);
    EXPECT_EQ(mask, (1u << 12) | (1u << 3) | (1u << 0));
}

// Lines end in CR LF, LF or CR alike; what the document adds ends the way
// the script's first line does.
TEST_F(RegScriptTest, EveryLineEndEndsALineAndNewLinesFollowTheScript) {
    struct Case {
        const char* name;
        const char* eol;
    } cases[] = {{"CR LF", "\r\n"}, {"LF", "\n"}, {"CR", "\r"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string e = c.eol;
        const std::string script =
            "REGEDIT4" + e + Header(0) + e + "\"SwitchID\"=dword:0" + e + "[Other]" + e + "\"Keep\"=\"me\"" + e;
        OpenOn(script);
        EXPECT_EQ(WriteDword(0, "SwitchID", 7), 0);
        EXPECT_EQ(m_doc.WriteValue(0, "AOSettings 0", REG_SZ, "x", 1), 0);
        EXPECT_EQ(m_doc.AppendTemplateSection(1), 0);
        EXPECT_EQ(WriteDword(1, "SwitchID", 1), 0);
        EXPECT_EQ(OnDisk(), "REGEDIT4" + e + Header(0) + e + "\"SwitchID\"=dword:7" + e + "\"AOSettings 0\"=\"x\"" +
                                e + "[Other]" + e + "\"Keep\"=\"me\"" + e + " " + e + Header(1) + " " + e +
                                "\"SwitchID\"=dword:1" + e);
        ExpectInStep();
        m_doc.Close();
    }
    // A script of mixed line ends keeps each line's own.
    OpenOn(Header(0) + "\r\n\"SwitchID\"=dword:0\n\"AOSettings 0\"=\"a\"\r");
    EXPECT_EQ(WriteDword(0, "SwitchID", 1), 0);
    EXPECT_EQ(m_doc.WriteValue(0, "AOSettings 0", REG_SZ, "b", 1), 0);
    EXPECT_EQ(OnDisk(), Header(0) + "\r\n\"SwitchID\"=dword:1\n\"AOSettings 0\"=\"b\"\r");
}

TEST_F(RegScriptTest, CommentsAndOtherValuesAreNeverTakenForTheValue) {
    const std::string section = Header(0) + "\r\n"
                                            "; SwitchID is the switch\r\n"
                                            "\"OldSwitchID\"=dword:9\r\n"
                                            "\"Desc\"=\"SwitchID see [manual]\"\r\n"
                                            ";\"SwitchID\"=dword:8\r\n"
                                            "  \"switchid\" = dword:3 ; set by hand\r\n";
    OpenOn(kPreamble + section + kT1);
    DWORD value = 0, type = 0, size = 0;
    EXPECT_EQ(m_doc.ReadValue(0, "SwitchID", &type, &value, sizeof value, &size), 0);
    EXPECT_EQ(value, 3u);
    EXPECT_EQ(WriteDword(0, "SwitchID", 5), 0);
    std::string expected = kPreamble + section + kT1;
    expected.replace(expected.find("\"switchid\" = dword:3 ; set by hand"), 34, "\"SwitchID\"=dword:5");
    EXPECT_EQ(OnDisk(), expected);
    // A new value goes after the section's last line, not into the "[" of a value.
    EXPECT_EQ(m_doc.WriteValue(0, "AOSettings 0", REG_SZ, "x", 1), 0);
    expected.insert(expected.find(Header(1)), "\"AOSettings 0\"=\"x\"\r\n");
    EXPECT_EQ(OnDisk(), expected);
    ExpectInStep();
}

// One rule of lines for reading, rewriting and cutting: a byte-order mark is
// no part of the first line, a comment or a header never continues or is
// continued, and a new line never lands under a value left open.
TEST_F(RegScriptTest, TheByteOrderMarkAndContinuedLinesReadAsTheyAreRewrittenAndCut) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string t1 = Header(1) + "\r\n\"SwitchID\"=dword:1\r\n";
    enum Op { WRITE_SWITCH_ID, NEW_VALUE, CUT, APPEND };
    struct Case {
        const char* name;
        std::string script;
        DWORD dwSwitchID;  // as read
        Op op;
        std::string after;
    } cases[] = {
        {"a mark before the first header", bom + Header(0) + "\r\n\"SwitchID\"=dword:2\r\n" + t1, 2, CUT, bom + t1},
        {"a mark before a header without a line end", bom + Header(0), 0xFFFFFFFF, APPEND,
         bom + Header(0) + "\r\n \r\n" + Header(2) + " \r\n"},
        {"a comment ending in a backslash",
         Header(0) + "\r\n; files in C:\\image\\\r\n\"SwitchID\"=dword:7\r\n" + t1, 7, WRITE_SWITCH_ID,
         Header(0) + "\r\n; files in C:\\image\\\r\n\"SwitchID\"=dword:5\r\n" + t1},
        {"a value ending in a backslash before a comment",
         Header(0) + "\r\n\"SwitchID\"=dword:3\\\r\n; keep me\r\n" + t1, 3, WRITE_SWITCH_ID,
         Header(0) + "\r\n\"SwitchID\"=dword:5\r\n; keep me\r\n" + t1},
        {"the comment stays at a cut too", Header(0) + "\r\n\"SwitchID\"=dword:3\\\r\n; keep me\r\n" + t1, 3, CUT,
         "; keep me\r\n" + t1},
        {"a value left open before the next header",
         Header(0) + "\r\n\"SwitchID\"=dword:0\r\n\"Bin\"=hex:01,\\\r\n" + t1, 0, NEW_VALUE,
         Header(0) + "\r\n\"SwitchID\"=dword:0\r\n\"AOSettings 0\"=\"x\"\r\n\"Bin\"=hex:01,\\\r\n" + t1},
        {"an open value of two lines", Header(0) + "\r\n\"Bin\"=hex:01,\\\r\n  02,\\\r\n" + t1, 0xFFFFFFFF, NEW_VALUE,
         Header(0) + "\r\n\"AOSettings 0\"=\"x\"\r\n\"Bin\"=hex:01,\\\r\n  02,\\\r\n" + t1},
        {"a value continued and closed", Header(0) + "\r\n\"Bin\"=hex:01,\\\r\n  02\r\n" + t1, 0xFFFFFFFF, NEW_VALUE,
         Header(0) + "\r\n\"Bin\"=hex:01,\\\r\n  02\r\n\"AOSettings 0\"=\"x\"\r\n" + t1},
        {"a continuation line is no value", Header(0) + "\r\n\"A\"=\"x\"\\\r\n\"SwitchID\"=dword:4\r\n" + t1,
         0xFFFFFFFF, WRITE_SWITCH_ID, Header(0) + "\r\n\"A\"=\"x\"\\\r\n\"SwitchID\"=dword:4\r\n\"SwitchID\"=dword:5\r\n" + t1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenOn(c.script);
        WORD wMask = 0;
        m_doc.ListTemplateSections(wMask);
        EXPECT_EQ(wMask, c.script.find(t1) != std::string::npos ? 0x3 : 0x1);
        DWORD dwValue = 0xFFFFFFFF, dwType = 0, dwSize = 0;
        m_doc.ReadValue(0, "SwitchID", &dwType, &dwValue, sizeof dwValue, &dwSize);
        EXPECT_EQ(dwValue, c.dwSwitchID);
        switch (c.op) {
        case WRITE_SWITCH_ID: EXPECT_EQ(WriteDword(0, "SwitchID", 5), 0); break;
        case NEW_VALUE: EXPECT_EQ(m_doc.WriteValue(0, "AOSettings 0", REG_SZ, "x", 1), 0); break;
        case CUT: EXPECT_EQ(m_doc.DeleteTemplateSection(0), 0); break;
        case APPEND: EXPECT_EQ(m_doc.AppendTemplateSection(2), 0); break;
        }
        EXPECT_EQ(OnDisk(), c.after);
        ExpectInStep();
        m_doc.Close();
    }
}

TEST_F(RegScriptTest, ReadValueClassifiesLinesAndNeverWritesPastTheBuffer) {
    const std::string section = Header(2) + "\r\n"
                                            "\"SwitchID\"=dword:a\r\n"
                                            "\"Code\"=dword:0000000A ; ten\r\n"
                                            "\"Big\"=dword:   0000000000ffffffff0\r\n"
                                            "\"Bytes\"=hex:01,aB,ff ; three\r\n"
                                            "\"Run\"=hex:abcdef\r\n"
                                            "\"Multi\"=hex(7):41,00,00,00\r\n"
                                            "\"Multi2\"=multi_sz:41,00\r\n"
                                            "\"Text\"=\"hello\"\r\n"
                                            "  x \"Inside\"=\"v\"\r\n"
                                            "\"Short\"\r\n"
                                            "\"Bare\"=text\r\n"
                                            "\t\"Spaced\" =  \"a;b\" ; note\r\n"
                                            "\"Long\"=\"0123456789\"\r\n";
    OpenOn(kPreamble + section + kT1);

    struct Case {
        const char* name;
        DWORD cap;
        int result;
        DWORD type;
        DWORD size;
        std::vector<unsigned char> data;
    } cases[] = {
        {"SwitchID", 4, 0, REG_DWORD, 4, {10, 0, 0, 0}},
        {"Code", 4, 0, REG_DWORD, 4, {10, 0, 0, 0}},
        {"Big", 4, 0, REG_DWORD, 4, {0xff, 0xff, 0xff, 0xff}},  // too large: saturates
        {"Code", 3, 1, REG_DWORD, 4, {}},
        {"Bytes", 3, 0, REG_BINARY, 3, {0x01, 0xab, 0xff}},
        {"Run", 3, 0, REG_BINARY, 3, {0xef, 0xef, 0x00}},  // each byte read from its cursor
        {"Bytes", 2, 1, REG_BINARY, 3, {}},
        {"Multi", 0, 0, REG_MULTI_SZ, 0, {}},
        {"Multi2", 0, 0, REG_MULTI_SZ, 0, {}},
        {"Text", 5, 0, REG_SZ, 5, {'h', 'e', 'l', 'l', 'o'}},
        {"Inside", 1, 1, 0xEE, 0xEE, {}},  // not a value line: text before the quote
        {"Short", 8, 1, 0xEE, 0xEE, {}},   // nor without "="
        {"Bare", 8, 1, REG_SZ, 0, {}},     // no text in quotes
        {"Spaced", 3, 0, REG_SZ, 3, {'a', ';', 'b'}},
        {"Long", 9, 1, REG_SZ, 10, {}},
        {"Absent", 8, 1, 0xEE, 0xEE, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> buf(c.cap + 4, 0xCC);  // guard bytes after the buffer
        DWORD type = 0xEE, size = 0xEE;
        EXPECT_EQ(m_doc.ReadValue(2, c.name, &type, buf.data(), c.cap, &size), c.result);
        EXPECT_EQ(type, c.type);
        EXPECT_EQ(size, c.size);
        std::vector<unsigned char> expected(c.cap + 4, 0xCC);
        std::copy(c.data.begin(), c.data.end(), expected.begin());
        EXPECT_EQ(buf, expected);

        // Without a buffer the value is still described, but not read.
        DWORD type2 = 0xEE, size2 = 0xEE;
        int nullResult = m_doc.ReadValue(2, c.name, &type2, nullptr, c.cap, &size2);
        EXPECT_EQ(nullResult, c.type == REG_MULTI_SZ && c.result == 0 ? 0 : 1);
        EXPECT_EQ(type2, c.type);
        EXPECT_EQ(size2, c.size);
    }
    DWORD type, size;
    EXPECT_EQ(m_doc.ReadValue(3, "SwitchID", &type, &type, 4, &size), 1);  // absent template
    EXPECT_EQ(m_doc.ReadValue(2, "SwitchID", &type, &type, 4, nullptr), 1);
    ExpectInStep();
}

TEST_F(RegScriptTest, WriteValueRewritesOneLineInPlaceAndKeepsEverythingElse) {
    OpenOn(kScript);
    EXPECT_EQ(WriteDword(0, "SwitchID", 10), 0);
    std::string expected = kScript;
    expected.replace(expected.find("dword:5"), 7, "dword:a");
    EXPECT_EQ(OnDisk(), expected);  // indentation kept
    ExpectInStep();

    // A new value goes just before the next section's "[", after the comment and blank line.
    const char text[] = "     0     5     0    20     4";
    EXPECT_EQ(m_doc.WriteValue(0, "AOSettings 1", REG_SZ, text, 30), 0);
    expected.insert(expected.find(Header(11)), std::string("\"AOSettings 1\"=\"") + text + "\"\r\n");
    EXPECT_EQ(OnDisk(), expected);

    // In the last section it goes at the end; for an absent template too, without a header.
    EXPECT_EQ(WriteDword(1, "Extra", 0), 0);
    EXPECT_EQ(WriteDword(9, "SwitchID", 0xFFFFFFFF), 0);
    expected += "\"Extra\"=dword:0\r\n\"SwitchID\"=dword:ffffffff\r\n";
    EXPECT_EQ(OnDisk(), expected);
    EXPECT_EQ(ReadString(0, "AOSettings 1"), text);
    ExpectInStep();

    // The same value again leaves the file alone.
    const unsigned nWrites = AfxCallCount(AFX_FAULT_WRITE);
    EXPECT_EQ(m_doc.WriteValue(0, "AOSettings 1", REG_SZ, text, 30), 0);
    EXPECT_EQ(AfxCallCount(AFX_FAULT_WRITE), nWrites);
    EXPECT_EQ(OnDisk(), expected);
}

TEST_F(RegScriptTest, WriteValueFormatsEachType) {
    const unsigned char bytes[] = {0x01, 0xAB, 0x00};
    DWORD dword = 0x0000000A;
    struct Case {
        DWORD type;
        const void* data;
        DWORD size;
        const char* line;
    } cases[] = {
        {REG_DWORD, &dword, 4, "\"W\"=dword:a"},
        {REG_SZ, "hello", 3, "\"W\"=\"hel\""},
        {REG_SZ, "a\0b", 3, "\"W\"=\"a\""},
        {REG_SZ, "say \"hi\"", 8, "\"W\"=\"say \"hi\"\""},  // nothing escaped
        {REG_BINARY, bytes, 3, "\"W\"=hex:01,AB,00"},
        {REG_BINARY, bytes, 0, "\"W\"=hex:"},
        {REG_MULTI_SZ, bytes, 2, "\"W\"=multi_sz:01,AB,00,00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        OpenOn(kT1);
        EXPECT_EQ(m_doc.WriteValue(1, "W", c.type, c.data, c.size), 0);
        EXPECT_EQ(OnDisk(), kT1 + c.line + "\r\n");
        m_doc.Close();
    }
}

TEST_F(RegScriptTest, WriteValueRefusesWhatItCannotWriteAndTouchesNothing) {
    OpenOn(kScript);
    const std::string longText(255, 'x');
    const unsigned char bytes[100] = {};
    DWORD dword = 1;
    EXPECT_EQ(m_doc.WriteValue(0, "AOSettings 0", REG_SZ, longText.c_str(), 255), 1);
    EXPECT_EQ(m_doc.WriteValue(0, std::string(250, 'n').c_str(), REG_DWORD, &dword, 4), 1);
    EXPECT_EQ(m_doc.WriteValue(0, "Blob", REG_BINARY, bytes, 100), 1);
    EXPECT_EQ(m_doc.WriteValue(0, "SwitchID", REG_DWORD, &dword, 2), 1);  // shorter than a DWORD
    EXPECT_EQ(m_doc.WriteValue(0, "", REG_DWORD, &dword, 4), 1);
    EXPECT_EQ(m_doc.WriteValue(0, nullptr, REG_DWORD, &dword, 4), 1);
    EXPECT_EQ(m_doc.WriteValue(0, "SwitchID", REG_DWORD, nullptr, 4), 1);
    EXPECT_EQ(m_doc.WriteValue(0, "W", 2, bytes, 3), 1);  // a type the script has no form for
    EXPECT_EQ(m_doc.WriteValue(0, "Two\r\nLines", REG_DWORD, &dword, 4), 1);
    EXPECT_EQ(m_doc.WriteValue(0, "Quote\"d", REG_DWORD, &dword, 4), 1);
    EXPECT_EQ(m_doc.WriteValue(0, "Text", REG_SZ, "a\nb", 3), 1);
    // The longest line that fits: 255 characters with its CR LF.
    EXPECT_EQ(m_doc.WriteValue(9, "L", REG_SZ, longText.c_str(), 255 - 8), 0);
    EXPECT_EQ(OnDisk(), kScript + "\"L\"=\"" + longText.substr(0, 247) + "\"\r\n");
}

TEST_F(RegScriptTest, WriteValueEdgesOfTheText) {
    struct Case {
        std::string before;
        int n;
        const char* name;
        std::string after;
    } cases[] = {
        {"", 0, "SwitchID", "\"SwitchID\"=dword:7\r\n"},  // an empty script
        {kT1 + "\"Last\"=dword:1", 1, "Last", kT1 + "\"Last\"=dword:7\r\n"},  // no CR LF after it
        // Values of an absent template all go at the end, the first one no section of it.
        {kT1, 9, "A", kT1 + "\"B\"=dword:2\r\n\"A\"=dword:3\r\n\"A\"=dword:7\r\n"},
        // A "[" inside a value ends the section, yet not the line.
        {Header(3) + "\r\n\"AOSettings 0\"=\"[x\"\r\n\"SwitchID\"=dword:3\r\n" + kT1, 3, "AOSettings 0",
         Header(3) + "\r\n\"AOSettings 0\"=dword:7\r\n\"SwitchID\"=dword:3\r\n" + kT1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        OpenOn(c.before);
        if (c.n == 9) {
            EXPECT_TRUE(WriteDword(9, "B", 2) == 0 && WriteDword(9, "A", 3) == 0);
        }
        EXPECT_EQ(WriteDword(c.n, c.name, 7), 0);
        EXPECT_EQ(OnDisk(), c.after);
        ExpectInStep();
        m_doc.Close();
    }
}

TEST_F(RegScriptTest, AppendAndFiveWritesAsTheStoreSavesANewTemplate) {
    OpenOn(kScript);
    ASSERT_EQ(m_doc.TemplateSectionExists(3), 0);
    EXPECT_EQ(m_doc.AppendTemplateSection(3), 0);
    EXPECT_EQ(WriteDword(3, VALUE_SWITCH_ID_A, 3), 0);
    std::string tail = " \r\n" + Header(3) + " \r\n\"SwitchID\"=dword:3\r\n";
    AoChannelSetting setting = {};
    setting.VoltageMax = 10.0f;
    setting.VoltageMin = -10.0f;
    for (int channel = 0; channel < AO_CHANNEL_COUNT; ++channel) {
        char name[32], text[64];
        FormatAoSettingsName(channel, name, sizeof name);
        size_t cch = FormatTemplateText(setting, text, sizeof text);
        EXPECT_EQ(m_doc.WriteValue(3, name, REG_SZ, text, static_cast<DWORD>(cch)), 0);
        tail += std::string("\"") + name + "\"=\"     0    10   -10     0     0\"\r\n";
    }
    EXPECT_EQ(OnDisk(), kScript + tail);
    EXPECT_EQ(m_doc.TemplateSectionExists(3), 1);
    ExpectInStep();
}

TEST_F(RegScriptTest, DeleteTemplateSectionCutsTheSectionButNotItsComments) {
    struct Case {
        int n;
        std::string after;
    } cases[] = {
        {1, kPreamble + kT0 + kT11},                              // the last: cut at its header line
        {0, kPreamble + "; end of template 0\r\n" + kT11 + kT1},  // a middle one: values and blank lines go
        {6, kScript},                                             // absent: byte for byte as it was
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        OpenOn(kScript);
        EXPECT_EQ(m_doc.DeleteTemplateSection(c.n), 0);
        EXPECT_EQ(OnDisk(), c.after);
        // The document follows the file and can go on.
        ExpectInStep();
        EXPECT_EQ(m_doc.TemplateSectionExists(c.n), 0);
        EXPECT_EQ(WriteDword(11, "SwitchID", 12), 0);
        EXPECT_NE(OnDisk().find(Header(11) + "\r\n\"SwitchID\"=dword:c\r\n"), std::string::npos);
        m_doc.Close();
    }
}

TEST_F(RegScriptTest, NoMemoryMeansNothingDoneAndNothingHeld) {
    OpenOn(kScript);
    struct Case {
        const char* what;
        unsigned nCall;  // the allocation that fails
        std::function<int()> run;
    } cases[] = {
        {"value", 1, [&] { return WriteDword(0, "SwitchID", 9); }},
        {"header", 1, [&] { return m_doc.AppendTemplateSection(4); }},
        {"kept comments", 1, [&] { return m_doc.DeleteTemplateSection(0); }},
        {"text after the cut", 2, [&] { return m_doc.DeleteTemplateSection(0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AfxFailCall(AFX_FAULT_PAGE_ALLOC, c.nCall, ERROR_NOT_ENOUGH_MEMORY);
        EXPECT_EQ(c.run(), 1);
        EXPECT_EQ(OnDisk(), kScript);
        ExpectInStep();
    }
    m_doc.Close();

    AfxFailCall(AFX_FAULT_PAGE_ALLOC, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(m_doc.Open(m_file.Path()), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(AfxLivePageBlocks(), 0u);
    EXPECT_EQ(m_doc.Open(m_file.Path()), 0u);  // the failed open let go of the file
}

// Changes between BeginTrans and CommitTrans reach the file together; a
// rollback or a close before the commit leaves it as it was.
TEST_F(RegScriptTest, ATransactionLandsWholeOrNotAtAll) {
    for (const char* pszEnd : {"commit", "rollback", "close"}) {
        SCOPED_TRACE(pszEnd);
        OpenOn(kScript);
        m_doc.BeginTrans();
        EXPECT_EQ(m_doc.DeleteTemplateSection(11), 0);
        EXPECT_EQ(m_doc.AppendTemplateSection(3), 0);
        EXPECT_EQ(WriteDword(3, "SwitchID", 3), 0);
        EXPECT_EQ(WriteDword(0, "SwitchID", 6), 0);
        EXPECT_EQ(OnDisk(), kScript);
        const std::string changed = std::string(m_doc.GetText(), m_doc.GetLength());
        const ULONGLONG qwBefore = m_doc.GetFingerprint();
        if (std::string(pszEnd) == "commit") {
            m_doc.CommitTrans();
            EXPECT_EQ(OnDisk(), changed);
            EXPECT_NE(m_doc.GetFingerprint(), qwBefore);
            ExpectInStep();
        } else if (std::string(pszEnd) == "rollback") {
            m_doc.Rollback();
            EXPECT_EQ(OnDisk(), kScript);
            ExpectInStep();
        }
        m_doc.Close();
        EXPECT_EQ(m_file.Get(), std::string(pszEnd) == "commit" ? changed : kScript);
        EXPECT_FALSE(std::ifstream(std::string(m_file.Path()) + ".jnl").good()) << "a journal outlived its save";
    }
}

}  // namespace
