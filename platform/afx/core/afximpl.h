#pragma once
// What each backend supplies to the shared class library.
#include <string>
#include "afxwin.h"

// The module whose resources hold the dialogs, and its file name without
// folder and extension (the class library's default caption).
HINSTANCE AfxImplLibraryInstance();
LPCTSTR AfxImplLibraryName();

// The text of a tree item, however long.
CString AfxGetTreeItemText(HWND hWndTree, HTREEITEM hItem);

// The dialog's control nIDC for DDX_Control to bind to rControl (whose class
// says what kind of control it is); NULL when there is none.
HWND AfxImplPrepareControl(HWND hDlg, int nIDC, const CWnd& rControl);
