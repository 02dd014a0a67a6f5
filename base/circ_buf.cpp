#include "base/circ_buf.h"

CCircBuf* CCircBuf::Init() {
  InitializeCriticalSection(&lock_);
  enabled_.store(true, std::memory_order_release);
  return this;
}

void CCircBuf::Delete() {
  enabled_.store(false, std::memory_order_release);
  DeleteCriticalSection(&lock_);
}

void CCircBuf::Enter() {
  if (!Enabled()) return;
  EnterCriticalSection(&lock_);
  held_.fetch_add(1, std::memory_order_relaxed);
}

void CCircBuf::Leave() {
  // Leave only what was entered, even if the lock was disabled meanwhile.
  int held = held_.load(std::memory_order_relaxed);
  while (held > 0 && !held_.compare_exchange_weak(held, held - 1, std::memory_order_relaxed)) {
  }
  if (held > 0) LeaveCriticalSection(&lock_);
}

DWORD CCircBuf::ReadByte(ByteRing& ring) {
  std::uint8_t byte = 0;
  if (RingRead(ring, &byte, 1) != RING_OK) return RING_EMPTY;
  return byte;
}

DWORD CCircBuf::WriteBytes(ByteRing& ring, const std::uint8_t* data, std::uint32_t n) {
  return RingWriteNoWait(ring, data, n);
}

DWORD CCircBuf::Write(ByteRing& ring, const std::uint8_t* data, std::uint32_t n) {
  return RingWriteNoWait(ring, data, n);
}

DWORD CCircBuf::WriteByte(ByteRing& ring, std::uint8_t byte) { return RingWriteNoWait(ring, &byte, 1); }

std::uint32_t CCircBuf::FreePercent(const ByteRing& ring) {
  if (ring.capacity == 0) return 0;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(RingFree(ring)) * 100 / ring.capacity);
}
