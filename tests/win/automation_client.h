// A line client of the automation socket for the tests.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace tk_test {

// A line client of the automation socket.
class Client {
 public:
  explicit Client(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~Client() { ::close(fd_); }
  bool Connected() const { return connected_; }
  bool Readable(int timeoutMs) {
    pollfd p{fd_, POLLIN, 0};
    return !pending_.empty() || ::poll(&p, 1, timeoutMs) > 0;
  }

  void SendRaw(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (n <= 0) return;
      bytes.remove_prefix(static_cast<std::size_t>(n));
    }
  }

  // Every line of the answer, up to and with the closing "ok" or "error ...".
  std::vector<std::string> Ask(const std::string& request) {
    SendRaw(request + "\n");
    return Answer();
  }

  std::vector<std::string> Answer() {
    std::vector<std::string> lines;
    for (;;) {
      const std::size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        lines.push_back(pending_.substr(0, end));
        pending_.erase(0, end + 1);
        if (lines.back() == "ok" || lines.back().rfind("error ", 0) == 0) return lines;
        continue;
      }
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 10'000) <= 0) return lines;  // the test fails on what is missing
      char buffer[4096];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) return lines;
      pending_.append(buffer, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  std::string pending_;
};

}  // namespace tk_test
