// Message boxes: a box waits for the person (person.cpp) under the rules
// Win32 gives it.
#include "hl_window.h"

extern "C" int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    if (hWnd != NULL && !IsWindow(hWnd)) return 0;  // a box cannot be owned by a window that is gone
    return AfxHeadlessAnswerMessageBox(hWnd, lpText != NULL ? lpText : "", lpCaption != NULL ? lpCaption : "Error",
                                       uType);
}
