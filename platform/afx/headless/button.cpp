// Push buttons and static controls.
#include "hl_window.h"

namespace hl {
namespace {

struct Button {
    explicit Button(HWND) {}
    bool pressed = false;
    int check = 0;
};

}  // namespace

LRESULT CALLBACK ButtonProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Button* button = ControlState<Button>(hWnd, Msg);
    if (button == NULL || Msg == WM_NCCREATE) return DefWindowProcA(hWnd, Msg, wParam, lParam);
    Window* window = Find(hWnd);
    switch (Msg) {
    case WM_GETDLGCODE:
        if ((window->style & BS_TYPEMASK) == BS_GROUPBOX) return DLGC_STATIC;
        if ((window->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case WM_LBUTTONDOWN:
        SetFocus(hWnd);
        if ((button = ControlOf<Button>(hWnd)) != NULL) button->pressed = true;
        return 0;
    case WM_LBUTTONUP:
        // Released over the button: BN_CLICKED to the parent.
        if (button->pressed) {
            button->pressed = false;
            NotifyCommand(hWnd, BN_CLICKED);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE) button->pressed = true;
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && button->pressed) {
            button->pressed = false;
            NotifyCommand(hWnd, BN_CLICKED);
        }
        return 0;
    case WM_KILLFOCUS:
        button->pressed = false;
        return 0;
    case BM_CLICK:
        SendMessageA(hWnd, WM_LBUTTONDOWN, 0, 0);
        SendMessageA(hWnd, WM_LBUTTONUP, 0, 0);
        return 0;
    case BM_GETCHECK:
        return button->check;
    case BM_SETCHECK:
        button->check = (int)wParam;
        return 0;
    case BM_SETSTYLE:
        window->style = (window->style & ~BS_TYPEMASK) | (wParam & BS_TYPEMASK);
        return 0;
    default:
        return DefWindowProcA(hWnd, Msg, wParam, lParam);
    }
}

LRESULT CALLBACK StaticProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (Msg == WM_GETDLGCODE) return DLGC_STATIC;
    return DefWindowProcA(hWnd, Msg, wParam, lParam);
}

}  // namespace hl
