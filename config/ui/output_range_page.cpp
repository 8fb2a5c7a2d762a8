#include "output_range_page.h"

#include "template_dlg.h"

BEGIN_MESSAGE_MAP(COutputRangePage, CSelfOwnedDialog)
    ON_CONTROL_RANGE(CBN_SELCHANGE, IDC_VOLTAGE_RANGE0, IDC_VOLTAGE_RANGE3, OnVoltageRangeChange)
    ON_CONTROL_RANGE(CBN_SELCHANGE, IDC_CURRENT_RANGE0, IDC_CURRENT_RANGE3, OnCurrentRangeChange)
END_MESSAGE_MAP()

COutputRangePage::COutputRangePage(CTemplateDlg* pOwner)
    : CSelfOwnedDialog(IDD), m_pOwner(pOwner), m_bInitialising(false) {
    for (AoChannelSetting*& pChannel : m_pChannels) pChannel = NULL;
}

void COutputRangePage::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    for (int i = AO_CHANNEL_COUNT - 1; i >= 0; --i) {
        DDX_Control(pDX, IDC_VOLTAGE_RANGE0 + i, m_voltageRange[i]);
        DDX_Control(pDX, IDC_CURRENT_RANGE0 + i, m_currentRange[i]);
    }
}

BOOL COutputRangePage::OnInitDialog() {
    CDialog::OnInitDialog();
    m_bInitialising = true;
    for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
        for (const char* pszItem : kVoltageRangeItems) m_voltageRange[i].AddString(pszItem);
        m_voltageRange[i].SetCurSel(3);
        for (const char* pszItem : kCurrentRangeItems) m_currentRange[i].AddString(pszItem);
        m_currentRange[i].SetCurSel(0);
    }
    ShowChannelRanges();
    m_bInitialising = false;
    return TRUE;
}

void COutputRangePage::PointAtCurrentTemplate() {
    TemplateEntry& entry = m_pOwner->CurrentTemplate();
    for (int i = 0; i < AO_CHANNEL_COUNT; ++i) m_pChannels[i] = &entry.Channels[i];
}

void COutputRangePage::OnVoltageRangeChange(UINT nID) {
    const int i = static_cast<int>(nID) - IDC_VOLTAGE_RANGE0;
    TakeChoice(i, m_voltageRange[i], m_currentRange[i], &CTemplateStore::ChooseVoltageRange);
}

void COutputRangePage::OnCurrentRangeChange(UINT nID) {
    const int i = static_cast<int>(nID) - IDC_CURRENT_RANGE0;
    TakeChoice(i, m_currentRange[i], m_voltageRange[i], &CTemplateStore::ChooseCurrentRange);
}

// The store takes the box's choice for the selected template; the channel's
// other box shows what goes with it.
void COutputRangePage::TakeChoice(int nChannel, const CComboBox& box, CComboBox& other,
                                  int (CTemplateStore::*pfnChoose)(int, int, BOOL)) {
    PointAtCurrentTemplate();
    const int nOther = (m_pOwner->Store().*pfnChoose)(nChannel, box.GetCurSel(), m_bInitialising);
    if (nOther >= 0) other.SetCurSel(nOther);
    if (!m_bInitialising) m_pOwner->ShowModified();
}

void COutputRangePage::ShowChannelRanges() {
    PointAtCurrentTemplate();
    for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
        int nVoltage, nCurrent;
        if (!ShownRangeItems(*m_pChannels[i], nVoltage, nCurrent)) continue;  // not a range of the boxes
        m_voltageRange[i].SetCurSel(nVoltage);
        m_currentRange[i].SetCurSel(nCurrent);
    }
}
