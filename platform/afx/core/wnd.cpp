#include <map>
#include "afximpl.h"

namespace {

// The handle map. Leaked on purpose: windows may outlive static destruction.
std::map<HWND, CWnd*>& PermanentMap() {
    static std::map<HWND, CWnd*>* pMap = new std::map<HWND, CWnd*>;
    return *pMap;
}

// The message AfxWndProc is handling, for Default().
struct LastMessage {
    HWND hWnd;
    UINT nMsg;
    WPARAM wParam;
    LPARAM lParam;
};
LastMessage g_lastMessage = {NULL, 0, 0, 0};

}  // namespace

// ---- Message maps ------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, NULL}};
    static const AFX_MSGMAP map = {NULL, &entries[0]};
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

const AFX_MSGMAP_ENTRY* CCmdTarget::FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const {
    nCode &= 0xFFFF;
    nID &= 0xFFFF;
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != NULL;
         pMap = pMap->pfnGetBaseMap != NULL ? pMap->pfnGetBaseMap() : NULL) {
        for (const AFX_MSGMAP_ENTRY* pEntry = pMap->lpEntries; pEntry->pfn != NULL; ++pEntry) {
            if (pEntry->nMessage == nMessage && pEntry->nCode == nCode && nID >= pEntry->nID && nID <= pEntry->nLastID)
                return pEntry;
        }
    }
    return NULL;
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
    ON_WM_DESTROY()
    ON_WM_NCDESTROY()
END_MESSAGE_MAP()

// ---- Handle maps -------------------------------------------------------

CWnd::CWnd() : m_hWnd(NULL), m_pfnSuper(NULL) {}

CWnd::~CWnd() {
    // A window outliving its object is destroyed with it; its derived
    // handlers are gone by now, as with the class library.
    if (m_hWnd != NULL && FromHandlePermanent(m_hWnd) == this) DestroyWindow();
    if (m_hWnd != NULL && FromHandlePermanent(m_hWnd) == this) Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    std::map<HWND, CWnd*>::const_iterator it = PermanentMap().find(hWnd);
    return it != PermanentMap().end() ? it->second : NULL;
}

BOOL CWnd::Attach(HWND hWndNew) {
    // One object per window: a second would never see its messages.
    if (hWndNew == NULL || m_hWnd != NULL || FromHandlePermanent(hWndNew) != NULL) return FALSE;
    m_hWnd = hWndNew;
    PermanentMap()[hWndNew] = this;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    if (hWnd != NULL) {
        std::map<HWND, CWnd*>::iterator it = PermanentMap().find(hWnd);
        if (it != PermanentMap().end() && it->second == this) PermanentMap().erase(it);
    }
    m_hWnd = NULL;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!Attach(hWnd)) return FALSE;
    WNDPROC pfnOld = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtr(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    if (pfnOld != &AfxWndProc) m_pfnSuper = pfnOld;
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    if (m_hWnd == NULL) return FALSE;
    HWND hWnd = m_hWnd;
    bool bPermanent = FromHandlePermanent(hWnd) == this;
    BOOL bResult = ::DestroyWindow(hWnd);
    // A bound object detached itself at WM_NCDESTROY and may be gone.
    if (!bPermanent) Detach();
    return bResult;
}

// ---- Window procedure --------------------------------------------------

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (pWnd == NULL) return ::DefWindowProc(hWnd, nMsg, wParam, lParam);
    // Handlers run with the library's resources, whoever sent the message.
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    LastMessage saved = g_lastMessage;
    g_lastMessage = {hWnd, nMsg, wParam, lParam};
    LRESULT lResult = pWnd->WindowProc(nMsg, wParam, lParam);  // pWnd may be deleted now
    g_lastMessage = saved;
    return lResult;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult)) lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    LRESULT lResult = 0;
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam)) return FALSE;
        lResult = 1;
    } else if (message == WM_NOTIFY) {
        const NMHDR* pNMHDR = reinterpret_cast<const NMHDR*>(lParam);
        if (pNMHDR == NULL || pNMHDR->hwndFrom == NULL || !OnNotify(wParam, lParam, &lResult)) return FALSE;
    } else {
        const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(message, 0, 0);
        if (pEntry == NULL) return FALSE;
        pEntry->pfn(this, wParam, lParam, &lResult);  // the handler may delete this object
    }
    if (pResult != NULL) *pResult = lResult;
    return TRUE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT nID = LOWORD(wParam);
    UINT nCode = HIWORD(wParam);
    if (lParam == 0) nCode = CN_COMMAND;  // menus and accelerators
    const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(WM_COMMAND, nCode, nID);
    if (pEntry == NULL) return FALSE;
    pEntry->pfn(this, wParam, lParam, NULL);
    return TRUE;
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    const NMHDR* pNMHDR = reinterpret_cast<const NMHDR*>(lParam);
    const AFX_MSGMAP_ENTRY* pEntry = FindMessageEntry(WM_NOTIFY, pNMHDR->code, (UINT)pNMHDR->idFrom);
    if (pEntry == NULL) return FALSE;
    pEntry->pfn(this, wParam, lParam, pResult);
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != NULL) return ::CallWindowProc(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProc(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(g_lastMessage.nMsg, g_lastMessage.wParam, g_lastMessage.lParam);
}

void CWnd::OnDestroy() { Default(); }

void CWnd::OnNcDestroy() {
    HWND hWnd = m_hWnd;
    LONG_PTR pfnOurs = ::GetWindowLongPtr(hWnd, GWLP_WNDPROC);
    Default();
    if (m_pfnSuper != NULL && ::GetWindowLongPtr(hWnd, GWLP_WNDPROC) == pfnOurs)
        ::SetWindowLongPtr(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    m_pfnSuper = NULL;
    Detach();
    PostNcDestroy();
}

void CWnd::PostNcDestroy() {}

void CWnd::DoDataExchange(CDataExchange*) {}

// ---- Window operations -------------------------------------------------

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessage(m_hWnd, message, wParam, lParam);
}
BOOL CWnd::ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
BOOL CWnd::EnableWindow(BOOL bEnable) { return ::EnableWindow(m_hWnd, bEnable); }
void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
    ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}
void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint) {
    MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, bRepaint);
}
void CWnd::GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
void CWnd::SetWindowText(LPCTSTR lpszString) { ::SetWindowText(m_hWnd, lpszString); }

int CWnd::MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption, UINT nType) {
    if (lpszCaption == NULL) lpszCaption = AfxGetAppName();
    return ::MessageBox(m_hWnd, lpszText, lpszCaption, nType);
}
