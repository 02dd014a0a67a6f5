#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <vector>

#include "base/byte_ring.h"
#include "base/circ_buf.h"

namespace {
// Counts the waits instead of sleeping through them.
class CountingWaiter final : public RingWaiter {
 public:
  void Wait(DWORD milliseconds) override {
    ++waits;
    waitedMs += milliseconds;
  }
  int waits = 0;
  DWORD waitedMs = 0;
};

struct Ring {
  explicit Ring(std::uint32_t size) : storage(size + 16) { RingInit(ring, std::span(storage.data(), size)); }
  std::vector<std::uint8_t> storage;
  ByteRing ring;
};

std::vector<std::uint8_t> Bytes(std::uint32_t n, std::uint8_t first = 1) {
  std::vector<std::uint8_t> v(n);
  std::iota(v.begin(), v.end(), first);
  return v;
}
}  // namespace

TEST(ByteRing, SizeTenHoldsNineBytes) {
  Ring r(10);
  const std::uint8_t b = 7;
  for (int i = 0; i < 9; ++i) EXPECT_EQ(CCircBuf::WriteByte(r.ring, b), RING_OK) << i;
  EXPECT_EQ(CCircBuf::WriteByte(r.ring, b), RING_NO_ROOM);
  EXPECT_EQ(RingFree(r.ring), 0u);
  EXPECT_EQ(CCircBuf::ReadByte(r.ring), 7u);
  EXPECT_EQ(CCircBuf::WriteByte(r.ring, b), RING_OK);
}

TEST(ByteRing, ShortReadLeavesBytesAndNullDrops) {
  Ring r(10);
  const auto data = Bytes(3);
  ASSERT_EQ(CCircBuf::Write(r.ring, data.data(), 3), RING_OK);
  std::array<std::uint8_t, 5> out{};
  EXPECT_EQ(RingRead(r.ring, out.data(), 5), RING_SHORT);
  EXPECT_EQ(RingUsed(r.ring), 3u);
  EXPECT_EQ(RingRead(r.ring, out.data(), 0), RING_EMPTY);
  EXPECT_EQ(RingRead(r.ring, nullptr, 2), RING_OK);
  EXPECT_EQ(CCircBuf::ReadByte(r.ring), 3u);
  EXPECT_EQ(CCircBuf::ReadByte(r.ring), RING_EMPTY);
}

TEST(ByteRing, WrappingWritesAndReadsKeepOrder) {
  Ring r(16);
  std::uint8_t next = 0;
  std::uint8_t expected = 0;
  // Blocks of sizes on both sides of the block-move threshold walk the positions round the ring.
  for (std::uint32_t round = 0; round < 200; ++round) {
    const std::uint32_t n = 1 + round % 15;
    std::vector<std::uint8_t> block(n);
    for (auto& b : block) b = next++;
    ASSERT_EQ(CCircBuf::Write(r.ring, block.data(), n), RING_OK);
    std::vector<std::uint8_t> out(n);
    ASSERT_EQ(RingRead(r.ring, out.data(), n), RING_OK);
    for (auto b : out) ASSERT_EQ(b, expected++);
  }
}

TEST(ByteRing, ExactFreeCountFillsRingOneMoreIsRefused) {
  Ring r(32);
  auto data = Bytes(20);
  ASSERT_EQ(CCircBuf::Write(r.ring, data.data(), 20), RING_OK);
  ASSERT_EQ(RingRead(r.ring, nullptr, 20), RING_OK);  // positions now mid-ring
  data = Bytes(32);
  EXPECT_EQ(CCircBuf::Write(r.ring, data.data(), 32), RING_NO_ROOM);
  EXPECT_EQ(RingUsed(r.ring), 0u);
  ASSERT_EQ(CCircBuf::Write(r.ring, data.data(), 31), RING_OK);
  EXPECT_EQ(RingFree(r.ring), 0u);
  EXPECT_EQ((r.ring.write.load() + 1) % 32, r.ring.read.load());
  std::vector<std::uint8_t> out(31);
  ASSERT_EQ(RingRead(r.ring, out.data(), 31), RING_OK);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), data.begin()));
}

TEST(ByteRing, FreePercent) {
  Ring r(101);
  EXPECT_EQ(CCircBuf::FreePercent(r.ring), 100u);
  auto data = Bytes(25);
  CCircBuf::Write(r.ring, data.data(), 25);
  EXPECT_EQ(CCircBuf::FreePercent(r.ring), 75u);
  Ring one(1);
  EXPECT_EQ(one.ring.capacity, 0u);
  EXPECT_EQ(CCircBuf::FreePercent(one.ring), 0u);
}

TEST(ByteRing, ZeroLengthWritesAnswerEmpty) {
  Ring r(8);
  const std::uint8_t b = 1;
  EXPECT_EQ(CCircBuf::WriteBytes(r.ring, &b, 0), RING_EMPTY);
  CountingWaiter waiter;
  EXPECT_EQ(RingWriteWait(r.ring, &b, 0, waiter), RING_EMPTY);
  EXPECT_EQ(waiter.waits, 0);
}

TEST(ByteRing, WaitingWriteGivesUpAfterTenSecondsOfWaits) {
  Ring r(8);
  const auto data = Bytes(7);
  ASSERT_EQ(CCircBuf::Write(r.ring, data.data(), 7), RING_OK);
  CountingWaiter waiter;
  EXPECT_EQ(RingWriteWait(r.ring, data.data(), 1, waiter), RING_NO_ROOM);
  EXPECT_EQ(waiter.waits, 100);
  EXPECT_EQ(waiter.waitedMs, 10'000u);

  // More than the capacity is not refused early: it waits just as long.
  CountingWaiter tooLarge;
  const auto big = Bytes(100);
  Ring empty(8);
  EXPECT_EQ(RingWriteWait(empty.ring, big.data(), 100, tooLarge), RING_NO_ROOM);
  EXPECT_EQ(tooLarge.waits, 100);
}

TEST(ByteRing, FastWaitingWriteOfSmallBlockRetriesHundredTimes) {
  Ring r(8);
  const auto data = Bytes(7);
  ASSERT_EQ(CCircBuf::Write(r.ring, data.data(), 7), RING_OK);
  CountingWaiter waiter;
  EXPECT_EQ(RingWriteWaitFast(r.ring, data.data(), 16, waiter), RING_NO_ROOM);
  // 100 attempts, each a full 10 s wait followed by its own 100 ms sleep.
  EXPECT_EQ(waiter.waits, 100 * 100 + 100);

  CountingWaiter large;
  const auto block = Bytes(17);
  EXPECT_EQ(RingWriteWaitFast(r.ring, block.data(), 17, large), RING_NO_ROOM);
  EXPECT_EQ(large.waits, 100);
}

TEST(ByteRing, WaitingWriteSucceedsOnceReaderMakesRoom) {
  Ring r(8);
  const auto data = Bytes(7);
  ASSERT_EQ(CCircBuf::Write(r.ring, data.data(), 7), RING_OK);
  struct DrainingWaiter final : RingWaiter {
    ByteRing* ring = nullptr;
    int waits = 0;
    void Wait(DWORD) override {
      if (++waits == 3) RingRead(*ring, nullptr, 4);
    }
  } waiter;
  waiter.ring = &r.ring;
  EXPECT_EQ(RingWriteWait(r.ring, data.data(), 4, waiter), RING_OK);
  EXPECT_EQ(waiter.waits, 3);
  EXPECT_EQ(RingUsed(r.ring), 7u);
}

TEST(ByteRing, ByteWaitGivesUpAfterHundredAttempts) {
  Ring r(2);
  ASSERT_EQ(CCircBuf::WriteByte(r.ring, 1), RING_OK);
  CountingWaiter waiter;
  EXPECT_EQ(RingWriteByteWait(r.ring, 2, waiter), RING_NO_ROOM);
  EXPECT_EQ(waiter.waits, 100);
}

TEST(CCircBuf, LockIsSkippedWhileDisabled) {
  CCircBuf buf;
  buf.Enter();  // before Init: does nothing
  buf.Leave();
  EXPECT_EQ(buf.Init(), &buf);
  EXPECT_TRUE(buf.Enabled());
  buf.Enter();
  buf.Leave();
  buf.Delete();
  EXPECT_FALSE(buf.Enabled());
  buf.Enter();
  buf.Leave();
}
