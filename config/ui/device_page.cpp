#include "device_page.h"

#include <cstdio>

#include "template_dlg.h"

namespace {

const char kFeatures[] =
    "12-bit, 4-ch Isolated Analog Output Card\n\n"
    "*Four 12-bit D/A output channels\n"
    "*Multiple output ranges\n"
    "*2,500 VDC isolation between the outputs and the PCI bus\n"
    "*Keeps output values after system hot reset";

}  // namespace

BEGIN_MESSAGE_MAP(CDevicePage, CSelfOwnedDialog)
    ON_CBN_SELCHANGE(IDC_BOARD_ID, OnBoardIDChange)
END_MESSAGE_MAP()

CDevicePage::CDevicePage(CTemplateDlg* pOwner) : CSelfOwnedDialog(IDD), m_pOwner(pOwner), m_nChosenSwitchID(0) {}

void CDevicePage::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_DEVICE_FEATURES, m_features);
    DDX_Control(pDX, IDC_BOARD_ID, m_boardId);
}

BOOL CDevicePage::OnInitDialog() {
    CDialog::OnInitDialog();
    char szItem[8];
    for (int n = 0; n < TEMPLATE_COUNT; ++n) {
        std::snprintf(szItem, sizeof szItem, "%d", n);
        m_boardId.AddString(szItem);
    }
    m_nChosenSwitchID = static_cast<int>(m_pOwner->CurrentTemplate().SwitchID);
    SelectSwitchID(m_pOwner->CurrentTemplate().SwitchID);
    m_features.SetWindowText(kFeatures);
    return TRUE;
}

// The box keeps its old selection when asked for an item it does not have,
// so a number it cannot show clears it.
void CDevicePage::SelectSwitchID(DWORD dwSwitchID) {
    m_boardId.SetCurSel(dwSwitchID < static_cast<DWORD>(TEMPLATE_COUNT) ? static_cast<int>(dwSwitchID) : -1);
}

void CDevicePage::ShowSwitchID() { SelectSwitchID(m_pOwner->CurrentTemplate().SwitchID); }

void CDevicePage::OnBoardIDChange() {
    const int nChosen = m_boardId.GetCurSel();
    if (nChosen < 0 || nChosen >= TEMPLATE_COUNT) return;
    CTemplateStore& store = m_pOwner->Store();
    if (!store.ChooseSwitchID(static_cast<DWORD>(nChosen))) {
        MessageBox(kSwitchIDUsed);
        SelectSwitchID(store.CurrentTemplate().SwitchID);
    }
    m_nChosenSwitchID = static_cast<int>(store.CurrentTemplate().SwitchID);
    m_pOwner->ShowModified();
}
