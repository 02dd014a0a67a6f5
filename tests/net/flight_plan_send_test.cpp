// Sending the current flight plan to the node way and the controller ways:
// nothing without flight rules, the plan-sent flag only after a real send.
#include "net/flight_plan_send.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

#include "core/flight_plan.h"
#include "net/frame_codes.h"
#include "net/way_record.h"
#include "node_way_fixture.h"
#include "testbed/loopback_peer.h"

namespace {

class FlightPlanSendTest : public NodeWayTest {
 protected:
  void SetUp() override {
    NodeWayTest::SetUp();
    ResetCurrentFlightPlan();
  }
  void TearDown() override {
    {
      WayTableGuard guard;
      WayTable()[kControllerWay] = WayRecord{};
    }
    ResetCurrentFlightPlan();
    NodeWayTest::TearDown();
  }

  static FlightPlanRecord PlanWithRules(const char* rules) {
    FlightPlanRecord plan = ClearedFlightPlan();
    SetPlanText(plan.flightType, rules);
    SetPlanText(plan.departure, "LFPG");
    return plan;
  }

  // The plan frames the node got once a heartbeat posted behind the send arrived.
  std::size_t PlanFramesAfterHeartbeat() {
    const std::size_t before = server_->FrameCount();
    Post(THRDMSG_HEARTBEAT);
    EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
      const auto frames = server_->Frames();
      return frames.size() > before && frames.back().header.type == kNcsMsgHeaderOnly;
    }));
    return FramesOfType(NCSMSG_PILOT, NCSUB_FLIGHT_PLAN).size();
  }

  static constexpr std::int32_t kControllerWay = 6;
};

TEST_F(FlightPlanSendTest, OnlyAPlanWithFlightRulesToAWayThatIsUpCounts) {
  // No way at all, or a node way that is not linked: nothing is sent.
  SetCurrentFlightPlan(PlanWithRules("I"));
  EXPECT_FALSE(SendFlightPlanToWays(nullptr).Sent());
  EXPECT_FALSE(SendFlightPlanToWays(way_.get()).Sent()) << "the node way is not linked yet";
  EXPECT_FALSE(FlightPlanSent());

  LogIn();
  const std::size_t afterLogin = PlanFramesAfterHeartbeat();

  // Linked, but the plan has no flight rules: nothing goes, the flag stays down.
  SetCurrentFlightPlan(PlanWithRules(""));
  way_->SetFlightPlan(WriteFlightPlanRecord(CurrentFlightPlan()));
  const FlightPlanSendResult empty = SendFlightPlanToWays(way_.get());
  EXPECT_FALSE(empty.Sent());
  EXPECT_FALSE(FlightPlanSent());
  EXPECT_EQ(PlanFramesAfterHeartbeat(), afterLogin);

  // A real send: the node way writes the plan and the flag goes up.
  SetCurrentFlightPlan(PlanWithRules("V"));
  way_->SetFlightPlan(WriteFlightPlanRecord(CurrentFlightPlan()));
  const FlightPlanSendResult sent = SendFlightPlanToWays(way_.get());
  EXPECT_TRUE(sent.toNode);
  EXPECT_EQ(sent.toControllers, 0);
  EXPECT_TRUE(FlightPlanSent());
  EXPECT_EQ(PlanFramesAfterHeartbeat(), afterLogin + 1);
}

TEST_F(FlightPlanSendTest, EveryAllocatedControllerWayThatIsUpGetsThePlan) {
  LoopbackServer controller;
  ASSERT_TRUE(controller.Ok());
  TestWay atc(kControllerWay, "[ATC WAY]");
  ASSERT_TRUE(atc.Start());
  {
    WayTableGuard guard;
    WayRecord& record = WayTable()[kControllerWay];
    record.way = &atc;
    record.peerKind = 'A';
    record.stateFlags = kWayAllocated;
  }
  SetCurrentFlightPlan(PlanWithRules("I"));
  EXPECT_FALSE(SendFlightPlanToWays(nullptr).Sent()) << "its link is not up yet";
  EXPECT_FALSE(FlightPlanSent());

  ASSERT_EQ(atc.RunOnThread([&] { return atc.ConnectWay("127.0.0.1", controller.Port()); }), 0);
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return atc.IsConnected(); }));
  // The connect's own notice is served before the way becomes a controller's.
  atc.RunOnThread([] { return 0; });
  atc.SetPeerKind('A');  // a link starts without a kind
  const FlightPlanSendResult sent = SendFlightPlanToWays(nullptr);
  EXPECT_FALSE(sent.toNode);
  EXPECT_EQ(sent.toControllers, 1);
  EXPECT_TRUE(FlightPlanSent());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !atc.SeenKindMessages().empty(); }));
  EXPECT_EQ(atc.SeenKindMessages(), std::vector<std::uint32_t>{THRDMSG_FLIGHT_PLAN});

  // A pilot way, or a record no longer allocated, gets nothing.
  SetFlightPlanSent(false);
  {
    WayTableGuard guard;
    WayTable()[kControllerWay].stateFlags = 0;
  }
  EXPECT_FALSE(SendFlightPlanToWays(nullptr).Sent());
  EXPECT_FALSE(FlightPlanSent());
  atc.Stop();
}


// A controller way whose thread is busy and whose queue is full makes the
// send wait for room: the way table stays free for every other thread meanwhile.
TEST_F(FlightPlanSendTest, ASendWaitingForAFullControllerQueueLeavesTheWayTableFree) {
  LoopbackServer controller;
  ASSERT_TRUE(controller.Ok());
  TestWay atc(kControllerWay, "[ATC WAY]");
  ASSERT_TRUE(atc.Start(4096));
  ASSERT_EQ(atc.RunOnThread([&] { return atc.ConnectWay("127.0.0.1", controller.Port()); }), 0);
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return atc.IsConnected(); }));
  atc.RunOnThread([] { return 0; });
  atc.SetPeerKind('A');
  atc.WaitWithoutBoundWhenFull();
  {
    WayTableGuard guard;
    WayRecord& record = WayTable()[kControllerWay];
    record.way = &atc;
    record.peerKind = 'A';
    record.stateFlags = kWayAllocated;
  }
  SetCurrentFlightPlan(PlanWithRules("I"));

  std::promise<void> release;
  std::shared_future<void> held = release.get_future().share();
  std::promise<void> entered;
  auto busy = std::async(std::launch::async, [&] {
    return atc.RunOnThread([&entered, held] {
      entered.set_value();
      held.wait();
      return 0;
    });
  });
  entered.get_future().wait();
  const std::vector<char> filler(512, 'q');
  while (atc.QueueFree() > 512 + 128) {
    ASSERT_EQ(CBaseThread::PostData(nullptr, &atc, THRDMSG_WAY_TEST, 0, 512, filler.data(), "FILL"), 1);
  }
  while (atc.QueueFree() >= kDMessageSize + 4) {
    ASSERT_EQ(CBaseThread::Post(nullptr, &atc, THRDMSG_WAY_TEST, 0, 0, "FILL"), 1);
  }

  auto send = std::async(std::launch::async, [] { return SendFlightPlanToWays(nullptr); });
  auto reader = std::async(std::launch::async, [] {
    WayTableGuard guard;
    return WayTable()[kControllerWay].peerKind;
  });
  const bool tableFree = reader.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  release.set_value();
  busy.get();
  ASSERT_TRUE(tableFree) << "the send held the way table while waiting for the controller's queue";
  EXPECT_EQ(reader.get(), 'A');
  EXPECT_EQ(send.get().toControllers, 1);
  atc.Stop();
}

}  // namespace
