#pragma once
// PNG resources as images with premultiplied alpha, and drawing them with their alpha channel.
#include <windows.h>

#include <cstdint>
#include <utility>

#include "sys/handle.h"

// A 32-bit image: a top-down DIB section of premultiplied blue, green, red and alpha.
class PngImage {
public:
    PngImage() = default;
    PngImage(PngImage&& other) noexcept { *this = std::move(other); }
    PngImage& operator=(PngImage&& other) noexcept {
        bitmap_ = std::move(other.bitmap_);
        bits_ = std::exchange(other.bits_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
        return *this;
    }

    bool IsNull() const { return !bitmap_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    HBITMAP Handle() const { return static_cast<HBITMAP>(bitmap_.get()); }
    // Width() x Height() pixels, top row first, each 0xAARRGGBB with premultiplied colours.
    const std::uint32_t* Pixels() const { return bits_; }
    void Release();

    // Scales the whole image into `dest` and blends it over what `dc` holds: source-over with
    // premultiplied colours and constant alpha 255. A scaled image is first resampled by area
    // (every source pixel counts by the share of it that a destination pixel covers), so the
    // spinner frames and buttons drawn below their size stay smooth. False when nothing could be
    // drawn (an empty image or rectangle, or GDI failed).
    bool Draw(HDC dc, const RECT& dest) const;

private:
    friend bool LoadPngResource(PngImage& image, UINT pngId, HMODULE module);
    UniqueGdiObject bitmap_;
    std::uint32_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// Decodes the resource `pngId` of type "PNG" from `module` (the executable when null) into
// `image` through GDI+, as 32 bits per pixel with each colour premultiplied by its alpha
// (channel x alpha / 255, the fraction dropped). Whatever `image` held is released first. False
// when no such resource exists or it cannot be decoded; `image` is then empty.
bool LoadPngResource(PngImage& image, UINT pngId, HMODULE module = nullptr);
