#include "ui/png_resource.h"

#include <mutex>
#include <vector>

#include "sys/api/gdiplus.h"
#include "sys/files.h"
#include "ui/gdi.h"

namespace {

struct GlobalMemoryTraits {
    static HGLOBAL invalid() { return nullptr; }
    static void close(HGLOBAL h) { ::GlobalFree(h); }
};
struct GdipBitmapTraits {
    static gdiplus::GpBitmap* invalid() { return nullptr; }
    static void close(gdiplus::GpBitmap* b) { gdiplus::GdipDisposeImage(b); }
};
struct StreamTraits {
    static IStream* invalid() { return nullptr; }
    static void close(IStream* s) { s->Release(); }
};
struct MemoryDcTraits {
    static HDC invalid() { return nullptr; }
    static void close(HDC dc) { ::DeleteDC(dc); }
};
using UniqueGlobal = Unique<HGLOBAL, GlobalMemoryTraits>;
using UniqueGdipBitmap = Unique<gdiplus::GpBitmap*, GdipBitmapTraits>;
using UniqueStream = Unique<IStream*, StreamTraits>;
using UniqueMemoryDc = Unique<HDC, MemoryDcTraits>;

// GDI+ is started once, on first use, and stays up for the life of the process: images are
// decoded on whichever thread paints, and shutting it down from a static destructor at exit
// would race windows that still paint.
bool StartGdiplus() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartupInput input;
        started = gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    });
    return started;
}

// Area resampling along one axis: for each of `outCount` destination cells, the weighted sum of
// the source cells it covers. Works on premultiplied values, so colours never bleed out of
// transparent pixels.
struct Tap {
    int first;
    std::vector<float> weights;
};
std::vector<Tap> AreaTaps(int inCount, int outCount) {
    std::vector<Tap> taps(static_cast<size_t>(outCount));
    const double scale = static_cast<double>(inCount) / outCount;
    for (int o = 0; o < outCount; ++o) {
        double from = o * scale, to = (o + 1) * scale;
        int first = static_cast<int>(from);
        int last = std::min(inCount - 1, static_cast<int>(to - 1e-9));
        Tap& tap = taps[static_cast<size_t>(o)];
        tap.first = first;
        for (int i = first; i <= last; ++i) {
            double overlap = std::min<double>(to, i + 1) - std::max<double>(from, i);
            tap.weights.push_back(static_cast<float>(overlap / scale));
        }
    }
    return taps;
}

void Resample(const std::uint32_t* in, int inW, int inH, std::uint32_t* out, int outW, int outH) {
    std::vector<Tap> xs = AreaTaps(inW, outW), ys = AreaTaps(inH, outH);
    std::vector<float> rows(static_cast<size_t>(outW) * inH * 4);
    for (int y = 0; y < inH; ++y) {
        for (int x = 0; x < outW; ++x) {
            float acc[4] = {};
            const Tap& tap = xs[static_cast<size_t>(x)];
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                std::uint32_t p = in[static_cast<size_t>(y) * inW + tap.first + k];
                for (int c = 0; c < 4; ++c) acc[c] += tap.weights[k] * ((p >> (8 * c)) & 0xFF);
            }
            float* dst = &rows[(static_cast<size_t>(y) * outW + x) * 4];
            for (int c = 0; c < 4; ++c) dst[c] = acc[c];
        }
    }
    for (int y = 0; y < outH; ++y) {
        const Tap& tap = ys[static_cast<size_t>(y)];
        for (int x = 0; x < outW; ++x) {
            float acc[4] = {};
            for (size_t k = 0; k < tap.weights.size(); ++k) {
                const float* src = &rows[((tap.first + k) * outW + x) * 4];
                for (int c = 0; c < 4; ++c) acc[c] += tap.weights[k] * src[c];
            }
            std::uint32_t p = 0;
            for (int c = 0; c < 4; ++c) {
                int v = static_cast<int>(acc[c] + 0.5f);
                p |= static_cast<std::uint32_t>(std::min(255, std::max(0, v))) << (8 * c);
            }
            out[static_cast<size_t>(y) * outW + x] = p;
        }
    }
}

bool BlendBitmap(HDC dc, const RECT& dest, HBITMAP bitmap, int width, int height) {
    UniqueMemoryDc memory(::CreateCompatibleDC(dc));
    if (!memory) return false;
    HGDIOBJ previous = ::SelectObject(memory.get(), bitmap);
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    BOOL ok = ::GdiAlphaBlend(dc, dest.left, dest.top, dest.right - dest.left,
                              dest.bottom - dest.top, memory.get(), 0, 0, width, height, blend);
    ::SelectObject(memory.get(), previous);
    return ok != FALSE;
}

}  // namespace

void PngImage::Release() {
    bitmap_.reset();
    bits_ = nullptr;
    width_ = height_ = 0;
}

bool PngImage::Draw(HDC dc, const RECT& dest) const {
    const int w = dest.right - dest.left, h = dest.bottom - dest.top;
    if (IsNull() || w <= 0 || h <= 0) return false;
    if (w == width_ && h == height_) return BlendBitmap(dc, dest, Handle(), width_, height_);
    std::uint32_t* scaledBits = nullptr;
    UniqueBitmap scaled = CreateTopDownDib(w, h, &scaledBits);
    if (!scaled) return false;
    ::GdiFlush();
    Resample(bits_, width_, height_, scaledBits, w, h);
    return BlendBitmap(dc, dest, scaled.get(), w, h);
}

bool LoadPngResource(PngImage& image, UINT pngId, HMODULE module) {
    image.Release();
    if (!module) module = ::GetModuleHandleW(nullptr);
    const ResourceBytes resource = FindResourceBytes(static_cast<WORD>(pngId), L"PNG", module);
    if (!resource) return false;
    const void* data = resource.data;
    const DWORD size = resource.size;

    // GDI+ reads from a stream; the stream needs memory of its own (a resource is read-only and
    // may be mapped from a data file).
    UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    if (!memory) return false;
    void* copy = ::GlobalLock(memory.get());
    if (!copy) return false;
    ::memcpy(copy, data, size);
    ::GlobalUnlock(memory.get());
    UniqueStream stream;
    if (FAILED(::CreateStreamOnHGlobal(memory.get(), FALSE, stream.put()))) return false;

    if (!StartGdiplus()) return false;
    UniqueGdipBitmap decoded;
    if (gdiplus::GdipCreateBitmapFromStream(stream.get(), decoded.put()) != Gdiplus::Ok) {
        return false;
    }
    UINT width = 0, height = 0;
    if (gdiplus::GdipGetImageWidth(decoded.get(), &width) != Gdiplus::Ok ||
        gdiplus::GdipGetImageHeight(decoded.get(), &height) != Gdiplus::Ok || width == 0 ||
        height == 0 || width > 16384 || height > 16384) {
        return false;
    }
    std::uint32_t* bits = nullptr;
    UniqueBitmap dib = CreateTopDownDib(static_cast<int>(width), static_cast<int>(height), &bits);
    if (!dib) return false;

    // Decode straight into the DIB section's pixels as 32-bit ARGB.
    Gdiplus::BitmapData locked{};
    locked.Width = width;
    locked.Height = height;
    locked.Stride = static_cast<INT>(width * 4);
    locked.PixelFormat = PixelFormat32bppARGB;
    locked.Scan0 = bits;
    Gdiplus::GpRect rect(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    if (gdiplus::GdipBitmapLockBits(decoded.get(), &rect,
                                    Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                    PixelFormat32bppARGB, &locked) != Gdiplus::Ok) {
        return false;
    }
    gdiplus::GdipBitmapUnlockBits(decoded.get(), &locked);

    const size_t count = static_cast<size_t>(width) * height;
    for (size_t i = 0; i < count; ++i) {
        std::uint32_t p = bits[i];
        std::uint32_t a = p >> 24;
        std::uint32_t b = (p & 0xFF) * a / 255;
        std::uint32_t g = ((p >> 8) & 0xFF) * a / 255;
        std::uint32_t r = ((p >> 16) & 0xFF) * a / 255;
        bits[i] = (a << 24) | (r << 16) | (g << 8) | b;
    }
    image.bitmap_.reset(dib.release());
    image.bits_ = bits;
    image.width_ = static_cast<int>(width);
    image.height_ = static_cast<int>(height);
    return true;
}
