#include "testbed/loopback_peer.h"

#include <string>

#include <gtest/gtest.h>

namespace {
constexpr int kWait = 5000;  // only reached when something is wrong
}

TEST(LoopbackPeer, RecordsEachConnectionApart) {
  const LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  ASSERT_NE(server.Port(), 0);
  LoopbackClient first;
  LoopbackClient second;
  ASSERT_TRUE(first.Connect(server.Port()));
  ASSERT_TRUE(server.WaitForConnections(1, kWait));
  ASSERT_TRUE(second.Connect(server.Port()));
  ASSERT_TRUE(server.WaitForConnections(2, kWait));

  ASSERT_TRUE(first.Send("alpha"));
  ASSERT_TRUE(second.Send("beta"));
  ASSERT_TRUE(first.Send("-more"));
  ASSERT_TRUE(server.WaitForBytes(10, kWait, 0));
  ASSERT_TRUE(server.WaitForBytes(4, kWait, 1));
  EXPECT_EQ(server.Received(0), "alpha-more");
  EXPECT_EQ(server.Received(1), "beta");
  EXPECT_EQ(server.ConnectionCount(), 2u);
}

TEST(LoopbackPeer, ServerSendsAndClientReceivesWithinTimeout) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  LoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port()));
  ASSERT_TRUE(server.WaitForConnections(1, kWait));
  ASSERT_TRUE(server.Send("hello"));
  EXPECT_EQ(client.Receive(5, kWait), "hello");
  // Nothing more is coming: a short wait gives nothing and the connection stays up.
  EXPECT_EQ(client.Receive(1, 30), "");
  EXPECT_FALSE(client.PeerClosed());
}

TEST(LoopbackPeer, LargeTransfersBothWays) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  LoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port()));
  ASSERT_TRUE(server.WaitForConnections(1, kWait));
  std::string block(1 << 20, '\0');
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7 + i / 251);

  ASSERT_TRUE(client.Send(block));
  ASSERT_TRUE(server.WaitForBytes(block.size(), kWait));
  EXPECT_EQ(server.Received(), block);
  EXPECT_EQ(server.ReceivedCount(), block.size());

  // Bigger than the socket buffers: only works while the client is reading.
  std::thread reader([&] { EXPECT_EQ(client.Receive(block.size(), kWait), block); });
  EXPECT_TRUE(server.Send(block));
  reader.join();
}

TEST(LoopbackPeer, ClientSeesCleanEndOrReset) {
  for (const bool abrupt : {false, true}) {
    LoopbackServer server;
    ASSERT_TRUE(server.Ok());
    LoopbackClient client;
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(server.WaitForConnections(1, kWait));
    ASSERT_TRUE(server.Send("last"));
    if (abrupt) {
      ASSERT_TRUE(server.CloseAbruptly());
    } else {
      ASSERT_TRUE(client.Receive(4, kWait) == "last");
      ASSERT_TRUE(server.CloseCleanly());
    }
    client.Receive(100, kWait);
    EXPECT_TRUE(client.PeerClosed()) << "abrupt " << abrupt;
    // A second close of the same connection has nothing left to do.
    EXPECT_FALSE(server.CloseCleanly());
    EXPECT_FALSE(server.Send("x"));
  }
}

TEST(LoopbackPeer, CleanCloseKeepsBytesThatArrivedJustBefore) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  LoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port()));
  ASSERT_TRUE(server.WaitForConnections(1, kWait));
  ASSERT_TRUE(client.Send("tail"));
  ASSERT_TRUE(server.CloseCleanly());
  // Unread bytes would have made the close a reset; the client sees an orderly end.
  char byte = 0;
  EXPECT_EQ(WsRecv(client.Socket(), &byte, 1, 0), 0);
}

TEST(LoopbackPeer, ServerSeesClientCloseEitherWay) {
  for (const bool abrupt : {false, true}) {
    const LoopbackServer server;
    ASSERT_TRUE(server.Ok());
    LoopbackClient client;
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(client.Send("bye"));
    ASSERT_TRUE(server.WaitForBytes(3, kWait));
    EXPECT_FALSE(server.PeerClosed());
    abrupt ? client.CloseAbruptly() : client.Close();
    EXPECT_TRUE(server.WaitForPeerClose(kWait)) << "abrupt " << abrupt;
    EXPECT_EQ(server.Received(), "bye");
  }
}

TEST(LoopbackPeer, UnknownConnectionIsRefusedQuietly) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  EXPECT_FALSE(server.Send("x", 3));
  EXPECT_FALSE(server.CloseAbruptly(3));
  EXPECT_EQ(server.Received(3), "");
  EXPECT_FALSE(server.PeerClosed(3));
  EXPECT_FALSE(server.WaitForBytes(1, 10, 3));
  EXPECT_FALSE(server.WaitForConnections(1, 10));
}

TEST(LoopbackPeer, DestructionWithOpenConnectionsEndsThem) {
  LoopbackClient client;
  {
    const LoopbackServer server;
    ASSERT_TRUE(server.Ok());
    ASSERT_TRUE(client.Connect(server.Port()));
    ASSERT_TRUE(server.WaitForConnections(1, kWait));
  }
  client.Receive(1, kWait);
  EXPECT_TRUE(client.PeerClosed());
}

TEST(LoopbackPeer, ClientReportsRefusal) {
  std::uint16_t port = 0;
  {
    const LoopbackServer server;
    ASSERT_TRUE(server.Ok());
    port = server.Port();
  }
  // The port was just released; a refusal is what is expected, but another test may have taken it.
  LoopbackClient client;
  int error = 0;
  if (!client.Connect(port, &error)) {
    EXPECT_EQ(error, WSAECONNREFUSED);
    EXPECT_FALSE(client.Connected());
    EXPECT_FALSE(client.Send("x"));
    EXPECT_EQ(client.Receive(1, 10), "");
  }
}
