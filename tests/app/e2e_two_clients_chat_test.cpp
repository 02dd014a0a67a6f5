// Two real clients on one frequency chat: an on-air text typed in one's chat
// input shows in the other's chat window in the on-air colours, and a private
// text reaches its recipient only (a scripted pilot linked to the sender
// hears the on-air texts and his own private one, not the other's).
#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "net/frame_codes.h"
#include "testbed/pilot_peer.h"
#include "two_clients_fixture.h"

namespace {

// The chat window's trace colours once it has been shown (COLORREF).
constexpr unsigned kSenderColour = 0xFA9D52;  // field 24
constexpr unsigned kTextColour = 0x8CA48C;    // field 17
constexpr unsigned kEchoColour = 0x04F05C;    // field 25
constexpr unsigned kBold = 1;

std::size_t FramesOfType(const PilotPeer& peer, std::uint8_t type) {
  std::size_t n = 0;
  for (const Frame& frame : peer.Frames()) n += frame.header.type == type ? 1 : 0;
  return n;
}

class TwoClientsChat : public TwoClients {
 protected:
  void Type(ClientSide& side, const std::string& line) {
    side.Ask("settext 7057 7003 " + line);
    side.Ask("command 7057 1");  // the input's send (IDOK)
  }
};

TEST_F(TwoClientsChat, OnAirTextShowsInTheOnAirColoursAndPrivateTextReachesOnlyItsRecipient) {
  ASSERT_NO_FATAL_FAILURE(StartBothAndLogIn());
  // Texts travel on the pilot link once both ends logged in.
  ASSERT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] {
    return first_.plugin.Ai().ByCallsign("TEST02").has_value() && second_.plugin.Ai().ByCallsign("TEST01").has_value();
  })) << first_.Stderr() << second_.Stderr();

  // A third pilot, linked to the first only.
  PilotPeerScript script;
  script.callsign = "DEMO03";
  script.centreLatitude = 49.0;
  script.centreLongitude = 2.55;
  script.answerLogin = false;
  PilotPeer third(script);
  ASSERT_TRUE(third.Connect(first_.listeningPort));
  ASSERT_TRUE(third.SendLogin());
  ASSERT_TRUE(third.WaitForCountOf(NCSUB_PEER_ADDED, 1, kTwoClientsWaitMs)) << first_.Stderr();

  // On air, on COM1 122.80 which both have selected.
  Type(first_, "hello everyone");
  EXPECT_TRUE(first_.WaitForRun(kEchoColour, 0, "122.80 Mhz : hello everyone")) << "the sender's echo";
  EXPECT_TRUE(second_.WaitForRun(kSenderColour, kBold, "TEST01 ", "on 122.80 Mhz : hello everyone"))
      << second_.Stderr();
  EXPECT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] { return FramesOfType(third, NCSMSG_TEXT_ON_AIR) == 1; }));

  // In private to the second, then to the third; an on-air line closes the
  // exchange: what the third was sent before it has reached him with it.
  Type(first_, ".msg TEST02 psst, just you");
  Type(first_, ".msg DEMO03 and now you");
  Type(first_, "over");
  EXPECT_TRUE(first_.WaitForRun(kEchoColour, kBold, "TEST01 -> TEST02 : psst, just you"));
  EXPECT_TRUE(second_.WaitForRun(kSenderColour, kBold, "[private] TEST01 : psst, just you")) << second_.Stderr();
  EXPECT_TRUE(second_.WaitForRun(kSenderColour, kBold, "TEST01 ", "on 122.80 Mhz : over"));
  ASSERT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] { return FramesOfType(third, NCSMSG_TEXT_ON_AIR) == 2; }));
  EXPECT_EQ(FramesOfType(third, NCSMSG_TEXT_PRIVATE), 1u) << "the third hears his own private text only";
  for (const ShownRun& run : second_.Runs()) {
    EXPECT_EQ(run.text.find("and now you"), std::string::npos) << "the second shows the third's private text";
  }

  EXPECT_EQ(Quit(second_), 0) << second_.Stderr();
  EXPECT_EQ(Quit(first_), 0) << first_.Stderr();
}

}  // namespace
