// Push buttons and static controls, each feature for a dialog behaviour:
// - a click sends BN_CLICKED to the parent: Add, Remove, Save and Close.
// - the default push button tells the dialog manager: Enter is Save.
// - a static control is a window with a text: the device page's features.
#include "hl_window.h"

namespace hl {
namespace {

struct Button {
    explicit Button(HWND) {}
    bool pressed = false;
};

}  // namespace

LRESULT CALLBACK ButtonProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Button* button = ControlState<Button>(hWnd, Msg);
    if (button == NULL || Msg == WM_NCCREATE) return DefWindowProcA(hWnd, Msg, wParam, lParam);
    switch (Msg) {
    case WM_GETDLGCODE:
        return (Find(hWnd)->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON ? DLGC_DEFPUSHBUTTON : 0;
    case WM_LBUTTONDOWN:
        SetFocus(hWnd);
        if ((button = ControlOf<Button>(hWnd)) != NULL) button->pressed = true;
        return 0;
    case WM_LBUTTONUP:
        if (button->pressed) {
            button->pressed = false;
            NotifyCommand(hWnd, BN_CLICKED);
        }
        return 0;
    default:
        return DefWindowProcA(hWnd, Msg, wParam, lParam);
    }
}

LRESULT CALLBACK StaticProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hWnd, Msg, wParam, lParam);
}

}  // namespace hl
