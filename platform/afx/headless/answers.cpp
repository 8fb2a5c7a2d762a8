// Message boxes and modal loops: the one place where the program waits for
// the person, answered in memory by whoever is installed.
#include <cstdio>
#include <cstdlib>
#include "afx_user.h"
#include "../core/afximpl.h"
#include "hl_window.h"

namespace {

CUserAnswers* g_pAnswers = NULL;

}  // namespace

CUserAnswers* AfxSetUserAnswers(CUserAnswers* pAnswers) {
    CUserAnswers* pPrevious = g_pAnswers;
    g_pAnswers = pAnswers;
    return pPrevious;
}

extern "C" int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    if (hWnd != NULL && !IsWindow(hWnd)) return 0;  // a box cannot be owned by a window that is gone
    LPCSTR lpszCaption = lpCaption != NULL ? lpCaption : "Error";
    LPCSTR lpszText = lpText != NULL ? lpText : "";
    if (g_pAnswers == NULL) {
        fprintf(stderr, "%s with nobody to answer it\n", AfxDescribeMessageBox(lpszText, lpszCaption, uType).c_str());
        abort();
    }
    return g_pAnswers->AnswerMessageBox(hWnd, lpszText, lpszCaption, uType);
}

namespace hl {

void WorkModalDialog(HWND hDlg, UINT nIDTemplate) {
    if (g_pAnswers == NULL) {
        fprintf(stderr, "dialog %u with nobody to work it\n", nIDTemplate);
        abort();
    }
    g_pAnswers->WorkModalDialog(hDlg, nIDTemplate);
}

}  // namespace hl

bool AfxImplDialogEnded(HWND hDlg) { return hl::DialogEnded(hDlg); }

HWND AfxImplBoxOwner(HWND hWnd) { return hWnd; }
