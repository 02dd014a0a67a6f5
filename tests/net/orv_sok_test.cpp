// The connection object over real loopback sockets: frames out and in, the
// protocol-error answer, the per-second task, sleeping and waking, the idle cost.
#include <gtest/gtest.h>

#include <ctime>
#include <thread>
#include <memory>
#include <string>
#include <vector>

#include "core/main_dialog_state.h"
#include "base/main_thread.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/text_records.h"
#include "test_way.h"
#include "testbed/loopback_peer.h"
#include "win/clock.h"
#include "win/msgbox.h"

namespace {

constexpr int kWaitMs = 20'000;

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string FrameText(std::uint8_t type, std::uint8_t subCode, const std::string& body) {
  FrameHeader header;
  header.type = type;
  header.subCode = subCode;
  const std::vector<std::uint8_t> frame = BuildFrame(FRAME_SYNC_NETWORK, header, Bytes(body));
  return {frame.begin(), frame.end()};
}

std::string Pattern(std::size_t length) {
  std::string text(length, '\0');
  for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return text;
}

// Steps the global seconds counter and waits until the way has run its task.
bool StepSecond(TestWay& way) {
  const unsigned before = way.SecondTasks();
  g_secondsCounter.fetch_add(1);
  return TestWay::WaitFor(kWaitMs, [&] { return way.SecondTasks() > before; });
}

// Returns once the way has gone round its whole loop (its messages, its socket,
// its per-second check) at least `rounds` times after this call began: what it
// would have done by then, it has done. A posted call wakes it, so no time is guessed.
bool GoRound(TestWay& way, std::uint64_t rounds = 2) {
  const std::uint64_t start = way.RunOnThread([&] { return way.Passes(); });
  return TestWay::WaitFor(kWaitMs, [&] { return way.RunOnThread([&] { return way.Passes(); }) > start + rounds; });
}

class OrvSokTest : public WayTest {
 protected:
  void Connect(TestWay& way, LoopbackServer& server, std::size_t connections = 1) {
    ASSERT_TRUE(server.Ok());
    ASSERT_TRUE(way.Start());
    ASSERT_EQ(way.RunOnThread([&] { return way.ConnectWay("127.0.0.1", server.Port()); }), 0);
    ASSERT_TRUE(server.WaitForConnections(connections, kWaitMs));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.IsConnected(); }));
  }
};

TEST_F(OrvSokTest, SentFramesReachTheServerByteForByte) {
  LoopbackServer server;
  TestWay way(4);
  Connect(way, server);

  // Sync bytes inside a body are just body bytes.
  const std::string body = std::string("pos\xA1\xB2\xC3\x17", 7) + Pattern(700);
  FrameHeader header;
  header.type = NCSMSG_PILOT;
  header.subCode = NCSUB_PILOT_CHANGES;
  header.length = 3;  // replaced by the body's length
  EXPECT_EQ(way.RunOnThread([&] { return way.SendFrame(header, Bytes(body)); }), 1);
  const std::string expected = FrameText(NCSMSG_PILOT, NCSUB_PILOT_CHANGES, body);
  ASSERT_TRUE(server.WaitForBytes(expected.size(), kWaitMs));
  EXPECT_EQ(server.Received(), expected);

  {
    WayTableGuard guard;
    CopyToField(WayTable()[4].outgoingText, "Hello tower");
    CopyToField(WayTable()[4].callsign, "PEER4");
    WayTable()[4].onAirFrequencyMhz = 122.8;
  }
  ASSERT_EQ(CBaseThread::Post(nullptr, &way, THRDMSG_TEXT_ON_AIR, 0, 0, "TEST"), 1);
  ASSERT_TRUE(server.WaitForBytes(expected.size() + 12 + 8, kWaitMs));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
    const std::string all = server.Received();
    if (all.size() < expected.size() + 12) return false;
    const auto h = ReadFrameHeader(std::span<const std::uint8_t, 8>(Bytes(all).subspan(expected.size() + 4, 8)));
    return all.size() >= expected.size() + 12 + h.length;
  }));
  const std::string all = server.Received();
  const std::string text = all.substr(expected.size());
  EXPECT_EQ(text.substr(0, 4), std::string("\xA1\xB2\xC3\x17", 4));
  const FrameHeader textHeader = ReadFrameHeader(std::span<const std::uint8_t, 8>(Bytes(text).subspan(4, 8)));
  EXPECT_EQ(textHeader.type, NCSMSG_TEXT_ON_AIR);
  EXPECT_TRUE(textHeader.Compressed());
  ASSERT_EQ(text.size(), 12u + textHeader.length);
  TextOnAirRecordBytes record{};
  ASSERT_EQ(UnpackCompressedRecord(Bytes(text).subspan(12), record), kRecordOk);
  const TextOnAirRecord decoded = ReadTextOnAirRecord(record);
  EXPECT_EQ(decoded.sender, "OWN001");
  EXPECT_EQ(decoded.text, "Hello tower");
  EXPECT_DOUBLE_EQ(decoded.frequencyMhz, 122.8);
}

TEST_F(OrvSokTest, FramesSplitAcrossSegmentsAreFoundAndTheKindIsLearnt) {
  LoopbackServer server;
  TestWay way(6);
  Connect(way, server);

  const std::string first = FrameText(NCSMSG_STANDARD, 1, "abc");
  const std::string second = FrameText(NCSMSG_PILOT, NCSUB_PILOT_CHANGES, Pattern(300));
  const std::string third = FrameText(NCSMSG_STANDARD, 2, "");
  const std::string stream = "junk" + first + second + third;
  // Cuts inside a sync word, a header and a body.
  const std::vector<std::size_t> cuts = {6, 4 + first.size() + 7, 4 + first.size() + 12 + 150, stream.size() - 5,
                                         stream.size()};
  std::size_t from = 0;
  for (const std::size_t to : cuts) {
    ASSERT_TRUE(server.Send(stream.substr(from, to - from)));
    from = to;
    ASSERT_TRUE(GoRound(way));  // read before the next piece is sent: separate segments
  }
  ASSERT_TRUE(way.WaitForFrames(3, kWaitMs));
  const auto frames = way.Frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].handler, 'N');
  EXPECT_EQ(frames[0].type, NCSMSG_STANDARD);
  EXPECT_EQ(frames[0].body, "abc");
  EXPECT_EQ(frames[1].handler, 'P') << "type 105 makes a pilot way before its handler runs";
  EXPECT_EQ(frames[1].subCode, NCSUB_PILOT_CHANGES);
  EXPECT_EQ(frames[1].body, Pattern(300));
  EXPECT_EQ(frames[2].handler, 'P');
  EXPECT_EQ(frames[2].body, "");
  EXPECT_EQ(way.PeerKind(), 'P');
  EXPECT_EQ(way.RunOnThread([&] { return way.SelectTimeoutUs(); }), 50u);
  EXPECT_EQ(way.RunOnThread([&] { return way.Hunter().BytesSkipped(); }), 4u);
  EXPECT_TRUE(way.IsConnected());
}

struct BadHeaderCase {
  const char* label;
  std::uint32_t length;
  const char* dump;
};

class OrvSokProtocolErrorTest : public OrvSokTest, public ::testing::WithParamInterface<BadHeaderCase> {};

TEST_P(OrvSokProtocolErrorTest, IsAnsweredByDumpPauseAndDisconnection) {
  const BadHeaderCase& c = GetParam();
  LoopbackServer server;
  TestWay way(4);
  {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay("PEER4"), 0);
    ASSERT_EQ(AllocatePeerWay("PEER1"), 1);
    ASSERT_EQ(AllocatePeerWay("PEER2"), 2);
    ASSERT_EQ(AllocatePeerWay("PEER3"), 3);
    ASSERT_EQ(AllocatePeerWay("PEER4"), 4);
  }
  Connect(way, server);

  std::string bad = std::string("\xA1\xB2\xC3\x17", 4) + "iT" + std::string(2, '\0');
  for (int i = 0; i < 4; ++i) bad.push_back(static_cast<char>((c.length >> (8 * i)) & 0xFF));
  bad += "xyz-more";

  SetTraceConsole(true);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(server.Send(bad));
  const bool closed = server.WaitForPeerClose(kWaitMs);
  const bool cleared = TestWay::WaitFor(kWaitMs, [] {
    WayTableGuard guard;
    return (WayTable()[4].stateFlags & kWayAllocated) == 0;
  });
  const std::string traced = testing::internal::GetCapturedStdout();
  SetTraceConsole(false);

  ASSERT_TRUE(closed);
  ASSERT_TRUE(cleared) << "the disconnection clears the way's record";
  EXPECT_FALSE(way.IsConnected());
  EXPECT_TRUE(way.Frames().empty());
  EXPECT_NE(traced.find("SYSERR_3102 : 105 / 84"), std::string::npos) << traced;
  const std::size_t open = traced.find("{ ");
  ASSERT_NE(open, std::string::npos) << traced;
  EXPECT_NE(traced.find(c.dump, open), std::string::npos) << traced;
  EXPECT_NE(traced.find(" }", open), std::string::npos) << traced;
  const std::vector<DWORD> pauses = RecordedPauses();
  ASSERT_GE(pauses.size(), 2u);
  EXPECT_EQ(pauses[0], kProtocolErrorPauseMs);
  EXPECT_EQ(pauses[1], kDisconnectionPauseMs);
  EXPECT_NE(std::string(way.RunOnThread([&] { return std::string(way.LostReason()); })).find("PRBB_2"),
            std::string::npos);
  EXPECT_EQ(way.RunOnThread([&] { return way.RxUsed(); }), 0u);
  {
    WayTableGuard guard;
    EXPECT_NE(WayTable()[3].stateFlags & kWayAllocated, 0u) << "other ways are untouched";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrvSokProtocolErrorTest,
    ::testing::Values(BadHeaderCase{"Garbage", 0xFFFFFFFF, "iT[00][00][FF][FF][FF][FF]xyz }"},
                      BadHeaderCase{"OneOverTheChunk", static_cast<std::uint32_t>(kWayChunkSize + 1),
                                    "iT[00][00][01] [03][00]xyz }"}),
    [](const auto& testInfo) { return std::string(testInfo.param.label); });

TEST_F(OrvSokTest, AThreadThatEndsAfterALossReportsItWithTheKeptReason) {
  LoopbackServer server;
  TestWay way(4);
  Connect(way, server);
  ASSERT_TRUE(server.CloseAbruptly());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.IsLost() && !way.IsConnected(); }));
  // Once the disconnection notice is served, the kept reason is its text.
  std::string kept;
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
    kept = way.RunOnThread([&] { return std::string(way.LostReason()); });
    return kept.rfind("XWTSC: ", 0) == 0;
  })) << kept;
  const std::size_t before = way.LossReasons().size();
  way.Stop();
  const std::vector<std::string> reasons = way.LossReasons();
  ASSERT_EQ(reasons.size(), before + 1) << "one loss at the end, the socket being closed already";
  EXPECT_EQ(reasons.back(), kept);
}

TEST_F(OrvSokTest, PerSecondTaskRunsOncePerCounterStep) {
  TestWay way(WAYID_NODE, "g_porvNode");
  ASSERT_TRUE(way.Start());
  ASSERT_TRUE(GoRound(way, 3));
  EXPECT_EQ(way.SecondTasks(), 0u);
  ASSERT_TRUE(StepSecond(way));
  ASSERT_TRUE(GoRound(way, 3));  // several idle passes
  EXPECT_EQ(way.SecondTasks(), 1u);
  g_secondsCounter.fetch_add(5);  // one change seen, one task
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.SecondTasks() == 2u; }));
  ASSERT_TRUE(GoRound(way, 3));
  EXPECT_EQ(way.SecondTasks(), 2u);
}

TEST_F(OrvSokTest, StopCountdownDisconnectsWithItsTagAfterItsSeconds) {
  LoopbackServer server;
  TestWay way(WAYID_NODE, "g_porvNode");
  Connect(way, server);
  way.RunOnThread([&] { return way.SetStopCountdown(2); });
  ASSERT_TRUE(StepSecond(way));
  ASSERT_TRUE(GoRound(way));
  EXPECT_TRUE(way.IsConnected());
  EXPECT_FALSE(server.PeerClosed());
  ASSERT_TRUE(StepSecond(way));
  ASSERT_TRUE(server.WaitForPeerClose(kWaitMs));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !way.IsConnected(); }));
  // The reason is kept when the way serves its disconnection notice, which
  // may still be queued when the link is seen down.
  std::string reason;
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
    reason = way.RunOnThread([&] { return std::string(way.LostReason()); });
    return reason.find("o_TTES 0.") != std::string::npos;
  })) << reason;
}

TEST_F(OrvSokTest, FreePeerWaySleepsAfterItsCountdownAndAllocationWakesIt) {
  LoopbackServer server;
  TestWay way(0, "[PEER 0]");
  {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay("PEER0"), 0);
  }
  Connect(way, server);
  ASSERT_TRUE(server.CloseAbruptly(0));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [] {
    WayTableGuard guard;
    return (WayTable()[0].stateFlags & kWayAllocated) == 0;
  }));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.RunOnThread([&] { return way.SleepCountdown(); }) == 3; }));
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(StepSecond(way));
  EXPECT_TRUE(way.NotStarted()) << "suspended";
  EXPECT_EQ(way.RunOnThread([&] { return std::string(way.Name()); }), "[* 0]");

  {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay("PEER0B"), 0);
  }
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !way.NotStarted(); }));
  EXPECT_EQ(way.RunOnThread([&] { return way.SleepCountdown(); }), 0);
  EXPECT_EQ(way.PeerKind(), 0);
}

TEST_F(OrvSokTest, LongDisconnectionTextIsReadInPiecesAndTheReasonBounded) {
  TestWay way(5);
  ASSERT_TRUE(way.Start());
  std::string payload(25'000, 'x');
  payload.replace(payload.size() - 4'520, 4'520, std::string(4'520, 'y'));
  ASSERT_EQ(CBaseThread::PostData(nullptr, &way, THRDMSG_DISCONNECTION, 0, static_cast<std::uint32_t>(payload.size()),
                                  payload.data(), "TEST"),
            1);
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [] { return ShownMessageBoxes().size() >= 3; }));
  const auto boxes = ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  const char* texts[] = {"_nada_PULTXTa ( 25000 )", "_nada_PULTXTa ( 14760 )", "_nada_PULTXTb ( 4520 )"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(boxes[i].title, "Warning");
    EXPECT_EQ(boxes[i].text, texts[i]);
  }
  const std::string reason = way.RunOnThread([&] { return std::string(way.LostReason()); });
  EXPECT_EQ(reason.size(), kSocketReasonSize - 1);
  EXPECT_EQ(reason.rfind("XWTSC: yyyy", 0), 0u);
  EXPECT_EQ(reason.find('x'), std::string::npos);
}

TEST_F(OrvSokTest, ShortDisconnectionTextShowsNoBox) {
  TestWay way(WAYID_NODE, "g_porvNode");
  ASSERT_TRUE(way.Start());
  const std::string payload = "peer gone";
  ASSERT_EQ(CBaseThread::PostData(nullptr, &way, THRDMSG_DISCONNECTION, 0, static_cast<std::uint32_t>(payload.size()),
                                  payload.data(), "TEST"),
            1);
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.RunOnThread([&] { return way.SleepCountdown(); }) == 3; }));
  EXPECT_TRUE(ShownMessageBoxes().empty());
  EXPECT_EQ(way.RunOnThread([&] { return std::string(way.LostReason()); }), "XWTSC: peer gone.");
}

// A way whose frame reader is held back, so that its receive ring fills.
class HoldingWay : public TestWay {
 public:
  using TestWay::TestWay;
  ~HoldingWay() override { Stop(); }
  std::atomic<bool> hold{true};
  std::string Taken() {
    std::lock_guard lock(mutex_);
    return taken_;
  }

 protected:
  DWORD ProcessReceivedBytes() override {
    if (hold.load()) return 1;
    std::array<std::uint8_t, 4096> buffer{};
    for (;;) {
      const std::uint32_t n = RxReadUpTo(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
      if (n == 0) break;
      std::lock_guard lock(mutex_);
      taken_.append(reinterpret_cast<const char*>(buffer.data()), n);
    }
    return 1;
  }

 private:
  std::mutex mutex_;
  std::string taken_;
};

TEST_F(OrvSokTest, AFullReceiveRingLeavesTheBytesInTheSocketAndLosesNone) {
  LoopbackServer server;
  HoldingWay way(3);
  Connect(way, server);
  const std::string stream = Pattern(kWayRxRingSize + 90'000);
  std::thread sender([&] { server.Send(stream, 0, 20'000); });
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way.RunOnThread([&] { return way.RxFree(); }) == 0; }));
  ASSERT_TRUE(GoRound(way, 3));  // passes with a full ring
  EXPECT_TRUE(way.IsConnected()) << "a full ring is no reason to drop the link";
  way.hold.store(false);
  const bool all = TestWay::WaitFor(kWaitMs, [&] { return way.Taken().size() >= stream.size(); });
  sender.join();
  ASSERT_TRUE(all);
  EXPECT_TRUE(way.Taken() == stream) << "bytes lost or reordered";
  EXPECT_TRUE(way.IsConnected());
}

// The CPU and wake-up figures of idle ways are measured in bench/idle_bench.cpp;
// here the behaviour behind them: an idle connected way waits without a
// timeout, woken only by a byte, a post or a new second.
TEST_F(OrvSokTest, FiftyIdleConnectedWaysWaitWithoutATimeout) {
  LoopbackServer server;
  ASSERT_TRUE(server.Ok());
  std::vector<std::unique_ptr<TestWay>> ways;
  for (std::int32_t id = 0; id < kPeerWayCount; ++id) {
    ways.push_back(std::make_unique<TestWay>(id));
    Connect(*ways.back(), server, static_cast<std::size_t>(id + 1));
  }
  for (const auto& way : ways) ASSERT_TRUE(GoRound(*way));  // the connect notices are served
  // Once the connect's work is done, nothing is left that bounds a way's wait.
  std::vector<std::size_t> bounded;
  TestWay::WaitFor(kWaitMs, [&] {
    bounded.clear();
    for (std::size_t i = 0; i < ways.size(); ++i) {
      TestWay& way = *ways[i];
      if (!way.RunOnThread([&] { return way.TxUsed() == 0 && way.IdleWaitMs() == -1; })) bounded.push_back(i);
    }
    return bounded.empty();
  });
  EXPECT_TRUE(bounded.empty()) << bounded.size() << " ways wait with a timeout, the first is way " << bounded.front();
  for (const auto& way : ways) EXPECT_TRUE(way->IsConnected());

  // Still awake: a new second reaches every way, and a frame is served at once.
  std::vector<unsigned> seconds;
  for (const auto& way : ways) seconds.push_back(way->SecondTasks());
  g_secondsCounter.fetch_add(1);
  for (std::size_t i = 0; i < ways.size(); ++i) {
    EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return ways[i]->SecondTasks() > seconds[i]; })) << "way " << i;
  }
  ASSERT_TRUE(server.Send(FrameText(NCSMSG_STANDARD, 0, "ping"), 49));
  ASSERT_TRUE(ways[49]->WaitForFrames(1, kWaitMs));
}

}  // namespace
