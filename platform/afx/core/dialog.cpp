#include <cstdio>
#include <cstdlib>
#include "afximpl.h"

// ---- Dialog data exchange ----------------------------------------------

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

HWND CDataExchange::PrepareCtrl(int nIDC) { return ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC); }

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd != NULL) return;
    HWND hWndControl = AfxImplPrepareControl(pDX->m_pDlgWnd->m_hWnd, nIDC, rControl);
    // A control missing from its template is a programming error, as the
    // class library treats it.
    if (hWndControl == NULL || !rControl.SubclassWindow(hWndControl)) {
        fprintf(stderr, "DDX_Control: the dialog has no control %d to bind\n", nIDC);
        abort();
    }
}

// ---- Dialogs -----------------------------------------------------------

namespace {

// A template may hold trees and tabs, whose classes must be registered before
// the dialog is made, as the class library does for its dialogs.
void RegisterCommonControls() {
    static const BOOL bRegistered = [] {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_TREEVIEW_CLASSES | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
        return InitCommonControlsEx(&icc);
    }();
    (void)bRegistered;
}

}  // namespace

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog() : m_lpszTemplateName(NULL), m_pParentWnd(NULL) {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCE(nIDTemplate)), m_pParentWnd(pParentWnd) {}

CDialog::CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd)
    : m_lpszTemplateName(lpszTemplateName), m_pParentWnd(pParentWnd) {}

BOOL CDialog::Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd) {
    m_lpszTemplateName = lpszTemplateName;
    m_pParentWnd = pParentWnd;
    RegisterCommonControls();
    HWND hWnd = ::CreateDialogParam(AfxGetResourceHandle(), lpszTemplateName,
                                    pParentWnd != NULL ? pParentWnd->m_hWnd : NULL, AfxDlgProc,
                                    reinterpret_cast<LPARAM>(this));
    return hWnd != NULL;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) { return Create(MAKEINTRESOURCE(nIDTemplate), pParentWnd); }

int CDialog::DoModal() {
    RegisterCommonControls();
    HWND hWndParent = m_pParentWnd != NULL ? m_pParentWnd->m_hWnd : NULL;
    return (int)::DialogBoxParam(AfxGetResourceHandle(), m_lpszTemplateName, hWndParent, AfxDlgProc,
                                 reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

// The dialog procedure only starts the dialog: from WM_INITDIALOG on, the
// window is subclassed and every message goes through the message maps,
// falling back to the dialog manager's own processing.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT nMsg, WPARAM, LPARAM lParam) {
    if (nMsg != WM_INITDIALOG) return FALSE;
    CDialog* pDlg = reinterpret_cast<CDialog*>(lParam);
    if (pDlg == NULL || !pDlg->SubclassWindow(hWnd)) return TRUE;
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    return pDlg->OnInitDialog();
}

// ---- Module state ------------------------------------------------------

namespace {

AFX_MODULE_STATE& AppModuleState() {
    static AFX_MODULE_STATE state = {::GetModuleHandle(NULL), ::GetModuleHandle(NULL), NULL};
    return state;
}

AFX_MODULE_STATE& LibraryModuleState() {
    static AFX_MODULE_STATE state = {AfxImplLibraryInstance(), AfxImplLibraryInstance(), AfxImplLibraryName()};
    return state;
}

AFX_MODULE_STATE* g_pModuleState = NULL;

}  // namespace

AFX_MODULE_STATE* AfxGetModuleState() { return g_pModuleState != NULL ? g_pModuleState : &AppModuleState(); }
AFX_MODULE_STATE* AfxGetAppModuleState() { return &AppModuleState(); }
AFX_MODULE_STATE* AfxGetStaticModuleState() { return &LibraryModuleState(); }

AFX_MODULE_STATE* AfxSetModuleState(AFX_MODULE_STATE* pNewState) {
    AFX_MODULE_STATE* pPrevious = AfxGetModuleState();
    g_pModuleState = pNewState;
    return pPrevious;
}

AFX_MAINTAIN_STATE::AFX_MAINTAIN_STATE(AFX_MODULE_STATE* pModuleState)
    : m_pPrevModuleState(AfxSetModuleState(pModuleState)) {}

AFX_MAINTAIN_STATE::~AFX_MAINTAIN_STATE() { AfxSetModuleState(m_pPrevModuleState); }

HINSTANCE AfxGetInstanceHandle() { return AfxGetModuleState()->m_hCurrentInstanceHandle; }
HINSTANCE AfxGetResourceHandle() { return AfxGetModuleState()->m_hCurrentResourceHandle; }
void AfxSetResourceHandle(HINSTANCE hInstResource) { AfxGetModuleState()->m_hCurrentResourceHandle = hInstResource; }
LPCTSTR AfxGetAppName() { return AfxGetModuleState()->m_lpszCurrentAppName; }

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT) {
    if ((nType & MB_ICONMASK) == 0) {
        switch (nType & MB_TYPEMASK) {
        case MB_OK:
        case MB_OKCANCEL:
        case MB_YESNO:
        case MB_YESNOCANCEL:
            nType |= MB_ICONEXCLAMATION;
            break;
        default:
            break;
        }
    }
    return ::MessageBox(NULL, lpszText, AfxGetAppName(), nType);
}
