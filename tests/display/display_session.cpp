#include "tests/display/display_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "win/display/display.h"
#include "win/display_hooks.h"
#include "win/message_queue.h"
#include "win/window.h"

namespace tk_test {

void StartShownDisplay() {
  static const bool started = [] {
    // Never a real desktop: shown on the offscreen platform.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return win::display::Start(true);
  }();
  ASSERT_TRUE(started);
}

bool PumpUntil(int timeoutMs, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (const win::display::Hooks* hooks = win::display::CurrentHooks(); hooks && hooks->waitForEvents) {
      hooks->waitForEvents(0);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return done();
    if (const win::display::Hooks* hooks = win::display::CurrentHooks(); hooks && hooks->waitForEvents) {
      hooks->waitForEvents(5);
    }
  }
}

void PumpPending() {
  for (int round = 0; round < 3; ++round) PumpUntil(0, [] { return false; });
}

}  // namespace tk_test
