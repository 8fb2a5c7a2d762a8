// Boxes and modal dialogs on the headless screen go to whoever is installed
// to answer for the person: the linker sends the backend's calls for a
// person here (--wrap, see ../CMakeLists.txt); with nobody installed they go
// on to the backend, which ends the process.
#include "afx_user.h"
#include "hl_window.h"
#include "../testing_impl.h"

namespace {

CUserAnswers* g_pAnswers = NULL;

}  // namespace

extern "C" {
int __real_AfxHeadlessAnswerMessageBox(HWND hWndOwner, LPCSTR lpszText, LPCSTR lpszCaption, UINT nType);
void __real_AfxHeadlessWorkModalDialog(HWND hDlg, UINT nIDTemplate);

int __wrap_AfxHeadlessAnswerMessageBox(HWND hWndOwner, LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    if (g_pAnswers == NULL) return __real_AfxHeadlessAnswerMessageBox(hWndOwner, lpszText, lpszCaption, nType);
    return g_pAnswers->AnswerMessageBox(hWndOwner, lpszText, lpszCaption, nType);
}

void __wrap_AfxHeadlessWorkModalDialog(HWND hDlg, UINT nIDTemplate) {
    if (g_pAnswers == NULL) return __real_AfxHeadlessWorkModalDialog(hDlg, nIDTemplate);
    g_pAnswers->WorkModalDialog(hDlg, nIDTemplate);
}
}

CUserAnswers* AfxSetUserAnswers(CUserAnswers* pAnswers) {
    CUserAnswers* pPrevious = g_pAnswers;
    g_pAnswers = pAnswers;
    return pPrevious;
}

bool AfxImplDialogEnded(HWND hDlg) { return hl::DialogEnded(hDlg); }

HWND AfxImplBoxOwner(HWND hWnd) { return hWnd; }
