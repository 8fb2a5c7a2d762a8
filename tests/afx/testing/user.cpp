// The person's actions that only pick what to act on, the same on both
// backends; the acts themselves are each backend's.
#include <cstring>
#include <string>
#include "afx_user.h"
#include "afximpl.h"

BOOL CUser::ChooseComboText(HWND hWndCombo, LPCSTR lpszText) {
    int nCount = (int)SendMessageA(hWndCombo, CB_GETCOUNT, 0, 0);
    for (int nIndex = 0; nIndex < nCount; ++nIndex) {
        int nLength = (int)SendMessageA(hWndCombo, CB_GETLBTEXTLEN, nIndex, 0);
        std::string text(nLength > 0 ? nLength + 1 : 1, '\0');
        SendMessageA(hWndCombo, CB_GETLBTEXT, nIndex, (LPARAM)&text[0]);
        if (std::strcmp(text.c_str(), lpszText) == 0) return ChooseComboItem(hWndCombo, nIndex);
    }
    return FALSE;
}

BOOL CUser::ClickTreeText(HWND hWndTree, LPCSTR lpszText) {
    int nRows = (int)SendMessageA(hWndTree, TVM_GETVISIBLECOUNT, 0, 0);
    HTREEITEM hItem = (HTREEITEM)SendMessageA(hWndTree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0);
    for (int nRow = 0; hItem != NULL && nRow < nRows; ++nRow) {
        if (AfxGetTreeItemText(hWndTree, hItem) == lpszText) return ClickTreeItem(hWndTree, hItem);
        hItem = (HTREEITEM)SendMessageA(hWndTree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, (LPARAM)hItem);
    }
    return FALSE;
}
