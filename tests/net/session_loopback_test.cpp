// The own position records over real loopback sockets: a raw frame peer that
// called the listening port and was taken as a pilot receives them as
// NCSMSG_PILOT frames in its family's layout, once admitted to the session.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/main_dialog_state.h"
#include "net/frame_codes.h"
#include "net/listener.h"
#include "net/multiplayer_session.h"
#include "net/own_broadcasts.h"
#include "net/position_records.h"
#include "net/session_senders.h"
#include "support/frame_bytes.h"
#include "test_way.h"
#include "testbed/loopback_peer.h"

namespace {

constexpr int kWaitMs = 5'000;
constexpr std::size_t kFrameHeadSize = 12;

std::atomic<std::uint32_t> g_now{50'000};
std::uint32_t TestClock() { return g_now.load(); }

class SessionLoopbackTest : public WayTest {
 protected:
  void SetUp() override {
    WayTest::SetUp();
    SetSessionClock(&TestClock);
    way_ = std::make_unique<TestWay>(0);
    ASSERT_TRUE(way_->Start());
    ASSERT_EQ(CreateListeningSocket(0), 0);
    listener_ = std::make_unique<Listener>();
    ASSERT_EQ(listener_->StartThread(1, 64 * 1024), 1);
    ASSERT_TRUE(client_.Connect(ListeningPort()));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->IsConnected(); }));
    // The peer's first pilot frame makes the way a pilot way.
    ASSERT_TRUE(client_.Send(AsString(Header(NCSMSG_PILOT, NCSUB_HEARTBEAT, 0, 0))));
    ASSERT_TRUE(way_->WaitForFrames(1, kWaitMs));
    ASSERT_EQ(way_->PeerKind(), 'P');
    g_networkState = 2;
  }
  void TearDown() override {
    g_networkState = 0;
    SetSessionClock(nullptr);
    CloseListeningSocket();
    listener_.reset();
    way_.reset();
    WayTest::TearDown();
  }

  // What the pilot login leaves behind.
  void LogIn(std::int32_t code, DWORD bits = kWayLoggedIn | kWayLoggedInPeer) {
    {
      WayTableGuard guard;
      WayRecord& record = *PeerWayRecord(0);
      ASSERT_NE(record.stateFlags & kWayAllocated, 0u) << "the listener allocated the way";
      record.peerKind = 'P';
      record.simulatorCode = code;
    }
    way_->SetLoggedInBits(bits);
    way_->MarkPeerAdded((bits & kWayLoggedInPeer) != 0);
  }
  // One frame: its 12 head bytes and the body they announce.
  std::string ReceiveFrame(std::size_t bodySize) { return client_.Receive(kFrameHeadSize + bodySize, kWaitMs); }

  std::unique_ptr<TestWay> way_;
  std::unique_ptr<Listener> listener_;
  LoopbackClient client_;
};

OwnPositionValues SomeFlight() {
  OwnPositionValues own;
  own.latitude = 45.125;
  own.longitude = -73.5;
  own.altitudeFeet = 5500.0;
  own.pitch = 2.0;
  own.bank = -8.0;
  own.trueHeading = 245.0;
  own.magneticHeading = 260.0;
  own.groundSpeedWhole = 180;
  own.groundSpeedKnots = 180.4;
  own.onGround = false;
  return own;
}

std::string Head(std::uint8_t subCode, std::uint32_t length) { return AsString(Header(NCSMSG_PILOT, subCode, 0, length)); }

TEST_F(SessionLoopbackTest, AnXPlanePilotReceivesTheFortyEightByteRecord) {
  LogIn(9000);
  const OwnPositionValues own = SomeFlight();
  EXPECT_EQ(BroadcastOwnState(own).posts, 1);
  const std::string frame = ReceiveFrame(kPositionRecordSize);
  ASSERT_EQ(frame.size(), kFrameHeadSize + kPositionRecordSize);
  EXPECT_EQ(frame.substr(0, kFrameHeadSize), Head(NCSUB_FSX_PACKET, kPositionRecordSize));
  const std::string body = frame.substr(kFrameHeadSize);
  const PositionRecord expected = BuildPositionRecord(own, RecordStamp{0, g_now.load()});
  EXPECT_EQ(body.substr(0, 4), std::string(expected.begin(), expected.begin() + 4));
  EXPECT_EQ(body.substr(8), std::string(expected.begin() + 8, expected.end()));
}

TEST_F(SessionLoopbackTest, AnOlderFamilyPilotReceivesTheSixtyByteRecord) {
  LogIn(2004);
  const OwnPositionValues own = SomeFlight();
  BroadcastOwnState(own);
  const std::string frame = ReceiveFrame(kOlderPositionRecordSize);
  ASSERT_EQ(frame.size(), kFrameHeadSize + kOlderPositionRecordSize);
  EXPECT_EQ(frame.substr(0, kFrameHeadSize), Head(NCSUB_FS_PACKET, kOlderPositionRecordSize));
  const OlderPositionRecord expected = BuildOlderPositionRecord(own, RecordStamp{0, g_now.load()});
  const std::string body = frame.substr(kFrameHeadSize);
  EXPECT_EQ(body.substr(12), std::string(expected.begin() + 12, expected.end()));
}

TEST_F(SessionLoopbackTest, APeerNotYetAdmittedHearsNothing) {
  LogIn(9000, kWayLoggedIn);
  const OwnPositionValues own = SomeFlight();
  EXPECT_EQ(BroadcastOwnState(own).posts, 1);  // posted, but the way keeps it
  way_->Drain();
  // Admitted later, the peer's first frame is the next record, not the one held back.
  way_->SetLoggedInBits(kWayLoggedIn | kWayLoggedInPeer);
  way_->MarkPeerAdded(true);
  g_now += 1'000;
  BroadcastOwnState(own);
  const std::string frame = ReceiveFrame(kPositionRecordSize);
  ASSERT_EQ(frame.size(), kFrameHeadSize + kPositionRecordSize);
  const std::string stamp = frame.substr(kFrameHeadSize + 8, 4);
  const std::uint32_t time = static_cast<std::uint8_t>(stamp[0]) | static_cast<std::uint8_t>(stamp[1]) << 8 |
                             static_cast<std::uint8_t>(stamp[2]) << 16 |
                             static_cast<std::uint32_t>(static_cast<std::uint8_t>(stamp[3])) << 24;
  EXPECT_EQ(time, g_now.load());
  EXPECT_EQ(client_.Receive(1, 0), "");
}

TEST_F(SessionLoopbackTest, ARecordOfMoreThan1024BytesIsNotSent) {
  LogIn(2006);
  const std::string big(kSimPacketLimit + 1, '\x5A');
  const std::string limit(kSimPacketLimit, '\x5B');
  EXPECT_EQ(BroadcastFtn(std::span(reinterpret_cast<const std::uint8_t*>(big.data()), big.size())), 1);
  EXPECT_EQ(BroadcastFtn(std::span(reinterpret_cast<const std::uint8_t*>(limit.data()), limit.size())), 1);
  const std::string frame = ReceiveFrame(kSimPacketLimit);
  EXPECT_EQ(frame, Head(NCSUB_FSX_PACKET, kSimPacketLimit) + limit);
}

struct RoundCase {
  const char* label;
  std::int32_t code;
  std::vector<std::pair<std::uint8_t, std::size_t>> frames;  // sub-code and body size, in order
};

class SessionRoundTest : public SessionLoopbackTest, public ::testing::WithParamInterface<RoundCase> {};

// The records of one round reach the pilot as the frames separate posts would
// have written, in the order they were broadcast, and only once the round is
// flushed; a record that could never be sent is skipped, not the ones after it.
TEST_P(SessionRoundTest, TheRecordsOfOneRoundArriveInOrderOnceFlushed) {
  const RoundCase& c = GetParam();
  LogIn(c.code);
  const std::string big(kSimPacketLimit + 1, '\x5A');
  {
    const BroadcastRound round;
    BroadcastOwnState(SomeFlight());
    EXPECT_EQ(BroadcastFtn(std::span(reinterpret_cast<const std::uint8_t*>(big.data()), big.size())),
              c.code >= 2006 ? 1 : 0);
    OwnStateValues state;
    state.controls[0] = 70;
    BroadcastOwnAircraftState(state);
    BroadcastOwnShortState(state);
    way_->Drain();
    EXPECT_EQ(client_.Receive(1, 0), "") << "sent before the round was flushed";
    FlushBroadcastRound();
    // What the round gathers after a flush goes out on its own.
    BroadcastOwnShortState(state);
  }
  std::vector<std::pair<std::uint8_t, std::size_t>> expected = c.frames;
  if (c.code >= 2006) expected.emplace_back(NCSUB_FSX_PACKET, kShortStateRecordSize);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto [subCode, size] = expected[i];
    const std::string frame = ReceiveFrame(size);
    ASSERT_EQ(frame.size(), kFrameHeadSize + size) << "frame " << i;
    EXPECT_EQ(frame.substr(0, kFrameHeadSize), Head(subCode, size)) << "frame " << i;
  }
  way_->Drain();
  EXPECT_EQ(client_.Receive(1, 0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Families, SessionRoundTest,
    ::testing::Values(RoundCase{"XPlane", 9000,
                                {{NCSUB_FSX_PACKET, kPositionRecordSize},
                                 {NCSUB_FSX_PACKET, kStateRecordSize},
                                 {NCSUB_FSX_PACKET, kShortStateRecordSize}}},
                      RoundCase{"Older", 2004,
                                {{NCSUB_FS_PACKET, kOlderPositionRecordSize},
                                 {NCSUB_FS_PACKET, kOlderStateRecordSize}}}),
    [](const auto& round) { return std::string(round.param.label); });

}  // namespace
