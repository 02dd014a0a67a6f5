// SIGINT and SIGTERM as requests to quit: the handler only writes to an
// eventfd; a watcher thread turns each burst of signals into one thread
// message for the UI loop. Internal to win/.
#pragma once

#include <signal.h>

#include <thread>

#include "win/os_thread.h"
#include "win/types.h"

namespace win::detail {

class QuitSignalWatch {
 public:
  QuitSignalWatch(DWORD uiThread, UINT message);
  // Restores the previous handlers and stops the watcher.
  ~QuitSignalWatch();
  QuitSignalWatch(const QuitSignalWatch&) = delete;
  QuitSignalWatch& operator=(const QuitSignalWatch&) = delete;

 private:
  void Watch(DWORD uiThread, UINT message);

  struct sigaction previousInt_ {};
  struct sigaction previousTerm_ {};
  WakeEvent stop_;
  std::thread watcher_;
};

}  // namespace win::detail
