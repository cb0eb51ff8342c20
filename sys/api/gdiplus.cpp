#include "sys/api/gdiplus.h"

#include "sys/api/system_dll.h"

// The flat API is declared in Gdiplus::DllExports; a missing DLL or function fails the call with
// GenericError and ERROR_PROC_NOT_FOUND.
#define GDIPLUS_CALL(function, ...)                                                            \
    static const auto fn =                                                                     \
        SystemProc<decltype(&Gdiplus::DllExports::function)>(L"gdiplus.dll", #function);      \
    if (!fn) {                                                                                 \
        ::SetLastError(ERROR_PROC_NOT_FOUND);                                                  \
        return Gdiplus::GenericError;                                                          \
    }                                                                                          \
    return fn(__VA_ARGS__)

namespace gdiplus {

GpStatus GdiplusStartup(ULONG_PTR* token, const Gdiplus::GdiplusStartupInput* input,
                        Gdiplus::GdiplusStartupOutput* output) {
    static const auto fn = SystemProc<decltype(&Gdiplus::GdiplusStartup)>(L"gdiplus.dll",
                                                                          "GdiplusStartup");
    if (!fn) {
        ::SetLastError(ERROR_PROC_NOT_FOUND);
        return Gdiplus::GenericError;
    }
    return fn(token, input, output);
}

void GdiplusShutdown(ULONG_PTR token) {
    static const auto fn = SystemProc<decltype(&Gdiplus::GdiplusShutdown)>(L"gdiplus.dll",
                                                                           "GdiplusShutdown");
    if (fn) fn(token);
}

GpStatus GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap) {
    GDIPLUS_CALL(GdipCreateBitmapFromStream, stream, bitmap);
}

GpStatus GdipGetImageWidth(GpImage* image, UINT* width) {
    GDIPLUS_CALL(GdipGetImageWidth, image, width);
}

GpStatus GdipGetImageHeight(GpImage* image, UINT* height) {
    GDIPLUS_CALL(GdipGetImageHeight, image, height);
}

GpStatus GdipBitmapLockBits(GpBitmap* bitmap, const Gdiplus::GpRect* rect, UINT flags,
                            Gdiplus::PixelFormat format, Gdiplus::BitmapData* data) {
    GDIPLUS_CALL(GdipBitmapLockBits, bitmap, rect, flags, format, data);
}

GpStatus GdipBitmapUnlockBits(GpBitmap* bitmap, Gdiplus::BitmapData* data) {
    GDIPLUS_CALL(GdipBitmapUnlockBits, bitmap, data);
}

GpStatus GdipDisposeImage(GpImage* image) { GDIPLUS_CALL(GdipDisposeImage, image); }

}  // namespace gdiplus
