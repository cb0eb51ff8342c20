#pragma once
// Owners of GDI objects and device contexts, each carrying what its release needs (the window of
// GetDC, the paint structure of BeginPaint, the object a selection replaced), and the fonts and
// colours the installer's windows share.
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

#include "sys/handle.h"

// A brush, pen, font, region or bitmap, deleted with DeleteObject.
template <typename T>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(T handle) : object_(handle) {}
    T get() const { return static_cast<T>(object_.get()); }
    explicit operator bool() const { return static_cast<bool>(object_); }
    void reset(T handle = nullptr) { object_.reset(handle); }
    // Hands the object over to whoever takes ownership (SetWindowRgn on success).
    T release() { return static_cast<T>(object_.release()); }

private:
    UniqueGdiObject object_;
};
using UniqueBrush = GdiObject<HBRUSH>;
using UniquePen = GdiObject<HPEN>;
using UniqueFont = GdiObject<HFONT>;
using UniqueRegion = GdiObject<HRGN>;
using UniqueBitmap = GdiObject<HBITMAP>;

// A memory device context, deleted with DeleteDC.
class MemoryDc {
public:
    explicit MemoryDc(HDC compatibleWith) : dc_(::CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDc() {
        if (dc_) ::DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HDC dc_;
};

// GetDC (or GetWindowDC with `wholeWindow`), released with ReleaseDC on the same window.
class WindowDc {
public:
    explicit WindowDc(HWND window, bool wholeWindow = false)
        : window_(window), dc_(wholeWindow ? ::GetWindowDC(window) : ::GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint ... EndPaint.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}
    ~PaintDc() { ::EndPaint(window_, &paint_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// Selects an object into a device context and selects the previous one back at the end, so the
// object can be deleted afterwards (an object still selected is not deleted).
class SelectObjectGuard {
public:
    SelectObjectGuard(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
    ~SelectObjectGuard() {
        if (previous_) ::SelectObject(dc_, previous_);
    }
    SelectObjectGuard(const SelectObjectGuard&) = delete;
    SelectObjectGuard& operator=(const SelectObjectGuard&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// SaveDC ... RestoreDC, for changes of clipping, origin and text settings.
class SavedDcState {
public:
    explicit SavedDcState(HDC dc) : dc_(dc), saved_(::SaveDC(dc)) {}
    ~SavedDcState() {
        if (saved_) ::RestoreDC(dc_, saved_);
    }
    SavedDcState(const SavedDcState&) = delete;
    SavedDcState& operator=(const SavedDcState&) = delete;

private:
    HDC dc_;
    int saved_;
};

// The face every text of the interface is drawn in: installed for the user at start-up, or
// loaded for the process from the installer's own copy where it could not be installed.
inline constexpr wchar_t kInterfaceFace[] = L"Roboto";

// A font of `face` in tenths of a point, converted to pixels at the screen's resolution (96
// pixels per inch: 10.5 pt is 14 pixels, 18 pt is 24).
UniqueFont CreatePointFont(int tenthsOfPoint, bool underline = false,
                           const wchar_t* face = kInterfaceFace);

// Width and height of `text` as one line in `font`, measured on the device context of `window`.
SIZE MeasureText(HWND window, HFONT font, const std::wstring& text);

// A one-pixel outline of `rect` in `color`, the inside left as it is.
void FrameRectangle(HDC dc, const RECT& rect, COLORREF color);
void FillSolid(HDC dc, const RECT& rect, COLORREF color);

// A top-down 32-bit DIB section of `width` x `height`; `bits` receives its pixels, top row first
// (null when it could not be made).
UniqueBitmap CreateTopDownDib(int width, int height, std::uint32_t** bits);

// The colours the installer's controls share.
inline constexpr COLORREF kFramePurple = RGB(90, 65, 143);
