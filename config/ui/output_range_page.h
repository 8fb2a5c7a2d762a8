#pragma once
// The "AO" page: a voltage-range and a current-range box per output channel,
// editing the selected template's channel settings in place.
#include <afxwin.h>

#include "ao_setting.h"
#include "registry_layout.h"
#include "resource.h"
#include "self_owned_dialog.h"
#include "template_store.h"

class CTemplateDlg;

class COutputRangePage : public CSelfOwnedDialog {
public:
    enum { IDD = IDD_OUTPUT_RANGE_PAGE };

    explicit COutputRangePage(CTemplateDlg* pOwner);

    // Sets the eight boxes from the selected template; a range the boxes do
    // not offer leaves a channel's boxes as they were.
    void ShowChannelRanges();

    CTemplateDlg* m_pOwner;
    AoChannelSetting* m_pChannels[AO_CHANNEL_COUNT];
    bool m_bInitialising;
    CComboBox m_voltageRange[AO_CHANNEL_COUNT];
    CComboBox m_currentRange[AO_CHANNEL_COUNT];

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

    afx_msg void OnVoltageRangeChange(UINT nID);
    afx_msg void OnCurrentRangeChange(UINT nID);
    DECLARE_MESSAGE_MAP()

private:
    void PointAtCurrentTemplate();
    void TakeChoice(int nChannel, const CComboBox& box, CComboBox& other,
                    int (CTemplateStore::*pfnChoose)(int, int, BOOL));
};
