#include "win/paint.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "win/device_context.h"
#include "win/display_hooks.h"
#include "win/gdi_surface.h"
#include "win/image_png.h"
#include "win/os_thread.h"
#include "win/update_region.h"
#include "win/window.h"
#include "win/window_pos.h"
#include "win/window_registry.h"
#include "win/window_surface.h"

namespace win::detail {
namespace {

struct Surfaces {
  std::mutex mutex;
  std::map<HWND, std::shared_ptr<QImage>> pictures;
  std::map<HWND, RECT> newlyPainted;  // only while a display is registered
};

// Never destroyed: windows may paint while the program ends.
Surfaces& TheSurfaces() {
  static Surfaces* surfaces = new Surfaces();
  return *surfaces;
}

struct PaintedCount {
  std::uint64_t total = 0;
  std::uint64_t sinceReport = 0;
};

struct PaintRecords {
  std::mutex mutex;
  std::map<HWND, PaintedCount> painted;
  std::uint64_t total = 0;
  std::map<HWND, ControlColours> colours;
};

PaintRecords& Records() {
  static PaintRecords* records = new PaintRecords();
  return *records;
}

bool OnOwnerThread(HWND hwnd) {
  SlotPtr slot = FindSlot(hwnd);
  return slot && IsWindow(hwnd) && slot->ownerThread == GetCurrentThreadId();
}

void CountPainted(HWND hwnd, const RECT& r) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  const auto pixels = static_cast<std::uint64_t>(r.right - r.left) * static_cast<std::uint64_t>(r.bottom - r.top);
  PaintRecords& records = Records();
  std::lock_guard lock(records.mutex);
  PaintedCount& count = records.painted[hwnd];
  count.total += pixels;
  count.sinceReport += pixels;
  records.total += pixels;
}

// The display is told what changed on the picture, so it shows that part alone.
void Painted(HWND hwnd, const RECT& area) {
  const win::display::Hooks* hooks = win::display::CurrentHooks();
  if (hooks == nullptr || !hooks->windowChanged) return;
  if (area.right > area.left && area.bottom > area.top) {
    Surfaces& s = TheSurfaces();
    std::lock_guard lock(s.mutex);
    auto [it, made] = s.newlyPainted.try_emplace(hwnd, area);
    if (!made) {
      RECT& was = it->second;
      was = RECT{std::min(was.left, area.left), std::min(was.top, area.top), std::max(was.right, area.right),
                 std::max(was.bottom, area.bottom)};
    }
  }
  win::display::NotifyChanged(hwnd, win::display::kPainted);
}

}  // namespace

std::optional<RECT> TakeNewlyPainted(HWND hwnd) {
  Surfaces& s = TheSurfaces();
  std::lock_guard lock(s.mutex);
  auto it = s.newlyPainted.find(hwnd);
  if (it == s.newlyPainted.end()) return std::nullopt;
  const RECT area = it->second;
  s.newlyPainted.erase(it);
  return area;
}

std::shared_ptr<QImage> WindowSurface(HWND hwnd) {
  RECT client;
  if (!::GetClientRect(hwnd, &client) || client.right <= 0 || client.bottom <= 0) return nullptr;
  Surfaces& s = TheSurfaces();
  std::lock_guard lock(s.mutex);
  std::shared_ptr<QImage>& picture = s.pictures[hwnd];
  if (!picture || picture->width() != client.right || picture->height() != client.bottom) {
    auto made = std::make_shared<QImage>(client.right, client.bottom, QImage::Format_RGB32);
    if (made->isNull()) return nullptr;
    made->fill(Qt::white);
    picture = std::move(made);
  }
  return picture;
}

std::shared_ptr<QImage> ExistingWindowSurface(HWND hwnd) {
  Surfaces& s = TheSurfaces();
  std::lock_guard lock(s.mutex);
  auto it = s.pictures.find(hwnd);
  return it == s.pictures.end() ? nullptr : it->second;
}

void DropWindowSurface(HWND hwnd) {
  {
    Surfaces& s = TheSurfaces();
    std::lock_guard lock(s.mutex);
    s.pictures.erase(hwnd);
    s.newlyPainted.erase(hwnd);
  }
  PaintRecords& records = Records();
  std::lock_guard lock(records.mutex);
  records.colours.erase(hwnd);
}

void EraseBackgroundNow(HWND hwnd) {
  if (!OnOwnerThread(hwnd)) return;
  bool erase = false;
  std::optional<RECT> update = UpdateRectOf(hwnd, &erase);
  if (!update || !erase) return;
  std::shared_ptr<QImage> surface = WindowSurface(hwnd);
  if (!surface) return;
  const HDC dc = CreateSurfaceDC(surface, *update);
  if (dc == 0) return;
  if (SendMessageA(hwnd, WM_ERASEBKGND, static_cast<WPARAM>(dc), 0) != 0) ClearEraseRequest(hwnd);
  DeleteDC(dc);
}

void RecordControlColours(HWND control, const ControlColours& colours) {
  PaintRecords& records = Records();
  std::lock_guard lock(records.mutex);
  records.colours[control] = colours;
}

}  // namespace win::detail

using namespace win::detail;

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
  if (paint == nullptr) return 0;
  *paint = PAINTSTRUCT{};
  if (!OnOwnerThread(hwnd)) return 0;
  bool erase = false;
  const RECT update = TakeUpdate(hwnd, &erase).value_or(RECT{});
  std::shared_ptr<QImage> surface = WindowSurface(hwnd);
  if (!surface) return 0;
  const HDC dc = CreateSurfaceDC(std::move(surface), update);
  if (dc == 0) return 0;
  paint->hdc = dc;
  paint->rcPaint = update;
  paint->fErase = erase ? TRUE : FALSE;
  if (erase && SendMessageA(hwnd, WM_ERASEBKGND, static_cast<WPARAM>(dc), 0) != 0) paint->fErase = FALSE;
  CountPainted(hwnd, update);
  return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
  if (paint == nullptr || paint->hdc == 0) return FALSE;
  DeleteDC(paint->hdc);
  Painted(hwnd, paint->rcPaint);
  return TRUE;
}

HDC GetDC(HWND hwnd) {
  if (!OnOwnerThread(hwnd)) return 0;
  std::shared_ptr<QImage> surface = WindowSurface(hwnd);
  if (!surface) return 0;
  return CreateSurfaceDC(surface, RECT{0, 0, surface->width(), surface->height()});
}

HDC GetWindowDC(HWND hwnd) { return GetDC(hwnd); }

int ReleaseDC(HWND hwnd, HDC dc) {
  if (dc == 0 || !DeleteDC(dc)) return 0;
  RECT client{};
  ::GetClientRect(hwnd, &client);
  Painted(hwnd, client);
  return 1;
}

namespace win {

std::optional<ControlColours> PaintedControlColours(HWND control) {
  PaintRecords& records = Records();
  std::lock_guard lock(records.mutex);
  auto it = records.colours.find(control);
  if (it == records.colours.end()) return std::nullopt;
  return it->second;
}

std::uint64_t PaintedPixels(HWND hwnd) {
  PaintRecords& records = Records();
  std::lock_guard lock(records.mutex);
  auto it = records.painted.find(hwnd);
  return it == records.painted.end() ? 0 : it->second.total;
}

std::uint64_t TotalPaintedPixels() {
  PaintRecords& records = Records();
  std::lock_guard lock(records.mutex);
  return records.total;
}

std::vector<PaintedReport> TakePaintedSinceLastReport() {
  std::vector<PaintedReport> reports;
  PaintRecords& records = Records();
  std::lock_guard lock(records.mutex);
  for (auto it = records.painted.begin(); it != records.painted.end();) {
    if (it->second.sinceReport != 0) reports.push_back(PaintedReport{it->first, it->second.sinceReport});
    it->second.sinceReport = 0;
    // A window that has gone keeps no entry once it has been told.
    it = IsWindow(it->first) ? std::next(it) : records.painted.erase(it);
  }
  return reports;
}

bool SaveWindowSurfacePng(HWND hwnd, const std::string& path) {
  if (!OnOwnerThread(hwnd)) return false;
  PaintNow(hwnd);
  std::shared_ptr<QImage> surface = WindowSurface(hwnd);
  if (!surface) return false;
  return surface->save(QString::fromStdString(path), "PNG");
}

bool SaveWindowPicturePng(HWND hwnd, const std::string& path) {
  if (!OnOwnerThread(hwnd)) return false;
  PaintNow(hwnd);
  std::shared_ptr<QImage> surface = WindowSurface(hwnd);
  if (!surface) return false;
  QImage picture = surface->copy();
  POINT origin{};
  ClientToScreen(hwnd, &origin);
  // Its visible controls over it, pixels copied as they are (the surfaces'
  // fourth byte is no alpha), clipped to the picture. The first control made
  // is on top, as in the dialog's z-order: the last ones are laid first.
  const std::vector<WindowInfo> windows = EnumerateWindows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    const WindowInfo& child = *it;
    if (child.parent != hwnd || !IsWindowVisible(child.hwnd) || !OnOwnerThread(child.hwnd)) continue;
    PaintNow(child.hwnd);
    std::shared_ptr<QImage> part = WindowSurface(child.hwnd);
    RECT rect{};
    if (!part || !GetWindowRect(child.hwnd, &rect)) continue;
    const int left = rect.left - origin.x;
    const int top = rect.top - origin.y;
    for (int y = std::max(0, -top); y < part->height() && top + y < picture.height(); ++y) {
      for (int x = std::max(0, -left); x < part->width() && left + x < picture.width(); ++x) {
        picture.setPixel(left + x, top + y, part->pixel(x, y));
      }
    }
  }
  return picture.save(QString::fromStdString(path), "PNG");
}

}  // namespace win
