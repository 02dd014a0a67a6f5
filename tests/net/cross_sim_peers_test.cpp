// The pilot ways as the offsets see them, over real loopback links: only
// pilots whose link is up are told of changed offsets or asked for a heading.
#include "net/cross_sim_peers.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <mutex>
#include <vector>

#include "core/cross_sim_offsets.h"
#include "core/sim_family.h"
#include "net/listener.h"
#include "net/way_ids.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "test_way.h"
#include "testbed/loopback_peer.h"

namespace {

constexpr int kWaitMs = 5'000;

// Records the sub-codes of the THRDMSG_SIMPILOT messages it is posted.
class OffsetsWay : public TestWay {
 public:
  using TestWay::TestWay;
  // Its thread calls HandleSimPilotMessage: it stops before this object's members go.
  ~OffsetsWay() override { Stop(); }
  std::vector<std::uint32_t> SubCodes() {
    std::lock_guard lock(mutex_);
    return subCodes_;
  }

 protected:
  DWORD HandleSimPilotMessage(const DMessage& message) override {
    std::lock_guard lock(mutex_);
    subCodes_.push_back(message.param);
    return 1;
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> subCodes_;
};

class CrossSimPeersTest : public WayTest {
 protected:
  // Ways 0..3: 0 a linked pilot of X-Plane 10, 1 a linked controller, 2 a
  // pilot whose call has not come, 3 a linked pilot of X-Plane 10 too.
  void SetUp() override {
    WayTest::SetUp();
    for (int id = 0; id < 4; ++id) {
      ways_[id] = std::make_unique<OffsetsWay>(id);
      ASSERT_TRUE(ways_[id]->Start());
    }
    ASSERT_EQ(CreateListeningSocket(0), 0);
    listener_ = std::make_unique<Listener>();
    ASSERT_EQ(listener_->StartThread(1, 64 * 1024), 1);
    for (int id : {0, 1}) Call(id);
    {
      WayTableGuard guard;
      WayTable()[2].stateFlags |= kWayAllocated;  // keeps the listener off way 2
    }
    Call(3);
    const char kinds[] = {'P', 'A', 'P', 'P'};
    const std::int32_t codes[] = {10000, 10000, 10000, 10500};
    const float headings[] = {45.0F, 90.0F, 135.0F, 180.0F};
    WayTableGuard guard;
    for (int id = 0; id < 4; ++id) {
      ways_[id]->SetPeerKind(kinds[id]);
      WayTable()[id].simulatorCode = codes[id];
      WayTable()[id].position.heading = headings[id];
    }
  }
  void TearDown() override {
    CloseListeningSocket();
    listener_.reset();
    for (auto& way : ways_) way.reset();
    WayTest::TearDown();
  }
  void Call(int id) {
    ASSERT_TRUE(clients_[id].Connect(ListeningPort()));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return ways_[id]->IsConnected(); })) << id;
  }
  // Way `id` has served every message posted before this call.
  void Drain(int id) { ways_[id]->RunOnThread([] { return 0; }); }

  std::array<std::unique_ptr<OffsetsWay>, 4> ways_;
  std::array<LoopbackClient, 4> clients_;
  std::unique_ptr<Listener> listener_;
};

}  // namespace

TEST_F(CrossSimPeersTest, OnlyLinkedPilotsAreToldTheOffsetsChanged) {
  EXPECT_EQ(NotifyPeersOffsetsChanged(), 2);
  for (int id = 0; id < 4; ++id) Drain(id);
  EXPECT_EQ(ways_[0]->SubCodes(), std::vector<std::uint32_t>{kSimPilotOffsetsChanged});
  EXPECT_TRUE(ways_[1]->SubCodes().empty());
  EXPECT_TRUE(ways_[2]->SubCodes().empty());
  EXPECT_EQ(ways_[3]->SubCodes(), std::vector<std::uint32_t>{kSimPilotOffsetsChanged});
}

TEST_F(CrossSimPeersTest, TheFirstLinkedPilotOfTheFamilyGivesItsHeading) {
  EXPECT_EQ(FirstLinkedPilotHeading(10000), 45.0);
  EXPECT_EQ(FirstLinkedPilotHeading(2004), std::nullopt);

  // With way 0 gone, way 3 (10500 is X-Plane 10 as well) is the first; the
  // controller and the unlinked pilot never count.
  clients_[0].Close();
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !ways_[0]->IsConnected(); }));
  EXPECT_EQ(FirstLinkedPilotHeading(10000), 180.0);
  EXPECT_EQ(NotifyPeersOffsetsChanged(), 1);
}

// A pilot way shows its peer for the simulator installed here, whatever the
// edition's code on the wire: the row of the installed family's pair counts.
TEST_F(WayTest, APilotWayTakesThePairOfTheInstalledSimulator) {
  CrossSimOffsetTable table = DefaultCrossSimOffsetTable();
  for (CrossSimOffsetEntry& entry : table.entries) entry = {};
  table.entries[0] = {2004, 9000, 0.125, 0.0, 10.0F, 0.0F};
  table.entries[1] = {2004, 10000, 0.375, 0.0, 30.0F, 0.0F};
  SetCrossSimOffsets(table);
  TestWay way(6);
  {
    WayTableGuard guard;
    WayTable()[6].simulatorCode = 2004;
  }
  const struct {
    std::uint32_t handshake;  // 0: none yet
    double latitude;
    float altitude;
  } cases[] = {
      {0, -0.125, -10.0F},      // X-Plane 9 until the plug-in names another
      {10250, -0.375, -30.0F},  // X-Plane 10
      {12000, -0.375, -30.0F},  // no X-Plane family: the last one stays
      {9700, -0.125, -10.0F},
  };
  ResetLocalSimulatorFamily();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.handshake);
    if (c.handshake != 0) TakeInstalledSimulatorCode(c.handshake);
    way.UpdateSimPairOffsets();
    EXPECT_EQ(way.PairOffsets().latitude, c.latitude);
    EXPECT_EQ(way.PairOffsets().altitude, c.altitude);
  }
  ResetLocalSimulatorFamily();
  SetCrossSimOffsets(DefaultCrossSimOffsetTable());
  WayTableGuard guard;
  WayTable()[6] = WayRecord{};
}
