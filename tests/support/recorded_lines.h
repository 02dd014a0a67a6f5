// Collects the lines a stand-in logs on its own thread, for the test to read.
// The sink shares the store, so a stand-in thread that logs while the test
// is tearing down never writes into a freed collector.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class RecordedLines {
 public:
  std::function<void(std::string_view)> Sink() {
    return [store = store_](std::string_view line) {
      std::lock_guard lock(store->mutex);
      store->lines.emplace_back(line);
    };
  }
  std::vector<std::string> Lines() const {
    std::lock_guard lock(store_->mutex);
    return store_->lines;
  }

 private:
  struct Store {
    std::mutex mutex;
    std::vector<std::string> lines;
  };
  std::shared_ptr<Store> store_ = std::make_shared<Store>();
};
