#pragma once
// The template dialog as a person sees it through its windows alone, and the
// registry-script texts the library writes: for the tests on either backend
// and for those that go through the real library.
#include <afx_winuser.h>

#include <string>

// Channel texts as the library writes them.
extern const char kMinus10To10V[];  // the default
extern const char k0To10V[];
extern const char kMinus5To5V[];
extern const char k0To5V[];
extern const char k0To20mA[];
extern const char k4To20mA[];

extern const char kScriptHead[];  // a comment line

// The section the library appends for template n: a line with one space, the
// header with one space before its CR LF, "SwitchID" and the four channels.
std::string Section(int n, DWORD dwSwitchID, const char* ch0 = kMinus10To10V, const char* ch1 = kMinus10To10V,
                    const char* ch2 = kMinus10To10V, const char* ch3 = kMinus10To10V);

// A control of the dialog or of one of its pages.
HWND FindDialogControl(HWND hDlg, int nID);
// The page the dialog shows: "device", "AO", "both" or "none".
std::string ShownPage(HWND hDlg);
// The text of a combo box's selected item, or "(none)".
std::string ComboSelection(HWND hCombo);
