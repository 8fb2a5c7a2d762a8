#pragma once
// The person at the screen: what they do to the controls, and how they answer
// the message boxes and modal dialogs that wait for them. Tests and the
// command-line tool drive the dialogs through this; it is written for each
// backend (testing/headless: in memory, testing/win32: real input) and is
// never part of a deliverable.
#include <deque>
#include <functional>
#include <string>
#include <vector>
#include "afx_winuser.h"

// Whoever answers what blocks for a person. Exactly one is installed at a
// time; a box or modal dialog with nobody installed ends the process.
class CUserAnswers {
public:
    virtual ~CUserAnswers() {}
    // The button pressed: IDOK, IDCANCEL, IDYES, ... lpszCaption is the one
    // shown ("Error" when the caller gave none).
    virtual int AnswerMessageBox(HWND hWndOwner, LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) = 0;
    // Works the modal dialog until it ends, with the CUser actions below.
    virtual void WorkModalDialog(HWND hDlg, UINT nIDTemplate) = 0;
};

// Installs pAnswers (NULL: nobody) and returns the one it replaces.
CUserAnswers* AfxSetUserAnswers(CUserAnswers* pAnswers);

// A test's script of what will block and how the person answers. Installed
// while it lives. Each box and dialog must come in the order expected, with
// the text, caption and buttons expected; anything else is a problem, and so
// is an expected one that never comes. Verify() returns the problems; those
// still unreported when the script is destroyed end the process.
class CUserScript : public CUserAnswers {
public:
    CUserScript();
    ~CUserScript() override;
    CUserScript(const CUserScript&) = delete;
    CUserScript& operator=(const CUserScript&) = delete;

    // nButtons: MB_OK, MB_OKCANCEL, ... (the type's low four bits).
    CUserScript& ExpectMessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nButtons, int nAnswer);
    // The box expected last must be owned by hWndOwner (NULL: by no window);
    // on Windows, by the top-level window that hWndOwner belongs to.
    CUserScript& OwnedBy(HWND hWndOwner);
    // A modal dialog from template nIDTemplate; act must end it.
    CUserScript& ExpectDialog(UINT nIDTemplate, std::function<void(HWND)> act);

    // The problems so far and the expected boxes that have not come, one a
    // line; "" when all went as scripted. Clears both.
    std::string Verify();
    int GetShownCount() const { return m_nShown; }

    int AnswerMessageBox(HWND hWndOwner, LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) override;
    void WorkModalDialog(HWND hDlg, UINT nIDTemplate) override;

private:
    struct Expected {
        bool bDialog;
        std::string strText;
        std::string strCaption;
        UINT nButtons;
        int nAnswer;
        bool bCheckOwner;
        HWND hWndOwner;
        UINT nIDTemplate;
        std::function<void(HWND)> act;
    };
    std::deque<Expected> m_expected;
    std::vector<std::string> m_problems;
    int m_nShown;
    CUserAnswers* m_pPrevious;
};

// For programs without a person: prints each box's text on standard error,
// answers with the box's default button, and cancels modal dialogs.
class CStderrAnswers : public CUserAnswers {
public:
    CStderrAnswers();
    ~CStderrAnswers() override;
    CStderrAnswers(const CStderrAnswers&) = delete;
    CStderrAnswers& operator=(const CStderrAnswers&) = delete;

    int GetShownCount() const { return m_nShown; }
    int AnswerMessageBox(HWND hWndOwner, LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) override;
    void WorkModalDialog(HWND hDlg, UINT nIDTemplate) override;

private:
    int m_nShown;
    CUserAnswers* m_pPrevious;
};

// The person's hands. Each action works only where a person could act: on a
// control that is shown and enabled, with its dialog shown and enabled, and
// on tree items scrolled into view; otherwise it does nothing and returns
// FALSE.
class CUser {
public:
    // A mouse click: BN_CLICKED to the parent, IDOK and IDCANCEL included.
    static BOOL ClickButton(HWND hWndButton);
    // The same by identifier. Headless dialogs hold only the controls their
    // code bound; a button nothing bound appears when it is first clicked.
    static BOOL ClickDlgButton(HWND hDlg, int nIDButton);
    // Opens the list and picks the item: CBN_SELCHANGE as a person raises it,
    // also when the item was already selected.
    static BOOL ChooseComboItem(HWND hWndCombo, int nIndex);
    static BOOL ChooseComboText(HWND hWndCombo, LPCSTR lpszText);
    // A click on the item's label (selects it) or on its expand button.
    static BOOL ClickTreeItem(HWND hWndTree, HTREEITEM hItem);
    static BOOL ClickTreeText(HWND hWndTree, LPCSTR lpszText);
    static BOOL ClickTreeButton(HWND hWndTree, HTREEITEM hItem);
    // Lines down (positive) or up on the tree's scroll bar.
    static BOOL ScrollTree(HWND hWndTree, int nLines);
    static BOOL ClickTab(HWND hWndTab, int nIndex);
    // A key pressed and released where the focus is, through the dialog
    // manager of the focus's dialog, as a host's message loop hands it on:
    // Enter, Escape and Tab reach the dialog, other keys the control (a tree
    // tells its dialog with TVN_KEYDOWN).
    static BOOL PressKey(UINT nVirtKey);
};
