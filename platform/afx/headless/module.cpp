// Modules and the controls DDX_Control makes, each for a dialog behaviour:
// - the library's module apart from the program's: the dialogs' templates (AFX_MANAGE_STATE).
// - the module's name: the caption of the dialogs' message boxes.
// - controls with their templates' styles: the tree's 18 rows, Save as the default button.
#include <errno.h>
#include <string>
#include "afxcmn.h"
#include "../core/afximpl.h"
#include "hl_window.h"

namespace {

// Stand-ins for the host program's and the library's module handles, so a
// test can tell whose resources a dialog was created from.
HINSTANCE const kProgramInstance = (HINSTANCE)0x00400000;
HINSTANCE const kLibraryInstance = (HINSTANCE)0x10000000;

// The tree of the main dialog's template (107 x 199 dialog units at 7, 9) as
// Wine 8 lays it out: its MS Sans Serif makes 4 x 8 units 6 x 12 pixels, and
// the dialog manager turns the border into a client edge, so the tree is
// 161 x 299 pixels at 11, 14 with a client area 295 pixels high: 18 rows of
// 16 pixels. That is exactly the most items the dialog holds (the root, the
// device item and 16 templates), so the tree never needs to scroll there;
// Windows' own 13-pixel font gives 19 rows.
const RECT kTreeRect = {11, 14, 11 + 161, 14 + 299};

struct ControlKind {
    LPCSTR lpszClass;
    DWORD dwStyle;
    DWORD dwExStyle;
    RECT rect;
};

// The control a bound object stands for, with the styles the dialog
// templates give that kind of control.
ControlKind KindOf(const CWnd& rControl, int nIDC) {
    if (dynamic_cast<const CTreeCtrl*>(&rControl) != NULL)
        return {WC_TREEVIEWA, (DWORD)(WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT),
                (DWORD)WS_EX_CLIENTEDGE, kTreeRect};
    if (dynamic_cast<const CTabCtrl*>(&rControl) != NULL) return {WC_TABCONTROLA, 0, 0, {0, 0, 0, 0}};
    if (dynamic_cast<const CComboBox*>(&rControl) != NULL)
        return {WC_COMBOBOXA, (DWORD)(WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST), 0, {0, 0, 0, 0}};
    if (dynamic_cast<const CButton*>(&rControl) != NULL)
        return {WC_BUTTONA, (DWORD)(WS_TABSTOP | (nIDC == IDOK ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)), 0, {0, 0, 0, 0}};
    return {WC_STATICA, (DWORD)SS_LEFT, 0, {0, 0, 0, 0}};
}

}  // namespace

extern "C" HMODULE GetModuleHandleA(LPCSTR lpModuleName) { return lpModuleName == NULL ? kProgramInstance : NULL; }

extern "C" BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) { return picce != NULL; }

HINSTANCE AfxImplLibraryInstance() { return kLibraryInstance; }

// The program's own name stands for the library's file name; a program that
// stands for the library assigns m_lpszCurrentAppName.
LPCTSTR AfxImplLibraryName() {
    static const std::string name = [] {
        std::string program = program_invocation_short_name;
        size_t dot = program.rfind('.');
        return dot == std::string::npos || dot == 0 ? program : program.substr(0, dot);
    }();
    return name.c_str();
}

// Headless dialogs have no templates: a control comes to be when code binds
// its identifier.
HWND AfxImplPrepareControl(HWND hDlg, int nIDC, const CWnd& rControl) {
    if (HWND hWndControl = GetDlgItem(hDlg, nIDC)) return hWndControl;
    ControlKind kind = KindOf(rControl, nIDC);
    return CreateWindowExA(kind.dwExStyle, kind.lpszClass, "", WS_CHILD | WS_VISIBLE | kind.dwStyle, kind.rect.left, kind.rect.top,
                           kind.rect.right - kind.rect.left, kind.rect.bottom - kind.rect.top, hDlg,
                           (HMENU)(UINT_PTR)nIDC, (HINSTANCE)GetWindowLongPtrA(hDlg, GWLP_HINSTANCE), NULL);
}
