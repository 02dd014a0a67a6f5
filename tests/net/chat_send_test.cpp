// The chat's senders over loopback: the ways they pick and the records the
// ways then write, byte for byte, to raw frame peers.
#include "net/chat_send.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/thread_messages.h"
#include "net/way_ids.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/frame_format.h"
#include "net/way_record.h"
#include "test_way.h"
#include "testbed/loopback_peer.h"
#include "win/clock.h"

namespace {

constexpr int kWaitMs = 5000;
constexpr int kTableWaitMs = 20000;

struct Peer {
  std::unique_ptr<LoopbackServer> server;
  std::unique_ptr<TestWay> way;
};

class ChatSendTest : public WayTest {
 protected:
  // A way linked to its own raw peer, entered in the way table as the node would.
  Peer& Linked(std::int32_t wayId, char kind, const char* callsign) {
    Peer& peer = peers_.emplace_back();
    peer.server = std::make_unique<LoopbackServer>();
    peer.way = std::make_unique<TestWay>(wayId);
    EXPECT_TRUE(peer.server->Ok());
    EXPECT_TRUE(peer.way->Start());
    EXPECT_EQ(peer.way->RunOnThread([&] { return peer.way->ConnectWay("127.0.0.1", peer.server->Port()); }), 0);
    EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return peer.way->IsConnected(); }));
    Enter(wayId, kind, callsign);
    return peer;
  }

  static void Enter(std::int32_t wayId, char kind, const char* callsign) {
    WayTableGuard guard;
    WayRecord& record = WayTable()[static_cast<std::size_t>(wayId)];
    record.stateFlags |= kWayAllocated;
    record.peerKind = kind;
    CopyToField(record.callsign, callsign);
  }

  // The compressed records the peer got, in order, once it has `count`.
  template <std::size_t N>
  static std::vector<std::array<std::uint8_t, N>> Records(const Peer& peer, std::uint8_t type, std::size_t count) {
    std::vector<std::array<std::uint8_t, N>> records;
    EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
      records.clear();
      const std::string bytes = peer.server->Received();
      std::size_t at = 0;
      while (at + 12 <= bytes.size()) {
        const auto* base = reinterpret_cast<const std::uint8_t*>(bytes.data()) + at;
        const FrameHeader header = ReadFrameHeader(std::span<const std::uint8_t, 8>(base + 4, 8));
        if (at + 12 + header.length > bytes.size()) break;
        std::array<std::uint8_t, N> record{};
        if (header.type == type &&
            UnpackCompressedRecord(std::span<const std::uint8_t>(base + 12, header.length), record) == kRecordOk) {
          records.push_back(record);
        }
        at += 12 + header.length;
      }
      return records.size() >= count;
    }));
    return records;
  }

  // Holds the way's thread until the returned promise is set, so that what is
  // posted meanwhile waits in its queue.
  static std::future<int> Hold(TestWay& way, std::shared_future<void> release) {
    std::promise<void> started;
    std::future<void> running = started.get_future();
    auto held = std::async(std::launch::async, [&way, release, p = std::move(started)]() mutable {
      return way.RunOnThread([&] {
        p.set_value();
        release.wait();
        return 0;
      });
    });
    running.wait();
    return held;
  }

  // Fills the way's queue (its thread held) until no record fits any more.
  static void FillQueue(TestWay& way) {
    const std::vector<char> filler(512, 'q');
    while (way.QueueFree() > 512 + 128) {
      ASSERT_EQ(CBaseThread::PostData(nullptr, &way, THRDMSG_WAY_TEST, 0, 512, filler.data(), "FILL"), 1);
    }
    while (way.QueueFree() >= kDMessageSize + 4) {
      ASSERT_EQ(CBaseThread::Post(nullptr, &way, THRDMSG_WAY_TEST, 0, 0, "FILL"), 1);
    }
  }

  // Reads the table from other threads until `written` holds for it: false as
  // soon as one reader cannot take the table within the bound, that is when a
  // sender holds it while it waits for room in a queue (`unblock` then lets
  // the sender, and with it the reader, go on).
  static bool TableFreeOnceWritten(const std::function<bool(const WayTableArray&)>& written,
                                   const std::function<void()>& unblock) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(kTableWaitMs)) {
      auto reader = std::async(std::launch::async, [&written] {
        WayTableGuard guard;
        return written(WayTable());
      });
      if (reader.wait_for(std::chrono::milliseconds(kTableWaitMs)) != std::future_status::ready) {
        unblock();
        return false;
      }
      if (reader.get()) return true;
      Sleep(1);
    }
    return false;
  }

  void TearDown() override {
    for (Peer& peer : peers_) peer.way->Stop();
    peers_.clear();
    WayTest::TearDown();
  }

  std::deque<Peer> peers_;  // references stay valid as peers are added
};

TEST_F(ChatSendTest, OnAirTextGoesToEveryLinkedPilotAndControllerWay) {
  Peer& pilot = Linked(1, 'P', "PIL1");
  Peer& controller = Linked(2, 'A', "LFPG_TWR");
  Peer& unknownKind = Linked(3, 0, "WHO");
  Enter(4, 'P', "NOLINK");  // allocated, no way linked

  EXPECT_EQ(SendTextOnAir(122.8, "hello %s all"), 2);
  for (Peer* peer : {&pilot, &controller}) {
    const auto records = Records<kTextOnAirRecordSize>(*peer, NCSMSG_TEXT_ON_AIR, 1);
    ASSERT_EQ(records.size(), 1u);
    const TextOnAirRecord text = ReadTextOnAirRecord(records[0]);
    EXPECT_EQ(text.sender, "OWN001");
    EXPECT_EQ(text.text, "hello %s all");
    EXPECT_DOUBLE_EQ(text.frequencyMhz, 122.8);
  }
  WayTableGuard guard;
  EXPECT_EQ(FieldText(WayTable()[1].outgoingText), "hello %s all");
  EXPECT_DOUBLE_EQ(WayTable()[2].onAirFrequencyMhz, 122.8);
  EXPECT_EQ(FieldText(WayTable()[3].outgoingText), "") << "a way of no known kind is skipped";
  EXPECT_TRUE(unknownKind.server->Received().empty());
}

TEST_F(ChatSendTest, LinesTypedBeforeTheWaySendsEachGoOutAsTyped) {
  Peer& pilot = Linked(5, 'P', "KLM123");
  std::promise<void> release;
  auto held = Hold(*pilot.way, release.get_future().share());
  EXPECT_EQ(SendTextOnAir(122.8, "first"), 1);
  EXPECT_EQ(SendTextOnAir(123.45, "second"), 1);
  EXPECT_EQ(SendPrivateText("klm123", "third"), PrivateRoute::kWay);
  EXPECT_EQ(SendPrivateText("KLM123", "fourth"), PrivateRoute::kWay);
  release.set_value();
  EXPECT_EQ(held.get(), 0);

  const auto onAir = Records<kTextOnAirRecordSize>(pilot, NCSMSG_TEXT_ON_AIR, 2);
  ASSERT_EQ(onAir.size(), 2u);
  EXPECT_EQ(ReadTextOnAirRecord(onAir[0]).text, "first");
  EXPECT_DOUBLE_EQ(ReadTextOnAirRecord(onAir[0]).frequencyMhz, 122.8);
  EXPECT_EQ(ReadTextOnAirRecord(onAir[1]).text, "second");
  const auto privateTexts = Records<kPrivateTextRecordSize>(pilot, NCSMSG_TEXT_PRIVATE, 2);
  ASSERT_EQ(privateTexts.size(), 2u);
  EXPECT_EQ(ReadPrivateTextRecord(privateTexts[0]).text, "third");
  EXPECT_EQ(ReadPrivateTextRecord(privateTexts[0]).recipient, "klm123");
  EXPECT_EQ(ReadPrivateTextRecord(privateTexts[0]).sender, "OWN001");
  EXPECT_EQ(ReadPrivateTextRecord(privateTexts[1]).text, "fourth");
}

TEST_F(ChatSendTest, PrivateTextReachesOnlyTheAddressedWay) {
  Peer& addressed = Linked(7, 'P', "KLM123");
  Peer& other = Linked(8, 'P', "AFR9");
  EXPECT_EQ(SendPrivateText("Klm123", "hello"), PrivateRoute::kWay);
  const auto records = Records<kPrivateTextRecordSize>(addressed, NCSMSG_TEXT_PRIVATE, 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(ReadPrivateTextRecord(records[0]).text, "hello");
  // A frame sent after it to the other way arrives; nothing came before it.
  EXPECT_EQ(SendPrivateText("AFR9", "marker"), PrivateRoute::kWay);
  const auto marker = Records<kPrivateTextRecordSize>(other, NCSMSG_TEXT_PRIVATE, 1);
  ASSERT_EQ(marker.size(), 1u);
  EXPECT_EQ(ReadPrivateTextRecord(marker[0]).text, "marker");
}

TEST_F(ChatSendTest, AWayHandedToAnotherPeerNeverSendsHimAPrivateTextForTheFirst) {
  Peer& peer = Linked(6, 'P', "KLM123");
  std::promise<void> release;
  auto held = Hold(*peer.way, release.get_future().share());
  EXPECT_EQ(SendPrivateText("klm123", "for KLM123 only"), PrivateRoute::kWay);
  // While the text waits in the queue the record is freed and given to another pilot.
  {
    WayTableGuard guard;
    WayRecord& record = WayTable()[6];
    record.stateFlags &= ~kWayAllocated;
    CopyToField(record.callsign, "");
  }
  Enter(6, 'P', "AFR9");
  EXPECT_EQ(SendPrivateText("AFR9", "for AFR9"), PrivateRoute::kWay);
  release.set_value();
  EXPECT_EQ(held.get(), 0);
  const auto records = Records<kPrivateTextRecordSize>(peer, NCSMSG_TEXT_PRIVATE, 1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(ReadPrivateTextRecord(records[0]).text, "for AFR9") << "the first text was not his";
  EXPECT_EQ(ReadPrivateTextRecord(records[0]).recipient, "AFR9");
}

TEST_F(ChatSendTest, EmptyArgumentsSendNothing) {
  Linked(9, 'P', "KLM123");
  EXPECT_EQ(SendPrivateText("", "hello"), PrivateRoute::kNone);
  EXPECT_EQ(SendPrivateText("KLM123", ""), PrivateRoute::kNone);
  EXPECT_FALSE(SendKickout("", "reason"));
  EXPECT_FALSE(SendKickout("KLM123", ""));
  WayTableGuard guard;
  EXPECT_EQ(FieldText(WayTable()[9].outgoingText), "");
}

TEST_F(ChatSendTest, LookupIgnoresCaseAndTellsEmptyFromMissing) {
  Enter(3, 'P', "KLM123");
  Enter(11, 'A', "EDDF_GND");
  struct Case {
    const char* name;
    std::int32_t way;
  };
  for (const Case& c : {Case{"KLM123", 3}, Case{"klm123", 3}, Case{"eddf_gnd", 11}, Case{"", -1},
                        Case{"KLM12", -2}, Case{"KLM1234", -2}}) {
    EXPECT_EQ(LookupWayByCallsignNoCase(c.name), c.way) << c.name;
  }
}

// A way whose thread is held, with a full queue: whoever posts to it waits,
// and the way table stays free for every other thread meanwhile.
TEST_F(ChatSendTest, ASendWaitingForAFullQueueLeavesTheWayTableFree) {
  Peer& pilot = Linked(12, 'P', "KLM123");
  pilot.way->WaitWithoutBoundWhenFull();
  std::promise<void> release;
  auto held = Hold(*pilot.way, release.get_future().share());
  FillQueue(*pilot.way);

  struct Case {
    const char* what;
    std::function<int()> send;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"on air", [] { return SendTextOnAir(122.8, "on air while full"); }, "on air while full"},
      {"private", [] { return SendPrivateText("klm123", "private while full") == PrivateRoute::kWay ? 1 : 0; },
       "private while full"},
  };
  std::vector<std::future<int>> sends;
  for (const Case& c : cases) {
    sends.push_back(std::async(std::launch::async, c.send));
    const std::string text = c.text;
    const bool free = TableFreeOnceWritten(
        [&text](const WayTableArray& table) { return FieldText(table[12].outgoingText) == text; },
        [&release] { release.set_value(); });
    ASSERT_TRUE(free) << c.what << ": the send held the way table while waiting for the way's queue";
  }
  release.set_value();
  EXPECT_EQ(held.get(), 0);
  for (auto& send : sends) EXPECT_EQ(send.get(), 1);
  const auto onAir = Records<kTextOnAirRecordSize>(pilot, NCSMSG_TEXT_ON_AIR, 1);
  ASSERT_EQ(onAir.size(), 1u);
  EXPECT_EQ(ReadTextOnAirRecord(onAir[0]).text, "on air while full");
  const auto privateTexts = Records<kPrivateTextRecordSize>(pilot, NCSMSG_TEXT_PRIVATE, 1);
  ASSERT_EQ(privateTexts.size(), 1u);
  EXPECT_EQ(ReadPrivateTextRecord(privateTexts[0]).text, "private while full");
}

}  // namespace
