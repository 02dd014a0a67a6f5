// The node's orders to open links: a neighbour reached directly, and a
// tunnel asked for by another peer. A free peer way gets the node's block as
// its message payload and makes the link.
#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <string>

#include "net/frame_codes.h"
#include "node_way_fixture.h"
#include "testbed/loopback_peer.h"

namespace {

std::uint32_t Address(const char* dotted) {
  in_addr address{};
  inet_pton(AF_INET, dotted, &address);
  return address.s_addr;
}

class NodeWayOrdersTest : public NodeWayTest {
 protected:
  static std::uint32_t Allocated() {
    WayTableGuard guard;
    std::uint32_t count = 0;
    for (const WayRecord& record : WayTable()) count += (record.stateFlags & kWayAllocated) != 0 ? 1 : 0;
    return count;
  }
  static void AllocateAll() {
    WayTableGuard guard;
    while (AllocatePeerWay("BUSY") >= 0) {
    }
  }
  static NeighbourLinkRecord Neighbour(char kind, const char* callsign, std::uint16_t port) {
    NeighbourLinkRecord link;
    link.address = Address("127.0.0.1");
    link.port = port;
    link.peerKind = kind;
    link.callsign = callsign;
    return link;
  }
  static TunnelRequestRecord Tunnel(char kind, const char* callsign, const char* requester) {
    TunnelRequestRecord request;
    request.address = Address("203.0.113.9");
    request.port = 4000;
    request.peerKind = kind;
    request.peerCallsign = callsign;
    request.requesterName = requester;
    return request;
  }
};

TEST_F(NodeWayOrdersTest, ANeighbourIsConnectedByAFreeWayOnce) {
  LoopbackServer neighbour;
  ASSERT_TRUE(neighbour.Ok());
  TestWay first(0);
  TestWay second(1);
  ASSERT_TRUE(first.Start());
  ASSERT_TRUE(second.Start());
  way_->SetPeerWay(0, &first);
  way_->SetPeerWay(1, &second);
  LogIn();

  ASSERT_TRUE(server_->SendNeighbourLink(Neighbour('P', "NEIGH1", neighbour.Port())));
  ASSERT_TRUE(neighbour.WaitForConnections(1, kWaitMs)) << "the way got the block and connected";
  EXPECT_EQ(first.RunOnThread([&] { return std::string(first.Name()); }), "[DSOCK 0 = NEIGH1]");
  EXPECT_EQ(first.PeerKind(), 'P');
  {
    WayTableGuard guard;
    EXPECT_EQ(FieldText(WayTable()[0].callsign), "NEIGH1");
    EXPECT_EQ(WayTable()[0].peerPort, neighbour.Port());
  }

  // The callsign has its way now: the same order opens nothing more.
  ASSERT_TRUE(server_->SendNeighbourLink(Neighbour('A', "NEIGH1", neighbour.Port())));
  Settle();
  EXPECT_EQ(Allocated(), 1u);
  EXPECT_EQ(neighbour.ConnectionCount(), 1u);
  EXPECT_TRUE(second.KindMessages().empty());
}

TEST_F(NodeWayOrdersTest, ANeighbourOrderThatCannotBeServedOpensNothing) {
  struct Case {
    const char* label;
    char kind;
    bool allFull;
    const char* line;
  };
  LogIn();
  for (const Case& c : {Case{"unknown kind", 'X', false, "app_TK g_porvNode System Error SYSERR_4240 : ODD1 "},
                        Case{"no free way", 'P', true, "No sockets available to connect a neighbor ! "},
                        Case{"no way object", 'A', false, nullptr}}) {
    SCOPED_TRACE(c.label);
    way_->ClearRecords();
    {
      WayTableGuard guard;
      WayTable() = WayTableArray{};
    }
    if (c.allFull) AllocateAll();
    ASSERT_TRUE(server_->SendNeighbourLink(Neighbour(c.kind, "ODD1", 4000)));
    Settle();
    EXPECT_EQ(Allocated(), c.allFull ? static_cast<std::uint32_t>(kPeerWayCount) : 0u);
    EXPECT_EQ(LookupWayByCallsign("ODD1"), -1);
    if (c.line != nullptr) {
      EXPECT_EQ(way_->Find(c.line).colour, kColourError);
    }
    EXPECT_TRUE(way_->ProtocolErrors().empty());
  }
}

TEST_F(NodeWayOrdersTest, ATunnelIsOpenedOncePerAskingPeer) {
  LoopbackServer relay;
  ASSERT_TRUE(relay.Ok());
  // The peer way reaches the tunnel through the node's host and port.
  TestWay node(WAYID_NODE, "g_porvNode");
  ASSERT_TRUE(node.Start());
  ASSERT_EQ(node.RunOnThread([&] { return node.ConnectWay("127.0.0.1", relay.Port()); }), 0);
  ASSERT_TRUE(relay.WaitForConnections(1, kWaitMs));
  TestWay peer(0);
  peer.SetNeighbourContext(&node, "", "");
  ASSERT_TRUE(peer.Start());
  way_->SetPeerWay(0, &peer);
  LogIn();

  ASSERT_TRUE(server_->SendTunnelRequest(Tunnel('P', "FAR1", "ASKER")));
  ASSERT_TRUE(relay.WaitForConnections(2, kWaitMs));
  ASSERT_TRUE(relay.WaitForBytes(12 + kTunnelBodySize, kWaitMs, 1));
  const std::string frame = relay.Received(1);
  EXPECT_EQ(static_cast<std::uint8_t>(frame[4]), NCSMSG_ACK_TUNNCONNECTME);
  EXPECT_EQ(std::string(frame.substr(12 + 32, 16).c_str()), "FAR1") << "the block reached the way";
  EXPECT_EQ(peer.RunOnThread([&] { return std::string(peer.PeerName()); }), "ASKER");
  EXPECT_EQ(LookupWayByPeerName("ASKER"), 0);

  ASSERT_TRUE(server_->SendTunnelRequest(Tunnel('P', "FAR2", "ASKER")));
  Settle();
  EXPECT_EQ(way_->Find("app_TK g_porvNode Already Tunnel for ASKER way 0 ").colour, kColourEmphasis);
  EXPECT_EQ(Allocated(), 1u);
  EXPECT_EQ(relay.ConnectionCount(), 2u);
}

TEST_F(NodeWayOrdersTest, ATunnelRequestThatCannotBeServedOpensNothing) {
  struct Case {
    const char* label;
    char kind;
    const char* callsign;
    bool allFull;
    const char* line;
  };
  LogIn();
  for (const Case& c :
       {Case{"unknown kind", 'Q', "FAR3", false, "app_TK g_porvNode System Error SYSERR_4270 : ASKER3 "},
        Case{"callsign of another way", 'P', "HAVE1", false, nullptr},
        Case{"no free way", 'A', "FAR4", true, "No sockets available to connect a tunneled neighbor ! "}}) {
    SCOPED_TRACE(c.label);
    way_->ClearRecords();
    {
      WayTableGuard guard;
      WayTable() = WayTableArray{};
      ASSERT_EQ(AllocatePeerWay("HAVE1"), 0);
    }
    if (c.allFull) AllocateAll();
    ASSERT_TRUE(server_->SendTunnelRequest(Tunnel(c.kind, c.callsign, "ASKER3")));
    Settle();
    EXPECT_EQ(Allocated(), c.allFull ? static_cast<std::uint32_t>(kPeerWayCount) : 1u);
    EXPECT_EQ(LookupWayByPeerName("ASKER3"), -2);
    if (c.line != nullptr) {
      EXPECT_EQ(way_->Find(c.line).colour, kColourError);
    }
  }
}

}  // namespace
