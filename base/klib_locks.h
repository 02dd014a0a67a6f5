// The five library-wide locks. Each has a usable flag: while it is clear the
// lock is neither entered nor left, so that users that run before KlibInit or
// after KlibShutdown skip it. The lock objects themselves are never destroyed.
#pragma once

#include <atomic>

#include "win/sync.h"

enum class KlibLockId { TraceRing = 0, LogFile, Compression, Decompression, TrustedList, Count };

class KlibLock {
 public:
  void Create() { usable_.store(true, std::memory_order_release); }
  void Delete() { usable_.store(false, std::memory_order_release); }
  bool Usable() const { return usable_.load(std::memory_order_acquire); }

  // True when the lock was entered; only then may the caller Leave it.
  bool Enter() {
    if (!Usable()) return false;
    EnterCriticalSection(&section_);
    return true;
  }
  void Leave() { LeaveCriticalSection(&section_); }

 private:
  CRITICAL_SECTION section_;
  std::atomic<bool> usable_{false};
};

KlibLock& GetKlibLock(KlibLockId id);

// Holds a library lock for a scope, when it is usable.
class KlibLockGuard {
 public:
  explicit KlibLockGuard(KlibLockId id) : lock_(GetKlibLock(id)), entered_(lock_.Enter()) {}
  ~KlibLockGuard() {
    if (entered_) lock_.Leave();
  }
  KlibLockGuard(const KlibLockGuard&) = delete;
  KlibLockGuard& operator=(const KlibLockGuard&) = delete;

 private:
  KlibLock& lock_;
  bool entered_;
};
