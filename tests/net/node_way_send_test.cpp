// Frames the node way writes towards the node, as the node receives them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "base/lz77.h"
#include "net/chat_send.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/long_haul.h"
#include "net/node_connect.h"
#include "net/owner_slot.h"
#include "net/sim_info_items.h"
#include "node_way_fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class NodeWaySendTest : public NodeWayTest {
 protected:
  // What the way sent for the posts, up to a heartbeat posted behind them.
  std::vector<Frame> SentFor(const std::function<void()>& posts) {
    const std::size_t before = server_->FrameCount();
    posts();
    Post(THRDMSG_HEARTBEAT);
    EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
      const auto frames = server_->Frames();
      return frames.size() > before && frames.back().header.type == kNcsMsgHeaderOnly;
    }));
    std::vector<Frame> frames = server_->Frames();
    frames.erase(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(before));
    if (!frames.empty()) frames.pop_back();
    return frames;
  }

  template <std::size_t N>
  static bool Unpack(const Frame& frame, std::array<std::uint8_t, N>& record) {
    return frame.header.Compressed() && UnpackCompressedRecord(frame.body, record) == kRecordOk;
  }

  static OwnAircraftReport Aircraft() {
    OwnAircraftReport own;
    own.onGround = true;
    own.altitudeFeet = 1234.6;
    own.speedKnots = 88.4;
    own.trueHeadingDegrees = 90.5;
    own.latitude = 45.5;
    own.longitude = -73.25;
    own.transponderCode = 0x0A0B;
    return own;
  }
};

TEST_F(NodeWaySendTest, ReportsAndTheServerAnswerGoOutByteForByte) {
  way_->SetOwnAircraft(Aircraft());
  LogIn();
  const std::vector<Frame> frames = SentFor([&] {
    Post(THRDMSG_NODE_PILOT, NCSUB_SHORTINFOS);
    Post(THRDMSG_NODE_PILOT, NCSUB_PILOT_INCOCKPIT);
    Post(THRDMSG_NODE_PILOT, 0x100 | NCSUB_PILOT_CHANGES, kSimInfoOnGround | kSimInfoTransponder);
    Post(THRDMSG_SERVER_ANSWER, 7);
  });
  ASSERT_EQ(frames.size(), 5u);

  EXPECT_EQ(frames[0].header, (FrameHeader{NCSMSG_PILOT, NCSUB_SHORTINFOS, 0, 0, 40}));
  Bytes shortInfo(40, 0);
  shortInfo[8] = 0xD3;  // 1235 feet
  shortInfo[9] = 0x04;
  shortInfo[12] = 88;
  shortInfo[14] = 91;
  const auto put = [&](std::size_t at, double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) shortInfo[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  };
  put(16, 45.5);
  put(24, -73.25);
  shortInfo[32] = 1;
  EXPECT_EQ(frames[0].body, shortInfo);

  EXPECT_EQ(frames[1].header, (FrameHeader{NCSMSG_PILOT, NCSUB_PILOT_INCOCKPIT, 0, 0, 0}));
  // Only the low byte of the parameter is the sub-code; each item is a frame of its own.
  EXPECT_EQ(frames[2].header, (FrameHeader{NCSMSG_PILOT, NCSUB_PILOT_CHANGES, 0, 0, 2}));
  EXPECT_EQ(frames[2].body, (Bytes{1, 1}));
  EXPECT_EQ(frames[3].header, (FrameHeader{NCSMSG_PILOT, NCSUB_PILOT_CHANGES, 0, 0, 3}));
  EXPECT_EQ(frames[3].body, (Bytes{3, 0x0B, 0x0A}));
  EXPECT_EQ(frames[4].header, (FrameHeader{NCSMSG_STANDARD, kStandardServerAnswer, 0, 0, 10}));
  EXPECT_EQ(frames[4].body, (Bytes{7, 0, 0, 0, 'O', 'W', 'N', '0', '0', '1'}));
}

TEST_F(NodeWaySendTest, TheFlightPlanGoesOutOnlyWithItsFlightRules) {
  struct Case {
    const char* label;
    bool plan;
    std::uint8_t rules;
    std::size_t sent;
  };
  for (const Case& c : {Case{"no plan", false, 0, 0}, Case{"no flight rules", true, 0, 0},
                        Case{"IFR plan", true, 'I', 1}}) {
    SCOPED_TRACE(c.label);
    FlightPlanRecordBytes plan{};
    for (std::size_t i = 0; i < plan.size(); ++i) plan[i] = static_cast<std::uint8_t>(i % 251 + 1);
    plan[kFlightPlanTypeOffset] = c.rules;
    way_->SetFlightPlan(c.plan ? std::optional(plan) : std::nullopt);
    const std::size_t links = server_->LinksAccepted();
    LogIn();
    // The plan follows the login by itself ...
    SentFor([] {});
    EXPECT_EQ(FramesOfType(NCSMSG_PILOT, NCSUB_FLIGHT_PLAN).size(), c.sent);
    // ... and goes again on request.
    EXPECT_EQ(SentFor([&] { Post(THRDMSG_FLIGHT_PLAN); }).size(), c.sent);
    const std::vector<Frame> plans = FramesOfType(NCSMSG_PILOT, NCSUB_FLIGHT_PLAN);
    if (c.sent != 0) {
      ASSERT_EQ(plans.size(), 2u);
      FlightPlanPacketBytes packet{};
      ASSERT_TRUE(Unpack(plans.back(), packet));
      EXPECT_EQ(packet, WriteFlightPlanPacket("OWN001", plan));
    } else {
      EXPECT_TRUE(plans.empty());
    }
    ASSERT_TRUE(server_->DropLink());
    ASSERT_TRUE(server_->WaitForLinkEnd(kWaitMs));
    ASSERT_TRUE(WaitDid("chat input off")) << "the loss is handled before the next login";
    way_->ClearRecords();
    EXPECT_EQ(server_->LinksAccepted(), links + 1);
  }
}

TEST_F(NodeWaySendTest, LongHaulTextsAndKickOutsGoOutPacked) {
  LogIn();
  SetLongHaulText("FAR9", "50% done %s");
  std::vector<Frame> frames = SentFor([&] {
    Post(THRDMSG_KICKOUT);  // nothing prepared: nothing goes out
    Post(THRDMSG_TEXT_LONGHAUL);
  });
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].header.type, NCSMSG_TEXT_LONGHAUL);
  EXPECT_EQ(frames[0].header.length, frames[0].body.size());
  PrivateTextRecordBytes record{};
  ASSERT_TRUE(Unpack(frames[0], record));
  const PrivateTextRecord text = ReadPrivateTextRecord(record);
  EXPECT_EQ(text.sender, "OWN001");
  EXPECT_EQ(text.recipient, "FAR9");
  EXPECT_EQ(text.text, "50% done %s");

  PrivateTextRecord kick;
  kick.sender = "OWN001";
  kick.recipient = "RUDE1";
  kick.text = "off you go";
  SetKickoutRecord(kick);
  frames = SentFor([&] { Post(THRDMSG_KICKOUT); });
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].header.type, NCSMSG_KICKOUT);
  ASSERT_TRUE(Unpack(frames[0], record));
  EXPECT_EQ(record, WritePrivateTextRecord(kick));
}

TEST_F(NodeWaySendTest, EachChatRequestToTheNodeCarriesItsOwnRecord) {
  LogIn();
  StoreOwnerSlot(g_porvNode, way_.get());
  std::promise<void> release;
  std::promise<void> started;
  // The way's thread is held while the requests are made: each must still
  // go out as it was made, not as the last one left the shared request.
  auto held = std::async(std::launch::async, [&] {
    return way_->RunOnThread([&] {
      started.set_value();
      release.get_future().wait();
      return 0;
    });
  });
  started.get_future().wait();
  std::vector<Frame> frames = SentFor([&] {
    EXPECT_EQ(SendPrivateText("FAR9", "first"), PrivateRoute::kLongHaul) << "no way reaches FAR9";
    EXPECT_EQ(SendPrivateText("FAR10", "second"), PrivateRoute::kLongHaul);
    EXPECT_TRUE(SendKickout("RUDE1", "spamming"));
    EXPECT_TRUE(SendKickout("RUDE2", "flooding"));
    release.set_value();
    EXPECT_EQ(held.get(), 0);
  });
  StoreOwnerSlot(g_porvNode, nullptr);
  ASSERT_EQ(frames.size(), 4u);
  struct Expected {
    std::uint8_t type;
    const char* recipient;
    const char* text;
  };
  const Expected expected[] = {{NCSMSG_TEXT_LONGHAUL, "FAR9", "first"},
                               {NCSMSG_TEXT_LONGHAUL, "FAR10", "second"},
                               {NCSMSG_KICKOUT, "RUDE1", "spamming"},
                               {NCSMSG_KICKOUT, "RUDE2", "flooding"}};
  for (std::size_t i = 0; i < frames.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(frames[i].header.type, expected[i].type);
    PrivateTextRecordBytes record{};
    ASSERT_TRUE(Unpack(frames[i], record));
    const PrivateTextRecord text = ReadPrivateTextRecord(record);
    EXPECT_EQ(text.sender, "OWN001");
    EXPECT_EQ(text.recipient, expected[i].recipient);
    EXPECT_EQ(text.text, expected[i].text);
  }
}

TEST_F(NodeWaySendTest, AKickOutWaitsForTheNodeLinkAndALongHaulTextDoesNot) {
  StoreOwnerSlot(g_porvNode, way_.get());
  ASSERT_FALSE(way_->IsConnected()) << "the way object exists, its link is not up";
  EXPECT_FALSE(SendKickout("RUDE1", "spamming"));
  EXPECT_EQ(SendPrivateText("FAR9", "queued"), PrivateRoute::kLongHaul);
  StoreOwnerSlot(g_porvNode, nullptr);
  EXPECT_EQ(SendPrivateText("FAR9", "nowhere"), PrivateRoute::kNone) << "no node way object";
}

TEST_F(NodeWaySendTest, ARawBlockGoesOutAsItStands) {
  LogIn();
  const Bytes block = {0xA1, 0xB2, 0xC3, 0x17, 0, 1, 2, 0xFF};
  const std::vector<Frame> frames = SentFor([&] {
    for (const std::uint32_t param : {0u, 1u}) {
      ASSERT_EQ(CBaseThread::PostData(nullptr, way_.get(), THRDMSG_RAW_BLOCK, param,
                                      static_cast<std::uint32_t>(block.size()), block.data(), "TEST"),
                1);
    }
  });
  ASSERT_EQ(frames.size(), 1u) << "a non-zero parameter drops the data";
  EXPECT_EQ(frames[0].header, (FrameHeader{kNcsMsgVoiceBlock, 0, 0, 0, 8}));
  EXPECT_EQ(frames[0].body, block);
}

TEST_F(NodeWaySendTest, UnknownRequestsAreRefusedAndNothingIsSent) {
  LogIn();
  struct Case {
    std::uint8_t type;
    std::uint8_t subCode;
    const char* line;
  };
  const Case cases[] = {
      {NCSMSG_PILOT, NCSUB_FLIGHT_STRIP, "app_TK g_porvNode System Error SYSERR_4700 : 105 / 81 "},
      {NCSMSG_STANDARD, kStandardServerMessage, "app_TK g_porvNode System Error SYSERR_4710 : 53 / 56 "},
      {99, 3, "app_TK g_porvNode System Error SYSERR_4800 : 99 / 3 "},
  };
  const std::vector<Frame> frames = SentFor([&] {
    for (const Case& c : cases) {
      EXPECT_LT(way_->RunOnThread([&] { return way_->SendToNode(c.type, c.subCode); }), 0);
    }
  });
  EXPECT_TRUE(frames.empty());
  for (const Case& c : cases) {
    const auto line = way_->Find(c.line);
    EXPECT_EQ(line.text, c.line);
    EXPECT_EQ(line.colour, kColourError);
  }
}

TEST_F(NodeWaySendTest, VerboseTraceNamesEveryFrameSent) {
  SetVerbose(true);
  FlightPlanRecordBytes plan{};
  plan[kFlightPlanTypeOffset] = 'V';
  way_->SetFlightPlan(plan);
  SetLongHaulText("FAR9", "hi");
  SetKickoutRecord(PrivateTextRecord{"OWN001", "RUDE1", "bye", 0});
  LogIn();
  SentFor([&] {
    Post(THRDMSG_NODE_PILOT, NCSUB_SHORTINFOS);
    Post(THRDMSG_NODE_PILOT, NCSUB_PILOT_INCOCKPIT);
    Post(THRDMSG_NODE_PILOT, NCSUB_PILOT_CHANGES, kSimInfoIcaoType);
    Post(THRDMSG_TEXT_LONGHAUL);
    Post(THRDMSG_KICKOUT);
  });
  Post(THRDMSG_LOGOUT);
  ASSERT_TRUE(server_->WaitForLinkEnd(kWaitMs));
  way_->RunOnThread([] { return 0; });
  for (const char* line :
       {"\tapp_TK g_porvNode Tx NCSMSG_LOGIN ( 560 )", "\tapp_TK g_porvNode Tx NCSMSG_PILOT ( NCSUB_FLIGHT_PLAN )",
        "\tapp_TK g_porvNode Tx NCSMSG_PILOT ( NCSUB_SHORTINFOS )",
        "\tapp_TK g_porvNode Tx NCSMSG_PILOT ( NCSUB_PILOT_INCOCKPIT )",
        "\tapp_TK g_porvNode Tx NCSMSG_PILOT ( NCSUB_PILOT_CHANGES )",
        "\tapp_TK g_porvNode Tx NCSMSG_TEXT_LONGHAUL OWN001 -> FAR9", "\tapp_TK g_porvNode Tx NCSMSG_KICKOUT ( 552 )",
        "\tapp_TK g_porvNode Tx NCSMSG_LOGOUT ( 168 )"}) {
    EXPECT_EQ(way_->Find(line).text, line);
  }
}

TEST_F(NodeWaySendTest, ACodecFailureSendsNothingAndSaysSo) {
  LogIn();
  SetLongHaulText("FAR9", "hi");
  FreeLzBuffers();
  const std::vector<Frame> frames = SentFor([&] { Post(THRDMSG_TEXT_LONGHAUL); });
  AllocLzBuffers(4096);
  EXPECT_TRUE(frames.empty());
  const auto line = way_->Find("ZAYAR01 : Error -50");
  EXPECT_EQ(line.text, "ZAYAR01 : Error -50");
  EXPECT_EQ(line.colour, kColour25);
  EXPECT_TRUE(server_->Linked());
}

}  // namespace
