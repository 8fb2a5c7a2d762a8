#include "output_range_page.h"

#include <cmath>

#include "template_dlg.h"

namespace {

// The boxes' items, index by index; kVoltageChoices and kCurrentChoices say
// what each stands for.
const char* const kVoltageRanges[] = {"  0 ~ 5V", "  0 ~ 10V", " -5 ~ 5V", "-10 ~ 10V"};
const char* const kCurrentRanges[] = {" ", "  4 ~ 20mA", "  0 ~ 20mA"};

// One item of a box: the channel's range it stands for, and the item of the
// channel's other box that goes with it (-1: that box stays as it is).
struct RangeChoice {
    bool bSetsVoltage;
    float fVoltageMax;
    float fVoltageMin;
    float fCurrentMax;
    float fCurrentMin;
    int nOtherBox;
};

const RangeChoice kVoltageChoices[] = {
    {true, 5.0f, 0.0f, 20.0f, 0.0f, 2},  // 0..5 V comes with 0..20 mA
    {true, 10.0f, 0.0f, 0.0f, 0.0f, 0},
    {true, 5.0f, -5.0f, 0.0f, 0.0f, 0},
    {true, 10.0f, -10.0f, 0.0f, 0.0f, 0},
};

const RangeChoice kCurrentChoices[] = {
    {false, 0.0f, 0.0f, 0.0f, 0.0f, -1},  // no current range: the voltage stays
    {true, 5.0f, 0.0f, 20.0f, 4.0f, 0},   // a current range rides on 0..5 V
    {true, 5.0f, 0.0f, 20.0f, 0.0f, 0},
};

// FALSE when the box has no item selected: nothing changes then.
template <size_t N>
BOOL ApplyChoice(const RangeChoice (&choices)[N], const CComboBox& box, CComboBox& other, AoChannelSetting& channel) {
    const int nChoice = box.GetCurSel();
    if (nChoice < 0 || nChoice >= static_cast<int>(N)) return FALSE;
    const RangeChoice& choice = choices[nChoice];
    if (choice.bSetsVoltage) {
        channel.VoltageMax = choice.fVoltageMax;
        channel.VoltageMin = choice.fVoltageMin;
    }
    channel.CurrentMax = choice.fCurrentMax;
    channel.CurrentMin = choice.fCurrentMin;
    if (choice.nOtherBox >= 0) other.SetCurSel(choice.nOtherBox);
    return TRUE;
}

bool Matches(float fValue, double dTarget) { return std::fabs(static_cast<double>(fValue) - dTarget) < 1e-6; }

}  // namespace

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
        for (const char* pszItem : kVoltageRanges) m_voltageRange[i].AddString(pszItem);
        m_voltageRange[i].SetCurSel(3);
        for (const char* pszItem : kCurrentRanges) m_currentRange[i].AddString(pszItem);
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
    PointAtCurrentTemplate();
    const int i = static_cast<int>(nID) - IDC_VOLTAGE_RANGE0;
    if (ApplyChoice(kVoltageChoices, m_voltageRange[i], m_currentRange[i], *m_pChannels[i]) && !m_bInitialising) {
        m_pOwner->NoteTemplateEdited();
        m_pOwner->SetModified();
    }
}

void COutputRangePage::OnCurrentRangeChange(UINT nID) {
    PointAtCurrentTemplate();
    const int i = static_cast<int>(nID) - IDC_CURRENT_RANGE0;
    if (ApplyChoice(kCurrentChoices, m_currentRange[i], m_voltageRange[i], *m_pChannels[i]) && !m_bInitialising) {
        m_pOwner->NoteTemplateEdited();
        m_pOwner->SetModified();
    }
}

void COutputRangePage::ShowChannelRanges() {
    PointAtCurrentTemplate();
    for (int i = 0; i < AO_CHANNEL_COUNT; ++i) {
        const AoChannelSetting& channel = *m_pChannels[i];
        int nVoltage, nCurrent = 0;
        if (Matches(channel.VoltageMax, 5) && Matches(channel.VoltageMin, 0)) {
            nVoltage = 0;
            if (Matches(channel.CurrentMax, 20) && Matches(channel.CurrentMin, 4))
                nCurrent = 1;
            else if (Matches(channel.CurrentMax, 20) && Matches(channel.CurrentMin, 0))
                nCurrent = 2;
        } else if (Matches(channel.VoltageMax, 10) && Matches(channel.VoltageMin, 0)) {
            nVoltage = 1;
        } else if (Matches(channel.VoltageMax, 5) && Matches(channel.VoltageMin, -5)) {
            nVoltage = 2;
        } else if (Matches(channel.VoltageMax, 10) && Matches(channel.VoltageMin, -10)) {
            nVoltage = 3;
        } else {
            continue;  // not a range of the boxes
        }
        m_voltageRange[i].SetCurSel(nVoltage);
        m_currentRange[i].SetCurSel(nCurrent);
    }
}
