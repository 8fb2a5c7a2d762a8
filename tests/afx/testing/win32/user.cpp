// The person's actions on real controls: the mouse and key messages that a
// person's input brings, at the places a person would click. They work from
// the dialog's own thread and from a helper thread that answers a modal loop:
// a control makes its own focus and capture changes when its thread handles
// the messages.
#include <windows.h>

#include <cstring>

#include "afx_user.h"
#include "afximpl.h"

namespace {

LPARAM At(POINT point) { return MAKELPARAM(point.x, point.y); }

POINT Centre(const RECT& rect) { return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2}; }

bool OnOwnThread(HWND hWnd) { return GetWindowThreadProcessId(hWnd, NULL) == GetCurrentThreadId(); }

// Shown and enabled together with every ancestor: a person can use it.
bool Reachable(HWND hWnd) {
    if (!IsWindow(hWnd) || !IsWindowVisible(hWnd)) return false;
    for (HWND h = hWnd; h != NULL; h = (GetWindowLongPtrA(h, GWL_STYLE) & WS_CHILD) ? GetParent(h) : NULL) {
        if (!IsWindowEnabled(h)) return false;
    }
    return true;
}

void Click(HWND hWnd, POINT point) {
    SendMessageA(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, At(point));
    if (IsWindow(hWnd)) SendMessageA(hWnd, WM_LBUTTONUP, 0, At(point));
}

// A tree follows the mouse in a loop of its own from the button going down
// until it comes up, so the release is queued first.
void ClickTracked(HWND hWnd, POINT point) {
    PostMessageA(hWnd, WM_LBUTTONUP, 0, At(point));
    SendMessageA(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, At(point));
    MSG msg;
    if (OnOwnThread(hWnd)) PeekMessageA(&msg, hWnd, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE);  // when it was not
}

// The item's label, when its row is among those the tree shows.
bool TreeLabel(HWND hWndTree, HTREEITEM hItem, RECT* pLabel) {
    if (hItem == NULL) return false;
    RECT rect;
    std::memcpy(&rect, &hItem, sizeof hItem);  // TVM_GETITEMRECT takes the item in the rectangle
    if (!SendMessageA(hWndTree, TVM_GETITEMRECT, TRUE, (LPARAM)&rect)) return false;
    RECT client;
    GetClientRect(hWndTree, &client);
    if (rect.top < client.top || rect.bottom > client.bottom) return false;
    *pLabel = rect;
    return true;
}

BOOL CALLBACK FindProgramFocus(HWND hWnd, LPARAM lParam) {
    DWORD dwProcess = 0;
    DWORD dwThread = GetWindowThreadProcessId(hWnd, &dwProcess);
    GUITHREADINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (dwProcess != GetCurrentProcessId() || !GetGUIThreadInfo(dwThread, &info) || info.hwndActive == NULL)
        return TRUE;
    *reinterpret_cast<HWND*>(lParam) = info.hwndFocus != NULL ? info.hwndFocus : info.hwndActive;
    return FALSE;
}

// The focus a key goes to: this thread's, else that of this program's thread
// that has an active window. Other programs share the screen and its input.
HWND KeyTarget() {
    if (HWND hWnd = GetFocus()) return hWnd;
    if (HWND hWnd = GetActiveWindow()) return hWnd;
    HWND hWndTarget = NULL;
    EnumWindows(FindProgramFocus, reinterpret_cast<LPARAM>(&hWndTarget));
    return hWndTarget;
}

bool IsDialogWindow(HWND hWnd) {
    char szClass[16] = "";
    return GetClassNameA(hWnd, szClass, sizeof szClass) > 0 && std::strcmp(szClass, "#32770") == 0;
}

// A key reaches the focus through the dialog manager of its dialog, as a
// host's message loop hands it on; on another thread, that loop does.
void DeliverKey(HWND hWndTarget, UINT nMsg, UINT nVirtKey, LPARAM lParam) {
    if (!OnOwnThread(hWndTarget)) {
        PostMessageA(hWndTarget, nMsg, nVirtKey, lParam);
        return;
    }
    MSG msg = {hWndTarget, nMsg, nVirtKey, lParam, (DWORD)GetMessageTime(), {0, 0}};
    HWND hWndTop = GetAncestor(hWndTarget, GA_ROOT);
    if (IsDialogWindow(hWndTop) && IsDialogMessageA(hWndTop, &msg)) return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

}  // namespace

BOOL CUser::ClickButton(HWND hWndButton) {
    if (!Reachable(hWndButton)) return FALSE;
    Click(hWndButton, {1, 1});
    return TRUE;
}

BOOL CUser::ClickDlgButton(HWND hDlg, int nIDButton) { return ClickButton(GetDlgItem(hDlg, nIDButton)); }

// A click opens the list; a click on the item picks it and closes the list.
BOOL CUser::ChooseComboItem(HWND hWndCombo, int nIndex) {
    if (!Reachable(hWndCombo) || nIndex < 0 || nIndex >= (int)SendMessageA(hWndCombo, CB_GETCOUNT, 0, 0)) return FALSE;
    RECT rect;
    GetClientRect(hWndCombo, &rect);
    Click(hWndCombo, Centre(rect));
    COMBOBOXINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (!GetComboBoxInfo(hWndCombo, &info) || !IsWindowVisible(info.hwndList)) return FALSE;
    SendMessageA(info.hwndList, LB_SETTOPINDEX, nIndex, 0);  // scrolled to, as a person would
    if (SendMessageA(info.hwndList, LB_GETITEMRECT, nIndex, (LPARAM)&rect) == LB_ERR) return FALSE;
    POINT point = Centre(rect);
    SendMessageA(info.hwndList, WM_MOUSEMOVE, 0, At(point));
    Click(info.hwndList, point);
    return TRUE;
}

BOOL CUser::ClickTreeItem(HWND hWndTree, HTREEITEM hItem) {
    RECT label;
    if (!Reachable(hWndTree) || !TreeLabel(hWndTree, hItem, &label)) return FALSE;
    ClickTracked(hWndTree, Centre(label));
    return TRUE;
}

// The expand button stands left of the label, where the tree's own hit test
// says it is.
BOOL CUser::ClickTreeButton(HWND hWndTree, HTREEITEM hItem) {
    RECT label;
    if (!Reachable(hWndTree) || !TreeLabel(hWndTree, hItem, &label)) return FALSE;
    TVHITTESTINFO hit;
    std::memset(&hit, 0, sizeof hit);
    for (hit.pt = {label.left - 1, Centre(label).y}; hit.pt.x >= 0; --hit.pt.x) {
        if (SendMessageA(hWndTree, TVM_HITTEST, 0, (LPARAM)&hit) == (LRESULT)hItem && (hit.flags & TVHT_ONITEMBUTTON)) {
            Click(hWndTree, hit.pt);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CUser::ScrollTree(HWND hWndTree, int nLines) {
    if (!Reachable(hWndTree)) return FALSE;
    for (; nLines != 0 && IsWindow(hWndTree); nLines += nLines > 0 ? -1 : 1)
        SendMessageA(hWndTree, WM_VSCROLL, nLines > 0 ? SB_LINEDOWN : SB_LINEUP, 0);
    return TRUE;
}

BOOL CUser::ClickTab(HWND hWndTab, int nIndex) {
    RECT rect;
    if (!Reachable(hWndTab) || !SendMessageA(hWndTab, TCM_GETITEMRECT, nIndex, (LPARAM)&rect)) return FALSE;
    Click(hWndTab, Centre(rect));
    return TRUE;
}

BOOL CUser::PressKey(UINT nVirtKey) {
    HWND hWndTarget = KeyTarget();
    if (hWndTarget == NULL) return FALSE;
    DeliverKey(hWndTarget, WM_KEYDOWN, nVirtKey, 1);
    if (IsWindow(hWndTarget)) DeliverKey(hWndTarget, WM_KEYUP, nVirtKey, (LPARAM)0xC0000001);
    return TRUE;
}
