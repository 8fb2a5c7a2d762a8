#include "pci6406cfg.h"

#include <afxwin.h>

#include <algorithm>
#include <cstring>

#include "template_dlg.h"

extern "C" int WINAPI DriverConfig(HWND hHostWnd, LPCSTR lpszRoot, LPCSTR lpszDevice, LPCSTR) {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    CTemplateDlg* pDlg = new CTemplateDlg;
    g_hHostWnd = hHostWnd;
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
