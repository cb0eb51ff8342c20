#include "ui/main_look.h"

#include "res/resource.h"
#include "ui/png_resource.h"

namespace MainLook {

UINT BackgroundBitmap(const Decoration& decoration) {
    return decoration.scene ? IDB_SCENE_BACKGROUND : IDB_PLAIN_BACKGROUND;
}

UINT PictureImage(const Decoration& decoration) {
    if (decoration.scene) return IDP_LOGO;
    if (decoration.problem) return IDP_PROBLEM;
    if (decoration.done) return IDP_SUCCESS;
    return 0;
}

RECT PicturePlace(UINT pictureId) {
    switch (pictureId) {
    case IDP_LOGO: return RECT{313, 79, 648, 217};
    case IDP_PROBLEM: return RECT{333, 127, 628, 338};
    case IDP_SUCCESS: return RECT{343, 136, 617, 382};
    }
    return RECT{};
}

void PaintPage(HDC dc, const RECT& client, const Decoration& decoration) {
    UniqueBitmap background(static_cast<HBITMAP>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(BackgroundBitmap(decoration)),
                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    BITMAP info{};
    if (background && ::GetObjectW(background.get(), sizeof info, &info)) {
        MemoryDc source(dc);
        if (source) {
            SelectObjectGuard select(source.get(), background.get());
            ::StretchBlt(dc, 0, 0, client.right - client.left, client.bottom - client.top,
                         source.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
        }
    }
    const UINT picture = PictureImage(decoration);
    if (!picture) return;
    PngImage image;
    // A picture that cannot be loaded is left out; the rest of the page is drawn as usual.
    if (LoadPngResource(image, picture)) image.Draw(dc, PicturePlace(picture));
}

void PaintMinimized(HDC dc, const RECT& client, HICON icon) {
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIconEx(dc, x, y, icon, iconWidth, iconHeight, 0, nullptr, DI_NORMAL);
}

Fonts CreateFonts() {
    Fonts fonts;
    fonts.checking = CreatePointFont(190);
    fonts.text = CreatePointFont(120);
    LOGFONTW description{};
    if (fonts.text && ::GetObjectW(fonts.text.get(), sizeof description, &description)) {
        description.lfUnderline = TRUE;
        fonts.link.reset(::CreateFontIndirectW(&description));
    }
    return fonts;
}

int CenteredLeft(int width) { return (kClientWidth - width) / 2; }

int StatusTextTop(UINT stringId) {
    if (stringId == IDS_NO_INTERNET || stringId == IDS_INSTALL_FAILED) return 370;
    if (stringId == IDS_INSTALL_COMPLETE) return 400;
    return kPercentTextTop;
}

int StatusTextHeight(const std::wstring& text, int lineHeight) {
    const size_t lineBreak = text.find(L"\r\n", 1);
    return lineBreak != std::wstring::npos ? 2 * lineHeight + 2 : lineHeight;
}

LicenceRow LayOutLicenceRow(int acceptWidth, int privacyWidth, int andWidth, int termsWidth) {
    // 20 pixels of check box, a 10-pixel gap and three 5-pixel gaps: 45 of the 960.
    const int x0 = (915 - acceptWidth - privacyWidth - andWidth - termsWidth) / 2;
    LicenceRow row{};
    row.checkBox = x0;
    row.acceptText = x0 + 30;
    row.privacyLink = x0 + acceptWidth + 35;
    row.andText = x0 + acceptWidth + privacyWidth + 40;
    row.termsLink = x0 + acceptWidth + privacyWidth + andWidth + 45;
    return row;
}

int NextSpinnerFrame(int frame) {
    if (frame >= 1 && frame <= IDP_SPINNER_FRAMES - 1) return frame + 1;
    if (frame == IDP_SPINNER_FRAMES) return 1;
    return 0;
}

}  // namespace MainLook
