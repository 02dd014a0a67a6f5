// A counter of seconds that other threads watch: every change wakes the
// threads that run a task each new second, so that none of them has to poll
// for it (CBaseThread::WakeThreadsForNewSecond).
#pragma once

#include <atomic>
#include <cstdint>

#include "base/base_thread.h"

class SecondsCounter {
 public:
  constexpr SecondsCounter() = default;
  SecondsCounter(const SecondsCounter&) = delete;
  SecondsCounter& operator=(const SecondsCounter&) = delete;

  // Sequentially consistent throughout: a waiter publishes that it wants the
  // next second and then reads the counter; a change is stored and then the
  // waiters are looked at, so one of the two always sees the other.
  std::uint32_t load(std::memory_order = std::memory_order_seq_cst) const { return value_.load(); }
  operator std::uint32_t() const { return load(); }

  void store(std::uint32_t value, std::memory_order = std::memory_order_seq_cst) {
    value_.store(value);
    CBaseThread::WakeThreadsForNewSecond();
  }
  SecondsCounter& operator=(std::uint32_t value) {
    store(value);
    return *this;
  }
  std::uint32_t fetch_add(std::uint32_t n, std::memory_order = std::memory_order_seq_cst) {
    const std::uint32_t previous = value_.fetch_add(n);
    CBaseThread::WakeThreadsForNewSecond();
    return previous;
  }

 private:
  std::atomic<std::uint32_t> value_{0};
};
