#pragma once
// CCoverDlg: the grey-blue veil, 100 of 255 opaque, laid over the main window while one of its
// questions is open, so the page stays faintly visible behind the question.
#include <windows.h>

#include "ui/dialog.h"
#include "ui/gdi.h"

class CCoverDlg : public CDialog {
public:
    static constexpr BYTE kOpacity = 100;
    static constexpr COLORREF kColor = RGB(105, 120, 128);

    // A modeless cover owned by `window`, made with Create().
    explicit CCoverDlg(HWND window);
    // Creates the cover and lays it over `window`'s client area (its 960 x 600 pixels), shown.
    bool ShowOver(HWND window);

protected:
    void OnCreate() override;
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    UniqueBrush brush_;
};
