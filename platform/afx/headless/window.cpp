// Windows in memory, each feature for a dialog behaviour:
// - creation, WM_NCCREATE to WM_SIZE: DDX_Control makes the controls; the tree sizes its rows.
// - WM_DESTROY parents first, WM_NCDESTROY children first: OnDestroy saves from the tree.
// - visibility and activation order: Close hides the dialog; the About box hands it back.
// - focus, WM_SETFOCUS and WM_KILLFOCUS: the tree's first selection; Save, disabled, drops it.
// - a control's client edge: the main dialog's tree shows 18 rows, every template.
// - window texts: the device page's feature text.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <strings.h>
#include "hl_window.h"

namespace hl {
namespace {

struct WindowClass {
    std::string name;
    WNDPROC proc;
    int cbWndExtra;
};

const char kDialogClass[] = "#32770";

std::vector<WindowClass>& Classes() {
    static std::vector<WindowClass>* pClasses = new std::vector<WindowClass>{
        {WC_BUTTONA, ButtonProc, 0},
        {WC_STATICA, StaticProc, 0},
        {WC_COMBOBOXA, ComboBoxProc, 0},
        {WC_TABCONTROLA, TabControlProc, 0},
        {WC_TREEVIEWA, TreeViewProc, 0},
        {kDialogClass, DefDlgProcA, DLGWINDOWEXTRA},
    };
    return *pClasses;
}

const ULONG_PTR kFirstClassAtom = 0xC000;

const WindowClass* FindClass(LPCSTR lpClassName) {
    if (lpClassName == WC_DIALOG) lpClassName = kDialogClass;
    if (IS_INTRESOURCE(lpClassName)) return NULL;
    for (const WindowClass& cls : Classes()) {
        if (strcasecmp(cls.name.c_str(), lpClassName) == 0) return &cls;
    }
    return NULL;
}

// Leaked on purpose: windows may outlive static destruction.
std::map<HWND, std::unique_ptr<Window>>& Windows() {
    static std::map<HWND, std::unique_ptr<Window>>* pWindows = new std::map<HWND, std::unique_ptr<Window>>;
    return *pWindows;
}

// Handles are never reused, so a stale one stays invalid.
uintptr_t g_nextHandle = 0x10010;
HWND g_hWndFocus = NULL;
HWND g_hWndActive = NULL;
std::vector<HWND> g_activationOrder;  // least recently active first

// The only frame the dialogs' layout meets: the tree's sunken edge.
int BorderWidth(const Window& window) { return (window.exStyle & WS_EX_CLIENTEDGE) ? 2 : 0; }

// The client area's top-left corner on the screen.
POINT ClientOrigin(const Window& window) {
    POINT origin = {window.rect.left + BorderWidth(window), window.rect.top + BorderWidth(window)};
    if (!IsTopLevel(window)) {
        if (const Window* parent = Find(window.parent)) {
            POINT base = ClientOrigin(*parent);
            origin.x += base.x;
            origin.y += base.y;
        }
    }
    return origin;
}

void SendSize(HWND hWnd) {
    Window* window = Find(hWnd);
    if (window == NULL) return;
    SIZE client = ClientSize(*window);
    SendMessageA(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.cx, client.cy));
}

bool CanBeActive(HWND hWnd) {
    const Window* window = Find(hWnd);
    return window != NULL && IsTopLevel(*window) && !window->destroying && (window->style & WS_VISIBLE) &&
           !(window->style & WS_DISABLED);
}

void SetFocusWindow(HWND hWnd) {
    HWND hWndPrevious = g_hWndFocus;
    if (hWndPrevious == hWnd) return;
    g_hWndFocus = hWnd;
    if (hWndPrevious != NULL && Find(hWndPrevious)) SendMessageA(hWndPrevious, WM_KILLFOCUS, (WPARAM)hWnd, 0);
    if (hWnd != NULL && g_hWndFocus == hWnd && Find(hWnd)) SendMessageA(hWnd, WM_SETFOCUS, (WPARAM)hWndPrevious, 0);
}

void SendDestroy(HWND hWnd) {
    if (g_hWndFocus == hWnd) SetFocusWindow(NULL);
    SendMessageA(hWnd, WM_DESTROY, 0, 0);
    Window* window = Find(hWnd);
    if (window == NULL) return;
    std::vector<HWND> children = window->children;
    for (HWND hWndChild : children) {
        if (Find(hWndChild) != NULL) SendDestroy(hWndChild);
    }
}

void SendNcDestroyAndFree(HWND hWnd) {
    Window* window = Find(hWnd);
    if (window == NULL) return;
    std::vector<HWND> children = window->children;
    for (HWND hWndChild : children) SendNcDestroyAndFree(hWndChild);
    SendMessageA(hWnd, WM_NCDESTROY, 0, 0);
    if ((window = Find(hWnd)) == NULL) return;
    if (Window* parent = Find(window->parent)) {
        std::vector<HWND>& siblings = parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), hWnd), siblings.end());
    }
    g_activationOrder.erase(std::remove(g_activationOrder.begin(), g_activationOrder.end(), hWnd),
                            g_activationOrder.end());
    if (g_hWndFocus == hWnd) g_hWndFocus = NULL;
    if (g_hWndActive == hWnd) g_hWndActive = NULL;
    Windows().erase(hWnd);
}

}  // namespace

size_t CopyText(const std::string& text, LPSTR buffer, size_t capacity) {
    if (buffer == NULL || capacity == 0) return 0;
    size_t count = std::min(text.size(), capacity - 1);
    memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return count;
}

Window* Find(HWND hWnd) {
    if (hWnd == NULL) return NULL;
    std::map<HWND, std::unique_ptr<Window>>::iterator it = Windows().find(hWnd);
    return it != Windows().end() ? it->second.get() : NULL;
}

bool IsTopLevel(const Window& window) { return !(window.style & WS_CHILD); }

HWND TopLevel(HWND hWnd) {
    Window* window = Find(hWnd);
    while (window != NULL && !IsTopLevel(*window)) {
        Window* parent = Find(window->parent);
        if (parent == NULL) break;
        window = parent;
    }
    return window != NULL ? window->hwnd : NULL;
}

bool Reachable(HWND hWnd) {
    for (Window* window = Find(hWnd); window != NULL; window = Find(window->parent)) {
        if (!(window->style & WS_VISIBLE) || (window->style & WS_DISABLED) || window->destroying) return false;
        if (IsTopLevel(*window)) return true;
    }
    return false;
}

SIZE ClientSize(const Window& window) {
    int border = BorderWidth(window);
    SIZE size = {window.rect.right - window.rect.left - 2 * border, window.rect.bottom - window.rect.top - 2 * border};
    if (size.cx < 0) size.cx = 0;
    if (size.cy < 0) size.cy = 0;
    return size;
}

LRESULT Notify(HWND hWndControl, UINT code, NMHDR* hdr) {
    Window* window = Find(hWndControl);
    if (window == NULL) return 0;
    hdr->hwndFrom = hWndControl;
    hdr->idFrom = window->id;
    hdr->code = code;
    return SendMessageA(window->parent, WM_NOTIFY, window->id, (LPARAM)hdr);
}

LRESULT NotifySimple(HWND hWndControl, UINT code) {
    NMHDR hdr;
    return Notify(hWndControl, code, &hdr);
}

void NotifyCommand(HWND hWndControl, UINT code) {
    Window* window = Find(hWndControl);
    if (window == NULL) return;
    SendMessageA(window->parent, WM_COMMAND, MAKEWPARAM(window->id, code), (LPARAM)hWndControl);
}

void Activate(HWND hWnd, bool bSetFocus) {
    if (hWnd == g_hWndActive) return;
    HWND hWndPrevious = g_hWndActive;
    g_hWndActive = hWnd;
    if (hWnd != NULL) {
        g_activationOrder.erase(std::remove(g_activationOrder.begin(), g_activationOrder.end(), hWnd),
                                g_activationOrder.end());
        g_activationOrder.push_back(hWnd);
    }
    if (hWndPrevious != NULL && Find(hWndPrevious))
        SendMessageA(hWndPrevious, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), (LPARAM)hWnd);
    if (hWnd != NULL && g_hWndActive == hWnd && Find(hWnd))
        SendMessageA(hWnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), (LPARAM)hWndPrevious);
    if (!bSetFocus || g_hWndActive != hWnd) return;
    // The focus belongs to the active window; a window activated with the
    // focus elsewhere takes it itself (a dialog then passes it on).
    if (hWnd == NULL)
        SetFocusWindow(NULL);
    else if (g_hWndFocus == NULL || TopLevel(g_hWndFocus) != hWnd)
        SetFocusWindow(hWnd);
}

void ActivateOther(HWND hWnd) {
    if (g_hWndActive != hWnd) return;
    for (std::vector<HWND>::reverse_iterator it = g_activationOrder.rbegin(); it != g_activationOrder.rend(); ++it) {
        if (*it != hWnd && CanBeActive(*it)) {
            Activate(*it, true);
            return;
        }
    }
    Activate(NULL, true);
}

}  // namespace hl

using hl::Find;
using hl::Window;

// ---- Classes and creation ----------------------------------------------

extern "C" ATOM RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (lpWndClass == NULL || lpWndClass->lpszClassName == NULL || lpWndClass->lpfnWndProc == NULL) return 0;
    if (hl::FindClass(lpWndClass->lpszClassName) != NULL) return 0;
    std::vector<hl::WindowClass>& classes = hl::Classes();
    classes.push_back({lpWndClass->lpszClassName, lpWndClass->lpfnWndProc, lpWndClass->cbWndExtra});
    return (ATOM)(hl::kFirstClassAtom + classes.size() - 1);
}

extern "C" HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                                int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                                LPVOID lpParam) {
    const hl::WindowClass* cls = hl::FindClass(lpClassName);
    if (cls == NULL) return NULL;
    if ((dwStyle & WS_CHILD) && Find(hWndParent) == NULL) return NULL;
    if (X == CW_USEDEFAULT) X = Y = 0;
    if (nWidth == CW_USEDEFAULT) {
        nWidth = 640;
        nHeight = 480;
    }

    std::unique_ptr<Window> window(new Window());
    HWND hWnd = (HWND)hl::g_nextHandle;
    hl::g_nextHandle += 4;
    window->hwnd = hWnd;
    window->className = cls->name;
    window->proc = cls->proc;
    // Shown only once created, as Win32 does.
    window->style = dwStyle & ~WS_VISIBLE;
    window->exStyle = dwExStyle;
    window->rect = {X, Y, X + nWidth, Y + nHeight};
    window->hInstance = hInstance;
    window->extra.assign(cls->cbWndExtra, 0);
    if (dwStyle & WS_CHILD) {
        window->parent = hWndParent;
        window->id = (UINT_PTR)hMenu;
        Find(hWndParent)->children.push_back(hWnd);
    }
    hl::Windows()[hWnd] = std::move(window);

    CREATESTRUCTA cs = {lpParam, hInstance, hMenu, hWndParent, nHeight, nWidth, Y, X, (LONG)dwStyle,
                        lpWindowName, lpClassName, dwExStyle};
    if (!SendMessageA(hWnd, WM_NCCREATE, 0, (LPARAM)&cs) || SendMessageA(hWnd, WM_CREATE, 0, (LPARAM)&cs) == -1) {
        DestroyWindow(hWnd);
        return NULL;
    }
    hl::SendSize(hWnd);
    if ((dwStyle & WS_VISIBLE) && Find(hWnd) != NULL) ShowWindow(hWnd, SW_SHOW);
    return Find(hWnd) != NULL ? hWnd : NULL;
}

// WM_DESTROY reaches the window and then its children, parents before
// children, and WM_NCDESTROY the children before their parent, which is
// where self-owned objects delete themselves. The dialogs own no windows.
extern "C" BOOL DestroyWindow(HWND hWnd) {
    Window* window = Find(hWnd);
    if (window == NULL || window->destroying) return FALSE;
    window->destroying = true;
    if (window->style & WS_VISIBLE) ShowWindow(hWnd, SW_HIDE);
    if (hl::g_hWndFocus != NULL && (hl::g_hWndFocus == hWnd || IsChild(hWnd, hl::g_hWndFocus)))
        hl::SetFocusWindow(NULL);
    hl::SendDestroy(hWnd);
    if ((window = Find(hWnd)) != NULL && window->isDialog && !window->ended) window->ended = true;
    hl::SendNcDestroyAndFree(hWnd);
    return TRUE;
}

extern "C" BOOL IsWindow(HWND hWnd) { return Find(hWnd) != NULL; }

extern "C" BOOL IsChild(HWND hWndParent, HWND hWnd) {
    for (Window* window = Find(hWnd); window != NULL && !hl::IsTopLevel(*window); window = Find(window->parent)) {
        if (window->parent == hWndParent) return TRUE;
    }
    return FALSE;
}

extern "C" HWND GetParent(HWND hWnd) {
    Window* window = Find(hWnd);
    return window != NULL && !hl::IsTopLevel(*window) ? window->parent : NULL;
}

// The walk over a dialog's controls: its first child, and each one's next.
extern "C" HWND GetWindow(HWND hWnd, UINT uCmd) {
    Window* window = Find(hWnd);
    if (window == NULL) return NULL;
    if (uCmd == GW_CHILD) return window->children.empty() ? NULL : window->children.front();
    Window* parent = hl::IsTopLevel(*window) ? NULL : Find(window->parent);
    if (uCmd != GW_HWNDNEXT || parent == NULL) return NULL;
    const std::vector<HWND>& siblings = parent->children;
    std::vector<HWND>::const_iterator it = std::find(siblings.begin(), siblings.end(), hWnd);
    return it + 1 != siblings.end() ? *(it + 1) : NULL;
}

extern "C" HWND GetDlgItem(HWND hDlg, int nIDDlgItem) {
    Window* window = Find(hDlg);
    if (window == NULL) return NULL;
    for (HWND hWndChild : window->children) {
        if (Find(hWndChild)->id == (UINT_PTR)(UINT)nIDDlgItem) return hWndChild;
    }
    return NULL;
}

extern "C" int GetDlgCtrlID(HWND hWnd) {
    Window* window = Find(hWnd);
    return window != NULL && !hl::IsTopLevel(*window) ? (int)window->id : 0;
}

// ---- Messages ----------------------------------------------------------

extern "C" LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* window = Find(hWnd);
    if (window == NULL || window->proc == NULL) return 0;
    return window->proc(hWnd, Msg, wParam, lParam);
}

extern "C" LRESULT CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return lpPrevWndFunc != NULL ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

extern "C" LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Window* window = Find(hWnd);
    if (window == NULL) return 0;
    switch (Msg) {
    case WM_NCCREATE: {
        const CREATESTRUCTA* cs = (const CREATESTRUCTA*)lParam;
        if (cs != NULL && cs->lpszName != NULL && !IS_INTRESOURCE(cs->lpszName)) window->text = cs->lpszName;
        return TRUE;
    }
    case WM_SETTEXT:
        window->text = lParam != 0 ? (LPCSTR)lParam : "";
        return TRUE;
    case WM_GETTEXT:
        return (LRESULT)hl::CopyText(window->text, (LPSTR)lParam, wParam);
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) SetFocus(hWnd);
        return 0;
    default:
        return 0;
    }
}

extern "C" LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex) {
    Window* window = Find(hWnd);
    if (window == NULL) return 0;
    switch (nIndex) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(window->hInstance);
    case GWL_STYLE:
        return (LONG_PTR)(LONG)window->style;
    default:
        break;
    }
    if (nIndex < 0 || (size_t)nIndex + sizeof(LONG_PTR) > window->extra.size()) return 0;
    LONG_PTR value;
    memcpy(&value, &window->extra[nIndex], sizeof(value));
    return value;
}

// Subclassing, and the dialog manager's window bytes.
extern "C" LONG_PTR SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    Window* window = Find(hWnd);
    if (window == NULL) return 0;
    LONG_PTR previous = GetWindowLongPtrA(hWnd, nIndex);
    if (nIndex == GWLP_WNDPROC) {
        window->proc = reinterpret_cast<WNDPROC>(dwNewLong);
        return previous;
    }
    if (nIndex < 0 || (size_t)nIndex + sizeof(LONG_PTR) > window->extra.size()) return 0;
    memcpy(&window->extra[nIndex], &dwNewLong, sizeof(dwNewLong));
    return previous;
}

// ---- Visibility, enabling, geometry and text ---------------------------

extern "C" BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    Window* window = Find(hWnd);
    if (window == NULL) return FALSE;
    bool wasVisible = (window->style & WS_VISIBLE) != 0;
    if (nCmdShow == SW_HIDE) {
        if (!wasVisible) return FALSE;
        SendMessageA(hWnd, WM_SHOWWINDOW, FALSE, 0);
        if ((window = Find(hWnd)) == NULL) return TRUE;
        // A hidden child keeps the focus it holds; a hidden top-level window
        // passes the activation on.
        window->style &= ~WS_VISIBLE;
        if (hl::IsTopLevel(*window)) hl::ActivateOther(hWnd);
        return TRUE;
    }
    if (!wasVisible) {
        SendMessageA(hWnd, WM_SHOWWINDOW, TRUE, 0);
        if ((window = Find(hWnd)) == NULL) return FALSE;
        window->style |= WS_VISIBLE;
    }
    if (hl::IsTopLevel(*window) && !(window->style & WS_DISABLED)) hl::Activate(hWnd, true);
    return wasVisible;
}

extern "C" BOOL IsWindowVisible(HWND hWnd) {
    for (Window* window = Find(hWnd); window != NULL; window = Find(window->parent)) {
        if (!(window->style & WS_VISIBLE)) return FALSE;
        if (hl::IsTopLevel(*window)) return TRUE;
    }
    return FALSE;
}

extern "C" BOOL EnableWindow(HWND hWnd, BOOL bEnable) {
    Window* window = Find(hWnd);
    if (window == NULL) return FALSE;
    bool wasDisabled = (window->style & WS_DISABLED) != 0;
    if (bEnable && wasDisabled) {
        window->style &= ~WS_DISABLED;
    } else if (!bEnable && !wasDisabled) {
        window->style |= WS_DISABLED;
        if (hl::g_hWndFocus == hWnd) SetFocus(NULL);  // a disabled window cannot keep the focus
    }
    return wasDisabled;
}

extern "C" BOOL IsWindowEnabled(HWND hWnd) {
    Window* window = Find(hWnd);
    return window != NULL && !(window->style & WS_DISABLED);
}

extern "C" BOOL MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL) {
    Window* window = Find(hWnd);
    if (window == NULL) return FALSE;
    window->rect = {X, Y, X + nWidth, Y + nHeight};
    hl::SendSize(hWnd);
    return TRUE;
}

extern "C" BOOL GetWindowRect(HWND hWnd, LPRECT lpRect) {
    Window* window = Find(hWnd);
    if (window == NULL || lpRect == NULL) return FALSE;
    *lpRect = window->rect;
    if (!hl::IsTopLevel(*window)) {
        if (Window* parent = Find(window->parent)) {
            POINT origin = hl::ClientOrigin(*parent);
            lpRect->left += origin.x;
            lpRect->right += origin.x;
            lpRect->top += origin.y;
            lpRect->bottom += origin.y;
        }
    }
    return TRUE;
}

extern "C" BOOL GetClientRect(HWND hWnd, LPRECT lpRect) {
    Window* window = Find(hWnd);
    if (window == NULL || lpRect == NULL) return FALSE;
    SIZE size = hl::ClientSize(*window);
    *lpRect = {0, 0, size.cx, size.cy};
    return TRUE;
}

extern "C" BOOL ScreenToClient(HWND hWnd, LPPOINT lpPoint) {
    Window* window = Find(hWnd);
    if (window == NULL || lpPoint == NULL) return FALSE;
    POINT origin = hl::ClientOrigin(*window);
    lpPoint->x -= origin.x;
    lpPoint->y -= origin.y;
    return TRUE;
}

extern "C" BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    return Find(hWnd) != NULL && SendMessageA(hWnd, WM_SETTEXT, 0, (LPARAM)lpString) != 0;
}

extern "C" int GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    if (lpString == NULL || nMaxCount <= 0) return 0;
    lpString[0] = '\0';
    return (int)SendMessageA(hWnd, WM_GETTEXT, nMaxCount, (LPARAM)lpString);
}

// ---- Focus and activation ----------------------------------------------

extern "C" HWND SetFocus(HWND hWnd) {
    HWND hWndPrevious = hl::g_hWndFocus;
    if (hWnd == NULL) {
        hl::SetFocusWindow(NULL);
        return hWndPrevious;
    }
    if (Find(hWnd) == NULL) return NULL;
    if (hWnd == hWndPrevious) return hWndPrevious;
    // Neither the window nor any ancestor may be disabled.
    for (Window* window = Find(hWnd); window != NULL; window = Find(window->parent)) {
        if (window->style & WS_DISABLED) return NULL;
        if (hl::IsTopLevel(*window)) break;
    }
    HWND hWndTop = hl::TopLevel(hWnd);
    if (hWndTop != hl::g_hWndActive) {
        hl::Activate(hWndTop, false);
        if (Find(hWnd) == NULL || hl::g_hWndActive != hWndTop) return NULL;
        if (hl::g_hWndFocus == hWnd) return hWndPrevious;
    }
    hl::SetFocusWindow(hWnd);
    return hWndPrevious;
}

extern "C" HWND GetFocus(void) { return hl::g_hWndFocus; }

extern "C" HWND GetActiveWindow(void) { return hl::g_hWndActive; }
