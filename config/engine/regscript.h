#pragma once
// CRegScript: one board's .reg registry script, opened exclusively, its whole
// text held in memory, edited as text and written straight through to the
// file. A document serves one load, save, removal or listing of the template
// store: construct, Open, operations, Close, destroy.
//
// Failures of the file itself (length, seek, read, write, truncation) are
// thrown by the file layer as CFileException* and passed on to the caller. An
// operation that changes the file puts it back byte for byte as it was before
// it lets such a failure, or one of its own, leave.
#include <afx.h>

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

    // 0, or the operating system's error code when the file cannot be opened
    // (2 missing, 5 access denied, 32 held by another opener).
    // ERROR_BAD_PATHNAME for a path that names no device: one without
    // "Device_Drivers" and the seven characters after its separator, or
    // without any of "PCI", "PCM" and "USB".
    DWORD Open(LPCSTR lpszPath);
    int Close();
    void Reload();

    // Byte offsets of template n's section in the text: from the "[" of its
    // header up to the next "[" or the end. start = end = m_dwLength when absent.
    int FindTemplateSection(int nIndex, DWORD& dwStart, DWORD& dwEnd);

    // 0 = read into pData. 1 = not read; *pdwType and *pdwSize still report
    // the value when it was found but pData is null or its dwDataSize bytes
    // cannot hold it. Strings are copied without a terminator.
    int ReadValue(int nIndex, LPCSTR lpszName, DWORD* pdwType, LPVOID pData, DWORD dwDataSize, DWORD* pdwSize);

    // dwSize: bytes, or characters for REG_SZ. 0 = written; 1 = nothing
    // written (null argument, no memory, or a line longer than
    // MAX_LINE_CHARS with its CR LF).
    int WriteValue(int nIndex, LPCSTR lpszName, DWORD dwType, LPCVOID pData, DWORD dwSize);

    int TemplateSectionExists(int nIndex);
    // 0 = header appended; 1 = nothing appended (no memory).
    int AppendTemplateSection(int nIndex);
    // 0 = cut out, or absent; the document stays open on the shortened text.
    int DeleteTemplateSection(int nIndex);
    int ListTemplateSections(WORD& wMask);

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

private:
    BOOL ReadText();
    void FreeText();
    void UpdateCachedSection(int nIndex);
    void FormatHeaderPattern(int nIndex, char* pszPattern, size_t cchPattern) const;
    void ReplaceRange(DWORD dwFrom, DWORD dwTo, const char* pNew, DWORD cbNew);
    void RestoreFrom(DWORD dwFrom);
    int SpliceAndReload(DWORD dwFrom, DWORD dwTo, const char* pNew, DWORD cbNew);
};
