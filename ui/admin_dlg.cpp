#include "ui/admin_dlg.h"

#include "res/resource.h"

CAdminDlg::CAdminDlg(HWND owner)
    : CQuestionDialog(owner, IDS_ADMIN_RESTART, RECT{20, 141, 20 + 500, 141 + 54}, IDS_CANCEL,
                      IDS_OK) {}
