#include <gtest/gtest.h>

#include <signal.h>

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "win/app.h"
#include "win/dialog.h"
#include "win/os_thread.h"

namespace {

class StartupApp : public CWinApp {
 public:
  explicit StartupApp(BOOL initResult, int exitResult = 0) : initResult_(initResult), exitResult_(exitResult) {}
  BOOL InitInstance() override {
    ++initCalls;
    return initResult_;
  }
  int Run() override {
    ++runCalls;
    return CWinApp::Run();
  }
  int ExitInstance() override {
    ++exitCalls;
    return exitResult_ != 0 ? exitResult_ : CWinApp::ExitInstance();
  }
  int initCalls = 0;
  int runCalls = 0;
  int exitCalls = 0;

 private:
  BOOL initResult_;
  int exitResult_;
};

TEST(Application, FailedInitInstanceEndsWithoutALoop) {
  struct Case {
    int exitInstanceCode;
    int want;
  };
  for (const Case c : {Case{0, 1}, Case{7, 7}}) {
    StartupApp app(FALSE, c.exitInstanceCode);
    int status = 0;
    std::thread ui([&] { status = AfxWinMain(app); });
    ui.join();
    EXPECT_EQ(status, c.want);
    EXPECT_EQ(app.initCalls, 1);
    EXPECT_EQ(app.runCalls, 0);
    EXPECT_EQ(app.exitCalls, 1);
  }
}

class MainWindowApp : public CWinApp {
 public:
  BOOL InitInstance() override {
    AfxInitRichEdit2();
    m_pMainWnd = &dialog;
    if (!dialog.Create(7055, nullptr)) return FALSE;
    dialog.ShowWindow(SW_SHOW);
    PostQuitMessage(5);
    return TRUE;
  }
  int ExitInstance() override {
    mainWindowSeen = AfxGetMainWnd() == &dialog;
    dialog.DestroyWindow();
    return CWinApp::ExitInstance();
  }
  CDialog dialog{7055};
  bool mainWindowSeen = false;
};

TEST(Application, RunsTheLoopAndReturnsWhatExitInstanceSays) {
  MainWindowApp app;
  EXPECT_EQ(AfxGetApp(), &app);
  int status = -1;
  std::thread ui([&] { status = AfxWinMain(app); });
  ui.join();
  EXPECT_EQ(status, 5);
  EXPECT_TRUE(app.mainWindowSeen);
}

// Quits the way the application will: OnQuitRequest on the UI thread.
class QuitApp : public CWinApp {
 public:
  explicit QuitApp(std::function<void()> start) : start_(std::move(start)) {}
  BOOL InitInstance() override {
    start_();
    return TRUE;
  }
  void OnQuitRequest() override {
    ++requests;
    requestThread = GetCurrentThreadId();
    PostQuitMessage(9);
  }
  std::atomic<int> requests{0};
  std::atomic<DWORD> requestThread{0};

 private:
  std::function<void()> start_;
};

struct sigaction CurrentAction(int signal) {
  struct sigaction action {};
  sigaction(signal, nullptr, &action);
  return action;
}

TEST(Application, QuitSignalsReachOnQuitRequestOnTheUiThread) {
  for (const int signal : {SIGINT, SIGTERM}) {
    const auto before = CurrentAction(signal).sa_handler;
    QuitApp app([signal] { raise(signal); });
    DWORD uiThread = 0;
    int status = -1;
    std::thread ui([&] {
      uiThread = GetCurrentThreadId();
      status = AfxWinMain(app);
    });
    ui.join();
    EXPECT_EQ(status, 9) << signal;
    EXPECT_EQ(app.requests, 1) << signal;
    EXPECT_EQ(app.requestThread, uiThread) << signal;
    EXPECT_EQ(CurrentAction(signal).sa_handler, before) << "the handler is put back after the run";
  }
}

TEST(Application, ASignalOnAnotherThreadIsHandedToTheUiThread) {
  std::thread signaller;
  QuitApp app([&] { signaller = std::thread([] { raise(SIGTERM); }); });
  DWORD uiThread = 0;
  int status = -1;
  std::thread ui([&] {
    uiThread = GetCurrentThreadId();
    status = AfxWinMain(app);
  });
  ui.join();
  signaller.join();
  EXPECT_EQ(status, 9);
  EXPECT_EQ(app.requestThread, uiThread);
}

TEST(Application, DefaultQuitRequestEndsTheLoopWithZero) {
  class Plain : public CWinApp {
   public:
    BOOL InitInstance() override {
      raise(SIGINT);
      return TRUE;
    }
  };
  Plain app;
  int status = -1;
  std::thread ui([&] { status = AfxWinMain(app); });
  ui.join();
  EXPECT_EQ(status, 0);
}

TEST(Application, QuitCanBeRequestedFromAnyThread) {
  std::thread requester;
  QuitApp app([&] { requester = std::thread([] { EXPECT_TRUE(RequestApplicationQuit()); }); });
  DWORD uiThread = 0;
  std::thread ui([&] {
    uiThread = GetCurrentThreadId();
    EXPECT_EQ(AfxWinMain(app), 9);
  });
  ui.join();
  requester.join();
  EXPECT_EQ(app.requestThread, uiThread);
}

}  // namespace
