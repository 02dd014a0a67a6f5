// Links to neighbours named by the node: direct, tunnelled through the node,
// and the own public address reached on loopback.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <array>
#include <cstring>
#include <string>

#include "net/frame_codes.h"
#include "test_way.h"
#include "testbed/loopback_peer.h"
#include "win/clock.h"

namespace {

constexpr int kWaitMs = 5'000;

std::array<std::uint8_t, kNeighbourLinkSize> NeighbourBlock(const char* address, std::uint16_t port, bool tunnelled,
                                                            char kind, const char* callsign) {
  std::array<std::uint8_t, kNeighbourLinkSize> block{};
  in_addr parsed{};
  inet_pton(AF_INET, address, &parsed);
  std::memcpy(block.data() + 8, &parsed.s_addr, 4);
  block[12] = static_cast<std::uint8_t>(port & 0xFF);
  block[13] = static_cast<std::uint8_t>(port >> 8);
  block[14] = tunnelled ? 1 : 0;
  block[15] = static_cast<std::uint8_t>(kind);
  std::memcpy(block.data() + 16, callsign, std::strlen(callsign));
  return block;
}

std::string TextAt(const std::string& bytes, std::size_t offset) {
  return std::string(bytes.substr(offset, 16).c_str());
}

class NeighbourLinkTest : public WayTest {
 protected:
  static void Allocate(const char* callsign, std::int32_t expected) {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay(callsign), expected);
  }
  static void PostBlock(TestWay& way, std::uint32_t id, std::span<const std::uint8_t> block) {
    ASSERT_EQ(CBaseThread::PostData(nullptr, &way, id, 0, static_cast<std::uint32_t>(block.size()), block.data(), "T"),
              1);
  }
};

TEST(SameHostAddressTest, OnlyEqualTextsNameTheSameHost) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  for (const Case& c : {Case{"10.1.2.3", "10.1.2.3", true}, Case{"10.1.2.3", "10.1.2.30", false},
                        Case{"0.1.2.3", "10.1.2.3", false}, Case{"10.1.2.3", "node.10.1.2.3.example", false},
                        Case{"", "", false}, Case{"", "10.1.2.3", false}}) {
    EXPECT_EQ(SameHostAddress(c.a, c.b), c.same) << c.a << " / " << c.b;
  }
}

TEST_F(NeighbourLinkTest, NeighbourAtTheOwnPublicAddressIsReachedOnLoopback) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  Allocate("PEER0", 0);
  Allocate("PEER1", 1);
  TestWay way(1);
  way.SetNeighbourContext(nullptr, "10.1.2.3", "");
  ASSERT_TRUE(way.Start());
  const auto block = NeighbourBlock("10.1.2.3", server.Port(), false, 'P', "NEIGH1");
  PostBlock(way, THRDMSG_CONNECT_NEIGHBOUR, block);

  ASSERT_TRUE(server.WaitForConnections(1, kWaitMs));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !way.KindMessages().empty(); }))
      << "a direct link posts itself the connect that the pilot handler turns into a login";
  EXPECT_EQ(way.KindMessages().front(), THRDMSG_CONNECT);
  EXPECT_EQ(way.PeerKind(), 'P');
  EXPECT_EQ(way.RunOnThread([&] { return std::string(way.Name()); }), "[DSOCK 1 = PEER1]");
  EXPECT_EQ(way.RunOnThread([&] { return std::string(way.HostText()); }), "127.0.0.1");
  EXPECT_EQ(way.RunOnThread([&] { return way.SelectTimeoutUs(); }), 50u);
  WayTableGuard guard;
  const WayRecord& record = WayTable()[1];
  EXPECT_EQ(record.peerKind, 'P');
  EXPECT_EQ(record.peerPort, server.Port());
  in_addr expected{};
  inet_pton(AF_INET, "10.1.2.3", &expected);
  EXPECT_EQ(record.peerAddress, expected.s_addr);
}

TEST_F(NeighbourLinkTest, TunnelledNeighbourGoesThroughTheNodeAndAsksForTheTunnel) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  TestWay node(WAYID_NODE, "g_porvNode");
  ASSERT_TRUE(node.Start());
  ASSERT_EQ(node.RunOnThread([&] { return node.ConnectWay("127.0.0.1", server.Port()); }), 0);
  ASSERT_TRUE(server.WaitForConnections(1, kWaitMs));

  Allocate("FAR1", 0);
  TestWay way(0);
  way.SetNeighbourContext(&node, "", "");
  ASSERT_TRUE(way.Start());
  const auto block = NeighbourBlock("203.0.113.9", 4000, true, 'P', "FAR1");
  PostBlock(way, THRDMSG_CONNECT_NEIGHBOUR, block);

  ASSERT_TRUE(server.WaitForConnections(2, kWaitMs));
  ASSERT_TRUE(server.WaitForBytes(12 + kTunnelBodySize, kWaitMs, 1));
  const std::string frame = server.Received(1);
  ASSERT_EQ(frame.size(), 12 + kTunnelBodySize);
  EXPECT_EQ(frame.substr(0, 4), std::string("\xA1\xB2\xC3\x17", 4));
  EXPECT_EQ(static_cast<std::uint8_t>(frame[4]), NCSMSG_REQ_TUNNCONNECT);
  EXPECT_EQ(static_cast<std::uint8_t>(frame[8]), kTunnelBodySize);
  const std::string body = frame.substr(12);
  EXPECT_EQ(body.substr(0, 8), std::string(8, '\0'));
  in_addr far{};
  inet_pton(AF_INET, "203.0.113.9", &far);
  std::uint32_t address = 0;
  std::memcpy(&address, body.data() + 8, 4);
  EXPECT_EQ(address, far.s_addr);
  const auto port = static_cast<std::uint16_t>(static_cast<std::uint8_t>(body[12]) |
                                               (static_cast<std::uint8_t>(body[13]) << 8));
  EXPECT_EQ(port, server.Port()) << "the port chosen: the node's";
  EXPECT_EQ(body[14], 1);
  EXPECT_EQ(body[15], 'P');
  EXPECT_EQ(TextAt(body, 16), "OWN001");
  EXPECT_EQ(TextAt(body, 32), "FAR1");
  EXPECT_EQ(server.ConnectionCount(), 2u);
}

TEST_F(NeighbourLinkTest, TunnelledNeighbourWithoutNodeClearsTheWay) {
  Allocate("FAR2", 0);
  TestWay way(0);
  ASSERT_TRUE(way.Start());
  const auto block = NeighbourBlock("203.0.113.9", 4000, true, 'A', "FAR2");
  PostBlock(way, THRDMSG_CONNECT_NEIGHBOUR, block);
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [] {
    WayTableGuard guard;
    return (WayTable()[0].stateFlags & kWayAllocated) == 0;
  }));
  EXPECT_FALSE(way.IsConnected());
  EXPECT_TRUE(way.KindMessages().empty());
}

}  // namespace
