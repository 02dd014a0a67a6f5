#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/win/ui_thread.h"
#include "win/app.h"
#include "win/dialog.h"
#include "win/message_queue.h"
#include "win/os_thread.h"
#include "win/richedit.h"
#include "win/window.h"

namespace {

using tk_test::UiThread;

constexpr UINT kProbe = WM_USER + 1;

struct Seen {
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD thread = 0;
};

// A dialog that answers kProbe with the id of the thread that ran it.
class ProbeDialog : public CDialog {
 public:
  ProbeDialog() : CDialog(7001) {}
  ~ProbeDialog() override { DestroyWindow(); }

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message >= WM_USER) {
      std::lock_guard lock(mutex);
      seen.push_back(Seen{message, wParam, lParam, GetCurrentThreadId()});
      cv.notify_all();
      return static_cast<LRESULT>(GetCurrentThreadId()) + static_cast<LRESULT>(wParam);
    }
    return CDialog::WindowProc(message, wParam, lParam);
  }

  std::vector<Seen> WaitFor(std::size_t count) {
    std::unique_lock lock(mutex);
    cv.wait_for(lock, std::chrono::seconds(10), [&] { return seen.size() >= count; });
    return seen;
  }

  std::size_t Calls() {
    std::lock_guard lock(mutex);
    return seen.size();
  }

  std::mutex mutex;
  std::condition_variable cv;
  std::vector<Seen> seen;
};

// A thread-safe control whose procedure tells which thread ran it.
class ProbeControl : public CWnd {
 public:
  ~ProbeControl() override { DestroyWindow(); }
  bool IsThreadSafeControl() const override { return true; }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == kProbe) return static_cast<LRESULT>(GetCurrentThreadId());
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

// Waits, without a fixed sleep, until `count` sends are queued for a thread.
void WaitForQueuedSends(DWORD thread, std::size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (win::detail::QueuedSendCount(thread) < count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
}

TEST(WindowMessages, PostFromWorkerReachesTheOwnersLoopInOrder) {
  ProbeDialog dialog;
  UiThread ui([&] { ASSERT_TRUE(dialog.Create(7001)); });
  std::thread worker([&] {
    for (WPARAM i = 0; i < 20; ++i) EXPECT_TRUE(PostMessageA(dialog.m_hWnd, kProbe, i, static_cast<LPARAM>(i * 3)));
  });
  worker.join();
  const std::vector<Seen> seen = dialog.WaitFor(20);
  ASSERT_EQ(seen.size(), 20u);
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].wParam, i);
    EXPECT_EQ(seen[i].lParam, static_cast<LPARAM>(i * 3));
    EXPECT_EQ(seen[i].thread, ui.Id());
  }
  ui.Run([&] { dialog.DestroyWindow(); });
}

TEST(WindowMessages, SendToDialogFromWorkerRunsOnTheUiThreadAndReturnsItsAnswer) {
  ProbeDialog dialog;
  UiThread ui([&] { ASSERT_TRUE(dialog.Create(7001)); });
  LRESULT answer = 0;
  std::thread worker([&] { answer = SendMessageA(dialog.m_hWnd, kProbe, 5, 0); });
  worker.join();
  EXPECT_EQ(answer, static_cast<LRESULT>(ui.Id()) + 5);
  ui.Run([&] { dialog.DestroyWindow(); });
}

TEST(WindowMessages, SendOnTheOwnerThreadCallsDirectly) {
  ProbeDialog dialog;
  ASSERT_TRUE(dialog.Create(7001));
  EXPECT_EQ(dialog.SendMessage(kProbe, 1), static_cast<LRESULT>(GetCurrentThreadId()) + 1);
}

TEST(WindowMessages, SendToControlFromWorkerRunsAtOnceWhileTheUiThreadIsBlocked) {
  CDialog dialog(7002);
  ProbeControl probe;
  CRichEditCtrl edit;
  UiThread ui([&] {
    ASSERT_TRUE(dialog.Create(7002));
    ASSERT_TRUE(dialog.AddControl(probe, 10));
    ASSERT_TRUE(dialog.AddControl(edit, 11));
  });
  ui.Block();

  DWORD ranOn = 0;
  DWORD workerId = 0;
  std::thread worker([&] {
    workerId = GetCurrentThreadId();
    ranOn = static_cast<DWORD>(SendMessageA(probe.m_hWnd, kProbe, 0, 0));
    SendMessageA(edit.m_hWnd, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    SendMessageA(edit.m_hWnd, EM_REPLACESEL, 0, reinterpret_cast<LPARAM>("traced while blocked"));
  });
  worker.join();  // would hang here if the control waited for the blocked loop
  EXPECT_EQ(ranOn, workerId);
  EXPECT_EQ(edit.Text(), "traced while blocked");
  ui.Release();
  ui.Run([&] { dialog.DestroyWindow(); });
}

TEST(WindowMessages, SendFromWorkerAnswersZeroOnceTheLoopHasEnded) {
  ProbeDialog dialog;
  std::promise<void> loopEnded;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  UiThread ui([&] { ASSERT_TRUE(dialog.Create(7001)); },
              [&] {
                loopEnded.set_value();
                released.wait();  // alive but not pumping
              });
  PostThreadMessageA(ui.Id(), WM_QUIT, 0, 0);
  loopEnded.get_future().wait();
  std::thread worker([&] { EXPECT_EQ(SendMessageA(dialog.m_hWnd, kProbe, 1, 0), 0); });
  worker.join();
  EXPECT_EQ(dialog.Calls(), 0u);
  release.set_value();
  ui.Stop();
}

TEST(WindowMessages, WaitingSendIsReleasedWhenTheOwnerThreadEnds) {
  ProbeDialog dialog;
  std::promise<DWORD> created;
  std::thread owner([&] {
    EXPECT_TRUE(dialog.Create(7001));
    created.set_value(GetCurrentThreadId());
    WaitForQueuedSends(GetCurrentThreadId(), 1);
  });  // ends without ever pumping
  const DWORD ownerId = created.get_future().get();
  std::thread worker([&] { EXPECT_EQ(SendMessageA(dialog.m_hWnd, kProbe, 1, 0), 0); });
  worker.join();
  owner.join();
  EXPECT_EQ(dialog.Calls(), 0u);
  EXPECT_EQ(win::detail::QueuedSendCount(ownerId), 0u);
  EXPECT_FALSE(PostMessageA(dialog.m_hWnd, kProbe, 0, 0));  // nobody would ever take it
}

TEST(WindowMessages, WaitingSendIsReleasedWhenTheWindowIsDestroyed) {
  ProbeDialog dialog;
  std::promise<void> created;
  std::promise<void> workerDone;
  std::thread owner([&] {
    EXPECT_TRUE(dialog.Create(7001));
    created.set_value();
    WaitForQueuedSends(GetCurrentThreadId(), 1);
    dialog.DestroyWindow();
    workerDone.get_future().wait();  // the worker must return while this thread still lives
  });
  created.get_future().wait();
  const HWND hwnd = dialog.m_hWnd;
  std::thread worker([&] { EXPECT_EQ(SendMessageA(hwnd, kProbe, 1, 0), 0); });
  worker.join();
  workerDone.set_value();
  owner.join();
  EXPECT_EQ(dialog.Calls(), 0u);
}

TEST(WindowMessages, AThreadWaitingOnASendServesSendsToItsOwnWindows) {
  // A waits on B's window, whose procedure asks A's window back: A must serve
  // that call while it waits, or both threads hang.
  class Relay : public CDialog {
   public:
    ~Relay() override { DestroyWindow(); }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
      if (message == kProbe) {
        if (peer == 0) return 100 + static_cast<LRESULT>(wParam);
        return ::SendMessageA(peer, kProbe, wParam + 1, 0) + 1;
      }
      return CDialog::WindowProc(message, wParam, lParam);
    }
    HWND peer = 0;
  };
  Relay a;
  Relay b;
  UiThread threadA([&] { ASSERT_TRUE(a.Create(1)); });
  UiThread threadB([&] { ASSERT_TRUE(b.Create(2)); });
  threadB.Run([&] { b.peer = a.m_hWnd; });
  LRESULT answer = 0;
  threadA.Run([&] { answer = SendMessageA(b.m_hWnd, kProbe, 1, 0); });
  EXPECT_EQ(answer, 100 + 2 + 1);
  threadA.Run([&] { a.DestroyWindow(); });
  threadB.Run([&] { b.DestroyWindow(); });
}

TEST(WindowMessages, SendTimeoutWithdrawsACallTheOwnerHasNotStarted) {
  ProbeDialog dialog;
  UiThread ui([&] { ASSERT_TRUE(dialog.Create(7001)); });
  ui.Block();
  UINT_PTR answer = 99;
  EXPECT_EQ(SendMessageTimeoutA(dialog.m_hWnd, kProbe, 1, 0, SMTO_BLOCK, 20, &answer), 0);
  EXPECT_EQ(answer, 0u);
  ui.Release();
  ui.Run([] {});
  EXPECT_EQ(dialog.Calls(), 0u);  // withdrawn, never run later

  EXPECT_NE(SendMessageTimeoutA(dialog.m_hWnd, kProbe, 2, 0, SMTO_BLOCK, 5000, &answer), 0);
  EXPECT_EQ(answer, static_cast<UINT_PTR>(ui.Id()) + 2);
  ui.Run([&] { dialog.DestroyWindow(); });
}

TEST(WindowMessages, ShowWindowFromWorkerDoesNotWaitAndNotifiesTheOwnerLater) {
  ProbeDialog dialog;
  UiThread ui([&] { ASSERT_TRUE(dialog.Create(7001)); });
  ui.Block();
  std::thread worker([&] { EXPECT_FALSE(ShowWindow(dialog.m_hWnd, SW_SHOW)); });
  worker.join();
  EXPECT_TRUE(IsWindowVisible(dialog.m_hWnd));
  ui.Release();
  ui.Run([] {});
  EXPECT_TRUE(dialog.IsWindowVisible());  // the late notice does not change the state
  ui.Run([&] {
    EXPECT_TRUE(dialog.ShowWindow(SW_HIDE));
    dialog.DestroyWindow();
  });
}

TEST(WindowMessages, PostAndSendToUnknownOrDestroyedWindowsFail) {
  CWnd window;
  ASSERT_TRUE(window.CreateHandle({}));
  const HWND hwnd = window.m_hWnd;
  EXPECT_NE(hwnd, 0u);
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_EQ(CWnd::FromHandle(hwnd), &window);
  ASSERT_TRUE(window.DestroyWindow());
  EXPECT_EQ(window.m_hWnd, 0u);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(CWnd::FromHandle(hwnd), nullptr);
  EXPECT_FALSE(PostMessageA(hwnd, kProbe, 0, 0));
  EXPECT_EQ(SendMessageA(hwnd, kProbe, 0, 0), 0);
  EXPECT_FALSE(DestroyWindow(hwnd));
  EXPECT_FALSE(PostMessageA(0x7FFFFFF0, kProbe, 0, 0));
  EXPECT_FALSE(PostThreadMessageA(0xFFFFFFF0, kProbe, 0, 0));
}

TEST(WindowMessages, HandlesAreNeverZeroNorReused) {
  std::set<HWND> handles;
  for (int i = 0; i < 50; ++i) {
    CWnd window;
    ASSERT_TRUE(window.CreateHandle({}));
    EXPECT_NE(window.m_hWnd, 0u);
    EXPECT_TRUE(handles.insert(window.m_hWnd).second);
  }
}

TEST(WindowMessages, DestroyingAParentDestroysItsChildrenFirst) {
  CWnd parent;
  CWnd child;
  CWnd grandchild;
  ASSERT_TRUE(parent.CreateHandle({}));
  ASSERT_TRUE(child.CreateHandle({&parent, 3, 0, WS_CHILD}));
  ASSERT_TRUE(grandchild.CreateHandle({&child, 4, 0, WS_CHILD}));
  EXPECT_EQ(child.GetParent(), &parent);
  EXPECT_EQ(GetDlgItem(parent.m_hWnd, 3), child.m_hWnd);
  EXPECT_EQ(grandchild.GetDlgCtrlID(), 4);
  parent.DestroyWindow();
  EXPECT_EQ(child.m_hWnd, 0u);
  EXPECT_EQ(grandchild.m_hWnd, 0u);
  CWnd orphan;
  EXPECT_FALSE(orphan.CreateHandle({&parent, 1, 0, WS_CHILD}));  // the parent has no window
}

TEST(WindowMessages, VisibilityFollowsTheParents) {
  CWnd parent;
  CWnd child;
  ASSERT_TRUE(parent.CreateHandle({}));
  ASSERT_TRUE(child.CreateHandle({&parent, 1, 0, WS_CHILD | WS_VISIBLE}));
  EXPECT_FALSE(parent.IsWindowVisible());
  EXPECT_FALSE(child.IsWindowVisible());
  EXPECT_FALSE(parent.ShowWindow(SW_SHOWNA));
  EXPECT_TRUE(child.IsWindowVisible());
  EXPECT_TRUE(parent.ShowWindow(SW_HIDE));
  EXPECT_FALSE(child.IsWindowVisible());
}

TEST(WindowMessages, WindowTextIsKeptByTheDefaultProcedure) {
  CWnd window;
  ASSERT_TRUE(window.CreateHandle({}));
  window.SetWindowText("Tavelkor - pilot");
  EXPECT_EQ(window.GetWindowTextLength(), 16);
  std::string text;
  window.GetWindowText(text);
  EXPECT_EQ(text, "Tavelkor - pilot");
  std::array<char, 6> small{};
  EXPECT_EQ(window.GetWindowText(small.data(), static_cast<int>(small.size())), 5);
  EXPECT_STREQ(small.data(), "Tavel");
}

TEST(WindowMessages, FilteredAndPeekedMessages) {
  std::thread thread([] {
    CWnd a;
    CWnd b;
    ASSERT_TRUE(a.CreateHandle({}));
    ASSERT_TRUE(b.CreateHandle({}));
    PostMessageA(a.m_hWnd, WM_USER + 1, 1, 0);
    PostMessageA(b.m_hWnd, WM_USER + 2, 2, 0);
    PostThreadMessageA(GetCurrentThreadId(), WM_USER + 3, 3, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, b.m_hWnd, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&msg, static_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(msg.hwnd, 0u);
    ASSERT_EQ(GetMessageA(&msg, 0, WM_USER + 2, WM_USER + 2), TRUE);
    EXPECT_EQ(msg.hwnd, b.m_hWnd);
    ASSERT_EQ(GetMessageA(&msg, 0, 0, 0), TRUE);
    EXPECT_EQ(msg.hwnd, a.m_hWnd);
    EXPECT_FALSE(PeekMessageA(&msg, 0, 0, 0, PM_REMOVE));
    PostQuitMessage(4);
    ASSERT_TRUE(PeekMessageA(&msg, 0, WM_USER, WM_USER, PM_NOREMOVE));  // WM_QUIT passes any range
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(GetMessageA(&msg, 0, 0, 0), 0);
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_EQ(GetMessageA(nullptr, 0, 0, 0), -1);
  });
  thread.join();
}

TEST(WindowMessages, PostedMessagesAreBounded) {
  std::thread thread([] {
    CWnd window;
    ASSERT_TRUE(window.CreateHandle({}));
    std::size_t accepted = 0;
    while (accepted <= win::detail::kPostedMessageLimit && PostMessageA(window.m_hWnd, WM_USER, 0, 0)) ++accepted;
    EXPECT_EQ(accepted, win::detail::kPostedMessageLimit);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, 0, 0, 0, PM_REMOVE));
    EXPECT_TRUE(PostMessageA(window.m_hWnd, WM_USER, 0, 0));  // room again
  });
  thread.join();
}

TEST(RegisteredMessages, OneIdPerNameWithoutCase) {
  const UINT id = RegisterWindowMessageA("TAVELKOR_MSG");
  EXPECT_GE(id, 0xC000u);
  EXPECT_LE(id, 0xFFFFu);
  EXPECT_EQ(RegisterWindowMessageA("TAVELKOR_MSG"), id);
  EXPECT_EQ(RegisterWindowMessageA("tavelkor_msg"), id);
  EXPECT_EQ(RegisterWindowMessageA("Tavelkor_Msg"), id);
  const UINT other = RegisterWindowMessageA("TAVELKOR_MSG2");
  EXPECT_GE(other, 0xC000u);
  EXPECT_NE(other, id);
  EXPECT_EQ(RegisterWindowMessageA(""), 0u);
  EXPECT_EQ(RegisterWindowMessageA(nullptr), 0u);
}

TEST(RegisteredMessages, ThreadsRegisteringTheSameNamesAgree) {
  constexpr int kThreads = 8;
  std::vector<std::vector<UINT>> ids(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &ids] {
      for (int n = 0; n < 40; ++n) {
        ids[t].push_back(RegisterWindowMessageA(("Concurrent.Name." + std::to_string(n)).c_str()));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 1; t < kThreads; ++t) EXPECT_EQ(ids[t], ids[0]);
  EXPECT_EQ(std::set<UINT>(ids[0].begin(), ids[0].end()).size(), ids[0].size());
}

class LoopApp : public CWinApp {
 public:
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN || msg->message == WM_MOUSEMOVE || msg->message == WM_KEYUP) {
      std::lock_guard lock(mutex);
      events.push_back("pre " + std::to_string(msg->message));
      if (msg->message == WM_KEYUP) return TRUE;  // swallowed
    }
    return CWinApp::PreTranslateMessage(msg);
  }
  std::mutex mutex;
  std::vector<std::string> events;
};

class RecordingWindow : public CWnd {
 public:
  explicit RecordingWindow(LoopApp& app) : app_(app) {}
  ~RecordingWindow() override { DestroyWindow(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_KEYDOWN || message == WM_MOUSEMOVE || message == WM_KEYUP) {
      std::lock_guard lock(app_.mutex);
      app_.events.push_back("dispatch " + std::to_string(message));
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }

 private:
  LoopApp& app_;
};

TEST(ApplicationLoop, PreTranslateMessageSeesInputBeforeDispatch) {
  LoopApp app;
  RecordingWindow window(app);
  int code = -1;
  std::thread ui([&] {
    ASSERT_TRUE(window.CreateHandle({}));
    PostMessageA(window.m_hWnd, WM_KEYDOWN, 0x41, 0);
    PostMessageA(window.m_hWnd, WM_MOUSEMOVE, 0, 0x00100020);
    PostMessageA(window.m_hWnd, WM_KEYUP, 0x41, 0);
    PostQuitMessage(0);
    code = app.Run();
    window.DestroyWindow();
  });
  ui.join();
  EXPECT_EQ(code, 0);
  const std::vector<std::string> expected = {"pre 256", "dispatch 256", "pre 512", "dispatch 512", "pre 257"};
  EXPECT_EQ(app.events, expected);
}

TEST(ApplicationLoop, WindowsOnThePathMayTakeAMessageFirst) {
  class Filter : public CWnd {
   public:
    ~Filter() override { DestroyWindow(); }
    BOOL PreTranslateMessage(MSG* msg) override { return msg->message == WM_KEYDOWN; }
  };
  LoopApp app;
  Filter parent;
  RecordingWindow child(app);
  std::thread ui([&] {
    ASSERT_TRUE(parent.CreateHandle({}));
    ASSERT_TRUE(child.CreateHandle({&parent, 1, 0, WS_CHILD}));
    PostMessageA(child.m_hWnd, WM_KEYDOWN, 0x41, 0);
    PostMessageA(child.m_hWnd, WM_MOUSEMOVE, 0, 0);
    PostQuitMessage(0);
    app.Run();
    parent.DestroyWindow();
  });
  ui.join();
  const std::vector<std::string> expected = {"pre 256", "pre 512", "dispatch 512"};
  EXPECT_EQ(app.events, expected);
}

TEST(ApplicationLoop, PostQuitMessageEndsRunWithItsCodeAfterPendingMessages) {
  struct Case {
    int code;
  };
  for (const Case c : {Case{0}, Case{42}, Case{-3}}) {
    ProbeDialog dialog;
    CWinApp app;
    int result = 1000;
    std::thread ui([&] {
      ASSERT_TRUE(dialog.Create(7001));
      PostMessageA(dialog.m_hWnd, kProbe, 1, 0);
      PostQuitMessage(c.code);
      PostMessageA(dialog.m_hWnd, kProbe, 2, 0);
      result = app.Run();
      dialog.DestroyWindow();
    });
    ui.join();
    EXPECT_EQ(result, c.code);
    EXPECT_EQ(app.ExitInstance(), c.code);
    EXPECT_EQ(dialog.Calls(), 2u);  // the quit flag waits until the queue is empty
  }
}

TEST(WindowListing, ListsDialogsAndControlsWithTheirState) {
  CDialog dialog(7055);
  CRichEditCtrl edit;
  ASSERT_TRUE(dialog.Create(7055));
  dialog.SetWindowText("Main");
  ASSERT_TRUE(dialog.AddControl(edit, 1203));
  edit.ReplaceSel("hello");
  dialog.ShowWindow(SW_SHOW);
  edit.EnableWindow(FALSE);

  std::vector<WindowInfo> mine;
  for (const WindowInfo& info : EnumerateWindows()) {
    if (info.hwnd == dialog.m_hWnd || info.parent == dialog.m_hWnd) mine.push_back(info);
  }
  ASSERT_EQ(mine.size(), 2u);
  EXPECT_EQ(mine[0].hwnd, dialog.m_hWnd);
  EXPECT_EQ(mine[0].templateId, 7055u);
  EXPECT_EQ(mine[0].kind, "dialog");
  EXPECT_TRUE(mine[0].visible);
  EXPECT_EQ(mine[0].text, "Main");
  EXPECT_EQ(mine[0].ownerThread, GetCurrentThreadId());
  EXPECT_EQ(mine[1].hwnd, edit.m_hWnd);
  EXPECT_EQ(mine[1].controlId, 1203);
  EXPECT_EQ(mine[1].kind, "richedit");
  EXPECT_TRUE(mine[1].visible);
  EXPECT_FALSE(mine[1].enabled);
  EXPECT_EQ(mine[1].text, "hello");

  dialog.DestroyWindow();
  for (const WindowInfo& info : EnumerateWindows()) {
    EXPECT_NE(info.hwnd, mine[0].hwnd);
    EXPECT_NE(info.hwnd, mine[1].hwnd);
  }
}

}  // namespace
