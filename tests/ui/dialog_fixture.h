#pragma once
// The main dialog opened the way the host opens it, on a registry script in a
// fresh image folder, and the person's view of it: the tree's template items,
// the page shown, the boxes' selections, the script's bytes.
#include <afx_fault.h>
#include <afx_user.h>
#include <afxcmn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pci6406cfg.h"
#include "dialog_view.h"
#include "script_file.h"
#include "template_dlg.h"

class TemplateDialogTest : public ::testing::Test {
protected:
    TemplateDialogTest();
    void SetUp() override;
    void TearDown() override;

    // Writes the script and calls DriverConfig as the host does, for the
    // image root of the script's folder.
    void Open(const std::string& script);
    std::string ScriptPath() const;  // as DriverConfig builds it

    // A control of the dialog or of one of its pages.
    HWND Control(int nID) const;
    HWND Tree() const { return Control(IDC_TEMPLATE_TREE); }
    HTREEITEM Item(const char* pszText) const;
    std::vector<std::string> TemplateItems() const;
    std::string SelectedItem() const;
    // "device", "AO" or "none".
    std::string PageShown() const;
    std::string ComboText(int nID) const;  // the selected item, or "(none)"
    bool SaveEnabled() const { return IsWindowEnabled(Control(IDOK)) != FALSE; }

    // The person's actions; each must reach its control.
    void ClickItem(const char* pszText);
    void ClickTab(int nIndex);
    void Click(int nID);
    void Choose(int nComboID, const char* pszText);

    ScriptFile m_script;
    HWND m_hDlg;
    CTemplateDlg* m_pDlg;
};
