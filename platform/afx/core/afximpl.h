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

// Whether a modal dialog the person was given has ended (hidden or gone).
bool AfxImplDialogEnded(HWND hDlg);
// The window that owns a message box given hWnd as its owner.
HWND AfxImplBoxOwner(HWND hWnd);

// ---- What the shared library offers the backends -----------------------

// 'message box "text" (caption "caption", MB_OKCANCEL)'.
std::string AfxDescribeMessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nType);
