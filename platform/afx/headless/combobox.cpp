// The combo box, as a drop-down list. No CB_ message raises a notification;
// only a person's choice does.
#include <algorithm>
#include <cstring>
#include <strings.h>
#include "hl_window.h"

namespace hl {
namespace {

struct ComboItem {
    std::string text;
    LPARAM data;
};

struct Combo {
    explicit Combo(HWND) {}
    std::vector<ComboItem> items;
    int selected = -1;
    bool dropped = false;
    bool focused = false;
};

bool ValidIndex(const Combo& combo, WPARAM index) { return (int)index >= 0 && (int)index < (int)combo.items.size(); }

int Insert(Combo& combo, int index, LPCSTR text) {
    combo.items.insert(combo.items.begin() + index, ComboItem{text != NULL ? text : "", 0});
    if (combo.selected >= index) ++combo.selected;
    return index;
}

int FindItem(const Combo& combo, WPARAM start, LPCSTR text, bool exact) {
    if (text == NULL) return CB_ERR;
    size_t count = combo.items.size();
    size_t first = (int)start >= 0 && (size_t)start < count ? (size_t)start + 1 : 0;
    size_t length = strlen(text);
    for (size_t n = 0; n < count; ++n) {
        const std::string& item = combo.items[(first + n) % count].text;
        bool match = exact ? strcasecmp(item.c_str(), text) == 0 : strncasecmp(item.c_str(), text, length) == 0;
        if (match) return (int)((first + n) % count);
    }
    return CB_ERR;
}

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
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
        const MSG* msg = (const MSG*)lParam;
        if (msg != NULL && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE) &&
            combo->dropped)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
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
    case WM_GETTEXT:
        return (LRESULT)CopyText(ValidIndex(*combo, combo->selected) ? combo->items[combo->selected].text : "",
                                 (LPSTR)lParam, wParam);
    case WM_GETTEXTLENGTH:
        return ValidIndex(*combo, combo->selected) ? (LRESULT)combo->items[combo->selected].text.size() : 0;
    case WM_SETTEXT:
        return CB_ERR;
    case CB_ADDSTRING: {
        int index = (int)combo->items.size();
        if (GetWindowLongPtrA(hWnd, GWL_STYLE) & CBS_SORT) {
            index = 0;
            while (index < (int)combo->items.size() &&
                   strcasecmp(combo->items[index].text.c_str(), lParam != 0 ? (LPCSTR)lParam : "") <= 0)
                ++index;
        }
        return Insert(*combo, index, (LPCSTR)lParam);
    }
    case CB_INSERTSTRING:
        if ((int)wParam == -1) return Insert(*combo, (int)combo->items.size(), (LPCSTR)lParam);
        if ((int)wParam < 0 || (int)wParam > (int)combo->items.size()) return CB_ERR;
        return Insert(*combo, (int)wParam, (LPCSTR)lParam);
    case CB_DELETESTRING:
        if (!ValidIndex(*combo, wParam)) return CB_ERR;
        combo->items.erase(combo->items.begin() + (int)wParam);
        if (combo->selected == (int)wParam)
            combo->selected = -1;
        else if (combo->selected > (int)wParam)
            --combo->selected;
        return (LRESULT)combo->items.size();
    case CB_RESETCONTENT:
        combo->items.clear();
        combo->selected = -1;
        return CB_OKAY;
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
        strcpy((LPSTR)lParam, combo->items[wParam].text.c_str());
        return (LRESULT)combo->items[wParam].text.size();
    case CB_GETLBTEXTLEN:
        if (!ValidIndex(*combo, wParam)) return CB_ERR;
        return (LRESULT)combo->items[wParam].text.size();
    case CB_FINDSTRING:
        return FindItem(*combo, wParam, (LPCSTR)lParam, false);
    case CB_FINDSTRINGEXACT:
        return FindItem(*combo, wParam, (LPCSTR)lParam, true);
    case CB_GETITEMDATA:
        return ValidIndex(*combo, wParam) ? combo->items[wParam].data : CB_ERR;
    case CB_SETITEMDATA:
        if (!ValidIndex(*combo, wParam)) return CB_ERR;
        combo->items[wParam].data = lParam;
        return TRUE;
    case CB_SHOWDROPDOWN:
        if (wParam)
            DropDown(hWnd, *combo);
        else if (combo->dropped)
            RollUp(hWnd, *combo, false);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return combo->dropped;
    default:
        return DefWindowProcA(hWnd, Msg, wParam, lParam);
    }
}

}  // namespace hl
