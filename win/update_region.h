// The update regions of a thread's windows, kept in the owner's queue so that
// any thread may invalidate and the owner's loop finds what to paint. Internal to win/.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

#include "win/geometry.h"
#include "win/messages.h"

namespace win::detail {

struct ThreadQueue;

struct UpdateRegion {
  bool whole = false;  // the whole client area, whatever its size at paint time
  RECT rect;           // else the union rectangle, in client coordinates
  bool erase = false;
  // Raised by each invalidation; a WM_PAINT is made once per value, so a
  // handler that does not validate is not asked again until something changes.
  std::uint64_t generation = 0;
  std::uint64_t delivered = 0;
};

// Guarded by the queue's lock.
using UpdateRegions = std::map<HWND, UpdateRegion>;

// The caller holds the queue's lock. Takes the first window (in handle order:
// a dialog before its controls) that passes the filter, is visible and has an
// update not yet delivered; with `remove` it counts as delivered.
bool TakePaintMessage(ThreadQueue& queue, HWND filter, UINT first, UINT last, bool remove, MSG* out);

// The update of one window, with the clip to its client area applied; empty
// optional when it has nothing to paint.
std::optional<RECT> UpdateRectOf(HWND hwnd, bool* erase);
// Takes the update away and gives it (clipped to the client area); the
// erase flag in *erase. Empty when there was none.
std::optional<RECT> TakeUpdate(HWND hwnd, bool* erase);
// Clears the erase request (the background has been erased).
void ClearEraseRequest(HWND hwnd);
// Paints the window now when it is visible and has an update: at once on
// its owner thread, else handed to it and waited for (and painted there only
// if the update is still there: the owner's loop may have painted it first).
void PaintNow(HWND hwnd);
// The private message PaintNow hands to the owner thread.
UINT PaintNowMessage();
// Sends WM_ERASEBKGND with a DC on the update rectangle, on the owner
// thread only, and clears the request when the window erased.
void EraseBackgroundNow(HWND hwnd);

}  // namespace win::detail
