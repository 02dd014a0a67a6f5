#include "win/update_region.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <vector>

#include "win/message_filter.h"
#include "win/message_queue.h"
#include "win/os_thread.h"
#include "win/paint.h"
#include "win/window.h"
#include "win/window_pos.h"
#include "win/window_registry.h"

namespace win::detail {
namespace {

std::atomic<std::uint64_t> g_generation{0};

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT Union(const RECT& a, const RECT& b) {
  if (IsEmpty(a)) return b;
  if (IsEmpty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  return IsEmpty(r) ? RECT{} : r;
}

bool Covers(const RECT& outer, const RECT& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && outer.right >= inner.right &&
         outer.bottom >= inner.bottom;
}

RECT ClientArea(HWND hwnd) {
  RECT client;
  ::GetClientRect(hwnd, &client);
  return client;
}

// The update clipped to the client area; empty when nothing is left to paint.
RECT Clipped(HWND hwnd, const UpdateRegion& region) {
  const RECT client = ClientArea(hwnd);
  return region.whole ? client : Intersect(region.rect, client);
}

// The window's owner queue; null when the window is gone.
std::shared_ptr<ThreadQueue> OwnerQueue(HWND hwnd, SlotPtr* slotOut = nullptr) {
  SlotPtr slot = FindSlot(hwnd);
  if (!slot) return nullptr;
  {
    std::lock_guard state(slot->stateMutex);
    if (slot->window == nullptr) return nullptr;
  }
  if (slotOut != nullptr) *slotOut = slot;
  return slot->owner;
}

}  // namespace

bool TakePaintMessage(ThreadQueue& queue, HWND filter, UINT first, UINT last, bool remove, MSG* out) {
  for (auto it = queue.updates.begin(); it != queue.updates.end();) {
    const HWND hwnd = it->first;
    UpdateRegion& region = it->second;
    if (!IsWindow(hwnd)) {
      it = queue.updates.erase(it);
      continue;
    }
    if (region.delivered == region.generation || !PassesFilter(hwnd, WM_PAINT, filter, first, last) ||
        !IsWindowVisible(hwnd)) {
      ++it;
      continue;
    }
    if (IsEmpty(Clipped(hwnd, region))) {
      // Nothing of it lies in the client area (a window of no size yet): stays
      // for when it grows, and is not asked to paint meanwhile.
      region.delivered = region.generation;
      ++it;
      continue;
    }
    if (remove) region.delivered = region.generation;
    *out = MSG{hwnd, WM_PAINT, 0, 0, 0};
    return true;
  }
  return false;
}

std::optional<RECT> UpdateRectOf(HWND hwnd, bool* erase) {
  std::shared_ptr<ThreadQueue> queue = OwnerQueue(hwnd);
  if (!queue) return std::nullopt;
  UpdateRegion region;
  {
    std::lock_guard lock(queue->mutex);
    auto it = queue->updates.find(hwnd);
    if (it == queue->updates.end()) return std::nullopt;
    region = it->second;
  }
  const RECT clipped = Clipped(hwnd, region);
  if (IsEmpty(clipped)) return std::nullopt;
  if (erase != nullptr) *erase = region.erase;
  return clipped;
}

std::optional<RECT> TakeUpdate(HWND hwnd, bool* erase) {
  if (erase != nullptr) *erase = false;
  std::shared_ptr<ThreadQueue> queue = OwnerQueue(hwnd);
  if (!queue) return std::nullopt;
  UpdateRegion region;
  {
    std::lock_guard lock(queue->mutex);
    auto it = queue->updates.find(hwnd);
    if (it == queue->updates.end()) return std::nullopt;
    region = it->second;
    queue->updates.erase(it);
  }
  const RECT clipped = Clipped(hwnd, region);
  if (IsEmpty(clipped)) return std::nullopt;
  if (erase != nullptr) *erase = region.erase;
  return clipped;
}

void ClearEraseRequest(HWND hwnd) {
  std::shared_ptr<ThreadQueue> queue = OwnerQueue(hwnd);
  if (!queue) return;
  std::lock_guard lock(queue->mutex);
  auto it = queue->updates.find(hwnd);
  if (it != queue->updates.end()) it->second.erase = false;
}

UINT PaintNowMessage() {
  static const UINT message = RegisterWindowMessageA("tk paint now");
  return message;
}

// Paints the window now on its owner thread, when it has something to paint.
void PaintNow(HWND hwnd) {
  SlotPtr slot;
  std::shared_ptr<ThreadQueue> queue = OwnerQueue(hwnd, &slot);
  if (!queue || !IsWindowVisible(hwnd) || !UpdateRectOf(hwnd, nullptr)) return;
  if (slot->ownerThread != GetCurrentThreadId()) {
    LRESULT ignored = 0;
    SendToOwner(slot, PaintNowMessage(), 0, 0, -1, &ignored);
    return;
  }
  {
    std::lock_guard lock(queue->mutex);
    auto it = queue->updates.find(hwnd);
    if (it != queue->updates.end()) it->second.delivered = it->second.generation;
  }
  CallWindowProcedure(slot, WM_PAINT, 0, 0);
}

}  // namespace win::detail

using namespace win::detail;

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  std::shared_ptr<ThreadQueue> queue = OwnerQueue(hwnd);
  if (!queue) return FALSE;
  if (rect != nullptr && IsEmpty(*rect)) return TRUE;
  std::lock_guard lock(queue->mutex);
  if (queue->gone) return FALSE;
  UpdateRegion& region = queue->updates[hwnd];
  if (rect == nullptr) {
    region.whole = true;
  } else if (!region.whole) {
    region.rect = Union(region.rect, *rect);
  }
  region.erase = region.erase || erase != FALSE;
  region.generation = ++g_generation;
  WakeQueue(*queue);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  std::shared_ptr<ThreadQueue> queue = OwnerQueue(hwnd);
  if (!queue) return FALSE;
  const RECT client = ClientArea(hwnd);
  std::lock_guard lock(queue->mutex);
  auto it = queue->updates.find(hwnd);
  if (it == queue->updates.end()) return TRUE;
  UpdateRegion& region = it->second;
  if (rect == nullptr) {
    queue->updates.erase(it);
    return TRUE;
  }
  RECT now = region.whole ? client : Intersect(region.rect, client);
  if (IsEmpty(now) || Covers(*rect, now)) {
    queue->updates.erase(it);
    return TRUE;
  }
  // A rectangle can lose a band that spans it at one edge; anything else stays.
  if (rect->left <= now.left && rect->right >= now.right) {
    if (rect->top <= now.top && rect->bottom > now.top) now.top = rect->bottom;
    if (rect->bottom >= now.bottom && rect->top < now.bottom) now.bottom = rect->top;
  } else if (rect->top <= now.top && rect->bottom >= now.bottom) {
    if (rect->left <= now.left && rect->right > now.left) now.left = rect->right;
    if (rect->right >= now.right && rect->left < now.right) now.right = rect->left;
  }
  region.whole = false;
  region.rect = now;
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL erase) {
  bool needsErase = false;
  std::optional<RECT> update = UpdateRectOf(hwnd, &needsErase);
  if (rect != nullptr) *rect = update.value_or(RECT{});
  if (!update) return FALSE;
  if (erase != FALSE && needsErase) win::detail::EraseBackgroundNow(hwnd);
  return TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
  if (!IsWindow(hwnd)) return FALSE;
  PaintNow(hwnd);
  return TRUE;
}

namespace {

void ForEachDescendant(HWND parent, const RECT* rect, const std::function<void(HWND, const RECT*)>& act) {
  for (HWND child : ChildrenOf(parent)) {
    // Dialogs owned by this window are windows of their own, not its children.
    SlotPtr slot = FindSlot(child);
    if (!slot || slot->templateId != 0) continue;
    RECT placed;
    ::GetWindowRect(child, &placed);
    POINT origin{placed.left, placed.top};
    ::ScreenToClient(parent, &origin);
    const RECT inParent{origin.x, origin.y, origin.x + (placed.right - placed.left),
                        origin.y + (placed.bottom - placed.top)};
    if (rect == nullptr) {
      act(child, nullptr);
      ForEachDescendant(child, nullptr, act);
      continue;
    }
    RECT part = Intersect(*rect, inParent);
    if (IsEmpty(part)) continue;
    part = RECT{part.left - inParent.left, part.top - inParent.top, part.right - inParent.left,
                part.bottom - inParent.top};
    act(child, &part);
    ForEachDescendant(child, &part, act);
  }
}

}  // namespace

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN, UINT flags) {
  if (!IsWindow(hwnd)) return FALSE;
  const bool children = (flags & RDW_ALLCHILDREN) != 0 && (flags & RDW_NOCHILDREN) == 0;
  const BOOL erase = (flags & (RDW_ERASE | RDW_ERASENOW)) != 0 && (flags & RDW_NOERASE) == 0 ? TRUE : FALSE;
  std::vector<HWND> touched{hwnd};
  if (children) ForEachDescendant(hwnd, rect, [&](HWND child, const RECT*) { touched.push_back(child); });
  if ((flags & RDW_INVALIDATE) != 0) {
    ::InvalidateRect(hwnd, rect, erase);
    if (children) ForEachDescendant(hwnd, rect, [&](HWND child, const RECT* part) { ::InvalidateRect(child, part, erase); });
  } else if ((flags & RDW_VALIDATE) != 0) {
    ::ValidateRect(hwnd, rect);
    if (children) ForEachDescendant(hwnd, rect, [&](HWND child, const RECT* part) { ::ValidateRect(child, part); });
  }
  if ((flags & RDW_UPDATENOW) != 0) {
    for (HWND h : touched) PaintNow(h);
  } else if ((flags & RDW_ERASENOW) != 0) {
    for (HWND h : touched) {
      bool needsErase = false;
      if (UpdateRectOf(h, &needsErase) && needsErase) EraseBackgroundNow(h);
    }
  }
  return TRUE;
}
