#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include "afx_scenario.h"
#include "afx_user.h"
#include "afximpl.h"

namespace {

const int kControlId = 100;
const int kRowHeight = 16;

struct ScenarioRun {
    HWND hDlg;
    HWND hWndControl;
    std::vector<std::string>* pLog;
    std::map<std::string, HTREEITEM> items;
};

ScenarioRun* g_pRun = NULL;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof(line), format, args);
    va_end(args);
    return line;
}

std::string ItemText(HWND hWndTree, HTREEITEM hItem) {
    return hItem != NULL ? (LPCSTR)AfxGetTreeItemText(hWndTree, hItem) : "-";
}

const char* NotificationName(UINT code) {
    switch (code) {
    case TVN_SELCHANGINGA: return "TVN_SELCHANGING";
    case TVN_SELCHANGEDA: return "TVN_SELCHANGED";
    case TVN_ITEMEXPANDINGA: return "TVN_ITEMEXPANDING";
    case TVN_ITEMEXPANDEDA: return "TVN_ITEMEXPANDED";
    case TVN_DELETEITEMA: return "TVN_DELETEITEM";
    case TVN_SELCHANGINGW: return "TVN_SELCHANGINGW";
    case TVN_SELCHANGEDW: return "TVN_SELCHANGEDW";
    case TVN_ITEMEXPANDINGW: return "TVN_ITEMEXPANDINGW";
    case TVN_ITEMEXPANDEDW: return "TVN_ITEMEXPANDEDW";
    case TVN_DELETEITEMW: return "TVN_DELETEITEMW";
    case TVN_KEYDOWN: return "TVN_KEYDOWN";
    case TCN_SELCHANGING: return "TCN_SELCHANGING";
    case TCN_SELCHANGE: return "TCN_SELCHANGE";
    case TCN_KEYDOWN: return "TCN_KEYDOWN";
    case NM_CLICK: return "NM_CLICK";
    case NM_DBLCLK: return "NM_DBLCLK";
    case NM_RETURN: return "NM_RETURN";
    case NM_RCLICK: return "NM_RCLICK";
    case NM_SETFOCUS: return "NM_SETFOCUS";
    case NM_KILLFOCUS: return "NM_KILLFOCUS";
    default: return NULL;
    }
}

const char* ComboNotificationName(int code) {
    switch (code) {
    case CBN_SELCHANGE: return "CBN_SELCHANGE";
    case CBN_SETFOCUS: return "CBN_SETFOCUS";
    case CBN_KILLFOCUS: return "CBN_KILLFOCUS";
    case CBN_DROPDOWN: return "CBN_DROPDOWN";
    case CBN_CLOSEUP: return "CBN_CLOSEUP";
    case CBN_SELENDOK: return "CBN_SELENDOK";
    case CBN_SELENDCANCEL: return "CBN_SELENDCANCEL";
    default: return NULL;
    }
}

std::string DescribeNotification(HWND hWndControl, const NMHDR* hdr) {
    const char* name = NotificationName(hdr->code);
    if (name == NULL) return Format("WM_NOTIFY code=%d", (int)hdr->code);
    const NMTREEVIEWA* nm = reinterpret_cast<const NMTREEVIEWA*>(hdr);
    switch (hdr->code) {
    case TVN_SELCHANGINGA:
    case TVN_SELCHANGEDA:
        return Format("%s action=%u old=%s new=%s", name, nm->action, ItemText(hWndControl, nm->itemOld.hItem).c_str(),
                      ItemText(hWndControl, nm->itemNew.hItem).c_str());
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDEDA:
        return Format("%s action=%u item=%s", name, nm->action, ItemText(hWndControl, nm->itemNew.hItem).c_str());
    case TVN_DELETEITEMA:
        return Format("%s item=%s", name, ItemText(hWndControl, nm->itemOld.hItem).c_str());
    case TVN_KEYDOWN:
        return Format("%s vk=%u", name, (UINT) reinterpret_cast<const NMTVKEYDOWN*>(hdr)->wVKey);
    default:
        return name;
    }
}

INT_PTR CALLBACK ScenarioDlgProc(HWND, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    if (g_pRun == NULL) return FALSE;
    if (nMsg == WM_NOTIFY) {
        const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
        // Painting is not part of a control's behaviour.
        if (hdr->hwndFrom != g_pRun->hWndControl || hdr->code == NM_CUSTOMDRAW) return FALSE;
        g_pRun->pLog->push_back(DescribeNotification(g_pRun->hWndControl, hdr));
        SetWindowLongPtrA(g_pRun->hDlg, DWLP_MSGRESULT, 0);  // allow every change
        return TRUE;
    }
    if (nMsg == WM_COMMAND && (HWND)lParam == g_pRun->hWndControl) {
        const char* name = ComboNotificationName((short)HIWORD(wParam));
        g_pRun->pLog->push_back(name != NULL ? Format("WM_COMMAND %s", name)
                                             : Format("WM_COMMAND code=%d", (int)(short)HIWORD(wParam)));
        return TRUE;
    }
    return FALSE;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ",") + part;
    return "[" + text + "]";
}

std::string TreeState(HWND hWndTree) {
    HTREEITEM hFirst = (HTREEITEM)SendMessageA(hWndTree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0);
    HTREEITEM hCaret = (HTREEITEM)SendMessageA(hWndTree, TVM_GETNEXTITEM, TVGN_CARET, 0);
    int nRows = (int)SendMessageA(hWndTree, TVM_GETVISIBLECOUNT, 0, 0);
    std::vector<std::string> shown, order;
    HTREEITEM hItem = hFirst;
    for (int nRow = 0; hItem != NULL && nRow < nRows; ++nRow) {
        shown.push_back(ItemText(hWndTree, hItem));
        hItem = (HTREEITEM)SendMessageA(hWndTree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, (LPARAM)hItem);
    }
    for (hItem = (HTREEITEM)SendMessageA(hWndTree, TVM_GETNEXTITEM, TVGN_ROOT, 0); hItem != NULL;
         hItem = (HTREEITEM)SendMessageA(hWndTree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, (LPARAM)hItem))
        order.push_back(ItemText(hWndTree, hItem));
    return Format("> state caret=%s first=%s shown=%s order=%s", ItemText(hWndTree, hCaret).c_str(),
                  ItemText(hWndTree, hFirst).c_str(), Joined(shown).c_str(), Joined(order).c_str());
}

HTREEITEM ItemNamed(ScenarioRun& run, LPCSTR text) {
    if (text == NULL) return NULL;
    std::map<std::string, HTREEITEM>::const_iterator it = run.items.find(text);
    return it != run.items.end() ? it->second : NULL;
}

const char* ExpandName(int code) {
    switch (code & TVE_TOGGLE) {
    case TVE_COLLAPSE: return (code & TVE_COLLAPSERESET) ? "collapsereset" : "collapse";
    case TVE_EXPAND: return "expand";
    case TVE_TOGGLE: return "toggle";
    default: return "none";
    }
}

// The operation's line comes first, its notifications after it, and its
// result is added to its line once it returns.
class StepLog {
public:
    StepLog(std::vector<std::string>& log, const std::string& line) : m_log(log), m_nAt(log.size()) {
        log.push_back(line);
    }
    void Result(long long nResult) { m_log[m_nAt] += Format(" = %lld", nResult); }

private:
    std::vector<std::string>& m_log;
    size_t m_nAt;
};

void RunStep(ScenarioRun& run, const AFX_SCENARIO_STEP& step) {
    HWND hWnd = run.hWndControl;
    std::vector<std::string>& log = *run.pLog;
    LPCSTR text = step.pszText != NULL ? step.pszText : "-";
    switch (step.nOp) {
    case SCN_TREE_INSERT: {
        StepLog line(log, Format("> insert %s under %s", text, step.pszParent != NULL ? step.pszParent : "-"));
        TVINSERTSTRUCTA insert;
        memset(&insert, 0, sizeof(insert));
        insert.hParent = step.pszParent != NULL ? ItemNamed(run, step.pszParent) : TVI_ROOT;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        insert.item.pszText = const_cast<LPSTR>(step.pszText);
        HTREEITEM hItem = (HTREEITEM)SendMessageA(hWnd, TVM_INSERTITEMA, 0, (LPARAM)&insert);
        if (hItem != NULL) run.items[step.pszText] = hItem;
        line.Result(hItem != NULL);
        return;
    }
    case SCN_TREE_SELECT: {
        StepLog line(log, Format("> select %s", text));
        line.Result(SendMessageA(hWnd, TVM_SELECTITEM, TVGN_CARET, (LPARAM)ItemNamed(run, step.pszText)));
        return;
    }
    case SCN_TREE_FIRSTVISIBLE: {
        StepLog line(log, Format("> firstvisible %s", text));
        line.Result(SendMessageA(hWnd, TVM_SELECTITEM, TVGN_FIRSTVISIBLE, (LPARAM)ItemNamed(run, step.pszText)));
        return;
    }
    case SCN_TREE_DELETE: {
        StepLog line(log, Format("> delete %s", text));
        HTREEITEM hItem = step.pszText != NULL ? ItemNamed(run, step.pszText) : TVI_ROOT;
        line.Result(SendMessageA(hWnd, TVM_DELETEITEM, 0, (LPARAM)hItem));
        return;
    }
    case SCN_TREE_EXPAND: {
        StepLog line(log, Format("> %s %s", ExpandName(step.nValue), text));
        line.Result(SendMessageA(hWnd, TVM_EXPAND, step.nValue, (LPARAM)ItemNamed(run, step.pszText)));
        return;
    }
    case SCN_TREE_FOCUS:
        log.push_back("> focus");
        SetFocus(hWnd);
        return;
    case SCN_TREE_CLICK: {
        StepLog line(log, Format("> click %s", text));
        line.Result(CUser::ClickTreeItem(hWnd, ItemNamed(run, step.pszText)));
        return;
    }
    case SCN_TREE_CLICKBUTTON: {
        StepLog line(log, Format("> clickbutton %s", text));
        line.Result(CUser::ClickTreeButton(hWnd, ItemNamed(run, step.pszText)));
        return;
    }
    case SCN_TREE_SCROLL: {
        StepLog line(log, Format("> scroll %d", step.nValue));
        line.Result(CUser::ScrollTree(hWnd, step.nValue));
        return;
    }
    case SCN_TREE_STATE:
        log.push_back(TreeState(hWnd));
        return;
    case SCN_COMBO_ADD: {
        StepLog line(log, Format("> add %s", text));
        line.Result(SendMessageA(hWnd, CB_ADDSTRING, 0, (LPARAM)step.pszText));
        return;
    }
    case SCN_COMBO_SETCURSEL: {
        StepLog line(log, Format("> setcursel %d", step.nValue));
        line.Result(SendMessageA(hWnd, CB_SETCURSEL, step.nValue, 0));
        return;
    }
    case SCN_COMBO_CHOOSE: {
        StepLog line(log, Format("> choose %d", step.nValue));
        line.Result(CUser::ChooseComboItem(hWnd, step.nValue));
        return;
    }
    case SCN_COMBO_STATE:
        log.push_back(Format("> state cursel=%d", (int)SendMessageA(hWnd, CB_GETCURSEL, 0, 0)));
        return;
    case SCN_TAB_INSERT: {
        StepLog line(log, Format("> insert %s at %d", text, step.nValue));
        TCITEMA item;
        memset(&item, 0, sizeof(item));
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<LPSTR>(step.pszText);
        line.Result(SendMessageA(hWnd, TCM_INSERTITEMA, step.nValue, (LPARAM)&item));
        return;
    }
    case SCN_TAB_SETCURSEL: {
        StepLog line(log, Format("> setcursel %d", step.nValue));
        line.Result(SendMessageA(hWnd, TCM_SETCURSEL, step.nValue, 0));
        return;
    }
    case SCN_TAB_CLICK: {
        StepLog line(log, Format("> click %d", step.nValue));
        line.Result(CUser::ClickTab(hWnd, step.nValue));
        return;
    }
    case SCN_TAB_STATE:
        log.push_back(Format("> state cursel=%d", (int)SendMessageA(hWnd, TCM_GETCURSEL, 0, 0)));
        return;
    }
    log.push_back("> ?");
}

}  // namespace

std::vector<std::string> AfxRunControlScenario(const AFX_SCENARIO& scenario) {
    std::vector<std::string> log;
    // A visible pop-up dialog with no controls, from a template in memory.
    struct alignas(4) {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dlgTemplate;
    memset(&dlgTemplate, 0, sizeof(dlgTemplate));
    dlgTemplate.header.style = WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME;
    dlgTemplate.header.cx = 200;
    dlgTemplate.header.cy = 200;

    ScenarioRun run = {NULL, NULL, &log, {}};
    ScenarioRun* pOuter = g_pRun;
    g_pRun = &run;
    HINSTANCE hInstance = GetModuleHandleA(NULL);
    run.hDlg = CreateDialogIndirectParamA(hInstance, &dlgTemplate.header, NULL, ScenarioDlgProc, 0);
    bool tree = strcmp(scenario.pszClass, WC_TREEVIEWA) == 0;
    int cx = tree ? 160 : 150;
    int cy = tree ? kRowHeight * scenario.nVisibleItems : 100;
    run.hWndControl = CreateWindowExA(0, scenario.pszClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | scenario.dwStyle,
                                      0, 0, cx, cy, run.hDlg, (HMENU)(UINT_PTR)kControlId, hInstance, NULL);
    if (run.hDlg == NULL || run.hWndControl == NULL) {
        log.push_back("> the scenario's dialog or control could not be created");
    } else {
        // Rows of a fixed height, whatever font the system gives the tree.
        if (tree) SendMessageA(run.hWndControl, TVM_SETITEMHEIGHT, kRowHeight, 0);
        for (int n = 0; n < scenario.nSteps; ++n) RunStep(run, scenario.pSteps[n]);
    }
    g_pRun = pOuter;  // what the control says while it goes is not part of the scenario
    if (run.hDlg != NULL) DestroyWindow(run.hDlg);
    return log;
}
