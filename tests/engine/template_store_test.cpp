#include "template_store.h"

#include <afx_fault.h>
#include <gtest/gtest.h>

#include <string>

#include "regscript.h"
#include "script_file.h"

namespace {

const char kHead[] = "; board script\r\n";

struct Channel {
    unsigned short code;
    float vmax, vmin, imax, imin;
};

void ExpectChannel(const AoChannelSetting& got, const Channel& want) {
    EXPECT_EQ(got.InitialCode, want.code);
    EXPECT_EQ(got.VoltageMax, want.vmax);
    EXPECT_EQ(got.VoltageMin, want.vmin);
    EXPECT_EQ(got.CurrentMax, want.imax);
    EXPECT_EQ(got.CurrentMin, want.imin);
}

const Channel kDefault = {0, 10, -10, 0, 0};

class TemplateStoreTest : public ::testing::Test {
protected:
    void SetUp() override { AfxResetFaults(); }
    void TearDown() override {
        m_doc.Close();
        EXPECT_EQ(AfxLivePageBlocks(), 0u);
    }
    void OpenOn(const std::string& bytes) {
        m_file.Put(bytes);
        ASSERT_EQ(m_doc.Open(m_file.Path()), 0u);
    }

    ScriptFile m_file;
    CRegScript m_doc;
};

TEST(TemplateStoreChoice, LowestFreeNumberAndSwitchIDOverTheMasks) {
    const struct {
        WORD wUsed;
        int nFree;
    } numbers[] = {{0x0000, 0}, {0x0001, 1}, {0x000B, 2}, {0x7FFF, 15}, {0xFFFE, 0}, {0xFFFF, TEMPLATE_COUNT}};
    for (const auto& c : numbers) EXPECT_EQ(LowestFreeTemplateNumber(c.wUsed), c.nFree) << c.wUsed;

    // The SwitchIDs the 16 entries hold (listed or not), the template given
    // one, and what it gets.
    struct Case {
        const char* name;
        DWORD held0, held1;  // entries 0 and 1; entry n > 1 holds n
        int nIndex;
        BOOL bFree;
        DWORD dwGot;
        WORD wUsedAfter;  // from 0
    } cases[] = {
        {"defaults hold every number once", 0, 1, 3, FALSE, 3, 1u << 3},
        {"entry 0 holds 5 twice over", 5, 1, 3, TRUE, 0, 1u << 0},
        {"numbers over 15 hold nothing", 16, 0xFFFFFFFF, 1, TRUE, 0, 1u << 0},
        {"an entry over 15 that keeps it", 16, 1, 0, TRUE, 0, 1u << 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemplateEntry templates[TEMPLATE_COUNT];
        for (int n = 0; n < TEMPLATE_COUNT; ++n) SetDefaultTemplate(templates[n], n);
        templates[0].SwitchID = c.held0;
        templates[1].SwitchID = c.held1;
        WORD wUsed = 0;
        EXPECT_EQ(ChooseFreeSwitchID(templates, c.nIndex, wUsed), c.bFree);
        EXPECT_EQ(templates[c.nIndex].SwitchID, c.dwGot);
        EXPECT_EQ(wUsed, c.wUsedAfter);
    }
    EXPECT_EQ(TemplateBit(15), 0x8000);
    EXPECT_EQ(TemplateBit(16), 0);
    EXPECT_EQ(TemplateBit(0xFFFFFFFF), 0);
}

TEST_F(TemplateStoreTest, LoadsATemplateValueByValueAndKeepsDefaultsForWhatItLacks) {
    OpenOn(std::string(kHead) + Header(3) +
           "\r\n"
           "\"SwitchID\"=dword:9\r\n"
           "\"AOSettings 0\"=\"  2048     5     0    20     4\"\r\n"
           "\"AOSettings 1\"=dword:5\r\n"          // not a text: the default
           "\"AOSettings 2\"=\"     7     5\"\r\n"  // two numbers: the rest default
           + Header(4) + "\r\n\"SwitchID\"=\"4\"\r\n\"AOSettings 0\"=\"0 5 0 0 0\"\r\n");
    TemplateEntry entry;
    ASSERT_TRUE(LoadTemplateEntry(m_doc, 3, entry));
    EXPECT_EQ(entry.SwitchID, 9u);
    ExpectChannel(entry.Channels[0], {2048, 5, 0, 20, 4});
    ExpectChannel(entry.Channels[1], kDefault);
    ExpectChannel(entry.Channels[2], {7, 5, -10, 0, 0});
    ExpectChannel(entry.Channels[3], kDefault);

    // A SwitchID that is no dword, and a template that is not there, load
    // nothing: the entry holds the defaults of its number.
    for (int n : {4, 5}) {
        SCOPED_TRACE(n);
        entry.SwitchID = 99;
        EXPECT_FALSE(LoadTemplateEntry(m_doc, n, entry));
        EXPECT_EQ(entry.SwitchID, static_cast<DWORD>(n));
        for (const AoChannelSetting& channel : entry.Channels) ExpectChannel(channel, kDefault);
    }
}

TEST_F(TemplateStoreTest, SavesASectionThatLoadsBackTheSame) {
    OpenOn(kHead);
    TemplateEntry entry;
    SetDefaultTemplate(entry, 2);
    entry.SwitchID = 7;
    entry.Channels[1] = {2048, 5, 0, 20, 4};
    entry.Channels[3] = {0, 4.9f, -4.9f, 0, 0};  // whole numbers only
    ASSERT_TRUE(SaveTemplateEntry(m_doc, 2, entry));
    EXPECT_EQ(m_file.Get(m_doc.GetFile()), std::string(kHead) + " \r\n" + Header(2) +
                                            " \r\n"
                                            "\"SwitchID\"=dword:7\r\n"
                                            "\"AOSettings 0\"=\"     0    10   -10     0     0\"\r\n"
                                            "\"AOSettings 1\"=\"  2048     5     0    20     4\"\r\n"
                                            "\"AOSettings 2\"=\"     0    10   -10     0     0\"\r\n"
                                            "\"AOSettings 3\"=\"     0     4    -4     0     0\"\r\n");
    // Again over the section it wrote: the same values in place.
    const std::string before = m_file.Get(m_doc.GetFile());
    ASSERT_TRUE(SaveTemplateEntry(m_doc, 2, entry));
    EXPECT_EQ(m_file.Get(m_doc.GetFile()), before);

    TemplateEntry back;
    ASSERT_TRUE(LoadTemplateEntry(m_doc, 2, back));
    EXPECT_EQ(back.SwitchID, 7u);
    ExpectChannel(back.Channels[1], {2048, 5, 0, 20, 4});
    ExpectChannel(back.Channels[3], {0, 4, -4, 0, 0});
}

TEST_F(TemplateStoreTest, ASaveThatRunsOutOfMemoryReportsIt) {
    OpenOn(kHead);
    TemplateEntry entry;
    SetDefaultTemplate(entry, 0);
    m_doc.BeginTrans();
    AfxFailCall(AFX_FAULT_PAGE_ALLOC, 1, ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_FALSE(SaveTemplateEntry(m_doc, 0, entry));
    m_doc.Rollback();
    EXPECT_EQ(m_file.Get(m_doc.GetFile()), kHead);
}

TEST(TemplateStoreErrors, SayWhatTheScriptsFailureMeans) {
    const struct {
        DWORD dwError;
        const char* pszWords;  // NULL: none
        BOOL bMissing;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, "the file does not exist", TRUE},
        {ERROR_PATH_NOT_FOUND, "its folder does not exist", TRUE},
        {ERROR_SHARING_VIOLATION, "another program has the file open", FALSE},
        {ERROR_HANDLE_DISK_FULL, "the disk is full", FALSE},
        {ERROR_DISK_FULL, "the disk is full", FALSE},
        {ERROR_INVALID_DATA, "it holds a zero byte, so it is not a text file", FALSE},
        {ERROR_INVALID_PARAMETER, nullptr, FALSE},
        {0x20000001, nullptr, FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dwError);
        LPCSTR lpszWords = DescribeScriptError(c.dwError);
        EXPECT_EQ(std::string(lpszWords != nullptr ? lpszWords : "(none)"),
                  c.pszWords != nullptr ? c.pszWords : "(none)");
        EXPECT_EQ(IsScriptMissing(c.dwError), c.bMissing);
    }
}

}  // namespace
