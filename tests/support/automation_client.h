// Talks to the running program's automation socket.
#pragma once

#include <string>
#include <vector>

class AutomationClient {
 public:
  AutomationClient() = default;
  ~AutomationClient();
  AutomationClient(const AutomationClient&) = delete;
  AutomationClient& operator=(const AutomationClient&) = delete;

  // Retries until the program listens or the time is up.
  bool Connect(const std::string& socketPath, int timeoutMs);
  // The answer's lines, the closing "ok" or "error ..." last; empty on a broken link.
  std::vector<std::string> Request(const std::string& line, int timeoutMs = 10'000);

 private:
  int fd_ = -1;
  std::string pending_;
};

// True when some line of the answer contains the text.
bool AnyLineContains(const std::vector<std::string>& lines, const std::string& text);
