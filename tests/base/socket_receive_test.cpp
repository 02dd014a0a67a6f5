// Socket threads: the receive ring, the receive pump and its waits, the blocking read.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "base/klib_settings.h"
#include "test_socket.h"
#include "testbed/loopback_peer.h"
#include "win/clock.h"

namespace {
using Notice = TestSocket::Notice;

constexpr int kWaitMs = 20'000;
// An idle sleep time that no machine load comes near: a wait that ends well
// before it was ended by the event, not by its time.
constexpr DWORD kLongSleepMs = 60'000;

const std::uint8_t* Bytes(const std::string& text) { return reinterpret_cast<const std::uint8_t*>(text.data()); }

class SocketReceiveTest : public SocketTest {
 protected:
  // Connects a started socket thread to the server and waits for both ends to see it.
  void Connect(TestSocket& sock, LoopbackServer& server, DWORD rxSize = TestSocket::kDefaultRxSize) {
    ASSERT_TRUE(server.Ok());
    ASSERT_TRUE(sock.Start(rxSize));
    ASSERT_EQ(sock.ConnectTo(server.Port()), 0);
    ASSERT_TRUE(sock.WaitForNotices(1, kWaitMs));
    ASSERT_TRUE(server.WaitForConnections(1, kWaitMs));
  }

  // Waits until the loop has stored `count` bytes in the receive ring.
  static bool WaitForRing(TestSocket& sock, std::uint32_t count) {
    for (int i = 0; i < kWaitMs / 5; ++i) {
      if (sock.RunOnThread([&] { return sock.RxUsed(); }) >= count) return true;
      Sleep(5);
    }
    return false;
  }
};

// ---- The receive ring (no thread needed: nothing else touches it) ----

struct FillCase {
  const char* label;
  bool nullData;
  std::uint32_t length;
  DWORD expected;
};

class SocketFillRxTest : public SocketReceiveTest, public ::testing::WithParamInterface<FillCase> {};

TEST_P(SocketFillRxTest, AnswersTheRingStatus) {
  const FillCase& c = GetParam();
  TestSocket sock;
  ASSERT_EQ(sock.InitBuffers(nullptr, SOCK_MODE_TCP, 10, 10, kDefaultRecvBufferSize, kDefaultSendBufferSize), 0);
  const std::string bytes = TestPattern(16);
  EXPECT_EQ(sock.FillRxBuf(c.nullData ? nullptr : Bytes(bytes), c.length), c.expected);
  EXPECT_EQ(sock.RxUsed(), c.expected == RING_OK ? c.length : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, SocketFillRxTest,
                         ::testing::Values(FillCase{"NullData", true, 5, RING_NULL_BUFFER},
                                           FillCase{"ZeroLength", false, 0, RING_ZERO_LENGTH},
                                           FillCase{"Fits", false, 9, RING_OK},
                                           FillCase{"OneTooMany", false, 10, RING_NO_ROOM}),
                         [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(SocketReceiveTest, RingReadsAreWholeOrNothingAndCounted) {
  TestSocket sock;
  EXPECT_EQ(sock.RxFillPercent(), 0u) << "no ring yet";
  ASSERT_EQ(sock.InitBuffers(nullptr, SOCK_MODE_TCP, 10, 10, kDefaultRecvBufferSize, kDefaultSendBufferSize), 0);
  EXPECT_EQ(sock.RxReadByte(), RX_NO_BYTE);
  ASSERT_EQ(sock.FillRxBuf(Bytes("ABCDEFGHI"), 9), RING_OK);
  EXPECT_EQ(sock.RxFillPercent(), 100u);

  EXPECT_EQ(sock.RxReadByte(), static_cast<DWORD>('A'));
  std::string out(20, '\0');
  auto* dst = reinterpret_cast<std::uint8_t*>(out.data());
  EXPECT_EQ(sock.RxRead(dst, 9), 0u) << "only 8 are stored";
  EXPECT_EQ(sock.RxRead(dst, 3), 3u);
  EXPECT_EQ(out.substr(0, 3), "BCD");
  EXPECT_EQ(sock.RxSkip(2), 2u);
  EXPECT_EQ(sock.RxFillPercent(), 33u);
  EXPECT_EQ(sock.RxReadUpTo(dst, 10), 3u);
  EXPECT_EQ(out.substr(0, 3), "GHI");
  EXPECT_EQ(sock.RxReadByte(), RX_NO_BYTE);

  EXPECT_EQ(sock.BytesReceived(), 9u);
  EXPECT_EQ(Klib().rxByteCount.load(), 9u);

  ASSERT_EQ(sock.FillRxBuf(Bytes("xyz"), 3), RING_OK);
  sock.ResetRx();
  EXPECT_EQ(sock.RxUsed(), 0u);
  EXPECT_EQ(sock.BytesReceived(), 9u) << "a reset takes nothing";
}

TEST_F(SocketReceiveTest, ReadSetHoldsEachOpenSocketOnce) {
  LoopbackServer server;
  TestSocket sock;
  EXPECT_EQ(sock.BuildReadSet(), 0u);
  EXPECT_TRUE(sock.ReadSet().empty());
  Connect(sock, server);
  const SOCKET extra = WsSocket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_NE(extra, INVALID_SOCKET);

  const auto readSet = [&] {
    return sock.RunOnThread([&] {
      sock.BuildReadSet();
      return std::make_pair(std::vector<SOCKET>(sock.ReadSet().begin(), sock.ReadSet().end()),
                            sock.HighestDescriptor());
    });
  };
  const SOCKET own = sock.Socket();
  EXPECT_EQ(readSet(), std::make_pair(std::vector<SOCKET>{own}, own));
  sock.RunOnThread([&] {
    sock.SetSecondSocket(own);
    return 0;
  });
  EXPECT_EQ(readSet(), std::make_pair(std::vector<SOCKET>{own}, own));
  sock.RunOnThread([&] {
    sock.SetSecondSocket(extra);
    return 0;
  });
  EXPECT_EQ(readSet(), std::make_pair(std::vector<SOCKET>{own, extra}, std::max(own, extra)));

  sock.RunOnThread([&] {
    sock.SetSecondSocket(INVALID_SOCKET);
    return 0;
  });
  closesocket(extra);
  sock.Stop();
}

// ---- The pump ----

TEST_F(SocketReceiveTest, AFullRingHoldsThePeerBackAndLosesNothing) {
  constexpr DWORD kRing = 16 * 1024;
  constexpr std::size_t kTotal = 512 * 1024;
  LoopbackServer server;
  TestSocket sock(2);
  Connect(sock, server, kRing);
  const std::string bytes = TestPattern(kTotal, 9);

  // Joined on every way out, while the server still exists.
  std::jthread sender([&] { EXPECT_TRUE(server.Send(bytes, 0, 20'000)); });
  // Nobody drains: the ring fills up to its capacity and stays so.
  EXPECT_TRUE(WaitForRing(sock, kRing - 1));
  Sleep(200);
  EXPECT_EQ(sock.RunOnThread([&] { return sock.RxUsed(); }), kRing - 1);
  EXPECT_EQ(sock.Notices().size(), 1u) << "a full ring is no lost connection";
  EXPECT_TRUE(sock.IsConnected());

  sock.SetDrainPerPass(4096);
  EXPECT_TRUE(sock.WaitForDrained(kTotal, sock.IsConnected() ? 20'000 : 0));
  sender.join();
  EXPECT_EQ(sock.Drained().size(), kTotal);
  EXPECT_TRUE(sock.Drained() == bytes) << "bytes lost, doubled or reordered";
  EXPECT_EQ(sock.Notices().size(), 1u);
  sock.Stop();
}

struct IdleCase {
  const char* label;
  bool connected;
};

class SocketIdleTest : public SocketReceiveTest, public ::testing::WithParamInterface<IdleCase> {};

TEST_P(SocketIdleTest, AnIdleThreadSleepsInsteadOfSpinning) {
  LoopbackServer server;
  TestSocket sock(100);
  if (GetParam().connected) {
    Connect(sock, server);
  } else {
    ASSERT_TRUE(sock.Start());
  }
  Sleep(150);
  // Six passes take at least four of their 100 ms waits, however loaded the machine.
  const unsigned before = sock.Passes();
  const DWORD start = GetTickCount();
  bool passed = false;
  for (int i = 0; i < kWaitMs / 5 && !passed; ++i) {
    passed = sock.Passes() >= before + 6;
    if (!passed) Sleep(5);
  }
  ASSERT_TRUE(passed);
  EXPECT_GE(GetTickCount() - start, 400u) << "about one pass per 100 ms of sleep time";
  sock.Stop();
}

TEST_P(SocketIdleTest, APostEndsTheWaitAtOnce) {
  LoopbackServer server;
  TestSocket sock(kLongSleepMs);
  if (GetParam().connected) {
    Connect(sock, server);
  } else {
    ASSERT_TRUE(sock.Start());
  }
  Sleep(100);
  for (int i = 0; i < 3; ++i) {
    const DWORD start = GetTickCount();
    sock.RunOnThread([] { return 0; });
    EXPECT_LT(GetTickCount() - start, kLongSleepMs / 3);
    Sleep(50);
  }
  sock.Stop();
}

INSTANTIATE_TEST_SUITE_P(States, SocketIdleTest,
                         ::testing::Values(IdleCase{"Connected", true}, IdleCase{"NotConnected", false}),
                         [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(SocketReceiveTest, IncomingBytesEndTheWaitAtOnce) {
  LoopbackServer server;
  TestSocket sock(kLongSleepMs);
  Connect(sock, server);
  sock.SetDrainPerPass(4096);
  Sleep(100);
  const DWORD start = GetTickCount();
  ASSERT_TRUE(server.Send("ping"));
  ASSERT_TRUE(sock.WaitForDrained(4, kWaitMs));
  EXPECT_LT(GetTickCount() - start, kLongSleepMs / 3);
  EXPECT_EQ(sock.Drained(), "ping");
  sock.Stop();
}

// ---- ReadBytes ----

struct ReadCase {
  const char* label;
  bool nullDestination;
  std::uint8_t xorKey;
};

class SocketReadBytesTest : public SocketReceiveTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(SocketReadBytesTest, TakesTheBytesAsTheyCome) {
  const ReadCase& c = GetParam();
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  const std::string bytes = TestPattern(10, 4);

  struct Outcome {
    DWORD result;
    WORD error;
    std::string data;
    std::uint32_t left;
  };
  const Outcome outcome = sock.RunOnThread([&] {
    // The peer's bytes come in two parts while the read waits.
    std::thread peer([&] {
      server.Send(bytes.substr(0, 4));
      Sleep(50);
      server.Send(bytes.substr(4));
    });
    std::string data(10, '\0');
    WORD error = 0;
    const DWORD result = sock.ReadBytes(c.nullDestination ? nullptr : reinterpret_cast<std::uint8_t*>(data.data()),
                                        10, "TEST", c.xorKey, &error);
    peer.join();
    return Outcome{result, error, data, sock.RxUsed()};
  });

  EXPECT_EQ(outcome.result, 1u);
  EXPECT_EQ(outcome.error, 0);
  EXPECT_EQ(outcome.left, 0u);
  std::string expected = c.nullDestination ? std::string(10, '\0') : bytes;
  if (!c.nullDestination) {
    for (char& byte : expected) byte = static_cast<char>(byte ^ c.xorKey);
  }
  EXPECT_EQ(outcome.data, expected);
  sock.Stop();
}

INSTANTIATE_TEST_SUITE_P(Cases, SocketReadBytesTest,
                         ::testing::Values(ReadCase{"Plain", false, 0}, ReadCase{"Xored", false, 0x5A},
                                           ReadCase{"Dropped", true, 0}),
                         [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(SocketReceiveTest, ReadBytesFromASilentPeerGivesUpAfterThreeSecondsAndKeepsWhatCame) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  ASSERT_TRUE(server.Send("1234"));

  struct Outcome {
    DWORD result;
    WORD error;
    DWORD elapsed;
    std::uint32_t left;
    DWORD sleepTime;
  };
  const Outcome outcome = sock.RunOnThread([&] {
    sock.SetSleepTime(250);
    WORD error = 0;
    std::array<std::uint8_t, 10> data{};
    const DWORD start = GetTickCount();
    const DWORD result = sock.ReadBytes(data.data(), 10, "TEST", 0, &error);
    return Outcome{result, error, GetTickCount() - start, sock.RxUsed(), sock.SleepTime()};
  });

  EXPECT_EQ(outcome.result, 0u);
  EXPECT_EQ(outcome.error, READ_ERR_TIMEOUT);
  EXPECT_GE(outcome.elapsed, 2'950u);
  EXPECT_LT(outcome.elapsed, 15'000u);
  EXPECT_EQ(outcome.left, 4u) << "what came stays in the ring";
  EXPECT_EQ(outcome.sleepTime, sock.ConfiguredSleepTime()) << "the give-up resets the idle state";
  EXPECT_TRUE(sock.IsConnected());
  sock.Stop();
}

TEST_F(SocketReceiveTest, ReadBytesEndsAtOnceWhenThePeerCloses) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  ASSERT_TRUE(server.Send("1234"));
  Sleep(50);
  ASSERT_TRUE(server.CloseCleanly());

  std::array<WORD, 2> errors{};
  const DWORD start = GetTickCount();
  const std::uint32_t left = sock.RunOnThread([&] {
    std::array<std::uint8_t, 10> data{};
    sock.ReadBytes(data.data(), 10, "TEST", 0, &errors[0]);
    // Nothing to read from any more.
    sock.ReadBytes(data.data(), 10, "TEST", 0, &errors[1]);
    return sock.RxUsed();
  });
  EXPECT_LT(GetTickCount() - start, 2'500u) << "before the 3 s read limit";
  EXPECT_EQ(errors, (std::array<WORD, 2>{READ_ERR_LOST, READ_ERR_LOST}));
  EXPECT_EQ(left, 4u);
  ASSERT_TRUE(sock.WaitForNotices(2, kWaitMs));
  EXPECT_EQ(sock.Notices()[1], (Notice{0, "ONDISCNOW by PURB2"}));
  sock.Stop();
}

TEST_F(SocketReceiveTest, ReadBytesOfMoreThanTheRingHoldsFailsAtOnce) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server, 64);
  WORD error = 0;
  const DWORD result = sock.RunOnThread([&] { return sock.ReadBytes(nullptr, 64, "TEST", 0, &error); });
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(error, READ_ERR_SHORT);
  sock.Stop();
}

}  // namespace
