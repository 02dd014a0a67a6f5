// Two real clients, each with its own tree and plug-in stand-in, log in to
// one node stand-in, which introduces them: each one's plug-in stand-in is
// asked to add the other's AI aircraft with a model of its own Aircraft tree,
// moves it along the other's scripted flight, and removes it when the other
// quits.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <utility>
#include <string>

#include "support/recorded_lines.h"
#include "two_clients_fixture.h"

namespace {

// The step of `flight` whose position `aircraft` shows, when it shows one
// (the position records carry f64 degrees; the altitude to the foot).
std::optional<long> StepShown(const plugin_link::FlightScript& flight, const plugin_link::AiAircraft& aircraft) {
  const double latitudeSteps = flight.latitudeStep == 0.0 ? 0.0
                                                          : (aircraft.latitude - flight.start.latitude) / flight.latitudeStep;
  const double longitudeSteps =
      flight.longitudeStep == 0.0 ? 0.0 : (aircraft.longitude - flight.start.longitude) / flight.longitudeStep;
  const double steps = flight.latitudeStep != 0.0 ? latitudeSteps : longitudeSteps;
  const long n = std::lround(steps);
  if (n < 0) return std::nullopt;
  const plugin_link::FlightSample at = flight.At(static_cast<std::uint64_t>(n));
  if (std::abs(aircraft.latitude - at.latitude) > 1e-9 || std::abs(aircraft.longitude - at.longitude) > 1e-9 ||
      std::abs(aircraft.altitudeFeet - at.altitudeFeet) > 1.0) {
    return std::nullopt;
  }
  return n;
}

class TwoClientsTraffic : public TwoClients {
 protected:
  // `viewer` shows `flyer`: added once, then moved along the flyer's flight.
  void ExpectShown(ClientSide& viewer, ClientSide& flyer) {
    ASSERT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] { return viewer.plugin.Ai().ByCallsign(flyer.callsign).has_value(); }))
        << viewer.callsign << " never added " << flyer.callsign << "\n"
        << viewer.Stderr();
    const plugin_link::AiAircraft added = *viewer.plugin.Ai().ByCallsign(flyer.callsign);
    // A model of the viewer's own tree, written as the scan names it.
    bool own = false;
    for (std::string model : viewer.models) {
      for (char& c : model) c = c == '/' ? '\\' : c;
      own = own || added.model == model;
    }
    EXPECT_TRUE(own) << viewer.callsign << " shows " << flyer.callsign << " as " << added.model;

    // Several moves, each one a position of the flyer's script, going forward.
    long last = -1;
    int seen = 0;
    ASSERT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] {
      const auto aircraft = viewer.plugin.Ai().ByCallsign(flyer.callsign);
      if (!aircraft || aircraft->moves == 0) return false;
      const std::optional<long> step = StepShown(flyer.flight, *aircraft);
      EXPECT_TRUE(step.has_value()) << viewer.callsign << " shows " << flyer.callsign << " at " << aircraft->latitude
                                    << " " << aircraft->longitude << " " << aircraft->altitudeFeet;
      if (!step) return true;
      EXPECT_GE(*step, last);
      if (*step > last) ++seen;
      last = *step;
      return seen >= 3;
    })) << viewer.Stderr();
    EXPECT_EQ(viewer.plugin.Ai().Adds(), 1u);
  }

  int EventCount(const RecordedLines& events, const std::string& prefix) {
    int n = 0;
    for (const std::string& line : events.Lines()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }
};

TEST_F(TwoClientsTraffic, EachSeesTheOtherAddedMovedAlongHisFlightAndRemovedWhenHeQuits) {
  RecordedLines firstEvents;
  first_.plugin.SetEventLog(firstEvents.Sink());
  ASSERT_NO_FATAL_FAILURE(StartBothAndLogIn());
  ASSERT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] { return node_.Introduced() == 1; }));

  ASSERT_NO_FATAL_FAILURE(ExpectShown(first_, second_));
  ASSERT_NO_FATAL_FAILURE(ExpectShown(second_, first_));
  // The flights stop: the last position each one's plug-in told is the one the other shows.
  first_.plugin.SetStreamInterval(0);
  second_.plugin.SetStreamInterval(0);
  for (auto [viewer, flyer] : {std::pair{&first_, &second_}, std::pair{&second_, &first_}}) {
    const plugin_link::FlightSample told = flyer->plugin.LastSample();
    EXPECT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] {
      const auto aircraft = viewer->plugin.Ai().ByCallsign(flyer->callsign);
      return aircraft && aircraft->latitude == told.latitude && aircraft->longitude == told.longitude &&
             std::abs(aircraft->altitudeFeet - told.altitudeFeet) <= 1.0;
    })) << viewer->callsign << " does not show where " << flyer->callsign << " stopped";
  }

  // The second quits: the first's plug-in removes him, once.
  EXPECT_EQ(Quit(second_), 0) << second_.Stderr();
  EXPECT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] { return EventCount(firstEvents, "remove TEST02") == 1; }))
      << first_.Stderr();
  EXPECT_FALSE(first_.plugin.Ai().ByCallsign("TEST02").has_value());
  EXPECT_EQ(EventCount(firstEvents, "add TEST02 model "), 1);
  EXPECT_EQ(Quit(first_), 0) << first_.Stderr();
  EXPECT_EQ(EventCount(firstEvents, "remove TEST02"), 1);
}

TEST_F(TwoClientsTraffic, TwoClientsIntroducedThroughATunnelOfTheNodeSeeEachOther) {
  node_.SetIntroductions(NodeServer::Introductions::Tunnelled);
  ASSERT_NO_FATAL_FAILURE(StartBothAndLogIn());
  ASSERT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] { return node_.TunnelsOpened() == 1; }))
      << first_.Stderr() << second_.Stderr();
  ASSERT_NO_FATAL_FAILURE(ExpectShown(first_, second_));
  ASSERT_NO_FATAL_FAILURE(ExpectShown(second_, first_));
  EXPECT_GT(node_.TunnelBytes(), 0u);
  // Nobody called a listening port: the pilots' frames went through the node.
  EXPECT_EQ(node_.LinksAccepted(), 4u);

  EXPECT_EQ(Quit(first_), 0) << first_.Stderr();
  EXPECT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] { return !second_.plugin.Ai().ByCallsign("TEST01").has_value(); }))
      << second_.Stderr();
  EXPECT_EQ(second_.plugin.Ai().Removes(), 1u);
}

TEST_F(TwoClientsTraffic, FiveMinutesOfDrivenSecondsKeepBothLinkedToTheNodeAndToEachOther) {
  ASSERT_NO_FATAL_FAILURE(StartBothAndLogIn());
  ASSERT_NO_FATAL_FAILURE(ExpectShown(first_, second_));
  ASSERT_NO_FATAL_FAILURE(ExpectShown(second_, first_));
  // Thirty seconds at a time: each client then sends its heartbeat, which
  // the node answers before the next burst (after 150 seconds without a
  // heartbeat from the node a client fetches the hub list again).
  const std::size_t fetches = web_.RequestCount();
  for (int burst = 1; burst <= 10; ++burst) {
    const std::size_t answered = node_.HeartbeatsSent();
    first_.Ask("timer 7055 555 30");
    second_.Ask("timer 7055 555 30");
    ASSERT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] { return node_.HeartbeatsSent() >= answered + 2; }))
        << "burst " << burst << "\n" << first_.Stderr() << second_.Stderr();
  }
  // Two seconds more: a hub-list refresh that was due would have started.
  first_.Ask("timer 7055 555 2");
  second_.Ask("timer 7055 555 2");
  EXPECT_EQ(web_.RequestCount(), fetches) << "a client took the node for silent";
  EXPECT_EQ(node_.LinksAccepted(), 2u) << "a client reconnected";
  EXPECT_EQ(node_.Clients().size(), 2u);
  // The pilots' link is up too: the flights still move each other's aircraft.
  for (auto [viewer, flyer] : {std::pair{&first_, &second_}, std::pair{&second_, &first_}}) {
    const std::uint64_t moves = viewer->plugin.Ai().ByCallsign(flyer->callsign)->moves;
    EXPECT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] {
      const auto aircraft = viewer->plugin.Ai().ByCallsign(flyer->callsign);
      return aircraft && aircraft->moves > moves + 3;
    })) << viewer->callsign << " no longer moves " << flyer->callsign;
    EXPECT_EQ(viewer->plugin.Ai().Adds(), 1u);
    EXPECT_EQ(viewer->plugin.Ai().Removes(), 0u);
  }
}

}  // namespace
