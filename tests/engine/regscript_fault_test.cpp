// Every file primitive failing in turn, at every call, inside every changing
// operation: the script must be what it was, at once or at the latest after
// the next Open, the failure must reach the caller, and the document must go
// on working.
#include "regscript.h"

#include <afx_fault.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include "script_file.h"

namespace {

const std::string kScript = "REGEDIT4\r\n\r\n" + Header(0) + "\r\n\"SwitchID\"=dword:00000000\r\n" +
                            "\"AOSettings 0\"=\"     0    10   -10     0     0\"\r\n\r\n" + Header(1) +
                            "\r\n\"SwitchID\"=dword:1\r\n";

DWORD Dword(DWORD v) { return v; }

struct Operation {
    const char* name;
    std::function<int(CRegScript&)> run;
} kOperations[] = {
    {"rewrite shorter", [](CRegScript& d) { DWORD v = Dword(2); return d.WriteValue(0, "SwitchID", REG_DWORD, &v, 4); }},
    {"rewrite longer",
     [](CRegScript& d) { return d.WriteValue(0, "AOSettings 0", REG_SZ, "     0     5     0    20     4 ", 31); }},
    {"new value mid-file", [](CRegScript& d) { DWORD v = Dword(7); return d.WriteValue(0, "Extra", REG_DWORD, &v, 4); }},
    {"absent template", [](CRegScript& d) { return d.WriteValue(5, "Blob", REG_BINARY, "\x01\x02", 2); }},
    {"append header", [](CRegScript& d) { return d.AppendTemplateSection(2); }},
    {"delete middle", [](CRegScript& d) { return d.DeleteTemplateSection(0); }},
    {"delete last", [](CRegScript& d) { return d.DeleteTemplateSection(1); }},
    {"transaction", [](CRegScript& d) {
         d.BeginTrans();
         DWORD v = Dword(9);
         int r = d.DeleteTemplateSection(0) | d.AppendTemplateSection(0) | d.WriteValue(0, "SwitchID", REG_DWORD, &v, 4);
         d.CommitTrans();
         return r;
     }},
};

const AfxFaultPoint kFilePoints[] = {AFX_FAULT_OPEN,       AFX_FAULT_LENGTH, AFX_FAULT_SEEK,  AFX_FAULT_READ,
                                     AFX_FAULT_WRITE,      AFX_FAULT_SET_LENGTH, AFX_FAULT_FLUSH, AFX_FAULT_REMOVE};

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

std::string Journal(const ScriptFile& file) { return std::string(file.Path()) + ".jnl"; }

TEST(RegScriptFaults, AFailingPrimitiveLeavesTheScriptAsItWas) {
    unsigned nInjected[AFX_FAULT_POINT_COUNT] = {};
    for (const Operation& op : kOperations) {
        SCOPED_TRACE(op.name);
        ScriptFile file;

        // A clean run gives the result to compare with and the calls to fail.
        file.Put(kScript);
        AfxResetFaults();
        std::string expected;
        unsigned nCalls[AFX_FAULT_POINT_COUNT] = {};
        {
            CRegScript doc;
            ASSERT_EQ(doc.Open(file.Path()), 0u);
            unsigned nBase[AFX_FAULT_POINT_COUNT];
            for (AfxFaultPoint pt : kFilePoints) nBase[pt] = AfxCallCount(pt);
            ASSERT_EQ(op.run(doc), 0);
            for (AfxFaultPoint pt : kFilePoints) nCalls[pt] = AfxCallCount(pt) - nBase[pt];
            expected = file.Get(doc.GetFile());
        }
        ASSERT_NE(expected, kScript);

        for (AfxFaultPoint pt : kFilePoints) {
            for (unsigned nCall = 1; nCall <= nCalls[pt]; ++nCall) {
                for (UINT cbPartial : {0u, 7u}) {
                    if (cbPartial && pt != AFX_FAULT_WRITE) continue;
                    SCOPED_TRACE(testing::Message() << "point " << pt << " call " << nCall << " partial " << cbPartial);
                    file.Put(kScript);
                    AfxResetFaults();
                    CRegScript doc;
                    ASSERT_EQ(doc.Open(file.Path()), 0u);
                    AfxFailCall(pt, nCall, ERROR_DISK_FULL, cbPartial);
                    try {
                        op.run(doc);
                        ADD_FAILURE() << "the failure did not reach the caller";
                    } catch (CFileException* e) {
                        EXPECT_EQ(e->m_lOsError, ERROR_DISK_FULL);
                        EXPECT_EQ(e->m_cause, CFileException::diskFull);
                        e->Delete();
                    }
                    EXPECT_EQ(file.Get(doc.GetFile()), kScript);
                    EXPECT_FALSE(Exists(Journal(file)));
                    ASSERT_NE(doc.GetText(), nullptr);
                    EXPECT_EQ(std::string(doc.GetText(), doc.GetLength()), kScript);
                    EXPECT_EQ(AfxLivePageBlocks(), 1u);
                    EXPECT_EQ(op.run(doc), 0);  // and it can be done again
                    EXPECT_EQ(file.Get(doc.GetFile()), expected);
                    ++nInjected[pt];
                }
            }
        }
    }
    unsigned nTotal = 0;
    for (AfxFaultPoint pt : {AFX_FAULT_OPEN, AFX_FAULT_SEEK, AFX_FAULT_WRITE, AFX_FAULT_SET_LENGTH, AFX_FAULT_FLUSH,
                             AFX_FAULT_REMOVE}) {
        EXPECT_GT(nInjected[pt], 0u) << "point " << pt << " never failed";
        nTotal += nInjected[pt];
    }
    RecordProperty("failed_calls", static_cast<int>(nTotal));
    AfxResetFaults();
}

// When the old bytes cannot be put back either, the file may be anything;
// the journal left beside it puts it back at the next Open.
TEST(RegScriptFaults, WhatCannotBeUndoneAtOnceIsUndoneByTheNextOpen) {
    // The cut's writes: the journal's header and bytes, then the script's. The
    // undo is made to fail too, at its seek or at its write of the old bytes.
    struct Case {
        const char* name;
        AfxFaultPoint point;
        unsigned nCall;
        UINT cbPartial;
        AfxFaultPoint undoPoint;
        unsigned nUndoCall;
    } cases[] = {
        {"the script half written", AFX_FAULT_WRITE, 3, 9, AFX_FAULT_SEEK, 2},
        {"cut short", AFX_FAULT_SET_LENGTH, 1, 0, AFX_FAULT_WRITE, 4},
        {"written, not yet on the disk", AFX_FAULT_FLUSH, 2, 0, AFX_FAULT_WRITE, 4},
        {"written, journal not removed", AFX_FAULT_REMOVE, 1, 0, AFX_FAULT_WRITE, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptFile file;
        file.Put(kScript);
        AfxResetFaults();
        {
            CRegScript doc;
            ASSERT_EQ(doc.Open(file.Path()), 0u);
            AfxFailCall(c.point, c.nCall, ERROR_IO_DEVICE, c.cbPartial);
            AfxFailCall(c.undoPoint, c.nUndoCall, ERROR_IO_DEVICE);
            try {
                doc.DeleteTemplateSection(0);
                ADD_FAILURE() << "no exception";
            } catch (CFileException* e) {
                EXPECT_EQ(e->m_cause, CFileException::hardIO);
                e->Delete();
            }
            // No further edit may be made from a text the file no longer matches.
            EXPECT_EQ(doc.GetText(), nullptr);
            DWORD v = 1;
            EXPECT_EQ(doc.WriteValue(0, "SwitchID", REG_DWORD, &v, 4), 1);
            EXPECT_EQ(doc.AppendTemplateSection(3), 1);
            EXPECT_EQ(doc.Close(), 0);
            EXPECT_EQ(AfxLivePageBlocks(), 0u);
        }
        EXPECT_TRUE(Exists(Journal(file)));
        AfxResetFaults();
        CRegScript next;
        ASSERT_EQ(next.Open(file.Path()), 0u);
        EXPECT_EQ(std::string(next.GetText(), next.GetLength()), kScript);
        EXPECT_EQ(file.Get(next.GetFile()), kScript);
        EXPECT_FALSE(Exists(Journal(file)));
    }
    AfxResetFaults();
}

}  // namespace
