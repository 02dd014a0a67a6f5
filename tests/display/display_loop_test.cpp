#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "tests/display/display_session.h"
#include "win/window.h"
#include "win/os_thread.h"

namespace {

constexpr UINT kFromWay = WM_USER + 71;
constexpr UINT kFromTimer = WM_USER + 72;
constexpr UINT kWatchdog = WM_USER + 73;
constexpr int kBoundMs = 20'000;

// Ends a GetMessageA that nothing else ends, after a generous bound: with a
// post and with the toolkit's own posted event, which wakes its wait without
// the platform layer's wake.
class Watchdog {
 public:
  Watchdog() {
    const DWORD ui = GetCurrentThreadId();
    thread_ = std::thread([this, ui] {
      std::unique_lock lock(mutex_);
      if (done_.wait_for(lock, std::chrono::milliseconds(kBoundMs), [this] { return stop_; })) return;
      fired_ = true;
      // Either wakes a loop that waits in the wrong place.
      PostThreadMessageA(ui, kWatchdog, 0, 0);
      QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    });
  }
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    done_.notify_all();
    thread_.join();
  }
  bool Fired() const { return fired_; }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool stop_ = false;
  std::atomic<bool> fired_{false};
  std::thread thread_;
};

TEST(DisplayLoop, APostFromAnotherThreadWakesTheUiThreadWaitingInGetMessage) {
  tk_test::StartShownDisplay();
  const DWORD ui = GetCurrentThreadId();
  std::thread poster;
  // Once the loop is inside its wait (a toolkit timer runs only there), a
  // way thread posts; nothing else would end the wait before the watchdog.
  QTimer::singleShot(0, [&] {
    poster = std::thread([ui] { PostThreadMessageA(ui, kFromWay, 7, 0); });
  });
  Watchdog watchdog;
  MSG msg;
  ASSERT_GT(GetMessageA(&msg, 0, 0, 0), 0);
  if (poster.joinable()) poster.join();
  EXPECT_EQ(msg.message, kFromWay);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(watchdog.Fired()) << "the post did not wake the wait";
}

TEST(DisplayLoop, ToolkitTimersRunWhileGetMessageWaits) {
  tk_test::StartShownDisplay();
  int fired = 0;
  QTimer timer;
  timer.setInterval(1);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (++fired == 3) {
      timer.stop();
      PostMessageA(0, kFromTimer, 3, 0);
    }
  });
  timer.start();
  Watchdog watchdog;
  MSG msg;
  ASSERT_GT(GetMessageA(&msg, 0, 0, 0), 0);
  EXPECT_EQ(msg.message, kFromTimer) << "the toolkit's timer never ran while the loop waited";
  EXPECT_EQ(fired, 3);
  EXPECT_FALSE(watchdog.Fired());
}

}  // namespace
