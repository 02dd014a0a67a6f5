// Points, sizes and rectangles under their Windows names.
#pragma once

#include "win/types.h"

struct POINT {
  LONG x = 0;
  LONG y = 0;
  bool operator==(const POINT&) const = default;
};

struct SIZE {
  LONG cx = 0;
  LONG cy = 0;
  bool operator==(const SIZE&) const = default;
};

struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
  bool operator==(const RECT&) const = default;
};

// The class library's rectangle: a RECT with its usual helpers.
class CRect : public RECT {
 public:
  CRect() = default;
  CRect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
  CRect(const RECT& r) : RECT(r) {}  // NOLINT: converts as the class library does
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
  POINT TopLeft() const { return POINT{left, top}; }
  void OffsetRect(LONG dx, LONG dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
  }
  bool IsRectEmpty() const { return right <= left || bottom <= top; }
  operator RECT*() { return this; }
  operator const RECT*() const { return this; }
};

inline BOOL SetRect(RECT* r, LONG left, LONG top, LONG right, LONG bottom) {
  if (r == nullptr) return FALSE;
  *r = RECT{left, top, right, bottom};
  return TRUE;
}

inline BOOL PtInRect(const RECT* r, POINT p) {
  return r != nullptr && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom ? TRUE : FALSE;
}
