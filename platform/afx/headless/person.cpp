// The person at the screen, where message boxes and modal dialogs (the About
// box) wait. A headless screen has nobody at it, so either ends the process.
// Programs that bring a person (the test aids, tests/afx/testing) put
// theirs in front of both at link time: the callers are in other files, so
// the linker's --wrap reaches every call.
#include <cstdio>
#include <cstdlib>
#include "hl_window.h"

extern "C" int AfxHeadlessAnswerMessageBox(HWND, LPCSTR lpszText, LPCSTR lpszCaption, UINT) {
    fprintf(stderr, "message box \"%s\" (caption \"%s\") with nobody to answer it\n", lpszText, lpszCaption);
    abort();
}

extern "C" void AfxHeadlessWorkModalDialog(HWND, UINT nIDTemplate) {
    fprintf(stderr, "dialog %u with nobody to work it\n", nIDTemplate);
    abort();
}
