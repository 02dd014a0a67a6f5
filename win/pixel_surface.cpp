#include "win/pixel_surface.h"

#include <algorithm>
#include <cstdlib>

#include "win/raster_ops.h"
#include "win/sys_colors.h"

namespace win::detail {

SurfaceView::SurfaceView(BitmapObject& bitmap) : width_(bitmap.width), height_(bitmap.height) {
  if (bitmap.dib) {
    dib_ = &bitmap;
  } else {
    image_ = bitmap.image.get();
    mono_ = image_ != nullptr && image_->format() == QImage::Format_Mono;
    if (image_ == nullptr) width_ = height_ = 0;
  }
}

SurfaceView::SurfaceView(QImage& image) : image_(&image), width_(image.width()), height_(image.height()) {}

std::uint8_t* SurfaceView::DibRow(int y) const {
  const int row = dib_->topDown ? y : height_ - 1 - y;
  return dib_->bits.get() + static_cast<std::size_t>(row) * static_cast<std::size_t>(dib_->stride);
}

COLORREF SurfaceView::Get(int x, int y) const {
  if (image_ != nullptr) {
    if (mono_) return image_->pixelIndex(x, y) != 0 ? kWhite : 0;
    return FromQRgb(reinterpret_cast<const QRgb*>(image_->constScanLine(y))[x]);
  }
  const std::uint8_t* row = DibRow(y);
  auto entry = [&](int index) {
    const RGBQUAD& q = dib_->table[static_cast<std::size_t>(index)];
    return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
  };
  switch (dib_->bitsPerPixel) {
    case 1: return entry((row[x / 8] >> (7 - x % 8)) & 1);
    case 4: return entry((row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xF);
    case 8: return entry(row[x]);
    case 24: return RGB(row[x * 3 + 2], row[x * 3 + 1], row[x * 3]);
    default: return RGB(row[x * 4 + 2], row[x * 4 + 1], row[x * 4]);
  }
}

void SurfaceView::Set(int x, int y, COLORREF colour) {
  colour &= 0xFFFFFF;
  if (image_ != nullptr) {
    if (mono_) {
      image_->setPixel(x, y, MonoOf(colour) == kWhite ? 1 : 0);
    } else {
      reinterpret_cast<QRgb*>(image_->scanLine(y))[x] = ToQRgb(colour);
    }
    return;
  }
  std::uint8_t* row = DibRow(y);
  const int bpp = dib_->bitsPerPixel;
  if (bpp == 24 || bpp == 32) {
    const int step = bpp / 8;
    row[x * step] = GetBValue(colour);
    row[x * step + 1] = GetGValue(colour);
    row[x * step + 2] = GetRValue(colour);
    return;
  }
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < dib_->tableSize; ++i) {
    const RGBQUAD& q = dib_->table[static_cast<std::size_t>(i)];
    const long dr = q.rgbRed - GetRValue(colour), dg = q.rgbGreen - GetGValue(colour),
               db = q.rgbBlue - GetBValue(colour);
    const long distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  const auto index = static_cast<std::uint8_t>(best);
  if (bpp == 8) {
    row[x] = index;
  } else if (bpp == 4) {
    const int shift = x % 2 == 0 ? 4 : 0;
    row[x / 2] = static_cast<std::uint8_t>((row[x / 2] & ~(0xF << shift)) | ((index & 0xF) << shift));
  } else {
    const int shift = 7 - x % 8;
    row[x / 8] = static_cast<std::uint8_t>((row[x / 8] & ~(1 << shift)) | ((index & 1) << shift));
  }
}

SurfaceView ViewOf(GdiTable& table, DcObject& dc) {
  if (dc.surface) return SurfaceView(*dc.surface);
  if (BitmapObject* bitmap = Find<BitmapObject>(table, dc.state.bitmap)) return SurfaceView(*bitmap);
  return SurfaceView();
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (IsEmpty(r)) r = RECT{};
  return r;
}

RECT ClipOf(GdiTable& table, DcObject& dc) {
  const SurfaceView view = ViewOf(table, dc);
  RECT clip{0, 0, view.Width(), view.Height()};
  if (dc.surface) clip = Intersect(clip, dc.surfaceClip);
  if (dc.state.clip) clip = Intersect(clip, *dc.state.clip);
  return clip;
}

POINT ToDevice(const DcState& state, int x, int y) {
  return POINT{x - state.windowOrg.x + state.viewportOrg.x, y - state.windowOrg.y + state.viewportOrg.y};
}

RECT ToDevice(const DcState& state, const RECT& rect) {
  const POINT a = ToDevice(state, rect.left, rect.top);
  const POINT b = ToDevice(state, rect.right, rect.bottom);
  return RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

std::optional<COLORREF> BrushPixel(const BrushObject& brush, const DcState& state, bool monoSurface, int x, int y) {
  if (brush.style == BS_NULL) return std::nullopt;
  if (brush.style == BS_PATTERN && brush.pattern && brush.pattern->width > 0 && brush.pattern->height > 0) {
    const Pattern& p = *brush.pattern;
    const int px = ((x % p.width) + p.width) % p.width;
    const int py = ((y % p.height) + p.height) % p.height;
    const std::size_t at = static_cast<std::size_t>(py) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(px);
    if (p.mono) {
      if (monoSurface) return p.bits[at] ? kWhite : 0;
      return p.bits[at] ? state.bkColour : state.textColour;
    }
    return monoSurface ? MonoOf(p.colours[at]) : p.colours[at];
  }
  return monoSurface ? MonoOf(brush.colour) : brush.colour;
}

const BrushObject* FindBrush(GdiTable& table, HBRUSH brush) {
  if (brush >= 1 && brush <= 31) {
    const HBRUSH system = SysColourBrush(table, static_cast<int>(brush) - 1);
    return Find<BrushObject>(table, system);
  }
  return Find<BrushObject>(table, brush);
}

void PatternFill(GdiTable& table, DcObject& dc, const RECT& deviceRect, const BrushObject& brush, DWORD rop) {
  SurfaceView view = ViewOf(table, dc);
  if (!view.Valid()) return;
  const RECT area = Intersect(deviceRect, ClipOf(table, dc));
  const std::uint8_t code = RopCode(rop);
  const bool usesPattern = RopUsesPattern(code);
  if (usesPattern && brush.style == BS_NULL) return;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      const COLORREF p = usesPattern ? BrushPixel(brush, dc.state, view.Mono(), x, y).value_or(0) : 0;
      view.Set(x, y, ApplyRop(code, p, 0, view.Get(x, y)));
    }
  }
}

}  // namespace win::detail
