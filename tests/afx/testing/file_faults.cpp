// Fault injection for CFile: the linker sends CFile's calls of its
// operating-system side here (--wrap, see CMakeLists.txt), so each fault
// point is one operating-system primitive, failing as the system would.
#include "afx_file_os.h"
#include "fault_internal.h"

extern "C" {

DWORD __real_AfxOsOpen(LPCSTR lpszFileName, UINT nOpenFlags, UINT_PTR* phFile);
DWORD __real_AfxOsGetLength(UINT_PTR hFile, DWORD* pdwLength);
DWORD __real_AfxOsSeek(UINT_PTR hFile, LONG lOff, UINT nFrom, DWORD* pdwNewPos);
DWORD __real_AfxOsRead(UINT_PTR hFile, void* lpBuf, UINT nCount, UINT* pnRead);
DWORD __real_AfxOsWrite(UINT_PTR hFile, const void* lpBuf, UINT nCount);
DWORD __real_AfxOsSetEndOfFile(UINT_PTR hFile);
DWORD __real_AfxOsFlush(UINT_PTR hFile);
DWORD __real_AfxOsRemove(LPCSTR lpszFileName);
DWORD __real_AfxOsCreateNewLike(LPCSTR lpszFileName, UINT_PTR hModel, UINT_PTR* phFile);
DWORD __real_AfxOsRename(LPCSTR lpszOldName, LPCSTR lpszNewName);

DWORD __wrap_AfxOsOpen(LPCSTR lpszFileName, UINT nOpenFlags, UINT_PTR* phFile) {
    DWORD dwError;
    return AfxFaultFires(AFX_FAULT_OPEN, &dwError, nullptr) ? dwError
                                                            : __real_AfxOsOpen(lpszFileName, nOpenFlags, phFile);
}

DWORD __wrap_AfxOsGetLength(UINT_PTR hFile, DWORD* pdwLength) {
    DWORD dwError;
    return AfxFaultFires(AFX_FAULT_LENGTH, &dwError, nullptr) ? dwError : __real_AfxOsGetLength(hFile, pdwLength);
}

DWORD __wrap_AfxOsSeek(UINT_PTR hFile, LONG lOff, UINT nFrom, DWORD* pdwNewPos) {
    DWORD dwError;
    return AfxFaultFires(AFX_FAULT_SEEK, &dwError, nullptr) ? dwError
                                                            : __real_AfxOsSeek(hFile, lOff, nFrom, pdwNewPos);
}

DWORD __wrap_AfxOsRead(UINT_PTR hFile, void* lpBuf, UINT nCount, UINT* pnRead) {
    DWORD dwError;
    return AfxFaultFires(AFX_FAULT_READ, &dwError, nullptr) ? dwError
                                                            : __real_AfxOsRead(hFile, lpBuf, nCount, pnRead);
}

// A disk that fills up in the middle of a write takes the first bytes.
DWORD __wrap_AfxOsWrite(UINT_PTR hFile, const void* lpBuf, UINT nCount) {
    DWORD dwError;
    UINT cbPartial = 0;
    if (!AfxFaultFires(AFX_FAULT_WRITE, &dwError, &cbPartial)) return __real_AfxOsWrite(hFile, lpBuf, nCount);
    if (cbPartial) __real_AfxOsWrite(hFile, lpBuf, cbPartial < nCount ? cbPartial : nCount);
    return dwError;
}

DWORD __wrap_AfxOsSetEndOfFile(UINT_PTR hFile) {
    DWORD dwError;
    return AfxFaultFires(AFX_FAULT_SET_LENGTH, &dwError, nullptr) ? dwError : __real_AfxOsSetEndOfFile(hFile);
}

DWORD __wrap_AfxOsFlush(UINT_PTR hFile) {
    DWORD dwError;
    return AfxFaultFires(AFX_FAULT_FLUSH, &dwError, nullptr) ? dwError : __real_AfxOsFlush(hFile);
}

DWORD __wrap_AfxOsRemove(LPCSTR lpszFileName) {
    DWORD dwError;
    return AfxFaultFires(AFX_FAULT_REMOVE, &dwError, nullptr) ? dwError : __real_AfxOsRemove(lpszFileName);
}

// Creating a file is opening one.
DWORD __wrap_AfxOsCreateNewLike(LPCSTR lpszFileName, UINT_PTR hModel, UINT_PTR* phFile) {
    DWORD dwError;
    return AfxFaultFires(AFX_FAULT_OPEN, &dwError, nullptr) ? dwError
                                                            : __real_AfxOsCreateNewLike(lpszFileName, hModel, phFile);
}

DWORD __wrap_AfxOsRename(LPCSTR lpszOldName, LPCSTR lpszNewName) {
    DWORD dwError;
    return AfxFaultFires(AFX_FAULT_RENAME, &dwError, nullptr) ? dwError : __real_AfxOsRename(lpszOldName, lpszNewName);
}

}  // extern "C"
