// The real program in a demo tree with its plug-in stand-in, logged in to the
// stand-in network, and a scripted pilot peer calling its listening port: the
// peer hears the client's own position records, and the plug-in stand-in is
// asked to add, move and remove the peer's AI aircraft.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "net/frame_format.h"
#include "net/pilot_records.h"
#include "net/position_records.h"
#include "support/recorded_lines.h"
#include "testbed/pilot_peer.h"

namespace {

std::uint16_t TypeOf(const Frame& frame) {
  return frame.body.size() >= 2 ? static_cast<std::uint16_t>(frame.body[0] | (frame.body[1] << 8)) : 0;
}

// The first identity record the peer heard (its model's title and type).
std::optional<Frame> IdentityHeard(const PilotPeer& peer) {
  for (const Frame& frame : peer.Frames()) {
    if (frame.header.subCode == NCSUB_FSX_PACKET && TypeOf(frame) == 0x2100 && frame.body.size() == 134) return frame;
  }
  return std::nullopt;
}

// The text at `offset`, up to its NUL or the record's end.
std::string TextAt(const Frame& frame, std::size_t offset) {
  if (offset >= frame.body.size()) return {};
  const auto* text = reinterpret_cast<const char*>(frame.body.data() + offset);
  return std::string(text, strnlen(text, frame.body.size() - offset));
}

// An X-Plane pilot flying a circuit near the scripted flight, who waits for
// the client's answer to his login.
class PilotPeerEndToEnd : public ClientEndToEnd {
 protected:
  std::size_t PeerPositionRecords(const PilotPeer& peer) const {
    std::size_t n = 0;
    for (const Frame& frame : peer.Frames()) {
      if (frame.header.type == NCSMSG_PILOT && frame.header.subCode == NCSUB_FSX_PACKET &&
          TypeOf(frame) == kPositionRecordType && frame.body.size() == kPositionRecordSize) {
        ++n;
      }
    }
    return n;
  }
};

TEST_F(PilotPeerEndToEnd, APeerHearsTheOwnPositionsAndHisAircraftIsAddedMovedAndRemoved) {
  RecordedLines events;
  plugin_.SetEventLog(events.Sink());
  const auto eventCount = [&](const std::string& prefix) {
    int n = 0;
    for (const std::string& line : events.Lines()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  };
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(plugin_.WaitForSamples(2, kWaitMs));

  // A pilot flying a circuit near the scripted flight calls and logs in.
  PilotPeer peer(NearbyPilot());
  ASSERT_TRUE(peer.Connect(listeningPort_));
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_LOGIN_ACK, 1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return plugin_.Ai().ByCallsign("DEMO02").has_value(); })) << client_->Stderr();
  EXPECT_EQ(eventCount("add DEMO02 model "), 1);

  // The client's own position records reach him, in his family's layout.
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return PeerPositionRecords(peer) >= 3; })) << client_->Stderr();
  for (const Frame& frame : peer.Frames()) {
    if (frame.header.subCode != NCSUB_FSX_PACKET || TypeOf(frame) != kPositionRecordType) continue;
    double latitude = 0.0;
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(frame.body[32 + i]) << (8 * i);
    std::memcpy(&latitude, &bits, sizeof latitude);
    EXPECT_NEAR(latitude, 49.0097, 1e-6);
    break;
  }

  // And the own identity record, with the loaded model's title.
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return IdentityHeard(peer).has_value(); })) << client_->Stderr();
  EXPECT_EQ(TextAt(*IdentityHeard(peer), 6), "Cessna Skyhawk 172SP");

  // His scripted flight moves his AI aircraft.
  for (std::uint32_t second = 1; second <= 5; ++second) ASSERT_TRUE(peer.SendPositionAt(second, second));
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] {
    const auto aircraft = plugin_.Ai().ByCallsign("DEMO02");
    return aircraft && aircraft->moves >= 5;
  })) << client_->Stderr();
  const auto moved = plugin_.Ai().ByCallsign("DEMO02");
  EXPECT_EQ(moved->latitude, peer.FixAt(5).latitude);
  EXPECT_EQ(moved->longitude, peer.FixAt(5).longitude);
  EXPECT_GE(eventCount("move DEMO02 to "), 5);

  // He logs out twice in one write, so that both come in one read: he is told
  // out once and his aircraft is removed once.
  std::vector<std::uint8_t> twice;
  for (int i = 0; i < 2; ++i) {
    FrameHeader header;
    header.type = NCSMSG_PILOT;
    header.subCode = NCSUB_LOGOUT;
    const auto frame = BuildFrame(FRAME_SYNC_NETWORK, header, WritePilotCallsignBody("DEMO02"));
    twice.insert(twice.end(), frame.begin(), frame.end());
  }
  ASSERT_TRUE(peer.SendRaw(twice));
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return eventCount("remove DEMO02") == 1; })) << client_->Stderr();
  EXPECT_TRUE(peer.WaitForClose(kWaitMs));
  EXPECT_TRUE(plugin_.Ai().Aircraft().empty());
  EXPECT_EQ(eventCount("remove DEMO02"), 1);
  const std::string chat = JoinedLines(Ask("text 7057 7005"));
  const std::string loggedOut = "Pilot DEMO02 logged-out.";
  std::size_t told = 0;
  for (std::size_t at = chat.find(loggedOut); at != std::string::npos; at = chat.find(loggedOut, at + 1)) ++told;
  EXPECT_EQ(told, 1u) << chat;

  Quit();
}

TEST_F(PilotPeerEndToEnd, APilotWhoCallsBeforeTheFirstConnectHearsTheSavedCallsign) {
  // The settings name TEST01; Connect is never pressed, so the callsign dialog never shows.
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PilotPeer peer(NearbyPilot());
  ASSERT_TRUE(peer.Connect(listeningPort_));
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_LOGIN_ACK, 1, kWaitMs)) << client_->Stderr();
  const auto ack = peer.LastLoginReceived();
  ASSERT_TRUE(ack.has_value());
  PilotLoginRecord decoded;
  ASSERT_EQ(ReadPilotLoginRecord(*ack, decoded), kNodeRecordOk);
  EXPECT_EQ(decoded.login.identity.callsign, "TEST01");
  Quit();
}

TEST_F(PilotPeerEndToEnd, ThePeersHearTheTypeTheRulesGiveTheLoadedModel) {
  // An installed model whose title the plug-in reports, and a local rule giving it another type.
  std::filesystem::create_directories(tree_.Path() + "/Aircraft/Heavy Metal/B738");
  std::ofstream(tree_.Path() + "/Aircraft/Heavy Metal/B738/B738.acf").put('\0');
  std::ofstream(program_ + "/Rules.txt", std::ios::binary) << "[LOCAL_AIRCRAFTS]\r\n001=Heavy Metal{{C130}}\r\n";
  plugin_.SetAircraftTitle("Heavy Metal\\B738\\B738.acf");
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();

  PilotPeer peer(NearbyPilot());
  ASSERT_TRUE(peer.Connect(listeningPort_));
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << client_->Stderr();

  // The identity goes out once the model is matched: its title, the rule's type and that type's class code.
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return IdentityHeard(peer).has_value(); })) << client_->Stderr();
  const Frame frame = *IdentityHeard(peer);
  EXPECT_EQ(TextAt(frame, 6), "Heavy Metal\\B738\\B738.acf");
  EXPECT_EQ(TextAt(frame, 118), "C130");
  EXPECT_EQ(TextAt(frame, 126), "L4T");

  Quit();
}

// A model folder installed elsewhere and linked into the Aircraft folder is
// scanned: a peer flying that model is shown with it.
TEST_F(PilotPeerEndToEnd, AModelReachedThroughALinkedFolderShowsAPeer) {
  TempFolder elsewhere;
  std::filesystem::create_directories(elsewhere.Path() + "/B738");
  std::ofstream(elsewhere.Path() + "/B738/B738.acf").put('\0');
  std::filesystem::create_directory_symlink(elsewhere.Path(), tree_.Path() + "/Aircraft/Heavy Metal");
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();

  PilotPeerScript script = NearbyPilot();
  script.title = "Heavy Metal\\B738\\B738.acf";
  script.icaoType = "B738";
  PilotPeer peer(script);
  ASSERT_TRUE(peer.Connect(listeningPort_));
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return plugin_.Ai().ByCallsign("DEMO02").has_value(); })) << client_->Stderr();
  EXPECT_EQ(plugin_.Ai().ByCallsign("DEMO02")->model, "Heavy Metal\\B738\\B738.acf");

  Quit();
}

}  // namespace
