// The finding side: windows of other processes looked up in the folder, and
// the calls that reach them over their sockets.
#include "win/remote_windows.h"

#include <poll.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <optional>

#include "win/message_queue.h"
#include "win/remote_link.h"
#include "win/remote_wire.h"
#include "win/window.h"
#include "win/window_registry.h"

namespace win::detail {
namespace {

// A window of another process as last seen, with its idle connections.
struct Peer {
  std::string path;
  WindowGreeting greeting;
  std::vector<int> idle;
};

struct Peers {
  std::mutex mutex;
  std::map<HWND, Peer> byWindow;
};

Peers& ThePeers() {
  static Peers* peers = new Peers();
  return *peers;
}

// A connection that greeted as the window at `path`, or -1.
int Open(const std::string& path, HWND expected, WindowGreeting* greeting) {
  const int fd = ConnectPublished(path);
  if (fd < 0) return -1;
  std::array<std::uint8_t, kGreetingSize> bytes{};
  std::optional<WindowGreeting> seen;
  // A live publisher greets at once; a stuck one is given a few seconds.
  if (ReadAll(fd, bytes, SteadyNowMs() + 5000)) seen = DecodeGreeting(bytes);
  if (!seen || (expected != 0 && seen->hwnd != expected)) {
    ::close(fd);
    return -1;
  }
  *greeting = *seen;
  return fd;
}

void Remember(HWND hwnd, const std::string& path, const WindowGreeting& greeting, int fd) {
  Peers& peers = ThePeers();
  std::lock_guard lock(peers.mutex);
  Peer& peer = peers.byWindow[hwnd];
  if (peer.path != path) {
    for (int old : peer.idle) ::close(old);
    peer.idle.clear();
  }
  peer.path = path;
  peer.greeting = greeting;
  if (fd >= 0) peer.idle.push_back(fd);
}

void Forget(HWND hwnd) {
  Peers& peers = ThePeers();
  std::lock_guard lock(peers.mutex);
  auto it = peers.byWindow.find(hwnd);
  if (it == peers.byWindow.end()) return;
  for (int fd : it->second.idle) ::close(fd);
  peers.byWindow.erase(it);
}

// An idle connection has nothing to read: anything there is its end.
bool HungUp(int fd) {
  pollfd p{fd, POLLIN | POLLRDHUP, 0};
  return ::poll(&p, 1, 0) != 0;
}

// An idle connection to the window, or a new one; -1 when no live process has it.
int Connection(HWND hwnd, const std::string& folder) {
  {
    Peers& peers = ThePeers();
    std::lock_guard lock(peers.mutex);
    auto it = peers.byWindow.find(hwnd);
    while (it != peers.byWindow.end() && !it->second.idle.empty()) {
      const int fd = it->second.idle.back();
      it->second.idle.pop_back();
      if (!HungUp(fd)) return fd;
      ::close(fd);
    }
  }
  for (const PublishedEntry& entry : ListPublished(folder)) {
    if (entry.hwnd != hwnd) continue;
    WindowGreeting greeting;
    const int fd = Open(entry.path, hwnd, &greeting);
    if (fd < 0) continue;
    Remember(hwnd, entry.path, greeting, -1);
    return fd;
  }
  Forget(hwnd);
  return -1;
}

void GiveBack(HWND hwnd, int fd) {
  Peers& peers = ThePeers();
  std::lock_guard lock(peers.mutex);
  auto it = peers.byWindow.find(hwnd);
  if (it == peers.byWindow.end()) {
    ::close(fd);
    return;
  }
  it->second.idle.push_back(fd);
}

bool Matches(std::string_view name, const char* className, const char* windowName) {
  return (className == nullptr || SameNameNoCase(name, className)) &&
         (windowName == nullptr || SameNameNoCase(name, windowName));
}

}  // namespace

bool RemoteCall(HWND hwnd, RemoteKind kind, UINT message, WPARAM wParam, LPARAM lParam, int timeoutMs,
                LRESULT* result) {
  if (result != nullptr) *result = 0;
  const std::string folder = WindowsFolder();
  // A window of ours that is gone is not looked for elsewhere.
  if (folder.empty() || hwnd == 0 || IsOwnHandle(hwnd)) return false;
  const std::int64_t deadline = timeoutMs < 0 ? -1 : SteadyNowMs() + timeoutMs;
  const int fd = Connection(hwnd, folder);
  if (fd < 0) return false;
  WindowRequest request;
  request.kind = static_cast<std::uint8_t>(kind);
  request.message = message;
  request.wParam = static_cast<std::uint64_t>(wParam);
  request.lParam = static_cast<std::uint64_t>(lParam);
  if (message >= 0xC000 && message <= 0xFFFF) request.messageName = RegisteredMessageName(message);
  std::array<std::uint8_t, kAnswerSize> bytes{};
  // Sends to this thread's windows are served while it waits, so two
  // processes sending to each other do not deadlock.
  if (!WriteAll(fd, EncodeRequest(request)) || !ReadAll(fd, bytes, deadline, ServeWaitingSends)) {
    // A late answer would be taken for the next call's: the connection goes.
    ::close(fd);
    return false;
  }
  GiveBack(hwnd, fd);
  const WindowAnswer answer = DecodeAnswer(bytes);
  if (result != nullptr) *result = static_cast<LRESULT>(answer.result);
  return answer.ok;
}

bool RemoteOwner(HWND hwnd, DWORD* processId, DWORD* threadId) {
  if (!RemoteCall(hwnd, RemoteKind::Alive, 0, 0, 0, -1, nullptr)) return false;
  Peers& peers = ThePeers();
  std::lock_guard lock(peers.mutex);
  auto it = peers.byWindow.find(hwnd);
  if (it == peers.byWindow.end()) return false;
  if (processId != nullptr) *processId = it->second.greeting.processId;
  if (threadId != nullptr) *threadId = it->second.greeting.threadId;
  return true;
}

}  // namespace win::detail

using namespace win::detail;

HWND FindWindowA(const char* className, const char* windowName) {
  for (const PublishedEntry& entry : PublishedHere()) {
    if (Matches(entry.name, className, windowName)) return entry.hwnd;
  }
  for (const WindowInfo& info : EnumerateWindows()) {
    if (info.parent == 0 && !info.text.empty() && Matches(info.text, className, windowName)) return info.hwnd;
  }
  const std::string folder = WindowsFolder();
  if (folder.empty()) return 0;
  const DWORD self = static_cast<DWORD>(::getpid());
  for (const PublishedEntry& entry : ListPublished(folder)) {
    if (!Matches(entry.name, className, windowName)) continue;
    WindowGreeting greeting;
    const int fd = Open(entry.path, entry.hwnd, &greeting);
    if (fd < 0) continue;  // left by a process that died
    if (greeting.processId == self) {
      ::close(fd);
      continue;
    }
    Remember(entry.hwnd, entry.path, greeting, fd);
    return entry.hwnd;
  }
  return 0;
}
