// Module state on Windows: the library's module is the one this code is
// linked into (PCI6406Cfg.dll, or a test program that carries the dialogs), so
// the dialog templates and the bitmap are loaded from its resources whoever
// the host is.
#include <cstring>
#include "../core/afximpl.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

HINSTANCE AfxImplLibraryInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// The module's file name without folder and extension, as the class library
// names an application.
LPCTSTR AfxImplLibraryName() {
    static char szName[MAX_PATH] = "";
    if (szName[0] == '\0') {
        char szPath[MAX_PATH] = "";
        GetModuleFileNameA(AfxImplLibraryInstance(), szPath, MAX_PATH);
        const char* pszFile = szPath;
        for (const char* p = szPath; *p != '\0'; ++p) {
            if (*p == '\\' || *p == '/') pszFile = p + 1;
        }
        const char* pszDot = strrchr(pszFile, '.');
        size_t cch = pszDot != NULL ? (size_t)(pszDot - pszFile) : strlen(pszFile);
        memcpy(szName, pszFile, cch);
        szName[cch] = '\0';
    }
    return szName;
}

// The dialog manager made every control of the template.
HWND AfxImplPrepareControl(HWND hDlg, int nIDC, const CWnd&) { return GetDlgItem(hDlg, nIDC); }
