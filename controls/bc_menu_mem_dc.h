// The off-screen context an owner-drawn menu item is drawn through: it draws
// into a bitmap of the item's rectangle (in the target's coordinates) and is
// copied onto the target when it goes.
#pragma once

#include "win/gdi.h"

class BCMenuMemDC : public CDC {
 public:
  BCMenuMemDC(CDC* target, const RECT* rect);
  ~BCMenuMemDC() override;
  BCMenuMemDC(const BCMenuMemDC&) = delete;
  BCMenuMemDC& operator=(const BCMenuMemDC&) = delete;

 private:
  CDC* target_ = nullptr;
  RECT rect_{};
  bool memory_ = false;
  HBITMAP bitmap_ = 0;
  HGDIOBJ oldBitmap_ = 0;
};
