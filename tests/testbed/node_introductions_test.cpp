// The node stand-in with several clients at once: it introduces two logged-in
// clients to each other (trust orders, then the neighbour order, directly or
// through a tunnel it splices), answers heartbeats when asked, and checks and
// relays voice packets. Over real loopback sockets, the clients played by
// plain sockets that read the node's frames byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/frame_codes.h"
#include "net/node_records.h"
#include "support/frame_bytes.h"
#include "testbed/loopback_peer.h"
#include "testbed/node_server.h"
#include "testbed/voice_relay.h"

namespace {

constexpr int kWaitMs = 20'000;
constexpr int kQuietMs = 200;

Bytes Name16(const std::string& text) {
  Bytes field(16, 0);
  std::copy(text.begin(), text.end(), field.begin());
  return field;
}

Bytes U16(std::uint16_t v) { return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}; }
Bytes U32(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 24)};
}

const Bytes kLoopback = {127, 0, 0, 1};

// A client's node way: linked and logged in under its callsign and port.
struct NodeClient {
  LoopbackClient socket;
  std::string callsign;

  bool LogIn(NodeServer& node, const std::string& cs, std::uint16_t listenPort) {
    callsign = cs;
    LoginRecord login;
    login.identity.versionMajor = 11;
    login.identity.versionBuild = 4;
    login.identity.listenPort = listenPort;
    login.identity.login = "user";
    login.identity.passwordOrServer = "pw";
    login.identity.callsign = cs;
    if (!socket.Connect(node.Port()) || !socket.Send(AsString(BuildLoginFrame(login)))) return false;
    return socket.Receive(12 + kLoginAckRecordSize, kWaitMs).size() == 12 + kLoginAckRecordSize;
  }
  Bytes Next(std::size_t size) { return AsBytes(socket.Receive(size, kWaitMs)); }
  bool Quiet() { return socket.Receive(1, kQuietMs).empty(); }
};

Bytes TrustOrder() {
  return Concat(Header(NCSMSG_TRUSTED_IP, 0, 0, 16), Concat(Bytes(8, 0), Concat(kLoopback, Bytes(4, 0))));
}

Bytes NeighbourOrder(std::uint16_t port, std::uint8_t flags, const std::string& callsign) {
  return Concat(Header(55, 0, 0, 32),
                Concat(Concat(Bytes(8, 0), kLoopback), Concat(Concat(U16(port), {flags, 'P'}), Name16(callsign))));
}

// The tunnel body a client's way sends with types 56 and 58.
Bytes TunnelBody(const std::string& own, const std::string& peer) {
  return Concat(Concat(Bytes(8, 0), Concat(kLoopback, {0, 0, 1, 'P'})), Concat(Name16(own), Name16(peer)));
}

// The client's voice packet: u16 0, count, sender, frame length + 1, recipients, marker, frame.
Bytes VoicePacket(const std::string& sender, const std::vector<std::string>& recipients, const Bytes& frame) {
  Bytes packet = Concat(Concat(U16(0), U16(static_cast<std::uint16_t>(recipients.size()))),
                        Concat(Name16(sender), U32(static_cast<std::uint32_t>(frame.size() + 1))));
  for (const std::string& r : recipients) packet = Concat(packet, Concat(Name16(r), Name16("Loopback Node")));
  return Concat(Concat(packet, {0x11}), frame);
}

Bytes RelayedVoice(const std::string& sender, const Bytes& frame) {
  const Bytes body = Concat(Concat(Name16(sender), U32(static_cast<std::uint32_t>(frame.size() + 1))),
                            Concat({0x11}, frame));
  return Concat(Header(NCSMSG_BLOCK, 0, 0, static_cast<std::uint32_t>(body.size())), body);
}

Bytes Frame108(const Bytes& packet) {
  return Concat(Header(kNcsMsgVoiceBlock, 0, 0, static_cast<std::uint32_t>(packet.size())), packet);
}

TEST(NodeIntroductions, TheNewcomerIsToldToCallTheOtherOnceEachTrustsTheOther) {
  NodeServer node;
  ASSERT_TRUE(node.Ok());
  NodeClient first;
  ASSERT_TRUE(first.LogIn(node, "F-AAAA", 40001));
  EXPECT_TRUE(first.Quiet()) << "alone, nobody is introduced";

  NodeClient second;
  ASSERT_TRUE(second.LogIn(node, "F-BBBB", 40002));
  EXPECT_EQ(first.Next(TrustOrder().size()), TrustOrder());
  EXPECT_EQ(second.Next(TrustOrder().size()), TrustOrder());
  const Bytes order = NeighbourOrder(40001, 0, "F-AAAA");
  EXPECT_EQ(second.Next(order.size()), order);
  EXPECT_TRUE(first.Quiet());
  EXPECT_TRUE(second.Quiet());
  EXPECT_EQ(node.Introduced(), 1u);

  // A third meets both, and is the one who calls.
  NodeClient third;
  ASSERT_TRUE(third.LogIn(node, "F-CCCC", 40003));
  EXPECT_EQ(first.Next(TrustOrder().size()), TrustOrder());
  EXPECT_EQ(second.Next(TrustOrder().size()), TrustOrder());
  for (const auto& [port, callsign] : {std::pair<std::uint16_t, std::string>{40001, "F-AAAA"}, {40002, "F-BBBB"}}) {
    EXPECT_EQ(third.Next(TrustOrder().size()), TrustOrder()) << callsign;
    const Bytes expected = NeighbourOrder(port, 0, callsign);
    EXPECT_EQ(third.Next(expected.size()), expected) << callsign;
  }
  EXPECT_EQ(node.Introduced(), 3u);
  ASSERT_EQ(node.Clients().size(), 3u);
  EXPECT_EQ(node.ClientByCallsign("F-BBBB")->listenPort, 40002);
}

TEST(NodeIntroductions, NobodyIsIntroducedWhenTurnedOffNorToHimself) {
  struct Case {
    const char* name;
    NodeServer::Introductions how;
    std::string secondCallsign;
  };
  const Case cases[] = {
      {"turned off", NodeServer::Introductions::Off, "F-BBBB"},
      {"one callsign twice", NodeServer::Introductions::Direct, "F-AAAA"},
  };
  for (const Case& c : cases) {
    NodeServer node;
    ASSERT_TRUE(node.Ok());
    node.SetIntroductions(c.how);
    NodeClient first;
    NodeClient second;
    ASSERT_TRUE(first.LogIn(node, "F-AAAA", 40001)) << c.name;
    ASSERT_TRUE(second.LogIn(node, c.secondCallsign, 40002)) << c.name;
    EXPECT_TRUE(first.Quiet()) << c.name;
    EXPECT_TRUE(second.Quiet()) << c.name;
    EXPECT_EQ(node.Introduced(), 0u) << c.name;
  }
}

TEST(NodeIntroductions, ATunnelIsOrderedAndSplicedThroughTheNode) {
  NodeServer node;
  ASSERT_TRUE(node.Ok());
  node.SetIntroductions(NodeServer::Introductions::Tunnelled);
  node.SetHeartbeatInterval(50);  // never on a tunnel's links
  NodeClient first;
  NodeClient second;
  ASSERT_TRUE(first.LogIn(node, "F-AAAA", 40001));
  ASSERT_TRUE(second.LogIn(node, "F-BBBB", 40002));
  const auto nextOrder = [](NodeClient& client, std::size_t size) {
    for (;;) {
      Bytes got = client.Next(12);
      if (got.size() != 12 || got != Header(kNcsMsgHeaderOnly, 0, 0, 0)) return Concat(got, client.Next(size - 12));
    }
  };
  EXPECT_EQ(nextOrder(second, TrustOrder().size()), TrustOrder());
  const Bytes order = NeighbourOrder(node.Port(), kNeighbourTunnelled, "F-AAAA");
  EXPECT_EQ(nextOrder(second, order.size()), order);

  // The newcomer's way calls the node and asks for the tunnel ...
  LoopbackClient requester;
  ASSERT_TRUE(requester.Connect(node.Port()));
  ASSERT_TRUE(requester.Send(AsString(Concat(Header(NCSMSG_REQ_TUNNCONNECT, 0, 0, 48), TunnelBody("F-BBBB", "F-AAAA")))));
  // ... the other is ordered to reach him through the node ...
  EXPECT_EQ(nextOrder(first, TrustOrder().size()), TrustOrder());
  const Bytes tunnelOrder = Concat(
      Header(NCSMSG_REQ_TUNNCONNECTME, 0, 0, 48),
      Concat(Concat(Bytes(8, 0), Concat(kLoopback, Concat(U16(node.Port()), {0, 'P'}))),
             Concat(Name16("F-BBBB"), Name16("F-BBBB"))));
  EXPECT_EQ(nextOrder(first, tunnelOrder.size()), tunnelOrder);
  LoopbackClient accepter;
  ASSERT_TRUE(accepter.Connect(node.Port()));
  ASSERT_TRUE(accepter.Send(AsString(Concat(Header(NCSMSG_ACK_TUNNCONNECTME, 0, 0, 48), TunnelBody("F-AAAA", "F-BBBB")))));
  // ... and the requester is told to start: he logs in over the tunnel.
  EXPECT_EQ(AsBytes(requester.Receive(12, kWaitMs)), Header(NCSMSG_ANY_PEER, NCSUB_START_TUNNEL, 0, 0));
  EXPECT_EQ(node.TunnelsOpened(), 1u);

  // From then on each end's bytes reach the other unread, frames or not.
  const std::string login = AsString(Concat(Header(NCSMSG_PILOT, NCSUB_LOGIN, 1, 4), {1, 2, 3, 4}));
  ASSERT_TRUE(requester.Send(login));
  EXPECT_EQ(accepter.Receive(login.size(), kWaitMs), login);
  ASSERT_TRUE(accepter.Send("not a frame"));
  EXPECT_EQ(requester.Receive(11, kWaitMs), "not a frame");
  EXPECT_EQ(node.TunnelBytes(), login.size() + 11);
  EXPECT_TRUE(requester.Receive(1, kQuietMs).empty()) << "no heartbeat on a tunnel";

  // One end closing closes the other; the clients' own links stay up.
  requester.Close();
  EXPECT_TRUE(accepter.Receive(1, kWaitMs).empty());
  EXPECT_TRUE(accepter.PeerClosed());
  EXPECT_EQ(node.Clients().size(), 2u);
}

TEST(NodeIntroductions, TunnelRequestsThatMatchNothingOpenNothing) {
  NodeServer node;
  ASSERT_TRUE(node.Ok());
  NodeClient first;
  ASSERT_TRUE(first.LogIn(node, "F-AAAA", 40001));
  node.SetIntroductions(NodeServer::Introductions::Off);
  struct Case {
    const char* name;
    Bytes frame;
  };
  const Case cases[] = {
      {"request for a callsign not logged in",
       Concat(Header(NCSMSG_REQ_TUNNCONNECT, 0, 0, 48), TunnelBody("F-BBBB", "F-ZZZZ"))},
      {"acceptance nobody asked for", Concat(Header(NCSMSG_ACK_TUNNCONNECTME, 0, 0, 48), TunnelBody("F-AAAA", "F-BBBB"))},
      {"short request", Concat(Header(NCSMSG_REQ_TUNNCONNECT, 0, 0, 20), Bytes(20, 0))},
  };
  for (const Case& c : cases) {
    LoopbackClient link;
    ASSERT_TRUE(link.Connect(node.Port())) << c.name;
    const std::size_t before = node.FrameCount();
    ASSERT_TRUE(link.Send(AsString(c.frame))) << c.name;
    ASSERT_TRUE(node.WaitForFrames(before + 1, kWaitMs)) << c.name;
    EXPECT_TRUE(link.Receive(1, kQuietMs).empty()) << c.name;
    EXPECT_TRUE(first.Quiet()) << c.name;
  }
  EXPECT_EQ(node.TunnelsOpened(), 0u);
}

TEST(NodeIntroductions, HeartbeatsOfLoggedInClientsAreAnsweredWhenAsked) {
  NodeServer node;
  ASSERT_TRUE(node.Ok());
  NodeClient client;
  ASSERT_TRUE(client.LogIn(node, "F-AAAA", 40001));
  const std::string heartbeat = AsString(Header(kNcsMsgHeaderOnly, 0, 0, 0));
  ASSERT_TRUE(client.socket.Send(heartbeat));
  EXPECT_TRUE(client.Quiet()) << "off by default";

  node.SetAnswerHeartbeats(true);
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(client.socket.Send(heartbeat));
    EXPECT_EQ(client.Next(12), Header(kNcsMsgHeaderOnly, 0, 0, 0)) << i;
  }
  LoopbackClient stranger;
  ASSERT_TRUE(stranger.Connect(node.Port()));
  ASSERT_TRUE(stranger.Send(heartbeat));
  EXPECT_TRUE(stranger.Receive(1, kQuietMs).empty()) << "not logged in";
  EXPECT_EQ(node.HeartbeatsSent(), 3u);
}

class NodeVoice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(node_.Ok());
    node_.SetIntroductions(NodeServer::Introductions::Off);
    ASSERT_TRUE(a_.LogIn(node_, "F-AAAA", 40001));
    ASSERT_TRUE(b_.LogIn(node_, "F-BBBB", 40002));
    ASSERT_TRUE(c_.LogIn(node_, "F-CCCC", 40003));
  }
  NodeServer node_;
  NodeClient a_, b_, c_;
  const Bytes frame_ = Bytes{0x3C, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
};

TEST_F(NodeVoice, APacketReachesEachRecipientAsTheRelayedBody) {
  // F-ZZZZ is not logged in; the sender naming himself gets nothing back.
  ASSERT_TRUE(a_.socket.Send(AsString(Frame108(VoicePacket("F-AAAA", {"F-BBBB", "F-ZZZZ", "F-CCCC", "F-AAAA"}, frame_)))));
  const Bytes relayed = RelayedVoice("F-AAAA", frame_);
  EXPECT_EQ(b_.Next(relayed.size()), relayed);
  EXPECT_EQ(c_.Next(relayed.size()), relayed);
  EXPECT_TRUE(a_.Quiet());
  EXPECT_EQ(node_.VoiceRelayed(), 2u);

  // One recipient only: the other hears nothing.
  ASSERT_TRUE(c_.socket.Send(AsString(Frame108(VoicePacket("F-CCCC", {"F-AAAA"}, {0x3C, 9})))));
  EXPECT_EQ(a_.Next(RelayedVoice("F-CCCC", {0x3C, 9}).size()), RelayedVoice("F-CCCC", {0x3C, 9}));
  EXPECT_TRUE(b_.Quiet());
  EXPECT_EQ(node_.VoiceRefused(), 0u);
}

TEST_F(NodeVoice, APacketOffItsLayoutIsRefusedAndTheLinkStays) {
  const Bytes good = VoicePacket("F-AAAA", {"F-BBBB"}, frame_);
  ASSERT_EQ(good.size(), 78u);
  ASSERT_EQ(good[20], 22);
  ASSERT_EQ(good[56], 0x11);
  const auto with = [&](std::size_t at, std::uint8_t value) {
    Bytes bad = good;
    bad[at] = value;
    return bad;
  };
  struct Case {
    const char* name;
    Bytes packet;
    std::uint8_t subCode;
  };
  Bytes unterminated = good;
  std::fill(unterminated.begin() + 4, unterminated.begin() + 20, 'X');
  const Case cases[] = {
      {"first word not 0", with(0, 1), 0},
      {"no recipient", with(2, 0), 0},
      {"51 recipients", with(2, 51), 0},
      {"frame length past the body", with(20, 23), 0},
      {"frame length short of the body", with(20, 21), 0},
      {"no marker", with(56, 0x12), 0},
      {"sender unterminated", unterminated, 0},
      {"another sender than the link's", VoicePacket("F-CCCC", {"F-BBBB"}, frame_), 0},
      {"a frame of 33 bytes", VoicePacket("F-AAAA", {"F-BBBB"}, Bytes(33, 7)), 0},
      {"shorter than its lead", Bytes(good.begin(), good.begin() + 20), 0},
      {"another sub-code", good, 1},
  };
  std::size_t refused = 0;
  for (const Case& c : cases) {
    ASSERT_TRUE(a_.socket.Send(AsString(Concat(
        Header(kNcsMsgVoiceBlock, c.subCode, 0, static_cast<std::uint32_t>(c.packet.size())), c.packet))))
        << c.name;
    ++refused;
    EXPECT_TRUE(node_.WaitForVoiceRefused(refused, kWaitMs)) << c.name;
    EXPECT_EQ(node_.VoiceRefused(), refused) << c.name;
  }
  EXPECT_TRUE(b_.Quiet());
  EXPECT_EQ(node_.VoiceRelayed(), 0u);
  // The link stays: a sound packet after them all is relayed.
  ASSERT_TRUE(a_.socket.Send(AsString(Frame108(good))));
  EXPECT_EQ(b_.Next(RelayedVoice("F-AAAA", frame_).size()), RelayedVoice("F-AAAA", frame_));
}

TEST_F(NodeVoice, TheNodeInjectsItsOwnFrames) {
  ASSERT_TRUE(node_.SendVoiceTo("F-BBBB", "NODE-TONE", frame_));
  EXPECT_EQ(b_.Next(RelayedVoice("NODE-TONE", frame_).size()), RelayedVoice("NODE-TONE", frame_));
  EXPECT_FALSE(node_.SendVoiceTo("F-ZZZZ", "NODE-TONE", frame_));
  EXPECT_TRUE(a_.Quiet());
  EXPECT_TRUE(c_.Quiet());
}

TEST(VoiceRelay, TheRelayedBodyCutsTheSenderToItsField) {
  const Bytes body = WriteRelayedVoice("ABCDEFGHIJKLMNOPQRS", Bytes{0x3C, 1});
  ASSERT_EQ(body.size(), 23u);
  EXPECT_EQ(Bytes(body.begin(), body.begin() + 16), Name16("ABCDEFGHIJKLMNO"));
  EXPECT_EQ(Bytes(body.begin() + 16, body.end()), (Bytes{3, 0, 0, 0, 0x11, 0x3C, 1}));
}

}  // namespace
