#include <cstring>
#include "afxcmn.h"
#include "afximpl.h"

namespace {

TVITEM ItemRequest(HTREEITEM hItem, UINT nMask) {
    TVITEM item;
    memset(&item, 0, sizeof(item));
    item.hItem = hItem;
    item.mask = nMask;
    return item;
}

}  // namespace

HTREEITEM CTreeCtrl::InsertItem(UINT nMask, LPCTSTR lpszItem, int nImage, int nSelectedImage, UINT nState,
                                UINT nStateMask, LPARAM lParam, HTREEITEM hParent, HTREEITEM hInsertAfter) {
    TVINSERTSTRUCT tvis;
    memset(&tvis, 0, sizeof(tvis));
    tvis.hParent = hParent;
    tvis.hInsertAfter = hInsertAfter;
    tvis.item.mask = nMask;
    tvis.item.pszText = const_cast<LPTSTR>(lpszItem);
    tvis.item.iImage = nImage;
    tvis.item.iSelectedImage = nSelectedImage;
    tvis.item.state = nState;
    tvis.item.stateMask = nStateMask;
    tvis.item.lParam = lParam;
    return InsertItem(&tvis);
}

// Grows the buffer until the text fits, as the class library does.
CString AfxGetTreeItemText(HWND hWndTree, HTREEITEM hItem) {
    TVITEM item = ItemRequest(hItem, TVIF_TEXT);
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

BOOL CTreeCtrl::SetItemText(HTREEITEM hItem, LPCTSTR lpszItem) {
    TVITEM item = ItemRequest(hItem, TVIF_TEXT);
    item.pszText = const_cast<LPTSTR>(lpszItem);
    return SetItem(&item);
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM hItem) const {
    TVITEM item = ItemRequest(hItem, TVIF_PARAM);
    GetItem(&item);
    return (DWORD_PTR)item.lParam;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM hItem, DWORD_PTR dwData) {
    TVITEM item = ItemRequest(hItem, TVIF_PARAM);
    item.lParam = (LPARAM)dwData;
    return SetItem(&item);
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM hItem) const {
    TVITEM item = ItemRequest(hItem, TVIF_CHILDREN);
    GetItem(&item);
    return item.cChildren != 0;
}

LONG CTabCtrl::InsertItem(int nItem, LPCTSTR lpszItem) {
    TCITEM item;
    memset(&item, 0, sizeof(item));
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPTSTR>(lpszItem);
    return InsertItem(nItem, &item);
}

void CComboBox::GetLBText(int nIndex, CString& rString) const {
    int nLength = GetLBTextLen(nIndex);
    if (nLength == CB_ERR) {
        rString.Empty();
        return;
    }
    GetLBText(nIndex, rString.GetBufferSetLength(nLength));
    rString.ReleaseBuffer();
}
