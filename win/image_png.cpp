#include "win/image_png.h"

#include "win/gdi_surface.h"

namespace win {

bool SaveBitmapPng(HBITMAP bitmap, const std::string& path) {
  const auto image = detail::BitmapImage(bitmap);
  return image != nullptr && image->save(QString::fromStdString(path), "PNG");
}

}  // namespace win
