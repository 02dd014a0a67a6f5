// A stand-in for the network's web page, for tests and the demo: HTTP/1.1 on
// 127.0.0.1 (ephemeral port; the client reaches it on port 80 through
// TK_PORTMAP=80=<port>). Every request head is logged byte for byte and
// answered with the scripted lines, each ended by CR LF. One connection at a
// time, one request per connection; every wait is bounded and ends at once
// when the server stops (at the latest in its destructor).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "testbed/tcp_listener.h"
#include "win/os_thread.h"
#include "win/winsock.h"

class WebPageServer {
 public:
  static constexpr std::size_t kMaxRequestBytes = 8192;  // a longer head is answered 400
  static constexpr int kIoTimeoutMs = 5000;              // per request read and per reply
  static constexpr std::size_t kMaxLoggedRequests = 1000;

  // page: the path the page answers ("/h.php"); any other path is 404.
  explicit WebPageServer(std::string page = "/h.php");
  ~WebPageServer();
  WebPageServer(const WebPageServer&) = delete;
  WebPageServer& operator=(const WebPageServer&) = delete;

  bool Ok() const { return listener_.Ok() && thread_.joinable(); }
  std::uint16_t Port() const { return listener_.Port(); }
  const std::string& Page() const { return page_; }
  // "80=<port>", for TK_PORTMAP.
  std::string PortMapEntry() const;

  // The body: each line followed by CR LF.
  void SetLines(std::vector<std::string> lines);
  // A typical answer: the block with the address and hub, then the end.
  static std::vector<std::string> HubListLines(std::string_view ownAddress, std::string_view hub);

  // Faults. Raw reply: these bytes exactly, in place of status, headers and
  // lines (garbage, no line ends, a short body). Chunk bytes: the reply goes
  // out in sends of this size, each after a pause, so the client sees split
  // lines (0: one send). Drop: read the request, then reset without an answer.
  // Abrupt end: reset the connection after the reply instead of closing it.
  void SetRawReply(std::string bytes);
  void ClearRawReply();
  void SetChunkBytes(std::size_t bytes, int pauseMs = 5);
  void SetDropConnections(bool drop);
  void SetAbruptEnd(bool abrupt);
  // The bound of each request read and reply (kIoTimeoutMs unless set): a test that
  // times how fast a stop ends those waits lengthens it far beyond what it measures.
  void SetIoTimeoutMs(int timeoutMs);

  // One line per request: its first line and how it was answered. Called
  // from the serving thread.
  using EventLog = std::function<void(std::string_view line)>;
  void SetEventLog(EventLog log);

  // Request heads byte for byte, up to and including the blank line.
  std::vector<std::string> Requests() const;
  std::size_t RequestCount() const;
  bool WaitForRequests(std::size_t count, int timeoutMs) const;
  // Connections taken from the listener, before their request is read: a test that
  // stops the server while it waits in a read waits for this first.
  bool WaitForConnections(std::size_t count, int timeoutMs) const;
  // The reply of the last answered request, as sent (or as far as it got).
  std::string LastReply() const;

 private:
  struct Script {
    std::vector<std::string> lines;
    std::string raw;
    bool useRaw = false;
    std::size_t chunkBytes = 0;
    int pauseMs = 0;
    bool drop = false;
    bool abrupt = false;
  };

  void Run();
  void Serve(SOCKET s);
  std::string Reply(std::string_view head, bool complete, const Script& script) const;
  bool SendReply(SOCKET s, std::string_view reply, const Script& script);
  bool Stopping() const;
  void Log(std::string_view head, std::string_view outcome) const;

  const std::string page_;
  TcpListener listener_;
  WakeEvent stop_;  // signalled once, never cleared

  mutable std::mutex mutex_;
  mutable std::condition_variable logged_;
  Script script_;
  EventLog log_;
  std::vector<std::string> requests_;
  std::size_t requestCount_ = 0;
  std::size_t connectionCount_ = 0;
  std::string lastReply_;
  bool stopping_ = false;
  std::atomic<int> ioTimeoutMs_{kIoTimeoutMs};
  std::thread thread_;
};
