#pragma once
// The configuration library's modeless dialogs own themselves: each object
// goes when its window does, and nothing else deletes it.
#include <afxwin.h>

class CSelfOwnedDialog : public CDialog {
public:
    explicit CSelfOwnedDialog(UINT nIDTemplate) : CDialog(nIDTemplate) {}

protected:
    void PostNcDestroy() override {
        CDialog::PostNcDestroy();
        delete this;
    }
};
