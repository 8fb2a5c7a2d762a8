#pragma once
// The configuration library's dialog on the headless class library, and the
// person's hands on it: opened with DriverConfig as the image-build tool
// opens it, worked through its controls, its message boxes answered.
#include <afx_user.h>
#include <afxcmn.h>

#include <string>
#include <vector>

#include "template_dlg.h"

// Keeps each box's text for the tool to say in its own words, and answers
// its default button; the question at closing is answered Cancel, so that
// nothing is saved but by Save.
class CToolAnswers : public CStderrAnswers {
public:
    int AnswerMessageBox(HWND hWndOwner, LPCSTR lpszText, LPCSTR lpszCaption, UINT nType) override;
    std::vector<std::string> m_boxes;
};

// One pci6406cfg at a time per board folder, from reading the script to
// saving it: a second command waits rather than save over the first one's
// change. The lock is the folder's own, so nothing is left beside the script,
// and the system drops it with a killed process.
class CFolderLock {
public:
    CFolderLock() : m_fd(-1) {}
    ~CFolderLock();
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;
    // A missing folder holds no script to guard.
    void Take(const std::string& folder);

private:
    int m_fd;
};

class CDialogUser {
public:
    CDialogUser() : m_hDlg(NULL), m_pDlg(NULL) {}

    // FALSE, with the reason said, when there is no dialog on a script to work.
    BOOL Open(const std::string& root, const std::string& device);
    void Close();

    CTemplateDlg& Dialog() const { return *m_pDlg; }
    // The script's path as this system writes it.
    const std::string& ScriptPath() const { return m_native; }
    const TemplateEntry& Entry(int n) const { return m_pDlg->m_templates[n]; }
    HWND Control(int nID) const;

    // The template numbers in the tree's order.
    std::vector<int> Templates() const;

    // Each action FALSE when the dialog refused it, its message then the last
    // of Boxes(), or when it offered nothing to act on (said at once).
    BOOL SelectTemplate(int n);
    // The board's item, above the template items.
    BOOL SelectDeviceItem();
    BOOL ClickTab(int nIndex);
    BOOL Click(int nID);
    BOOL ChooseItem(int nComboID, int nIndex);
    const std::vector<std::string>& Boxes() const { return m_answers.m_boxes; }

    // The index of the box's item that reads as text, or -1.
    int FindItem(int nComboID, const std::string& text) const;
    // The selected item's text without its blanks at either end.
    std::string SelectedText(int nComboID, bool& bSelected) const;
    // Clears a box's selection, which the dialog is then free to set again.
    void ClearSelection(int nComboID);

    // A box of the dialog's about the script, as one message: the path as
    // this system writes it and the reason in words, then the box's outcome
    // line when bOutcome.
    std::string ScriptMessage(const std::string& box, bool bOutcome) const;
    // What the person can do about the dialog's last script error, on a line
    // of its own, where there is more to say than its message.
    void SayNextStep() const;

private:
    template <class Fn>
    BOOL Act(Fn fn);
    BOOL SelectItem(const char* pszText);
    std::string Native(std::string text) const;
    void SayMissingScript() const;
    void SayFileOnTheWay(const std::string& root) const;
    void SayNotices(size_t nFrom);

    CToolAnswers m_answers;
    CFolderLock m_lock;
    HWND m_hDlg;
    CTemplateDlg* m_pDlg;
    std::string m_native;
};
