#include "ui/gdi.h"

UniqueFont CreatePointFont(int tenthsOfPoint, bool underline, const wchar_t* face) {
    LOGFONTW description{};
    {
        WindowDc screen(nullptr);
        const int pixelsPerInch = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
        description.lfHeight = -::MulDiv(tenthsOfPoint, pixelsPerInch, 720);
    }
    description.lfWeight = FW_NORMAL;
    description.lfUnderline = underline ? TRUE : FALSE;
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfOutPrecision = OUT_DEFAULT_PRECIS;
    description.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    description.lfQuality = CLEARTYPE_QUALITY;
    description.lfPitchAndFamily = DEFAULT_PITCH;
    ::lstrcpynW(description.lfFaceName, face, LF_FACESIZE);
    return UniqueFont(::CreateFontIndirectW(&description));
}

SIZE MeasureText(HWND window, HFONT font, const std::wstring& text) {
    SIZE size{};
    WindowDc dc(window);
    if (!dc) return size;
    SelectObjectGuard select(dc.get(), font);
    ::GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

void FrameRectangle(HDC dc, const RECT& rect, COLORREF color) {
    UniqueBrush brush(::CreateSolidBrush(color));
    if (brush) ::FrameRect(dc, &rect, brush.get());
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
    UniqueBrush brush(::CreateSolidBrush(color));
    if (brush) ::FillRect(dc, &rect, brush.get());
}

UniqueBitmap CreateTopDownDib(int width, int height, std::uint32_t** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    UniqueBitmap dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    *bits = dib ? static_cast<std::uint32_t*>(pixels) : nullptr;
    return dib;
}
