#include "testbed/metar_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <system_error>

namespace {

constexpr std::size_t kMaxLoggedLine = 1024;
constexpr std::size_t kMaxLoggedHeaders = 64;
constexpr std::size_t kMaxStationName = 8;

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
  if (!listener_.Ok() || stop_.Fd() < 0) return;
  try {
    thread_ = std::thread(&MetarServer::Run, this);
  } catch (const std::system_error&) {
    // Ok() stays false: no thread serves the port.
  }
}

MetarServer::~MetarServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  released_.notify_all();
  stop_.Signal();
  if (thread_.joinable()) thread_.join();
}

std::string MetarServer::BaseUrl() const { return "http://127.0.0.1:" + std::to_string(Port()) + basePath_; }

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

void MetarServer::HoldReplies() {
  std::lock_guard lock(mutex_);
  held_ = true;
}

void MetarServer::ReleaseReplies() {
  {
    std::lock_guard lock(mutex_);
    held_ = false;
  }
  released_.notify_all();
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

bool MetarServer::WaitForConnections(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return logged_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                          [&] { return connectionCount_ >= count; });
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
    bool stopped = false;
    // The stop event ends the wait at once; the timeout only bounds it.
    const SOCKET s = listener_.Accept(stop_.Fd(), 1000, &stopped);
    if (stopped) return;
    if (s == INVALID_SOCKET) continue;
    {
      std::lock_guard lock(mutex_);
      ++connectionCount_;
    }
    logged_.notify_all();
    Serve(s);
  }
}

void MetarServer::Serve(SOCKET s) {
  std::string head;
  const bool complete = tcp_io::ReadHead(s, head, kMaxRequestBytes, ioTimeoutMs_.load(), stop_.Fd());
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
  {
    std::unique_lock lock(mutex_);
    released_.wait_for(lock, std::chrono::milliseconds(kHoldLimitMs), [this] { return !held_ || stopping_; });
  }
  if (Stopping()) {
    closesocket(s);
    return;
  }
  if (drop) {
    tcp_io::ResetAndClose(s);
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
  if (tcp_io::SendAll(s, top.data(), ioTimeoutMs_.load(), stop_.Fd()) && tcp_io::SendAll(s, reply.body, ioTimeoutMs_.load(), stop_.Fd()))
    WsShutdown(s, SD_SEND);
  closesocket(s);
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

void MetarServer::SetIoTimeoutMs(int timeoutMs) { ioTimeoutMs_.store(timeoutMs > 0 ? timeoutMs : kIoTimeoutMs); }
