// The dialog manager, each feature for a dialog behaviour:
// - dialogs hidden until WM_INITDIALOG has run: the main dialog makes its pages there.
// - the first tab stop focused after WM_INITDIALOG: the dialog opens on "DeviceTemplate".
// - focus kept over hiding and deactivation: the tree has it again after the About box.
// - EndDialog hiding a modeless dialog: Close hides the main dialog.
// - the modal loop, worked by the person: the About box.
// - Enter, Escape and Tab (IsDialogMessage): Enter is Save, Escape is Close.
#include "hl_window.h"

namespace {

using hl::Find;
using hl::Window;

HWND CreateDialogWindow(HINSTANCE hInstance, const DLGTEMPLATE* lpTemplate, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam, bool bModal) {
    // Without a template a dialog with a parent is a child page, one without
    // is a pop-up; either is hidden until shown. Nothing is laid out from a
    // dialog's size: the host or the dialog itself sets it.
    DWORD style = hWndParent != NULL && !bModal ? WS_CHILD : (WS_POPUP | WS_CAPTION | DS_MODALFRAME);
    if (lpTemplate != NULL) style = lpTemplate->style;
    HWND hDlg = CreateWindowExA(0, WC_DIALOG, "", style & ~WS_VISIBLE, 0, 0, 0, 0, hWndParent, NULL, hInstance, NULL);
    if (hDlg == NULL) return NULL;
    Find(hDlg)->isDialog = true;
    SetWindowLongPtrA(hDlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(lpDialogFunc));

    // WM_INITDIALOG comes before the dialog is shown; TRUE asks for the
    // focus on the first tab stop (a pop-up without one takes it itself).
    HWND hWndFocus = GetNextDlgTabItem(hDlg, NULL, FALSE);
    LRESULT lInit = SendMessageA(hDlg, WM_INITDIALOG, (WPARAM)hWndFocus, dwInitParam);
    if (Find(hDlg) != NULL && lInit) {
        hWndFocus = GetNextDlgTabItem(hDlg, NULL, FALSE);
        if (hWndFocus != NULL)
            SetFocus(hWndFocus);
        else if (!(style & WS_CHILD))
            SetFocus(hDlg);
    }
    if (Find(hDlg) != NULL && (style & WS_VISIBLE) && !(Find(hDlg)->style & WS_VISIBLE)) ShowWindow(hDlg, SW_SHOWNORMAL);
    return Find(hDlg) != NULL ? hDlg : NULL;
}

void CollectTabStops(HWND hWndParent, std::vector<HWND>& stops) {
    Window* parent = Find(hWndParent);
    if (parent == NULL) return;
    for (HWND hWndChild : parent->children) {
        const Window* child = Find(hWndChild);
        if (child == NULL || (child->style & (WS_VISIBLE | WS_DISABLED)) != WS_VISIBLE) continue;
        if (child->style & WS_TABSTOP) stops.push_back(hWndChild);
    }
}

HWND FindDefaultButton(HWND hDlg) {
    Window* window = Find(hDlg);
    for (HWND hWndChild : window->children) {
        const Window* child = Find(hWndChild);
        if (child->className == WC_BUTTONA && (child->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return hWndChild;
    }
    return NULL;
}

// The focus the dialog had when it was last deactivated or hidden, back on
// its control; on WM_SETFOCUS, failing that, its first tab stop.
void RestoreFocus(HWND hDlg, bool bJustActivated) {
    Window* window = Find(hDlg);
    if (window->ended) return;
    HWND hWndFocus = window->savedFocus;
    if (Find(hWndFocus) == NULL || hWndFocus == hDlg) {
        if (bJustActivated) return;
        hWndFocus = GetNextDlgTabItem(hDlg, NULL, FALSE);
        if (hWndFocus == NULL) hWndFocus = hDlg;
    }
    window->savedFocus = NULL;
    if (hWndFocus != hDlg) SetFocus(hWndFocus);
}

void SaveFocus(HWND hDlg) {
    HWND hWndFocus = GetFocus();
    if (hWndFocus != NULL && IsChild(hDlg, hWndFocus)) Find(hDlg)->savedFocus = hWndFocus;
}

void SendCommand(HWND hDlg, int nID, HWND hWndControl) {
    SendMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nID, BN_CLICKED), (LPARAM)hWndControl);
}

}  // namespace

namespace hl {

bool DialogEnded(HWND hDlg) {
    Window* window = Find(hDlg);
    return window == NULL || window->ended;
}

}  // namespace hl

extern "C" HWND CreateDialogParamA(HINSTANCE hInstance, LPCSTR, HWND hWndParent, DLGPROC lpDialogFunc,
                                   LPARAM dwInitParam) {
    return CreateDialogWindow(hInstance, NULL, hWndParent, lpDialogFunc, dwInitParam, false);
}

extern "C" HWND CreateDialogIndirectParamA(HINSTANCE hInstance, LPCDLGTEMPLATEA lpTemplate, HWND hWndParent,
                                           DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    if (lpTemplate == NULL || lpTemplate->cdit != 0) return NULL;  // controls come from DDX_Control only
    return CreateDialogWindow(hInstance, lpTemplate, hWndParent, lpDialogFunc, dwInitParam, false);
}

extern "C" INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                                   DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    // The About box has no owner, so none is disabled while it runs.
    UINT nID = IS_INTRESOURCE(lpTemplateName) ? LOWORD(lpTemplateName) : 0;
    HWND hDlg = CreateDialogWindow(hInstance, NULL, hWndParent, lpDialogFunc, dwInitParam, true);
    if (hDlg == NULL) return -1;
    // The modal loop: shown unless ended during WM_INITDIALOG, then worked
    // by the person until EndDialog.
    if (!hl::DialogEnded(hDlg) && !(Find(hDlg)->style & WS_VISIBLE)) ShowWindow(hDlg, SW_SHOWNORMAL);
    if (!hl::DialogEnded(hDlg)) AfxHeadlessWorkModalDialog(hDlg, nID);
    if (!hl::DialogEnded(hDlg)) EndDialog(hDlg, IDCANCEL);  // left open: the answerer reports it
    INT_PTR nResult = Find(hDlg) != NULL ? Find(hDlg)->result : 0;
    if (IsWindow(hDlg)) DestroyWindow(hDlg);
    return nResult;
}

// A modeless dialog that ends is hidden, not destroyed.
extern "C" BOOL EndDialog(HWND hDlg, INT_PTR nResult) {
    Window* window = Find(hDlg);
    if (window == NULL || !window->isDialog) return FALSE;
    window->result = nResult;
    window->ended = true;
    if (IsChild(hDlg, GetFocus())) SetFocus(hDlg);
    if ((window = Find(hDlg)) == NULL) return TRUE;
    window->style &= ~WS_VISIBLE;
    if (hl::IsTopLevel(*window)) hl::ActivateOther(hDlg);
    return TRUE;
}

extern "C" LRESULT DefDlgProcA(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (Find(hDlg) == NULL) return 0;
    SetWindowLongPtrA(hDlg, DWLP_MSGRESULT, 0);
    DLGPROC lpDialogFunc = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(hDlg, DWLP_DLGPROC));
    INT_PTR nHandled = lpDialogFunc != NULL ? lpDialogFunc(hDlg, Msg, wParam, lParam) : FALSE;
    if (nHandled || Find(hDlg) == NULL) {
        if (Msg == WM_INITDIALOG) return nHandled;
        return GetWindowLongPtrA(hDlg, DWLP_MSGRESULT);
    }
    switch (Msg) {
    case WM_INITDIALOG:
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE)
            RestoreFocus(hDlg, true);
        else
            SaveFocus(hDlg);
        return 0;
    case WM_SETFOCUS:
        RestoreFocus(hDlg, false);
        return 0;
    case WM_SHOWWINDOW:
        if (!wParam) SaveFocus(hDlg);
        return 0;
    case DM_GETDEFID: {
        HWND hWndDefault = FindDefaultButton(hDlg);
        return hWndDefault != NULL ? MAKELONG(GetDlgCtrlID(hWndDefault), DC_HASDEFID) : 0;
    }
    default:
        return DefWindowProcA(hDlg, Msg, wParam, lParam);
    }
}

extern "C" HWND GetNextDlgTabItem(HWND hDlg, HWND hCtl, BOOL bPrevious) {
    std::vector<HWND> stops;
    CollectTabStops(hDlg, stops);
    if (stops.empty()) return NULL;
    size_t index = 0;
    for (; index < stops.size() && stops[index] != hCtl; ++index) {
    }
    if (index == stops.size()) return bPrevious ? stops.back() : stops.front();
    if (bPrevious) return stops[(index + stops.size() - 1) % stops.size()];
    return stops[(index + 1) % stops.size()];
}

// Tab, Enter and Escape belong to the dialog (none of its controls asks for
// them); everything else goes on to the control.
extern "C" BOOL IsDialogMessageA(HWND hDlg, LPMSG lpMsg) {
    if (Find(hDlg) == NULL || lpMsg == NULL || (lpMsg->hwnd != hDlg && !IsChild(hDlg, lpMsg->hwnd))) return FALSE;
    if (lpMsg->message == WM_KEYDOWN) {
        switch (lpMsg->wParam) {
        case VK_TAB: {
            HWND hWndNext = GetNextDlgTabItem(hDlg, GetFocus(), FALSE);
            if (hWndNext != NULL) SetFocus(hWndNext);
            return TRUE;
        }
        case VK_RETURN: {
            HWND hWndFocus = GetFocus();
            if (IsChild(hDlg, hWndFocus) && (SendMessageA(hWndFocus, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON)) {
                SendCommand(hDlg, GetDlgCtrlID(hWndFocus), hWndFocus);
            } else {
                LRESULT defId = SendMessageA(hDlg, DM_GETDEFID, 0, 0);
                if (HIWORD(defId) == DC_HASDEFID) {
                    HWND hWndDefault = GetDlgItem(hDlg, LOWORD(defId));
                    if (hWndDefault == NULL || IsWindowEnabled(hWndDefault))
                        SendCommand(hDlg, LOWORD(defId), hWndDefault);
                } else {
                    SendMessageA(hDlg, WM_COMMAND, IDOK, (LPARAM)GetDlgItem(hDlg, IDOK));
                }
            }
            return TRUE;
        }
        case VK_ESCAPE:
            SendMessageA(hDlg, WM_COMMAND, IDCANCEL, (LPARAM)GetDlgItem(hDlg, IDCANCEL));
            return TRUE;
        default:
            break;
        }
    }
    SendMessageA(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
    return TRUE;
}
