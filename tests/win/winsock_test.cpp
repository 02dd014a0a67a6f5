#include "win/winsock.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>
#include <utility>

#include <gtest/gtest.h>

#include "testbed/loopback_peer.h"
#include "win/os_thread.h"

namespace {

// Closes on scope exit so a failing assertion leaks nothing into the next test.
class OwnedSocket {
 public:
  explicit OwnedSocket(SOCKET s = INVALID_SOCKET) : s_(s) {}
  ~OwnedSocket() {
    if (s_ != INVALID_SOCKET) closesocket(s_);
  }
  OwnedSocket(const OwnedSocket&) = delete;
  OwnedSocket& operator=(const OwnedSocket&) = delete;
  SOCKET get() const { return s_; }
  SOCKET release() { return std::exchange(s_, INVALID_SOCKET); }

 private:
  SOCKET s_;
};

sockaddr_in Loopback(std::uint16_t port) { return MakeSockAddrIPv4(INADDR_LOOPBACK, port); }

std::uint16_t PortOf(SOCKET s) {
  sockaddr_in address{};
  EXPECT_EQ(WsGetSockName(s, &address), 0);
  return ntohs(address.sin_port);
}

// A TCP socket bound to an ephemeral loopback port, not listening.
SOCKET BoundTcpSocket() {
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  EXPECT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(WsBind(s, Loopback(0)), 0);
  return s;
}

SOCKET ConnectedClient(const LoopbackServer& server) {
  const SOCKET s = WsSocket(AF_INET, SOCK_STREAM, 0);
  EXPECT_NE(s, INVALID_SOCKET);
  EXPECT_EQ(WsConnect(s, Loopback(server.Port())), 0) << WsaErrorNameOr(WSAGetLastError(), "?");
  return s;
}

}  // namespace

// ---- Start-up ----

TEST(WsaStartup, GrantsTheLowerOfRequestedAndTwoTwo) {
  struct Case {
    WORD requested;
    WORD granted;
  };
  for (const Case c : {Case{MAKEWORD(2, 2), MAKEWORD(2, 2)}, Case{MAKEWORD(1, 1), MAKEWORD(1, 1)},
                       Case{MAKEWORD(2, 0), MAKEWORD(2, 0)}, Case{MAKEWORD(3, 0), MAKEWORD(2, 2)},
                       Case{MAKEWORD(2, 5), MAKEWORD(2, 2)}}) {
    WSADATA data;
    ASSERT_EQ(WSAStartup(c.requested, &data), 0);
    EXPECT_EQ(data.wVersion, c.granted) << std::hex << c.requested;
    EXPECT_EQ(data.wHighVersion, MAKEWORD(2, 2));
    EXPECT_NE(data.szDescription[0], '\0');
    EXPECT_EQ(WSACleanup(), 0);
  }
}

TEST(WsaStartup, RefusesVersionZeroAndNullData) {
  WSADATA data;
  EXPECT_EQ(WSAStartup(MAKEWORD(0, 9), &data), WSAVERNOTSUPPORTED);
  EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), nullptr), WSAEFAULT);
}

TEST(WsaStartup, TestHookFailsOrGrantsAnotherVersion) {
  WSADATA data;
  SetWsaStartupResultForTest(WSASYSNOTREADY, 0);
  EXPECT_EQ(WSAStartup(MAKEWORD(2, 2), &data), WSASYSNOTREADY);

  SetWsaStartupResultForTest(0, MAKEWORD(1, 1));
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  EXPECT_EQ(LOBYTE(data.wVersion), 1);
  EXPECT_EQ(HIBYTE(data.wVersion), 1);
  EXPECT_EQ(WSACleanup(), 0);

  ResetWsaStartupForTest();
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  EXPECT_EQ(data.wVersion, MAKEWORD(2, 2));
  EXPECT_EQ(WSACleanup(), 0);
}

TEST(WsaStartup, CleanupBeyondStartupsFails) {
  WSADATA data;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  EXPECT_EQ(WSACleanup(), 0);
  WSASetLastError(0);
  EXPECT_EQ(WSACleanup(), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSANOTINITIALISED);
}

// ---- Errors ----

TEST(WsaErrors, NamesForTraceLines) {
  struct Case {
    int code;
    const char* name;
  };
  for (const Case c : {Case{WSAEINTR, "WSAEINTR"}, Case{WSAEACCES, "WSAEACCES"}, Case{WSAEFAULT, "WSAEFAULT"},
                       Case{WSAEINVAL, "WSAEINVAL"}, Case{WSAEWOULDBLOCK, "WSAEWOULDBLOCK"},
                       Case{WSAEINPROGRESS, "WSAEINPROGRESS"}, Case{WSAENOTSOCK, "WSAENOTSOCK"},
                       Case{WSAEMSGSIZE, "WSAEMSGSIZE"}, Case{WSAENOPROTOOPT, "WSAENOPROTOOPT"},
                       Case{WSAEOPNOTSUPP, "WSAEOPNOTSUPP"}, Case{WSAEADDRINUSE, "WSAEADDRINUSE"},
                       Case{WSAEADDRNOTAVAIL, "WSAEADDRNOTAVAIL"}, Case{WSAENETDOWN, "WSAENETDOWN"},
                       Case{WSAENETRESET, "WSAENETRESET"}, Case{WSAECONNABORTED, "WSAECONNABORTED"},
                       Case{WSAECONNRESET, "WSAECONNRESET"}, Case{WSAENOBUFS, "WSAENOBUFS"},
                       Case{WSAENOTCONN, "WSAENOTCONN"}, Case{WSAESHUTDOWN, "WSAESHUTDOWN"},
                       Case{WSAETIMEDOUT, "WSAETIMEDOUT"}, Case{WSAECONNREFUSED, "WSAECONNREFUSED"},
                       Case{WSAEHOSTUNREACH, "WSAEHOSTUNREACH"}, Case{WSANOTINITIALISED, "WSANOTINITIALISED"},
                       Case{WSAHOST_NOT_FOUND, "WSAHOST_NOT_FOUND"}}) {
    ASSERT_NE(WsaErrorName(c.code), nullptr) << c.code;
    EXPECT_STREQ(WsaErrorName(c.code), c.name);
  }
}

TEST(WsaErrors, UnknownCodeHasNoNameAndCallerPicksOne) {
  for (const int code : {0, -1, 1, WSABASEERR, 10001, 12345}) {
    EXPECT_EQ(WsaErrorName(code), nullptr) << code;
    EXPECT_STREQ(WsaErrorNameOr(code, "WHATISTHIS"), "WHATISTHIS");
  }
  EXPECT_STREQ(WsaErrorNameOr(WSAEINTR, "WHATISTHIS"), "WSAEINTR");
}

TEST(WsaErrors, ErrnoMapsToWinSockCodes) {
  struct Case {
    int errnoValue;
    int code;
  };
  for (const Case c : {Case{0, 0}, Case{EINTR, WSAEINTR}, Case{EAGAIN, WSAEWOULDBLOCK}, Case{EBADF, WSAENOTSOCK},
                       Case{ENOTSOCK, WSAENOTSOCK}, Case{EACCES, WSAEACCES}, Case{EPERM, WSAEACCES},
                       Case{EINPROGRESS, WSAEINPROGRESS}, Case{EADDRINUSE, WSAEADDRINUSE},
                       Case{ECONNREFUSED, WSAECONNREFUSED}, Case{ECONNRESET, WSAECONNRESET},
                       Case{EPIPE, WSAECONNRESET}, Case{ENOTCONN, WSAENOTCONN}, Case{ENOMEM, WSAENOBUFS},
                       Case{ETIMEDOUT, WSAETIMEDOUT}, Case{EHOSTUNREACH, WSAEHOSTUNREACH},
                       // No WinSock name: still a failure, never 0.
                       Case{ENOSPC, WSASYSCALLFAILURE}, Case{EROFS, WSASYSCALLFAILURE}}) {
    EXPECT_EQ(WsaErrorFromErrno(c.errnoValue), c.code) << c.errnoValue;
  }
}

TEST(WsaErrors, LastErrorBelongsToTheThread) {
  WSASetLastError(WSAEINTR);
  int seen = -1;
  std::thread other([&] {
    seen = WSAGetLastError();
    WSASetLastError(WSAECONNRESET);
  });
  other.join();
  EXPECT_EQ(seen, 0);
  EXPECT_EQ(WSAGetLastError(), WSAEINTR);
}

// ---- Connections ----

TEST(Sockets, ConnectToAPortNobodyListensOnIsRefused) {
  // Held but not listening: refused for sure, and no other test can take it meanwhile.
  const OwnedSocket holder(BoundTcpSocket());
  const OwnedSocket s(WsSocket(AF_INET, SOCK_STREAM, 0));
  EXPECT_EQ(WsConnect(s.get(), Loopback(PortOf(holder.get()))), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNREFUSED);
  EXPECT_STREQ(WsaErrorName(WSAGetLastError()), "WSAECONNREFUSED");
}

TEST(Sockets, BindToAPortHeldByAListenerIsInUse) {
  const LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  for (const bool reuse : {false, true}) {
    const OwnedSocket s(WsSocket(AF_INET, SOCK_STREAM, 0));
    ASSERT_EQ(WsSetReuseAddr(s.get(), reuse), 0);
    EXPECT_EQ(WsBind(s.get(), Loopback(server.Port())), SOCKET_ERROR) << "reuse " << reuse;
    EXPECT_EQ(WSAGetLastError(), WSAEADDRINUSE);
    EXPECT_STREQ(WsaErrorName(WSAGetLastError()), "WSAEADDRINUSE");
  }
}

TEST(Sockets, InvalidDescriptorIsNotASocket) {
  EXPECT_EQ(closesocket(INVALID_SOCKET), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  WSASetLastError(0);
  char byte = 0;
  EXPECT_EQ(WsSend(INVALID_SOCKET, &byte, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  WSASetLastError(0);
  EXPECT_EQ(WsRecv(INVALID_SOCKET, &byte, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

TEST(Sockets, NewSocketsAreCloseOnExec) {
  const OwnedSocket s(WsSocket(AF_INET, SOCK_STREAM, 0));
  ASSERT_NE(s.get(), INVALID_SOCKET);
  EXPECT_NE(fcntl(s.get(), F_GETFD) & FD_CLOEXEC, 0);
}

TEST(Sockets, NonBlockingAcceptThenBlockingAcceptedSocket) {
  const OwnedSocket listening(BoundTcpSocket());
  ASSERT_EQ(WsListen(listening.get(), SOMAXCONN), 0);
  ASSERT_EQ(WsSetNonBlocking(listening.get(), true), 0);

  sockaddr_in peer{};
  EXPECT_EQ(WsAccept(listening.get(), &peer), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);

  const OwnedSocket client(WsSocket(AF_INET, SOCK_STREAM, 0));
  ASSERT_EQ(WsConnect(client.get(), Loopback(PortOf(listening.get()))), 0);
  ASSERT_EQ(WsWaitReadable(listening.get(), -1, 5000), WS_WAIT_SOCKET);
  const OwnedSocket accepted(WsAccept(listening.get(), &peer));
  ASSERT_NE(accepted.get(), INVALID_SOCKET);

  EXPECT_EQ(ntohl(peer.sin_addr.s_addr), INADDR_LOOPBACK);
  EXPECT_EQ(ntohs(peer.sin_port), PortOf(client.get()));
  EXPECT_EQ(fcntl(accepted.get(), F_GETFL) & O_NONBLOCK, 0);
  EXPECT_NE(fcntl(accepted.get(), F_GETFD) & FD_CLOEXEC, 0);

  sockaddr_in seen{};
  ASSERT_EQ(WsGetPeerName(client.get(), &seen), 0);
  EXPECT_EQ(ntohs(seen.sin_port), PortOf(listening.get()));
  EXPECT_EQ(WsAccept(listening.get(), nullptr), INVALID_SOCKET);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
}

TEST(Sockets, NonBlockingConnectThatHasBegunWouldBlock) {
  const LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  const OwnedSocket s(WsSocket(AF_INET, SOCK_STREAM, 0));
  ASSERT_EQ(WsSetNonBlocking(s.get(), true), 0);
  if (WsConnect(s.get(), Loopback(server.Port())) == SOCKET_ERROR) {
    // Windows never says WSAEINPROGRESS here; callers test for WSAEWOULDBLOCK.
    ASSERT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
    pollfd writable{s.get(), POLLOUT, 0};
    ASSERT_EQ(WsPoll(std::span(&writable, 1), 5000), 1);
  }
  int error = -1;
  ASSERT_EQ(WsGetSockOptInt(s.get(), SOL_SOCKET, SO_ERROR, &error), 0);
  EXPECT_EQ(error, 0);
  EXPECT_TRUE(server.WaitForConnections(1, 5000));
}

TEST(Sockets, NonBlockingReceiveWithNothingWaitingWouldBlock) {
  const LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  const OwnedSocket s(ConnectedClient(server));
  ASSERT_EQ(WsSetNonBlocking(s.get(), true), 0);
  char byte = 0;
  EXPECT_EQ(WsRecv(s.get(), &byte, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  ASSERT_EQ(WsSetNonBlocking(s.get(), false), 0);
  EXPECT_EQ(fcntl(s.get(), F_GETFL) & O_NONBLOCK, 0);
}

TEST(Sockets, StreamRoundTrip) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  const OwnedSocket s(ConnectedClient(server));
  ASSERT_TRUE(server.WaitForConnections(1, 5000));
  const std::string frame = "frame\0with zero";
  ASSERT_EQ(WsSend(s.get(), frame.data(), frame.size(), 0), static_cast<int>(frame.size()));
  ASSERT_TRUE(server.WaitForBytes(frame.size(), 5000));
  EXPECT_EQ(server.Received(), frame);

  ASSERT_TRUE(server.Send("reply"));
  std::string reply(5, '\0');
  ASSERT_EQ(WsRecv(s.get(), reply.data(), reply.size(), MSG_WAITALL), 5);
  EXPECT_EQ(reply, "reply");
}

TEST(Sockets, ReceiveAfterPeerEndsCleanlyGivesZero) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  const OwnedSocket s(ConnectedClient(server));
  ASSERT_TRUE(server.WaitForConnections(1, 5000));
  ASSERT_TRUE(server.CloseCleanly());
  char byte = 0;
  EXPECT_EQ(WsRecv(s.get(), &byte, 1, 0), 0);
}

TEST(Sockets, ReceiveAfterPeerResetIsConnReset) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  const OwnedSocket s(ConnectedClient(server));
  ASSERT_TRUE(server.WaitForConnections(1, 5000));
  ASSERT_TRUE(server.CloseAbruptly());
  char byte = 0;
  EXPECT_EQ(WsRecv(s.get(), &byte, 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
}

TEST(Sockets, SendToAPeerThatWentAwayRaisesNoSignal) {
  // The default action of SIGPIPE ends the process: surviving is the test.
  const auto previous = std::signal(SIGPIPE, SIG_DFL);
  for (const bool abrupt : {true, false}) {
    LoopbackServer server;
    ASSERT_TRUE(server.Ok());
    const OwnedSocket s(ConnectedClient(server));
    ASSERT_TRUE(server.WaitForConnections(1, 5000));
    ASSERT_TRUE(abrupt ? server.CloseAbruptly() : server.CloseCleanly());
    // After a clean end the first sends still pass; the reset they draw makes a later one fail.
    int result = 0;
    for (int attempt = 0; attempt < 200 && result != SOCKET_ERROR; ++attempt) {
      result = WsSend(s.get(), "x", 1, 0);
      pollfd resetArrived{s.get(), 0, 0};  // no events asked: only error and hang-up wake it
      if (result != SOCKET_ERROR) WsPoll(std::span(&resetArrived, 1), 20);
    }
    ASSERT_EQ(result, SOCKET_ERROR) << "abrupt " << abrupt;
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET) << WsaErrorNameOr(WSAGetLastError(), "?");
    // Once reset, every further send fails the same way.
    EXPECT_EQ(WsSend(s.get(), "x", 1, 0), SOCKET_ERROR);
    EXPECT_EQ(WSAGetLastError(), WSAECONNRESET);
  }
  std::signal(SIGPIPE, previous);
}

TEST(Sockets, SendAfterOwnShutdownIsShutdown) {
  const auto previous = std::signal(SIGPIPE, SIG_DFL);
  const LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  const OwnedSocket s(ConnectedClient(server));
  ASSERT_EQ(WsShutdown(s.get(), SD_SEND), 0);
  EXPECT_EQ(WsSend(s.get(), "x", 1, 0), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAESHUTDOWN);
  std::signal(SIGPIPE, previous);
}

TEST(Sockets, ShutdownOfAnUnconnectedSocketIsNotConn) {
  const OwnedSocket s(WsSocket(AF_INET, SOCK_STREAM, 0));
  EXPECT_EQ(WsShutdown(s.get(), SD_BOTH), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTCONN);
}

TEST(Sockets, DatagramsCarryTheSenderAndRefuseTruncation) {
  const OwnedSocket receiver(WsSocket(AF_INET, SOCK_DGRAM, 0));
  const OwnedSocket sender(WsSocket(AF_INET, SOCK_DGRAM, 0));
  ASSERT_EQ(WsBind(receiver.get(), Loopback(0)), 0);
  ASSERT_EQ(WsBind(sender.get(), Loopback(0)), 0);
  const sockaddr_in to = Loopback(PortOf(receiver.get()));
  const std::string datagram(100, 'd');
  const std::string other = "short";
  ASSERT_EQ(WsSendTo(sender.get(), datagram.data(), datagram.size(), 0, to), 100);
  ASSERT_EQ(WsSendTo(sender.get(), other.data(), other.size(), 0, to), 5);

  std::array<char, 10> small{};
  sockaddr_in from{};
  ASSERT_EQ(WsWaitReadable(receiver.get(), -1, 5000), WS_WAIT_SOCKET);
  EXPECT_EQ(WsRecvFrom(receiver.get(), small.data(), small.size(), 0, &from), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEMSGSIZE);
  EXPECT_EQ(std::string(small.data(), small.size()), std::string(10, 'd'));

  std::array<char, 64> big{};
  ASSERT_EQ(WsWaitReadable(receiver.get(), -1, 5000), WS_WAIT_SOCKET);
  ASSERT_EQ(WsRecvFrom(receiver.get(), big.data(), big.size(), 0, &from), 5);
  EXPECT_EQ(std::string(big.data(), 5), other);
  EXPECT_EQ(ntohl(from.sin_addr.s_addr), INADDR_LOOPBACK);
  EXPECT_EQ(ntohs(from.sin_port), PortOf(sender.get()));
}

TEST(Sockets, BufferSizesReadBackAsSet) {
  const OwnedSocket s(WsSocket(AF_INET, SOCK_STREAM, 0));
  ASSERT_EQ(WsSetSockOptInt(s.get(), SOL_SOCKET, SO_RCVBUF, 0x18000), 0);
  ASSERT_EQ(WsSetSockOptInt(s.get(), SOL_SOCKET, SO_SNDBUF, 8192), 0);
  int value = 0;
  ASSERT_EQ(WsGetSockOptInt(s.get(), SOL_SOCKET, SO_RCVBUF, &value), 0);
  EXPECT_EQ(value, 0x18000);
  ASSERT_EQ(WsGetSockOptInt(s.get(), SOL_SOCKET, SO_SNDBUF, &value), 0);
  EXPECT_EQ(value, 8192);
}

TEST(Sockets, OptionErrorsAreReported) {
  const OwnedSocket s(WsSocket(AF_INET, SOCK_STREAM, 0));
  int value = 0;
  EXPECT_EQ(WsGetSockOptInt(s.get(), SOL_SOCKET, SO_RCVBUF, nullptr), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  EXPECT_EQ(WsGetSockOptInt(INVALID_SOCKET, SOL_SOCKET, SO_RCVBUF, &value), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  EXPECT_EQ(WsSetSockOptInt(s.get(), SOL_SOCKET, 0x7ABC, 1), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAENOPROTOOPT);
}

TEST(Sockets, HostNameIsTerminatedOrRefused) {
  std::array<char, 256> expected{};
  ASSERT_EQ(gethostname(expected.data(), expected.size() - 1), 0);
  const std::size_t length = std::strlen(expected.data());

  std::array<char, 256> name{};
  ASSERT_EQ(WsGetHostName(name.data(), name.size()), 0);
  EXPECT_STREQ(name.data(), expected.data());
  std::string exact(length + 1, 'Z');
  ASSERT_EQ(WsGetHostName(exact.data(), exact.size()), 0);
  EXPECT_EQ(exact.back(), '\0');

  std::string tooSmall(length, 'Z');
  EXPECT_EQ(WsGetHostName(tooSmall.data(), tooSmall.size()), SOCKET_ERROR);
  EXPECT_EQ(WSAGetLastError(), WSAEFAULT);
  EXPECT_EQ(WsGetHostName(nullptr, 10), SOCKET_ERROR);
}

// ---- Readiness ----

TEST(Wait, ReportsWhichSideIsReady) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  const OwnedSocket s(ConnectedClient(server));
  ASSERT_TRUE(server.WaitForConnections(1, 5000));
  WakeEvent wake;

  EXPECT_EQ(WsWaitReadable(s.get(), wake.Fd(), 0), 0);
  wake.Signal();
  EXPECT_EQ(WsWaitReadable(s.get(), wake.Fd(), 5000), WS_WAIT_WAKE);
  EXPECT_EQ(WsWaitReadable(-1, wake.Fd(), 5000), WS_WAIT_WAKE);
  wake.Clear();

  ASSERT_TRUE(server.Send("b"));
  EXPECT_EQ(WsWaitReadable(s.get(), wake.Fd(), 5000), WS_WAIT_SOCKET);
  wake.Signal();
  EXPECT_EQ(WsWaitReadable(s.get(), wake.Fd(), 5000), WS_WAIT_SOCKET | WS_WAIT_WAKE);
  EXPECT_EQ(WsWaitReadable(s.get(), -1, 5000), WS_WAIT_SOCKET);
}

TEST(Wait, ShutdownWakesAThreadWaitingOnItsSocket) {
  const LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  const OwnedSocket s(ConnectedClient(server));
  std::atomic<int> result{-2};
  std::thread waiter([&] { result = WsWaitReadable(s.get(), -1, 20'000); });
  // Whether or not the waiter is already inside poll, shutdown makes the socket readable.
  ASSERT_EQ(WsShutdown(s.get(), SD_RECEIVE), 0);
  waiter.join();
  EXPECT_EQ(result.load(), WS_WAIT_SOCKET);
  char byte = 0;
  EXPECT_EQ(WsRecv(s.get(), &byte, 1, 0), 0);
}

TEST(Wait, DescriptorThatIsNotOpenIsAnError) {
  constexpr int kNeverOpen = 1'000'000;
  WSASetLastError(0);
  EXPECT_EQ(WsWaitReadable(kNeverOpen, -1, 0), -1);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
}

namespace {
std::atomic<int> g_signalsSeen{0};
void CountSignal(int) { g_signalsSeen.fetch_add(1); }
}  // namespace

TEST(Wait, PollKeepsItsTimeoutAcrossSignals) {
  struct sigaction action {};
  action.sa_handler = CountSignal;  // no SA_RESTART: poll comes back with EINTR
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);
  g_signalsSeen = 0;

  const OwnedSocket s(BoundTcpSocket());
  ASSERT_EQ(WsListen(s.get(), 1), 0);
  const pthread_t self = pthread_self();
  std::atomic<bool> done{false};
  std::thread pinger([&] {
    while (!done) {
      pthread_kill(self, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  pollfd p{s.get(), POLLIN, 0};
  const auto start = std::chrono::steady_clock::now();
  const int r = WsPoll(std::span(&p, 1), 200);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  done = true;
  pinger.join();
  sigaction(SIGUSR1, &previous, nullptr);

  EXPECT_EQ(r, 0);
  EXPECT_GE(elapsed, std::chrono::milliseconds(195));
  EXPECT_LT(elapsed, std::chrono::seconds(5));
  EXPECT_GT(g_signalsSeen.load(), 0);
}
