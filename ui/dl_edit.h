#pragma once
// CDLEdit: the install-folder field, a dark read-only line of light text in a thin purple frame,
// the text standing in the vertical middle of the field.
#include <windows.h>

#include "ui/dialog.h"
#include "ui/gdi.h"

class CDLEdit : public CEdit {
public:
    CDLEdit();

    // Creates the field as a child of `parent` with control ID `id`, moves it to `rect`, limits
    // its text to 512 characters and makes it read-only.
    bool Create(HWND parent, const RECT& rect, UINT id);
    HFONT Font() const { return font_.get(); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void OnNcCalcSize(WPARAM wParam, LPARAM lParam);
    void OnNcPaint();
    void FitFont();

    RECT windowRect_{};
    UniqueFont font_;
    COLORREF frameColor_ = kFramePurple;
    const wchar_t* fontFace_ = kInterfaceFace;
    int fontSize_ = 105;  // tenths of a point
    UniqueBrush background_;
};

inline constexpr COLORREF kFieldBackground = RGB(11, 2, 22);
inline constexpr COLORREF kFieldText = RGB(221, 205, 253);
