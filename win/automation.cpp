#include "win/automation.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "win/automation_commands.h"
#include "win/automation_protocol.h"
#include "win/message_queue.h"
#include "win/os_thread.h"
#include "win/window.h"

namespace {

constexpr const char* kSocketVariable = "TK_AUTOMATION";
// How long a request waits for the UI thread before it looks again whether the server is stopping.
constexpr UINT kUiWaitSliceMs = 200;

UINT JobMessage() {
  static const UINT message = RegisterWindowMessageA("Tavelkor.Platform.AutomationJob");
  return message;
}

// A window of the UI thread that runs the server's jobs there.
class AutomationAgent : public CWnd {
 public:
  ~AutomationAgent() override { DestroyWindow(); }
  std::string_view Kind() const override { return "automation"; }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == JobMessage() && lParam != 0) {
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return 1;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

class AutomationServer {
 public:
  AutomationServer(std::string path, int listener, std::unique_ptr<AutomationAgent> agent)
      : path_(std::move(path)), listener_(listener), agent_(std::move(agent)), uiThread_(GetCurrentThreadId()) {
    thread_ = std::thread([this] { Serve(); });
  }

  ~AutomationServer() {
    stopping_ = true;
    stop_.Signal();
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
    ::unlink(path_.c_str());
  }

  AutomationServer(const AutomationServer&) = delete;
  AutomationServer& operator=(const AutomationServer&) = delete;

 private:
  bool RunOnUi(const std::function<void()>& job) {
    const HWND agent = agent_->m_hWnd;
    for (;;) {
      if (stopping_) return false;
      {
        std::shared_ptr<win::detail::ThreadQueue> queue = win::detail::QueueOfThread(uiThread_);
        if (!queue) return false;
        std::lock_guard lock(queue->mutex);
        if (queue->ended || queue->gone) return false;
      }
      UINT_PTR result = 0;
      if (SendMessageTimeoutA(agent, JobMessage(), 0, reinterpret_cast<LPARAM>(&job), SMTO_NORMAL, kUiWaitSliceMs,
                              &result) != 0) {
        return result != 0;
      }
      if (!IsWindow(agent)) return false;
    }
  }

  // Waits until the descriptor is ready for `events`; false when stopping.
  bool WaitFor(int fd, short events) {
    for (;;) {
      std::array<pollfd, 2> fds = {pollfd{fd, events, 0}, pollfd{stop_.Fd(), POLLIN, 0}};
      const int n = ::poll(fds.data(), fds.size(), -1);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || stopping_ || (fds[1].revents & POLLIN) != 0) return false;
      if (fds[0].revents != 0) return true;
    }
  }

  bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(n));
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(fd, POLLOUT)) continue;
      return false;
    }
    return true;
  }

  // Waits for the served client's next bytes; a caller meanwhile is turned away at
  // once rather than left waiting without a word. False when stopping.
  bool WaitForRequest(int fd) {
    for (;;) {
      std::array<pollfd, 3> fds = {pollfd{fd, POLLIN, 0}, pollfd{listener_, POLLIN, 0}, pollfd{stop_.Fd(), POLLIN, 0}};
      const int n = ::poll(fds.data(), fds.size(), -1);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || stopping_ || (fds[2].revents & POLLIN) != 0) return false;
      // His own bytes (or his leaving) first: a caller right after he left is served.
      if (fds[0].revents != 0) return true;
      if ((fds[1].revents & POLLIN) != 0) TurnAwayCaller();
    }
  }

  void TurnAwayCaller() {
    const int caller = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (caller < 0) {
      if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) stop_.Wait(100);
      return;
    }
    std::string line(kAutomationBusyLine);
    line += '\n';
    // A fresh socket has room for one line; what he sent is never read.
    [[maybe_unused]] const ssize_t sent = ::send(caller, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(caller, SHUT_RDWR);
    ::close(caller);
  }

  void ServeClient(int fd) {
    win::detail::AutomationLineReader reader;
    std::array<char, 4096> buffer{};
    const win::detail::RunOnUiThread runOnUi = [this](const std::function<void()>& job) { return RunOnUi(job); };
    while (WaitForRequest(fd)) {
      const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
      if (n <= 0) return;  // gone, mid-line or not
      std::vector<win::detail::AutomationLineReader::Line> lines;
      reader.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)), lines);
      for (const auto& line : lines) {
        std::vector<std::string> answer =
            line.tooLong ? std::vector<std::string>{"error line too long"}
                         : win::detail::AnswerAutomationRequest(line.text, runOnUi);
        std::string out;
        for (const std::string& part : answer) {
          out += part;
          out += '\n';
        }
        if (!SendAll(fd, out)) return;
      }
    }
  }

  void Serve() {
    while (WaitFor(listener_, POLLIN)) {
      const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) {
        // Out of descriptors, say: wait a little rather than spin on a ready listener.
        if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) stop_.Wait(100);
        continue;
      }
      ServeClient(client);
      ::close(client);
    }
  }

  const std::string path_;
  const int listener_;
  std::unique_ptr<AutomationAgent> agent_;
  const DWORD uiThread_;
  std::atomic<bool> stopping_{false};
  WakeEvent stop_;
  std::thread thread_;
};

std::mutex g_mutex;
// Destroyed at program end at the latest, which ends the thread.
std::unique_ptr<AutomationServer> g_server;

bool FillAddress(const std::string& path, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// A socket left by a program that ended may go; a live one or any other file stays.
bool ClearStalePath(const std::string& path, const sockaddr_un& address) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (!S_ISSOCK(info.st_mode)) return false;
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return false;
  const bool live = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(probe);
  return !live && ::unlink(path.c_str()) == 0;
}

int Listen(const std::string& path) {
  sockaddr_un address;
  if (!FillAddress(path, address)) {
    std::fprintf(stderr, "Automation: the socket path is too long: %s\n", path.c_str());
    return -1;
  }
  if (!ClearStalePath(path, address)) {
    std::fprintf(stderr, "Automation: %s is in use or not a socket\n", path.c_str());
    return -1;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  // Only this user may drive the program.
  if (!bound || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, 4) != 0) {
    std::fprintf(stderr, "Automation: cannot listen on %s: %s\n", path.c_str(), std::strerror(errno));
    ::close(fd);
    if (bound) ::unlink(path.c_str());
    return -1;
  }
  return fd;
}

}  // namespace

BOOL StartAutomation(const std::string& socketPath) {
  std::lock_guard lock(g_mutex);
  if (g_server) {
    std::fprintf(stderr, "Automation: already serving\n");
    return FALSE;
  }
  auto agent = std::make_unique<AutomationAgent>();
  if (!agent->CreateHandle(WindowCreateParams{})) return FALSE;
  const int listener = Listen(socketPath);
  if (listener < 0) return FALSE;
  g_server = std::make_unique<AutomationServer>(socketPath, listener, std::move(agent));
  return TRUE;
}

BOOL StartAutomationFromEnvironment() {
  const char* path = std::getenv(kSocketVariable);
  if (path == nullptr || path[0] == '\0') return TRUE;
  return StartAutomation(path);
}

void StopAutomation() {
  std::unique_ptr<AutomationServer> server;
  {
    std::lock_guard lock(g_mutex);
    server = std::move(g_server);
  }
  server.reset();
}

bool AutomationRunning() {
  std::lock_guard lock(g_mutex);
  return g_server != nullptr;
}
