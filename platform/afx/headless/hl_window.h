#pragma once
// The headless window manager: windows in memory, with the Win32 rules for
// messages, creation and destruction order, visibility, activation and focus
// that the configuration dialogs meet. It exists for the dialog tests (the
// tools work on the template store, not on a dialog); what serves only the
// tests' person says so.
#include <string>
#include <vector>
#include "afx_winuser.h"

namespace hl {

struct Window {
    HWND hwnd;
    std::string className;
    WNDPROC proc;
    DWORD style;
    DWORD exStyle;
    UINT_PTR id;
    HWND parent;                 // of a child window
    std::vector<HWND> children;  // creation order, which is also tab order
    RECT rect;                   // child: in the parent's client area; top-level: on the screen
    std::string text;
    HINSTANCE hInstance;
    std::vector<unsigned char> extra;  // the class's window bytes
    void* control;                     // a control's state, owned by its class procedure
    bool destroying;

    // Dialog manager
    bool isDialog;
    bool ended;
    INT_PTR result;
    HWND savedFocus;
};

// Copies as much of text as fits in capacity characters with the
// terminator; returns how many it copied.
size_t CopyText(const std::string& text, LPSTR buffer, size_t capacity);

// The live window, or NULL.
Window* Find(HWND hWnd);
HWND TopLevel(HWND hWnd);
bool IsTopLevel(const Window& window);
// Shown and enabled together with every ancestor: a person can use it.
bool Reachable(HWND hWnd);

// Client area size: the window less its client edge.
SIZE ClientSize(const Window& window);

// WM_NOTIFY from a control to its parent; hdr's header is filled in.
LRESULT Notify(HWND hWndControl, UINT code, NMHDR* hdr);
LRESULT NotifySimple(HWND hWndControl, UINT code);
// WM_COMMAND with a notification code from a control to its parent.
void NotifyCommand(HWND hWndControl, UINT code);

// The active window was hidden or destroyed: the most recent other one
// that can be active takes over.
void ActivateOther(HWND hWnd);

// The dialog manager's part of the window's destruction and end.
bool DialogEnded(HWND hDlg);

// The control state a class procedure keeps on its window.
template <class T>
T* ControlOf(HWND hWnd) {
    Window* window = Find(hWnd);
    return window != NULL ? static_cast<T*>(window->control) : NULL;
}

// For a class procedure: the state, made at WM_NCCREATE and freed at
// WM_NCDESTROY (NULL then, and before WM_NCCREATE).
template <class T>
T* ControlState(HWND hWnd, UINT Msg) {
    Window* window = Find(hWnd);
    if (window == NULL) return NULL;
    if (Msg == WM_NCCREATE && window->control == NULL) window->control = new T(hWnd);
    T* state = static_cast<T*>(window->control);
    if (Msg == WM_NCDESTROY) {
        delete state;
        window->control = NULL;
        return NULL;
    }
    return state;
}

// Built-in class procedures.
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TabControlProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TreeViewProc(HWND, UINT, WPARAM, LPARAM);

// A person's actions that need a control's inside knowledge, for the dialog
// tests' person (tests/afx/testing).
bool ComboChoose(HWND hWndCombo, int nIndex);
bool TabClick(HWND hWndTab, int nIndex);
// Whether the item is in the rows the tree shows; its label's centre.
bool TreeItemShown(HWND hWndTree, HTREEITEM hItem, POINT* label, POINT* button);

}  // namespace hl

// The person answers a box (its caption and text given) and works a modal
// dialog until it ends (person.cpp). C names: test aids replace them with
// the linker's --wrap.
extern "C" int AfxHeadlessAnswerMessageBox(HWND hWndOwner, LPCSTR lpszText, LPCSTR lpszCaption, UINT nType);
extern "C" void AfxHeadlessWorkModalDialog(HWND hDlg, UINT nIDTemplate);
