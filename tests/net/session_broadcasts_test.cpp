// The session's counters and broadcasts over ways in the way table: which
// peers get which layout, the rate limit on position records, and the gates
// (network state, allocation, login, peer kind).
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/settings.h"
#include "core/ui_hooks.h"
#include "net/multiplayer_session.h"
#include "net/own_broadcasts.h"
#include "net/position_records.h"
#include "net/session_senders.h"
#include "net/way_record.h"
#include "test_way.h"

namespace {

std::atomic<std::uint32_t> g_now{10'000};
std::uint32_t TestClock() { return g_now.load(); }

std::uint16_t TypeOf(const std::string& payload) {
  return RecordType(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
}

class SessionBroadcastTest : public WayTest {
 protected:
  static constexpr int kWays = 6;

  void SetUp() override {
    WayTest::SetUp();
    g_now = 10'000;
    SetSessionClock(&TestClock);
    for (int i = 0; i < kWays; ++i) {
      ways_[i] = std::make_unique<TestWay>(i);
      ways_[i]->RecordSimPilotPosts();
      ASSERT_TRUE(ways_[i]->Start());
    }
    g_networkState = 2;
  }
  void TearDown() override {
    g_networkState = 0;
    g_sessionOpen = false;
    SetSessionClock(nullptr);
    SetUiHooks(UiHooks{});
    for (auto& way : ways_) way.reset();
    WayTest::TearDown();
  }

  // As the pilot login leaves a way: allocated, a pilot, logged in and admitted.
  void Admit(int way, std::int32_t code, DWORD bits = kWayLoggedIn | kWayLoggedInPeer) {
    {
      WayTableGuard guard;
      WayRecord& record = *PeerWayRecord(way);
      record.stateFlags |= kWayAllocated;
      record.peerKind = 'P';
      record.simulatorCode = code;
    }
    ways_[way]->SetLoggedInBits(bits);
  }
  void SetFlags(int way, std::uint32_t flags) {
    WayTableGuard guard;
    PeerWayRecord(way)->stateFlags |= flags;
  }
  std::vector<TestWay::SimPilotPost> Posts(int way) {
    ways_[way]->Drain();
    return ways_[way]->SimPilotPosts();
  }

  std::array<std::unique_ptr<TestWay>, kWays> ways_;
};

TEST_F(SessionBroadcastTest, PeersAreCountedBySimulatorFamily) {
  Admit(0, 2004);
  Admit(1, 2006);
  Admit(2, 4000);
  Admit(3, 9000);
  Admit(4, 5000);  // between the families: not counted
  Admit(5, 10'500);
  SetFlags(5, kWayInvisible);
  SessionPeerCounts counts = CountSessionPeers();
  EXPECT_EQ(counts.older, 1);
  EXPECT_EQ(counts.family2006, 2);
  EXPECT_EQ(counts.xplane, 1);
  EXPECT_EQ(counts.invisible, 1);
  EXPECT_EQ(counts.total, 4);
  EXPECT_EQ(SessionPeers().total, 4);

  ways_[0]->SetLoggedInBits(0);  // not logged in
  {
    WayTableGuard guard;
    PeerWayRecord(1)->peerKind = 'A';  // a controller
  }
  counts = CountSessionPeers();
  EXPECT_EQ(counts.older, 0);
  EXPECT_EQ(counts.family2006, 1);
  EXPECT_EQ(counts.total, 2);
}

TEST_F(SessionBroadcastTest, EachFamilyGetsItsOwnLayout) {
  Admit(0, 2004);
  Admit(1, 2006);
  Admit(2, 9000);
  const BroadcastResult result = BroadcastOwnState(OwnPositionValues{});
  EXPECT_TRUE(result.builtOlder);
  EXPECT_TRUE(result.builtNewer);

  const auto older = Posts(0);
  ASSERT_EQ(older.size(), 1u);
  EXPECT_EQ(older[0].subCode, kSimPilotSendFsPacket);
  EXPECT_EQ(older[0].payload.size(), kOlderPositionRecordSize);
  EXPECT_EQ(TypeOf(older[0].payload), kOlderPositionRecordType);

  for (int way : {1, 2}) {
    const auto newer = Posts(way);
    // The X-Plane peer is in the range of both 48-byte senders; the rate
    // limit stops the second copy.
    ASSERT_EQ(newer.size(), 1u) << way;
    EXPECT_EQ(newer[0].subCode, kSimPilotSendFsxPacket);
    EXPECT_EQ(newer[0].payload.size(), kPositionRecordSize);
    EXPECT_EQ(TypeOf(newer[0].payload), kPositionRecordType);
  }
}

TEST_F(SessionBroadcastTest, WithOnlyXPlanePeersNoSixtyByteRecordIsBuilt) {
  Admit(0, 9000);
  Admit(1, 10'000);
  const BroadcastResult result = BroadcastOwnState(OwnPositionValues{});
  EXPECT_FALSE(result.builtOlder);
  EXPECT_TRUE(result.builtNewer);
  EXPECT_EQ(result.posts, 2);
  for (int way : {0, 1}) {
    for (const auto& post : Posts(way)) EXPECT_EQ(post.payload.size(), kPositionRecordSize);
  }
}

TEST_F(SessionBroadcastTest, OnlyAllocatedLoggedInPilotsAreSentTo) {
  Admit(0, 9000);
  Admit(1, 9000, 0);  // not logged in
  Admit(2, 9000);
  {
    WayTableGuard guard;
    PeerWayRecord(2)->stateFlags &= ~kWayAllocated;  // cleared
  }
  Admit(3, 9000);
  {
    WayTableGuard guard;
    PeerWayRecord(3)->peerKind = 'A';
  }
  EXPECT_EQ(BroadcastOwnState(OwnPositionValues{}).posts, 1);
  EXPECT_EQ(Posts(0).size(), 1u);
  for (int way : {1, 2, 3}) EXPECT_TRUE(Posts(way).empty()) << way;

  g_networkState = 0;
  g_now += 1'000;
  EXPECT_EQ(BroadcastOwnState(OwnPositionValues{}).posts, 0);
  PositionRecord record{};
  EXPECT_EQ(BroadcastToFsxPeers(record), 0);
  EXPECT_EQ(Posts(0).size(), 1u);
}

TEST_F(SessionBroadcastTest, TwoBroadcastsTwentyMillisecondsApartSendTheSecondToNobody) {
  Admit(0, 2006);
  Admit(1, 9000);
  Admit(2, 2004);
  EXPECT_EQ(BroadcastOwnState(OwnPositionValues{}).posts, 3);
  g_now += 20;
  EXPECT_EQ(BroadcastOwnState(OwnPositionValues{}).posts, 0);
  g_now += kPositionRecordIntervalMs;
  EXPECT_EQ(BroadcastOwnState(OwnPositionValues{}).posts, 3);
  for (int way : {0, 1, 2}) EXPECT_EQ(Posts(way).size(), 2u) << way;
}

TEST_F(SessionBroadcastTest, APeerOverTheRateLimitDoesNotStopThePassForThePeersAfterIt) {
  Admit(0, 2006);
  Admit(1, 2006);
  Admit(2, 2006);
  {
    WayTableGuard guard;
    PeerWayRecord(1)->lastPositionSentMs = g_now.load() - 10;
  }
  PositionRecord record{};
  record[0] = 0x00;
  record[1] = 0x20;
  EXPECT_EQ(BroadcastToFsxPeers(record), 2);
  EXPECT_EQ(Posts(0).size(), 1u);
  EXPECT_TRUE(Posts(1).empty());
  EXPECT_EQ(Posts(2).size(), 1u);
  WayTableGuard guard;
  EXPECT_EQ(PeerWayRecord(0)->lastPositionSentMs, g_now.load());
  EXPECT_EQ(PeerWayRecord(1)->lastPositionSentMs, g_now.load() - 10);
}

TEST_F(SessionBroadcastTest, TheRateLimitHoldsAcrossTheClockWrap) {
  Admit(0, 2006);
  g_now = 0xFFFF'FFF0u;
  PositionRecord record{};
  record[1] = 0x20;
  EXPECT_EQ(BroadcastToFsxPeers(record), 1);
  g_now = 0x0000'0005u;  // 21 ms later
  EXPECT_EQ(BroadcastToFsxPeers(record), 0);
  g_now = 0x0000'0020u;  // 48 ms later
  EXPECT_EQ(BroadcastToFsxPeers(record), 1);
}

TEST_F(SessionBroadcastTest, StateRecordsAreNotRateLimitedAndGoToTheirFamilies) {
  Admit(0, 2004);
  Admit(1, 2006);
  Admit(2, 9000);
  OwnStateValues own;
  own.controls[0] = 70;
  for (int i = 0; i < 2; ++i) {
    const BroadcastResult result = BroadcastOwnAircraftState(own);
    EXPECT_TRUE(result.builtOlder);
    EXPECT_TRUE(result.builtNewer);
    EXPECT_EQ(result.posts, 3);
  }
  const auto older = Posts(0);
  ASSERT_EQ(older.size(), 2u);
  EXPECT_EQ(older[0].payload.size(), kOlderStateRecordSize);
  EXPECT_EQ(TypeOf(older[0].payload), kOlderStateRecordType);
  EXPECT_EQ(older[0].subCode, kSimPilotSendFsPacket);
  for (int way : {1, 2}) {
    const auto newer = Posts(way);
    ASSERT_EQ(newer.size(), 2u);
    EXPECT_EQ(TypeOf(newer[1].payload), kStateRecordType);
    EXPECT_EQ(newer[1].subCode, kSimPilotSendFsxPacket);
  }

  const BroadcastResult shortState = BroadcastOwnShortState(own);
  EXPECT_FALSE(shortState.builtOlder);
  EXPECT_EQ(shortState.posts, 2);
  EXPECT_EQ(Posts(0).size(), 2u);
  EXPECT_EQ(TypeOf(Posts(1).back().payload), kShortStateRecordType);
}

TEST_F(SessionBroadcastTest, EveryRecordTakesTheNextSequenceNumber) {
  Admit(0, 2004);
  Admit(1, 2006);
  BroadcastOwnState(OwnPositionValues{});
  const std::string older = Posts(0).at(0).payload;
  const std::string newer = Posts(1).at(0).payload;
  auto u32 = [](const std::string& p, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(p[at]) | static_cast<std::uint8_t>(p[at + 1]) << 8 |
                                      static_cast<std::uint8_t>(p[at + 2]) << 16 |
                                      static_cast<std::uint32_t>(static_cast<std::uint8_t>(p[at + 3])) << 24);
  };
  EXPECT_EQ(u32(newer, 4), u32(older, 8) + 1);
  EXPECT_EQ(u32(newer, 8), g_now.load());
  EXPECT_EQ(u32(older, 12), g_now.load());
}

TEST_F(SessionBroadcastTest, TheBroadcastsReadTheOwnAircraftState) {
  Admit(0, 2006);
  OwnFlightData flight;
  flight.latitude = 48.25;
  flight.longitude = 11.5;
  flight.altitudeFeet = 3500.0;
  flight.heading2 = 93.0;
  flight.speed1Rounded = 120;
  flight.onGround = 0;
  g_ownAircraft().SetFlightData(flight);
  BroadcastOwnStateCounted();
  g_ownAircraft().Reset();
  const auto posts = Posts(0);
  ASSERT_EQ(posts.size(), 1u);
  const OwnPositionValues expected = [&] {
    OwnPositionValues own;
    own.latitude = 48.25;
    own.longitude = 11.5;
    own.altitudeFeet = 3500.0;
    own.magneticHeading = 93.0;
    own.groundSpeedWhole = 120;
    own.onGround = false;
    return own;
  }();
  const PositionRecord built = BuildPositionRecord(expected, RecordStamp{0, g_now.load()});
  // All but the sequence number.
  EXPECT_EQ(posts[0].payload.substr(8), std::string(built.begin() + 8, built.end()));
}

TEST_F(SessionBroadcastTest, NothingIsBuiltWithoutPeers) {
  const BroadcastResult result = BroadcastOwnState(OwnPositionValues{});
  EXPECT_FALSE(result.builtOlder);
  EXPECT_FALSE(result.builtNewer);
  EXPECT_FALSE(BroadcastOwnAircraftState(OwnStateValues{}).builtNewer);
}

TEST_F(SessionBroadcastTest, AnInvisiblePeerMakesBothLayoutsBeBuilt) {
  Admit(0, 9000);
  SetFlags(0, kWayInvisible);
  const BroadcastResult result = BroadcastOwnState(OwnPositionValues{});
  EXPECT_TRUE(result.builtOlder);
  EXPECT_TRUE(result.builtNewer);
  EXPECT_EQ(Posts(0).size(), 1u);  // it stays in its family's range
}

TEST_F(SessionBroadcastTest, AnEmptyRecordIsAWarningWithTraceBitEight) {
  Admit(0, 2006);
  Klib().traceMask = 1u << 8;
  SetTraceConsole(true);
  testing::internal::CaptureStdout();
  EXPECT_EQ(BroadcastFtn({}), 0);
  const std::string out = testing::internal::GetCapturedStdout();
  Klib().traceMask = 0;
  SetTraceConsole(false);
  EXPECT_NE(out.find("Internal Warning : ECODE_D"), std::string::npos) << out;
  EXPECT_TRUE(Posts(0).empty());
}

TEST_F(SessionBroadcastTest, IdentityRequestsGoToEveryLoggedInWay) {
  EXPECT_EQ(SendMyIdentityToSessionPeers(), 0);  // no session peers
  Admit(0, 2004);
  Admit(1, 9000);
  Admit(2, 9000, 0);
  EXPECT_EQ(SendMyIdentityToSessionPeers(), 2);
  for (int way : {0, 1}) {
    const auto posts = Posts(way);
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].subCode, kSimPilotSendIdentity);
  }
  EXPECT_TRUE(Posts(2).empty());
}

std::atomic<int> g_closedSteps{0};

TEST_F(SessionBroadcastTest, TheGreetingFollowsTheLanguageAndOpensTheSession) {
  struct Case {
    std::int32_t language;
    const char* line;
    std::int32_t languageAfter;
  };
  const Case cases[] = {
      {0, "You have joined your session.", 0},
      {1, "Vous avez rejoint votre session.", 1},
      {2, "Usted se ha unido a la sesi\xF3n.", 2},
      {5, "You have joined your session.", 0},
  };
  SetTraceConsole(true);
  for (const Case& c : cases) {
    g_sessionOpen = false;
    Language = c.language;
    testing::internal::CaptureStdout();
    EXPECT_EQ(AnnounceSessionJoin(true), 1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find(c.line), std::string::npos) << out;
    EXPECT_EQ(Language.load(), c.languageAfter);
    EXPECT_TRUE(g_sessionOpen.load());
  }
  g_sessionOpen = false;
  testing::internal::CaptureStdout();
  EXPECT_EQ(AnnounceSessionJoin(false), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_FALSE(g_sessionOpen.load());
  SetTraceConsole(false);
  Language = 0;
}

TEST_F(SessionBroadcastTest, ClosingRunsTheSessionClosedStepOnlyForAnOpenSession) {
  UiHooks hooks;
  hooks.multiplayerSessionClosed = [] { g_closedSteps.fetch_add(1); };
  SetUiHooks(hooks);
  g_closedSteps = 0;
  Admit(0, 9000);
  CountSessionPeers();
  g_sessionOpen = true;
  EXPECT_EQ(CloseMultiplayerSession("TEST", nullptr), 1);
  EXPECT_EQ(g_closedSteps.load(), 1);
  EXPECT_FALSE(g_sessionOpen.load());
  EXPECT_EQ(SessionPeers().total, 0);
  EXPECT_EQ(CloseMultiplayerSession("TEST", nullptr), 1);
  EXPECT_EQ(g_closedSteps.load(), 1);

  // Without the main dialog's step the flag is cleared all the same.
  SetUiHooks(UiHooks{});
  g_sessionOpen = true;
  CloseMultiplayerSession(nullptr, nullptr);
  EXPECT_FALSE(g_sessionOpen.load());
}

}  // namespace
