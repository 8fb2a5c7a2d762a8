// The one place where a program waits for the person: scripted answers for
// tests, standard error for programs without a person.
#include <gtest/gtest.h>
#include "afx_user.h"
#include "afxwin.h"

namespace {

TEST(UserScript, AnswersExpectedBoxesAndReportsEverythingElse) {
    struct Case {
        const char* name;
        const char* text;
        const char* caption;
        UINT type;
        int answered;
        const char* problems;
    };
    const Case cases[] = {
        {"as scripted", "Save?", "Note", MB_OKCANCEL | MB_ICONQUESTION, IDCANCEL, ""},
        {"other text", "Saved?", "Note", MB_OKCANCEL, IDCANCEL,
         "expected message box \"Save?\" (caption \"Note\", MB_OKCANCEL), got message box \"Saved?\" (caption "
         "\"Note\", MB_OKCANCEL)"},
        {"other caption", "Save?", NULL, MB_OKCANCEL, IDCANCEL,
         "expected message box \"Save?\" (caption \"Note\", MB_OKCANCEL), got message box \"Save?\" (caption "
         "\"Error\", MB_OKCANCEL)"},
        {"other buttons", "Save?", "Note", MB_YESNO, IDNO,
         "expected message box \"Save?\" (caption \"Note\", MB_OKCANCEL), got message box \"Save?\" (caption "
         "\"Note\", MB_YESNO)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CUserScript user;
        user.ExpectMessageBox("Save?", "Note", MB_OKCANCEL, IDCANCEL);
        EXPECT_EQ(MessageBoxA(NULL, c.text, c.caption, c.type), c.answered);
        EXPECT_EQ(user.Verify(), c.problems);
    }
}

TEST(UserScript, BoxesThatDoNotComeOrComeUnaskedAreProblems) {
    CUserScript user;
    EXPECT_EQ(MessageBoxA(NULL, "Surprise", "Note", MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(MessageBoxA(NULL, "Only OK", "Note", MB_OK), IDOK);
    user.ExpectMessageBox("Support up to 16 Templates", NULL, MB_OK, IDOK);
    user.ExpectDialog(106, nullptr);
    EXPECT_EQ(user.Verify(),
              "unexpected message box \"Surprise\" (caption \"Note\", MB_YESNOCANCEL)\n"
              "unexpected message box \"Only OK\" (caption \"Note\", MB_OK)\n"
              "expected message box \"Support up to 16 Templates\" (caption \"Error\", MB_OK), which never came\n"
              "expected dialog 106, which never came");
    EXPECT_EQ(user.GetShownCount(), 2);
}

TEST(UserScript, ChecksOwnersAndAnswersOnlyWithTheBoxsButtons) {
    HWND hDlg = CreateDialogParamA(NULL, MAKEINTRESOURCEA(1), NULL, NULL, 0);
    CUserScript user;
    user.ExpectMessageBox("owned", "Note", MB_OK, IDOK).OwnedBy(hDlg);
    user.ExpectMessageBox("unowned", "Note", MB_OK, IDOK).OwnedBy(NULL);
    user.ExpectMessageBox("impossible", "Note", MB_OK, IDCANCEL);
    EXPECT_EQ(MessageBoxA(hDlg, "owned", "Note", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(hDlg, "unowned", "Note", MB_OK), IDOK);
    std::string problems = user.Verify();
    EXPECT_NE(problems.find("answer 2 is not a button of message box \"impossible\""), std::string::npos) << problems;
    EXPECT_NE(problems.find("message box \"unowned\" (caption \"Note\", MB_OK) owned by 0x"), std::string::npos)
        << problems;
    EXPECT_NE(problems.find("\"impossible\" (caption \"Note\", MB_OK), which never came"), std::string::npos);
    // A box cannot open over a window that is gone.
    DestroyWindow(hDlg);
    EXPECT_EQ(MessageBoxA(hDlg, "orphan", "Note", MB_OK), 0);
    EXPECT_EQ(user.Verify(), "");
}

TEST(StderrAnswers, PrintsTheTextAndPressesTheDefaultButton) {
    struct Case {
        UINT type;
        int answer;
    };
    const Case cases[] = {
        {MB_OK, IDOK}, {MB_OKCANCEL, IDOK}, {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL}, {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_YESNO, IDYES}, {MB_RETRYCANCEL | MB_DEFBUTTON3, IDRETRY},
    };
    CStderrAnswers answers;
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(MessageBoxA(NULL, "SwitchID already used!", NULL, c.type), c.answer) << c.type;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "SwitchID already used!\n");
    }
    EXPECT_EQ(answers.GetShownCount(), 6);
}

TEST(StderrAnswers, CancelsModalDialogs) {
    CStderrAnswers answers;
    CDialog box(106);
    EXPECT_EQ(box.DoModal(), IDCANCEL);
    EXPECT_EQ(answers.GetShownCount(), 1);
}

}  // namespace
