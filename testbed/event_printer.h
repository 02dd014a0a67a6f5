// Prints the stand-ins' event lines, one per event, each marked with its
// source ("[stand-ins 12:34:56] node: heartbeat sent"). A line that repeats
// the previous one of its source is counted instead of printed; the count
// comes out when that source says something else, or on Flush().
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>

class EventPrinter {
 public:
  // timestamps off: "[stand-ins] ..." (tests).
  explicit EventPrinter(std::ostream& out, bool timestamps = true);

  // Thread-safe. An empty source prints the line alone.
  void Print(std::string_view source, std::string_view line);
  // The counts of repeats not yet printed.
  void Flush();

 private:
  struct Run {
    std::string line;
    std::size_t repeats = 0;
  };

  void Write(std::string_view source, std::string_view line);
  void WriteRepeats(std::string_view source, const Run& run);

  std::ostream& out_;
  const bool timestamps_;
  std::mutex mutex_;
  std::map<std::string, Run, std::less<>> runs_;
};
