// What the main dialog's timers hand to the controller ways, over real
// loopback sockets: the own position report at each controller's own pace,
// and a strip from one controller echoed to every controller in contact.
#include <gtest/gtest.h>

#include <string>

#include "controller_way_fixture.h"
#include "net/controller_broadcasts.h"
#include "net/controller_link.h"
#include "net/controller_records.h"
#include "net/way_record.h"

namespace {

// A controller record whose way never connected: nobody to post to.
void AllocateUnconnectedController(const char* callsign) {
  WayTableGuard guard;
  const std::int32_t way = AllocatePeerWay(callsign);
  ASSERT_GE(way, 0);
  PeerWayRecord(way)->peerKind = 'A';
}

TEST_F(ControllerWayTest, EachConnectedControllerIsSentTheOwnPositionAtHisOwnPace) {
  StartWays(3);
  auto tower = CallAndLogIn(Tower("LFPG_TWR"), 0);
  auto approach = CallAndLogIn(Tower("LFPG_APP"), 1);
  AllocateUnconnectedController("LFPG_GND");
  // The approach asks for a report every 2.5 s; the tower's record lost its
  // interval in a clear and keeps the default pace of 1.5 s.
  ASSERT_TRUE(approach->SendRate(4));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return RecordOf(1).controllerReportInterval == 4; }));
  {
    WayTableGuard guard;
    PeerWayRecord(0)->controllerReportInterval = 0;
  }
  const struct {
    int step;
    std::size_t posted;
  } steps[] = {{1, 0}, {2, 0}, {3, 1}, {4, 0}, {5, 1}, {6, 1}, {7, 0}, {8, 0}, {9, 1}, {10, 1}};
  for (const auto& s : steps) EXPECT_EQ(PostControllerPositionReports(), s.posted) << "half-second " << s.step;
  ASSERT_TRUE(tower->WaitForCountOf(NCSUB_POSITION_REPORT, 3, kWaitMs));
  ASSERT_TRUE(approach->WaitForCountOf(NCSUB_POSITION_REPORT, 2, kWaitMs));
  const auto report = tower->LastRecord(NCSUB_POSITION_REPORT);
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->size(), kAtcPositionReportSize);
  // Posted and served in order: nothing more is on its way.
  Way(0).Drain();
  Way(1).Drain();
  EXPECT_EQ(tower->CountOf(NCSUB_POSITION_REPORT), 3u);
  EXPECT_EQ(approach->CountOf(NCSUB_POSITION_REPORT), 2u);
}

TEST_F(ControllerWayTest, AStripFromOneControllerIsEchoedToEveryControllerInContact) {
  StartWays(3);
  auto tower = CallAndLogIn(Tower("LFPG_TWR"), 0);
  auto approach = CallAndLogIn(Tower("LFPG_APP"), 1);
  AllocateUnconnectedController("LFPG_GND");
  // Nothing held yet: the echo says so with kind 0.
  EXPECT_EQ(ForwardFlightStripToControllers(), 2u);
  ASSERT_TRUE(approach->WaitForCountOf(NCSUB_FLIGHT_STRIP, 1, kWaitMs));
  const auto none = approach->LastRecord(NCSUB_FLIGHT_STRIP);
  ASSERT_TRUE(none.has_value() && none->size() == kFlightStripSize);
  EXPECT_EQ(ReadFlightStrip(std::span<const std::uint8_t, kFlightStripSize>(none->data(), kFlightStripSize)).kind, 0);

  FlightStrip strip;
  strip.callsign = "OWN001";
  strip.controller = "LFPG_TWR";
  strip.waypoint = "RESMI";
  strip.kind = kStripInstructions;
  strip.heading = 270;
  strip.altitudeFeet = 9'000;
  strip.minimumSpeed = 180;
  strip.maximumSpeed = 220;
  strip.transponder = 4721;
  ASSERT_TRUE(tower->SendStrip(strip));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [] { return FlightStripArrived(); }));
  EXPECT_EQ(ForwardFlightStripToControllers(), 2u);
  ASSERT_TRUE(tower->WaitForCountOf(NCSUB_FLIGHT_STRIP, 2, kWaitMs));
  ASSERT_TRUE(approach->WaitForCountOf(NCSUB_FLIGHT_STRIP, 2, kWaitMs));
  for (ControllerPeer* peer : {tower.get(), approach.get()}) {
    const auto echoed = peer->LastRecord(NCSUB_FLIGHT_STRIP);
    ASSERT_TRUE(echoed.has_value() && echoed->size() == kFlightStripSize);
    const FlightStrip back = ReadFlightStrip(std::span<const std::uint8_t, kFlightStripSize>(echoed->data(), kFlightStripSize));
    EXPECT_EQ(back.callsign, "OWN001") << peer->Script().callsign;
    EXPECT_EQ(back.controller, "LFPG_TWR");
    EXPECT_EQ(back.waypoint, "RESMI");
    EXPECT_EQ(back.kind, kStripInstructions);
    EXPECT_EQ(back.heading, 270);
    EXPECT_EQ(back.altitudeFeet, 9'000);
    EXPECT_EQ(back.minimumSpeed, 180);
    EXPECT_EQ(back.maximumSpeed, 220);
    EXPECT_EQ(back.transponder, 4721);
  }
}

}  // namespace
