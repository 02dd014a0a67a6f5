// What the tests of the desktop's boxes, file dialogs and menus share: a Qt
// Widgets application on the offscreen platform, the dialog hooks registered
// with the test thread as the UI thread, and a "pilot" who acts in Qt.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <vector>

#include "win/display_hooks.h"
#include "win/window.h"

class QTimer;

namespace desktop_test {

// A QApplication for the process on the offscreen platform; false when
// another kind of Qt application was made first.
bool EnsureWidgetsApplication();

// Registers the desktop dialog hooks, the calling thread as the UI thread;
// clears them, the recorded boxes and the queued answers afterwards.
class DesktopHooksTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Registers a wait and a wake of the display's kind as well: the wait runs
  // Qt's events until woken or its time is up, and records each time asked.
  bool withDisplayWait_ = false;
};

// The times (ms, -1 without limit) the display's wait was asked for, oldest first.
std::vector<int> DisplayWaitTimes();

// Runs `act` on the UI thread's Qt events every few milliseconds, from now
// until it returns true; the pilot's hand while the code under test waits.
class Pilot {
 public:
  explicit Pilot(std::function<bool()> act);
  ~Pilot();
  Pilot(const Pilot&) = delete;
  Pilot& operator=(const Pilot&) = delete;
  bool Done() const { return done_; }

 private:
  std::function<bool()> act_;
  QTimer* timer_;
  bool done_ = false;
  bool acting_ = false;  // a nested loop inside `act` runs the timer again
};

// A window on the test thread that records the messages its procedure gets.
class RecordingWindow : public CWnd {
 public:
  ~RecordingWindow() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::vector<MSG> Received() const;
  bool Got(UINT message, WPARAM wParam) const;

 private:
  mutable std::mutex mutex_;
  std::vector<MSG> received_;
};

// Serves the test thread's queue and Qt events until `done` holds or the
// bound passes; its last answer.
bool PumpUntil(int timeoutMs, const std::function<bool()>& done);

}  // namespace desktop_test
