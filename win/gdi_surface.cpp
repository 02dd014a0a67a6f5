#include "win/gdi_surface.h"

#include "win/pixel_surface.h"

namespace win::detail {

std::shared_ptr<const QImage> BitmapImage(HBITMAP bitmap) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  BitmapObject* b = Find<BitmapObject>(t, bitmap);
  if (b == nullptr) return nullptr;
  if (!b->dib && b->image && b->image->format() == QImage::Format_RGB32) return b->image;
  SurfaceView view(*b);
  auto copy = std::make_shared<QImage>(b->width, b->height, QImage::Format_RGB32);
  for (int y = 0; y < b->height; ++y)
    for (int x = 0; x < b->width; ++x) reinterpret_cast<QRgb*>(copy->scanLine(y))[x] = ToQRgb(view.Get(x, y));
  return copy;
}

}  // namespace win::detail
