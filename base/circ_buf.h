// A lock object that some ring owners keep beside their ring, and the
// non-waiting ring operations that go with it. While the lock is not enabled
// Enter and Leave do nothing, so a ring user may run before it exists and after it is gone.
#pragma once

#include <atomic>

#include "base/byte_ring.h"
#include "base/lock_holder.h"
#include "win/sync.h"

class CCircBuf {
 public:
  CCircBuf* Init();
  void Delete();
  void Enter();
  void Leave();
  bool Enabled() const { return enabled_.load(std::memory_order_acquire); }

  // Next byte (0..255), or RING_EMPTY.
  static DWORD ReadByte(ByteRing& ring);
  static DWORD WriteBytes(ByteRing& ring, const std::uint8_t* data, std::uint32_t n);
  static DWORD Write(ByteRing& ring, const std::uint8_t* data, std::uint32_t n);
  static DWORD WriteByte(ByteRing& ring, std::uint8_t byte);
  static std::uint32_t FreePercent(const ByteRing& ring);

 private:
  CRITICAL_SECTION lock_;
  std::atomic<bool> enabled_{false};
  // Enter/Leave pairs must match per thread even when the lock is disabled in between.
  LockHolder holder_;
};
