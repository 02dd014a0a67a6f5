// The GetMessage/PeekMessage filter, shared by posted messages and timers.
#pragma once

#include "win/messages.h"

namespace win::detail {

// hwnd filter: 0 takes every message of the thread, (HWND)-1 only thread
// messages, anything else that window's. A zero range takes every message;
// WM_QUIT passes any range, as on Windows.
inline bool PassesFilter(HWND hwnd, UINT message, HWND filter, UINT first, UINT last) {
  if (filter == static_cast<HWND>(-1)) {
    if (hwnd != 0) return false;
  } else if (filter != 0 && hwnd != filter) {
    return false;
  }
  if (first == 0 && last == 0) return true;
  return message == WM_QUIT || (message >= first && message <= last);
}

}  // namespace win::detail
