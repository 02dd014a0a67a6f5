#include "testbed/web_page_server.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace {

// "GET <target> HTTP/1.x" on the first line; the path is the target up to '?'.
std::string_view RequestPath(std::string_view head, bool* wellFormed) {
  const std::string_view line = head.substr(0, head.find_first_of("\r\n"));
  const auto firstSpace = line.find(' ');
  const auto lastSpace = line.rfind(' ');
  *wellFormed = firstSpace != std::string_view::npos && firstSpace != lastSpace &&
                line.substr(lastSpace + 1).substr(0, 7) == "HTTP/1.";
  if (!*wellFormed) return {};
  const std::string_view target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
  return target.substr(0, target.find('?'));
}

std::string StatusReply(int status, const char* reason) {
  const std::string body = std::string(reason) + "\r\n";
  return "HTTP/1.1 " + std::to_string(status) + " " + reason +
         "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

// "200 OK" from "HTTP/1.1 200 OK\r\n...".
std::string_view StatusText(std::string_view reply) {
  const std::string_view line = reply.substr(0, reply.find("\r\n"));
  const auto space = line.find(' ');
  return space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
}

}  // namespace

WebPageServer::WebPageServer(std::string page) : page_(std::move(page)) {
  if (!listener_.Ok() || stop_.Fd() < 0) return;
  try {
    thread_ = std::thread(&WebPageServer::Run, this);
  } catch (const std::system_error&) {
    // Ok() stays false: no thread serves the port.
  }
}

WebPageServer::~WebPageServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.Signal();
  if (thread_.joinable()) thread_.join();
}

std::string WebPageServer::PortMapEntry() const { return "80=" + std::to_string(Port()); }

void WebPageServer::SetLines(std::vector<std::string> lines) {
  std::lock_guard lock(mutex_);
  script_.lines = std::move(lines);
}

std::vector<std::string> WebPageServer::HubListLines(std::string_view ownAddress, std::string_view hub) {
  return {"FROMWEBSITE_START", "FROMWEBSITE_YOUR_IP:" + std::string(ownAddress),
          "FROMWEBSITE_HUBS_LIST:" + std::string(hub), "FROMWEBSITE_END"};
}

void WebPageServer::SetRawReply(std::string bytes) {
  std::lock_guard lock(mutex_);
  script_.raw = std::move(bytes);
  script_.useRaw = true;
}

void WebPageServer::ClearRawReply() {
  std::lock_guard lock(mutex_);
  script_.raw.clear();
  script_.useRaw = false;
}

void WebPageServer::SetChunkBytes(std::size_t bytes, int pauseMs) {
  std::lock_guard lock(mutex_);
  script_.chunkBytes = bytes;
  script_.pauseMs = std::clamp(pauseMs, 0, 1000);
}

void WebPageServer::SetDropConnections(bool drop) {
  std::lock_guard lock(mutex_);
  script_.drop = drop;
}

void WebPageServer::SetAbruptEnd(bool abrupt) {
  std::lock_guard lock(mutex_);
  script_.abrupt = abrupt;
}

void WebPageServer::SetEventLog(EventLog log) {
  std::lock_guard lock(mutex_);
  log_ = std::move(log);
}

void WebPageServer::Log(std::string_view head, std::string_view outcome) const {
  EventLog log;
  {
    std::lock_guard lock(mutex_);
    log = log_;
  }
  if (!log) return;
  std::string line(head.substr(0, std::min(head.find_first_of("\r\n"), std::size_t{200})));
  line.append(" -> ").append(outcome);
  log(line);
}

std::vector<std::string> WebPageServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t WebPageServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requestCount_;
}

bool WebPageServer::WaitForConnections(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return logged_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                          [&] { return connectionCount_ >= count; });
}

bool WebPageServer::WaitForRequests(std::size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return logged_.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                          [&] { return requestCount_ >= count; });
}

std::string WebPageServer::LastReply() const {
  std::lock_guard lock(mutex_);
  return lastReply_;
}

bool WebPageServer::Stopping() const {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void WebPageServer::Run() {
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

void WebPageServer::Serve(SOCKET s) {
  std::string head;
  const bool complete = tcp_io::ReadHead(s, head, kMaxRequestBytes, ioTimeoutMs_.load(), stop_.Fd());
  if (Stopping() || head.empty()) {
    closesocket(s);
    return;
  }
  Script script;
  {
    std::lock_guard lock(mutex_);
    ++requestCount_;
    if (requests_.size() < kMaxLoggedRequests) requests_.push_back(head.substr(0, kMaxRequestBytes));
    script = script_;
  }
  logged_.notify_all();
  if (script.drop) {
    Log(head, "dropped without an answer");
    tcp_io::ResetAndClose(s);
    return;
  }
  const std::string reply = Reply(head, complete, script);
  const bool sent = SendReply(s, reply, script);
  if (!sent) {
    Log(head, "the answer could not be sent");
  } else if (script.useRaw) {
    Log(head, "answered with " + std::to_string(reply.size()) + " raw bytes");
  } else {
    Log(head, "answered " + std::string(StatusText(reply)));
  }
  if (sent && script.abrupt) {
    tcp_io::ResetAndClose(s);
    return;
  }
  if (sent) WsShutdown(s, SD_SEND);
  closesocket(s);
}

std::string WebPageServer::Reply(std::string_view head, bool complete, const Script& script) const {
  if (script.useRaw) return script.raw;
  bool wellFormed = false;
  const std::string_view path = RequestPath(head, &wellFormed);
  if (!complete || !wellFormed) return StatusReply(400, "Bad Request");
  if (head.substr(0, 4) != "GET ") return StatusReply(405, "Method Not Allowed");
  if (path != page_) return StatusReply(404, "Not Found");
  std::string body;
  for (const std::string& line : script.lines) body.append(line).append("\r\n");
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

bool WebPageServer::SendReply(SOCKET s, std::string_view reply, const Script& script) {
  const std::size_t chunk = script.chunkBytes == 0 ? reply.size() : script.chunkBytes;
  std::size_t sentBytes = 0;
  bool ok = true;
  while (ok && sentBytes < reply.size()) {
    if (sentBytes > 0 && script.pauseMs > 0 && stop_.Wait(script.pauseMs)) {
      ok = false;
      break;
    }
    const std::string_view part = reply.substr(sentBytes, chunk);
    ok = tcp_io::SendAll(s, part, ioTimeoutMs_.load(), stop_.Fd());
    if (ok) sentBytes += part.size();
  }
  std::lock_guard lock(mutex_);
  lastReply_.assign(reply.substr(0, sentBytes));
  return ok;
}

void WebPageServer::SetIoTimeoutMs(int timeoutMs) { ioTimeoutMs_.store(timeoutMs > 0 ? timeoutMs : kIoTimeoutMs); }
