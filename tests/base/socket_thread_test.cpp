// Socket threads over real loopback connections: connect, accept, close, and the send paths.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "base/main_thread.h"
#include "base/winsock_error_codes.h"
#include "base/klib_settings.h"
#include "test_socket.h"
#include "support/wait_until.h"
#include "testbed/loopback_peer.h"
#include "win/clock.h"

namespace {
using Notice = TestSocket::Notice;
using SendCall = TestSocket::SendCall;

constexpr int kWaitMs = 5'000;

// A notice is a message the loop takes at the start of a pass: once a few more passes
// have run (each flushing, each taking what came), any notice due has been counted.
void ExpectNoMoreNotices(TestSocket& sock, std::size_t count) {
  const unsigned from = sock.Passes();
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return sock.Passes() >= from + 3; }));
  EXPECT_EQ(sock.Notices().size(), count);
}

// A port that refuses calls: bound, never listening.
class RefusingPort {
 public:
  RefusingPort() : socket_(WsSocket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in bound{};
    if (socket_ != INVALID_SOCKET && WsBind(socket_, MakeSockAddrIPv4(INADDR_LOOPBACK, 0)) == 0 &&
        WsGetSockName(socket_, &bound) == 0) {
      port_ = ntohs(bound.sin_port);
    }
  }
  ~RefusingPort() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  std::uint16_t Port() const { return port_; }

 private:
  SOCKET socket_;
  std::uint16_t port_ = 0;
};

// A non-blocking listening socket on an ephemeral port.
class Listener {
 public:
  Listener() : socket_(WsSocket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in bound{};
    if (socket_ != INVALID_SOCKET && WsBind(socket_, MakeSockAddrIPv4(INADDR_LOOPBACK, 0)) == 0 &&
        WsListen(socket_, 4) == 0 && WsSetNonBlocking(socket_, true) == 0 && WsGetSockName(socket_, &bound) == 0) {
      port_ = ntohs(bound.sin_port);
    }
  }
  ~Listener() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
  }
  SOCKET Socket() const { return socket_; }
  std::uint16_t Port() const { return port_; }

 private:
  SOCKET socket_;
  std::uint16_t port_ = 0;
};

class SocketConnectTest : public SocketTest {};

TEST_F(SocketConnectTest, ConnectsAndAnnouncesTheConnectionToItself) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  TestSocket sock;
  ASSERT_TRUE(sock.Start());

  EXPECT_EQ(sock.ConnectTo(server.Port()), 0);
  ASSERT_TRUE(sock.WaitForNotices(1, kWaitMs));
  EXPECT_EQ(sock.Notices().front(), (Notice{1, ""}));
  EXPECT_TRUE(server.WaitForConnections(1, kWaitMs));

  EXPECT_TRUE(sock.IsConnected());
  EXPECT_FALSE(sock.IsLost());
  EXPECT_TRUE(sock.PeerKnown());
  EXPECT_EQ(ntohs(sock.PeerAddress().sin_port), server.Port());
  EXPECT_EQ(ntohl(sock.PeerAddress().sin_addr.s_addr), INADDR_LOOPBACK);
  EXPECT_TRUE(sock.SentAll());
  // After a connection the block sizes are the socket's own buffer sizes.
  EXPECT_EQ(sock.SendBlockSize(), kDefaultSendBufferSize);
  EXPECT_GT(sock.RecvBlockSize(), kInitialBlockSize);

  std::array<char, kSocketHostNameSize> host{};
  WORD port = 0;
  EXPECT_EQ(sock.GetHost(host.data(), host.size(), &port), 0);
  EXPECT_STREQ(host.data(), "127.0.0.1");
  EXPECT_EQ(port, server.Port());
  EXPECT_EQ(sock.GetHost(nullptr, 0, &port), -1);
  EXPECT_EQ(sock.GetHost(host.data(), host.size(), nullptr), -1);
  sock.Stop();
}

struct ConnectFailureCase {
  const char* label;
  DWORD mode;
  bool refusingPort;
  const char* service;
  std::int32_t expected;
};

class SocketConnectFailureTest : public SocketTest, public ::testing::WithParamInterface<ConnectFailureCase> {};

TEST_P(SocketConnectFailureTest, AnswersItsCodeAndOpensNothing) {
  const ConnectFailureCase& c = GetParam();
  RefusingPort refusing;
  ASSERT_NE(refusing.Port(), 0);
  TestSocket sock;
  ASSERT_TRUE(sock.Start(TestSocket::kDefaultRxSize, TestSocket::kDefaultTxSize, c.mode));
  const std::uint16_t port = c.refusingPort ? refusing.Port() : 0;

  const std::int32_t result =
      sock.RunOnThread([&] { return sock.Connect("127.0.0.1", port, c.service); });

  EXPECT_EQ(result, c.expected);
  EXPECT_EQ(sock.Socket(), INVALID_SOCKET);
  EXPECT_FALSE(sock.IsConnected());
  ExpectNoMoreNotices(sock, 0);
  sock.Stop();
}

INSTANTIATE_TEST_SUITE_P(Cases, SocketConnectFailureTest,
                         ::testing::Values(ConnectFailureCase{"Datagram", SOCK_MODE_UDP, true, nullptr, -900},
                                           ConnectFailureCase{"Multicast", SOCK_MODE_MULTICAST, true, nullptr, -900},
                                           ConnectFailureCase{"ClosedPort", SOCK_MODE_TCP, true, nullptr, -3},
                                           ConnectFailureCase{"UnknownService", SOCK_MODE_TCP, false,
                                                              "tk-no-such-service", -2}),
                         [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(SocketConnectTest, WrongModeLeavesTheTargetUntouchedAndSaysSo) {
  TestSocket sock;
  ASSERT_TRUE(sock.Start(TestSocket::kDefaultRxSize, TestSocket::kDefaultTxSize, SOCK_MODE_UDP));
  SetTraceConsole(true);
  testing::internal::CaptureStdout();
  EXPECT_EQ(sock.RunOnThread([&] { return sock.Connect("127.0.0.1", 4321, nullptr); }), -900);
  const std::string traced = testing::internal::GetCapturedStdout();
  EXPECT_NE(traced.find("app_KLIB [TEST SOCK] System Error SOKERR_1000 "), std::string::npos) << traced;
  EXPECT_STREQ(sock.HostName(), "");
  EXPECT_EQ(sock.Port(), 0);
  sock.Stop();
}

TEST_F(SocketConnectTest, AcceptsACallFromTheListeningSocket) {
  Listener listener;
  ASSERT_NE(listener.Port(), 0);
  TestSocket sock;
  ASSERT_TRUE(sock.Start());
  sock.SetDrainPerPass(4096);

  // Nothing is waiting yet: a non-blocking accept finds no socket.
  EXPECT_EQ(sock.RunOnThread([&] { return sock.Accept(listener.Socket()); }), -10);

  LoopbackClient client;
  ASSERT_TRUE(client.Connect(listener.Port()));
  std::int32_t accepted = -1;
  for (int attempt = 0; attempt < 100 && accepted != 0; ++attempt) {
    accepted = sock.RunOnThread([&] { return sock.Accept(listener.Socket()); });
    if (accepted != 0) Sleep(10);
  }
  ASSERT_EQ(accepted, 0);
  ASSERT_TRUE(sock.WaitForNotices(1, kWaitMs));
  EXPECT_EQ(sock.Notices().front(), (Notice{1, ""}));
  EXPECT_TRUE(sock.PeerKnown());

  ASSERT_TRUE(client.Send("hello way"));
  ASSERT_TRUE(sock.WaitForDrained(9, kWaitMs));
  EXPECT_EQ(sock.Drained(), "hello way");
  sock.Stop();
}

TEST_F(SocketConnectTest, AcceptInAnotherModeRefusesAtOnce) {
  Listener listener;
  TestSocket sock;
  ASSERT_TRUE(sock.Start(TestSocket::kDefaultRxSize, TestSocket::kDefaultTxSize, SOCK_MODE_UDP));
  EXPECT_EQ(sock.RunOnThread([&] { return sock.Accept(listener.Socket()); }), -35);
  EXPECT_EQ(sock.Socket(), INVALID_SOCKET);
  sock.Stop();
}

class SocketCloseTest : public SocketTest {
};

struct PeerCloseCase {
  const char* label;
  bool abrupt;
};

class SocketPeerCloseTest : public SocketCloseTest, public ::testing::WithParamInterface<PeerCloseCase> {};

TEST_P(SocketPeerCloseTest, ReachesTheOwnerAsALostConnection) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);

  ASSERT_TRUE(GetParam().abrupt ? server.CloseAbruptly() : server.CloseCleanly());

  ASSERT_TRUE(sock.WaitForNotices(2, kWaitMs));
  EXPECT_EQ(sock.Notices()[1], (Notice{0, "ONDISCNOW by PURB2"}));
  EXPECT_FALSE(sock.IsConnected());
  EXPECT_TRUE(sock.IsLost());
  EXPECT_STREQ(sock.LostReason(), "PURB2");
  EXPECT_EQ(sock.Socket(), INVALID_SOCKET);
  ExpectNoMoreNotices(sock, 2);  // one loss, one notice
  sock.Stop();
}

INSTANTIATE_TEST_SUITE_P(Cases, SocketPeerCloseTest,
                         ::testing::Values(PeerCloseCase{"Orderly", false}, PeerCloseCase{"Reset", true}),
                         [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(SocketCloseTest, TracesTheLossWhenSocketTracesAreOn) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  Klib().traceMask = 1;
  SetTraceConsole(true);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(server.CloseCleanly());
  const bool noticed = sock.WaitForNotices(2, kWaitMs);
  const std::string traced = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(noticed);
  EXPECT_NE(traced.find("app_KLIB [TEST SOCK] Connection lost ( PURB2 ) ( 0, 0 )."), std::string::npos) << traced;
  sock.Stop();
}

TEST_F(SocketCloseTest, RequestedDisconnectRunsOnTheSocketThread) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);

  sock.RequestDisconnect("o_TTES 3.");

  ASSERT_TRUE(sock.WaitForNotices(2, kWaitMs));
  EXPECT_EQ(sock.Notices()[1], (Notice{0, "ONDISCNOW by o_TTES 3."}));
  EXPECT_FALSE(sock.IsLost()) << "a requested disconnect is no loss";
  EXPECT_TRUE(server.WaitForPeerClose(kWaitMs));
  sock.Stop();
}

TEST_F(SocketCloseTest, CloseSocketAnnouncesAClosedConnectionOnce) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);

  EXPECT_EQ(sock.RunOnThread([&] { return sock.CloseSocket(); }), 0);
  ASSERT_TRUE(sock.WaitForNotices(2, kWaitMs));
  EXPECT_EQ(sock.Notices()[1], (Notice{0, ""}));
  EXPECT_FALSE(sock.IsConnected());
  EXPECT_TRUE(server.WaitForPeerClose(kWaitMs));

  // Nothing left to close.
  EXPECT_EQ(sock.RunOnThread([&] { return sock.CloseSocket(); }), -1);
  ExpectNoMoreNotices(sock, 2);
  sock.Stop();
}

TEST_F(SocketCloseTest, ReconnectsWithTheSameObject) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  sock.RequestDisconnect("again");
  ASSERT_TRUE(sock.WaitForNotices(2, kWaitMs));

  EXPECT_EQ(sock.ConnectTo(server.Port()), 0);
  ASSERT_TRUE(sock.WaitForNotices(3, kWaitMs));
  EXPECT_EQ(sock.Notices()[2], (Notice{1, ""}));
  EXPECT_TRUE(server.WaitForConnections(2, kWaitMs));
  sock.Stop();
}

// ---- Sending ----

class SocketSendTest : public SocketCloseTest {};

struct SendMessageCase {
  std::uint32_t length;
  std::vector<SendCall> pieces;
};

class SocketSendMessageTest : public SocketSendTest, public ::testing::WithParamInterface<SendMessageCase> {};

TEST_P(SocketSendMessageTest, ArrivesWholeInPiecesOf20480) {
  const SendMessageCase& c = GetParam();
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  const std::string bytes = TestPattern(c.length);

  ASSERT_EQ(CBaseThread::PostData(nullptr, &sock, THRDMSG_SEND, 0, c.length, bytes.data(), "TEST"), 1);
  // A message behind it shows that the send has been served.
  EXPECT_EQ(sock.RunOnThread([] { return 0; }), 0);

  EXPECT_EQ(sock.Sends(), c.pieces);
  EXPECT_TRUE(server.WaitForBytes(c.length, kWaitMs));
  EXPECT_EQ(server.Received(), bytes);
  EXPECT_EQ(sock.RunOnThread([&] { return sock.BytesSent(); }), c.length);
  EXPECT_EQ(Klib().txByteCount.load(), c.length);
  sock.Stop();
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, SocketSendMessageTest,
    // 45,000 bytes end in a piece of 4,040; a last piece of 4,072 belongs to 45,032 bytes.
    ::testing::Values(SendMessageCase{45'000, {{20'480, "WTSWH0"}, {20'480, "WTSWH0"}, {4'040, "WTSWH1"}}},
                      SendMessageCase{45'032, {{20'480, "WTSWH0"}, {20'480, "WTSWH0"}, {4'072, "WTSWH1"}}},
                      SendMessageCase{40'960, {{20'480, "WTSWH0"}, {20'480, "WTSWH0"}}},
                      SendMessageCase{100, {{100, "WTSWH1"}}}, SendMessageCase{0, {}}),
    [](const auto& testInfo) { return "Bytes" + std::to_string(testInfo.param.length); });

TEST_F(SocketSendTest, SendMessageClaimingMoreThanItCarriesSendsOnlyWhatCame) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);

  // A third word of 30,000 without any payload behind it.
  ASSERT_EQ(CBaseThread::Post(nullptr, &sock, THRDMSG_SEND, 0, 30'000, "TEST"), 1);
  ASSERT_EQ(CBaseThread::PostData(nullptr, &sock, THRDMSG_SEND, 0, 5, "after", "TEST"), 1);
  EXPECT_TRUE(server.WaitForBytes(5, kWaitMs));
  EXPECT_EQ(sock.RunOnThread([] { return 0; }), 0);
  EXPECT_EQ(server.Received(), "after");
  EXPECT_EQ(sock.Sends(), (std::vector<SendCall>{{5, "WTSWH1"}}));
  sock.Stop();
}

struct FlushCase {
  std::uint32_t length;
  DWORD txSize;
  std::vector<SendCall> blocks;
};

class SocketFlushTest : public SocketSendTest, public ::testing::WithParamInterface<FlushCase> {};

TEST_P(SocketFlushTest, SendsTheRingInBlocksOf51200ThenTheRest) {
  const FlushCase& c = GetParam();
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  TestSocket sock;
  ASSERT_TRUE(sock.Start(TestSocket::kDefaultRxSize, c.txSize));
  ASSERT_EQ(sock.ConnectTo(server.Port()), 0);
  const std::string bytes = TestPattern(c.length, 3);

  const std::int32_t flushed = sock.RunOnThread([&] {
    const std::int32_t stored = sock.SendBuffered(bytes.data(), c.length, "TEST", 0);
    return stored != 0 ? stored : sock.FlushTx(1);
  });

  EXPECT_EQ(flushed, static_cast<std::int32_t>(c.length));
  EXPECT_EQ(sock.DirectSends(), c.blocks);
  EXPECT_TRUE(server.WaitForBytes(c.length, kWaitMs));
  EXPECT_EQ(server.Received(), bytes);
  sock.Stop();
}

INSTANTIATE_TEST_SUITE_P(Lengths, SocketFlushTest,
                         ::testing::Values(FlushCase{100'000, 102'400, {{51'200, "SBDATA A"}, {48'800, "SBDATA B"}}},
                                           FlushCase{51'200, 102'400, {{51'200, "SBDATA A"}}},
                                           FlushCase{160'000,
                                                     200'000,
                                                     {{51'200, "SBDATA A"},
                                                      {51'200, "SBDATA A"},
                                                      {51'200, "SBDATA A"},
                                                      {6'400, "SBDATA B"}}},
                                           FlushCase{10, 102'400, {{10, "SBDATA B"}}}),
                         [](const auto& testInfo) { return "Bytes" + std::to_string(testInfo.param.length); });

TEST_F(SocketSendTest, ABlockThatDoesNotFitFlushesTheRingFirstAndKeepsTheOrder) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  const std::string first = TestPattern(60'000, 5);
  const std::string second = TestPattern(60'000, 6);
  const std::string huge = TestPattern(150'000, 7);

  const std::vector<std::int32_t> results = sock.RunOnThread([&] {
    return std::vector<std::int32_t>{sock.SendBuffered(first.data(), 60'000, "ONE", 0),
                                     sock.SendBuffered(second.data(), 60'000, "TWO", 0),
                                     sock.SendBuffered(huge.data(), 150'000, "HUGE", 0), sock.FlushTx(1)};
  });

  EXPECT_EQ(results, (std::vector<std::int32_t>{0, 0, 0, 0}));
  // The second block found no room: the first went out; the huge one fits no ring and goes directly.
  EXPECT_EQ(sock.DirectSends(), (std::vector<SendCall>{{51'200, "SBDATA A"},
                                                       {8'800, "SBDATA B"},
                                                       {51'200, "SBDATA A"},
                                                       {8'800, "SBDATA B"},
                                                       {150'000, "SDTT1"}}));
  const std::size_t total = first.size() + second.size() + huge.size();
  EXPECT_TRUE(server.WaitForBytes(total, kWaitMs));
  EXPECT_EQ(server.Received(), first + second + huge);
  sock.Stop();
}

TEST_F(SocketSendTest, DirectSendGoesOutAtOnce) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  EXPECT_EQ(sock.RunOnThread([&] { return sock.Send("now", 3, false, "TEST"); }), 0);
  EXPECT_EQ(sock.DirectSends(), (std::vector<SendCall>{{3, "WRITA"}}));
  EXPECT_TRUE(server.WaitForBytes(3, kWaitMs));
  EXPECT_EQ(server.Received(), "now");
  sock.Stop();
}

struct FailedFlushCase {
  std::uint32_t length;
  std::int32_t expected;
  const char* reason;
};

class SocketFailedFlushTest : public SocketSendTest, public ::testing::WithParamInterface<FailedFlushCase> {};

TEST_P(SocketFailedFlushTest, EndsTheConnectionInsteadOfLeavingAGap) {
  const FailedFlushCase& c = GetParam();
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  const std::string bytes = TestPattern(c.length);

  const std::int32_t result = sock.RunOnThread([&] {
    sock.FailDirectSends(true);
    sock.SendBuffered(bytes.data(), c.length, "TEST", 0);
    return sock.FlushTx(1);
  });

  EXPECT_EQ(result, c.expected);
  ASSERT_TRUE(sock.WaitForNotices(2, kWaitMs));
  EXPECT_EQ(sock.Notices()[1], (Notice{0, std::string("ONDISCNOW by ") + c.reason}));
  EXPECT_TRUE(sock.IsLost());
  EXPECT_STREQ(sock.LostReason(), c.reason);
  EXPECT_TRUE(server.WaitForPeerClose(kWaitMs));
  // The loop's own flushes find no connection and stay quiet.
  ExpectNoMoreNotices(sock, 2);
  sock.Stop();
}

INSTANTIATE_TEST_SUITE_P(Blocks, SocketFailedFlushTest,
                         ::testing::Values(FailedFlushCase{60'000, -30, "SBDATA A"},
                                           FailedFlushCase{1'000, -3, "SBDATA B"}),
                         [](const auto& testInfo) { return "Bytes" + std::to_string(testInfo.param.length); });

TEST_F(SocketSendTest, NothingIsSentWhenTheConnectionIsNotUp) {
  TestSocket sock;
  ASSERT_TRUE(sock.Start());
  const std::string bytes = TestPattern(100);
  const std::vector<std::int32_t> results = sock.RunOnThread([&] {
    return std::vector<std::int32_t>{sock.Send(bytes.data(), 100, true, "TEST"),
                                     sock.Send(bytes.data(), 100, false, "TEST"),
                                     sock.SendStream(bytes.data(), 100, "TEST"),
                                     static_cast<std::int32_t>(sock.TxUsed())};
  });
  EXPECT_EQ(results, (std::vector<std::int32_t>{0, 0, -10, 0}));
  EXPECT_TRUE(sock.DirectSends().empty());
  EXPECT_EQ(Klib().txByteCount.load(), 0u);
  sock.Stop();
}

TEST_F(SocketSendTest, BufferedSendRefusesAMissingOrEmptyBlock) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  SetTraceConsole(true);
  testing::internal::CaptureStdout();
  const std::vector<std::int32_t> results = sock.RunOnThread([&] {
    return std::vector<std::int32_t>{sock.SendBuffered(nullptr, 10, "NULLTAG", 0),
                                     sock.SendBuffered("x", 0, "ZEROTAG", 0),
                                     sock.SendStream(nullptr, 10, "TEST"), sock.SendStream("x", 0, "TEST")};
  });
  const std::string traced = testing::internal::GetCapturedStdout();
  EXPECT_EQ(results, (std::vector<std::int32_t>{-489, -489, 1, 2}));
  EXPECT_NE(traced.find("app_KLIB [TEST SOCK] System Error WERR_0010 ( 10, BB00, NULLTAG )"), std::string::npos)
      << traced;
  EXPECT_NE(traced.find("app_KLIB [TEST SOCK] System Error WERR_0010 ( 0, DD00, ZEROTAG )"), std::string::npos)
      << traced;
  sock.Stop();
}

TEST_F(SocketSendTest, XorKeyMixesTheSentCopyOnly) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  const std::string plain = "\x01\x02\x03\xF0";
  std::string sent = plain;
  EXPECT_EQ(sock.RunOnThread([&] { return sock.SendBuffered(sent.data(), 4, "TEST", 0x0F); }), 0);
  EXPECT_TRUE(server.WaitForBytes(4, kWaitMs));
  EXPECT_EQ(server.Received(), "\x0E\x0D\x0C\xFF");
  EXPECT_EQ(sent, plain);
  sock.Stop();
}

// ---- Error codes of the send paths and the socket check ----

TEST(SocketErrorCodes, FollowTheSendTable) {
  const std::vector<std::pair<int, int>> send = {
      {WSANOTINITIALISED, 10}, {WSAENETDOWN, 20},  {WSAEACCES, 30},       {WSAEINTR, 40},
      {WSAEFAULT, 60},         {WSAENETRESET, 70}, {WSAENOTCONN, 90},     {WSAENOTSOCK, 100},
      {WSAEOPNOTSUPP, 110},    {WSAESHUTDOWN, 120}, {WSAEMSGSIZE, 140},   {WSAEHOSTUNREACH, 150},
      {WSAEINVAL, 160},        {WSAETIMEDOUT, 190}, {WSAENOPROTOOPT, 1000}, {WSAECONNREFUSED, 1000}};
  for (const auto& [error, code] : send) EXPECT_EQ(SendErrorCode(error), code) << error;
  EXPECT_EQ(SocketCheckErrorCode(WSAENOPROTOOPT), 30);
  EXPECT_EQ(SocketCheckErrorCode(WSAETIMEDOUT), 190);
  EXPECT_EQ(SocketCheckErrorCode(WSAECONNREFUSED), 1000);
  EXPECT_STREQ(SendErrorName(WSAEWOULDBLOCK), "WSAEWOULDBLOCK");
  EXPECT_EQ(SendErrorName(WSAECONNREFUSED), nullptr);
  EXPECT_STREQ(CloseErrorName(WSAENOTSOCK), "WSAENOTSOCK");
  EXPECT_STREQ(CloseErrorName(WSAECONNRESET), "WHATISTHIS");
}

TEST_F(SocketConnectTest, CheckSocketOfAClosedDescriptorGivesItsTableCode) {
  TestSocket sock;
  EXPECT_EQ(sock.CheckSocket(INVALID_SOCKET), 100);  // WSAENOTSOCK
  EXPECT_EQ(sock.SendBlockSize(), kInitialBlockSize);
  EXPECT_EQ(sock.SetRecvBufferMaxSize(4096, "TEST"), -10);
  EXPECT_EQ(sock.SetSendBufferMaxSize(4096, "TEST"), -10);
}

}  // namespace
