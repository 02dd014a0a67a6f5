// A trackbar whose channel shows colour gradients, one per range of values,
// and which tells its owner its position through a callback as it paints.
//
// The gradients are drawn when the trackbar's thumb is about to be: the
// channel and the ticks are on the surface then; black pixels (the ticks)
// are put back on top of the gradients. Without the gradient library the
// gradients are filled strip by strip with the same end colours. A control
// with no usable length, an empty value range or no size draws no gradient,
// and a colour range whose low value is above its high one is skipped.
#pragma once

#include <cstdint>
#include <vector>

#include "win/gdi.h"
#include "win/gradient_library.h"
#include "win/trackbar_ctrl.h"

struct clrRange {
  std::int32_t lval = 0;
  std::int32_t hval = 0;
  COLORREF strColor = 0;
  COLORREF endColor = 0;
};

// Owner word, identifier word, position, dragging flag; the result is ignored.
using SliderPositionCallback = int (*)(std::uintptr_t owner, std::uintptr_t id, int pos, int dragging);

class CSliderCtrlEx : public CSliderCtrl {
 public:
  static constexpr int kNeverNotified = -99999999;

  explicit CSliderCtrlEx(DWORD style = TBS_HORZ);
  ~CSliderCtrlEx() override;

  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // Appends a range; outside the slider's range it is refused (mode 0),
  // clipped (mode > 0) or refused with a message box (mode < 0).
  bool AddColor(int low, int high, COLORREF start, COLORREF end);
  // The range becomes 0..500 without redraw; colours survive only when the old range covered it.
  void ResetRange();

  // Plain fields the owner writes.
  std::vector<clrRange> colorList;
  bool m_bFillEnds = true;
  bool m_bDumpBitmaps = false;
  SliderPositionCallback m_Callback = nullptr;
  std::uintptr_t m_p2 = 0;   // owner word
  std::uintptr_t m_p3 = 0;   // identifier word
  int m_nOutOfRange = 0;
  int m_oldPosition = kNeverNotified;
  bool m_bDragging = false;

 private:
  LRESULT OnCustomDraw(NMCUSTOMDRAW& draw);
  void DrawGradients(HDC target);
  void FillStrip(HDC dc, bool vertical, LONG at, LONG thickness, LONG width, LONG height, COLORREF colour);

  HMODULE gradientModule_ = 0;
  GradientFillProc gradientFill_ = nullptr;
};
