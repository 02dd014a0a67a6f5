// The publishing side: one listening socket per published window, one thread
// per connection running each request as a call of this process.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "win/message_queue.h"
#include "win/os_thread.h"
#include "win/remote_link.h"
#include "win/remote_wire.h"
#include "win/remote_windows.h"
#include "win/window.h"
#include "win/window_registry.h"

namespace win::detail {
namespace {

struct Publication {
  HWND hwnd = 0;
  std::string name;
  std::string path;
  int listenFd = -1;
  std::thread acceptor;
  std::vector<int> connections;  // guarded by the table's lock
  // Serving threads still running; the window's end waits for them, so an
  // answer in flight is written before the process may end.
  std::mutex servingMutex;
  std::condition_variable servingDone;
  int serving = 0;
};

struct Publications {
  std::mutex mutex;
  std::map<HWND, std::shared_ptr<Publication>> byWindow;
};

// Never destroyed: connection threads may outlive main.
Publications& Table() {
  static Publications* table = new Publications();
  return *table;
}

// The socket files go with the process, as its windows do.
void RemoveSocketFiles() {
  Publications& table = Table();
  std::lock_guard lock(table.mutex);
  for (const auto& [hwnd, publication] : table.byWindow) ::unlink(publication->path.c_str());
}

WindowAnswer Run(HWND hwnd, const WindowRequest& request) {
  UINT message = request.message;
  if (!request.messageName.empty()) {
    message = RegisterWindowMessageA(request.messageName.c_str());
    if (message == 0) return {};
  }
  const auto wParam = static_cast<WPARAM>(request.wParam);
  const auto lParam = static_cast<LPARAM>(request.lParam);
  switch (static_cast<RemoteKind>(request.kind)) {
    case RemoteKind::Send: {
      UINT_PTR result = 0;
      const bool ok = SendMessageTimeoutA(hwnd, message, wParam, lParam, 0, 0xFFFFFFFF, &result) != 0;
      return WindowAnswer{ok, static_cast<std::uint64_t>(result)};
    }
    case RemoteKind::Post:
      return WindowAnswer{PostMessageA(hwnd, message, wParam, lParam) != FALSE, 0};
    case RemoteKind::Alive:
      return WindowAnswer{IsWindow(hwnd) != FALSE, 0};
  }
  return {};
}

void Serve(std::shared_ptr<Publication> publication, int fd) {
  DWORD ownerThread = GetWindowThreadProcessId(publication->hwnd, nullptr);
  const auto greeting =
      EncodeGreeting(WindowGreeting{static_cast<DWORD>(::getpid()), ownerThread, publication->hwnd});
  if (WriteAll(fd, greeting)) {
    for (;;) {
      std::array<std::uint8_t, kRequestFixedSize> fixed{};
      if (!ReadAll(fd, fixed)) break;
      WindowRequest request = DecodeRequestFixed(fixed);
      request.messageName.resize(fixed[kRequestFixedSize - 1]);
      if (!ReadAll(fd, std::span(reinterpret_cast<std::uint8_t*>(request.messageName.data()),
                                 request.messageName.size()))) {
        break;
      }
      if (!WriteAll(fd, EncodeAnswer(Run(publication->hwnd, request)))) break;
    }
  }
  {
    std::lock_guard lock(Table().mutex);
    auto& open = publication->connections;
    open.erase(std::remove(open.begin(), open.end(), fd), open.end());
  }
  ::close(fd);
  std::lock_guard lock(publication->servingMutex);
  --publication->serving;
  publication->servingDone.notify_all();
}

void Accept(std::shared_ptr<Publication> publication) {
  for (;;) {
    const int fd = ::accept4(publication->listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;  // shut down by UnpublishWindow
    }
    {
      std::lock_guard lock(Table().mutex);
      publication->connections.push_back(fd);
    }
    {
      std::lock_guard lock(publication->servingMutex);
      ++publication->serving;
    }
    std::thread(Serve, publication, fd).detach();
  }
}

// Another live process answering on the name.
bool NameHeldElsewhere(const std::string& folder, std::string_view name) {
  for (const PublishedEntry& entry : ListPublished(folder)) {
    if (!SameNameNoCase(entry.name, name)) continue;
    const int fd = ConnectPublished(entry.path);
    if (fd < 0) continue;
    ::close(fd);
    return true;
  }
  return false;
}

int Listen(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return -1;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  ::unlink(path.c_str());  // left by a dead process that had this handle
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

void UnpublishWindow(HWND hwnd) {
  std::shared_ptr<Publication> publication;
  {
    Publications& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.byWindow.find(hwnd);
    if (it == table.byWindow.end()) return;
    publication = it->second;
    table.byWindow.erase(it);
    ::unlink(publication->path.c_str());
    // Reading ends; an answer being written still goes out.
    for (int fd : publication->connections) ::shutdown(fd, SHUT_RD);
  }
  ::shutdown(publication->listenFd, SHUT_RDWR);
  if (publication->acceptor.joinable()) publication->acceptor.join();
  ::close(publication->listenFd);
  std::unique_lock lock(publication->servingMutex);
  publication->servingDone.wait_for(lock, std::chrono::seconds(5), [&] { return publication->serving == 0; });
}

std::vector<PublishedEntry> PublishedHere() {
  std::vector<PublishedEntry> here;
  Publications& table = Table();
  std::lock_guard lock(table.mutex);
  for (const auto& [hwnd, publication] : table.byWindow) here.push_back({hwnd, publication->name, publication->path});
  return here;
}

}  // namespace win::detail

using namespace win::detail;

BOOL PublishWindow(HWND hwnd, const char* name) {
  const std::string folder = WindowsFolder();
  if (folder.empty() || name == nullptr || !IsPublishableName(name) || CWnd::FromHandle(hwnd) == nullptr) return FALSE;
  Publications& table = Table();
  {
    std::lock_guard lock(table.mutex);
    if (table.byWindow.count(hwnd) != 0) return FALSE;
    for (const auto& [other, publication] : table.byWindow) {
      if (SameNameNoCase(publication->name, name)) return FALSE;
    }
  }
  if (NameHeldElsewhere(folder, name)) return FALSE;
  auto publication = std::make_shared<Publication>();
  publication->hwnd = hwnd;
  publication->name = name;
  publication->path = PublishedPath(folder, hwnd, name);
  publication->listenFd = Listen(publication->path);
  if (publication->listenFd < 0) return FALSE;
  static const bool cleanupRegistered = std::atexit(RemoveSocketFiles) == 0;
  (void)cleanupRegistered;
  std::lock_guard lock(table.mutex);
  table.byWindow.emplace(hwnd, publication);
  publication->acceptor = std::thread(Accept, publication);
  return TRUE;
}
