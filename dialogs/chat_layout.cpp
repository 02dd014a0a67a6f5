#include "dialogs/chat_layout.h"

#include <algorithm>

#include "dialogs/chat_dialog.h"
#include "win/window_pos.h"

RECT ChatControlRect(int controlId, const RECT& remembered, const RECT& rememberedInput, SIZE grow) {
  RECT r = remembered;
  if (controlId == kChatOutputId) {
    r.right = std::max(r.left, r.right + grow.cx);
    r.bottom = std::max(r.top, r.bottom + grow.cy);
    return r;
  }
  r.top += grow.cy;
  r.bottom += grow.cy;
  if (controlId == kChatInputId) {
    r.right = std::max(r.left, r.right + grow.cx);
  } else if (remembered.left >= rememberedInput.right) {
    r.left += grow.cx;
    r.right += grow.cx;
  }
  return r;
}

RECT ChatSizingRect(WPARAM edge, const RECT& proposed, SIZE remembered) {
  RECT r = proposed;
  switch (edge) {
    case WMSZ_LEFT:
    case WMSZ_TOP:
    case WMSZ_TOPLEFT:
    case WMSZ_TOPRIGHT:
    case WMSZ_BOTTOMLEFT: {
      // The dragged edge stays where the pointer took it; the opposite one follows.
      const bool fromLeft = edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT;
      const bool fromTop = edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT;
      const LONG width = std::max<LONG>(remembered.cx, kChatMinimumWidth);
      const LONG height = std::max<LONG>(remembered.cy, kChatMinimumHeight);
      if (fromLeft) {
        r.right = r.left + width;
      } else {
        r.left = r.right - width;
      }
      if (fromTop) {
        r.bottom = r.top + height;
      } else {
        r.top = r.bottom - height;
      }
      return r;
    }
    default:
      r.right = std::max<LONG>(r.right, r.left + kChatMinimumWidth);
      r.bottom = std::max<LONG>(r.bottom, r.top + kChatMinimumHeight);
      return r;
  }
}
