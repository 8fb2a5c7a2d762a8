// The dialog manager's rules that the dialogs rely on, in plain Win32 so the
// same sequence runs on either backend: WM_INITDIALOG before the dialog is
// shown, the first tab stop taking the focus right after it (a page created
// during it taking it first), Enter, Escape and Tab, EndDialog hiding a
// modeless dialog, and the order in which destruction reaches the windows.
#include <gtest/gtest.h>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "afx_winuser.h"

namespace {

std::vector<std::string> g_log;
HWND g_hMain, g_hPage, g_hTree, g_hCombo, g_hSave, g_hTabs;

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
    char line[256];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    g_log.push_back(line);
}

const char* Name(HWND hWnd) {
    const struct {
        HWND hWnd;
        const char* name;
    } names[] = {{g_hMain, "main"}, {g_hPage, "page"}, {g_hTree, "tree"},
                 {g_hCombo, "combo"}, {g_hSave, "save"}, {g_hTabs, "tabs"}};
    if (hWnd == NULL) return "none";
    for (const auto& entry : names) {
        if (entry.hWnd == hWnd) return entry.name;
    }
    return "other";
}

// Controls are subclassed to see their own WM_DESTROY and WM_NCDESTROY.
std::vector<std::pair<HWND, WNDPROC>> g_subclassed;

LRESULT CALLBACK WatchDestruction(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    WNDPROC pfnOriginal = NULL;
    for (const auto& entry : g_subclassed) {
        if (entry.first == hWnd) pfnOriginal = entry.second;
    }
    if (nMsg == WM_DESTROY) Log("WM_DESTROY %s", Name(hWnd));
    if (nMsg == WM_NCDESTROY) Log("WM_NCDESTROY %s", Name(hWnd));
    return CallWindowProcA(pfnOriginal, hWnd, nMsg, wParam, lParam);
}

HWND Control(LPCSTR cls, DWORD style, int id, HWND hParent) {
    HWND hWnd = CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, 0, 0, 100, 100, hParent,
                                (HMENU)(UINT_PTR)id, NULL, NULL);
    g_subclassed.push_back({hWnd, (WNDPROC)SetWindowLongPtrA(hWnd, GWLP_WNDPROC, (LONG_PTR)WatchDestruction)});
    return hWnd;
}

struct alignas(4) EmptyTemplate {
    DLGTEMPLATE header;
    WORD menu, windowClass, title;
};

EmptyTemplate Template(DWORD style) {
    EmptyTemplate t;
    memset(&t, 0, sizeof(t));
    t.header.style = style;
    t.header.cx = 200;
    t.header.cy = 200;
    return t;
}

INT_PTR CALLBACK PageProc(HWND hDlg, UINT nMsg, WPARAM wParam, LPARAM) {
    switch (nMsg) {
    case WM_INITDIALOG:
        g_hPage = hDlg;
        g_hCombo = Control(WC_COMBOBOXA, WS_TABSTOP | CBS_DROPDOWNLIST, 20, hDlg);
        return TRUE;
    case WM_COMMAND:
        Log("page WM_COMMAND id=%d code=%d", LOWORD(wParam), (short)HIWORD(wParam));
        return TRUE;
    case WM_DESTROY:
        Log("WM_DESTROY page");
        return FALSE;
    case WM_NCDESTROY:
        Log("WM_NCDESTROY page");
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK MainProc(HWND hDlg, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    switch (nMsg) {
    case WM_INITDIALOG: {
        g_hMain = hDlg;
        Log("init visible=%d", (int)IsWindowVisible(hDlg));
        g_hSave = Control(WC_BUTTONA, WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, hDlg);
        g_hTabs = Control(WC_TABCONTROLA, 0, 11, hDlg);
        g_hTree = Control(WC_TREEVIEWA, WS_TABSTOP | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT, 12, hDlg);
        EnableWindow(g_hSave, FALSE);
        TVINSERTSTRUCTA insert;
        memset(&insert, 0, sizeof(insert));
        insert.hParent = TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = const_cast<LPSTR>("Root");
        insert.hParent = (HTREEITEM)SendMessageA(g_hTree, TVM_INSERTITEMA, 0, (LPARAM)&insert);
        insert.item.pszText = const_cast<LPSTR>("Child");
        SendMessageA(g_hTree, TVM_INSERTITEMA, 0, (LPARAM)&insert);
        EmptyTemplate page = Template(WS_CHILD);
        CreateDialogIndirectParamA(NULL, &page.header, hDlg, PageProc, 0);
        Log("init done focus=%s", Name(GetFocus()));
        return TRUE;
    }
    case WM_NOTIFY: {
        const NMHDR* hdr = (const NMHDR*)lParam;
        if (hdr->code == NM_CUSTOMDRAW) return FALSE;
        if (hdr->code == TVN_SELCHANGEDA)
            Log("main TVN_SELCHANGED visible=%d", (int)IsWindowVisible(hDlg));
        else
            Log("main WM_NOTIFY %s code=%d", Name(hdr->hwndFrom), (int)hdr->code);
        return TRUE;
    }
    case WM_COMMAND:
        Log("main WM_COMMAND id=%d code=%d from=%s", LOWORD(wParam), (short)HIWORD(wParam), Name((HWND)lParam));
        return TRUE;
    case WM_DESTROY:
        Log("WM_DESTROY main");
        return FALSE;
    case WM_NCDESTROY:
        Log("WM_NCDESTROY main");
        return FALSE;
    default:
        return FALSE;
    }
}

// A key as a host's message loop hands it to the dialog manager.
void Key(UINT nVirtKey) {
    HWND hWnd = GetFocus() != NULL ? GetFocus() : GetActiveWindow();
    MSG msg;
    memset(&msg, 0, sizeof(msg));
    msg.hwnd = hWnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = nVirtKey;
    msg.lParam = 1;
    Log("key %u to %s", nVirtKey, Name(hWnd));
    if (!IsDialogMessageA(g_hMain, &msg)) Log("not a dialog message");
}

TEST(DialogManager, RunsADialogsLifeAsTheRealOneDoes) {
    EmptyTemplate main = Template(WS_POPUP | WS_CAPTION | DS_MODALFRAME);
    HWND hDlg = CreateDialogIndirectParamA(NULL, &main.header, NULL, MainProc, 0);
    ASSERT_NE(hDlg, (HWND)NULL);
    Log("created visible=%d focus=%s", (int)IsWindowVisible(hDlg), Name(GetFocus()));
    ShowWindow(hDlg, SW_SHOWNORMAL);
    Log("shown visible=%d focus=%s active=%s", (int)IsWindowVisible(hDlg), Name(GetFocus()), Name(GetActiveWindow()));
    Key(VK_RETURN);  // the default button is disabled
    EnableWindow(g_hSave, TRUE);
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    Key(VK_F1);
    Key(VK_TAB);
    Log("tab focus=%s", Name(GetFocus()));
    Key(VK_RETURN);
    Key(VK_TAB);
    Log("tab focus=%s", Name(GetFocus()));
    ShowWindow(g_hPage, SW_SHOW);
    SetFocus(g_hCombo);
    Log("focus=%s", Name(GetFocus()));
    ShowWindow(g_hPage, SW_HIDE);
    Log("page hidden focus=%s", Name(GetFocus()));
    EndDialog(hDlg, 5);
    Log("ended window=%d visible=%d focus=%s active=%s", (int)IsWindow(hDlg), (int)IsWindowVisible(hDlg),
        Name(GetFocus()), Name(GetActiveWindow()));
    ShowWindow(hDlg, SW_SHOWNORMAL);
    Log("shown again focus=%s active=%s", Name(GetFocus()), Name(GetActiveWindow()));
    DestroyWindow(hDlg);
    Log("destroyed window=%d", (int)IsWindow(hDlg));

    std::vector<std::string> expected = {
        "init visible=0",
        // The page takes the focus as it is made; the first tab stop of the
        // dialog takes it after WM_INITDIALOG, and the tree selects its first
        // item, all before the dialog is shown.
        "page WM_COMMAND id=20 code=3",  // CBN_SETFOCUS
        "init done focus=combo",
        "page WM_COMMAND id=20 code=10",  // CBN_SELENDCANCEL
        "page WM_COMMAND id=20 code=4",   // CBN_KILLFOCUS
        "main WM_NOTIFY tree code=-401",  // TVN_SELCHANGING
        "main TVN_SELCHANGED visible=0",
        "main WM_NOTIFY tree code=-7",  // NM_SETFOCUS
        "created visible=0 focus=tree",
        "shown visible=1 focus=tree active=main",
        "key 13 to tree",
        "key 13 to tree",
        "main WM_COMMAND id=1 code=0 from=save",
        "key 27 to tree",
        "main WM_COMMAND id=2 code=0 from=none",
        "key 112 to tree",
        "main WM_NOTIFY tree code=-412",  // TVN_KEYDOWN
        "key 9 to tree",
        "main WM_NOTIFY tree code=-8",  // NM_KILLFOCUS
        "tab focus=save",
        "key 13 to save",
        "main WM_COMMAND id=1 code=0 from=save",
        "key 9 to save",
        "main WM_NOTIFY tree code=-7",
        "tab focus=tree",
        "main WM_NOTIFY tree code=-8",
        "page WM_COMMAND id=20 code=3",
        "focus=combo",
        // A hidden child keeps the focus; EndDialog takes it to the dialog.
        "page hidden focus=combo",
        "page WM_COMMAND id=20 code=10",
        "page WM_COMMAND id=20 code=4",
        "ended window=1 visible=0 focus=none active=none",
        "shown again focus=main active=main",
        "WM_DESTROY main",
        "WM_DESTROY save",
        "WM_DESTROY tabs",
        "WM_DESTROY tree",
        "main WM_NOTIFY tree code=-409",  // TVN_DELETEITEM, for each item
        "main WM_NOTIFY tree code=-409",
        "WM_DESTROY page",
        "WM_DESTROY combo",
        "WM_NCDESTROY save",
        "WM_NCDESTROY tabs",
        "WM_NCDESTROY tree",
        "WM_NCDESTROY combo",
        "WM_NCDESTROY page",
        "WM_NCDESTROY main",
        "destroyed window=0",
    };
    EXPECT_EQ(g_log, expected);
}

}  // namespace
