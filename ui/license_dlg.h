#pragma once
// CLicenseDlg: asked when Install is clicked without the licence accepted. "Hint", the notice
// "With OK you accept the" and the line of the two licence links; CANCEL (leave the installer)
// on the left, OK (accept and go on) on the right.
#include "ui/message_dialog.h"

class CLicenseDlg : public CMessageDialog {
public:
    explicit CLicenseDlg(HWND owner);
    // OK: accepted 1, quit 0. CANCEL: quit 1. The close symbol: both 0.
    int accepted = 0;
    int quit = 0;

    // Places the link line after its texts have changed: centred in the dialog with 8 pixels
    // between its parts, each part at its measured size; with long texts it starts left of the
    // dialog.
    void LayOutLinkLine();

protected:
    void OnClose() override {
        accepted = 0;
        quit = 0;
    }
    void OnLeft() override { quit = 1; }
    void OnRight() override {
        accepted = 1;
        quit = 0;
    }
    void PlaceTexts() override;
    COLORREF TextColor(UINT id) const override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    // Moves control `id` to (x, y) at the size of its text in its font; returns that size.
    SIZE PlaceMeasured(UINT id, int x, int y, HFONT font);

    UniqueFont titleFont_;
    UniqueFont textFont_;
    UniqueFont linkFont_;
};
