// The tab control, each feature for a dialog behaviour:
// - no TCM_ message notifies, the first item selected silently: the dialog starts on "Device".
// - a click on another tab raises TCN_SELCHANGE: the dialog shows that tab's page.
#include <algorithm>
#include "hl_window.h"

namespace hl {
namespace {

struct Tabs {
    explicit Tabs(HWND) {}
    std::vector<std::string> items;
    int selected = -1;
};

bool ValidIndex(const Tabs& tabs, WPARAM index) { return (int)index >= 0 && (int)index < (int)tabs.items.size(); }

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
    case TCM_INSERTITEMA: {
        const TCITEMA* source = (const TCITEMA*)lParam;
        if ((int)wParam < 0 || source == NULL) return -1;
        int index = std::min((int)wParam, (int)tabs->items.size());
        tabs->items.insert(tabs->items.begin() + index,
                           (source->mask & TCIF_TEXT) && source->pszText != NULL ? source->pszText : "");
        if (tabs->items.size() == 1)
            tabs->selected = 0;
        else if (index <= tabs->selected)
            ++tabs->selected;
        return index;
    }
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
