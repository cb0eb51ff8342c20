#pragma once
// CDesignButton: the installer's own button. It draws an image, a text on an image, the browse
// frame with its folder symbol, a spinner frame or the accept check box, chosen by its control
// identifier, and reports a release of the left button through a callback.
#include <windows.h>

#include <map>
#include <string>

#include "ui/dialog.h"
#include "ui/gdi.h"
#include "ui/png_resource.h"

// Called when the left button is released over the button: the release point in the button's
// client coordinates, its identifier, the context it was given and whether it is now checked
// (its image is the pressed one). A non-zero result lets the platform's release handling run as
// well.
using ButtonClickCallback = int (*)(int x, int y, UINT controlId, void* context, int checked);

class CDesignButton : public CButton {
public:
    CDesignButton(ButtonClickCallback onClick, UINT controlId, UINT normalImage, UINT hoverImage,
                  UINT pressedImage, void* context);

    // Creates the button as a visible child of `parent` with `text` (text buttons) or an empty
    // caption, at `rect` in the parent's client coordinates, and switches it to owner drawing.
    bool Create(HWND parent, const std::wstring& text, const RECT& rect);

    // The spinner's frame, 1 to 42 (PNG 244 + frame), advanced by the owner's animation timer.
    int Frame() const { return frame_; }
    void SetFrame(int frame) { frame_ = frame; }
    UINT CurrentImage() const { return currentImage_; }
    UINT ControlId() const { return controlId_; }
    bool IsChecked() const { return currentImage_ == pressedImage_; }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnPress();
    void OnRelease(WPARAM wParam, LPARAM lParam);
    void Draw(HDC dc, const RECT& rect);
    void DrawImage(HDC dc, UINT pngId, const RECT& rect);
    void Repaint();

    int frame_ = 1;
    UINT currentImage_;
    UINT controlId_;
    UINT normalImage_;
    UINT hoverImage_;
    UINT pressedImage_;
    ButtonClickCallback onClick_;
    void* context_;
    UniqueFont font_;
    std::map<UINT, PngImage> images_;
};
