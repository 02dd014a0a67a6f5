// The lock of the AI traffic: held around every add of an AI aircraft, with a
// nesting counter as the way-table lock has. Whoever holds both takes this one
// first, then the way-table lock.
#pragma once

#include <atomic>
#include <mutex>

class AiLockType {
 public:
  void Enter();
  void Leave();
  int Nesting() const { return nesting_.load(std::memory_order_acquire); }

 private:
  std::recursive_mutex mutex_;
  std::atomic<int> nesting_{0};
};

AiLockType& AiLock();

class AiLockGuard {
 public:
  AiLockGuard() { AiLock().Enter(); }
  ~AiLockGuard() { AiLock().Leave(); }
  AiLockGuard(const AiLockGuard&) = delete;
  AiLockGuard& operator=(const AiLockGuard&) = delete;
};
