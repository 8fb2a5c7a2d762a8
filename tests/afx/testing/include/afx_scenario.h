#pragma once
// One control in a dialog of its own, a list of operations on it, and the
// log of what it answered and which notifications it raised. The runner uses
// only Win32 calls and CUser, so the same scenario runs on both backends and
// their logs can be compared line by line.
#include <string>
#include <vector>
#include "afx_winuser.h"

enum AfxScenarioOp {
    // Tree (items are named by their text, which a scenario keeps unique)
    SCN_TREE_INSERT,        // text, last under parent (NULL: the root)
    SCN_TREE_SELECT,        // TVM_SELECTITEM TVGN_CARET (text NULL: no item)
    SCN_TREE_FIRSTVISIBLE,  // TVM_SELECTITEM TVGN_FIRSTVISIBLE
    SCN_TREE_DELETE,        // TVM_DELETEITEM (text NULL: all)
    SCN_TREE_EXPAND,        // TVM_EXPAND with value TVE_*
    SCN_TREE_FOCUS,         // SetFocus on the tree
    SCN_TREE_CLICK,         // CUser::ClickTreeItem
    SCN_TREE_CLICKBUTTON,   // CUser::ClickTreeButton
    SCN_TREE_SCROLL,        // CUser::ScrollTree, value lines
    SCN_TREE_STATE,         // logs the selection, the first visible item, the items shown and the visible order
    // Combo box
    SCN_COMBO_ADD,          // CB_ADDSTRING text
    SCN_COMBO_SETCURSEL,    // CB_SETCURSEL value
    SCN_COMBO_CHOOSE,       // CUser::ChooseComboItem value
    SCN_COMBO_STATE,        // logs CB_GETCURSEL
    // Tab control
    SCN_TAB_INSERT,         // TCM_INSERTITEM text at value
    SCN_TAB_SETCURSEL,      // TCM_SETCURSEL value
    SCN_TAB_CLICK,          // CUser::ClickTab value
    SCN_TAB_STATE,          // logs TCM_GETCURSEL
};

struct AFX_SCENARIO_STEP {
    AfxScenarioOp nOp;
    LPCSTR pszText;
    LPCSTR pszParent;
    int nValue;
};

struct AFX_SCENARIO {
    LPCSTR pszClass;     // WC_TREEVIEW, WC_COMBOBOX or WC_TABCONTROL
    DWORD dwStyle;       // the control's own styles (WS_CHILD, WS_VISIBLE and WS_TABSTOP are added)
    int nVisibleItems;   // tree: rows of 16 pixels the control shows
    const AFX_SCENARIO_STEP* pSteps;
    int nSteps;
};

// One line per operation ("> select Template0 = 1") followed by one line per
// notification the dialog received ("TVN_SELCHANGED action=0 old=- new=Template0").
std::vector<std::string> AfxRunControlScenario(const AFX_SCENARIO& scenario);
