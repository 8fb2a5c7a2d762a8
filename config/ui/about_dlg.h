#pragma once
// The About box: the tool's title line and version, closed by OK or Escape.
#include <afxwin.h>

#include "resource.h"

class CAboutDlg : public CDialog {
public:
    enum { IDD = IDD_ABOUTBOX };
    CAboutDlg() : CDialog(IDD) {}
};
