// The way table: allocation, clearing and look-ups under the lock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>

#include "base/thread_messages.h"
#include "net/way_ids.h"
#include "net/way_record.h"
#include "test_way.h"

namespace {

class WayTableTest : public WayTest {};

TEST_F(WayTableTest, AllocatesFromWayZeroUpAndRefusesTheFiftyFirst) {
  WayTableGuard guard;
  for (std::int32_t expected = 0; expected < kPeerWayCount; ++expected) {
    ASSERT_EQ(AllocatePeerWay(nullptr), expected);
    EXPECT_NE(WayTable()[static_cast<std::size_t>(expected)].stateFlags & kWayAllocated, 0u);
  }
  EXPECT_EQ(AllocatePeerWay("LATE"), -1);
  for (const WayRecord& record : WayTable()) EXPECT_EQ(FieldText(record.callsign), "");
  EXPECT_EQ(WayTableLock().Nesting(), 1);
}

TEST_F(WayTableTest, AllocationTakesTheFirstFreedRecordAndCutsTheCallsign) {
  WayTableGuard guard;
  for (int i = 0; i < 5; ++i) ASSERT_EQ(AllocatePeerWay(nullptr), i);
  ClearWayRecord(2, "TEST");
  EXPECT_EQ(AllocatePeerWay("ABCDEFGHIJKLMNOPQRST"), 2);
  EXPECT_EQ(FieldText(WayTable()[2].callsign), "ABCDEFGHIJKLMNO") << "15 characters and the terminator";
  EXPECT_EQ(AllocatePeerWay("NEXT"), 5);
}

TEST_F(WayTableTest, ClearKeepsTheWayObjectTheAiFlagsAndTheSimulatorBlock) {
  auto* fakeWay = reinterpret_cast<COrvSok*>(0x1000);
  WayRecord& record = WayTable()[7];
  {
    WayTableGuard guard;
    record.way = fakeWay;
    record.stateFlags = kWayAllocated | kWayInvisible | kWayRecreateAi | kWayAiRemovalRequested | kWayAiAddPending;
    CopyToField(record.callsign, "PEER7");
    CopyToField(record.outgoingText, "hello");
    record.peerKind = 'P';
    record.peerAddress = 0x0100007F;
    record.position.latitude = 48.5;
    record.aiObjectId = 12;
    record.simObjectBlock.fill(0x5A);
  }
  ClearWayRecord(7, "TEST");
  WayTableGuard guard;
  WayRecord expected{};
  expected.way = fakeWay;
  expected.stateFlags = kWayRecreateAi | kWayAiRemovalRequested;
  expected.simObjectBlock.fill(0x5A);
  // Field by field: a struct compare would also compare padding.
  EXPECT_EQ(record.way, expected.way);
  EXPECT_EQ(record.stateFlags, expected.stateFlags);
  EXPECT_EQ(record.simObjectBlock, expected.simObjectBlock);
  EXPECT_EQ(FieldText(record.callsign), "");
  EXPECT_EQ(FieldText(record.outgoingText), "");
  EXPECT_EQ(record.peerKind, 0);
  EXPECT_EQ(record.peerAddress, 0u);
  EXPECT_EQ(record.position.latitude, 0.0);
  EXPECT_EQ(record.aiObjectId, 0);
}

TEST_F(WayTableTest, ANewPilotOfTheRecordDoesNotInheritTheLastOnesRemovalRequest) {
  WayRecord& record = WayTable()[0];
  {
    WayTableGuard guard;
    record.stateFlags = kWayAllocated | kWayRecreateAi | kWayAiRemovalRequested;
  }
  ClearWayRecord(0, "TEST");
  WayTableGuard guard;
  ASSERT_EQ(AllocatePeerWay("NEXT"), 0);
  EXPECT_EQ(record.stateFlags, kWayAllocated | kWayRecreateAi);
}

TEST_F(WayTableTest, WaysOutsideTheTableOnlyTakeTheLock) {
  {
    WayTableGuard guard;
    for (int i = 0; i < kPeerWayCount; ++i) ASSERT_EQ(AllocatePeerWay("X"), i);
  }
  for (const std::int32_t way : {kPeerWayCount, kPeerWayCount + 1, -1, WAYID_NODE, WAYID_XPLANE_LINK}) {
    ClearWayRecord(way, "TEST");
    EXPECT_EQ(WayTableLock().Nesting(), 0) << way;
    EXPECT_EQ(PeerWayRecord(way), nullptr) << way;
  }
  WayTableGuard guard;
  for (const WayRecord& record : WayTable()) EXPECT_NE(record.stateFlags & kWayAllocated, 0u);
}

TEST_F(WayTableTest, AClearOfAnAllocationLeavesTheNextAllocationAlone) {
  std::uint32_t first = 0;
  {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay("FIRST"), 0);
    first = WayAllocationOf(0);
  }
  EXPECT_TRUE(ClearWayRecordOf(0, first, "TEST"));
  EXPECT_EQ(WayAllocationOf(0), first) << "a clear keeps the count";
  {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay("SECOND"), 0);
  }
  EXPECT_EQ(WayAllocationOf(0), first + 1);
  // The end of the first link clears again: the second caller keeps his record.
  EXPECT_FALSE(ClearWayRecordOf(0, first, "TEST"));
  {
    WayTableGuard guard;
    EXPECT_NE(WayTable()[0].stateFlags & kWayAllocated, 0u);
    EXPECT_EQ(FieldText(WayTable()[0].callsign), "SECOND");
  }
  EXPECT_TRUE(ClearWayRecordOf(0, first + 1, "TEST"));
  WayTableGuard guard;
  EXPECT_EQ(WayTable()[0].stateFlags & kWayAllocated, 0u);
  EXPECT_EQ(FieldText(WayTable()[0].callsign), "");
  EXPECT_EQ(WayTableLock().Nesting(), 1);
  for (const std::int32_t way : {kPeerWayCount, -1, WAYID_NODE}) {
    EXPECT_EQ(WayAllocationOf(way), 0u) << way;
    EXPECT_FALSE(ClearWayRecordOf(way, 0, "TEST")) << way;
  }
}

TEST_F(WayTableTest, CallsignLookupIsExactAndSeesOnlyAllocatedRecords) {
  {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay("ABC"), 0);
    ASSERT_EQ(AllocatePeerWay("ABCD"), 1);
    CopyToField(WayTable()[2].callsign, "FREE");  // not allocated
  }
  struct Case {
    const char* callsign;
    std::int32_t way;
  };
  for (const Case& c : {Case{"ABC", 0}, Case{"ABCD", 1}, Case{"AB", -1}, Case{"ABCDE", -1}, Case{"abc", -1},
                        Case{"FREE", -1}, Case{"", -1}}) {
    EXPECT_EQ(LookupWayByCallsign(c.callsign), c.way) << c.callsign;
  }
  EXPECT_EQ(WayTableLock().Nesting(), 0);
}

TEST_F(WayTableTest, PeerNameLookupSeesOnlyAllocatedTunnels) {
  {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay(nullptr), 0);
    ASSERT_EQ(AllocatePeerWay(nullptr), 1);
    CopyToField(WayTable()[1].tunnelPeerName, "REQ1");
    CopyToField(WayTable()[3].tunnelPeerName, "OLD");  // not allocated
  }
  EXPECT_EQ(LookupWayByPeerName("REQ1"), 1);
  EXPECT_EQ(LookupWayByPeerName("REQ"), -2) << "no way carries that name";
  EXPECT_EQ(LookupWayByPeerName("OLD"), -2);
  EXPECT_EQ(LookupWayByPeerName(""), -1) << "an empty name names no tunnel";
  ClearWayRecord(1, "TEST");
  EXPECT_EQ(LookupWayByPeerName("REQ1"), -2) << "a cleared way forgets its tunnel";
  EXPECT_EQ(WayTableLock().Nesting(), 0);
}

TEST_F(WayTableTest, TheTraceGateWaitsForTheHolderAndCountsItself) {
  std::atomic<bool> inside{false};
  std::atomic<int> nestingInside{0};
  std::thread writer;
  {
    WayTableGuard guard;
    writer = std::thread([&] {
      WayTableTraceGate gate;
      nestingInside = WayTableLock().Nesting();
      inside = true;
    });
    TestWay::WaitFor(100, [] { return false; });
    EXPECT_FALSE(inside.load()) << "the gate waits while the lock is held";
  }
  writer.join();
  EXPECT_TRUE(inside.load());
  EXPECT_EQ(nestingInside.load(), 1) << "counted in, without the critical section";
  EXPECT_EQ(WayTableLock().Nesting(), 0) << "and out again";
}

}  // namespace

namespace {

// Fills a way's queue until not even a bare message fits in it.
void FillQueue(TestWay& way) {
  const std::vector<char> payload(512, 'q');
  while (way.QueueFree() > 512 + 128) {
    ASSERT_EQ(CBaseThread::PostData(nullptr, &way, THRDMSG_WAY_TEST, 0, 512, payload.data(), "FILL"), 1);
  }
  // A bare message takes its prefix word and the message words.
  while (way.QueueFree() >= kDMessageSize + 4) {
    ASSERT_EQ(CBaseThread::Post(nullptr, &way, THRDMSG_WAY_TEST, 0, 0, "FILL"), 1);
  }
}

// A way whose thread is held, with a full queue: whoever posts to it waits.
TEST_F(WayTableTest, AllocationUnderTheLockNeverWaitsForRoomInTheWaysQueue) {
  TestWay way(0);
  ASSERT_TRUE(way.Start(4096));
  std::promise<void> release;
  std::shared_future<void> held = release.get_future().share();
  std::promise<void> entered;
  auto busy = std::async(std::launch::async, [&] {
    return way.RunOnThread([&entered, held] {
      entered.set_value();
      held.wait();
      return 0;
    });
  });
  entered.get_future().wait();
  FillQueue(way);
  auto allocation = std::async(std::launch::async, [] {
    WayTableGuard guard;
    return AllocatePeerWay("FULLQ");
  });
  const bool done = allocation.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  release.set_value();
  busy.get();
  ASSERT_TRUE(done) << "AllocatePeerWay waited for the way's queue while holding the way-table lock";
  EXPECT_EQ(allocation.get(), 0);
  // The way takes its allocation on its own thread all the same.
  way.RunOnThread([] { return 0; });
  EXPECT_EQ(way.RunOnThread([&] { return way.SleepCountdown(); }), 0);
}

}  // namespace
