#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/win/ui_thread.h"
#include "win/clock.h"
#include "win/timers.h"
#include "win/os_thread.h"
#include "win/window.h"

namespace {

class TimerWindow : public CWnd {
 public:
  ~TimerWindow() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TIMER) {
      std::lock_guard lock(mutex);
      ticks.push_back(static_cast<UINT_PTR>(wParam));
      threads.push_back(GetCurrentThreadId());
      cv.notify_all();
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
  bool WaitForTicks(std::size_t count) {
    std::unique_lock lock(mutex);
    return cv.wait_for(lock, std::chrono::seconds(10), [&] { return ticks.size() >= count; });
  }
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<UINT_PTR> ticks;
  std::vector<DWORD> threads;
};

// Takes every message that is there now and dispatches it; returns the timer messages seen.
std::vector<MSG> Pump() {
  std::vector<MSG> timers;
  MSG msg;
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_TIMER) timers.push_back(msg);
    DispatchMessageA(&msg);
  }
  return timers;
}

// Timers run on the thread's own clock; the tests move it instead of waiting.
TEST(Timers, WindowTimerFiresWhenDueAndRearmsFromTheLateLoop) {
  std::thread thread([] {
    TimerWindow window;
    ASSERT_TRUE(window.CreateHandle({}));
    EXPECT_NE(window.SetTimer(7, 60'000), 0u);
    EXPECT_TRUE(Pump().empty());
    AdvanceTickCountForTest(5 * 60'000);
    const std::vector<MSG> due = Pump();
    ASSERT_EQ(due.size(), 1u);  // one message, not one per missed period
    EXPECT_EQ(due[0].hwnd, window.m_hWnd);
    EXPECT_EQ(due[0].wParam, 7u);
    EXPECT_EQ(window.ticks, std::vector<UINT_PTR>{7});
    EXPECT_TRUE(Pump().empty());
    AdvanceTickCountForTest(60'000);
    EXPECT_EQ(Pump().size(), 1u);

    EXPECT_TRUE(window.KillTimer(7));
    EXPECT_FALSE(window.KillTimer(7));
    AdvanceTickCountForTest(60'000);
    EXPECT_TRUE(Pump().empty());
  });
  thread.join();
}

TEST(Timers, SettingTheSameIdAgainRestartsIt) {
  std::thread thread([] {
    TimerWindow window;
    ASSERT_TRUE(window.CreateHandle({}));
    window.SetTimer(1, 1'000);
    window.SetTimer(1, 100'000);
    AdvanceTickCountForTest(1'000);
    EXPECT_TRUE(Pump().empty());
    AdvanceTickCountForTest(99'000);
    EXPECT_EQ(Pump().size(), 1u);
  });
  thread.join();
}

TEST(Timers, EarliestDueTimerComesFirst) {
  std::thread thread([] {
    TimerWindow window;
    ASSERT_TRUE(window.CreateHandle({}));
    window.SetTimer(555, 1'000);
    window.SetTimer(558, 49);
    window.SetTimer(557, 100);
    AdvanceTickCountForTest(2'000);
    Pump();
    EXPECT_EQ(window.ticks, (std::vector<UINT_PTR>{558, 557, 555}));
  });
  thread.join();
}

TEST(Timers, StopWhenTheirWindowIsDestroyed) {
  std::thread thread([] {
    TimerWindow window;
    ASSERT_TRUE(window.CreateHandle({}));
    window.SetTimer(3, 1'000);
    const HWND hwnd = window.m_hWnd;
    window.DestroyWindow();
    AdvanceTickCountForTest(10'000);
    EXPECT_TRUE(Pump().empty());
    EXPECT_EQ(SetTimer(hwnd, 3, 1'000, nullptr), 0u);
    EXPECT_FALSE(KillTimer(hwnd, 3));
  });
  thread.join();
}

std::vector<UINT_PTR> g_procTicks;
void OnTimerProc(HWND, UINT message, UINT_PTR id, DWORD) {
  if (message == WM_TIMER) g_procTicks.push_back(id);
}

TEST(Timers, ThreadTimersGetTheirOwnIdsAndCallTheirProcedure) {
  std::thread thread([] {
    g_procTicks.clear();
    const UINT_PTR first = SetTimer(0, 0, 1'000, OnTimerProc);
    const UINT_PTR second = SetTimer(0, 0, 1'000, OnTimerProc);
    EXPECT_NE(first, 0u);
    EXPECT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(SetTimer(0, first, 2'000, OnTimerProc), first);  // an existing one is restarted
    AdvanceTickCountForTest(1'000);
    Pump();
    EXPECT_EQ(g_procTicks, std::vector<UINT_PTR>{second});

    // A forged WM_TIMER naming a procedure that no timer has calls nothing.
    PostThreadMessageA(GetCurrentThreadId(), WM_TIMER, 12345, reinterpret_cast<LPARAM>(&OnTimerProc));
    Pump();
    EXPECT_EQ(g_procTicks, std::vector<UINT_PTR>{second});
    EXPECT_TRUE(KillTimer(0, first));
    EXPECT_TRUE(KillTimer(0, second));
  });
  thread.join();
}

TEST(Timers, ABlockedLoopWakesForATimerSetFromAnotherThread) {
  TimerWindow window;
  tk_test::UiThread ui([&] { ASSERT_TRUE(window.CreateHandle({})); });
  // The loop is waiting without a deadline; setting the timer must make it look again.
  EXPECT_NE(SetTimer(window.m_hWnd, 9, 10, nullptr), 0u);
  ASSERT_TRUE(window.WaitForTicks(1));
  ui.Run([&] {
    window.KillTimer(9);
    EXPECT_EQ(window.threads.front(), GetCurrentThreadId());
    window.DestroyWindow();
  });
}

}  // namespace
