#include "pci6406cfg.h"

#include <afxwin.h>

#include "template_dlg.h"

extern "C" int WINAPI DriverConfig(HWND hHostWnd, LPCSTR lpszRoot, LPCSTR lpszDevice, LPCSTR) {
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    g_hHostWnd = hHostWnd;
    // No dialog rather than one on a cut-off path or another board's folder,
    // which could name another file.
    const CString strProblem = CTemplateStore::ScriptPathProblem(lpszRoot, lpszDevice);
    if (!strProblem.IsEmpty()) {
        ::MessageBox(::IsWindow(hHostWnd) ? hHostWnd : NULL, strProblem, AfxGetAppName(), MB_OK | MB_ICONERROR);
        return 1;
    }
    CTemplateDlg* pDlg = new CTemplateDlg;
    pDlg->SetScriptPath(lpszRoot, lpszDevice);
    if (pDlg->Create(CTemplateDlg::IDD)) pDlg->ShowWindow(SW_SHOWNORMAL);
    return 1;
}
