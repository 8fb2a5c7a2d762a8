#pragma once
// What each backend's test aids supply to the shared ones.
#include "afx_winuser.h"

// Whether a modal dialog the person was given has ended (hidden or gone).
bool AfxImplDialogEnded(HWND hDlg);
// The window that owns a message box given hWnd as its owner.
HWND AfxImplBoxOwner(HWND hWnd);
