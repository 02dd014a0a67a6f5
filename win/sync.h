// Critical sections: recursive mutexes with the Windows call names.
#pragma once

#include <mutex>

struct CRITICAL_SECTION {
  std::recursive_mutex mutex;
};

inline void InitializeCriticalSection(CRITICAL_SECTION*) {}
// The mutex lives as long as its owner object, so a late user never touches freed memory.
inline void DeleteCriticalSection(CRITICAL_SECTION*) {}
// Spins a little before it sleeps, as a Windows critical section with a spin
// count: the way table is held for a few field copies at a time by many
// threads, and a holder that leaves within the spin costs neither a sleep nor
// a wake-up.
inline constexpr int kCriticalSectionSpins = 200;
inline void EnterCriticalSection(CRITICAL_SECTION* cs) {
  for (int i = 0; i < kCriticalSectionSpins; ++i) {
    if (cs->mutex.try_lock()) return;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  cs->mutex.lock();
}
inline void LeaveCriticalSection(CRITICAL_SECTION* cs) { cs->mutex.unlock(); }
inline bool TryEnterCriticalSection(CRITICAL_SECTION* cs) { return cs->mutex.try_lock(); }

// Holds a critical section for a scope.
class CriticalSectionGuard {
 public:
  explicit CriticalSectionGuard(CRITICAL_SECTION& cs) : cs_(cs) { EnterCriticalSection(&cs_); }
  ~CriticalSectionGuard() { LeaveCriticalSection(&cs_); }
  CriticalSectionGuard(const CriticalSectionGuard&) = delete;
  CriticalSectionGuard& operator=(const CriticalSectionGuard&) = delete;

 private:
  CRITICAL_SECTION& cs_;
};
