#pragma once
// The "Device" page: the board's picture and features, and the BoardID box
// that chooses the selected template's SwitchID.
#include <afxwin.h>

#include "resource.h"
#include "self_owned_dialog.h"

class CTemplateDlg;

class CDevicePage : public CSelfOwnedDialog {
public:
    enum { IDD = IDD_DEVICE_PAGE };

    explicit CDevicePage(CTemplateDlg* pOwner);

    // Selects the template's SwitchID in the box; one outside 0..15 shows
    // no selection.
    void ShowSwitchID();

    CTemplateDlg* m_pOwner;
    int m_nChosenSwitchID;
    CStatic m_features;
    CComboBox m_boardId;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnBoardIDChange();
    DECLARE_MESSAGE_MAP()

private:
    void SelectSwitchID(DWORD dwSwitchID);
};
