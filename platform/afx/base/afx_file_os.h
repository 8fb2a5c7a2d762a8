#pragma once
// The operating-system side of CFile, one implementation per platform. Every
// call returns 0 or a Win32 error code and never throws; CFile turns the codes
// into exceptions. C names: test programs put fault injection in front of
// them with the linker's --wrap (tests/afx/testing).
#include "afx_types.h"

extern "C" {

DWORD AfxOsOpen(LPCSTR lpszFileName, UINT nOpenFlags, UINT_PTR* phFile);
DWORD AfxOsClose(UINT_PTR hFile);
DWORD AfxOsGetLength(UINT_PTR hFile, DWORD* pdwLength);
DWORD AfxOsSeek(UINT_PTR hFile, LONG lOff, UINT nFrom, DWORD* pdwNewPos);
// Read and write move every byte asked for; a read stops early only at the end
// of the file.
DWORD AfxOsRead(UINT_PTR hFile, void* lpBuf, UINT nCount, UINT* pnRead);
DWORD AfxOsWrite(UINT_PTR hFile, const void* lpBuf, UINT nCount);
// Ends the file at the current position.
DWORD AfxOsSetEndOfFile(UINT_PTR hFile);
// Puts what was written on the disk.
DWORD AfxOsFlush(UINT_PTR hFile);
// Deletes a file no one holds open.
DWORD AfxOsRemove(LPCSTR lpszFileName);
// Creates a new file, held exclusively for reading and writing, failing when
// the name is taken by anything, a symbolic link included; it is given no
// more access than the open file hModel.
DWORD AfxOsCreateNewLike(LPCSTR lpszFileName, UINT_PTR hModel, UINT_PTR* phFile);
// Gives a file another name; a name that is taken is never replaced.
DWORD AfxOsRename(LPCSTR lpszOldName, LPCSTR lpszNewName);
// Whether the name still leads to the open file.
DWORD AfxOsNamesFile(UINT_PTR hFile, LPCSTR lpszFileName, BOOL* pbNamed);

}  // extern "C"
