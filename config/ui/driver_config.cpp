#include "pci6406cfg.h"

#include <afxwin.h>

#include <algorithm>
#include <cstring>

#include "template_dlg.h"

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Its first seven characters a three-letter bus and a four-character model:
// any fewer, or a separator among them, would name another folder and give
// the templates another key.
bool IsDeviceName(LPCSTR lpszDevice) {
    if (lpszDevice == NULL || strnlen(lpszDevice, 7) < 7) return false;
    for (int i = 0; i < 7; ++i) {
        if (!IsLetter(lpszDevice[i]) && (i < 3 || !IsDigit(lpszDevice[i]))) return false;
    }
    return true;
}

}  // namespace

extern "C" int WINAPI DriverConfig(HWND hHostWnd, LPCSTR lpszRoot, LPCSTR lpszDevice, LPCSTR) {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    g_hHostWnd = hHostWnd;
    if (!IsDeviceName(lpszDevice)) {
        CString strText;
        strText.Format("The device name \"%.40s\" is not a three-letter bus and a four-character model, such as "
                       "PCI6406.",
                       lpszDevice != NULL ? lpszDevice : "");
        ::MessageBox(::IsWindow(hHostWnd) ? hHostWnd : NULL, strText, AfxGetAppName(), MB_OK | MB_ICONERROR);
        return 1;
    }
    CTemplateDlg* pDlg = new CTemplateDlg;
    if (!pDlg->SetScriptPath(lpszRoot, lpszDevice)) {
        // No dialog rather than one on a cut-off path, which could name
        // another file.
        // The root is echoed only as far as a path could go: a box shows no
        // more than 32767 characters.
        LPCSTR lpszShown = lpszRoot != NULL ? lpszRoot : "";
        const int cchShown = static_cast<int>(strnlen(lpszShown, CTemplateDlg::MAX_SCRIPT_PATH + 1));
        CString strText;
        strText.Format("The path of the registry script would be longer than %d characters; "
                       "keep the image folder's path shorter.\n%.*s%s",
                       CTemplateDlg::MAX_SCRIPT_PATH, std::min(cchShown, static_cast<int>(CTemplateDlg::MAX_SCRIPT_PATH)),
                       lpszShown, cchShown > CTemplateDlg::MAX_SCRIPT_PATH ? "..." : "");
        ::MessageBox(::IsWindow(hHostWnd) ? hHostWnd : NULL, strText, AfxGetAppName(), MB_OK | MB_ICONERROR);
        delete pDlg;
        return 1;
    }
    if (pDlg->Create(CTemplateDlg::IDD)) pDlg->ShowWindow(SW_SHOWNORMAL);
    return 1;
}
