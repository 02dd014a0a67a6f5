#include "base/byte_ring.h"

#include <algorithm>
#include <cstring>

#include "win/clock.h"

namespace {
constexpr DWORD kWaitStepMs = 100;
constexpr DWORD kWaitLimitMs = 10'000;
constexpr std::uint32_t kBlockMoveFrom = 17;

class SleepingWaiter final : public RingWaiter {
 public:
  void Wait(DWORD milliseconds) override { Sleep(milliseconds); }
};

std::uint32_t Advance(const ByteRing& ring, std::uint32_t position) {
  return position + 1 == ring.Size() ? 0 : position + 1;
}

std::uint32_t UsedBetween(const ByteRing& ring, std::uint32_t read, std::uint32_t write) {
  if (read == write) return 0;
  if (read < write) return write - read;
  return ring.capacity + 1 - (read - write);
}

// Copies after the write position, wrapping at the end of the storage.
void CopyIn(ByteRing& ring, const std::uint8_t* data, std::uint32_t n) {
  const std::uint32_t start = Advance(ring, ring.write.load(std::memory_order_relaxed));
  const std::uint32_t firstPart = std::min(n, ring.Size() - start);
  std::memcpy(ring.storage.data() + start, data, firstPart);
  if (firstPart < n) std::memcpy(ring.storage.data(), data + firstPart, n - firstPart);
  const std::uint32_t last = (start + n - 1) % ring.Size();
  ring.write.store(last, std::memory_order_release);
}

void CopyOut(ByteRing& ring, std::uint8_t* destination, std::uint32_t n) {
  const std::uint32_t start = Advance(ring, ring.read.load(std::memory_order_relaxed));
  if (destination != nullptr) {
    const std::uint32_t firstPart = std::min(n, ring.Size() - start);
    std::memcpy(destination, ring.storage.data() + start, firstPart);
    if (firstPart < n) std::memcpy(destination + firstPart, ring.storage.data(), n - firstPart);
  }
  ring.read.store((start + n - 1) % ring.Size(), std::memory_order_release);
}

// Tests the room every 100 ms for 10 s; true when the block fits.
bool WaitForRoom(ByteRing& ring, std::uint32_t n, RingWaiter& waiter) {
  for (DWORD waited = 0; n > RingFree(ring);) {
    waiter.Wait(kWaitStepMs);
    waited += kWaitStepMs;
    if (waited >= kWaitLimitMs) return false;
  }
  return true;
}
}  // namespace

RingWaiter& DefaultRingWaiter() {
  static SleepingWaiter* waiter = new SleepingWaiter();
  return *waiter;
}

void RingInit(ByteRing& ring, std::uint32_t size) {
  if (size == 0 || size > ring.storage.size()) size = static_cast<std::uint32_t>(ring.storage.size());
  ring.storage = ring.storage.first(size);
  ring.capacity = size == 0 ? 0 : size - 1;
  ring.read.store(0, std::memory_order_relaxed);
  ring.write.store(0, std::memory_order_release);
}

void RingInit(ByteRing& ring, std::span<std::uint8_t> storage) {
  ring.storage = storage;
  RingInit(ring, static_cast<std::uint32_t>(storage.size()));
}

void RingReset(ByteRing& ring) {
  ring.read.store(0, std::memory_order_relaxed);
  ring.write.store(0, std::memory_order_release);
}

std::uint32_t RingUsed(const ByteRing& ring) {
  return UsedBetween(ring, ring.read.load(std::memory_order_acquire), ring.write.load(std::memory_order_acquire));
}

std::uint32_t RingFree(const ByteRing& ring) { return ring.capacity - RingUsed(ring); }

DWORD RingRead(ByteRing& ring, std::uint8_t* destination, std::uint32_t n) {
  if (n == 0) return RING_EMPTY;
  if (n > RingUsed(ring)) return RING_SHORT;
  CopyOut(ring, destination, n);
  return RING_OK;
}

void ZeroBytes(void* pointer, std::size_t n) {
  if (pointer != nullptr && n != 0) std::memset(pointer, 0, n);
}

DWORD RingWriteNoWait(ByteRing& ring, const std::uint8_t* data, std::uint32_t n) {
  if (n == 0) return RING_EMPTY;
  if (data == nullptr) return RING_NULL_BUFFER;
  if (n > RingFree(ring)) return RING_NO_ROOM;
  CopyIn(ring, data, n);
  return RING_OK;
}

DWORD RingWriteWait(ByteRing& ring, const std::uint8_t* data, std::uint32_t n, RingWaiter& waiter) {
  if (n == 0) return RING_EMPTY;
  if (!WaitForRoom(ring, n, waiter)) return RING_NO_ROOM;
  return RingWriteNoWait(ring, data, n);
}

DWORD RingWriteWaitFast(ByteRing& ring, const std::uint8_t* data, std::uint32_t n, RingWaiter& waiter) {
  if (n >= kBlockMoveFrom) return RingWriteWait(ring, data, n, waiter);
  for (DWORD slept = 0;; slept += kWaitStepMs) {
    const DWORD status = RingWriteWait(ring, data, n, waiter);
    if ((status & 0xFFFF) != RING_NO_ROOM) return status;
    waiter.Wait(kWaitStepMs);
    if (slept + kWaitStepMs >= kWaitLimitMs) return RING_NO_ROOM;
  }
}

DWORD RingWriteByteWait(ByteRing& ring, std::uint8_t byte, RingWaiter& waiter) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (RingWriteNoWait(ring, &byte, 1) == RING_OK) return RING_OK;
    waiter.Wait(kWaitStepMs);
  }
  return RING_NO_ROOM;
}
