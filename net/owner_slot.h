// The global that refers to a way (its owner slot) is written by the thread
// that creates the way and cleared by the main worker when the way's thread
// ends, while other threads read it: every access to such a global goes
// through these two calls, so that each is atomic.
#pragma once

#include <atomic>

class CBaseThread;

inline CBaseThread* LoadOwnerSlot(CBaseThread*& slot) {
  return std::atomic_ref<CBaseThread*>(slot).load(std::memory_order_acquire);
}

inline void StoreOwnerSlot(CBaseThread*& slot, CBaseThread* value) {
  std::atomic_ref<CBaseThread*>(slot).store(value, std::memory_order_release);
}
