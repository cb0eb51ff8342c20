#pragma once
// CAboutDlg: the plain about box of the main window's system menu (template 100), closed by its
// OK button.
#include "ui/dialog.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND owner = nullptr);
};
