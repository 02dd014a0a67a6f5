#include "win/blit.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "win/pixel_surface.h"
#include "win/raster_ops.h"

using namespace win::detail;

namespace {

// The source pixel as the destination takes it: between 1-bpp and colour
// surfaces the Windows conversion with the DCs' colours.
COLORREF Convert(COLORREF s, bool sourceMono, const DcState& source, bool destMono, const DcState& dest) {
  if (sourceMono == destMono) return s;
  if (sourceMono) return s == kWhite ? dest.bkColour : dest.textColour;
  return s == (source.bkColour & 0xFFFFFF) ? kWhite : 0;
}

// One transfer; the source is sampled at sx + (i * sw) / w (nearest pixel).
BOOL Transfer(HDC destDc, int x, int y, int width, int height, HDC sourceDc, int sx, int sy, int sw, int sh,
              DWORD rop) {
  const std::uint8_t code = RopCode(rop);
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* dest = Find<DcObject>(t, destDc);
  if (dest == nullptr) return FALSE;
  SurfaceView destView = ViewOf(t, *dest);
  if (!destView.Valid()) return FALSE;
  const bool usesSource = RopUsesSource(code);
  const bool usesPattern = RopUsesPattern(code);
  const BrushObject* brush = usesPattern ? FindBrush(t, dest->state.brush) : nullptr;
  if (usesPattern && brush == nullptr) brush = Find<BrushObject>(t, StockObject(t, WHITE_BRUSH));
  if (usesPattern && brush->style == BS_NULL) return TRUE;

  // Mirroring: a negative size on one side only flips the picture.
  bool flipX = false, flipY = false;
  if (width < 0) {
    x += width;
    width = -width;
    flipX = !flipX;
  }
  if (height < 0) {
    y += height;
    height = -height;
    flipY = !flipY;
  }
  if (sw < 0) {
    sx += sw;
    sw = -sw;
    flipX = !flipX;
  }
  if (sh < 0) {
    sy += sh;
    sh = -sh;
    flipY = !flipY;
  }
  if (width == 0 || height == 0) return TRUE;

  const POINT origin = ToDevice(dest->state, x, y);
  const RECT area = Intersect(RECT{origin.x, origin.y, origin.x + width, origin.y + height}, ClipOf(t, *dest));
  if (IsEmpty(area)) return TRUE;
  // Source column and row of a destination pixel.
  auto columnOf = [&](int px) {
    const int i = static_cast<int>(std::int64_t{px - origin.x} * sw / width);
    return flipX ? sw - 1 - i : i;
  };
  auto rowOf = [&](int py) {
    const int j = static_cast<int>(std::int64_t{py - origin.y} * sh / height);
    return flipY ? sh - 1 - j : j;
  };

  // The part of the source the area needs is read first (so a DC may copy
  // onto itself), and only what its surface has.
  std::vector<COLORREF> block;
  std::vector<bool> present;
  RECT taken{};
  const DcState* sourceState = nullptr;
  bool sourceMono = false;
  if (usesSource) {
    if (sw == 0 || sh == 0) return FALSE;
    DcObject* source = Find<DcObject>(t, sourceDc);
    if (source == nullptr) return FALSE;
    SurfaceView sourceView = ViewOf(t, *source);
    if (!sourceView.Valid()) return FALSE;
    sourceState = &source->state;
    sourceMono = sourceView.Mono();
    const POINT at = ToDevice(source->state, sx, sy);
    const int i0 = columnOf(area.left), i1 = columnOf(area.right - 1);
    const int j0 = rowOf(area.top), j1 = rowOf(area.bottom - 1);
    const RECT wanted{at.x + std::min(i0, i1), at.y + std::min(j0, j1), at.x + std::max(i0, i1) + 1,
                      at.y + std::max(j0, j1) + 1};
    taken = Intersect(wanted, ClipOf(t, *source));
    if (IsEmpty(taken)) return TRUE;
    const auto tw = static_cast<std::size_t>(taken.right - taken.left);
    block.resize(tw * static_cast<std::size_t>(taken.bottom - taken.top));
    for (int py = taken.top; py < taken.bottom; ++py)
      for (int px = taken.left; px < taken.right; ++px)
        block[static_cast<std::size_t>(py - taken.top) * tw + static_cast<std::size_t>(px - taken.left)] =
            sourceView.Get(px, py);
    // From here on taken is in source columns and rows of the block.
    taken = RECT{taken.left - at.x, taken.top - at.y, taken.right - at.x, taken.bottom - at.y};
  }

  const auto takenWidth = static_cast<std::size_t>(taken.right - taken.left);
  for (int py = area.top; py < area.bottom; ++py) {
    for (int px = area.left; px < area.right; ++px) {
      COLORREF s = 0;
      if (usesSource) {
        const int i = columnOf(px), j = rowOf(py);
        if (i < taken.left || i >= taken.right || j < taken.top || j >= taken.bottom) continue;  // nothing there
        const COLORREF raw =
            block[static_cast<std::size_t>(j - taken.top) * takenWidth + static_cast<std::size_t>(i - taken.left)];
        s = Convert(raw, sourceMono, *sourceState, destView.Mono(), dest->state);
      }
      const COLORREF p =
          usesPattern ? BrushPixel(*brush, dest->state, destView.Mono(), px, py).value_or(0) : 0;
      destView.Set(px, py, ApplyRop(code, p, s, destView.Get(px, py)));
    }
  }
  return TRUE;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
  return Transfer(dest, x, y, width, height, source, sx, sy, width, height, rop);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sourceWidth,
                int sourceHeight, DWORD rop) {
  return Transfer(dest, x, y, width, height, source, sx, sy, sourceWidth, sourceHeight, rop);
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  if (RopUsesSource(RopCode(rop))) return FALSE;
  return Transfer(dc, x, y, width, height, 0, 0, 0, 0, 0, rop);
}
