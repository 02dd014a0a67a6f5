// A peer that keeps his link open but reads nothing, over real loopback
// sockets: a way's send that cannot move a byte for five seconds ends the
// link by the loss path, counted from the first send that could not move;
// and a post to a way whose queue is full never waits without bound.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "net/multiplayer_session.h"
#include "net/pilot_link.h"
#include "net/way_ids.h"
#include "test_way.h"
#include "testbed/loopback_peer.h"
#include "testbed/non_reading_peer.h"
#include "win/clock.h"

namespace {

constexpr int kWaitMs = 5'000;
// Far more than the peer's shrunk buffer and the way's own send buffer hold.
constexpr std::uint32_t kLargeSend = 4 * 1024 * 1024;
// Room left below the limit for a check that the link stays, and real time passing meanwhile.
constexpr DWORD kMargin = 1'500;

// The reason is kept when the way serves its disconnection notice.
bool LostWith(TestWay& way, const std::string& tag) {
  return TestWay::WaitFor(kWaitMs, [&] {
    return way.RunOnThread([&] { return std::string(way.LostReason()); }).find(tag) != std::string::npos;
  });
}

class StalledPeerTest : public WayTest {
 protected:
  void SetUp() override {
    WayTest::SetUp();
    ASSERT_TRUE(peer_.Ok());
    way_ = std::make_unique<TestWay>(3);
    ASSERT_TRUE(way_->Start());
    ASSERT_EQ(way_->RunOnThread([&] { return way_->ConnectWay("127.0.0.1", peer_.Port()); }), 0);
    ASSERT_TRUE(peer_.Accept(kWaitMs));
    // The connection notice is served.
    way_->Drain();
  }
  void TearDown() override {
    way_.reset();
    WayTest::TearDown();
  }

  // The way sends one block directly, on its own thread; the result comes when the send ends.
  std::future<std::int32_t> SendLarge() {
    return std::async(std::launch::async, [this] {
      return way_->RunOnThread([this] {
        const std::vector<std::uint8_t> bytes(kLargeSend, 0x5A);
        return way_->Send(bytes.data(), kLargeSend, false, "TEST");
      });
    });
  }
  // The send has waited twice for room that did not come: the peer's window is shut.
  bool Stalled() {
    return TestWay::WaitFor(kWaitMs, [&] { return way_->SendStalledWaits() >= 2; });
  }
  // The peer takes some bytes; the way moves on, then stalls again.
  bool ProgressThenStall() {
    const DWORD sent = way_->BytesSent();
    if (peer_.ReadSome(64 * 1024, kWaitMs) == 0) return false;
    if (!TestWay::WaitFor(kWaitMs, [&] { return way_->BytesSent() > sent; })) return false;
    return Stalled();
  }
  bool StillLinked() { return !TestWay::WaitFor(200, [&] { return !way_->IsConnected(); }); }
  // Moves the clock to `ms` after the start of the send's current stall.
  void ClockToStallPlus(DWORD ms) {
    const auto ahead = static_cast<std::int32_t>(way_->SendStalledSince() + ms - GetTickCount());
    if (ahead > 0) AdvanceTickCountForTest(static_cast<std::uint64_t>(ahead));
  }

  NonReadingPeer peer_;
  std::unique_ptr<TestWay> way_;
};

TEST_F(StalledPeerTest, ASendThatMovesNothingForFiveSecondsEndsTheLinkWithAReset) {
  auto send = SendLarge();
  ASSERT_TRUE(Stalled());
  ClockToStallPlus(kSendStallLimitMs - kMargin);
  EXPECT_TRUE(StillLinked()) << "within the limit the peer is waited for";
  ClockToStallPlus(kSendStallLimitMs);
  ASSERT_EQ(send.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
  EXPECT_NE(send.get(), 0);
  EXPECT_FALSE(way_->IsConnected());
  EXPECT_EQ(way_->SendStalledWaits(), 0u);
  EXPECT_TRUE(LostWith(*way_, std::string("ONDISCNOW by ") + kSendStallReason));
  EXPECT_EQ(way_->LossReasons(), std::vector<std::string>{kSendStallReason}) << "one loss, with its own reason";
  // Its unsent bytes would never go: the peer is told at once.
  EXPECT_EQ(peer_.WaitForEnd(kWaitMs), NonReadingPeer::End::kReset);
}

TEST_F(StalledPeerTest, TheFiveSecondsCountFromTheFirstSendThatCouldNotMoveAByte) {
  auto send = SendLarge();
  ASSERT_TRUE(Stalled());
  const DWORD firstStall = way_->SendStalledSince();
  ClockToStallPlus(kSendStallLimitMs - kMargin);
  ASSERT_TRUE(ProgressThenStall());
  // Past the limit since the first stall, within it since the bytes moved.
  ClockToStallPlus(kSendStallLimitMs - kMargin);
  ASSERT_GE(GetTickCount() - firstStall, kSendStallLimitMs);
  EXPECT_TRUE(StillLinked()) << "a send that moved bytes starts the count again";
  ClockToStallPlus(kSendStallLimitMs);
  ASSERT_EQ(send.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
  EXPECT_NE(send.get(), 0);
  EXPECT_TRUE(LostWith(*way_, kSendStallReason));
}

TEST_F(StalledPeerTest, TheRingsFlushStallsAndEndsTheLinkTheSameWay) {
  // Frames go into the send ring; the way's idle step flushes them.
  const std::vector<std::uint8_t> body(16 * 1024, 0x11);
  way_->RunOnThread([&] {
    FrameHeader header;
    header.type = 0x40;
    for (int i = 0; i < 6; ++i) way_->SendFrame(header, body);
    return 0;
  });
  ASSERT_TRUE(Stalled());
  ClockToStallPlus(kSendStallLimitMs);
  EXPECT_TRUE(LostWith(*way_, kSendStallReason));
  EXPECT_EQ(way_->LossReasons(), std::vector<std::string>{kSendStallReason});
  EXPECT_EQ(peer_.WaitForEnd(kWaitMs), NonReadingPeer::End::kReset);
}

// A way whose thread is held with its queue full, linked to a peer that reads.
class FullWayQueueTest : public WayTest {
 protected:
  static constexpr DWORD kQueueSize = 64 * 1024;

  void SetUp() override {
    WayTest::SetUp();
    ASSERT_TRUE(server_.Ok());
    way_ = std::make_unique<TestWay>(4);
    ASSERT_TRUE(way_->Start(kQueueSize));
    ASSERT_EQ(way_->RunOnThread([&] { return way_->ConnectWay("127.0.0.1", server_.Port()); }), 0);
    ASSERT_TRUE(server_.WaitForConnections(1, kWaitMs));
    way_->Drain();
    way_->RecordSimPilotPosts();
    held_ = std::async(std::launch::async, [this] {
      return way_->RunOnThread([this] {
        entered_.set_value();
        release_.get_future().wait();
        return 0;
      });
    });
    entered_.get_future().wait();
    const std::vector<char> filler(512, 'q');
    while (way_->QueueFree() > 512 + 128) {
      ASSERT_EQ(CBaseThread::PostData(nullptr, way_.get(), THRDMSG_WAY_TEST, 0, 512, filler.data(), "FILL"), 1);
    }
    while (way_->QueueFree() >= kDMessageSize + 4) {
      ASSERT_EQ(CBaseThread::Post(nullptr, way_.get(), THRDMSG_WAY_TEST, 0, 0, "FILL"), 1);
    }
  }
  void TearDown() override {
    Release();
    way_.reset();
    WayTest::TearDown();
  }
  void Release() {
    if (released_) return;
    released_ = true;
    release_.set_value();
    held_.get();
  }
  // A post from another thread, as the simulator link, another way or the UI makes it.
  std::future<std::int32_t> PostFromAnotherThread(std::uint32_t id, std::uint32_t param,
                                                  std::vector<std::uint8_t> payload = {}) {
    return std::async(std::launch::async, [this, id, param, payload = std::move(payload)] {
      return CBaseThread::PostData(nullptr, way_.get(), id, param, static_cast<std::uint32_t>(payload.size()),
                                   payload.empty() ? nullptr : payload.data(), "TESTPOST");
    });
  }

  LoopbackServer server_;
  std::unique_ptr<TestWay> way_;
  std::promise<void> entered_;
  std::promise<void> release_;
  std::future<int> held_;
  bool released_ = false;
};

struct SupersededCase {
  const char* name;
  std::uint32_t id;
  std::uint32_t param;
};

class FullWayQueueDropTest : public FullWayQueueTest, public ::testing::WithParamInterface<SupersededCase> {};

TEST_P(FullWayQueueDropTest, APositionOrStateRecordIsDroppedAndTheLinkStays) {
  const SupersededCase& c = GetParam();
  auto post = PostFromAnotherThread(c.id, c.param, std::vector<std::uint8_t>(48, 0x20));
  ASSERT_EQ(post.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
  EXPECT_EQ(post.get(), 0);
  EXPECT_FALSE(way_->ConnectionLossAsked()) << "the next record supersedes it: nothing to end the link for";
  EXPECT_EQ(way_->PostsGivenUp(), 0u);
  Release();
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->QueueFree() > kQueueSize / 2; }));
  way_->Drain();
  EXPECT_TRUE(way_->IsConnected());
  EXPECT_TRUE(way_->LossReasons().empty());
  EXPECT_TRUE(way_->SimPilotPosts().empty()) << "the dropped record never reaches the way";
  // Once there is room, the next record is taken.
  EXPECT_EQ(PostFromAnotherThread(c.id, c.param, std::vector<std::uint8_t>(48, 0x21)).get(), 1);
}

INSTANTIATE_TEST_SUITE_P(Records, FullWayQueueDropTest,
                         ::testing::Values(SupersededCase{"OwnRecordNewerLayout", THRDMSG_SIMPILOT, kSimPilotSendFsxPacket},
                                           SupersededCase{"OwnRecordOlderLayout", THRDMSG_SIMPILOT, kSimPilotSendFsPacket},
                                           SupersededCase{"BroadcastRound", THRDMSG_SIMPILOT_ROUND, 0}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

struct KeptCase {
  const char* name;
  std::uint32_t id;
  std::uint32_t param;
};

class FullWayQueueBoundTest : public FullWayQueueTest, public ::testing::WithParamInterface<KeptCase> {};

TEST_P(FullWayQueueBoundTest, AnyOtherMessageWaitsItsBoundThenTheLinkEnds) {
  const KeptCase& c = GetParam();
  auto post = PostFromAnotherThread(c.id, c.param);
  EXPECT_EQ(post.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
      << "within the bound the post waits for room";
  AdvanceTickCountForTest(kBoundedPostWaitMs);
  ASSERT_EQ(post.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
  EXPECT_EQ(post.get(), 0);
  EXPECT_TRUE(way_->ConnectionLossAsked());
  EXPECT_EQ(way_->PostsGivenUp(), 1u);
  // The way is closing: the next post is refused at once, without a wait of its own.
  auto next = PostFromAnotherThread(c.id, c.param);
  ASSERT_EQ(next.wait_for(std::chrono::milliseconds(kWaitMs)), std::future_status::ready);
  EXPECT_EQ(next.get(), 0);
  EXPECT_EQ(way_->PostsGivenUp(), 1u);
  Release();
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !way_->IsConnected(); }));
  // What was queued is served first; a test call posted meanwhile would find no room.
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->QueueFree() > kQueueSize / 2; }));
  // The loss path: its notice found room in the full queue, and the peer sees the end.
  EXPECT_TRUE(LostWith(*way_, std::string("ONDISCNOW by ") + kQueueFullReason));
  EXPECT_EQ(way_->LossReasons(), std::vector<std::string>{kQueueFullReason});
  EXPECT_TRUE(server_.WaitForPeerClose(kWaitMs));
}

INSTANTIATE_TEST_SUITE_P(Messages, FullWayQueueBoundTest,
                         ::testing::Values(KeptCase{"Logout", THRDMSG_LOGOUT, 0},
                                           KeptCase{"AiRemoved", THRDMSG_SIMPILOT, kSimPilotAiRemoved},
                                           KeptCase{"PrivateText", THRDMSG_TEXT_PRIVATE, 0}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
