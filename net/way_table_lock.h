// The lock of the way table, with its nesting counter (also the trace gate of
// way threads that print a chat line in several pieces).
#pragma once

#include <atomic>
#include <cstdint>

#include "win/sync.h"

class WayTableLockType {
 public:
  void Init();
  void Enter();
  void Leave();
  int Nesting() const { return nesting_.load(std::memory_order_acquire); }
  // The trace gate counts itself without entering the critical section.
  void CountIn() { nesting_.fetch_add(1, std::memory_order_acq_rel); }
  void CountOut() { nesting_.fetch_sub(1, std::memory_order_acq_rel); }
  bool Initialised() const { return initialised_.load(std::memory_order_acquire); }
  // How often the calling thread has entered the lock (tests of the hold count of a step).
  static std::uint64_t EntriesOnThisThread();

 private:
  CRITICAL_SECTION section_;
  std::atomic<int> nesting_{0};
  std::atomic<bool> initialised_{false};
};

WayTableLockType& WayTableLock();

// Holds the way-table lock for a scope.
class WayTableGuard {
 public:
  WayTableGuard() { WayTableLock().Enter(); }
  ~WayTableGuard() { WayTableLock().Leave(); }
  WayTableGuard(const WayTableGuard&) = delete;
  WayTableGuard& operator=(const WayTableGuard&) = delete;
};

// The trace gate: a way thread that prints a chat line in several pieces waits
// (10 ms steps) until nobody holds the lock, then counts itself in for the
// scope, so that no table scan interleaves its trace with the pieces. It never
// enters the critical section; a holder that never leaves delays it only for
// kTraceGateLimitMs.
class WayTableTraceGate {
 public:
  static constexpr unsigned kTraceGateStepMs = 10;
  static constexpr unsigned kTraceGateLimitMs = 2'000;

  WayTableTraceGate();
  ~WayTableTraceGate() { WayTableLock().CountOut(); }
  WayTableTraceGate(const WayTableTraceGate&) = delete;
  WayTableTraceGate& operator=(const WayTableTraceGate&) = delete;
};
