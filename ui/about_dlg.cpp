#include "ui/about_dlg.h"

#include "res/resource.h"

CAboutDlg::CAboutDlg(HWND owner) : CDialog(IDD_ABOUTBOX, owner) {}
