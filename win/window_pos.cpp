#include "win/window_pos.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "win/display_hooks.h"
#include "win/os_thread.h"
#include "win/paint.h"
#include "win/window.h"
#include "win/window_registry.h"

namespace {

struct Placement {
  RECT rect;
  bool topmost = false;
};

struct PlacementTable {
  std::mutex mutex;
  std::map<HWND, Placement> placements;
  std::size_t changesSincePrune = 0;
};

// Never destroyed: windows may move while the program ends.
PlacementTable& Table() {
  static PlacementTable* table = new PlacementTable();
  return *table;
}

// Handles are never reused, so a dead window's entry is only memory: dropped now and then.
void PruneDeadWindows(PlacementTable& t) {
  std::vector<HWND> handles;
  {
    std::lock_guard lock(t.mutex);
    if (++t.changesSincePrune < 256) return;
    t.changesSincePrune = 0;
    for (const auto& entry : t.placements) handles.push_back(entry.first);
  }
  std::vector<HWND> dead;
  for (HWND h : handles) {
    if (!IsWindow(h)) dead.push_back(h);
  }
  std::lock_guard lock(t.mutex);
  for (HWND h : dead) t.placements.erase(h);
}

Placement Read(HWND hwnd) {
  PlacementTable& t = Table();
  std::lock_guard lock(t.mutex);
  auto it = t.placements.find(hwnd);
  return it == t.placements.end() ? Placement{} : it->second;
}

// A control lies in its parent's client area; a dialog, even one with an
// owner, and a window without a parent lie on the screen.
bool IsChild(HWND hwnd) {
  win::detail::SlotPtr slot = win::detail::FindSlot(hwnd);
  return slot && slot->parent != 0 && slot->templateId == 0;
}

// Where the window's own client area starts on the screen.
POINT ScreenOrigin(HWND hwnd) {
  POINT origin;
  // The chain is short; the bound only guards against a corrupt parent loop.
  for (int depth = 0; hwnd != 0 && depth < 64; ++depth) {
    const RECT r = Read(hwnd).rect;
    origin.x += r.left;
    origin.y += r.top;
    hwnd = IsChild(hwnd) ? GetParent(hwnd) : 0;
  }
  return origin;
}

void Notify(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  win::detail::SlotPtr slot = win::detail::FindSlot(hwnd);
  if (!slot) return;
  if (slot->threadSafe || slot->ownerThread == GetCurrentThreadId()) {
    SendMessageA(hwnd, message, wParam, lParam);
  } else {
    PostMessageA(hwnd, message, wParam, lParam);
  }
}

LPARAM PackPoint(LONG x, LONG y) {
  return static_cast<LPARAM>(MAKELONG(static_cast<WORD>(x & 0xFFFF), static_cast<WORD>(y & 0xFFFF)));
}

}  // namespace

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  if (!IsWindow(hwnd)) return FALSE;
  PlacementTable& t = Table();
  bool moved = false;
  bool sized = false;
  RECT now;
  {
    std::lock_guard lock(t.mutex);
    auto it = t.placements.try_emplace(hwnd).first;
    Placement& p = it->second;
    RECT next = p.rect;
    if ((flags & SWP_NOMOVE) == 0) {
      next.right = x + (p.rect.right - p.rect.left);
      next.bottom = y + (p.rect.bottom - p.rect.top);
      next.left = x;
      next.top = y;
    }
    if ((flags & SWP_NOSIZE) == 0) {
      next.right = next.left + std::max(cx, 0);
      next.bottom = next.top + std::max(cy, 0);
    }
    moved = next.left != p.rect.left || next.top != p.rect.top;
    sized = (next.right - next.left) != (p.rect.right - p.rect.left) ||
            (next.bottom - next.top) != (p.rect.bottom - p.rect.top);
    p.rect = next;
    if ((flags & SWP_NOZORDER) == 0) {
      if (insertAfter == HWND_TOPMOST) p.topmost = true;
      if (insertAfter == HWND_NOTOPMOST) p.topmost = false;
    }
    now = p.rect;
  }
  PruneDeadWindows(t);
  if (moved || sized || (flags & SWP_NOZORDER) == 0) {
    win::display::NotifyChanged(hwnd, win::display::kMoved);
  }
  if ((flags & SWP_SHOWWINDOW) != 0) ShowWindow(hwnd, SW_SHOW);
  if ((flags & SWP_HIDEWINDOW) != 0) ShowWindow(hwnd, SW_HIDE);
  if (moved) Notify(hwnd, WM_MOVE, 0, PackPoint(now.left, now.top));
  if ((sized || (flags & SWP_FRAMECHANGED) != 0) && (flags & SWP_NOREDRAW) == 0) InvalidateRect(hwnd, nullptr, TRUE);
  if (sized) Notify(hwnd, WM_SIZE, SIZE_RESTORED, PackPoint(now.right - now.left, now.bottom - now.top));
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
  return SetWindowPos(hwnd, HWND_TOP, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL GetWindowRect(HWND hwnd, RECT* rect) {
  if (rect == nullptr || !IsWindow(hwnd)) return FALSE;
  const RECT own = Read(hwnd).rect;
  const POINT parentOrigin = IsChild(hwnd) ? ScreenOrigin(GetParent(hwnd)) : POINT{};
  *rect = RECT{own.left + parentOrigin.x, own.top + parentOrigin.y, own.right + parentOrigin.x,
               own.bottom + parentOrigin.y};
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  if (rect == nullptr || !IsWindow(hwnd)) return FALSE;
  const RECT own = Read(hwnd).rect;
  *rect = RECT{0, 0, own.right - own.left, own.bottom - own.top};
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, POINT* point) {
  if (point == nullptr || !IsWindow(hwnd)) return FALSE;
  const POINT origin = ScreenOrigin(hwnd);
  point->x += origin.x;
  point->y += origin.y;
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, POINT* point) {
  if (point == nullptr || !IsWindow(hwnd)) return FALSE;
  const POINT origin = ScreenOrigin(hwnd);
  point->x -= origin.x;
  point->y -= origin.y;
  return TRUE;
}

bool IsWindowTopmost(HWND hwnd) { return IsWindow(hwnd) && Read(hwnd).topmost; }

namespace win::detail {

void SetInitialWindowRect(HWND hwnd, const RECT& rect) {
  if (!IsWindow(hwnd)) return;
  PlacementTable& t = Table();
  {
    std::lock_guard lock(t.mutex);
    t.placements[hwnd].rect = rect;
  }
  win::display::NotifyChanged(hwnd, win::display::kMoved);
  PruneDeadWindows(t);
  InvalidateRect(hwnd, nullptr, TRUE);
}

}  // namespace win::detail
