// The lock of the AI traffic code: held by the remote pilots' model choice,
// the remote rule appliers, the plug-in link's model-slot handling and the
// swap of a rebuilt model table. Where the way-table lock is needed too,
// AiLock is taken first.
#pragma once

#include <atomic>

#include "win/sync.h"

class AiLockType {
 public:
  void Init();
  void Enter();
  void Leave();
  int Nesting() const { return nesting_.load(std::memory_order_acquire); }

 private:
  CRITICAL_SECTION section_;
  std::atomic<int> nesting_{0};
};

AiLockType& AiLock();

// Holds AiLock for a scope.
class AiGuard {
 public:
  AiGuard() { AiLock().Enter(); }
  ~AiGuard() { AiLock().Leave(); }
  AiGuard(const AiGuard&) = delete;
  AiGuard& operator=(const AiGuard&) = delete;
};
