#include "controls/bc_menu_mem_dc.h"

BCMenuMemDC::BCMenuMemDC(CDC* target, const RECT* rect) : target_(target), rect_(*rect) {
  if (target_->IsPrinting()) {
    // A printer is drawn on directly.
    m_hDC = target_->m_hDC;
    return;
  }
  const HDC memory = ::CreateCompatibleDC(target_->m_hDC);
  const int width = rect_.right - rect_.left;
  const int height = rect_.bottom - rect_.top;
  bitmap_ = memory != 0 ? ::CreateCompatibleBitmap(target_->m_hDC, width, height) : 0;
  if (bitmap_ == 0) {
    if (memory != 0) ::DeleteDC(memory);
    m_hDC = target_->m_hDC;
    return;
  }
  memory_ = true;
  m_hDC = memory;
  oldBitmap_ = ::SelectObject(m_hDC, bitmap_);
  SetWindowOrg(rect_.left, rect_.top);
}

BCMenuMemDC::~BCMenuMemDC() {
  if (!memory_) {
    m_hDC = 0;  // the target's, not ours
    return;
  }
  ::BitBlt(target_->m_hDC, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top, m_hDC,
           rect_.left, rect_.top, SRCCOPY);
  ::SelectObject(m_hDC, oldBitmap_);
  ::DeleteObject(bitmap_);
  DeleteDC();
}
