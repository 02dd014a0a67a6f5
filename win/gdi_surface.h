// Internal to win/: the drawing layer's Qt side for the window painting code.
#pragma once

#include <QImage>
#include <memory>

#include "win/gdi_types.h"

namespace win::detail {

// A DC drawing onto a window's picture (RGB32), clipped to clip (device
// pixels); released with DeleteDC (or ReleaseDC, which calls it).
HDC CreateSurfaceDC(std::shared_ptr<QImage> surface, const RECT& clip);
// The pixels of a bitmap as RGB32 (a copy for 1-bpp bitmaps and DIB
// sections, the bitmap's own picture otherwise); null for no live bitmap.
std::shared_ptr<const QImage> BitmapImage(HBITMAP bitmap);

}  // namespace win::detail
