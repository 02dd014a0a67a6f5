// The real program in a demo tree with its plug-in stand-in, logged in to the
// stand-in network: a pilot peer who goes invisible has his AI aircraft
// removed and keeps his link and his way; a second pilot who calls meanwhile
// gets a way of his own; visible again, the first is added again.
#include <gtest/gtest.h>

#include <string>

#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "net/position_records.h"
#include "support/recorded_lines.h"
#include "testbed/pilot_peer.h"

namespace {

// A pilot flying a circuit near the scripted flight, who waits for the
// client's answer to his login.
std::size_t OwnPositionsHeard(const PilotPeer& peer) {
  std::size_t n = 0;
  for (const Frame& frame : peer.Frames()) {
    if (frame.header.type == NCSMSG_PILOT && frame.header.subCode == NCSUB_FSX_PACKET &&
        frame.body.size() == kPositionRecordSize && frame.body[0] == 0x00 && frame.body[1] == 0x20) {
      ++n;
    }
  }
  return n;
}

class InvisiblePeerEndToEnd : public ClientEndToEnd {
 protected:
  int Events(const std::string& prefix) const {
    int n = 0;
    for (const std::string& line : events_.Lines()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  }

  RecordedLines events_;
};

TEST_F(InvisiblePeerEndToEnd, AnInvisiblePeerIsRemovedThenAddedAgainWhenVisibleAndHisLinkStaysUp) {
  plugin_.SetEventLog(events_.Sink());
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(plugin_.WaitForSamples(2, kWaitMs));

  PilotPeer hiding(NearbyPilot("DEMO02", 2.6));
  ASSERT_NO_FATAL_FAILURE(Admit(hiding));
  EXPECT_EQ(Events("add DEMO02 model "), 1);

  // Invisible: his aircraft goes, his link stays.
  ASSERT_TRUE(hiding.SendVisible(false));
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return Events("remove DEMO02") == 1 && !Shown("DEMO02"); }))
      << client_->Stderr();

  // A second pilot calls meanwhile: he gets a way of his own, and both links stay up.
  PilotPeer caller(NearbyPilot("DEMO03", 2.62));
  ASSERT_NO_FATAL_FAILURE(Admit(caller));
  EXPECT_EQ(Events("add DEMO03 model "), 1);
  EXPECT_TRUE(hiding.Linked());

  // Visible again: his aircraft is added again, and his positions move it.
  ASSERT_TRUE(hiding.SendVisible(true));
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return Shown("DEMO02"); })) << client_->Stderr();
  EXPECT_EQ(Events("add DEMO02 model "), 2);
  for (std::uint32_t second = 1; second <= 3; ++second) ASSERT_TRUE(hiding.SendPositionAt(second, second));
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    const auto aircraft = plugin_.Ai().ByCallsign("DEMO02");
    return aircraft && aircraft->latitude == hiding.FixAt(3).latitude;
  })) << client_->Stderr();

  // His link never went down: he still hears the client, and nobody cancelled him.
  const std::size_t heard = OwnPositionsHeard(hiding);
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return OwnPositionsHeard(hiding) > heard; })) << client_->Stderr();
  EXPECT_TRUE(hiding.Linked());
  EXPECT_FALSE(hiding.PeerClosed());
  EXPECT_EQ(hiding.CountOf(NCSUB_CANCEL_LINK), 0u);
  EXPECT_EQ(hiding.CountOf(NCSUB_LOGOUT), 0u);
  EXPECT_TRUE(caller.Linked());
  EXPECT_TRUE(Shown("DEMO03"));
  EXPECT_EQ(Events("remove DEMO03"), 0);

  Quit();
}

}  // namespace
