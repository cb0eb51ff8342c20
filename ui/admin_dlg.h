#pragma once
// CAdminDlg: the folder needs administrator rights; asks whether to restart the installer with
// them, CANCEL (decline) on the left and OK (restart) on the right.
#include "ui/message_dialog.h"

class CAdminDlg : public CQuestionDialog {
public:
    explicit CAdminDlg(HWND owner);
    // 1 when the user agreed to the restart; CANCEL and the close symbol give 0.
    int confirmed = 0;

protected:
    void OnClose() override { confirmed = 0; }
    void OnLeft() override { confirmed = 0; }
    void OnRight() override { confirmed = 1; }
};
