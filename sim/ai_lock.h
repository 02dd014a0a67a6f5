// The lock of the AI traffic code: held around every add of an AI aircraft,
// by the remote pilots' model choice, the remote rule appliers, the plug-in
// link's model-slot handling and the swap of a rebuilt model table, with a
// nesting counter as the way-table lock has. Where the way-table lock is
// needed too, AiLock is taken first.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

class AiLockType {
 public:
  // The staged start-up's reset of the nesting counter; the lock itself is
  // usable from its construction, so that no early caller meets it unmade.
  void Init();
  void Enter();
  void Leave();
  int Nesting() const { return nesting_.load(std::memory_order_acquire); }

  // Tests: `entered` runs just after the lock is first entered and `leaving`
  // just before it is last left, on the holding thread with the lock held, so
  // that a test sees what a held section read or wrote. Empty hooks remove them.
  void SetHeldHooksForTest(std::function<void()> entered, std::function<void()> leaving);

 private:
  std::recursive_mutex mutex_;
  std::atomic<int> nesting_{0};
  std::function<void()> entered_;  // both under mutex_
  std::function<void()> leaving_;
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
using AiLockGuard = AiGuard;
