#pragma once
// The class library's file classes: CFile over an operating-system file and
// CFileException for its failures. Same names, flags and 32-bit shapes as the
// class library the configuration library was designed on; failures of an open
// file are thrown as CFileException* (allocated, the catcher calls Delete()).
#include "afx_types.h"

class CException {
public:
    explicit CException(BOOL bAutoDelete = TRUE) : m_bAutoDelete(bAutoDelete) {}
    virtual ~CException() {}

    // Frees an exception that was thrown by pointer; one that lives elsewhere
    // (constructed with bAutoDelete FALSE) survives.
    void Delete();

    BOOL m_bAutoDelete;
};

class CFileException : public CException {
public:
    enum {
        none,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile,
    };

    explicit CFileException(int cause = none, LONG lOsError = -1, LPCTSTR lpszArchiveName = nullptr);

    void SetFileName(LPCTSTR lpszFileName);

    static int OsErrorToException(LONG lOsError);
    [[noreturn]] static void ThrowOsError(LONG lOsError, LPCTSTR lpszFileName = nullptr);

    int m_cause;
    LONG m_lOsError;
    // A fixed buffer where the class library holds a string object; it reads
    // the same through LPCTSTR. Longer names are cut to fit.
    TCHAR m_strFileName[MAX_PATH];
};

[[noreturn]] void AfxThrowFileException(int cause, LONG lOsError = -1, LPCTSTR lpszFileName = nullptr);

class CFile {
public:
    enum OpenFlags {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };
    enum SeekPosition { begin = 0x0, current = 0x1, end = 0x2 };
    static const UINT_PTR hFileNull;

    CFile();
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens without throwing: FALSE, the thread's last error and, when given,
    // *pError describe a failure. shareCompat and shareExclusive share the file
    // with no other opener in any process; shareDenyNone shares it with other
    // shareDenyNone openers. Child processes never inherit the file.
    virtual BOOL Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError = nullptr);
    virtual void Close();
    // Closes ignoring errors; for clean-up paths that must not throw.
    virtual void Abort();

    virtual DWORD GetLength() const;
    virtual DWORD GetPosition() const;
    virtual LONG Seek(LONG lOff, UINT nFrom);
    DWORD SeekToEnd() { return static_cast<DWORD>(Seek(0, end)); }
    void SeekToBegin() { Seek(0, begin); }
    // Reads up to nCount bytes; fewer only at the end of the file.
    virtual UINT Read(void* lpBuf, UINT nCount);
    virtual void Write(const void* lpBuf, UINT nCount);
    // Moves the position to dwNewLen and ends the file there.
    virtual void SetLength(DWORD dwNewLen);
    // Puts everything written so far on the disk.
    virtual void Flush();

    // Deletes a file that no one holds open; throws on failure.
    static void Remove(LPCTSTR lpszFileName);
    // Renames a file; throws on failure, and when the new name is taken:
    // nothing is ever replaced.
    static void Rename(LPCTSTR lpszOldName, LPCTSTR lpszNewName);

    // Not the class library's, for a file that will hold a copy of another's
    // bytes: creates lpszFileName as a new file, open as modeReadWrite |
    // shareExclusive opens, failing with ERROR_FILE_EXISTS when the name is
    // taken by anything, a symbolic link included, and gives it no more
    // access than model's file has (on Windows the folder's, as for any new file).
    BOOL CreateNewLike(LPCTSTR lpszFileName, const CFile& model, CFileException* pError = nullptr);
    // Not the class library's: whether lpszFileName still leads to this open
    // file, and not to one another program has put in its place. Throws on
    // failure.
    BOOL IsNamed(LPCTSTR lpszFileName) const;

    UINT_PTR m_hFile;
    TCHAR m_strFileName[MAX_PATH];

private:
    [[noreturn]] void ThrowError(DWORD dwOsError) const;
    BOOL Opened(LPCTSTR lpszFileName, DWORD dwError, UINT_PTR hFile, CFileException* pError);
};
