#include "win/edges.h"

#include <cstring>

#include "win/pixel_surface.h"
#include "win/qt_app.h"
#include "win/raster_ops.h"
#include "win/sys_colors.h"
#include "win/text.h"
#include "win/text_render.h"

using namespace win::detail;

namespace {

void Solid(GdiTable& t, DcObject& d, const RECT& device, COLORREF colour) {
  PatternFill(t, d, device, BrushObject{BS_SOLID, colour, nullptr}, PATCOPY);
}

struct Layer {
  COLORREF topLeft, bottomRight;
};

// One ring of the edge on the flagged sides: the top and left first, then the
// bottom and right over the two corners they share; the rectangle shrinks.
void DrawRing(GdiTable& t, DcObject& d, RECT& r, UINT flags, Layer colours) {
  if (IsEmpty(r)) return;
  if ((flags & BF_TOP) != 0) Solid(t, d, RECT{r.left, r.top, r.right, r.top + 1}, colours.topLeft);
  if ((flags & BF_LEFT) != 0) Solid(t, d, RECT{r.left, r.top, r.left + 1, r.bottom}, colours.topLeft);
  if ((flags & BF_BOTTOM) != 0) Solid(t, d, RECT{r.left, r.bottom - 1, r.right, r.bottom}, colours.bottomRight);
  if ((flags & BF_RIGHT) != 0) Solid(t, d, RECT{r.right - 1, r.top, r.right, r.bottom}, colours.bottomRight);
  if ((flags & BF_TOP) != 0) ++r.top;
  if ((flags & BF_LEFT) != 0) ++r.left;
  if ((flags & BF_BOTTOM) != 0) --r.bottom;
  if ((flags & BF_RIGHT) != 0) --r.right;
}

}  // namespace

BOOL DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags) {
  if (rect == nullptr) return FALSE;
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return FALSE;
  auto sys = [&](int index) { return SysColour(t, index); };
  RECT r = ToDevice(d->state, *rect);
  const bool mono = (flags & BF_MONO) != 0, flat = (flags & BF_FLAT) != 0;
  const UINT outer = edge & BDR_OUTER, inner = edge & BDR_INNER;
  if (mono || flat) {
    const COLORREF line = mono ? sys(COLOR_WINDOWFRAME) : sys(COLOR_BTNSHADOW);
    const COLORREF fill = mono ? sys(COLOR_WINDOW) : sys(COLOR_BTNFACE);
    if (outer != 0) DrawRing(t, *d, r, flags, Layer{line, line});
    if (inner != 0) DrawRing(t, *d, r, flags, Layer{fill, fill});
  } else {
    if ((outer & BDR_RAISEDOUTER) != 0) {
      DrawRing(t, *d, r, flags, Layer{sys(COLOR_3DLIGHT), sys(COLOR_3DDKSHADOW)});
    } else if ((outer & BDR_SUNKENOUTER) != 0) {
      DrawRing(t, *d, r, flags, Layer{sys(COLOR_BTNSHADOW), sys(COLOR_BTNHIGHLIGHT)});
    }
    if ((inner & BDR_RAISEDINNER) != 0) {
      DrawRing(t, *d, r, flags, Layer{sys(COLOR_BTNHIGHLIGHT), sys(COLOR_BTNSHADOW)});
    } else if ((inner & BDR_SUNKENINNER) != 0) {
      DrawRing(t, *d, r, flags, Layer{sys(COLOR_3DDKSHADOW), sys(COLOR_3DLIGHT)});
    }
  }
  if ((flags & BF_MIDDLE) != 0) Solid(t, *d, r, mono ? sys(COLOR_WINDOW) : sys(COLOR_BTNFACE));
  if ((flags & BF_ADJUST) != 0) {
    const POINT shift = ToDevice(d->state, 0, 0);
    *rect = RECT{r.left - shift.x, r.top - shift.y, r.right - shift.x, r.bottom - shift.y};
  }
  return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
  if (rect == nullptr) return FALSE;
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return FALSE;
  SurfaceView view = ViewOf(t, *d);
  if (!view.Valid()) return FALSE;
  const RECT r = ToDevice(d->state, *rect);
  const RECT clip = ClipOf(t, *d);
  // Every other pixel of the frame inverted, so a second call undoes the first.
  auto dot = [&](int x, int y) {
    if (((x + y) & 1) != 0) return;
    if (x < clip.left || y < clip.top || x >= clip.right || y >= clip.bottom) return;
    view.Set(x, y, ~view.Get(x, y) & 0xFFFFFF);
  };
  if (IsEmpty(r)) return TRUE;
  for (int x = r.left; x < r.right; ++x) {
    dot(x, r.top);
    if (r.bottom - 1 != r.top) dot(x, r.bottom - 1);
  }
  for (int y = r.top + 1; y < r.bottom - 1; ++y) {
    dot(r.left, y);
    if (r.right - 1 != r.left) dot(r.right - 1, y);
  }
  return TRUE;
}

namespace {

// An image's shape: pixels that are not white (1-bpp: the 0 bits).
std::vector<bool> ShapeOf(SurfaceView& image, int width, int height) {
  std::vector<bool> shape(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      shape[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
          image.Get(x, y) != kWhite;
  return shape;
}

void LayShape(SurfaceView& view, const RECT& clip, const std::vector<bool>& shape, int width, int height, POINT at,
              COLORREF colour) {
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!shape[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]) continue;
      const int px = at.x + x, py = at.y + y;
      if (px >= clip.left && py >= clip.top && px < clip.right && py < clip.bottom) view.Set(px, py, colour);
    }
  }
}

BOOL DrawImageState(GdiTable& t, DcObject& d, HBRUSH brush, HBITMAP bitmap, int x, int y, int cx, int cy,
                    UINT flags) {
  BitmapObject* b = Find<BitmapObject>(t, bitmap);
  if (b == nullptr) return FALSE;
  SurfaceView image(*b);
  SurfaceView view = ViewOf(t, d);
  if (!image.Valid() || !view.Valid()) return FALSE;
  const int width = cx > 0 ? std::min(cx, image.Width()) : image.Width();
  const int height = cy > 0 ? std::min(cy, image.Height()) : image.Height();
  const RECT clip = ClipOf(t, d);
  const POINT at = ToDevice(d.state, x, y);
  if ((flags & (DSS_DISABLED | DSS_MONO)) != 0) {
    const std::vector<bool> shape = ShapeOf(image, width, height);
    if ((flags & DSS_DISABLED) != 0) {
      LayShape(view, clip, shape, width, height, POINT{at.x + 1, at.y + 1}, SysColour(t, COLOR_3DHILIGHT));
      LayShape(view, clip, shape, width, height, at, SysColour(t, COLOR_3DSHADOW));
    } else {
      const BrushObject* b2 = brush != 0 ? FindBrush(t, brush) : nullptr;
      LayShape(view, clip, shape, width, height, at, b2 != nullptr ? b2->colour : d.state.textColour);
    }
    return TRUE;
  }
  for (int j = 0; j < height; ++j) {
    for (int i = 0; i < width; ++i) {
      const int px = at.x + i, py = at.y + j;
      if (px < clip.left || py < clip.top || px >= clip.right || py >= clip.bottom) continue;
      COLORREF c = image.Get(i, j);
      if (image.Mono() && !view.Mono()) c = c == kWhite ? d.state.bkColour : d.state.textColour;
      view.Set(px, py, c);
    }
  }
  return TRUE;
}

BOOL DrawTextState(GdiTable& t, DcObject& d, const char* text, WPARAM length, int x, int y, int cx, int cy,
                   UINT flags, bool prefixes) {
  if (text == nullptr) return FALSE;
  const QString q = FromAnsi(text, length == 0 ? -1 : static_cast<int>(length));
  const DcState saved = d.state;
  d.state.bkMode = TRANSPARENT;
  const UINT format = DT_SINGLELINE | DT_NOCLIP | (prefixes ? 0 : DT_NOPREFIX);
  auto draw = [&](int dx, int dy, COLORREF colour) {
    d.state.textColour = colour;
    RECT r{x + dx, y + dy, x + dx + (cx > 0 ? cx : 0x3FFF), y + dy + (cy > 0 ? cy : 0x3FFF)};
    LayOutAndDraw(t, d, q, r, format);
  };
  if ((flags & DSS_DISABLED) != 0) {
    draw(1, 1, SysColour(t, COLOR_3DHILIGHT));
    draw(0, 0, SysColour(t, COLOR_3DSHADOW));
  } else {
    draw(0, 0, saved.textColour);
  }
  d.state = saved;
  return TRUE;
}

}  // namespace

BOOL DrawStateA(HDC dc, HBRUSH brush, DRAWSTATEPROC, LPARAM data, WPARAM wData, int x, int y, int cx, int cy,
                UINT flags) {
  const UINT kind = flags & 0x000F;
  if (kind == DST_TEXT || kind == DST_PREFIXTEXT) EnsureQtApplication();
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return FALSE;
  switch (kind) {
    case DST_BITMAP:
    case DST_ICON:  // icons are bitmaps here
      return DrawImageState(t, *d, brush, static_cast<HBITMAP>(data), x, y, cx, cy, flags);
    case DST_TEXT:
    case DST_PREFIXTEXT:
      return DrawTextState(t, *d, reinterpret_cast<const char*>(data), wData, x, y, cx, cy, flags,
                           kind == DST_PREFIXTEXT);
    default:
      return FALSE;  // DST_COMPLEX callbacks are not used by the program
  }
}
