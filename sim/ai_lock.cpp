#include "sim/ai_lock.h"

void AiLockType::Init() { nesting_.store(0); }

void AiLockType::Enter() {
  mutex_.lock();
  nesting_.fetch_add(1, std::memory_order_acq_rel);
}

void AiLockType::Leave() {
  nesting_.fetch_sub(1, std::memory_order_acq_rel);
  mutex_.unlock();
}

AiLockType& AiLock() {
  // Never destroyed: way threads are not joined at exit.
  static auto* lock = new AiLockType();
  return *lock;
}
