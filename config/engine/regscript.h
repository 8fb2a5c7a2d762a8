#pragma once
// CRegScript: one board's .reg registry script, opened exclusively, its whole
// text held in memory and edited as text. A document serves one load, save,
// removal or listing of the template store: construct, Open, operations,
// Close, destroy.
//
// The script is usually a person's file, of which the board's templates are a
// small part, so an edit touches only the lines it means to change; how lines,
// sections and values are told apart is script_codec.h's.
//
// A change reaches the file all at once or not at all, through a journal
// beside the script (journal.cpp says how, and what Open makes of a journal
// it finds). Outside a transaction each change lands on its own; between
// BeginTrans and CommitTrans they land together.
//
// Failures of the file itself (open, length, seek, read, write, truncation,
// flush, removal) are thrown by the file layer as CFileException* and passed
// on to the caller, with the script as it was before the change.
#include <afx.h>

#include "journal.h"
#include "script_codec.h"

enum BusKind {
    BUS_PCI = 0,
    BUS_USB = 1,
    BUS_PCM = 2,
};

class CRegScript {
public:
    CRegScript();
    ~CRegScript();
    CRegScript(const CRegScript&) = delete;
    CRegScript& operator=(const CRegScript&) = delete;

    // 0, or the operating system's error code when the script cannot be
    // opened: 2 missing, 5 access denied, 32 held by another opener;
    // ERROR_BAD_PATHNAME for a path that names no device (no "Device_Drivers",
    // a separator and seven characters, or none of "PCI", "PCM" and "USB"
    // after it); ERROR_BAD_FILE_TYPE for a device, pipe or FIFO;
    // ERROR_NO_UNICODE_TRANSLATION for a UTF-16 script (byte-order mark);
    // ERROR_INVALID_DATA for one that holds a zero byte; ERROR_FILE_TOO_LARGE
    // past 4 GB; or what keeps the journal beside it from being settled, with
    // GetFileError() naming the file. A script that may not be written opens
    // for reading (IsReadOnly()). SetAsideJournal() names a journal that the
    // script no longer fitted, kept aside.
    DWORD Open(LPCSTR lpszPath);
    // Changes not committed are dropped; the file keeps what it holds.
    int Close();
    // Reads the file again, dropping changes not committed.
    void Reload();

    // Byte offsets of template n's section in the text: from the start of its
    // header line up to the next section's line or the end. start = end =
    // GetLength() when absent.
    int FindTemplateSection(int nIndex, DWORD& dwStart, DWORD& dwEnd);

    // 0 = read into pData. 1 = not read; *pdwType and *pdwSize still report
    // the value when it was found but pData is null or its dwDataSize bytes
    // cannot hold it. Strings are copied without a terminator.
    int ReadValue(int nIndex, LPCSTR lpszName, DWORD* pdwType, LPVOID pData, DWORD dwDataSize, DWORD* pdwSize);

    // dwSize: bytes, or characters for REG_SZ. 0 = written; 1 = nothing
    // written (null argument, no memory, a type other than REG_DWORD, REG_SZ,
    // REG_BINARY and REG_MULTI_SZ, a name holding a quote or a line break,
    // text holding a line break, or a line longer than MAX_LINE_CHARS with
    // its CR LF).
    int WriteValue(int nIndex, LPCSTR lpszName, DWORD dwType, LPCVOID pData, DWORD dwSize);

    int TemplateSectionExists(int nIndex);
    // 0 = header appended; 1 = nothing appended (no memory).
    int AppendTemplateSection(int nIndex);
    // 0 = cut out, or absent: the header, values and blank lines go, comment
    // lines stay. 1 = nothing done (no memory).
    int DeleteTemplateSection(int nIndex);
    int ListTemplateSections(WORD& wMask);

    // Changes after BeginTrans stay in the text until CommitTrans writes them
    // all; Rollback, Close or destruction drop them. A CommitTrans that throws
    // has put the file back as it was and dropped the changes.
    void BeginTrans();
    void CommitTrans();
    void Rollback();

    // Of the file's bytes as last read or written: equal fingerprints, equal
    // scripts. Never 0.
    ULONGLONG GetFingerprint() const { return m_qwFingerprint; }
    // Where Open moved a journal left by a save that was cut short before
    // the script was changed by another hand; "" when it moved none.
    LPCSTR SetAsideJournal() const { return m_journal.SetAsidePath(); }

    enum {
        MAX_LINE_CHARS = codec::MAX_LINE_CHARS,
        MAX_HEADER_CHARS = codec::MAX_HEADER_CHARS,
    };

    // What Open made of the path: the device name (PCI6406), the driver's
    // (VQX6406S), the bus, and the text every template header of the board
    // begins with, up to the template number.
    LPCSTR GetDevice() const { return m_szDevice; }
    LPCSTR GetDriverName() const { return m_szDriverName; }
    int GetBusKind() const { return m_nBusKind; }
    LPCSTR GetSectionKey() const { return m_szSectionKey; }

    // The text as the document holds it, GetLength() bytes and a zero byte:
    // the file's bytes with the changes not landed yet. Null before Open, after
    // Close, and once a failed save has left the file matching no text.
    LPCSTR GetText() const { return m_pText; }
    DWORD GetLength() const { return m_dwLength; }
    // Whether the text holds changes that have not reached the file.
    BOOL HasPendingChanges() const { return m_pSavedText != nullptr; }
    BOOL InTransaction() const { return m_bInTrans; }

    // The script, held open without sharing from Open to Close.
    const CFile& GetFile() const { return m_file; }
    // Why Open failed, naming the file concerned: the script or its journal.
    const CFileException& GetFileError() const { return m_fileError; }
    // Opened for reading only: the script may not be written (its mode, a
    // read-only disk); a change is refused with ERROR_WRITE_PROTECT.
    BOOL IsReadOnly() const { return m_bReadOnly; }

    // With FALSE, changes land without the journal: the changed bytes are
    // written over the script in place, so a save cut short leaves it half
    // written. What the journal costs is measured so.
    void SetJournaled(BOOL bJournaled) { m_journal.SetEnabled(bJournaled); }

private:
    char m_szDevice[20];
    char m_szDriverName[20];
    int m_nBusKind;
    char m_szSectionKey[256];
    CFile m_file;
    CFileException m_fileError;
    DWORD m_dwLength;
    char* m_pText;
    // The section of template m_nCachedIndex (-1 for none) in the text.
    int m_nCachedIndex;
    DWORD m_dwSectionStart;
    DWORD m_dwSectionEnd;
    // The file's own bytes while the text holds changes not yet written; the
    // text is then a working copy with room for m_dwCapacity bytes.
    char* m_pSavedText;
    DWORD m_dwSavedLength;
    DWORD m_dwCapacity;
    BOOL m_bInTrans;
    BOOL m_bReadOnly;
    ULONGLONG m_qwFingerprint;
    CScriptJournal m_journal;
    // Where the first header line of each template of the table begins, and
    // the line after it; kept through changes, so that a large script is
    // searched once rather than once per lookup.
    enum { INDEXED_TEMPLATES = 16 };
    DWORD m_adwHeaderStart[INDEXED_TEMPLATES];
    DWORD m_adwHeaderNext[INDEXED_TEMPLATES];
    BOOL m_bHeadersIndexed;

    BOOL ReadText();
    void FreeText();
    void DropChanges();
    void UpdateCachedSection(int nIndex);
    BOOL FindHeader(int nIndex, DWORD& dwStart, DWORD& dwNext);
    void IndexHeaders();
    void IndexHeadersIn(DWORD dwFrom, DWORD dwTo);
    void MoveHeaders(DWORD dwFrom, DWORD dwTo, DWORD cbNew);
    DWORD NextSection(DWORD dwFrom) const;
    int Splice(DWORD dwFrom, DWORD dwTo, const char* pPrefix, const char* pNew, DWORD cbNew, const char* pSuffix,
               BOOL bWithinSection);
    void WriteChanges();
};
