#include <cstdio>
#include <unistd.h>

#include "app/client_app.h"
#include "base/base_thread.h"

namespace {
CxTKexeApp theApp;
constexpr DWORD kThreadEndWaitMs = 3000;
}  // namespace

int main() {
  const int code = AfxWinMain(theApp);
  // Worker threads are never joined: give them a bounded time to see the exit flag,
  // and never let a late one run into static destruction.
  if (!CBaseThread::WaitForAllThreads(kThreadEndWaitMs)) {
    std::fflush(nullptr);
    _exit(code);
  }
  return code;
}
