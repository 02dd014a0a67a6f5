#include "sim/ai_lock.h"

#include <utility>

void AiLockType::Init() { nesting_.store(0); }

void AiLockType::Enter() {
  mutex_.lock();
  if (nesting_.fetch_add(1, std::memory_order_acq_rel) == 0 && entered_) entered_();
}

void AiLockType::Leave() {
  if (nesting_.load(std::memory_order_acquire) == 1 && leaving_) leaving_();
  nesting_.fetch_sub(1, std::memory_order_acq_rel);
  mutex_.unlock();
}

void AiLockType::SetHeldHooksForTest(std::function<void()> entered, std::function<void()> leaving) {
  std::lock_guard lock(mutex_);
  entered_ = std::move(entered);
  leaving_ = std::move(leaving);
}

AiLockType& AiLock() {
  // Never destroyed: way threads are not joined at exit.
  static auto* lock = new AiLockType();
  return *lock;
}
