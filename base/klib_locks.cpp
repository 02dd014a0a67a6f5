#include "base/klib_locks.h"

#include <array>
#include <cstddef>

KlibLock& GetKlibLock(KlibLockId id) {
  // Never destroyed: threads that are not joined may still reach for a lock at exit.
  static auto* locks = new std::array<KlibLock, static_cast<std::size_t>(KlibLockId::Count)>();
  return (*locks)[static_cast<std::size_t>(id)];
}
