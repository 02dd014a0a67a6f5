// The real program in a demo tree with its plug-in stand-in, logged in to the
// stand-in network, with 49 scripted pilot peers calling its listening port at
// once: every way but one is taken. Each peer's AI aircraft is added once,
// follows his own circuit, and is removed once when he logs out.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "support/recorded_lines.h"
#include "testbed/pilot_peer.h"

namespace {

constexpr std::size_t kPeerWays = 50;
constexpr std::size_t kPeers = kPeerWays - 1;
constexpr std::uint32_t kPositions = 5;

std::string CallsignOf(std::size_t k) {
  char text[16];
  std::snprintf(text, sizeof text, "MANY%02zu", k + 1);
  return text;
}

// Even peers fly an X-Plane and send the 48-byte records, odd ones an older
// simulator with the 60-byte layout; each has a circuit of his own near the
// client's scripted flight, so none is out of range.
PilotPeerScript ScriptOf(std::size_t k) {
  PilotPeerScript script;
  script.callsign = CallsignOf(k);
  script.login = "many" + std::to_string(k + 1);
  script.newerLayout = k % 2 == 0;
  script.simulatorCode = script.newerLayout ? 9000 : 2004;
  script.centreLatitude = 49.0 + 0.002 * static_cast<double>(k);
  script.centreLongitude = 2.5 + 0.003 * static_cast<double>(k);
  script.altitudeFeet = 2000.0 + 100.0 * static_cast<double>(k);
  script.answerLogin = false;
  return script;
}

class ManyPeersEndToEnd : public ClientEndToEnd {
 protected:
  void StartAndLogIn() {
    plugin_.SetEventLog(events_.Sink());
    ASSERT_NO_FATAL_FAILURE(StartInSession());
    PressConnect();
    ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
    ASSERT_TRUE(Shows("image 7096")) << client_->Stderr();
    ASSERT_TRUE(plugin_.WaitForSamples(2, kWaitMs));
  }

  // The main dialog's pilot and controller count after one more second.
  std::string CountAfterATick() {
    Ask("timer 7055 555 1");
    const auto answer = automation_.Request("text 7055 7106");
    return answer.empty() ? std::string() : answer.front();
  }

  // How many of the stand-in's lines begin with each peer's event.
  std::map<std::string, int> EventsPerPeer(const std::string& kind) const {
    std::map<std::string, int> counts;
    for (const std::string& line : events_.Lines()) {
      if (line.rfind(kind + " ", 0) != 0) continue;
      const std::size_t end = line.find(' ', kind.size() + 1);
      ++counts[line.substr(kind.size() + 1, end - kind.size() - 1)];
    }
    return counts;
  }

  RecordedLines events_;
};

TEST_F(ManyPeersEndToEnd, FortyNinePilotsAtOnceAreEachAddedMovedAndRemovedOnce) {
  ASSERT_NO_FATAL_FAILURE(StartAndLogIn());
  EXPECT_EQ(CountAfterATick(), "0p  0a");

  // All of them call and log in at once.
  std::vector<std::unique_ptr<PilotPeer>> peers;
  for (std::size_t k = 0; k < kPeers; ++k) {
    peers.push_back(std::make_unique<PilotPeer>(ScriptOf(k)));
    ASSERT_TRUE(peers.back()->Connect(listeningPort_)) << k;
  }
  for (const auto& peer : peers) ASSERT_TRUE(peer->SendLogin());
  for (const auto& peer : peers) {
    ASSERT_TRUE(peer->WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << peer->Script().callsign << client_->Stderr();
  }
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return plugin_.Ai().Aircraft().size() == kPeers; }))
      << plugin_.Ai().Aircraft().size() << " aircraft\n" << client_->Stderr();
  const auto adds = EventsPerPeer("add");
  for (const auto& peer : peers) EXPECT_EQ(adds.count(peer->Script().callsign) ? adds.at(peer->Script().callsign) : 0, 1)
      << peer->Script().callsign;
  EXPECT_EQ(adds.size(), kPeers);
  // Each in a way of his own.
  std::map<std::uint16_t, std::string> ways;
  for (const auto& aircraft : plugin_.Ai().Aircraft()) ways[aircraft.way] = aircraft.callsign;
  EXPECT_EQ(ways.size(), kPeers);
  EXPECT_EQ(CountAfterATick(), std::to_string(kPeers) + "p  0a");

  // Every one flies his circuit, interleaved with the others.
  for (std::uint32_t second = 1; second <= kPositions; ++second) {
    for (const auto& peer : peers) ASSERT_TRUE(peer->SendPositionAt(second, second));
  }
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    for (const auto& aircraft : plugin_.Ai().Aircraft()) {
      if (aircraft.moves < kPositions) return false;
    }
    return plugin_.Ai().Aircraft().size() == kPeers;
  })) << client_->Stderr();
  for (const auto& peer : peers) {
    const auto aircraft = plugin_.Ai().ByCallsign(peer->Script().callsign);
    ASSERT_TRUE(aircraft.has_value()) << peer->Script().callsign;
    const ScriptedFix fix = peer->FixAt(kPositions);
    // The older layout's fixed-point words hold a position to about a centimetre.
    const double degrees = peer->Script().newerLayout ? 1e-9 : 1e-6;
    EXPECT_NEAR(aircraft->latitude, fix.latitude, degrees) << peer->Script().callsign;
    EXPECT_NEAR(aircraft->longitude, fix.longitude, degrees) << peer->Script().callsign;
    EXPECT_NEAR(aircraft->altitudeFeet, fix.altitudeFeet, 0.1) << peer->Script().callsign;
  }
  const auto moves = EventsPerPeer("move");
  for (const auto& peer : peers) {
    EXPECT_GE(moves.count(peer->Script().callsign) ? moves.at(peer->Script().callsign) : 0,
              static_cast<int>(kPositions))
        << peer->Script().callsign;
  }

  // They all log out: every aircraft is removed, once, and the ways close.
  for (const auto& peer : peers) ASSERT_TRUE(peer->SendLogout());
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return EventsPerPeer("remove").size() == kPeers; })) << client_->Stderr();
  for (const auto& peer : peers) EXPECT_TRUE(peer->WaitForClose(kWaitMs)) << peer->Script().callsign;
  EXPECT_TRUE(plugin_.Ai().Aircraft().empty());
  for (const auto& [callsign, count] : EventsPerPeer("remove")) EXPECT_EQ(count, 1) << callsign;
  EXPECT_EQ(CountAfterATick(), "0p  0a");

  Quit();
}

}  // namespace
