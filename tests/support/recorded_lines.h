// Collects the lines a stand-in logs on its own thread, for the test to read.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class RecordedLines {
 public:
  std::function<void(std::string_view)> Sink() {
    return [this](std::string_view line) {
      std::lock_guard lock(mutex_);
      lines_.emplace_back(line);
    };
  }
  std::vector<std::string> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};
