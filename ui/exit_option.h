#pragma once
// CExitOption: "Installation not completed. Are you sure you want to cancel it?" with CANCEL
// (leave the installer) on the left and RESUME on the right.
#include "ui/message_dialog.h"

class CExitOption : public CQuestionDialog {
public:
    explicit CExitOption(HWND owner);
    // 1 when the user chose to cancel the installation; RESUME and the close symbol give 0.
    int confirmed = 0;

protected:
    void OnClose() override { confirmed = 0; }
    void OnLeft() override { confirmed = 1; }
    void OnRight() override { confirmed = 0; }
};
