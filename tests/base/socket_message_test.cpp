// Socket threads: the messages every network way understands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/klib_settings.h"
#include "test_socket.h"
#include "testbed/loopback_peer.h"
#include "win/clock.h"

namespace {
using Notice = TestSocket::Notice;

constexpr int kWaitMs = 5'000;

class SocketMessageTest : public SocketTest {
};

struct AnswerCase {
  const char* label;
  std::uint32_t id;
  DWORD answer;
};

class SocketAnswerTest : public SocketMessageTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(SocketAnswerTest, AnswersAsTheTableSays) {
  TestSocket sock;
  ASSERT_TRUE(sock.Start());
  ASSERT_EQ(CBaseThread::Post(nullptr, &sock, GetParam().id, 0, 0, "TEST"), 1);
  sock.RunOnThread([] { return 0; });
  const auto answers = sock.Answers();
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0], std::make_pair(GetParam().id, GetParam().answer));
  sock.Stop();
}

INSTANTIATE_TEST_SUITE_P(Ids, SocketAnswerTest,
                         ::testing::Values(AnswerCase{"Nop", THRDMSG_NOP, 1}, AnswerCase{"Quit", THRDMSG_QUIT, 1},
                                           AnswerCase{"EachSecond", THRDMSG_EACH_SECOND, 1},
                                           AnswerCase{"Suspend", THRDMSG_SUSPEND, 1},
                                           AnswerCase{"Unknown", THRDMSG_BASE + 0x4321, 0}),
                         [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(SocketMessageTest, EachSecondRunsThePerSecondTask) {
  TestSocket sock;
  ASSERT_TRUE(sock.Start());
  CBaseThread::Post(nullptr, &sock, THRDMSG_EACH_SECOND, 0, 0, "TEST");
  CBaseThread::Post(nullptr, &sock, THRDMSG_EACH_SECOND, 0, 0, "TEST");
  sock.RunOnThread([] { return 0; });
  EXPECT_EQ(sock.SecondTasks(), 2u);
  sock.Stop();
}

TEST_F(SocketMessageTest, SuspendMarksTheThreadIdleUntilTheNextPost) {
  TestSocket sock;
  ASSERT_TRUE(sock.Start());
  // Served inside one call: any later post would mark the thread started again.
  const bool idle = sock.RunOnThread([&] {
    static_cast<CBaseSoc&>(sock).ProcessMessage(DMessage{THRDMSG_SUSPEND, 0, 0});
    return sock.NotStarted();
  });
  EXPECT_TRUE(idle);
  sock.Stop();
}

TEST_F(SocketMessageTest, ConnectionLostMessageEndsTheConnectionAndResetsTheIdleState) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  sock.RunOnThread([&] {
    sock.SetName("[DSOCK 7 = TEST]");
    sock.SetSleepTime(500);
    sock.SetSelectTimeoutUs(500);
    return 0;
  });

  ASSERT_EQ(CBaseThread::Post(nullptr, &sock, THRDMSG_CONNECTION_LOST, 0, 0, "TEST"), 1);
  ASSERT_TRUE(sock.WaitForNotices(2, kWaitMs));
  EXPECT_EQ(sock.Notices()[1], (Notice{0, "ONDISCNOW by WTCJL"}));
  EXPECT_TRUE(sock.IsLost());
  EXPECT_STREQ(sock.LostReason(), "WTCJL");
  EXPECT_TRUE(server.WaitForPeerClose(kWaitMs));
  struct Idle {
    std::string name;
    DWORD sleep;
    DWORD select;
  };
  const Idle idle = sock.RunOnThread([&] { return Idle{sock.Name(), sock.SleepTime(), sock.SelectTimeoutUs()}; });
  EXPECT_EQ(idle.name, "[TEST SOCK]");
  EXPECT_EQ(idle.sleep, sock.ConfiguredSleepTime());
  EXPECT_EQ(idle.select, 1u);
  sock.Stop();
}

TEST_F(SocketMessageTest, ShutdownKeepsTheExitCodeAndStartsTheStopCountdown) {
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  ASSERT_EQ(CBaseThread::Post(nullptr, &sock, THRDMSG_SHUTDOWN, 7, 0, "TEST"), 1);
  const auto state = sock.RunOnThread([&] { return std::make_pair(sock.ExitCode(), sock.StopCountdown()); });
  EXPECT_EQ(state, std::make_pair(DWORD{7}, std::uint16_t{1}));
  sock.Stop();
}

struct ReasonCase {
  const char* label;
  std::uint32_t payload;  // bytes that really follow the header
  std::uint32_t claimed;  // the third word
  std::size_t keptFrom;   // where the kept reason starts in the payload
  std::size_t keptLength;
};

class SocketDisconnectTest : public SocketMessageTest, public ::testing::WithParamInterface<ReasonCase> {};

TEST_P(SocketDisconnectTest, KeepsABoundedReason) {
  const ReasonCase& c = GetParam();
  LoopbackServer server;
  TestSocket sock;
  Connect(sock, server);
  std::string reason(c.payload, '\0');
  for (std::size_t i = 0; i < reason.size(); ++i) reason[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);

  if (c.payload == 0) {
    ASSERT_EQ(CBaseThread::Post(nullptr, &sock, THRDMSG_DISCONNECT, 0, c.claimed, "TEST"), 1);
  } else {
    ASSERT_EQ(CBaseThread::PostData(nullptr, &sock, THRDMSG_DISCONNECT, 0, c.payload, reason.data(), "TEST"), 1);
  }
  // The queue must stay aligned on the next message.
  ASSERT_EQ(CBaseThread::Post(nullptr, &sock, THRDMSG_NOP, 0, 0, "TEST"), 1);

  ASSERT_TRUE(sock.WaitForNotices(2, kWaitMs));
  EXPECT_EQ(sock.Notices()[1], (Notice{0, "ONDISCNOW by " + reason.substr(c.keptFrom, c.keptLength)}));
  sock.RunOnThread([] { return 0; });
  const auto answers = sock.Answers();
  ASSERT_FALSE(answers.empty());
  EXPECT_EQ(answers.back(), std::make_pair(THRDMSG_NOP, DWORD{1}));
  EXPECT_TRUE(server.WaitForPeerClose(kWaitMs));
  sock.Stop();
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, SocketDisconnectTest,
    ::testing::Values(ReasonCase{"Short", 3, 3, 0, 3}, ReasonCase{"Empty", 0, 0, 0, 0},
                      ReasonCase{"ClaimedButMissing", 0, 500, 0, 0},
                      ReasonCase{"LongerThanTheReasonBuffer", 3'000, 3'000, 0, 1'023},
                      ReasonCase{"OnePiece", 0x20000, 0x20000, 0, 1'023},
                      ReasonCase{"LastPieceOnly", 0x20000 + 50, 0x20000 + 50, 0x20000, 50}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

}  // namespace
