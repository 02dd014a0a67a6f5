// The application object and its message loop.
#pragma once

#include "win/messages.h"
#include "win/types.h"
#include "win/window.h"

class CWinApp {
 public:
  // The object constructed last is the one AfxGetApp returns.
  explicit CWinApp(const char* appName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // TRUE runs the message loop, FALSE ends at once.
  virtual BOOL InitInstance();
  // The program's exit status; by default the code that ended the loop.
  virtual int ExitInstance();
  // TRUE when the message is dealt with and must not be dispatched. By default
  // asks the target window and then each of its parents.
  virtual BOOL PreTranslateMessage(MSG* msg);
  // Runs on the UI thread when SIGINT, SIGTERM or RequestApplicationQuit asks
  // the program to end; by default ends the loop with 0.
  virtual void OnQuitRequest();
  // The message loop of the calling thread; returns the quit code.
  virtual int Run();

  CWnd* m_pMainWnd = nullptr;
  const char* m_pszAppName = nullptr;
  DWORD m_nThreadID = 0;  // the UI thread, set by AfxWinMain

 protected:
  int exitCode_ = 0;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();

// Installs the quit-signal handlers, then InitInstance; FALSE gives exit
// status 1 (or ExitInstance's own non-zero code) without a loop. Otherwise
// Run, then ExitInstance, whose value is returned.
int AfxWinMain(CWinApp& app);

// The thread message that carries a quit request to the UI loop.
UINT QuitRequestMessage();
// Asks the running application to quit, from any thread (automation, tests).
BOOL RequestApplicationQuit();

// The rich-edit model needs no library to load.
BOOL AfxInitRichEdit();
BOOL AfxInitRichEdit2();
