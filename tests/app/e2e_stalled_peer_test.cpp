// The real program in a demo tree with its plug-in stand-in, logged in to the
// stand-in network, with two pilot peers: the first shrinks his receive
// buffer, stops reading and asks for a burst of answers. The client's send
// to him stalls; five seconds on, his link ends with a reset, while the
// second peer's AI aircraft keeps moving and the program keeps answering.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/socket_thread.h"
#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "net/frame_format.h"
#include "support/recorded_lines.h"
#include "testbed/pilot_peer.h"

namespace {

using Clock = std::chrono::steady_clock;

// Far more answers than his shrunk buffer and the client's send buffer hold.
constexpr int kBurstRequests = 8'000;
// The client's clock and ours tick apart by at most this much.
constexpr auto kClockSlack = std::chrono::milliseconds(250);
// Generous: the link must end, however loaded the machine.
constexpr int kEndBoundMs = 60'000;
// Of the stall's last seconds, the part where the second peer is watched:
// after the stall surely began and before its end surely showed.
constexpr auto kWatchedFrom = std::chrono::milliseconds(kSendStallLimitMs - 1'000);
constexpr auto kWatchedTo = std::chrono::milliseconds(500);
constexpr int kMovesWhileStalled = 3;

// Latency requests back to back: each one the client answers on the same link.
std::vector<std::uint8_t> LatencyRequests(int count) {
  FrameHeader header;
  header.type = NCSMSG_PILOT;
  header.subCode = NCSUB_LATENCY_REQ_ECHO;
  const std::vector<std::uint8_t> one = BuildFrame(FRAME_SYNC_NETWORK, header, {});
  std::vector<std::uint8_t> all;
  all.reserve(one.size() * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) all.insert(all.end(), one.begin(), one.end());
  return all;
}

std::string EndName(NonReadingPeer::End end) {
  switch (end) {
    case NonReadingPeer::End::kOpen:
      return "still open";
    case NonReadingPeer::End::kClosed:
      return "closed";
    case NonReadingPeer::End::kReset:
      return "reset";
  }
  return "?";
}

class StalledPeerEndToEnd : public ClientEndToEnd {
 protected:
  std::uint64_t Moves(const std::string& callsign) const {
    const auto aircraft = plugin_.Ai().ByCallsign(callsign);
    return aircraft ? aircraft->moves : 0;
  }

  RecordedLines events_;
};

TEST_F(StalledPeerEndToEnd, APeerWhoStopsReadingIsResetAfterFiveSecondsWhileAnotherPeerKeepsMoving) {
  plugin_.SetEventLog(events_.Sink());
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(plugin_.WaitForSamples(2, kWaitMs));

  PilotPeerScript stalling = NearbyPilot("DEMO02", 2.6);
  stalling.smallReceiveBuffer = true;
  PilotPeer stalled(stalling);
  PilotPeer flying(NearbyPilot("DEMO03", 2.62));
  ASSERT_NO_FATAL_FAILURE(Admit(stalled));
  ASSERT_NO_FATAL_FAILURE(Admit(flying));

  // He stops reading and asks for more answers than can ever reach him.
  stalled.StopReading();
  const Clock::time_point burst = Clock::now();
  ASSERT_TRUE(stalled.SendRaw(LatencyRequests(kBurstRequests)));

  // Meanwhile the other pilot flies on and the program answers, until the first link ends.
  std::vector<Clock::time_point> moved;
  std::vector<Clock::time_point> answered;
  NonReadingPeer::End end = NonReadingPeer::End::kOpen;
  Clock::time_point ended;
  std::uint32_t second = 0;
  while (end == NonReadingPeer::End::kOpen && Clock::now() - burst < std::chrono::milliseconds(kEndBoundMs)) {
    const std::uint64_t before = Moves("DEMO03");
    ++second;
    ASSERT_TRUE(flying.SendPositionAt(second, second));
    if (WaitUntil(kWaitMs, [&] { return Moves("DEMO03") > before; })) moved.push_back(Clock::now());
    if (Dump().find("window 7055") != std::string::npos) answered.push_back(Clock::now());
    end = stalled.WaitForUnreadEnd(100);
    ended = Clock::now();
  }
  ASSERT_EQ(EndName(end), "reset") << "his unsent answers would never go: the link is reset\n" << client_->Stderr();
  EXPECT_GE(ended - burst, std::chrono::milliseconds(kSendStallLimitMs) - kClockSlack)
      << "the stall began after the burst and is waited out";

  // Moves and answers while the stall was surely in progress.
  const auto during = [&](const std::vector<Clock::time_point>& times) {
    int n = 0;
    for (const auto t : times) n += t >= ended - kWatchedFrom && t <= ended - kWatchedTo ? 1 : 0;
    return n;
  };
  EXPECT_GE(during(moved), kMovesWhileStalled) << moved.size() << " moves in all";
  EXPECT_GE(during(answered), 1) << answered.size() << " dumps answered in all";

  // The client traces why, and the other pilot is still linked and shown.
  EXPECT_TRUE(WaitUntil(kWaitMs, [&] {
    return JoinedLines(Ask("text 7057 7005")).find("Error send made no progress for") != std::string::npos;
  })) << JoinedLines(Ask("text 7057 7005"));
  EXPECT_EQ(JoinedLines(Ask("text 7057 7005")).find("queue full"), std::string::npos) << "the stall ended it, nothing else";
  EXPECT_TRUE(flying.Linked());
  EXPECT_FALSE(flying.PeerClosed());
  EXPECT_TRUE(Shown("DEMO03"));
  const std::uint64_t before = Moves("DEMO03");
  ++second;
  ASSERT_TRUE(flying.SendPositionAt(second, second));
  EXPECT_TRUE(WaitUntil(kWaitMs, [&] { return Moves("DEMO03") > before; })) << client_->Stderr();

  Quit();
}

}  // namespace
