#pragma once
// The window classes of the class library that the configuration dialogs are
// written on: CWnd, CDialog, the standard controls, dialog data exchange,
// message maps and module state. Names and signatures are the class
// library's; the classes sit on the Win32 window manager (afx_winuser.h),
// whichever backend supplies it.
#include <cstddef>
#include "afx.h"
#include "afx_winuser.h"
#include "afxstr.h"

#define afx_msg
#define CN_COMMAND 0

class CCmdTarget;
class CWnd;
class CDataExchange;

// ---- Message maps ------------------------------------------------------
// Each entry carries a small function that calls the handler with its own
// signature, so handlers are checked by the compiler and no member-pointer
// casts are needed.
typedef void (*AFX_PMSGTHUNK)(CCmdTarget* pTarget, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // WM_COMMAND, WM_NOTIFY or a window message
    UINT nCode;     // control notification code (low 16 bits) or 0
    UINT nID;       // first control identifier, or 0 for window messages
    UINT nLastID;
    AFX_PMSGTHUNK pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

template <class>
struct AfxHandlerClass;
template <class C, class R, class... A>
struct AfxHandlerClass<R (C::*)(A...)> {
    typedef C type;
};
#define AFX_HANDLER_OBJECT(pfn, p) static_cast<typename AfxHandlerClass<decltype(pfn)>::type*>(p)

template <auto pfn>
void AfxThunkVoid(CCmdTarget* p, WPARAM, LPARAM, LRESULT*) {
    (AFX_HANDLER_OBJECT(pfn, p)->*pfn)();
}
template <auto pfn>
void AfxThunkCommandRange(CCmdTarget* p, WPARAM wParam, LPARAM, LRESULT*) {
    (AFX_HANDLER_OBJECT(pfn, p)->*pfn)((UINT)LOWORD(wParam));
}
template <auto pfn>
void AfxThunkNotify(CCmdTarget* p, WPARAM, LPARAM lParam, LRESULT* pResult) {
    (AFX_HANDLER_OBJECT(pfn, p)->*pfn)(reinterpret_cast<NMHDR*>(lParam), pResult);
}

// Every class with a map derives from CCmdTarget, so the declaration is an
// override, which keeps classes that mark their overrides consistent.
#define DECLARE_MESSAGE_MAP()                        \
protected:                                           \
    static const AFX_MSGMAP* GetThisMessageMap();    \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
        typedef theClass ThisClass;                                                   \
        typedef baseClass TheBaseClass;                                               \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP()                                                                          \
    {0, 0, 0, 0, NULL}};                                                                           \
    static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &_messageEntries[0]}; \
    (void)sizeof(ThisClass*);                                                                      \
    return &messageMap;                                                                            \
    }

#define ON_COMMAND(id, memberFxn) \
    {WM_COMMAND, CN_COMMAND, (WORD)(id), (WORD)(id), &AfxThunkVoid<&ThisClass::memberFxn>},
#define ON_CONTROL(wNotifyCode, id, memberFxn) \
    {WM_COMMAND, (WORD)(wNotifyCode), (WORD)(id), (WORD)(id), &AfxThunkVoid<&ThisClass::memberFxn>},
// One handler for a run of controls; it is given the control's identifier.
#define ON_CONTROL_RANGE(wNotifyCode, id, idLast, memberFxn) \
    {WM_COMMAND, (WORD)(wNotifyCode), (WORD)(id), (WORD)(idLast), &AfxThunkCommandRange<&ThisClass::memberFxn>},
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_NOTIFY(wNotifyCode, id, memberFxn) \
    {WM_NOTIFY, (WORD)(int)(wNotifyCode), (WORD)(id), (WORD)(id), &AfxThunkNotify<&ThisClass::memberFxn>},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, &AfxThunkVoid<&ThisClass::OnDestroy>},
#define ON_WM_NCDESTROY() {WM_NCDESTROY, 0, 0, 0, &AfxThunkVoid<&ThisClass::OnNcDestroy>},

class CCmdTarget {
public:
    CCmdTarget() {}
    virtual ~CCmdTarget() {}

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
    // The first entry of this object's map chain that handles the message.
    const AFX_MSGMAP_ENTRY* FindMessageEntry(UINT nMessage, UINT nCode, UINT nID) const;
};

// ---- Windows -----------------------------------------------------------
class CWnd : public CCmdTarget {
public:
    HWND m_hWnd;

    CWnd();
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;


    // The object bound to a window, or NULL.
    static CWnd* FromHandlePermanent(HWND hWnd);
    BOOL Attach(HWND hWndNew);
    HWND Detach();
    // Binds the object and sends the window's messages through its map.
    BOOL SubclassWindow(HWND hWnd);
    virtual BOOL DestroyWindow();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL ShowWindow(int nCmdShow);
    BOOL EnableWindow(BOOL bEnable = TRUE);
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    void GetClientRect(LPRECT lpRect) const;
    void SetWindowText(LPCTSTR lpszString);

    // A box owned by this window; without a caption, the module's name.
    int MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption = NULL, UINT nType = MB_OK);

    virtual void DoDataExchange(CDataExchange* pDX);

    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void PostNcDestroy();
    // The default processing of the message being handled.
    LRESULT Default();

    afx_msg void OnDestroy();
    afx_msg void OnNcDestroy();

protected:
    WNDPROC m_pfnSuper;

    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    DECLARE_MESSAGE_MAP()
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam);

// ---- Dialog data exchange ----------------------------------------------
class CDataExchange {
public:
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;

    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);
};

// Binds rControl to the dialog's control nIDC, once.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

// ---- Dialogs -----------------------------------------------------------
class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);

    // A modeless dialog from the template in the current resource module.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    virtual int DoModal();
    void EndDialog(int nResult);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    LPCTSTR m_lpszTemplateName;
    CWnd* m_pParentWnd;

    DECLARE_MESSAGE_MAP()
};

// ---- Standard controls -------------------------------------------------
class CStatic : public CWnd {
public:
    CStatic() {}
};

class CButton : public CWnd {
public:
    CButton() {}
};

class CComboBox : public CWnd {
public:
    CComboBox() {}
    int GetCurSel() const { return (int)::SendMessage(m_hWnd, CB_GETCURSEL, 0, 0); }
    int SetCurSel(int nSelect) { return (int)::SendMessage(m_hWnd, CB_SETCURSEL, nSelect, 0); }
    int AddString(LPCTSTR lpszString) { return (int)::SendMessage(m_hWnd, CB_ADDSTRING, 0, (LPARAM)lpszString); }
};

// ---- Module state ------------------------------------------------------
// Which module's resources the dialogs come from: the host's, or, inside an
// AFX_MANAGE_STATE scope, the library's own.
struct AFX_MODULE_STATE {
    HINSTANCE m_hCurrentInstanceHandle;
    HINSTANCE m_hCurrentResourceHandle;
    LPCTSTR m_lpszCurrentAppName;
};

AFX_MODULE_STATE* AfxGetModuleState();
AFX_MODULE_STATE* AfxGetStaticModuleState();
AFX_MODULE_STATE* AfxSetModuleState(AFX_MODULE_STATE* pNewState);

struct AFX_MAINTAIN_STATE {
    explicit AFX_MAINTAIN_STATE(AFX_MODULE_STATE* pModuleState);
    ~AFX_MAINTAIN_STATE();
    AFX_MAINTAIN_STATE(const AFX_MAINTAIN_STATE&) = delete;
    AFX_MAINTAIN_STATE& operator=(const AFX_MAINTAIN_STATE&) = delete;
    AFX_MODULE_STATE* m_pPrevModuleState;
};
#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE _ctlState(p);

HINSTANCE AfxGetResourceHandle();
LPCTSTR AfxGetAppName();
