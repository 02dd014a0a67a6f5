#include "win/quit_signals.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include "win/window.h"

namespace win::detail {
namespace {

std::atomic<int> g_signalFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

// Never destroyed: a signal may arrive while static destructors run.
WakeEvent& SignalEvent() {
  static WakeEvent* event = new WakeEvent();
  return *event;
}

void OnQuitSignal(int) {
  const int savedErrno = errno;
  const int fd = g_signalFd.load();
  if (fd >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(fd, &one, sizeof one);
  }
  errno = savedErrno;
}

}  // namespace

QuitSignalWatch::QuitSignalWatch(DWORD uiThread, UINT message) {
  WakeEvent& event = SignalEvent();
  event.Drain();  // a signal from an earlier run is not this run's request
  g_signalFd = event.Fd();
  struct sigaction action {};
  action.sa_handler = OnQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &previousInt_);
  sigaction(SIGTERM, &action, &previousTerm_);
  try {
    watcher_ = std::thread([this, uiThread, message] { Watch(uiThread, message); });
  } catch (const std::system_error&) {
    // Nobody would pass the request on: leave the signals their old meaning.
    sigaction(SIGINT, &previousInt_, nullptr);
    sigaction(SIGTERM, &previousTerm_, nullptr);
  }
}

QuitSignalWatch::~QuitSignalWatch() {
  if (!watcher_.joinable()) return;
  sigaction(SIGINT, &previousInt_, nullptr);
  sigaction(SIGTERM, &previousTerm_, nullptr);
  stop_.Signal();
  watcher_.join();
}

void QuitSignalWatch::Watch(DWORD uiThread, UINT message) {
  std::array<pollfd, 2> fds{{{SignalEvent().Fd(), POLLIN, 0}, {stop_.Fd(), POLLIN, 0}}};
  for (;;) {
    const int ready = poll(fds.data(), fds.size(), -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if ((fds[1].revents & POLLIN) != 0) return;
    if ((fds[0].revents & POLLIN) != 0) {
      SignalEvent().Drain();  // written by the handler, not by Signal
      PostThreadMessageA(uiThread, message, 0, 0);
    }
  }
}

}  // namespace win::detail
