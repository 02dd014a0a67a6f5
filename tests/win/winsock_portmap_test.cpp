#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "testbed/loopback_peer.h"
#include "win/winsock.h"

namespace {

// Each test sets its own TK_PORTMAP and leaves the environment as it found it.
class PortMap : public testing::Test {
 protected:
  void SetUp() override {
    if (const char* text = std::getenv("TK_PORTMAP")) saved_ = text;
  }
  void TearDown() override {
    if (saved_) {
      setenv("TK_PORTMAP", saved_->c_str(), 1);
    } else {
      unsetenv("TK_PORTMAP");
    }
    ReloadPortMapForTest();
  }
  static void Use(const std::string& text) {
    setenv("TK_PORTMAP", text.c_str(), 1);
    ReloadPortMapForTest();
  }

 private:
  std::optional<std::string> saved_;
};

}  // namespace

TEST_F(PortMap, ReadsPairsAndIgnoresMalformedOnes) {
  Use("80=18080,55009=23456, 81 = 1081 ,x=1,82=,=83,84=70000,0=5,85=0,86=1=2,80=9999,,87,88=-1,89=0x10");
  struct Case {
    std::uint16_t from;
    std::uint16_t to;
  };
  for (const Case c : {Case{80, 18080}, Case{55009, 23456}, Case{81, 1081}, Case{82, 82}, Case{83, 83},
                       Case{84, 84}, Case{0, 0}, Case{5, 5}, Case{85, 85}, Case{86, 86}, Case{87, 87},
                       Case{88, 88}, Case{89, 89}, Case{18080, 18080}, Case{1, 1}}) {
    EXPECT_EQ(WsRemapPort(c.from), c.to) << c.from;
  }
}

TEST_F(PortMap, NoVariableMeansNoRemap) {
  unsetenv("TK_PORTMAP");
  ReloadPortMapForTest();
  for (const std::uint16_t port : {0, 80, 55009, 65535}) EXPECT_EQ(WsRemapPort(port), port);
  Use("");
  EXPECT_EQ(WsRemapPort(80), 80);
}

TEST_F(PortMap, ConnectGoesToTheMappedPort) {
  const LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  Use("80=" + std::to_string(server.Port()));
  LoopbackClient client;
  ASSERT_TRUE(client.Connect(80));
  EXPECT_TRUE(server.WaitForConnections(1, 5000));
  sockaddr_in peer{};
  ASSERT_EQ(WsGetPeerName(client.Socket(), &peer), 0);
  EXPECT_EQ(ntohs(peer.sin_port), server.Port());
}

TEST_F(PortMap, BindGoesToTheMappedPort) {
  // Mapped onto a port a listener holds, the bind must collide with it.
  const LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  Use("55009=" + std::to_string(server.Port()));
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  ASSERT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(WsBind(s, MakeSockAddrIPv4(INADDR_LOOPBACK, 55009)), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
  closesocket(s);

  // And onto a free ephemeral port, the socket ends up there.
  const SOCKET probe = WsSocket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(WsBind(probe, MakeSockAddrIPv4(INADDR_LOOPBACK, 0)), 0);
  sockaddr_in probed{};
  ASSERT_EQ(WsGetSockName(probe, &probed), 0);
  closesocket(probe);
  Use("55009=" + std::to_string(ntohs(probed.sin_port)));
  const SOCKET bound = WsSocket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(WsSetReuseAddr(bound, true), 0);
  ASSERT_EQ(WsBind(bound, MakeSockAddrIPv4(INADDR_LOOPBACK, 55009)), 0);
  sockaddr_in name{};
  ASSERT_EQ(WsGetSockName(bound, &name), 0);
  EXPECT_EQ(name.sin_port, probed.sin_port);
  closesocket(bound);
}
