#pragma once
// GDI+ (gdiplus.dll), loaded from the system folder. Only the flat functions the installer uses
// to decode its PNG resources.
#include <windows.h>
#include <objidl.h>

#include <gdiplus.h>

namespace gdiplus {
using Gdiplus::GpBitmap;
using Gdiplus::GpImage;
using Gdiplus::GpStatus;

GpStatus GdiplusStartup(ULONG_PTR* token, const Gdiplus::GdiplusStartupInput* input,
                        Gdiplus::GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);
GpStatus GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap);
GpStatus GdipGetImageWidth(GpImage* image, UINT* width);
GpStatus GdipGetImageHeight(GpImage* image, UINT* height);
GpStatus GdipBitmapLockBits(GpBitmap* bitmap, const Gdiplus::GpRect* rect, UINT flags,
                            Gdiplus::PixelFormat format, Gdiplus::BitmapData* data);
GpStatus GdipBitmapUnlockBits(GpBitmap* bitmap, Gdiplus::BitmapData* data);
GpStatus GdipDisposeImage(GpImage* image);
}  // namespace gdiplus
