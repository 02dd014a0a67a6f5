#include "win/shapes.h"

#include <QPainter>
#include <algorithm>
#include <cstdlib>

#include "win/pixel_surface.h"
#include "win/raster_ops.h"

using namespace win::detail;

namespace {

bool Inside(const RECT& clip, int x, int y) {
  return x >= clip.left && y >= clip.top && x < clip.right && y < clip.bottom;
}

const PenObject& PenOf(GdiTable& t, const DcObject& d) {
  if (const PenObject* p = Find<PenObject>(t, d.state.pen)) return *p;
  return *Find<PenObject>(t, StockObject(t, BLACK_PEN));
}

const BrushObject& BrushOf(GdiTable& t, const DcObject& d) {
  if (const BrushObject* b = Find<BrushObject>(t, d.state.brush)) return *b;
  return *Find<BrushObject>(t, StockObject(t, WHITE_BRUSH));
}

// One pen dot: a square of the pen's width around the point.
void PenDot(SurfaceView& view, const RECT& clip, const PenObject& pen, int x, int y) {
  const int before = (pen.width - 1) / 2;
  for (int dy = 0; dy < pen.width; ++dy)
    for (int dx = 0; dx < pen.width; ++dx)
      if (Inside(clip, x - before + dx, y - before + dy)) view.Set(x - before + dx, y - before + dy, pen.colour);
}

// Bresenham's line in device pixels, the last point left out.
void DeviceLine(SurfaceView& view, const RECT& clip, const PenObject& pen, POINT a, POINT b) {
  if (pen.style == PS_NULL) return;
  const int dx = std::abs(b.x - a.x), dy = -std::abs(b.y - a.y);
  const int stepX = a.x < b.x ? 1 : -1, stepY = a.y < b.y ? 1 : -1;
  int error = dx + dy;
  int x = a.x, y = a.y;
  int index = 0;
  while (x != b.x || y != b.y) {
    const bool dotted = pen.style == PS_DOT || pen.style == PS_DASH;
    const bool on = !dotted || (pen.style == PS_DOT ? index % 2 == 0 : index % 9 < 6);
    if (on) PenDot(view, clip, pen, x, y);
    ++index;
    const int twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += stepX;
    }
    if (twice <= dx) {
      error += dx;
      y += stepY;
    }
  }
}

void FillDevice(SurfaceView& view, const RECT& clip, const DcState& state, const BrushObject& brush, RECT r) {
  r = Intersect(r, clip);
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if (auto c = BrushPixel(brush, state, view.Mono(), x, y)) view.Set(x, y, *c);
}

template <class F>
BOOL WithDrawing(HDC dc, F&& f) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return FALSE;
  SurfaceView view = ViewOf(t, *d);
  if (!view.Valid()) return FALSE;
  const RECT clip = ClipOf(t, *d);
  f(t, *d, view, clip);
  return TRUE;
}

}  // namespace

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return FALSE;
  if (previous != nullptr) *previous = d->state.position;
  d->state.position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
  return WithDrawing(dc, [&](GdiTable& t, DcObject& d, SurfaceView& view, const RECT& clip) {
    DeviceLine(view, clip, PenOf(t, d), ToDevice(d.state, d.state.position.x, d.state.position.y),
               ToDevice(d.state, x, y));
    d.state.position = POINT{x, y};
  });
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  return WithDrawing(dc, [&](GdiTable& t, DcObject& d, SurfaceView& view, const RECT& clip) {
    const RECT r = ToDevice(d.state, RECT{left, top, right, bottom});
    const PenObject& pen = PenOf(t, d);
    const BrushObject& brush = BrushOf(t, d);
    if (pen.style == PS_NULL) {
      // Without a pen the filled area is one pixel smaller on the right and bottom.
      FillDevice(view, clip, d.state, brush, RECT{r.left, r.top, r.right - 1, r.bottom - 1});
      return;
    }
    const int w = pen.width;
    FillDevice(view, clip, d.state, brush, RECT{r.left + w, r.top + w, r.right - w, r.bottom - w});
    PenObject thin = pen;
    thin.width = 1;
    for (int i = 0; i < w; ++i) {
      const RECT f{r.left + i, r.top + i, r.right - i, r.bottom - i};
      if (IsEmpty(f)) break;
      DeviceLine(view, clip, thin, POINT{f.left, f.top}, POINT{f.right - 1, f.top});
      DeviceLine(view, clip, thin, POINT{f.right - 1, f.top}, POINT{f.right - 1, f.bottom - 1});
      DeviceLine(view, clip, thin, POINT{f.right - 1, f.bottom - 1}, POINT{f.left, f.bottom - 1});
      DeviceLine(view, clip, thin, POINT{f.left, f.bottom - 1}, POINT{f.left, f.top});
      if (f.right - f.left == 1 || f.bottom - f.top == 1) PenDot(view, clip, thin, f.right - 1, f.bottom - 1);
    }
  });
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
  return WithDrawing(dc, [&](GdiTable& t, DcObject& d, SurfaceView& view, const RECT& clip) {
    const RECT r = ToDevice(d.state, RECT{left, top, right, bottom});
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0 || std::int64_t{w} * h > (std::int64_t{1} << 24)) return;
    const PenObject& pen = PenOf(t, d);
    const BrushObject& brush = BrushOf(t, d);
    // The shape and its outline as masks, drawn without smoothing.
    QImage shape(w, h, QImage::Format_ARGB32);
    QImage outline(w, h, QImage::Format_ARGB32);
    shape.fill(Qt::transparent);
    outline.fill(Qt::transparent);
    const QRect box(0, 0, w - 1, h - 1);
    {
      QPainter p(&shape);
      p.setRenderHint(QPainter::Antialiasing, false);
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(Qt::black);
      p.drawEllipse(box);
    }
    if (pen.style != PS_NULL) {
      QPainter p(&outline);
      p.setRenderHint(QPainter::Antialiasing, false);
      QPen qpen(Qt::black, pen.width > 1 ? pen.width : 0);
      p.setPen(qpen);
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(box);
    }
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const int px = r.left + x, py = r.top + y;
        if (!Inside(clip, px, py)) continue;
        if (qAlpha(outline.pixel(x, y)) != 0) {
          view.Set(px, py, pen.colour);
        } else if (qAlpha(shape.pixel(x, y)) != 0) {
          if (auto c = BrushPixel(brush, d.state, view.Mono(), px, py)) view.Set(px, py, *c);
        }
      }
    }
  });
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (rect == nullptr) return 0;
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  const BrushObject* b = FindBrush(t, brush);
  if (d == nullptr || b == nullptr) return 0;
  PatternFill(t, *d, ToDevice(d->state, *rect), *b, PATCOPY);
  return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (rect == nullptr) return 0;
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  const BrushObject* b = FindBrush(t, brush);
  if (d == nullptr || b == nullptr) return 0;
  const RECT r = ToDevice(d->state, *rect);
  if (IsEmpty(r)) return 1;
  PatternFill(t, *d, RECT{r.left, r.top, r.right, r.top + 1}, *b, PATCOPY);
  PatternFill(t, *d, RECT{r.left, r.bottom - 1, r.right, r.bottom}, *b, PATCOPY);
  PatternFill(t, *d, RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, *b, PATCOPY);
  PatternFill(t, *d, RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, *b, PATCOPY);
  return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
  if (rect == nullptr) return FALSE;
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return FALSE;
  PatternFill(t, *d, ToDevice(d->state, *rect), BrushObject{BS_SOLID, 0, nullptr}, DSTINVERT);
  return TRUE;
}
