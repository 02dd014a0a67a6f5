// The lock of the way table, with its nesting counter (also the trace gate of
// way threads that print a chat line in several pieces).
#pragma once

#include <atomic>

#include "win/sync.h"

class WayTableLockType {
 public:
  void Init();
  void Enter();
  void Leave();
  int Nesting() const { return nesting_.load(std::memory_order_acquire); }
  bool Initialised() const { return initialised_.load(std::memory_order_acquire); }

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
