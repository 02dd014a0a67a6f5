#include "testbed/automation_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "win/automation.h"

AutomationClient::~AutomationClient() {
  if (fd_ >= 0) close(fd_);
}

bool AutomationClient::Connect(const std::string& socketPath, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  pending_.clear();
  for (;;) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return true;
    close(fd_);
    fd_ = -1;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::vector<std::string> AutomationClient::Request(const std::string& line, int timeoutMs) {
  std::vector<std::string> lines;
  if (!Request(line, lines, timeoutMs)) lines.clear();
  return lines;
}

bool AutomationClient::Request(const std::string& line, std::vector<std::string>& lines, int timeoutMs) {
  lines.clear();
  if (fd_ < 0 || line.find_first_of("\r\n") != std::string::npos) return false;
  const std::string request = line + "\n";
  // A server that turned this client away has closed already: its line is still there to read.
  [[maybe_unused]] const ssize_t sent = send(fd_, request.data(), request.size(), MSG_NOSIGNAL);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    std::size_t end;
    while ((end = pending_.find('\n')) != std::string::npos) {
      std::string one = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!one.empty() && one.back() == '\r') one.pop_back();
      const bool last = IsClosingLine(one);
      lines.push_back(std::move(one));
      if (last) return true;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[4096];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

bool IsClosingLine(const std::string& line) { return line == "ok" || line == "error" || line.rfind("error ", 0) == 0; }

bool IsTurnedAway(const std::vector<std::string>& lines) {
  return lines.size() == 1 && lines.front() == kAutomationBusyLine;
}

bool AnyLineContains(const std::vector<std::string>& lines, const std::string& text) {
  for (const std::string& line : lines)
    if (line.find(text) != std::string::npos) return true;
  return false;
}
