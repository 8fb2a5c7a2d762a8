// Message boxes and modal dialogs on Windows are the system's own and wait in
// their own modal loops. While someone is installed to answer for the person,
// a helper thread watches for them and answers as a person would: it reads a
// box's caption, its text (static 0xFFFF) and its buttons and clicks the
// answer; a modal dialog is recognised by the caption of its template and is
// worked by the installed answerer, on the helper thread.
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "afx_user.h"
#include "../testing_impl.h"

namespace {

const int kMessageBoxText = 0xFFFF;
const std::chrono::milliseconds kPollInterval(2);

std::mutex g_lock;
std::condition_variable g_installed;
CUserAnswers* g_pAnswers = NULL;
bool g_bWatching = false;

bool IsDialogWindow(HWND hWnd) {
    char szClass[16] = "";
    return GetClassNameA(hWnd, szClass, sizeof szClass) > 0 && std::strcmp(szClass, "#32770") == 0;
}

std::string WindowText(HWND hWnd) {
    std::string text(GetWindowTextLengthA(hWnd) + 1, '\0');
    text.resize(GetWindowTextA(hWnd, &text[0], (int)text.size()));
    return text;
}

// ---- Dialog templates ----------------------------------------------------

// The caption of a DLGTEMPLATE or DLGTEMPLATEEX, and whether it makes a child.
bool TemplateCaption(const void* pTemplate, std::string& caption) {
    const WORD* p = static_cast<const WORD*>(pTemplate);
    DWORD dwStyle;
    if (p[0] == 1 && p[1] == 0xFFFF) {  // DLGTEMPLATEEX
        dwStyle = *reinterpret_cast<const DWORD*>(p + 6);
        p += 13;
    } else {
        dwStyle = reinterpret_cast<const DLGTEMPLATE*>(p)->style;
        p += 9;
    }
    if (dwStyle & WS_CHILD) return false;
    for (int nField = 0; nField < 2; ++nField) {  // menu and window class
        if (*p == 0xFFFF)
            p += 2;
        else
            while (*p++ != 0) {
            }
    }
    caption.clear();
    for (; *p != 0; ++p) caption.push_back(*p < 0x80 ? (char)*p : '?');
    return true;
}

struct TemplateSearch {
    HMODULE hModule;
    std::string caption;
    UINT nFound;
};

BOOL CALLBACK CompareTemplate(HMODULE hModule, LPCSTR, LPSTR lpName, LONG_PTR lParam) {
    TemplateSearch* search = reinterpret_cast<TemplateSearch*>(lParam);
    if (!IS_INTRESOURCE(lpName)) return TRUE;
    HRSRC hResource = FindResourceA(hModule, lpName, RT_DIALOG);
    HGLOBAL hData = hResource != NULL ? LoadResource(hModule, hResource) : NULL;
    const void* pTemplate = hData != NULL ? LockResource(hData) : NULL;
    std::string caption;
    if (pTemplate != NULL && TemplateCaption(pTemplate, caption) && caption == search->caption) {
        search->nFound = LOWORD(lpName);
        return FALSE;
    }
    return TRUE;
}

// The template of the module that made the dialog whose caption the dialog
// shows; 0 for a dialog of the system's own (a message box).
UINT TemplateOf(HWND hDlg) {
    HMODULE hModule = (HMODULE)GetWindowLongPtrA(hDlg, GWLP_HINSTANCE);
    if (hModule == NULL || hModule == GetModuleHandleA("user32.dll")) return 0;
    TemplateSearch search = {hModule, WindowText(hDlg), 0};
    EnumResourceNamesA(hModule, RT_DIALOG, CompareTemplate, reinterpret_cast<LONG_PTR>(&search));
    return search.nFound;
}

// ---- Message boxes -------------------------------------------------------

HWND ShownButton(HWND hBox, int nID) {
    HWND hButton = GetDlgItem(hBox, nID);
    return hButton != NULL && IsWindowVisible(hButton) ? hButton : NULL;
}

// The MB_ type the box's buttons stand for, with its default button.
UINT BoxType(HWND hBox) {
    struct Kind {
        UINT nType;
        std::vector<int> buttons;
    };
    const Kind kinds[] = {
        {MB_ABORTRETRYIGNORE, {IDABORT, IDRETRY, IDIGNORE}}, {MB_YESNOCANCEL, {IDYES, IDNO, IDCANCEL}},
        {MB_YESNO, {IDYES, IDNO}},  {MB_RETRYCANCEL, {IDRETRY, IDCANCEL}},
        {MB_OKCANCEL, {IDOK, IDCANCEL}}, {MB_OK, {IDOK}},
    };
    for (const Kind& kind : kinds) {
        bool bAll = true;
        for (int nID : kind.buttons) bAll = bAll && ShownButton(hBox, nID) != NULL;
        if (!bAll) continue;
        UINT nType = kind.nType;
        for (size_t n = 0; n < kind.buttons.size(); ++n) {
            if (GetWindowLongPtrA(ShownButton(hBox, kind.buttons[n]), GWL_STYLE) & BS_DEFPUSHBUTTON)
                nType |= (UINT)(n << 8);
        }
        return nType;
    }
    return MB_OK;
}

// What a box shows: a static with the box's text identifier and one of a
// box's buttons.
bool LooksLikeBox(HWND hWnd) {
    HWND hText = GetDlgItem(hWnd, kMessageBoxText);
    if (hText == NULL) return false;
    for (int nID = IDOK; nID <= IDNO; ++nID) {
        if (ShownButton(hWnd, nID) != NULL) return true;
    }
    return false;
}

void AnswerBox(CUserAnswers* pAnswers, HWND hBox) {
    const std::string text = WindowText(GetDlgItem(hBox, kMessageBoxText));
    int nAnswer = pAnswers->AnswerMessageBox(GetWindow(hBox, GW_OWNER), text.c_str(), WindowText(hBox).c_str(),
                                             BoxType(hBox));
    HWND hButton = ShownButton(hBox, nAnswer);
    if (hButton != NULL)
        PostMessageA(hButton, BM_CLICK, 0, 0);
    else
        PostMessageA(hBox, WM_COMMAND, IDCANCEL, 0);
}

// ---- The helper thread ---------------------------------------------------

// A dialog waiting for the person: it has disabled its owner, or, owned by no
// window, it shows what a box shows. The program's modeless dialogs do neither.
bool Waits(HWND hDlg) {
    HWND hWndOwner = GetWindow(hDlg, GW_OWNER);
    return (hWndOwner != NULL && !IsWindowEnabled(hWndOwner)) || LooksLikeBox(hDlg);
}

BOOL CALLBACK CollectWaiting(HWND hWnd, LPARAM lParam) {
    DWORD dwProcess = 0;
    GetWindowThreadProcessId(hWnd, &dwProcess);
    if (dwProcess == GetCurrentProcessId() && IsWindowVisible(hWnd) && IsWindowEnabled(hWnd) && IsDialogWindow(hWnd) &&
        Waits(hWnd))
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
    return TRUE;
}

// A person acts on a box or dialog once it shows and has taken the
// activation from its owner, which its thread gives it a moment after it
// becomes visible.
bool BecomesActive(HWND hWnd) {
    GUITHREADINFO info;
    for (int nWait = 0; nWait < 1000 && IsWindow(hWnd); ++nWait) {
        std::memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        if (GetGUIThreadInfo(GetWindowThreadProcessId(hWnd, NULL), &info) && info.hwndActive == hWnd) return true;
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}

void Watch() {
    std::set<HWND> answered;
    for (;;) {
        std::this_thread::sleep_for(kPollInterval);
        std::unique_lock<std::mutex> hold(g_lock);
        g_installed.wait(hold, [] { return g_pAnswers != NULL; });
        for (std::set<HWND>::iterator it = answered.begin(); it != answered.end();)
            it = IsWindow(*it) ? std::next(it) : answered.erase(it);
        std::vector<HWND> windows;
        EnumWindows(CollectWaiting, reinterpret_cast<LPARAM>(&windows));
        for (HWND hWnd : windows) {
            if (!answered.insert(hWnd).second) continue;
            BecomesActive(hWnd);
            UINT nIDTemplate = TemplateOf(hWnd);
            if (nIDTemplate == 0) {
                AnswerBox(g_pAnswers, hWnd);
                continue;
            }
            g_pAnswers->WorkModalDialog(hWnd, nIDTemplate);
            // Left open: the answerer has said so; the program goes on.
            if (IsWindow(hWnd) && IsWindowVisible(hWnd)) PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
        }
    }
}

}  // namespace

CUserAnswers* AfxSetUserAnswers(CUserAnswers* pAnswers) {
    std::lock_guard<std::mutex> hold(g_lock);
    CUserAnswers* pPrevious = g_pAnswers;
    g_pAnswers = pAnswers;
    if (pAnswers != NULL && !g_bWatching) {
        g_bWatching = true;
        std::thread(Watch).detach();
    }
    g_installed.notify_all();
    return pPrevious;
}

// The dialog's own thread ends it once the person's last input reaches it.
bool AfxImplDialogEnded(HWND hDlg) {
    for (int nWait = 0; nWait < 2500; ++nWait) {
        if (!IsWindow(hDlg) || !IsWindowVisible(hDlg)) return true;
        std::this_thread::sleep_for(kPollInterval);
    }
    return false;
}

HWND AfxImplBoxOwner(HWND hWnd) { return hWnd != NULL ? GetAncestor(hWnd, GA_ROOT) : NULL; }
