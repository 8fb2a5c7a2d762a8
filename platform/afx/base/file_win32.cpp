// CFile over Win32 handles: the share modes are CreateFile's own.
#include "afx.h"
#include "afx_file_os.h"

namespace {

HANDLE Handle(UINT_PTR hFile) { return reinterpret_cast<HANDLE>(hFile); }

DWORD LastErrorOr(DWORD dwFallback) {
    DWORD dwError = GetLastError();
    return dwError != ERROR_SUCCESS ? dwError : dwFallback;
}

}  // namespace

DWORD AfxOsOpen(LPCSTR lpszFileName, UINT nOpenFlags, UINT_PTR* phFile) {
    DWORD dwAccess;
    switch (nOpenFlags & 0x3) {
    case CFile::modeRead: dwAccess = GENERIC_READ; break;
    case CFile::modeWrite: dwAccess = GENERIC_WRITE; break;
    case CFile::modeReadWrite: dwAccess = GENERIC_READ | GENERIC_WRITE; break;
    default: return ERROR_INVALID_PARAMETER;
    }
    DWORD dwShare;
    switch (nOpenFlags & 0x70) {
    case CFile::shareCompat:
    case CFile::shareExclusive: dwShare = 0; break;
    case CFile::shareDenyNone: dwShare = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: return ERROR_INVALID_PARAMETER;
    }
    DWORD dwCreation = OPEN_EXISTING;
    if (nOpenFlags & CFile::modeCreate)
        dwCreation = (nOpenFlags & CFile::modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    HANDLE h = CreateFileA(lpszFileName, dwAccess, dwShare, nullptr, dwCreation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return LastErrorOr(ERROR_OPEN_FAILED);
    *phFile = reinterpret_cast<UINT_PTR>(h);
    return ERROR_SUCCESS;
}

DWORD AfxOsClose(UINT_PTR hFile) {
    return CloseHandle(Handle(hFile)) ? ERROR_SUCCESS : LastErrorOr(ERROR_INVALID_HANDLE);
}

DWORD AfxOsGetLength(UINT_PTR hFile, DWORD* pdwLength) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(Handle(hFile), &size)) return LastErrorOr(ERROR_READ_FAULT);
    if (size.QuadPart > 0xFFFFFFFFLL) return ERROR_FILE_TOO_LARGE;
    *pdwLength = static_cast<DWORD>(size.QuadPart);
    return ERROR_SUCCESS;
}

DWORD AfxOsSeek(UINT_PTR hFile, LONG lOff, UINT nFrom, DWORD* pdwNewPos) {
    if (nFrom > CFile::end) return ERROR_INVALID_PARAMETER;
    LARGE_INTEGER off, pos;
    off.QuadPart = lOff;
    if (!SetFilePointerEx(Handle(hFile), off, &pos, nFrom)) return LastErrorOr(ERROR_NEGATIVE_SEEK);
    if (pos.QuadPart > 0xFFFFFFFFLL) return ERROR_INVALID_PARAMETER;
    *pdwNewPos = static_cast<DWORD>(pos.QuadPart);
    return ERROR_SUCCESS;
}

DWORD AfxOsRead(UINT_PTR hFile, void* lpBuf, UINT nCount, UINT* pnRead) {
    DWORD dwRead = 0;
    if (!ReadFile(Handle(hFile), lpBuf, nCount, &dwRead, nullptr)) return LastErrorOr(ERROR_READ_FAULT);
    *pnRead = dwRead;
    return ERROR_SUCCESS;
}

DWORD AfxOsWrite(UINT_PTR hFile, const void* lpBuf, UINT nCount) {
    DWORD dwWritten = 0;
    if (!WriteFile(Handle(hFile), lpBuf, nCount, &dwWritten, nullptr)) return LastErrorOr(ERROR_WRITE_FAULT);
    return dwWritten == nCount ? ERROR_SUCCESS : ERROR_DISK_FULL;
}

DWORD AfxOsSetEndOfFile(UINT_PTR hFile) {
    return SetEndOfFile(Handle(hFile)) ? ERROR_SUCCESS : LastErrorOr(ERROR_WRITE_FAULT);
}

DWORD AfxOsFlush(UINT_PTR hFile) {
    return FlushFileBuffers(Handle(hFile)) ? ERROR_SUCCESS : LastErrorOr(ERROR_WRITE_FAULT);
}

DWORD AfxOsRemove(LPCSTR lpszFileName) {
    return DeleteFileA(lpszFileName) ? ERROR_SUCCESS : LastErrorOr(ERROR_ACCESS_DENIED);
}

// The new file takes the folder's access, as any file made there does; a
// name that is taken, by a link too, fails CREATE_NEW.
DWORD AfxOsCreateNewLike(LPCSTR lpszFileName, UINT_PTR, UINT_PTR* phFile) {
    HANDLE h = CreateFileA(lpszFileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD dwError = LastErrorOr(ERROR_OPEN_FAILED);
        return dwError == ERROR_ALREADY_EXISTS ? static_cast<DWORD>(ERROR_FILE_EXISTS) : dwError;
    }
    *phFile = reinterpret_cast<UINT_PTR>(h);
    return ERROR_SUCCESS;
}

DWORD AfxOsRename(LPCSTR lpszOldName, LPCSTR lpszNewName) {
    return MoveFileA(lpszOldName, lpszNewName) ? ERROR_SUCCESS : LastErrorOr(ERROR_ACCESS_DENIED);
}

// A file held without sharing cannot be renamed over, but the question is
// answered all the same: by the volume and the file's index. A name that
// cannot be opened for sharing leads to a file held without it, the one
// this handle holds.
DWORD AfxOsNamesFile(UINT_PTR hFile, LPCSTR lpszFileName, BOOL* pbNamed) {
    BY_HANDLE_FILE_INFORMATION open, named;
    if (!GetFileInformationByHandle(Handle(hFile), &open)) return LastErrorOr(ERROR_INVALID_HANDLE);
    HANDLE h = CreateFileA(lpszFileName, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD dwError = LastErrorOr(ERROR_ACCESS_DENIED);
        if (dwError == ERROR_SHARING_VIOLATION) {
            *pbNamed = TRUE;
            return ERROR_SUCCESS;
        }
        if (dwError != ERROR_FILE_NOT_FOUND && dwError != ERROR_PATH_NOT_FOUND) return dwError;
        *pbNamed = FALSE;
        return ERROR_SUCCESS;
    }
    const BOOL bRead = GetFileInformationByHandle(h, &named);
    const DWORD dwError = bRead ? ERROR_SUCCESS : LastErrorOr(ERROR_ACCESS_DENIED);
    CloseHandle(h);
    if (!bRead) return dwError;
    *pbNamed = open.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
               open.nFileIndexHigh == named.nFileIndexHigh && open.nFileIndexLow == named.nFileIndexLow;
    return ERROR_SUCCESS;
}
