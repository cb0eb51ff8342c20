#pragma once
// The frame the installer's three questions share: a white 540 x 300 dialog with rounded
// corners and a grey border, a close symbol at the top right and two text buttons at the
// bottom. Each question answers through flags its caller reads after the dialog has closed.
#include <windows.h>

#include <memory>

#include "ui/design_button.h"
#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/png_resource.h"

class CMessageDialog : public CDialog {
public:
    static constexpr int kWidth = 540;
    static constexpr int kHeight = 300;

protected:
    // `leftText` and `rightText` are the string IDs of the two buttons.
    CMessageDialog(UINT templateId, HWND owner, UINT leftText, UINT rightText);

    // What each button means; every button ends the dialog afterwards.
    virtual void OnClose() = 0;
    virtual void OnLeft() = 0;
    virtual void OnRight() = 0;
    // The dialog's texts, placed and given their strings.
    virtual void PlaceTexts() = 0;
    // Draws the dialog's own content after the background (the attention symbol).
    virtual void PaintContent(HDC) {}

    void OnCreate() override;
    BOOL OnInitDialog() override;
    // Escape and the window's close command count as the close symbol.
    void OnCancel() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    // Sets the string `textId` into control `id` with `font`.
    void SetText(UINT id, UINT textId, HFONT font);
    // Text colour of a static control of the dialog.
    virtual COLORREF TextColor(UINT id) const;

private:
    static int OnButtonClicked(int x, int y, UINT controlId, void* context, int checked);
    // The rounded white field and the grey border, drawn by the erase step and again under
    // the dialog's own content when it paints.
    void EraseBackground(HDC dc);
    void FillBackground(HDC dc);

    UINT leftText_;
    UINT rightText_;
    UniqueBrush background_;
    std::unique_ptr<CDesignButton> closeButton_;
    std::unique_ptr<CDesignButton> rightButton_;
    std::unique_ptr<CDesignButton> leftButton_;
};

// A question with the attention symbol above one message (template 213).
class CQuestionDialog : public CMessageDialog {
protected:
    // The message `messageText` in 13 pt, centred in `place` (dialog pixels).
    CQuestionDialog(HWND owner, UINT messageText, const RECT& place, UINT leftText,
                    UINT rightText);
    void PlaceTexts() override;
    void PaintContent(HDC dc) override;

private:
    UINT messageText_;
    RECT place_;
    UniqueFont messageFont_;
    PngImage attention_;
};
