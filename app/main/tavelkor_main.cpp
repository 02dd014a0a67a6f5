#include <cstdio>
#include <unistd.h>

#include "app/client_app.h"
#include "base/base_thread.h"
#include "win/display/display.h"

namespace {
CxTKexeApp theApp;
constexpr DWORD kThreadEndWaitMs = 3000;

// The desktop went: the ordered quit has run inside the toolkit, which must
// not go on; the threads get their time, then the process ends.
[[noreturn]] void FinishWithoutTheDesktop(int code) {
  CBaseThread::WaitForAllThreads(kThreadEndWaitMs);
  std::fflush(nullptr);
  _exit(code);
}
}  // namespace

int main(int argc, char** argv) {
  // On the desktop when one is there (headless when it cannot be reached),
  // before any window exists; the UI thread is this one.
  win::display::Start(win::display::ShouldShow(argc, argv));
  win::display::WhenDesktopGone(&FinishWithoutTheDesktop);
  const int code = AfxWinMain(theApp);
  win::display::Stop();
  // Worker threads are never joined: give them a bounded time to see the exit flag,
  // and never let a late one run into static destruction.
  if (!CBaseThread::WaitForAllThreads(kThreadEndWaitMs)) {
    std::fflush(nullptr);
    _exit(code);
  }
  return code;
}
