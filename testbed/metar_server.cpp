#include "testbed/metar_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <system_error>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxLoggedLine = 1024;
constexpr std::size_t kMaxLoggedHeaders = 64;
constexpr std::size_t kMaxStationName = 8;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, 60'000));
}

void ResetAndClose(SOCKET s) {
  linger hard{1, 0};
  setsockopt(s, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  closesocket(s);
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

// Lines of a request head, CR LF or bare LF.
std::vector<std::string_view> SplitLines(std::string_view head) {
  std::vector<std::string_view> lines;
  while (!head.empty()) {
    const auto end = head.find('\n');
    std::string_view line = head.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    head.remove_prefix(end + 1);
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

bool IsStationName(std::string_view name) {
  if (name.empty() || name.size() > kMaxStationName) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
  });
}

}  // namespace

MetarServer::MetarServer(std::string basePath) : basePath_(std::move(basePath)) {
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return;
  sockaddr_in bound{};
  const bool ready = stop_.Fd() >= 0 && WsSetReuseAddr(s, true) == 0 &&
                     WsBind(s, MakeSockAddrIPv4(INADDR_LOOPBACK, 0)) == 0 && WsListen(s, SOMAXCONN) == 0 &&
                     WsSetNonBlocking(s, true) == 0 && WsGetSockName(s, &bound) == 0;
  if (!ready) {
    closesocket(s);
    return;
  }
  listening_ = s;
  port_ = ntohs(bound.sin_port);
  try {
    thread_ = std::thread(&MetarServer::Run, this);
  } catch (const std::system_error&) {
    closesocket(s);
    listening_ = INVALID_SOCKET;
  }
}

MetarServer::~MetarServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.Signal();
  if (thread_.joinable()) thread_.join();
  if (listening_ != INVALID_SOCKET) closesocket(listening_);
}

std::string MetarServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + basePath_; }

void MetarServer::SetStation(std::string_view icao, std::string_view report) {
  std::lock_guard lock(mutex_);
  stations_.insert_or_assign(std::string(icao), std::string(report));
}

void MetarServer::RemoveStation(std::string_view icao) {
  std::lock_guard lock(mutex_);
  if (const auto it = stations_.find(icao); it != stations_.end()) stations_.erase(it);
}

std::string MetarServer::NoMetarText(std::string_view icao) {
  return "NO METAR FOR " + std::string(icao) + "\n";
}

void MetarServer::SetDropConnections(bool drop) {
  std::lock_guard lock(mutex_);
  drop_ = drop;
}

void MetarServer::SetReplyDelayMs(int delayMs) {
  std::lock_guard lock(mutex_);
  delayMs_ = std::max(delayMs, 0);
}

void MetarServer::SetForcedStatus(int status) {
  std::lock_guard lock(mutex_);
  forcedStatus_ = status >= 100 && status <= 599 ? status : 0;
}

std::vector<MetarServer::Request> MetarServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<std::string> MetarServer::RequestLines() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  lines.reserve(requests_.size());
  for (const Request& r : requests_) lines.push_back(r.line);
  return lines;
}

std::size_t MetarServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requestCount_;
}

bool MetarServer::WaitForRequests(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return logged_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                          [&] { return requestCount_ >= count; });
}

bool MetarServer::Stopping() const {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void MetarServer::Run() {
  while (!Stopping()) {
    std::array<pollfd, 2> fds{pollfd{stop_.Fd(), POLLIN, 0}, pollfd{listening_, POLLIN, 0}};
    // The stop event ends the wait at once; the timeout only bounds it.
    if (WsPoll(fds, 1000) < 0 || fds[0].revents != 0) return;
    if ((fds[1].revents & POLLIN) == 0) continue;
    const SOCKET s = WsAccept(listening_, nullptr);
    if (s != INVALID_SOCKET) Serve(s);
  }
}

void MetarServer::Serve(SOCKET s) {
  std::string head;
  const bool complete = ReadHead(s, head);
  if (Stopping() || head.empty()) {
    closesocket(s);
    return;
  }
  const std::vector<std::string_view> lines = SplitLines(head);
  const std::string_view line = lines.empty() ? std::string_view{} : lines.front();
  bool drop = false;
  int delayMs = 0;
  {
    std::lock_guard lock(mutex_);
    ++requestCount_;
    if (requests_.size() < kMaxLoggedRequests) {
      Request request{std::string(line.substr(0, kMaxLoggedLine)), {}};
      for (std::size_t i = 1; i < lines.size() && request.headers.size() < kMaxLoggedHeaders; ++i)
        request.headers.emplace_back(lines[i].substr(0, kMaxLoggedLine));
      requests_.push_back(std::move(request));
    }
    drop = drop_;
    delayMs = delayMs_;
  }
  logged_.notify_all();
  if (drop) {
    ResetAndClose(s);
    return;
  }
  if (delayMs > 0 && stop_.Wait(delayMs)) {
    closesocket(s);
    return;
  }
  const Reply reply = complete ? Answer(line) : Reply{400, "Bad request\n"};
  std::array<char, 256> top{};
  std::snprintf(top.data(), top.size(),
                "HTTP/1.1 %d %s\r\nContent-Type: text/plain\r\nContent-Length: %zu\r\nConnection: close\r\n\r\n",
                reply.status, ReasonPhrase(reply.status), reply.body.size());
  if (SendAll(s, top.data()) && SendAll(s, reply.body)) WsShutdown(s, SD_SEND);
  closesocket(s);
}

bool MetarServer::ReadHead(SOCKET s, std::string& head) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(kIoTimeoutMs);
  std::array<char, 1024> chunk{};
  while (head.size() <= kMaxRequestBytes) {
    const int ready = WsWaitReadable(s, stop_.Fd(), MillisecondsLeft(deadline));
    if (ready <= 0 || (ready & WS_WAIT_WAKE) != 0) return false;
    const int n = WsRecv(s, chunk.data(), chunk.size(), MSG_DONTWAIT);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) continue;
    if (n <= 0) return false;
    const std::size_t searchFrom = head.size() < 3 ? 0 : head.size() - 3;
    head.append(chunk.data(), static_cast<std::size_t>(n));
    for (const std::string_view end : {std::string_view("\r\n\r\n"), std::string_view("\n\n")}) {
      const auto at = head.find(end, searchFrom);
      if (at != std::string::npos) {
        head.resize(at + end.size());
        return true;
      }
    }
  }
  return false;
}

MetarServer::Reply MetarServer::Answer(std::string_view line) {
  // "GET <target> HTTP/1.x"
  const auto firstSpace = line.find(' ');
  const auto lastSpace = line.rfind(' ');
  if (firstSpace == std::string_view::npos || firstSpace == lastSpace) return {400, "Bad request\n"};
  const std::string_view method = line.substr(0, firstSpace);
  const std::string_view target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
  const std::string_view version = line.substr(lastSpace + 1);
  if (version.substr(0, 7) != "HTTP/1." || target.find(' ') != std::string_view::npos) return {400, "Bad request\n"};

  std::lock_guard lock(mutex_);
  if (forcedStatus_ != 0) return {forcedStatus_, "Forced status\n"};
  if (method != "GET") return {405, "Method not allowed\n"};
  const std::string prefix = basePath_ + "/";
  constexpr std::string_view kSuffix = ".TXT";
  if (target.size() <= prefix.size() + kSuffix.size() || target.substr(0, prefix.size()) != prefix ||
      target.substr(target.size() - kSuffix.size()) != kSuffix)
    return {404, "Not found\n"};
  const std::string_view name = target.substr(prefix.size(), target.size() - prefix.size() - kSuffix.size());
  if (!IsStationName(name)) return {404, "Not found\n"};
  const auto it = stations_.find(name);
  return {200, it != stations_.end() ? it->second : NoMetarText(name)};
}

bool MetarServer::SendAll(SOCKET s, std::string_view bytes) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(kIoTimeoutMs);
  while (!bytes.empty()) {
    const int n = WsSend(s, bytes.data(), bytes.size(), MSG_DONTWAIT);
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n == 0 || WSAGetLastError() != WSAEWOULDBLOCK) return false;
    std::array<pollfd, 2> fds{pollfd{s, POLLOUT, 0}, pollfd{stop_.Fd(), POLLIN, 0}};
    const int left = MillisecondsLeft(deadline);
    if (left == 0 || WsPoll(fds, left) <= 0 || fds[1].revents != 0) return false;
  }
  return true;
}
