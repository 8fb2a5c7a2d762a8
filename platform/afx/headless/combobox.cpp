// The combo box as a drop-down list, each feature for a dialog behaviour:
// - no CB_ message notifies: the pages set their boxes without calling their handlers.
// - a person's choice raises CBN_SELCHANGE, also for the item chosen: every choice is an edit.
// - an index out of range keeps the selection: a SwitchID over 15 clears it with -1.
#include <cstring>
#include "hl_window.h"

namespace hl {
namespace {

struct Combo {
    explicit Combo(HWND) {}
    std::vector<std::string> items;
    int selected = -1;
    bool dropped = false;
    bool focused = false;
};

bool ValidIndex(const Combo& combo, WPARAM index) { return (int)index >= 0 && (int)index < (int)combo.items.size(); }

void DropDown(HWND hWnd, Combo& combo) {
    if (combo.dropped) return;
    NotifyCommand(hWnd, CBN_DROPDOWN);
    combo.dropped = true;
}

// The list closes: CBN_SELENDOK or CBN_SELENDCANCEL, then CBN_CLOSEUP.
void RollUp(HWND hWnd, Combo& combo, bool ok) {
    NotifyCommand(hWnd, ok ? CBN_SELENDOK : CBN_SELENDCANCEL);
    if (!combo.dropped) return;
    combo.dropped = false;
    NotifyCommand(hWnd, CBN_CLOSEUP);
}

}  // namespace

bool ComboChoose(HWND hWndCombo, int nIndex) {
    Combo* combo = ControlOf<Combo>(hWndCombo);
    if (combo == NULL || !ValidIndex(*combo, nIndex)) return false;
    // A click opens the list (taking the focus); the click on the item
    // selects it and closes the list, and only then comes CBN_SELCHANGE.
    SetFocus(hWndCombo);
    if ((combo = ControlOf<Combo>(hWndCombo)) == NULL) return false;
    DropDown(hWndCombo, *combo);
    if ((combo = ControlOf<Combo>(hWndCombo)) == NULL || !ValidIndex(*combo, nIndex)) return false;
    combo->selected = nIndex;
    RollUp(hWndCombo, *combo, true);
    NotifyCommand(hWndCombo, CBN_SELCHANGE);
    return true;
}

LRESULT CALLBACK ComboBoxProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    Combo* combo = ControlState<Combo>(hWnd, Msg);
    if (combo == NULL || Msg == WM_NCCREATE) return DefWindowProcA(hWnd, Msg, wParam, lParam);
    switch (Msg) {
    case WM_SETFOCUS:
        if (!combo->focused) {
            NotifyCommand(hWnd, CBN_SETFOCUS);
            if ((combo = ControlOf<Combo>(hWnd)) != NULL) combo->focused = true;
        }
        return 0;
    case WM_KILLFOCUS:
        if (combo->focused) {
            RollUp(hWnd, *combo, false);
            if ((combo = ControlOf<Combo>(hWnd)) == NULL) return 0;
            combo->focused = false;
            NotifyCommand(hWnd, CBN_KILLFOCUS);
        }
        return 0;
    case CB_ADDSTRING:
        combo->items.push_back(lParam != 0 ? (LPCSTR)lParam : "");
        return (LRESULT)combo->items.size() - 1;
    case CB_GETCOUNT:
        return (LRESULT)combo->items.size();
    case CB_GETCURSEL:
        return combo->selected;  // CB_ERR without a selection
    case CB_SETCURSEL:
        // -1 clears the selection. An index out of range fails and, unlike
        // what the documentation says, keeps the old selection.
        if ((int)wParam == -1) {
            combo->selected = -1;
            return CB_ERR;
        }
        if (!ValidIndex(*combo, wParam)) return CB_ERR;
        combo->selected = (int)wParam;
        return combo->selected;
    case CB_GETLBTEXT:
        if (!ValidIndex(*combo, wParam) || lParam == 0) return CB_ERR;
        strcpy((LPSTR)lParam, combo->items[wParam].c_str());
        return (LRESULT)combo->items[wParam].size();
    case CB_GETLBTEXTLEN:
        if (!ValidIndex(*combo, wParam)) return CB_ERR;
        return (LRESULT)combo->items[wParam].size();
    default:
        return DefWindowProcA(hWnd, Msg, wParam, lParam);
    }
}

}  // namespace hl
