#include "dialog_view.h"

#include <cstdio>

#include "resource.h"
#include "script_file.h"

const char kMinus10To10V[] = "     0    10   -10     0     0";
const char k0To10V[] = "     0    10     0     0     0";
const char kMinus5To5V[] = "     0     5    -5     0     0";
const char k0To5V[] = "     0     5     0     0     0";
const char k0To20mA[] = "     0     5     0    20     0";
const char k4To20mA[] = "     0     5     0    20     4";

const char kScriptHead[] = "; PCI-6406 board registry script\r\n";

std::string Section(int n, DWORD dwSwitchID, const char* ch0, const char* ch1, const char* ch2, const char* ch3) {
    char szSwitch[32];
    std::snprintf(szSwitch, sizeof szSwitch, "\"SwitchID\"=dword:%x\r\n", static_cast<unsigned>(dwSwitchID));
    std::string text = " \r\n" + Header(n) + " \r\n" + szSwitch;
    const char* channels[] = {ch0, ch1, ch2, ch3};
    for (int i = 0; i < 4; ++i) text += "\"AOSettings " + std::to_string(i) + "\"=\"" + channels[i] + "\"\r\n";
    return text;
}

HWND FindDialogControl(HWND hDlg, int nID) {
    for (HWND hChild = GetWindow(hDlg, GW_CHILD); hChild != NULL; hChild = GetWindow(hChild, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(hChild) == nID) return hChild;
        if (HWND hFound = FindDialogControl(hChild, nID)) return hFound;
    }
    return NULL;
}

std::string ShownPage(HWND hDlg) {
    const bool bDevice = IsWindowVisible(GetParent(FindDialogControl(hDlg, IDC_BOARD_ID))) != FALSE;
    const bool bAo = IsWindowVisible(GetParent(FindDialogControl(hDlg, IDC_VOLTAGE_RANGE0))) != FALSE;
    if (bDevice && bAo) return "both";
    return bDevice ? "device" : bAo ? "AO" : "none";
}

std::string ComboSelection(HWND hCombo) {
    int nSel = (int)SendMessage(hCombo, CB_GETCURSEL, 0, 0);
    if (nSel < 0) return "(none)";
    char szText[64] = {};
    SendMessage(hCombo, CB_GETLBTEXT, nSel, (LPARAM)szText);
    return szText;
}
