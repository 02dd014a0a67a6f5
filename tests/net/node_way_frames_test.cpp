// Frames the node sends: the login gate, the standard orders, text styles,
// body checks, tests of the link, in-cockpit checks, long-haul texts, voice.
#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/connection_state.h"
#include "core/main_dialog_state.h"
#include "core/ui_messages.h"
#include "base/trusted_addresses.h"
#include "net/frame_codes.h"
#include "node_way_fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class NodeWayFramesTest : public NodeWayTest {
 protected:
  // The link ended and the way has handled its loss.
  void WaitClosed() {
    ASSERT_TRUE(server_->WaitForLinkEnd(kWaitMs));
    ASSERT_TRUE(WaitDid("chat input off"));
  }
  // A new link whose login stays unanswered.
  void ConnectUnanswered() {
    server_->SetAnswerLogins(false);
    const std::size_t frames = server_->FrameCount();
    Connect();
    ASSERT_TRUE(server_->WaitForFrames(frames + 1, kWaitMs));
  }
  bool ProtocolError(const std::string& part) {
    const auto errors = way_->ProtocolErrors();
    return std::any_of(errors.begin(), errors.end(),
                       [&](const std::string& error) { return error.find(part) != std::string::npos; });
  }
};

TEST_F(NodeWayFramesTest, BeforeTheLoginOnlyLowTypesAndLowStandardSubCodesPass) {
  struct Case {
    const char* label;
    std::uint8_t type;
    std::uint8_t subCode;
    Bytes body;
    bool passes;
  };
  const Case cases[] = {
      {"stop reconnecting", NCSMSG_STANDARD, kStandardStopReconnect, {}, true},
      {"own login echoed", NCSMSG_LOGIN, NCSUB_LOGIN, {}, true},
      {"reconnect later", NCSMSG_STANDARD, kStandardReconnectLater, {}, false},
      {"trusted address", NCSMSG_TRUSTED_IP, 0, Bytes(16, 0), false},
      {"logout", NCSMSG_LOGOUT, 0, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    way_->ClearRecords();
    g_connecting.store(true);
    g_hubListCountdown.store(30);
    ConnectUnanswered();
    ASSERT_TRUE(server_->SendFrame(c.type, c.subCode, c.body));
    if (c.passes) {
      ASSERT_TRUE(server_->SendTest(1));
      ASSERT_TRUE(WaitTraced("SYSTEST_0001"));
      EXPECT_TRUE(server_->Linked());
      EXPECT_FALSE(way_->Traced("RxNL"));
      ASSERT_TRUE(server_->DropLink());
    } else {
      const std::string refused = "\t\t app_TK g_porvNode RxNL " + std::to_string(c.type) + " / " +
                                  std::to_string(c.subCode);
      EXPECT_TRUE(WaitTraced(refused));
      EXPECT_EQ(way_->Find(refused).colour, kColour28);
      EXPECT_FALSE(way_->Did("leave quietly"));
    }
    WaitClosed();
    if (c.type == NCSMSG_STANDARD && c.passes) {
      EXPECT_TRUE(way_->Did("leave quietly"));
      EXPECT_FALSE(g_connecting.load());
      EXPECT_EQ(g_hubListCountdown.load(), 0);
    }
  }
}

TEST_F(NodeWayFramesTest, StandardOrdersOnceLoggedIn) {
  SetVerbose(true);
  LogIn();
  ASSERT_TRUE(server_->SendStandard(kStandardReconnectLater));
  ASSERT_TRUE(server_->SendStandard(kStandardShutdown));
  ASSERT_TRUE(server_->SendServerText(kStandardServerNotice, ServerTextRecord{"NODE", "Maintenance at 20z"}));
  ASSERT_TRUE(server_->SendServerText(kStandardBroadcast, ServerTextRecord{"ADMIN", "Fly %s safe %n"}));
  ASSERT_TRUE(server_->SendServerText(kStandardServerMessage, ServerTextRecord{"Rules", "Read them? %d"}));
  Settle();

  EXPECT_TRUE(way_->Did("leave quietly"));
  EXPECT_EQ(g_hubListCountdown.load(), kHubListRetrySeconds);
  EXPECT_TRUE(way_->Did("close main window"));
  EXPECT_EQ(way_->Find("Received Shutdown Command. Leaving...").colour, kColourError);
  const auto notice = way_->Find("Maintenance at 20z");
  EXPECT_EQ(notice.colour, kColourEmphasis);
  EXPECT_EQ(notice.flags, kNodeNewLine | kNodeBold);
  const auto banner = way_->Find("[BROADCAST] ");
  EXPECT_EQ(banner.flags, kNodeNewLine | kNodeBold);
  EXPECT_EQ(way_->Find("ADMIN : ").text, "ADMIN : Fly %s safe %n") << "texts are data, never a format";
  const auto actions = way_->Actions();
  EXPECT_EQ(std::count(actions.begin(), actions.end(), "show chat"), 2);
  EXPECT_EQ(std::count(actions.begin(), actions.end(), "beep"), 2);
  EXPECT_TRUE(way_->Posted(UIMSG_SERVER_MESSAGE));
  EXPECT_EQ(way_->ServerMessage().sender, "Rules");
  EXPECT_EQ(way_->ServerMessage().text, "Read them? %d");

  ASSERT_TRUE(server_->SendStandard(99));
  WaitClosed();
  EXPECT_TRUE(ProtocolError("app_TK g_porvNode System Error SYSERR_4210 : 53 / 99  | HRFN_20"));
}

TEST_F(NodeWayFramesTest, TextStylesFollowTheNode) {
  LogIn();
  ASSERT_TRUE(server_->SendLineBreak());
  ASSERT_TRUE(server_->SendSetAttrib("100% %s %n done"));
  ASSERT_TRUE(server_->SendTextFormat(3, 0x00FF00));
  ASSERT_TRUE(server_->SendTextDelimiters(kTextStyleRemoveDelimiters, '<', '>'));
  ASSERT_TRUE(server_->SendTextDelimiters(kTextStyleRemoveBetween, '[', ']'));
  Settle();
  const auto lines = way_->Lines();
  const auto at = std::find_if(lines.begin(), lines.end(), [](const auto& l) { return l.text == "100% %s %n done"; });
  ASSERT_NE(at, lines.end());
  EXPECT_EQ(at->colour, kNodeKeepFormat);
  ASSERT_NE(at, lines.begin());
  EXPECT_EQ((at - 1)->text, "");
  EXPECT_EQ((at - 1)->flags, kNodeNewLine);
  EXPECT_TRUE(way_->Did("format 3 65280"));
  EXPECT_TRUE(way_->Did("remove delimiters <>"));
  EXPECT_TRUE(way_->Did("remove between []"));

  // Trace flags keep every text; the format still follows.
  way_->ClearRecords();
  SetVerbose(true);
  ASSERT_TRUE(server_->SendTextDelimiters(kTextStyleRemoveDelimiters, '<', '>'));
  ASSERT_TRUE(server_->SendTextDelimiters(kTextStyleRemoveBetween, '[', ']'));
  ASSERT_TRUE(server_->SendTextFormat(1, 7));
  Settle();
  EXPECT_EQ(way_->Actions(), std::vector<std::string>{"format 1 7"});

  ASSERT_TRUE(server_->SendFrame(kNcsMsgTextAttributes, 9));
  WaitClosed();
  EXPECT_TRUE(ProtocolError("SYSERR_4230 : 10 / 9  | HRFN_40"));
}

TEST_F(NodeWayFramesTest, ASetAttributeTextOfTheLimitClosesTheLink) {
  for (const std::size_t length : {std::size_t{20'479}, std::size_t{20'480}}) {
    SCOPED_TRACE(length);
    way_->ClearRecords();
    LogIn();
    Bytes body = {static_cast<std::uint8_t>(length & 0xFF), static_cast<std::uint8_t>(length >> 8)};
    body.resize(2 + length, 'x');
    ASSERT_TRUE(server_->SendFrame(kNcsMsgTextAttributes, kTextStyleSetAttrib, body));
    if (length < 20'480) {
      Settle();
      EXPECT_TRUE(way_->Traced(std::string(length, 'x')));
      ASSERT_TRUE(server_->DropLink());
    } else {
      EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return ProtocolError("NCSUB_SETATTRIB / Len 20480  | HRFN_30"); }));
    }
    WaitClosed();
  }
}

TEST_F(NodeWayFramesTest, AShortBodyClosesTheLink) {
  struct Case {
    const char* label;
    std::uint8_t type;
    std::uint8_t subCode;
    Bytes body;
  };
  Bytes cutSetAttrib = {10, 0};
  cutSetAttrib.resize(7, 'a');
  const Case cases[] = {
      {"acknowledgement", NCSMSG_LOGIN, NCSUB_LOGIN_ACK, Bytes(535, 0)},
      {"set-attribute text", kNcsMsgTextAttributes, kTextStyleSetAttrib, cutSetAttrib},
      {"text format", kNcsMsgTextAttributes, kTextStyleFormat, Bytes(7, 0)},
      {"neighbour", kNcsMsgConnectNeighbour, 0, Bytes(31, 0)},
      {"tunnel request", NCSMSG_REQ_TUNNCONNECTME, 0, Bytes(47, 0)},
      {"trusted address", NCSMSG_TRUSTED_IP, 0, Bytes(15, 0)},
      {"in-cockpit", NCSMSG_CHECK_INCOCKPIT, 0, Bytes(1, 0)},
      // 552 bytes announced, 40 packed bytes announced, 2 present.
      {"long-haul text", NCSMSG_TEXT_LONGHAUL, 0, Bytes{0x28, 2, 0, 0, 40, 0, 0, 0, 1, 2}},
      {"server notice", NCSMSG_STANDARD, kStandardServerNotice, Bytes(4, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    way_->ClearRecords();
    LogIn();
    ASSERT_TRUE(server_->SendFrame(c.type, c.subCode, c.body));
    WaitClosed();
    const std::string error = "app_TK g_porvNode System Error SYSERR_4280 : " + std::to_string(c.type) + " / " +
                              std::to_string(c.subCode) + " ( length " + std::to_string(c.body.size()) +
                              " ) | HRFN_LEN";
    EXPECT_TRUE(ProtocolError(error)) << error;
    EXPECT_FALSE(way_->LoginAccepted());
  }
}

TEST_F(NodeWayFramesTest, SurplusBytesAreSkippedAndTheNextFrameIsRead) {
  LogIn();
  in_addr address{};
  inet_pton(AF_INET, "203.0.113.7", &address);
  Bytes trusted(20, 0xEE);
  trusted[8] = static_cast<std::uint8_t>(address.s_addr & 0xFF);
  trusted[9] = static_cast<std::uint8_t>((address.s_addr >> 8) & 0xFF);
  trusted[10] = static_cast<std::uint8_t>((address.s_addr >> 16) & 0xFF);
  trusted[11] = static_cast<std::uint8_t>(address.s_addr >> 24);
  ASSERT_TRUE(server_->SendFrame(NCSMSG_TRUSTED_IP, 0, trusted));
  ASSERT_TRUE(server_->SendFrame(NCSMSG_CHECK_INCOCKPIT, 0, Bytes{30, 0, 0xFF, 0xFF}));
  Settle();
  EXPECT_EQ(IsTrustedAddress(address.s_addr, 0), 1);
  EXPECT_EQ(way_->InCockpitSeconds(), 30u);
  EXPECT_TRUE(way_->ProtocolErrors().empty());

  ASSERT_TRUE(server_->SendTrustedIp(address.s_addr, true));
  Settle();
  EXPECT_EQ(IsTrustedAddress(address.s_addr, 0), 0) << "a non-zero sub-code removes it";
}

TEST_F(NodeWayFramesTest, TestFramesAndIgnoredTypesLeaveTheLinkUp) {
  LogIn();
  ASSERT_TRUE(server_->SendTest(1));
  ASSERT_TRUE(server_->SendTest(2));
  ASSERT_TRUE(server_->SendFrame(NCSMSG_LOGOUT, 0, Bytes(168, 0)));
  ASSERT_TRUE(server_->SendFrame(NCSMSG_ATC, 7, Bytes(12, 0)));
  ASSERT_TRUE(server_->SendFrame(NCSMSG_BLOCK, 1, Bytes(30, 0)));
  Settle();
  EXPECT_EQ(way_->Find("\t app_TK g_porvNode System Test SYSTEST_0001 ").colour, kColour25);
  EXPECT_EQ(way_->Find("app_TK g_porvNode System Error SYSERR_4290 : 0 / 2 ").colour, kColourError);
  EXPECT_TRUE(way_->ProtocolErrors().empty());
  EXPECT_TRUE(way_->Voices().empty());
}

TEST_F(NodeWayFramesTest, AnUnknownTypeIsTracedAndClosesTheLink) {
  LogIn();
  ASSERT_TRUE(server_->SendFrame(99, 4, Bytes(3, 1)));
  WaitClosed();
  EXPECT_TRUE(way_->Traced("\t\t \tapp_TK g_porvNode Rx NCSMSG_NXXX = 99 / 4"));
  EXPECT_TRUE(ProtocolError("app_TK g_porvNode System Error SYSERR_4900 : 99 / 4  | HRFN_200"));
}

TEST_F(NodeWayFramesTest, VerboseTraceNamesEveryFrameReceived) {
  LogIn();
  SetVerbose(true);
  ASSERT_TRUE(server_->SendTest(1));
  ASSERT_TRUE(server_->SendStandard(kStandardStopReconnect));
  ASSERT_TRUE(server_->SendTrustedIp(0x0100007F, false));
  ASSERT_TRUE(server_->SendInCockpit(0));
  ASSERT_TRUE(server_->SendLongHaulText(PrivateTextRecord{"A", "B", "C", 0}));
  ASSERT_TRUE(server_->SendFrame(NCSMSG_BLOCK, 1));
  ASSERT_TRUE(server_->SendFrame(NCSMSG_ATC, 3));
  ASSERT_TRUE(server_->SendFrame(NCSMSG_LOGOUT, 0));
  ASSERT_TRUE(server_->SendLineBreak());
  Settle();
  for (const char* line :
       {"\tapp_TK g_porvNode Rx NCSMSG_TEST ( 1 )", "\tapp_TK g_porvNode Rx NCSMSG_STANDARD ( 0 )",
        "\tapp_TK g_porvNode Rx NCSMSG_TRUSTED_IP ( 0 )", "\tapp_TK g_porvNode Rx NCSMSG_CHECK_INCOCKPIT",
        "\tapp_TK g_porvNode Rx NCSMSG_TEXT_LONGHAUL", "\tapp_TK g_porvNode Rx NCSMSG_BLOCK",
        "\tapp_TK g_porvNode Rx NCSMSG_ATC ( 3 )", "\tapp_TK g_porvNode Rx NCSMSG_LOGOUT ( 0 )"}) {
    EXPECT_EQ(way_->Find(line).text, line);
  }
  EXPECT_FALSE(way_->Traced(" Rx NCSMSG_XXX")) << "types 10 and 52 go untraced";
}

TEST_F(NodeWayFramesTest, AnOpenPortTestIsAnsweredWithTheLastHeaderSent) {
  LogIn();
  const std::size_t before = server_->FrameCount();
  Post(THRDMSG_HEARTBEAT);
  ASSERT_TRUE(server_->WaitForFrames(before + 1, kWaitMs));
  ASSERT_TRUE(server_->SendOpenPortTest());
  const std::vector<Frame> frames = FramesAfter(before + 1, 1);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].header, (FrameHeader{kNcsMsgHeaderOnly, 0, 0, 0, 128}));
  Bytes counting(128);
  for (std::size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<std::uint8_t>(i);
  EXPECT_EQ(frames[0].body, counting);
  EXPECT_EQ(way_->RunOnThread([&] { return way_->StopCountdown(); }), 1) << "the link ends a second later";
  const std::vector<DWORD> pauses = RecordedPauses();
  EXPECT_NE(std::find(pauses.begin(), pauses.end(), kOpenPortTestPauseMs), pauses.end());
}

TEST_F(NodeWayFramesTest, AnOpenPortTestOfAnotherSubCodeClosesTheLink) {
  LogIn();
  ASSERT_TRUE(server_->SendOpenPortTest(0));
  WaitClosed();
  const std::string reason = way_->RunOnThread([&] { return std::string(way_->LostReason()); });
  EXPECT_NE(reason.find("HRFN_OPT0"), std::string::npos) << reason;
  const std::vector<DWORD> pauses = RecordedPauses();
  const auto at = std::find(pauses.begin(), pauses.end(), kOpenPortTestPauseMs);
  ASSERT_NE(at, pauses.end());
  ASSERT_NE(at + 1, pauses.end());
  EXPECT_EQ(*(at + 1), kNodeShortPauseMs);
}

TEST_F(NodeWayFramesTest, TheInCockpitCheckShowsItsCountdown) {
  struct Case {
    std::uint16_t seconds;
    bool overridden;
    bool shown;
  };
  LogIn();
  for (const Case& c : {Case{125, false, true}, Case{0, false, false}, Case{60, true, false}}) {
    SCOPED_TRACE(c.seconds);
    way_->ClearRecords();
    g_inCockpitOverride.store(c.overridden);
    ASSERT_TRUE(server_->SendInCockpit(c.seconds));
    Settle();
    EXPECT_EQ(way_->InCockpitSeconds(), c.seconds);
    EXPECT_TRUE(way_->Did("countdown " + std::to_string(c.seconds)));
    EXPECT_EQ(way_->Did("show main window"), c.shown);
  }
}

TEST_F(NodeWayFramesTest, LongHaulTextsAreShownAndAWrongRecordIsSkipped) {
  LogIn();
  ASSERT_TRUE(server_->SendLongHaulText(PrivateTextRecord{"FAR9", "OWN001", "hello %s %n", 0}));
  // An on-air record where a private one belongs: traced, skipped, the link stays.
  ASSERT_TRUE(server_->SendCompressed(NCSMSG_TEXT_LONGHAUL, 0, WriteTextOnAirRecord(TextOnAirRecord{"X", "y", 1.0})));
  Settle();
  const auto texts = way_->LongHaulTexts();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].sender, "FAR9");
  EXPECT_EQ(texts[0].recipient, "OWN001");
  EXPECT_EQ(texts[0].text, "hello %s %n");
  EXPECT_TRUE(way_->Traced("app_TK g_porvNode System Error SYSERR_11030 : 552 / 544 "));
  EXPECT_TRUE(way_->ProtocolErrors().empty());
}

TEST_F(NodeWayFramesTest, VoiceBlocksReachTheVoiceAndOthersAreDropped) {
  LogIn();
  const Bytes voice = {9, 8, 7, 6, 5};
  ASSERT_TRUE(server_->SendVoiceBlock(voice));
  Bytes unmarked = WriteVoiceBlock(voice);
  unmarked[20] = 0x12;
  ASSERT_TRUE(server_->SendFrame(NCSMSG_BLOCK, 0, unmarked));
  ASSERT_TRUE(server_->SendFrame(NCSMSG_BLOCK, 0, Bytes(20, 0x11)));
  Bytes overstated = WriteVoiceBlock(voice);
  overstated[16] = 0xFF;  // announces far more than the block holds
  ASSERT_TRUE(server_->SendFrame(NCSMSG_BLOCK, 0, overstated));
  Settle();
  const auto voices = way_->Voices();
  ASSERT_EQ(voices.size(), 2u);
  EXPECT_EQ(voices[0], voice);
  EXPECT_EQ(voices[1], voice) << "never past the block";
  EXPECT_TRUE(way_->ProtocolErrors().empty());
}

}  // namespace
