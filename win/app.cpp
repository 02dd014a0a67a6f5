#include "win/app.h"

#include <atomic>

#include "win/message_queue.h"
#include "win/os_thread.h"
#include "win/quit_signals.h"

namespace {
std::atomic<CWinApp*> g_app{nullptr};
}  // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) { g_app = this; }

CWinApp::~CWinApp() {
  CWinApp* self = this;
  g_app.compare_exchange_strong(self, nullptr);
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return exitCode_; }

BOOL CWinApp::PreTranslateMessage(MSG* msg) {
  if (msg == nullptr) return FALSE;
  for (HWND hwnd = msg->hwnd; hwnd != 0; hwnd = GetParent(hwnd)) {
    CWnd* window = CWnd::FromHandle(hwnd);
    if (window != nullptr && window->PreTranslateMessage(msg)) return TRUE;
  }
  return FALSE;
}

void CWinApp::OnQuitRequest() { PostQuitMessage(0); }

int CWinApp::Run() {
  const UINT quitRequest = QuitRequestMessage();
  MSG msg;
  for (;;) {
    const BOOL got = GetMessageA(&msg, 0, 0, 0);
    if (got == 0) break;
    if (got < 0) continue;
    if (msg.hwnd == 0 && msg.message == quitRequest) {
      OnQuitRequest();
      continue;
    }
    if (!PreTranslateMessage(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  exitCode_ = static_cast<int>(static_cast<std::intptr_t>(msg.wParam));
  return exitCode_;
}

CWinApp* AfxGetApp() { return g_app.load(); }

CWnd* AfxGetMainWnd() {
  CWinApp* app = AfxGetApp();
  return app != nullptr ? app->m_pMainWnd : nullptr;
}

int AfxWinMain(CWinApp& app) {
  g_app = &app;
  app.m_nThreadID = GetCurrentThreadId();
  win::detail::CurrentQueue();  // a request that comes during start-up must find the queue
  win::detail::QuitSignalWatch watch(app.m_nThreadID, QuitRequestMessage());
  if (!app.InitInstance()) {
    const int code = app.ExitInstance();
    return code != 0 ? code : 1;
  }
  app.Run();
  return app.ExitInstance();
}

UINT QuitRequestMessage() {
  static const UINT message = RegisterWindowMessageA("Tavelkor.Platform.QuitRequest");
  return message;
}

BOOL RequestApplicationQuit() {
  CWinApp* app = AfxGetApp();
  if (app == nullptr || app->m_nThreadID == 0) return FALSE;
  return PostThreadMessageA(app->m_nThreadID, QuitRequestMessage(), 0, 0);
}

BOOL AfxInitRichEdit() { return TRUE; }
BOOL AfxInitRichEdit2() { return TRUE; }
