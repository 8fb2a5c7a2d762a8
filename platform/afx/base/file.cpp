#include "afx.h"

#include <cstring>

#include "afx_file_os.h"

namespace {

void CopyName(TCHAR (&dst)[MAX_PATH], LPCTSTR src) {
    dst[0] = '\0';
    if (src) {
        std::strncpy(dst, src, MAX_PATH - 1);
        dst[MAX_PATH - 1] = '\0';
    }
}

}  // namespace

// ---- Exceptions --------------------------------------------------------

void CException::Delete() {
    if (m_bAutoDelete) delete this;
}

CFileException::CFileException(int cause, LONG lOsError, LPCTSTR lpszArchiveName)
    : m_cause(cause), m_lOsError(lOsError) {
    CopyName(m_strFileName, lpszArchiveName);
}

void CFileException::SetFileName(LPCTSTR lpszFileName) { CopyName(m_strFileName, lpszFileName); }

int CFileException::OsErrorToException(LONG lOsError) {
    switch (lOsError) {
    case ERROR_SUCCESS:
        return none;
    case ERROR_FILE_NOT_FOUND:
        return fileNotFound;
    case ERROR_WRITE_PROTECT:
        return accessDenied;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
        return accessDenied;
    case ERROR_INVALID_HANDLE:
        return invalidFile;
    case ERROR_NEGATIVE_SEEK:
        return badSeek;
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_IO_DEVICE:
        return hardIO;
    case ERROR_SHARING_VIOLATION:
        return sharingViolation;
    case ERROR_LOCK_VIOLATION:
        return lockViolation;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
        return diskFull;
    case ERROR_HANDLE_EOF:
        return endOfFile;
    default:
        return genericException;
    }
}

void CFileException::ThrowOsError(LONG lOsError, LPCTSTR lpszFileName) {
    AfxThrowFileException(OsErrorToException(lOsError), lOsError, lpszFileName);
}

void AfxThrowFileException(int cause, LONG lOsError, LPCTSTR lpszFileName) {
    throw new CFileException(cause, lOsError, lpszFileName);
}

// ---- CFile -------------------------------------------------------------

const UINT_PTR CFile::hFileNull = static_cast<UINT_PTR>(-1);

CFile::CFile() : m_hFile(hFileNull) { m_strFileName[0] = '\0'; }

CFile::~CFile() { Abort(); }

BOOL CFile::Open(LPCTSTR lpszFileName, UINT nOpenFlags, CFileException* pError) {
    UINT_PTR hFile = hFileNull;
    const DWORD dwError = m_hFile != hFileNull || !lpszFileName ? static_cast<DWORD>(ERROR_INVALID_PARAMETER)
                                                                : AfxOsOpen(lpszFileName, nOpenFlags, &hFile);
    return Opened(lpszFileName, dwError, hFile, pError);
}

BOOL CFile::CreateNewLike(LPCTSTR lpszFileName, const CFile& model, CFileException* pError) {
    UINT_PTR hFile = hFileNull;
    const DWORD dwError = m_hFile != hFileNull || model.m_hFile == hFileNull || !lpszFileName
                              ? static_cast<DWORD>(ERROR_INVALID_PARAMETER)
                              : AfxOsCreateNewLike(lpszFileName, model.m_hFile, &hFile);
    return Opened(lpszFileName, dwError, hFile, pError);
}

BOOL CFile::Opened(LPCTSTR lpszFileName, DWORD dwError, UINT_PTR hFile, CFileException* pError) {
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        if (pError) {
            pError->m_cause = CFileException::OsErrorToException(static_cast<LONG>(dwError));
            pError->m_lOsError = static_cast<LONG>(dwError);
            pError->SetFileName(lpszFileName);
        }
        return FALSE;
    }
    m_hFile = hFile;
    CopyName(m_strFileName, lpszFileName);
    return TRUE;
}

void CFile::Close() {
    if (m_hFile == hFileNull) return;
    DWORD dwError = AfxOsClose(m_hFile);
    m_hFile = hFileNull;
    if (dwError != ERROR_SUCCESS) ThrowError(dwError);  // the handle is gone all the same
    m_strFileName[0] = '\0';
}

void CFile::Abort() {
    if (m_hFile == hFileNull) return;
    AfxOsClose(m_hFile);
    m_hFile = hFileNull;
    m_strFileName[0] = '\0';
}

void CFile::ThrowError(DWORD dwOsError) const {
    SetLastError(dwOsError);
    CFileException::ThrowOsError(static_cast<LONG>(dwOsError), m_strFileName);
}

DWORD CFile::GetLength() const {
    DWORD dwError = ERROR_INVALID_HANDLE;
    DWORD dwLength = 0;
    if (m_hFile != hFileNull)
        dwError = AfxOsGetLength(m_hFile, &dwLength);
    if (dwError != ERROR_SUCCESS) ThrowError(dwError);
    return dwLength;
}

DWORD CFile::GetPosition() const {
    DWORD dwPos = 0;
    DWORD dwError = m_hFile == hFileNull ? ERROR_INVALID_HANDLE : AfxOsSeek(m_hFile, 0, current, &dwPos);
    if (dwError != ERROR_SUCCESS) ThrowError(dwError);
    return dwPos;
}

LONG CFile::Seek(LONG lOff, UINT nFrom) {
    DWORD dwError = ERROR_INVALID_HANDLE;
    DWORD dwPos = 0;
    if (m_hFile != hFileNull)
        dwError = AfxOsSeek(m_hFile, lOff, nFrom, &dwPos);
    if (dwError != ERROR_SUCCESS) ThrowError(dwError);
    return static_cast<LONG>(dwPos);
}

UINT CFile::Read(void* lpBuf, UINT nCount) {
    if (nCount == 0) return 0;
    DWORD dwError = ERROR_INVALID_HANDLE;
    UINT nRead = 0;
    if (m_hFile != hFileNull)
        dwError = AfxOsRead(m_hFile, lpBuf, nCount, &nRead);
    if (dwError != ERROR_SUCCESS) ThrowError(dwError);
    return nRead;
}

void CFile::Write(const void* lpBuf, UINT nCount) {
    if (nCount == 0) return;
    DWORD dwError = ERROR_INVALID_HANDLE;
    if (m_hFile != hFileNull) dwError = AfxOsWrite(m_hFile, lpBuf, nCount);
    if (dwError != ERROR_SUCCESS) ThrowError(dwError);
}

void CFile::SetLength(DWORD dwNewLen) {
    DWORD dwError = ERROR_INVALID_HANDLE;
    if (m_hFile != hFileNull) {
        DWORD dwPos = 0;
        dwError = AfxOsSeek(m_hFile, static_cast<LONG>(dwNewLen), begin, &dwPos);
        if (dwError == ERROR_SUCCESS) dwError = AfxOsSetEndOfFile(m_hFile);
    }
    if (dwError != ERROR_SUCCESS) ThrowError(dwError);
}

void CFile::Flush() {
    DWORD dwError = ERROR_INVALID_HANDLE;
    if (m_hFile != hFileNull) dwError = AfxOsFlush(m_hFile);
    if (dwError != ERROR_SUCCESS) ThrowError(dwError);
}

void CFile::Remove(LPCTSTR lpszFileName) {
    DWORD dwError = ERROR_INVALID_PARAMETER;
    if (lpszFileName) dwError = AfxOsRemove(lpszFileName);
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        CFileException::ThrowOsError(static_cast<LONG>(dwError), lpszFileName);
    }
}

void CFile::Rename(LPCTSTR lpszOldName, LPCTSTR lpszNewName) {
    DWORD dwError = ERROR_INVALID_PARAMETER;
    if (lpszOldName && lpszNewName) dwError = AfxOsRename(lpszOldName, lpszNewName);
    if (dwError != ERROR_SUCCESS) {
        SetLastError(dwError);
        CFileException::ThrowOsError(static_cast<LONG>(dwError), lpszOldName);
    }
}

BOOL CFile::IsNamed(LPCTSTR lpszFileName) const {
    BOOL bNamed = FALSE;
    DWORD dwError = ERROR_INVALID_HANDLE;
    if (m_hFile != hFileNull) dwError = lpszFileName ? AfxOsNamesFile(m_hFile, lpszFileName, &bNamed)
                                                     : static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    if (dwError != ERROR_SUCCESS) ThrowError(dwError);
    return bNamed;
}
