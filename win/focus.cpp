#include "win/focus.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "win/control_base.h"
#include "win/mouse.h"
#include "win/os_thread.h"
#include "win/paint.h"
#include "win/styles.h"
#include "win/window.h"
#include "win/window_registry.h"

namespace {

std::atomic<HWND> g_focus{0};

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(SendMessageA(hwnd, ControlStyleMessage(), 0, 0)); }

// A control the user can reach: its own flags, not its dialog's (a hidden
// dialog still keeps its tab order).
bool Reachable(HWND hwnd) {
  const win::detail::SlotPtr slot = win::detail::FindSlot(hwnd);
  return slot != nullptr && slot->visible.load() && slot->enabled.load();
}

HWND Step(const std::vector<HWND>& ring, std::size_t from, bool previous, bool (*accept)(HWND)) {
  const std::size_t n = ring.size();
  for (std::size_t k = 1; k <= n; ++k) {
    const std::size_t i = previous ? (from + n - k) % n : (from + k) % n;
    if (accept(ring[i])) return ring[i];
  }
  return 0;
}

bool TabStop(HWND hwnd) { return Reachable(hwnd) && (StyleOf(hwnd) & WS_TABSTOP) != 0; }

// Labels and pictures stand in a group but never take the focus.
bool Focusable(HWND hwnd) {
  const win::detail::SlotPtr slot = win::detail::FindSlot(hwnd);
  return slot != nullptr && slot->kind != "static" && slot->kind != "picture" && Reachable(hwnd);
}

// A focus notice: at once on the window's own thread, posted from any other.
void Tell(HWND hwnd, UINT message, HWND other) {
  const win::detail::SlotPtr slot = win::detail::FindSlot(hwnd);
  if (!slot) return;
  if (slot->ownerThread == GetCurrentThreadId()) {
    win::detail::CallWindowProcedure(slot, message, static_cast<WPARAM>(other), 0);
  } else {
    PostMessageA(hwnd, message, static_cast<WPARAM>(other), 0);
  }
}

}  // namespace

HWND SetFocus(HWND hwnd) {
  if (hwnd != 0 && !IsWindow(hwnd)) return 0;
  const HWND before = g_focus.exchange(hwnd);
  if (before != hwnd) {
    // Both look different now (the focus rectangle).
    if (IsWindow(before)) {
      InvalidateRect(before, nullptr, TRUE);
      Tell(before, WM_KILLFOCUS, hwnd);
    }
    if (hwnd != 0) {
      InvalidateRect(hwnd, nullptr, TRUE);
      Tell(hwnd, WM_SETFOCUS, before);
    }
  }
  return IsWindow(before) ? before : 0;
}

HWND GetFocus() {
  const HWND focus = g_focus.load();
  return IsWindow(focus) ? focus : 0;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
  const std::vector<HWND> children = win::detail::ChildrenOf(dialog);
  if (children.empty()) return 0;
  const auto self = std::find(children.begin(), children.end(), control);
  if (self == children.end()) {
    // No starting point: the first or the last tab stop.
    const std::size_t start = previous != FALSE ? 0 : children.size() - 1;
    return Step(children, start, previous != FALSE, &TabStop);
  }
  return Step(children, static_cast<std::size_t>(self - children.begin()), previous != FALSE, &TabStop);
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
  const std::vector<HWND> children = win::detail::ChildrenOf(dialog);
  const auto self = std::find(children.begin(), children.end(), control);
  if (self == children.end()) return 0;
  auto first = self;
  while (first != children.begin() && (StyleOf(*first) & WS_GROUP) == 0) --first;
  auto last = self + 1;
  while (last != children.end() && (StyleOf(*last) & WS_GROUP) == 0) ++last;
  const std::vector<HWND> group(first, last);
  const auto at = static_cast<std::size_t>(self - first);
  const HWND next = Step(group, at, previous != FALSE, &Focusable);
  return next != 0 ? next : control;
}
