// The tab control. TCM_ messages raise no notification; a person's click on
// another tab raises TCN_SELCHANGING and TCN_SELCHANGE.
#include <algorithm>
#include <cstring>
#include "hl_window.h"

namespace hl {
namespace {

struct TabItem {
    std::string text;
    LPARAM param;
};

struct Tabs {
    explicit Tabs(HWND) {}
    std::vector<TabItem> items;
    int selected = -1;
};

bool ValidIndex(const Tabs& tabs, WPARAM index) { return (int)index >= 0 && (int)index < (int)tabs.items.size(); }

void SetItem(TabItem& item, const TCITEMA& source) {
    if (source.mask & TCIF_TEXT) item.text = source.pszText != NULL ? source.pszText : "";
    if (source.mask & TCIF_PARAM) item.param = source.lParam;
}

}  // namespace

bool TabClick(HWND hWndTab, int nIndex) {
    Tabs* tabs = ControlOf<Tabs>(hWndTab);
    if (tabs == NULL || !ValidIndex(*tabs, nIndex)) return false;
    SetFocus(hWndTab);
    if ((tabs = ControlOf<Tabs>(hWndTab)) == NULL || !ValidIndex(*tabs, nIndex)) return false;
    if (tabs->selected != nIndex && !NotifySimple(hWndTab, TCN_SELCHANGING)) {
        if ((tabs = ControlOf<Tabs>(hWndTab)) == NULL || !ValidIndex(*tabs, nIndex)) return false;
        tabs->selected = nIndex;
        NotifySimple(hWndTab, TCN_SELCHANGE);
    }
    NotifySimple(hWndTab, NM_CLICK);
    return true;
}

LRESULT CALLBACK TabControlProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Tabs* tabs = ControlState<Tabs>(hWnd, Msg);
    if (tabs == NULL || Msg == WM_NCCREATE) return DefWindowProcA(hWnd, Msg, wParam, lParam);
    switch (Msg) {
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case TCM_INSERTITEMA: {
        // The first item inserted becomes the selected one, silently.
        const TCITEMA* source = (const TCITEMA*)lParam;
        if ((int)wParam < 0 || source == NULL) return -1;
        int index = std::min((int)wParam, (int)tabs->items.size());
        TabItem item = {"", 0};
        SetItem(item, *source);
        tabs->items.insert(tabs->items.begin() + index, item);
        if (tabs->items.size() == 1)
            tabs->selected = 0;
        else if (index <= tabs->selected)
            ++tabs->selected;
        return index;
    }
    case TCM_DELETEITEM:
        if (!ValidIndex(*tabs, wParam)) return FALSE;
        tabs->items.erase(tabs->items.begin() + (int)wParam);
        if (tabs->selected == (int)wParam)
            tabs->selected = -1;
        else if (tabs->selected > (int)wParam)
            --tabs->selected;
        return TRUE;
    case TCM_DELETEALLITEMS:
        tabs->items.clear();
        tabs->selected = -1;
        return TRUE;
    case TCM_GETITEMCOUNT:
        return (LRESULT)tabs->items.size();
    case TCM_GETITEMA: {
        TCITEMA* target = (TCITEMA*)lParam;
        if (!ValidIndex(*tabs, wParam) || target == NULL) return FALSE;
        const TabItem& item = tabs->items[wParam];
        if ((target->mask & TCIF_TEXT) && target->cchTextMax > 0) CopyText(item.text, target->pszText, target->cchTextMax);
        if (target->mask & TCIF_PARAM) target->lParam = item.param;
        return TRUE;
    }
    case TCM_SETITEMA:
        if (!ValidIndex(*tabs, wParam) || lParam == 0) return FALSE;
        SetItem(tabs->items[wParam], *(const TCITEMA*)lParam);
        return TRUE;
    case TCM_GETCURSEL:
        return tabs->selected;
    case TCM_SETCURSEL: {
        // Out of range fails; -1 clears; no notification either way.
        int previous = tabs->selected;
        if ((int)wParam >= (int)tabs->items.size()) return -1;
        tabs->selected = (int)wParam >= 0 ? (int)wParam : -1;
        return previous;
    }
    default:
        return DefWindowProcA(hWnd, Msg, wParam, lParam);
    }
}

}  // namespace hl
