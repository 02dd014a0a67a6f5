// How long an idle way waits: until a byte, a post or its next deadline, never
// on a fixed timeout.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/main_dialog_state.h"
#include "net/frame_codes.h"
#include "net/frame_format.h"
#include "test_way.h"
#include "testbed/loopback_peer.h"
#include "win/clock.h"

namespace {
constexpr int kWaitMs = 5'000;

struct IdleCase {
  const char* label;
  // Runs on the way's own thread, right before the wait is asked for.
  std::function<void(TestWay&)> prepare;
  int lowest;
  int highest;
};

class IdleWaitTest : public WayTest {
 protected:
  void Connect(TestWay& way, LoopbackServer& server) {
    ASSERT_TRUE(server.Ok());
    ASSERT_TRUE(way.Start());
    ASSERT_EQ(way.RunOnThread([&] { return way.ConnectWay("127.0.0.1", server.Port()); }), 0);
    ASSERT_TRUE(server.WaitForConnections(1, kWaitMs));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.IsConnected(); }));
  }
};
}  // namespace

TEST_F(IdleWaitTest, TheWaitEndsAtTheNextThingToDo) {
  const IdleCase cases[] = {
      {"nothing to do: no limit", [](TestWay&) {}, -1, -1},
      {"bytes in the send ring go out first",
       [](TestWay& way) {
         FrameHeader header;
         header.type = NCSMSG_PILOT;
         way.SendFrame(header, {});
       },
       0, 0},
      {"a second the way has not served yet", [](TestWay&) { g_secondsCounter.fetch_add(1); }, 0, 0},
      {"a deadline ahead", [](TestWay& way) { way.SetIdleDeadline(GetTickCount() + 2'000); }, 1, 2'000},
      {"a deadline passed", [](TestWay& way) { way.SetIdleDeadline(GetTickCount() - 10); }, 0, 0},
  };
  LoopbackServer server;
  TestWay way(4);
  Connect(way, server);
  for (const IdleCase& c : cases) {
    // Let the previous case's work be done, so that only this case's state counts.
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
      return way.RunOnThread([&] { return way.TxUsed() == 0 && way.IdleWaitMs() == -1; });
    })) << c.label;
    const int waitMs = way.RunOnThread([&] {
      c.prepare(way);
      const int ms = way.IdleWaitMs();
      way.SetIdleDeadline(0);
      return ms;
    });
    EXPECT_GE(waitMs, c.lowest) << c.label;
    EXPECT_LE(waitMs, c.highest) << c.label;
  }
}

TEST_F(IdleWaitTest, AConnectedWayWaitingWithoutLimitServesEverySecondAndEveryPost) {
  LoopbackServer server;
  TestWay way(4);
  Connect(way, server);
  for (int second = 1; second <= 3; ++second) {
    const unsigned before = way.SecondTasks();
    g_secondsCounter.fetch_add(1);
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.SecondTasks() > before; })) << "second " << second;
    EXPECT_EQ(way.RunOnThread([] { return 7; }), 7) << "a post after second " << second;
  }
}

// Frames served, nothing more waiting: the way goes back to its wait at once
// (a byte or a post wakes it) rather than passing on through its loop for a
// while after each frame, which 49 pilot ways with a record every 33 ms would
// turn into a steady spin.
TEST_F(IdleWaitTest, AfterServingFramesTheWayWaitsAgainWithinAFewPasses) {
  constexpr std::size_t kFrames = 5;
  LoopbackServer server;
  TestWay way(4);
  Connect(way, server);
  FrameHeader header;
  header.type = NCSMSG_STANDARD;
  const std::vector<std::uint8_t> frame = BuildFrame(FRAME_SYNC_NETWORK, header, {});
  const std::string frameText(frame.begin(), frame.end());
  // Until the way would wait without limit: every pass it was going to make is made.
  const auto settle = [&] {
    return TestWay::WaitFor(kWaitMs, [&] {
      return way.RunOnThread([&] { return way.TxUsed() == 0 && way.IdleWaitMs() == -1; });
    });
  };
  ASSERT_TRUE(settle());
  const std::uint64_t before = way.Passes();
  for (std::size_t k = 1; k <= kFrames; ++k) {
    ASSERT_TRUE(server.Send(frameText));
    ASSERT_TRUE(way.WaitForFrames(k, kWaitMs)) << k;
  }
  ASSERT_TRUE(settle());
  EXPECT_LT(way.Passes() - before, 10 * kFrames) << "passes for " << kFrames << " frames";
}
