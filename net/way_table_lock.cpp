#include "net/way_table_lock.h"

#include "win/clock.h"

void WayTableLockType::Init() {
  InitializeCriticalSection(&section_);
  nesting_.store(0);
  initialised_.store(true, std::memory_order_release);
}

void WayTableLockType::Enter() {
  EnterCriticalSection(&section_);
  nesting_.fetch_add(1, std::memory_order_acq_rel);
}

void WayTableLockType::Leave() {
  nesting_.fetch_sub(1, std::memory_order_acq_rel);
  LeaveCriticalSection(&section_);
}

WayTableLockType& WayTableLock() {
  // Never destroyed: way threads are not joined at exit.
  static auto* lock = new WayTableLockType();
  return *lock;
}

WayTableTraceGate::WayTableTraceGate() {
  for (unsigned waited = 0; WayTableLock().Nesting() != 0 && waited < kTraceGateLimitMs; waited += kTraceGateStepMs) {
    Sleep(kTraceGateStepMs);
  }
  WayTableLock().CountIn();
}
