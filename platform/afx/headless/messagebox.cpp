// Message boxes, for the dialogs' refusals, errors and save prompts: a box waits
// for the person (person.cpp), owned by a window that still exists, with
// "Error" for a caption the caller left out.
#include "hl_window.h"

extern "C" int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    if (hWnd != NULL && !IsWindow(hWnd)) return 0;  // a box cannot be owned by a window that is gone
    return AfxHeadlessAnswerMessageBox(hWnd, lpText != NULL ? lpText : "", lpCaption != NULL ? lpCaption : "Error",
                                       uType);
}
