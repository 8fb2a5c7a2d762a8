#pragma once
// CRegScript: one board's .reg registry script, opened exclusively, its whole
// text held in memory and edited as text. A document serves one load, save,
// removal or listing of the template store: construct, Open, operations,
// Close, destroy.
//
// The script is usually a person's file, of which the board's templates are a
// small part, so an edit touches only the lines it means to change:
// - lines end in CR LF, LF or CR; a line the document adds ends the way the
//   script's first line does (CR LF in a script without any);
// - a comment line is one whose first non-blank character is ";": never a
//   header, never a value, never removed;
// - a section runs from its header line to the next line whose first
//   non-blank character is "["; a template's header is the board's key, the
//   template number and "]", in any letter case, as the registry compares keys;
// - a value line begins with its own name in quotes, then "=" (in any case).
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
    // m_fileError naming the file. A script that may not be written opens
    // for reading (m_bReadOnly). SetAsideJournal() names a journal that the
    // script no longer fitted, kept aside.
    DWORD Open(LPCSTR lpszPath);
    // Changes not committed are dropped; the file keeps what it holds.
    int Close();
    // Reads the file again, dropping changes not committed.
    void Reload();

    // Byte offsets of template n's section in the text: from the start of its
    // header line up to the next section's line or the end. start = end =
    // m_dwLength when absent.
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
        MAX_LINE_CHARS = 255,  // a value line, CR LF included
        MAX_HEADER_CHARS = 255,
    };

    // Attributes
    char m_szDevice[20];
    char m_szDriverName[20];
    int m_nBusKind;
    char m_szSectionKey[256];
    CFile m_file;
    CFileException m_fileError;
    DWORD m_dwLength;
    char* m_pText;
    int m_nCachedIndex;
    DWORD m_dwSectionStart;
    DWORD m_dwSectionEnd;
    // The file's own bytes while the text holds changes not yet written; the
    // text is then a working copy with room for m_dwCapacity bytes.
    char* m_pSavedText;
    DWORD m_dwSavedLength;
    DWORD m_dwCapacity;
    BOOL m_bInTrans;
    // Opened for reading only: the script may not be written (its mode, a
    // read-only disk); a change is refused with ERROR_WRITE_PROTECT.
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

private:
    BOOL ReadText();
    void FreeText();
    void DropChanges();
    void UpdateCachedSection(int nIndex);
    BOOL FindHeader(int nIndex, DWORD& dwStart, DWORD& dwNext);
    void IndexHeaders();
    void IndexHeadersIn(DWORD dwFrom, DWORD dwTo);
    void MoveHeaders(DWORD dwFrom, DWORD dwTo, DWORD cbNew);
    DWORD NextSection(DWORD dwFrom) const;
    const char* LineEnd() const;
    int Splice(DWORD dwFrom, DWORD dwTo, const char* pPrefix, const char* pNew, DWORD cbNew, const char* pSuffix,
               BOOL bWithinSection);
    void WriteChanges();
};
