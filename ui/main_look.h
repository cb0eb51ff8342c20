#pragma once
// How the main window looks: where each of its controls stands, the fonts of its texts, where a
// measured text goes, and the painting of a page's background and picture. The window's
// controller decides which page is shown; everything about the page's appearance is here.
#include <windows.h>

#include <string>

#include "ui/gdi.h"

namespace MainLook {

inline constexpr int kClientWidth = 960;
inline constexpr int kClientHeight = 600;

// Control places in client pixels (left, top, right, bottom).
inline constexpr RECT kMinimizeButton{864, 20, 904, 60};
inline constexpr RECT kCloseButton{908, 20, 948, 60};
inline constexpr RECT kSpinner{435, 184, 525, 274};
inline constexpr RECT kProgressBar{110, 396, 850, 422};
inline constexpr RECT kInstallButton{275, 374, 685, 444};
inline constexpr RECT kOkButton{275, 460, 685, 530};
inline constexpr RECT kCancelButton{62, 520, 472, 590};  // created hidden; no page shows it
inline constexpr RECT kPathField{60, 520, 860, 560};
inline constexpr RECT kBrowseButton{860, 520, 900, 560};
inline constexpr int kCheckingTextTop = 370;
inline constexpr int kLicenceRowTop = 456;
inline constexpr int kCheckBoxSize = 20;
inline constexpr int kPercentTextTop = 432;

// The static texts are white on whatever the background shows through.
inline constexpr COLORREF kTextColor = RGB(255, 255, 255);

// The decoration of a page: one background and at most one picture.
struct Decoration {
    bool scene = false;    // scene background 243 with the logo 222
    bool problem = false;  // plain background 244 with the problem picture 287
    bool done = false;     // plain background 244 with the success picture 288
};

// The background bitmap of `decoration` and its picture, if any, with the picture's place.
UINT BackgroundBitmap(const Decoration& decoration);
UINT PictureImage(const Decoration& decoration);  // 0 without a picture
RECT PicturePlace(UINT pictureId);

// Paints the background over `client` (loaded from the resources on every paint, copied 1:1)
// and blends the page's picture over it with its alpha channel.
void PaintPage(HDC dc, const RECT& client, const Decoration& decoration);
// The minimised window: the icon centred in the client area, nothing else.
void PaintMinimized(HDC dc, const RECT& client, HICON icon);

// The fonts of the window's own texts.
struct Fonts {
    UniqueFont checking;  // 19 pt, "Checking for internet ..."
    UniqueFont text;      // 12 pt, status text and the licence row's plain texts
    UniqueFont link;      // the text font underlined, the licence row's links
};
Fonts CreateFonts();

// Left edge that centres something `width` pixels wide in the window (integer division).
int CenteredLeft(int width);
// Top of the status text for string `stringId`: 370 for 103 and 121, 400 for 105, else 432.
int StatusTextTop(UINT stringId);
// Height of a status text measured as one line `lineHeight` high: two lines (and 2 pixels) when
// the text breaks its line after its first character.
int StatusTextHeight(const std::wstring& text, int lineHeight);

// The licence row, from the widths of its four texts in their fonts: check box, "I accept the",
// privacy link, "and", terms link, centred as a group (x may be negative with long texts).
struct LicenceRow {
    int checkBox;
    int acceptText;
    int privacyLink;
    int andText;
    int termsLink;
};
LicenceRow LayOutLicenceRow(int acceptWidth, int privacyWidth, int andWidth, int termsWidth);

// The spinner's next frame after `frame`: 1..41 advance, 42 wraps to 1; 0 for anything else,
// which stops the animation.
int NextSpinnerFrame(int frame);

}  // namespace MainLook
