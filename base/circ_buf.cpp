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
  holder_.Entered();
}

void CCircBuf::Leave() {
  // Leave only what this thread entered, even if the lock was disabled meanwhile.
  if (holder_.Leaving()) LeaveCriticalSection(&lock_);
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
