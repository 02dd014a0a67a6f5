#include "net/way_table_lock.h"

#include "win/clock.h"

void WayTableLockType::Init() {
  InitializeCriticalSection(&section_);
  nesting_.store(0);
  initialised_.store(true, std::memory_order_release);
}

namespace {
thread_local std::uint64_t t_entries = 0;
}  // namespace

void WayTableLockType::Enter() {
  EnterCriticalSection(&section_);
  nesting_.fetch_add(1, std::memory_order_acq_rel);
  ++t_entries;
}

std::uint64_t WayTableLockType::EntriesOnThisThread() { return t_entries; }

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
