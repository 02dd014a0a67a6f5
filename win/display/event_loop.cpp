#include "win/display/event_loop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>
#include <QTimer>

namespace win::display {

EventLoop::EventLoop(std::function<void()> turn)
    : turn_(std::move(turn)), dispatcher_(QAbstractEventDispatcher::instance(QThread::currentThread())) {}

void EventLoop::Wait(int timeoutMs) {
  if (turn_) turn_();
  ++inEvents_;
  if (timeoutMs == 0) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
  } else {
    // A timer of this wait's own: waits nested in a widget's handler keep theirs.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    if (timeoutMs > 0) deadline.start(timeoutMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  --inEvents_;
  if (turn_) turn_();
}

void EventLoop::Wake() {
  if (dispatcher_ != nullptr) dispatcher_->wakeUp();
}

}  // namespace win::display
