// Calls queued by a test for a worker thread to run on itself.
#pragma once

#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>

class ThreadCalls {
 public:
  // Queues the call; the future gives its result once the worker has run it.
  template <typename Call>
  auto Add(Call call) -> std::future<decltype(call())> {
    using Result = decltype(call());
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(call));
    std::future<Result> result = task->get_future();
    std::lock_guard lock(mutex_);
    calls_.emplace_back([task] { (*task)(); });
    return result;
  }

  // On the worker: runs the oldest queued call, if any.
  void RunNext() {
    std::function<void()> call;
    {
      std::lock_guard lock(mutex_);
      if (calls_.empty()) return;
      call = std::move(calls_.front());
      calls_.pop_front();
    }
    call();
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> calls_;
};
