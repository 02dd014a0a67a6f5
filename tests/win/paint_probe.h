// A top-level window for painting tests: it records each WM_PAINT's rcPaint
// and the order of the messages it is given, on a UI thread of the test's own.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "tests/win/ui_thread.h"
#include "win/paint.h"
#include "win/window.h"
#include "win/window_pos.h"

namespace tk_test {

constexpr UINT kMarkerMessage = WM_USER + 0x51;

class PaintProbe : public CWnd {
 public:
  ~PaintProbe() override { DestroyWindow(); }

  // Made on the calling thread (the UI thread), visible or not, of this size.
  void Make(bool visible, int width, int height) {
    CreateHandle(WindowCreateParams{nullptr, 0, 0, visible ? WS_VISIBLE : 0u});
    win::detail::SetInitialWindowRect(m_hWnd, RECT{10, 10, 10 + width, 10 + height});
  }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_PAINT) {
      Note(message);
      if (!validate) {
        Record(RECT{-1, -1, -1, -1});
        return 0;
      }
      PAINTSTRUCT paint;
      BeginPaint(m_hWnd, &paint);
      Record(paint.rcPaint);
      EndPaint(m_hWnd, &paint);
      return 0;
    }
    if (message == WM_TIMER || message == kMarkerMessage) Note(message);
    return CWnd::WindowProc(message, wParam, lParam);
  }

  std::vector<RECT> Painted() {
    std::lock_guard lock(mutex_);
    return painted_;
  }
  std::size_t PaintCount() {
    std::lock_guard lock(mutex_);
    return painted_.size();
  }
  std::vector<UINT> Order() {
    std::lock_guard lock(mutex_);
    return order_;
  }
  void Forget() {
    std::lock_guard lock(mutex_);
    painted_.clear();
    order_.clear();
  }

  std::atomic<bool> validate{true};

 private:
  void Record(const RECT& r) {
    std::lock_guard lock(mutex_);
    painted_.push_back(r);
  }
  void Note(UINT message) {
    std::lock_guard lock(mutex_);
    order_.push_back(message);
  }
  std::mutex mutex_;
  std::vector<RECT> painted_;
  std::vector<UINT> order_;
};

// Handles, on the UI thread, every message that is due now (paints
// included); a loop that never runs dry stops after a bound.
inline void DrainMessages(UiThread& ui) {
  ui.Run([] {
    MSG msg;
    for (int i = 0; i < 1000 && PeekMessageA(&msg, 0, 0, 0, PM_REMOVE); ++i) DispatchMessageA(&msg);
  });
}

}  // namespace tk_test
