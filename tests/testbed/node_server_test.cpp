#include "testbed/node_server.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/klib_settings.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/node_records.h"
#include "support/recorded_lines.h"
#include "support/frame_bytes.h"
#include "support/klib_fixture.h"
#include "testbed/loopback_peer.h"

namespace {

constexpr int kWaitMs = 5000;


LoginRecord TestLogin() {
  LoginRecord login;
  login.identity.versionMajor = 11;
  login.identity.versionBuild = 4;
  login.identity.listenPort = 55009;
  login.identity.login = "jdoe";
  login.identity.passwordOrServer = "pw";
  login.identity.callsign = "F-TEST";
  return login;
}

// A client linked to the stand-in and logged in (the ack read off the wire).
struct LinkedClient {
  LoopbackClient client;
  bool Link(NodeServer& server) {
    if (!client.Connect(server.Port())) return false;
    const std::string login = AsString(BuildLoginFrame(TestLogin()));
    if (!client.Send(login)) return false;
    const std::string ack = client.Receive(12 + kLoginAckRecordSize, kWaitMs);
    return ack.size() == 12 + kLoginAckRecordSize;
  }
};

TEST(NodeServer, AnswersTheLoginWithTheScriptedAck) {
  NodeServer server;
  ASSERT_TRUE(server.Ok());
  server.SetServerVersion(11, 0, 3, 'Z');
  server.SetRatings(0x0000020B);

  LoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port()));
  const Bytes login = BuildLoginFrame(TestLogin());
  // In two pieces, the cut inside the header: the stand-in hunts across receives.
  ASSERT_TRUE(client.Send(AsString(Bytes(login.begin(), login.begin() + 7))));
  ASSERT_TRUE(client.Send(AsString(Bytes(login.begin() + 7, login.end()))));

  const Bytes reply = AsBytes(client.Receive(12 + kLoginAckRecordSize, kWaitMs));
  ASSERT_EQ(reply.size(), 12 + kLoginAckRecordSize);
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 12),
            Header(NCSMSG_LOGIN, NCSUB_LOGIN_ACK, 0, kLoginAckRecordSize));
  LoginAckRecord ack;
  ASSERT_EQ(ReadLoginAckRecord(std::span(reply).subspan(12), ack), kNodeRecordOk);
  EXPECT_EQ(ack.identity.versionMajor, 11);
  EXPECT_EQ(ack.identity.versionBuild, 3);
  EXPECT_EQ(ack.identity.versionLetter, 'Z');
  EXPECT_FALSE(IsServerVersionAccepted(ack.identity));
  EXPECT_EQ(ack.identity.ratingBits, 0x20Bu);
  EXPECT_EQ(FormatDottedIPv4(ack.identity.publicAddress), "127.0.0.1");
  EXPECT_FALSE(ack.serverName.empty());

  ASSERT_TRUE(server.WaitForFrames(1, kWaitMs));
  const std::vector<Frame> frames = server.Frames();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].header.type, NCSMSG_LOGIN);
  EXPECT_EQ(frames[0].header.length, kLoginRecordSize);
  EXPECT_EQ(frames[0].body, Bytes(login.begin() + 12, login.end()));
  EXPECT_EQ(server.LoginsAnswered(), 1u);
}

TEST(NodeServer, AnswersByDefaultAsAServerTheClientAccepts) {
  NodeServer server;
  ASSERT_TRUE(server.Ok());
  LoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port()));
  ASSERT_TRUE(client.Send(AsString(BuildLoginFrame(TestLogin()))));
  const Bytes reply = AsBytes(client.Receive(12 + kLoginAckRecordSize, kWaitMs));
  ASSERT_EQ(reply.size(), 12 + kLoginAckRecordSize);
  LoginAckRecord ack;
  ASSERT_EQ(ReadLoginAckRecord(std::span(reply).subspan(12), ack), kNodeRecordOk);
  EXPECT_EQ(ack.identity.versionMajor, 11);
  EXPECT_EQ(ack.identity.versionMinor, 0);
  EXPECT_EQ(ack.identity.versionBuild, 4);
  EXPECT_EQ(ack.identity.versionLetter, 'A');
  EXPECT_TRUE(IsServerVersionAccepted(ack.identity));
}

TEST(NodeServer, LeavesOtherLoginsUnanswered) {
  NodeServer server;
  ASSERT_TRUE(server.Ok());
  LoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port()));
  // A login body of the wrong size, then a heartbeat-shaped frame.
  ASSERT_TRUE(client.Send(AsString(Concat(Header(NCSMSG_LOGIN, 0, 0, 100), Bytes(100, 0)))));
  ASSERT_TRUE(client.Send(AsString(Header(kNcsMsgHeaderOnly, 0, 0, 0))));
  ASSERT_TRUE(server.WaitForFrames(2, kWaitMs));
  EXPECT_EQ(server.Frames()[1].header.type, kNcsMsgHeaderOnly);

  server.SetAnswerLogins(false);
  ASSERT_TRUE(client.Send(AsString(BuildLoginFrame(TestLogin()))));
  ASSERT_TRUE(server.WaitForFrames(3, kWaitMs));
  EXPECT_EQ(server.LoginsAnswered(), 0u);
  EXPECT_TRUE(client.Receive(1, 200).empty());
}

TEST(NodeServer, OrdersArriveByteForByte) {
  NodeServer server;
  ASSERT_TRUE(server.Ok());
  LinkedClient linked;
  ASSERT_TRUE(linked.Link(server));

  NeighbourLinkRecord link;
  link.address = 0x0100007F;
  link.port = 6001;
  link.flags = kNeighbourTunnelled;
  link.peerKind = 'A';
  link.callsign = "LFPG_TWR";
  TunnelRequestRecord tunnel;
  tunnel.address = 0x0100007F;
  tunnel.port = 6002;
  tunnel.peerCallsign = "D-EFGH";
  tunnel.requesterName = "peer";
  const Bytes voice = {9, 8, 7};

  struct Case {
    const char* name;
    std::function<bool()> send;
    Bytes expected;
  };
  const Case cases[] = {
      {"heartbeat", [&] { return server.SendHeartbeat(); }, Header(52, 0, 0, 0)},
      {"test", [&] { return server.SendTest(1); }, Header(0, 1, 0, 0)},
      {"open port test", [&] { return server.SendOpenPortTest(); }, Header(2, 1, 0, 0)},
      {"line break", [&] { return server.SendLineBreak(); }, Header(10, 0, 0, 0)},
      {"set attrib", [&] { return server.SendSetAttrib("50%"); },
       Concat(Header(10, 1, 0, 5), {3, 0, '5', '0', '%'})},
      {"text format", [&] { return server.SendTextFormat(1, 0x0000FF); },
       Concat(Header(10, 2, 0, 8), {1, 0, 0, 0, 0xFF, 0, 0, 0})},
      {"remove between", [&] { return server.SendTextDelimiters(kTextStyleRemoveBetween, '{', '}'); },
       Concat(Header(10, 4, 0, 8), {'{', 0, 0, 0, '}', 0, 0, 0})},
      {"stop reconnect", [&] { return server.SendStandard(kStandardStopReconnect); },
       Header(53, 0, 0, 0)},
      {"shutdown", [&] { return server.SendStandard(kStandardShutdown); }, Header(53, 53, 0, 0)},
      {"neighbour", [&] { return server.SendNeighbourLink(link); },
       Concat(Header(55, 0, 0, 32),
              Concat({0, 0, 0, 0, 0, 0, 0, 0, 127, 0, 0, 1, 0x71, 0x17, 1, 'A'},
                     Concat(AsBytes("LFPG_TWR"), Bytes(8, 0))))},
      {"tunnel", [&] { return server.SendTunnelRequest(tunnel); },
       Concat(Header(57, 0, 0, 48),
              Concat({0, 0, 0, 0, 0, 0, 0, 0, 127, 0, 0, 1, 0x72, 0x17, 0, 'P'},
                     Concat(Concat(AsBytes("D-EFGH"), Bytes(10, 0)),
                            Concat(AsBytes("peer"), Bytes(12, 0)))))},
      {"trust", [&] { return server.SendTrustedIp(0x0100007F, false); },
       Concat(Header(59, 0, 0, 16), {0, 0, 0, 0, 0, 0, 0, 0, 127, 0, 0, 1, 0, 0, 0, 0})},
      {"distrust", [&] { return server.SendTrustedIp(0x0100007F, true); },
       Concat(Header(59, 1, 0, 16), {0, 0, 0, 0, 0, 0, 0, 0, 127, 0, 0, 1, 0, 0, 0, 0})},
      {"in cockpit", [&] { return server.SendInCockpit(300); },
       Concat(Header(70, 0, 0, 2), {0x2C, 0x01})},
      {"voice block", [&] { return server.SendVoiceBlock(voice); },
       Concat(Header(109, 0, 0, 24),
              Concat(Bytes(16, 0), {4, 0, 0, 0, 0x11, 9, 8, 7}))},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.send()) << c.name;
    const Bytes got = AsBytes(linked.client.Receive(c.expected.size(), kWaitMs));
    EXPECT_EQ(got, c.expected) << c.name;
  }
  EXPECT_TRUE(linked.client.Receive(1, 100).empty());
}

// The codec's shared buffers come with the started library.
class NodeServerCompressed : public KlibFixture {};

TEST_F(NodeServerCompressed, OrdersUnpackToTheirRecords) {
  NodeServer server;
  ASSERT_TRUE(server.Ok());
  LinkedClient linked;
  ASSERT_TRUE(linked.Link(server));

  struct Case {
    const char* name;
    std::uint8_t type;
    std::uint8_t sub;
    std::function<bool()> send;
    Bytes record;
  };
  const ServerTextRecord notice{"Supervisor", "Server restarts in 5 minutes"};
  const PrivateTextRecord text{"F-FROM", "F-TEST", "long way round"};
  const ServerTextRecordBytes noticeBytes = WriteServerTextRecord(notice);
  const PrivateTextRecordBytes textBytes = WritePrivateTextRecord(text);
  const Case cases[] = {
      {"broadcast", NCSMSG_STANDARD, kStandardBroadcast,
       [&] { return server.SendServerText(kStandardBroadcast, notice); },
       Bytes(noticeBytes.begin(), noticeBytes.end())},
      {"server message", NCSMSG_STANDARD, kStandardServerMessage,
       [&] { return server.SendServerText(kStandardServerMessage, notice); },
       Bytes(noticeBytes.begin(), noticeBytes.end())},
      {"long-haul", NCSMSG_TEXT_LONGHAUL, 0, [&] { return server.SendLongHaulText(text); },
       Bytes(textBytes.begin(), textBytes.end())},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.send()) << c.name;
    const Bytes head = AsBytes(linked.client.Receive(12, kWaitMs));
    ASSERT_EQ(head.size(), 12u) << c.name;
    EXPECT_EQ(Bytes(head.begin(), head.begin() + 8),
              Bytes({0xA1, 0xB2, 0xC3, 0x17, c.type, c.sub, 0, kFrameFlagCompressed}))
        << c.name;
    const std::uint32_t length = head[8] | (head[9] << 8) | (head[10] << 16) | (head[11] << 24);
    ASSERT_LT(length, 4096u) << c.name;
    const Bytes body = AsBytes(linked.client.Receive(length, kWaitMs));
    ASSERT_EQ(body.size(), length) << c.name;
    Bytes record(c.record.size());
    ASSERT_EQ(UnpackCompressedRecord(body, record), kRecordOk) << c.name;
    EXPECT_EQ(record, c.record) << c.name;
  }
}

TEST_F(NodeServerCompressed, AnswersALoginPackedAsACompressedRecord) {
  NodeServer server;
  ASSERT_TRUE(server.Ok());
  LoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port()));
  const LoginRecordBytes record = WriteLoginRecord(TestLogin());
  Bytes frame;
  ASSERT_EQ(BuildCompressedFrame(FRAME_SYNC_NETWORK, FrameHeader{NCSMSG_LOGIN, NCSUB_LOGIN, 0, 0, 0},
                                 record, frame),
            0);
  ASSERT_TRUE(client.Send(AsString(frame)));
  const Bytes reply = AsBytes(client.Receive(12 + kLoginAckRecordSize, kWaitMs));
  ASSERT_EQ(reply.size(), 12 + kLoginAckRecordSize);
  EXPECT_EQ(reply[5], NCSUB_LOGIN_ACK);
  ASSERT_TRUE(server.WaitForFrames(1, kWaitMs));
  EXPECT_TRUE(server.Frames()[0].header.Compressed());
}

TEST(NodeServer, DropLinkEndsTheLinkAndTakesTheNext) {
  NodeServer server;
  ASSERT_TRUE(server.Ok());
  EXPECT_FALSE(server.DropLink());
  EXPECT_FALSE(server.SendHeartbeat());

  LinkedClient first;
  ASSERT_TRUE(first.Link(server));
  ASSERT_TRUE(server.DropLink());
  EXPECT_TRUE(first.client.Receive(1, kWaitMs).empty());
  EXPECT_TRUE(first.client.PeerClosed());
  ASSERT_TRUE(server.WaitForLinkEnd(kWaitMs));

  LinkedClient second;
  ASSERT_TRUE(second.Link(server));
  EXPECT_EQ(server.LinksAccepted(), 2u);
  EXPECT_EQ(server.LoginsAnswered(), 2u);
  ASSERT_TRUE(server.SendHeartbeat());
  EXPECT_EQ(AsBytes(second.client.Receive(12, kWaitMs)), Header(52, 0, 0, 0));
}

TEST(NodeServer, SendsHeartbeatsPeriodicallyUntilTurnedOff) {
  NodeServer server;
  ASSERT_TRUE(server.Ok());
  LinkedClient linked;
  ASSERT_TRUE(linked.Link(server));
  EXPECT_TRUE(linked.client.Receive(1, 100).empty());  // off by default

  server.SetHeartbeatInterval(20);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(AsBytes(linked.client.Receive(12, kWaitMs)), Header(52, 0, 0, 0)) << i;

  // Once turned off, nothing follows a marker but silence.
  server.SetHeartbeatInterval(0);
  ASSERT_TRUE(server.SendTest(1));
  for (;;) {
    const Bytes got = AsBytes(linked.client.Receive(12, kWaitMs));
    ASSERT_EQ(got.size(), 12u);
    if (got == Header(0, 1, 0, 0)) break;
    ASSERT_EQ(got, Header(52, 0, 0, 0));
  }
  EXPECT_TRUE(linked.client.Receive(1, 200).empty());
  EXPECT_GE(server.HeartbeatsSent(), 3u);
}

TEST(NodeServer, LogsOneLinePerEvent) {
  NodeServer server;
  ASSERT_TRUE(server.Ok());
  RecordedLines log;
  server.SetEventLog(log.Sink());
  LinkedClient linked;
  ASSERT_TRUE(linked.Link(server));
  ASSERT_TRUE(linked.client.Send(AsString(Header(kNcsMsgHeaderOnly, 0, 0, 0))));
  ASSERT_TRUE(server.WaitForFrames(2, kWaitMs));
  ASSERT_TRUE(server.DropLink());
  ASSERT_TRUE(server.WaitForLinkEnd(kWaitMs));

  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].rfind("linked from 127.0.0.1:", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1], "login of F-TEST (user jdoe, client 11.0.4.B) answered as server 11.0.4.A");
  EXPECT_EQ(lines[2], "received type 52 sub-code 0 (0 bytes)");
  EXPECT_EQ(lines[3], "link ended: dropped");
  EXPECT_EQ(lines[4], "F-TEST left");
}

TEST(NodeServer, OversizedHeaderEndsTheLink) {
  NodeServer server;
  ASSERT_TRUE(server.Ok());
  LoopbackClient client;
  ASSERT_TRUE(client.Connect(server.Port()));
  ASSERT_TRUE(client.Send(AsString(Header(kNcsMsgVoiceBlock, 0, 0, 0x7FFFFFFF))));
  EXPECT_TRUE(client.Receive(1, kWaitMs).empty());
  EXPECT_TRUE(client.PeerClosed());
  EXPECT_EQ(server.ProtocolErrors(), 1u);
  EXPECT_EQ(server.FrameCount(), 0u);
}

}  // namespace
