// The scripted person and the standard-error answerer, the same on both
// backends; each backend brings its boxes and modal dialogs to whoever is
// installed (afx_user.h).
#include <cstdio>
#include <cstdlib>
#include "afx_user.h"
#include "testing_impl.h"

namespace {

std::vector<int> ButtonsOf(UINT nType) {
    switch (nType & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE:
        return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

int DefaultButton(UINT nType) {
    std::vector<int> buttons = ButtonsOf(nType);
    size_t index = (nType & MB_DEFMASK) >> 8;
    return index < buttons.size() ? buttons[index] : buttons[0];
}

// What a script answers to a box it did not expect: whatever changes least.
int SafestButton(UINT nType) {
    std::vector<int> buttons = ButtonsOf(nType);
    for (int button : {IDCANCEL, IDNO, IDIGNORE}) {
        for (int candidate : buttons) {
            if (candidate == button) return button;
        }
    }
    return buttons[0];
}

const char* ButtonsName(UINT nButtons) {
    static const char* const names[] = {"MB_OK", "MB_OKCANCEL", "MB_ABORTRETRYIGNORE",
                                        "MB_YESNOCANCEL", "MB_YESNO", "MB_RETRYCANCEL"};
    return nButtons < sizeof(names) / sizeof(names[0]) ? names[nButtons] : "MB_?";
}

std::string DescribeBox(const std::string& text, const std::string& caption, UINT nButtons) {
    return "message box \"" + text + "\" (caption \"" + caption + "\", " + ButtonsName(nButtons) + ")";
}

std::string DescribeDialog(UINT nIDTemplate) { return "dialog " + std::to_string(nIDTemplate); }

std::string DescribeHandle(HWND hWnd) {
    char text[32];
    snprintf(text, sizeof(text), "%p", (void*)hWnd);
    return hWnd != NULL ? text : "no window";
}

}  // namespace

// ---- Scripts -----------------------------------------------------------

CUserScript::CUserScript() : m_nShown(0), m_pPrevious(AfxSetUserAnswers(this)) {}

CUserScript::~CUserScript() {
    AfxSetUserAnswers(m_pPrevious);
    std::string strLeft = Verify();
    if (!strLeft.empty()) {
        fprintf(stderr, "the person's script did not go as written:\n%s\n", strLeft.c_str());
        abort();
    }
}

CUserScript& CUserScript::ExpectMessageBox(LPCSTR lpszText, LPCSTR lpszCaption, UINT nButtons, int nAnswer) {
    Expected expected = {false, lpszText != NULL ? lpszText : "", lpszCaption != NULL ? lpszCaption : "Error",
                         (UINT)(nButtons & MB_TYPEMASK), nAnswer, false, NULL, 0, nullptr};
    std::vector<int> buttons = ButtonsOf(expected.nButtons);
    bool bPossible = false;
    for (int button : buttons) bPossible = bPossible || button == nAnswer;
    if (!bPossible)
        m_problems.push_back("answer " + std::to_string(nAnswer) + " is not a button of " +
                             DescribeBox(expected.strText, expected.strCaption, expected.nButtons));
    m_expected.push_back(expected);
    return *this;
}

CUserScript& CUserScript::OwnedBy(HWND hWndOwner) {
    if (!m_expected.empty() && !m_expected.back().bDialog) {
        m_expected.back().bCheckOwner = true;
        m_expected.back().hWndOwner = AfxImplBoxOwner(hWndOwner);
    }
    return *this;
}

CUserScript& CUserScript::ExpectDialog(UINT nIDTemplate, std::function<void(HWND)> act) {
    m_expected.push_back({true, "", "", 0, 0, false, NULL, nIDTemplate, act});
    return *this;
}

std::string CUserScript::Verify() {
    for (const Expected& expected : m_expected) {
        m_problems.push_back("expected " +
                             (expected.bDialog ? DescribeDialog(expected.nIDTemplate)
                                               : DescribeBox(expected.strText, expected.strCaption, expected.nButtons)) +
                             ", which never came");
    }
    m_expected.clear();
    std::string strProblems;
    for (const std::string& problem : m_problems) strProblems += (strProblems.empty() ? "" : "\n") + problem;
    m_problems.clear();
    return strProblems;
}

int CUserScript::AnswerMessageBox(HWND hWndOwner, LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) {
    ++m_nShown;
    std::string strGot = DescribeBox(lpszText, lpszCaption, nType & MB_TYPEMASK);
    if (m_expected.empty()) {
        m_problems.push_back("unexpected " + strGot);
        return SafestButton(nType);
    }
    Expected expected = m_expected.front();
    m_expected.pop_front();
    if (expected.bDialog) {
        m_problems.push_back("expected " + DescribeDialog(expected.nIDTemplate) + ", got " + strGot);
        return SafestButton(nType);
    }
    if (expected.strText != lpszText || expected.strCaption != lpszCaption || expected.nButtons != (nType & MB_TYPEMASK)) {
        m_problems.push_back("expected " + DescribeBox(expected.strText, expected.strCaption, expected.nButtons) +
                             ", got " + strGot);
        return SafestButton(nType);
    }
    if (expected.bCheckOwner && expected.hWndOwner != hWndOwner)
        m_problems.push_back(strGot + " owned by " + DescribeHandle(hWndOwner) + ", expected " +
                             DescribeHandle(expected.hWndOwner));
    return expected.nAnswer;
}

void CUserScript::WorkModalDialog(HWND hDlg, UINT nIDTemplate) {
    ++m_nShown;
    std::string strGot = DescribeDialog(nIDTemplate);
    if (m_expected.empty()) {
        m_problems.push_back("unexpected " + strGot);
        return;
    }
    Expected expected = m_expected.front();
    m_expected.pop_front();
    if (!expected.bDialog || expected.nIDTemplate != nIDTemplate) {
        m_problems.push_back(
            "expected " +
            (expected.bDialog ? DescribeDialog(expected.nIDTemplate)
                              : DescribeBox(expected.strText, expected.strCaption, expected.nButtons)) +
            ", got " + strGot);
        return;
    }
    if (expected.act) expected.act(hDlg);
    if (!AfxImplDialogEnded(hDlg)) m_problems.push_back(strGot + " was left open");
}

// ---- Standard error ----------------------------------------------------

CStderrAnswers::CStderrAnswers() : m_nShown(0), m_pPrevious(AfxSetUserAnswers(this)) {}

CStderrAnswers::~CStderrAnswers() { AfxSetUserAnswers(m_pPrevious); }

int CStderrAnswers::AnswerMessageBox(HWND, LPCSTR lpszText, LPCSTR, UINT nType) {
    ++m_nShown;
    fprintf(stderr, "%s\n", lpszText);
    return DefaultButton(nType);
}

void CStderrAnswers::WorkModalDialog(HWND hDlg, UINT) {
    ++m_nShown;
    CUser::PressKey(VK_ESCAPE);
    if (!AfxImplDialogEnded(hDlg)) SendMessageA(hDlg, WM_COMMAND, IDCANCEL, 0);
}
