// Prints the stand-ins' event lines, one per event, each marked with its
// source ("[stand-ins 12:34:56] node: heartbeat sent"), at the moment the event
// happens. Only repeats within a second are folded: a line that repeats the
// previous one of its source less than a second after that line was printed is
// counted instead ("plug-in: 9 more times: ..."). The count comes out when the
// source says something else, with the first repeat after the second, from
// FlushDue() once the second has passed, or from Flush().
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

class EventPrinter {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::chrono::milliseconds kFoldWindow{1000};

  // timestamps off: "[stand-ins] ..." (tests). A test may pass a clock of its own.
  explicit EventPrinter(std::ostream& out, bool timestamps = true, Clock clock = nullptr);

  // Thread-safe. An empty source prints the line alone.
  void Print(std::string_view source, std::string_view line);
  // The counts of repeats whose second has passed; call it about once a second.
  void FlushDue();
  // Every count not yet printed.
  void Flush();

 private:
  struct Run {
    std::string line;
    std::size_t repeats = 0;                       // folded, not yet printed
    std::chrono::steady_clock::time_point shown{};  // when the line or its count was last printed
  };

  void Write(std::string_view source, std::string_view line);
  void WriteRepeats(std::string_view source, Run& run);

  std::ostream& out_;
  const bool timestamps_;
  const Clock clock_;
  std::mutex mutex_;
  std::map<std::string, Run, std::less<>> runs_;
};
