#include <cstdio>
#include <cstdlib>
#include "afximpl.h"

// ---- Dialog data exchange ----------------------------------------------

CDataExchange::CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

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

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_lpszTemplateName(MAKEINTRESOURCE(nIDTemplate)), m_pParentWnd(pParentWnd) {}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    m_lpszTemplateName = MAKEINTRESOURCE(nIDTemplate);
    m_pParentWnd = pParentWnd;
    RegisterCommonControls();
    HWND hWnd = ::CreateDialogParam(AfxGetResourceHandle(), m_lpszTemplateName,
                                    pParentWnd != NULL ? pParentWnd->m_hWnd : NULL, AfxDlgProc,
                                    reinterpret_cast<LPARAM>(this));
    return hWnd != NULL;
}

int CDialog::DoModal() {
    RegisterCommonControls();
    HWND hWndParent = m_pParentWnd != NULL ? m_pParentWnd->m_hWnd : NULL;
    return (int)::DialogBoxParam(AfxGetResourceHandle(), m_lpszTemplateName, hWndParent, AfxDlgProc,
                                 reinterpret_cast<LPARAM>(this));
}

void CDialog::EndDialog(int nResult) { ::EndDialog(m_hWnd, nResult); }

// The dialogs exchange no data but their controls, which are bound here.
BOOL CDialog::OnInitDialog() {
    CDataExchange dx(this, FALSE);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::OnOK() { EndDialog(IDOK); }

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
AFX_MODULE_STATE* AfxGetStaticModuleState() { return &LibraryModuleState(); }

AFX_MODULE_STATE* AfxSetModuleState(AFX_MODULE_STATE* pNewState) {
    AFX_MODULE_STATE* pPrevious = AfxGetModuleState();
    g_pModuleState = pNewState;
    return pPrevious;
}

AFX_MAINTAIN_STATE::AFX_MAINTAIN_STATE(AFX_MODULE_STATE* pModuleState)
    : m_pPrevModuleState(AfxSetModuleState(pModuleState)) {}

AFX_MAINTAIN_STATE::~AFX_MAINTAIN_STATE() { AfxSetModuleState(m_pPrevModuleState); }

HINSTANCE AfxGetResourceHandle() { return AfxGetModuleState()->m_hCurrentResourceHandle; }
LPCTSTR AfxGetAppName() { return AfxGetModuleState()->m_lpszCurrentAppName; }
