#include <cstring>
#include "afxcmn.h"
#include "afximpl.h"

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR lpszItem, HTREEITEM hParent, HTREEITEM hInsertAfter) {
    TVINSERTSTRUCT tvis;
    memset(&tvis, 0, sizeof(tvis));
    tvis.hParent = hParent;
    tvis.hInsertAfter = hInsertAfter;
    tvis.item.mask = TVIF_TEXT;
    tvis.item.pszText = const_cast<LPTSTR>(lpszItem);
    return (HTREEITEM)::SendMessage(m_hWnd, TVM_INSERTITEM, 0, (LPARAM)&tvis);
}

// Grows the buffer until the text fits, as the class library does.
CString AfxGetTreeItemText(HWND hWndTree, HTREEITEM hItem) {
    TVITEM item;
    memset(&item, 0, sizeof(item));
    item.hItem = hItem;
    item.mask = TVIF_TEXT;
    CString str;
    int nLength = 128;
    int nResult;
    do {
        nLength *= 2;
        item.pszText = str.GetBufferSetLength(nLength);
        item.cchTextMax = nLength;
        ::SendMessage(hWndTree, TVM_GETITEM, 0, (LPARAM)&item);
        nResult = (int)strlen(item.pszText);
    } while (nResult == nLength - 1);
    str.ReleaseBuffer();
    return str;
}

CString CTreeCtrl::GetItemText(HTREEITEM hItem) const { return AfxGetTreeItemText(m_hWnd, hItem); }

LONG CTabCtrl::InsertItem(int nItem, LPCTSTR lpszItem) {
    TCITEM item;
    memset(&item, 0, sizeof(item));
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPTSTR>(lpszItem);
    return (LONG)::SendMessage(m_hWnd, TCM_INSERTITEM, nItem, (LPARAM)&item);
}
