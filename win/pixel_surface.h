// Internal to win/: pixel access to what a DC draws on, whatever its kind
// (a colour or 1-bpp bitmap, a DIB section, a window's picture), in device
// pixels, with the DC's clip.
#pragma once

#include "win/gdi_table.h"

namespace win::detail {

constexpr COLORREF kWhite = 0xFFFFFF;

constexpr COLORREF FromQRgb(QRgb c) { return RGB(qRed(c), qGreen(c), qBlue(c)); }
constexpr QRgb ToQRgb(COLORREF c) { return qRgb(GetRValue(c), GetGValue(c), GetBValue(c)); }
// The nearer of black and white, as a 1-bpp surface shows a colour.
constexpr COLORREF MonoOf(COLORREF c) {
  return GetRValue(c) * 30 + GetGValue(c) * 59 + GetBValue(c) * 11 >= 128 * 100 ? kWhite : 0;
}

class SurfaceView {
 public:
  SurfaceView() = default;
  explicit SurfaceView(BitmapObject& bitmap);
  explicit SurfaceView(QImage& image);

  bool Valid() const { return width_ > 0 && height_ > 0; }
  bool Mono() const { return mono_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  // Within the surface only; a 1-bpp surface answers black or white.
  COLORREF Get(int x, int y) const;
  // A 1-bpp surface takes the nearer of black and white; a DIB section with
  // a colour table the nearest entry.
  void Set(int x, int y, COLORREF colour);

 private:
  std::uint8_t* DibRow(int y) const;

  QImage* image_ = nullptr;
  BitmapObject* dib_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool mono_ = false;
};

// What the DC draws on (invalid when it has nothing), and its clip in
// device pixels: the surface, the window's area and the DC's clip.
SurfaceView ViewOf(GdiTable& table, DcObject& dc);
RECT ClipOf(GdiTable& table, DcObject& dc);

POINT ToDevice(const DcState& state, int x, int y);
// A logical rectangle in device pixels, normalised.
RECT ToDevice(const DcState& state, const RECT& rect);
RECT Intersect(const RECT& a, const RECT& b);
inline bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// The brush's colour for device pixel (x, y) on a surface (1-bpp or not),
// with the DC's colours for 1-bpp patterns; nullopt for the null brush.
std::optional<COLORREF> BrushPixel(const BrushObject& brush, const DcState& state, bool monoSurface, int x, int y);
// A brush handle as FillRect takes it: a brush, or a system colour index + 1.
const BrushObject* FindBrush(GdiTable& table, HBRUSH brush);

// Fills a device rectangle (clipped) with a brush and raster operation of
// pattern and destination.
void PatternFill(GdiTable& table, DcObject& dc, const RECT& deviceRect, const BrushObject& brush, DWORD rop);

}  // namespace win::detail
