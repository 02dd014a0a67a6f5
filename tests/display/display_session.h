// The display started shown on Qt's offscreen platform, with the test's own
// thread as its UI thread, and a pump that runs that thread's loop.
#pragma once

#include <functional>

namespace tk_test {

// Once per test program; every later call finds it started.
void StartShownDisplay();
// Serves the calling (UI) thread's messages and the display's events until
// `done` holds or `timeoutMs` has passed; `done`'s last answer.
bool PumpUntil(int timeoutMs, const std::function<bool()>& done);
// Serves what is there now and the display's sync after it.
void PumpPending();

}  // namespace tk_test
