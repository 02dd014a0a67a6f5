#include "win/device_context.h"

#include <algorithm>

#include "win/gdi_surface.h"
#include "win/pixel_surface.h"

using namespace win::detail;

namespace {

DcState FreshState(GdiTable& t) {
  DcState s;
  s.brush = StockObject(t, WHITE_BRUSH);
  s.pen = StockObject(t, BLACK_PEN);
  s.font = StockObject(t, SYSTEM_FONT);
  return s;
}

template <class F>
auto WithDc(HDC dc, F&& f, decltype(f(std::declval<GdiTable&>(), std::declval<DcObject&>())) failed) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject* d = Find<DcObject>(t, dc);
  if (d == nullptr) return failed;
  return f(t, *d);
}

}  // namespace

namespace win::detail {

HDC CreateSurfaceDC(std::shared_ptr<QImage> surface, const RECT& clip) {
  if (!surface || surface->format() != QImage::Format_RGB32) return 0;
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject dc;
  dc.state = FreshState(t);
  // A window's DC starts with the default dialog font, as the dialogs' do.
  dc.state.font = StockObject(t, DEFAULT_GUI_FONT);
  dc.surface = std::move(surface);
  dc.surfaceClip = clip;
  return AddObject(t, std::move(dc));
}

}  // namespace win::detail

HDC CreateCompatibleDC(HDC) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  DcObject dc;
  dc.state = FreshState(t);
  dc.state.bitmap = StockMonoBitmap(t);
  return AddObject(t, std::move(dc));
}

BOOL DeleteDC(HDC dc) {
  auto& t = Table();
  {
    std::lock_guard lock(t.mutex);
    DcObject* d = Find<DcObject>(t, dc);
    if (d == nullptr) return FALSE;
    if (BitmapObject* b = Find<BitmapObject>(t, d->state.bitmap); b != nullptr && b->selectedInto == dc)
      b->selectedInto = 0;
    t.objects.erase(dc);
  }
  ForgetDcWrapper(dc);
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  return WithDc(
      dc,
      [&](GdiTable& t, DcObject& d) -> HGDIOBJ {
        auto it = t.objects.find(object);
        if (it == t.objects.end()) return 0;
        Object& o = it->second.object;
        if (auto* b = std::get_if<BitmapObject>(&o)) {
          if (d.surface) return 0;
          if (b->selectedInto != 0 && b->selectedInto != dc) return 0;
          const HBITMAP old = d.state.bitmap;
          if (BitmapObject* previous = Find<BitmapObject>(t, old); previous != nullptr && previous->selectedInto == dc)
            previous->selectedInto = 0;
          if (!it->second.stock) b->selectedInto = dc;
          d.state.bitmap = object;
          d.state.clip.reset();
          return old;
        }
        if (std::holds_alternative<BrushObject>(o)) return std::exchange(d.state.brush, object);
        if (std::holds_alternative<PenObject>(o)) return std::exchange(d.state.pen, object);
        if (std::holds_alternative<FontObject>(o)) return std::exchange(d.state.font, object);
        return 0;
      },
      HGDIOBJ{0});
}

HGDIOBJ GetCurrentObject(HDC dc, UINT kind) {
  return WithDc(
      dc,
      [&](GdiTable&, DcObject& d) -> HGDIOBJ {
        switch (kind) {
          case OBJ_BITMAP: return d.state.bitmap;
          case OBJ_BRUSH: return d.state.brush;
          case OBJ_PEN: return d.state.pen;
          case OBJ_FONT: return d.state.font;
          default: return 0;
        }
      },
      HGDIOBJ{0});
}

int SaveDC(HDC dc) {
  return WithDc(
      dc,
      [&](GdiTable&, DcObject& d) {
        d.saved.push_back(d.state);
        return static_cast<int>(d.saved.size());
      },
      0);
}

BOOL RestoreDC(HDC dc, int saved) {
  return WithDc(
      dc,
      [&](GdiTable& t, DcObject& d) -> BOOL {
        const int depth = static_cast<int>(d.saved.size());
        const int level = saved < 0 ? depth + saved + 1 : saved;
        if (level < 1 || level > depth) return FALSE;
        DcState restored = d.saved[static_cast<std::size_t>(level - 1)];
        d.saved.resize(static_cast<std::size_t>(level - 1));
        if (restored.bitmap != d.state.bitmap && !d.surface) {
          BitmapObject* back = Find<BitmapObject>(t, restored.bitmap);
          // The saved bitmap went into another DC, or was deleted, meanwhile.
          if (back == nullptr || (back->selectedInto != 0 && back->selectedInto != dc)) {
            restored.bitmap = d.state.bitmap;
          } else {
            if (BitmapObject* now = Find<BitmapObject>(t, d.state.bitmap); now != nullptr && now->selectedInto == dc)
              now->selectedInto = 0;
            if (!t.objects.at(restored.bitmap).stock) back->selectedInto = dc;
          }
        }
        d.state = restored;
        return TRUE;
      },
      FALSE);
}

#define TK_DC_FIELD(Setter, Getter, Type, field, failed)                                                     \
  Type Setter(HDC dc, Type value) {                                                                          \
    return WithDc(dc, [&](GdiTable&, DcObject& d) { return std::exchange(d.state.field, value); }, failed); \
  }                                                                                                          \
  Type Getter(HDC dc) {                                                                                      \
    return WithDc(dc, [&](GdiTable&, DcObject& d) { return d.state.field; }, failed);                       \
  }

TK_DC_FIELD(SetTextColor, GetTextColor, COLORREF, textColour, CLR_INVALID)
TK_DC_FIELD(SetBkColor, GetBkColor, COLORREF, bkColour, CLR_INVALID)
#undef TK_DC_FIELD

int SetBkMode(HDC dc, int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  return WithDc(dc, [&](GdiTable&, DcObject& d) { return std::exchange(d.state.bkMode, mode); }, 0);
}

int GetBkMode(HDC dc) {
  return WithDc(dc, [&](GdiTable&, DcObject& d) { return d.state.bkMode; }, 0);
}

namespace {
BOOL SetOrigin(HDC dc, POINT DcState::*field, POINT value, POINT* previous) {
  return WithDc(
      dc,
      [&](GdiTable&, DcObject& d) -> BOOL {
        if (previous != nullptr) *previous = d.state.*field;
        d.state.*field = value;
        return TRUE;
      },
      FALSE);
}
BOOL GetOrigin(HDC dc, POINT DcState::*field, POINT* origin) {
  return WithDc(
      dc,
      [&](GdiTable&, DcObject& d) -> BOOL {
        if (origin == nullptr) return FALSE;
        *origin = d.state.*field;
        return TRUE;
      },
      FALSE);
}
}  // namespace

BOOL SetWindowOrgEx(HDC dc, int x, int y, POINT* previous) {
  return SetOrigin(dc, &DcState::windowOrg, POINT{x, y}, previous);
}
BOOL GetWindowOrgEx(HDC dc, POINT* origin) { return GetOrigin(dc, &DcState::windowOrg, origin); }
BOOL SetViewportOrgEx(HDC dc, int x, int y, POINT* previous) {
  return SetOrigin(dc, &DcState::viewportOrg, POINT{x, y}, previous);
}
BOOL GetViewportOrgEx(HDC dc, POINT* origin) { return GetOrigin(dc, &DcState::viewportOrg, origin); }
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, POINT* previous) {
  return WithDc(
      dc,
      [&](GdiTable&, DcObject& d) -> BOOL {
        if (previous != nullptr) *previous = d.state.viewportOrg;
        d.state.viewportOrg.x += dx;
        d.state.viewportOrg.y += dy;
        return TRUE;
      },
      FALSE);
}

int IntersectClipRect(HDC dc, int left, int top, int right, int bottom) {
  return WithDc(
      dc,
      [&](GdiTable& t, DcObject& d) {
        const RECT wanted = ToDevice(d.state, RECT{left, top, right, bottom});
        const RECT clip = Intersect(ClipOf(t, d), wanted);
        d.state.clip = clip;
        return IsEmpty(clip) ? NULLREGION : SIMPLEREGION;
      },
      ERROR);
}

int GetClipBox(HDC dc, RECT* rect) {
  return WithDc(
      dc,
      [&](GdiTable& t, DcObject& d) {
        if (rect == nullptr) return ERROR;
        const RECT clip = ClipOf(t, d);
        const POINT shift = ToDevice(d.state, 0, 0);
        *rect = RECT{clip.left - shift.x, clip.top - shift.y, clip.right - shift.x, clip.bottom - shift.y};
        return IsEmpty(clip) ? NULLREGION : SIMPLEREGION;
      },
      ERROR);
}

int GetDeviceCaps(HDC dc, int index) {
  return WithDc(
      dc,
      [&](GdiTable& t, DcObject& d) {
        const SurfaceView view = ViewOf(t, d);
        switch (index) {
          case TECHNOLOGY: return DT_RASDISPLAY;
          case HORZRES: return view.Width();
          case VERTRES: return view.Height();
          case BITSPIXEL: return view.Mono() ? 1 : 32;
          case PLANES: return 1;
          case NUMCOLORS: return -1;
          case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT;  // true colour: no RC_PALETTE
          case LOGPIXELSX:
          case LOGPIXELSY: return 96;
          default: return 0;
        }
      },
      0);
}

COLORREF GetNearestColor(HDC dc, COLORREF colour) {
  return WithDc(
      dc, [&](GdiTable& t, DcObject& d) { return ViewOf(t, d).Mono() ? MonoOf(colour) : colour & 0xFFFFFF; },
      CLR_INVALID);
}

std::size_t LiveDcCount() {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  return static_cast<std::size_t>(std::count_if(t.objects.begin(), t.objects.end(), [](const auto& e) {
    return std::holds_alternative<DcObject>(e.second.object);
  }));
}
