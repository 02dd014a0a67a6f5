// A stand-in for the public weather server, for tests and the demo: HTTP/1.1
// on 127.0.0.1 (ephemeral port) serving "<base path>/<ICAO>.TXT" from a
// scripted table. A station without a report answers 200 with the
// "NO METAR FOR <ICAO>" text, as the real server does; any other path is 404.
// One connection at a time, one request per connection; every wait is bounded
// and ends at once when the server stops.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "testbed/tcp_listener.h"
#include "win/os_thread.h"
#include "win/winsock.h"

class MetarServer {
 public:
  static constexpr std::size_t kMaxRequestBytes = 8192;  // a longer head is answered 400
  static constexpr int kIoTimeoutMs = 5000;              // per request read and per reply
  static constexpr std::size_t kMaxLoggedRequests = 1000;

  struct Request {
    std::string line;                  // "GET /metar/LFPG.TXT HTTP/1.1"
    std::vector<std::string> headers;  // the lines after it, without line ends
  };

  // basePath: "" or starting with '/', without a trailing '/'.
  explicit MetarServer(std::string basePath = "/metar");
  ~MetarServer();
  MetarServer(const MetarServer&) = delete;
  MetarServer& operator=(const MetarServer&) = delete;

  bool Ok() const { return listener_.Ok() && thread_.joinable(); }
  std::uint16_t Port() const { return listener_.Port(); }
  const std::string& BasePath() const { return basePath_; }
  // "http://127.0.0.1:<port><base path>", to which "/<ICAO>.TXT" is appended.
  std::string BaseUrl() const;

  void SetStation(std::string_view icao, std::string_view report);
  void RemoveStation(std::string_view icao);
  static std::string NoMetarText(std::string_view icao);

  // Faults. Drop: read the request, then reset the connection without an
  // answer. Delay: wait before answering. Forced status: answer every request
  // with that status and a one-line body (0 restores normal answers).
  void SetDropConnections(bool drop);
  void SetReplyDelayMs(int delayMs);
  void SetForcedStatus(int status);
  // The bound of each request read and reply (kIoTimeoutMs unless set): a test that
  // times how fast a stop ends those waits lengthens it far beyond what it measures.
  void SetIoTimeoutMs(int timeoutMs);
  // Held: each request is read and logged, and its answer waits until the
  // replies are let go (or kHoldLimitMs pass, or the server stops), so that a
  // test can look at a client while its fetch is certainly in progress.
  static constexpr int kHoldLimitMs = 60'000;
  void HoldReplies();
  void ReleaseReplies();

  std::vector<Request> Requests() const;
  std::vector<std::string> RequestLines() const;
  std::size_t RequestCount() const;
  bool WaitForRequests(std::size_t count, int timeoutMs) const;
  // Connections taken from the listener, before their request is read: a test that
  // stops the server while it waits in a read waits for this first.
  bool WaitForConnections(std::size_t count, int timeoutMs) const;

 private:
  struct Reply {
    int status = 200;
    std::string body;
  };

  void Run();
  void Serve(SOCKET s);
  Reply Answer(std::string_view line);
  bool Stopping() const;

  const std::string basePath_;
  TcpListener listener_;
  WakeEvent stop_;  // signalled once, never cleared

  mutable std::mutex mutex_;
  mutable std::condition_variable logged_;
  std::map<std::string, std::string, std::less<>> stations_;
  std::vector<Request> requests_;
  std::size_t requestCount_ = 0;
  std::size_t connectionCount_ = 0;
  bool drop_ = false;
  int delayMs_ = 0;
  int forcedStatus_ = 0;
  bool stopping_ = false;
  bool held_ = false;
  std::condition_variable released_;
  std::atomic<int> ioTimeoutMs_{kIoTimeoutMs};
  std::thread thread_;
};
