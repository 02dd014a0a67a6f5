// The UI thread's one loop: its message queue waits in the toolkit's events,
// and any thread that queues something for it wakes that wait. Internal to
// the display.
#pragma once

#include <functional>

class QAbstractEventDispatcher;

namespace win::display {

class EventLoop {
 public:
  // Made on the UI thread. `turn` runs there before and after each wait:
  // what the display does between the toolkit's events.
  explicit EventLoop(std::function<void()> turn);
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  // Runs the toolkit's events until woken or `timeoutMs` has passed (< 0: no
  // limit, 0: only what is there now). UI thread.
  void Wait(int timeoutMs);
  // Any thread. The toolkit keeps a wake that comes before the wait, so none is lost.
  void Wake();
  // True while the toolkit delivers an event on this thread (a widget's
  // handler is running below us).
  bool InEvents() const { return inEvents_ > 0; }

 private:
  std::function<void()> turn_;
  QAbstractEventDispatcher* const dispatcher_;
  int inEvents_ = 0;
};

}  // namespace win::display
