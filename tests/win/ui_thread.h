// A thread with its own message loop, for tests that need a UI thread apart
// from the test's own.
#pragma once

#include <functional>
#include <future>
#include <thread>

#include "win/os_thread.h"
#include "win/window.h"

namespace tk_test {

class UiThread {
 public:
  // `setup` runs on the new thread before its loop; `afterLoop` after the loop ends.
  explicit UiThread(std::function<void()> setup = {}, std::function<void()> afterLoop = {}) {
    std::promise<DWORD> started;
    std::future<DWORD> id = started.get_future();
    thread_ = std::thread([this, &started, setup = std::move(setup), afterLoop = std::move(afterLoop)] {
      if (setup) setup();
      MSG msg;
      // Makes the thread's queue before anyone posts to it.
      PeekMessageA(&msg, 0, 0, 0, PM_NOREMOVE);
      started.set_value(GetCurrentThreadId());
      while (GetMessageA(&msg, 0, 0, 0) > 0) {
        if (msg.hwnd == 0 && msg.message == kRunMessage) {
          (*reinterpret_cast<std::function<void()>*>(msg.lParam))();
          continue;
        }
        DispatchMessageA(&msg);
      }
      exitCode_ = static_cast<int>(static_cast<std::intptr_t>(msg.wParam));
      if (afterLoop) afterLoop();
    });
    id_ = id.get();
  }

  ~UiThread() { Stop(); }
  UiThread(const UiThread&) = delete;
  UiThread& operator=(const UiThread&) = delete;

  DWORD Id() const { return id_; }

  // Runs `job` on the loop's thread and waits for it.
  void Run(std::function<void()> job) {
    std::promise<void> done;
    std::function<void()> wrapped = [&] {
      job();
      done.set_value();
    };
    PostThreadMessageA(id_, kRunMessage, 0, reinterpret_cast<LPARAM>(&wrapped));
    done.get_future().wait();
  }

  // Keeps the loop busy in a job until Release, as a UI thread stuck in a long handler.
  void Block() {
    blockJob_ = [this] {
      entered_.set_value();
      released_.wait();
    };
    PostThreadMessageA(id_, kRunMessage, 0, reinterpret_cast<LPARAM>(&blockJob_));
    entered_.get_future().wait();
  }
  void Release() { release_.set_value(); }

  // Ends the loop with the code and waits for the thread.
  int Stop(int code = 0) {
    if (thread_.joinable()) {
      PostThreadMessageA(id_, WM_QUIT, static_cast<WPARAM>(code), 0);
      thread_.join();
    }
    return exitCode_;
  }

 private:
  static constexpr UINT kRunMessage = WM_APP + 0x3A1;
  std::promise<void> entered_;
  std::promise<void> release_;
  std::shared_future<void> released_ = release_.get_future().share();
  std::function<void()> blockJob_;
  std::thread thread_;
  DWORD id_ = 0;
  int exitCode_ = 0;
};

}  // namespace tk_test
