// The person's actions on the headless controls. Mouse clicks arrive as the
// button messages a click produces, at the place the person would click.
#include <cstring>
#include "afx_user.h"
#include "afximpl.h"
#include "hl_window.h"

namespace {

void Click(HWND hWnd, POINT point) {
    SendMessageA(hWnd, WM_LBUTTONDOWN, 1, MAKELPARAM(point.x, point.y));
    if (IsWindow(hWnd)) SendMessageA(hWnd, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
}

// A key reaches the focus (or, with none, the active window) through the
// dialog manager of its dialog, as a host's message loop hands it on.
void DeliverKey(UINT nMsg, UINT nVirtKey, LPARAM lParam) {
    HWND hWndTarget = GetFocus();
    if (hWndTarget == NULL) hWndTarget = GetActiveWindow();
    if (hWndTarget == NULL) return;
    HWND hWndTop = hl::TopLevel(hWndTarget);
    MSG msg = {hWndTarget, nMsg, nVirtKey, lParam, 0, {0, 0}};
    const hl::Window* top = hl::Find(hWndTop);
    if (top != NULL && top->isDialog)
        IsDialogMessageA(hWndTop, &msg);
    else
        SendMessageA(hWndTarget, nMsg, nVirtKey, lParam);
}

}  // namespace

BOOL CUser::ClickButton(HWND hWndButton) {
    if (!hl::Reachable(hWndButton)) return FALSE;
    Click(hWndButton, {1, 1});
    return TRUE;
}

// Headless dialogs hold only the controls their code bound; a button that
// nothing bound is put where the person finds it, the first time it is used.
BOOL CUser::ClickDlgButton(HWND hDlg, int nIDButton) {
    HWND hWndButton = GetDlgItem(hDlg, nIDButton);
    if (hWndButton == NULL && hl::Reachable(hDlg)) {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (nIDButton == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        hWndButton = CreateWindowExA(0, WC_BUTTONA, "", style, 0, 0, 0, 0, hDlg, (HMENU)(UINT_PTR)nIDButton,
                                     (HINSTANCE)GetWindowLongPtrA(hDlg, GWLP_HINSTANCE), NULL);
    }
    return ClickButton(hWndButton);
}

BOOL CUser::ChooseComboItem(HWND hWndCombo, int nIndex) {
    return hl::Reachable(hWndCombo) && hl::ComboChoose(hWndCombo, nIndex);
}

BOOL CUser::ClickTreeItem(HWND hWndTree, HTREEITEM hItem) {
    POINT label;
    if (!hl::Reachable(hWndTree) || !hl::TreeItemShown(hWndTree, hItem, &label, NULL)) return FALSE;
    Click(hWndTree, label);
    return TRUE;
}

BOOL CUser::ClickTreeButton(HWND hWndTree, HTREEITEM hItem) {
    POINT button;
    if (!hl::Reachable(hWndTree) || !hl::TreeItemShown(hWndTree, hItem, NULL, &button)) return FALSE;
    Click(hWndTree, button);
    return TRUE;
}

BOOL CUser::ScrollTree(HWND hWndTree, int nLines) {
    if (!hl::Reachable(hWndTree)) return FALSE;
    for (; nLines != 0 && IsWindow(hWndTree); nLines += nLines > 0 ? -1 : 1)
        SendMessageA(hWndTree, WM_VSCROLL, nLines > 0 ? SB_LINEDOWN : SB_LINEUP, 0);
    return TRUE;
}

BOOL CUser::ClickTab(HWND hWndTab, int nIndex) { return hl::Reachable(hWndTab) && hl::TabClick(hWndTab, nIndex); }

BOOL CUser::PressKey(UINT nVirtKey) {
    if (GetFocus() == NULL && GetActiveWindow() == NULL) return FALSE;
    DeliverKey(WM_KEYDOWN, nVirtKey, 1);
    DeliverKey(WM_KEYUP, nVirtKey, (LPARAM)0xC0000001);
    return TRUE;
}
