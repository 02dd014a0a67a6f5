// The circular byte buffer behind thread queues, socket rings, the trace ring,
// the delayed-event queue and the voice FIFO. It knows no lock and no message
// boundaries; its owner decides both. One byte always stays free, so that
// read == write means empty.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>

#include "win/types.h"

constexpr DWORD RING_OK = 0x6600;
constexpr DWORD RING_NO_ROOM = 0xAA00;
constexpr DWORD RING_EMPTY = 0x5555;
constexpr DWORD RING_SHORT = 0x7711;
constexpr DWORD RING_TOO_LARGE = 0x8823;
constexpr DWORD RING_NULL_BUFFER = 0xBB00;
constexpr DWORD RING_ZERO_LENGTH = 0xDD00;

// Positions are indices into the storage: read is the last byte read, write the
// last byte written. They are published with release and read with acquire, so
// a lock-free single reader never sees a position before the bytes behind it.
struct ByteRing {
  std::span<std::uint8_t> storage;  // set by the owner before RingInit, kept for resets
  std::atomic<std::uint32_t> read{0};
  std::atomic<std::uint32_t> write{0};
  std::uint32_t capacity = 0;  // storage size minus 1

  std::uint32_t Size() const { return capacity + 1; }
};

// Uses the first `size` bytes of the ring's storage (the whole storage when size is 0).
void RingInit(ByteRing& ring, std::uint32_t size);
void RingInit(ByteRing& ring, std::span<std::uint8_t> storage);
void RingReset(ByteRing& ring);
std::uint32_t RingUsed(const ByteRing& ring);
std::uint32_t RingFree(const ByteRing& ring);
// Copies n bytes out (a null destination drops them); whole or nothing.
DWORD RingRead(ByteRing& ring, std::uint8_t* destination, std::uint32_t n);
void ZeroBytes(void* pointer, std::size_t n);

// How waiting writes wait; tests replace it so that a 10 s limit costs no real time.
class RingWaiter {
 public:
  virtual ~RingWaiter() = default;
  virtual void Wait(DWORD milliseconds) = 0;
};
RingWaiter& DefaultRingWaiter();

// Waiting writes: retry every 100 ms; give up with RING_NO_ROOM after 10,000 ms.
DWORD RingWriteWait(ByteRing& ring, const std::uint8_t* data, std::uint32_t n, RingWaiter& waiter = DefaultRingWaiter());
DWORD RingWriteWaitFast(ByteRing& ring, const std::uint8_t* data, std::uint32_t n,
                        RingWaiter& waiter = DefaultRingWaiter());
DWORD RingWriteByteWait(ByteRing& ring, std::uint8_t byte, RingWaiter& waiter = DefaultRingWaiter());

// Non-waiting write used by all the writers above once the room test passed.
DWORD RingWriteNoWait(ByteRing& ring, const std::uint8_t* data, std::uint32_t n);
