// Talks to the running program's automation socket (one request line, the
// answer's lines up to the closing "ok" or "error ...").
#pragma once

#include <string>
#include <vector>

class AutomationClient {
 public:
  AutomationClient() = default;
  ~AutomationClient();
  AutomationClient(const AutomationClient&) = delete;
  AutomationClient& operator=(const AutomationClient&) = delete;

  // Retries until the program listens or the time is up; tries at least once.
  bool Connect(const std::string& socketPath, int timeoutMs);
  // The answer's lines, the closing "ok" or "error ..." last; empty on a
  // broken link or when the time is up. The line must not hold CR or LF.
  std::vector<std::string> Request(const std::string& line, int timeoutMs = 10'000);
  // The same, keeping in `lines` what arrived; true once the closing line came.
  bool Request(const std::string& line, std::vector<std::string>& lines, int timeoutMs);

 private:
  int fd_ = -1;
  std::string pending_;
};

// "ok", "error" or "error <reason>": the last line of every answer.
bool IsClosingLine(const std::string& line);

// The whole answer of a server that serves another client (its socket closed).
bool IsTurnedAway(const std::vector<std::string>& lines);

// True when some line of the answer contains the text.
bool AnyLineContains(const std::vector<std::string>& lines, const std::string& text);
