#pragma once
// The main window. For now it is the bare frame of the installer's one window: dialog 102, 960 x
// 600 pixels at the position handed over on the command line (centred on an axis whose value is
// below 1), painted in the installer's background colour and closed with the close command.
#include <windows.h>

#include "ui/dialog.h"

class CInstallerDlg : public CDialog {
public:
    CInstallerDlg();

    int initialLeft = 0;
    int initialTop = 0;

protected:
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    void PlaceWindow();
    void OnPaint();
};

// Where a window of `width` x `height` goes: `left`/`top` as given, or centred in `workArea` on
// an axis whose value is below 1.
POINT WindowOrigin(int left, int top, int width, int height, const RECT& workArea);
