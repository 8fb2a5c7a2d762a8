#include "regscript.h"

#include <afx_fault.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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
    std::string OnDisk() const { return m_file.Get(m_doc.m_file); }
    // The text held must be the file's, and only the text may be held between operations.
    void ExpectInStep() {
        EXPECT_EQ(std::string(m_doc.m_pText, m_doc.m_dwLength), OnDisk());
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

TEST_F(RegScriptTest, OpenTakesDeviceDriverBusAndKeyFromThePath) {
    struct Case {
        const char* path;
        const char* device;
        const char* driver;
        int bus;
        const char* key;
    } cases[] = {
        {"Device_Drivers/PCI6406/PCI6406.reg", "PCI6406", "VQX6406S", BUS_PCI,
         "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template"},
        {"Device_Drivers/PCI6451/PCI6451.reg", "PCI6451", "VQX6451S", BUS_PCI,
         "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6451S"},
        {"Device_Drivers/PCM6478/PCM6478.reg", "PCM6478", "VQX6478S", BUS_PCM,
         "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\VQX6478S"},
        {"Device_Drivers/USB6406/USB6406.reg", "USB6406", "VQX6406S", BUS_USB,
         "[HKEY_LOCAL_MACHINE\\Drivers\\USB\\ClientDrivers\\USB6406_Class\\Template"},
        // Both tests match: both parts, in order, and the later bus kind.
        {"PCI/Device_Drivers/USB6406/USB6406.reg", "USB6406", "VQX6406S", BUS_USB,
         "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template"
         "USB\\ClientDrivers\\USB6406_Class\\Template"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CRegScript doc;
        ASSERT_EQ(doc.Open(m_file.Create(c.path, "x").c_str()), 0u);
        EXPECT_STREQ(doc.m_szDevice, c.device);
        EXPECT_STREQ(doc.m_szDriverName, c.driver);
        EXPECT_EQ(doc.m_nBusKind, c.bus);
        EXPECT_STREQ(doc.m_szSectionKey, c.key);
        EXPECT_EQ(std::string(doc.m_pText, doc.m_dwLength), "x");
    }
}

TEST_F(RegScriptTest, OpenRefusesPathsWithoutADeviceAndFilesItCannotHold) {
    struct Case {
        std::string path;
        DWORD result;
    } cases[] = {
        {m_file.Create("Drivers/PCI6406/PCI6406.reg", "x"), ERROR_BAD_PATHNAME},
        {m_file.Create("Device_Drivers/PCI640", "x"), ERROR_BAD_PATHNAME},  // six characters after it
        {m_file.Create("Device_Drivers/ABC6406/ABC6406.reg", "x"), ERROR_BAD_PATHNAME},
        {m_file.Root() + "/Device_Drivers/PCI6406/missing.reg", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CRegScript doc;
        EXPECT_EQ(doc.Open(c.path.c_str()), c.result);
        EXPECT_EQ(doc.m_pText, nullptr);
        EXPECT_EQ(doc.m_file.m_hFile, CFile::hFileNull);
        EXPECT_EQ(doc.ReadValue(0, "SwitchID", nullptr, nullptr, 0, nullptr), 1);
        EXPECT_EQ(doc.Close(), 0);
    }

    OpenOn(kScript);
    CRegScript second;
    EXPECT_EQ(second.Open(m_file.Path()), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(second.m_fileError.m_cause, CFileException::sharingViolation);
}

TEST_F(RegScriptTest, TheThreeHeaderFindersDifferOnPurpose) {
    // Template 4 only in a comment; template 5 in the wrong case; template 7
    // behind a comment that quotes its header.
    const std::string lower = "[hkey_local_machine\\drivers\\builtin\\pci\\template\\vqx6406s\\template5]\r\n";
    const std::string script = kPreamble + "; was " + Header(4) + "\r\n" + lower + "; " + Header(7) + "\r\n" +
                               kT11 + Header(7) + "\r\n" + kT1;
    OpenOn(script);

    struct Case {
        int n;
        bool found;  // FindTemplateSection
        int exists;
        bool listed;
    } cases[] = {
        {1, true, 1, true}, {4, true, 0, false}, {5, false, 0, true}, {7, true, 1, true}, {11, true, 1, true},
        {2, false, 0, false},
    };
    WORD mask = 0xFFFF;
    EXPECT_EQ(m_doc.ListTemplateSections(mask), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        DWORD start = 1, end = 1;
        EXPECT_EQ(m_doc.FindTemplateSection(c.n, start, end), 0);
        EXPECT_EQ(start != end, c.found);
        EXPECT_EQ(m_doc.TemplateSectionExists(c.n), c.exists);
        EXPECT_EQ((mask >> c.n & 1) != 0, c.listed);
    }
    EXPECT_EQ(mask, (1u << 1) | (1u << 5) | (1u << 7) | (1u << 11));

    // The first occurrence wins, even in a comment: template 7's section is the comment's line.
    DWORD start, end;
    m_doc.FindTemplateSection(7, start, end);
    EXPECT_EQ(script.substr(start, end - start), Header(7) + "\r\n");
    EXPECT_EQ(script.substr(start - 2, 2), "; ");
    // Template1] does not match Template11].
    m_doc.FindTemplateSection(1, start, end);
    EXPECT_EQ(script.substr(start), kT1);
    ExpectInStep();
}

TEST_F(RegScriptTest, FindTemplateSectionNeverStartsBeforeTheText) {
    OpenOn("Template2]\r\n\"SwitchID\"=dword:2\r\n[Other]\r\n");
    DWORD start = 99, end = 99;
    m_doc.FindTemplateSection(2, start, end);
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 32u);
    EXPECT_EQ(ReadString(2, "SwitchID"), "<unread>");  // a dword, not a string
}

TEST_F(RegScriptTest, APatternQuotedWithoutTheKeyNeverReachesTheLinesAbove) {
    // The first occurrence is a comment's; the section it opens is that line
    // up to the real header, so a cut leaves template 0 whole.
    const std::string real = Header(3) + "\r\n\"SwitchID\"=dword:3\r\n";
    OpenOn(kPreamble + kT0 + "; moved to Template3]\r\n" + real + kT1);
    EXPECT_EQ(m_doc.DeleteTemplateSection(3), 0);
    EXPECT_EQ(OnDisk(), kPreamble + kT0 + real + kT1);
    ExpectInStep();
}

TEST_F(RegScriptTest, ListTemplateSectionsReadsTwoCharactersAfterTheKey) {
    const std::string key = "[HKEY_LOCAL_MACHINE\\Drivers\\BuiltIn\\PCI\\Template\\VQX6406S\\Template";
    OpenOn(key + "12]\r\n" + key + "3]\r\n" + key + "16]\r\n" + key + "-1]\r\n" + key + "X]\r\n" + key +
           "99] ; 9\r\n");
    WORD mask = 0;
    m_doc.ListTemplateSections(mask);
    EXPECT_EQ(mask, (1u << 12) | (1u << 3) | (1u << 0));
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
        {"Inside", 1, 0, REG_SZ, 1, {'v'}},
        {"Short", 8, 1, REG_SZ, 0, {}},
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
        EXPECT_EQ(nullResult, c.type == REG_MULTI_SZ ? 0 : 1);
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
        {2, bytes, 3, "\"W\""},  // a type the script has no form for
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
        // A "[" inside a value ends the section, yet not the line.
        {Header(3) + "\r\n\"AOSettings 0\"=\"[x\"\r\n\"SwitchID\"=dword:3\r\n" + kT1, 3, "AOSettings 0",
         Header(3) + "\r\n\"AOSettings 0\"=dword:7\r\n\"SwitchID\"=dword:3\r\n" + kT1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        OpenOn(c.before);
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

TEST_F(RegScriptTest, DeleteTemplateSectionCutsTheWholeSection) {
    struct Case {
        int n;
        std::string after;
    } cases[] = {
        {1, kPreamble + kT0 + kT11},  // the last: cut at its "["
        {0, kPreamble + kT11 + kT1},  // a middle one, blank and comment lines included
        {6, kScript},                 // absent: byte for byte as it was
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
    DWORD type, size, value;
    AfxFailCall(AFX_FAULT_PAGE_ALLOC, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(m_doc.ReadValue(0, "SwitchID", &type, &value, 4, &size), 1);
    AfxFailCall(AFX_FAULT_PAGE_ALLOC, 1, ERROR_NOT_ENOUGH_MEMORY);  // the section copy
    EXPECT_EQ(WriteDword(0, "SwitchID", 9), 1);
    AfxFailCall(AFX_FAULT_PAGE_ALLOC, 2, ERROR_NOT_ENOUGH_MEMORY);  // the text read back
    EXPECT_EQ(WriteDword(0, "SwitchID", 9), 1);
    AfxFailCall(AFX_FAULT_PAGE_ALLOC, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(m_doc.AppendTemplateSection(4), 1);
    EXPECT_EQ(OnDisk(), kScript);
    ExpectInStep();
    m_doc.Close();

    AfxFailCall(AFX_FAULT_PAGE_ALLOC, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(m_doc.Open(m_file.Path()), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(AfxLivePageBlocks(), 0u);
    EXPECT_EQ(m_doc.Open(m_file.Path()), 0u);  // the failed open let go of the file
}

}  // namespace
