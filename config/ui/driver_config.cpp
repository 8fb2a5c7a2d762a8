#include "pci6406cfg.h"

#include <afxwin.h>

#include "template_dlg.h"

extern "C" int DriverConfig(HWND hHostWnd, LPCSTR lpszRoot, LPCSTR lpszDevice, LPCSTR) {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    CTemplateDlg* pDlg = new CTemplateDlg;
    g_hHostWnd = hHostWnd;
    if (!pDlg->SetScriptPath(lpszRoot, lpszDevice)) {
        // No dialog rather than one on a cut-off path, which could name
        // another file.
        CString strText;
        strText.Format("The path of the registry script would be longer than %d characters; "
                       "keep the image folder's path shorter.\n%s",
                       CTemplateDlg::MAX_SCRIPT_PATH, lpszRoot != NULL ? lpszRoot : "");
        ::MessageBox(::IsWindow(hHostWnd) ? hHostWnd : NULL, strText, AfxGetAppName(), MB_OK | MB_ICONERROR);
        delete pDlg;
        return 1;
    }
    if (pDlg->Create(CTemplateDlg::IDD)) pDlg->ShowWindow(SW_SHOWNORMAL);
    return 1;
}
