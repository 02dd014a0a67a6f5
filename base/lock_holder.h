// Who holds a recursive lock and how often, for locks whose Enter may be
// skipped (a disabled lock): a Leave from a thread that does not hold the lock
// is then ignored, instead of releasing a lock that another thread holds.
#pragma once

#include <atomic>
#include <thread>

class LockHolder {
 public:
  // Right after the calling thread entered the lock.
  void Entered() {
    owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    ++depth_;
  }
  // Right before the lock is left: true when the calling thread holds it, and
  // then it must leave it once.
  bool Leaving() {
    if (owner_.load(std::memory_order_relaxed) != std::this_thread::get_id() || depth_ == 0) return false;
    if (--depth_ == 0) owner_.store(std::thread::id{}, std::memory_order_relaxed);
    return true;
  }
  bool HeldByCaller() const { return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id(); }

 private:
  // Read by any thread; only the holder ever writes its own id here.
  std::atomic<std::thread::id> owner_{};
  // Touched only by the thread that holds the lock.
  int depth_ = 0;
};
