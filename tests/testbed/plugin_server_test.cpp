#include "testbed/plugin_server.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "support/recorded_lines.h"
#include "support/frame_bytes.h"
#include "support/free_port.h"
#include "testbed/loopback_peer.h"
#include "testbed/plugin_codes.h"
#include "testbed/plugin_records.h"

using namespace plugin_link;

namespace {

constexpr int kWaitMs = 5000;


Bytes Record(std::uint8_t code, const Bytes& body) {
  return Concat(Header(kXtkRecordType, code, 0, static_cast<std::uint32_t>(body.size())), body);
}

// The handshake body as the client reads it, built here byte by byte.
Bytes DllInfosBody(std::uint16_t code, std::int32_t error, std::uint32_t window, std::uint16_t ai) {
  Bytes body(kDllInfosSize, 0);
  const auto u32 = static_cast<std::uint32_t>(error);
  body[0] = static_cast<std::uint8_t>(code);
  body[1] = static_cast<std::uint8_t>(code >> 8);
  for (int i = 0; i < 4; ++i) {
    body[8 + i] = static_cast<std::uint8_t>(u32 >> (8 * i));
    body[12 + i] = static_cast<std::uint8_t>(window >> (8 * i));
  }
  body[18] = static_cast<std::uint8_t>(ai);
  body[19] = static_cast<std::uint8_t>(ai >> 8);
  return body;
}

Bytes Filled(std::size_t size, std::uint8_t first) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(first + i);
  return b;
}

// A client linked to the stand-in, its greeting (if any) read off the wire.
struct LinkedClient {
  LoopbackClient client;
  Bytes greeting;
  bool Link(PluginServer& server, bool greeted = true) {
    const std::size_t before = server.LinksAccepted();
    if (!client.Connect(server.Port()) || !server.WaitForLink(before + 1, kWaitMs)) return false;
    if (!greeted) return true;
    greeting = AsBytes(client.Receive(12 + kDllInfosSize, kWaitMs));
    return greeting.size() == 12 + kDllInfosSize;
  }
};

TEST(PluginServer, GreetsALinkWithTheHandshakeRecord) {
  PluginServer server;
  ASSERT_TRUE(server.Ok());
  LinkedClient linked;
  ASSERT_TRUE(linked.Link(server));
  EXPECT_EQ(linked.greeting, Record(XTK_MSG_DLL_INFOS, DllInfosBody(10000, 0, 0, 20)));
  EXPECT_EQ(server.GreetingsSent(), 1u);
  EXPECT_TRUE(linked.client.Receive(1, 100).empty());
}

TEST(PluginServer, GreetingFollowsItsSettings) {
  struct Case {
    const char* name;
    bool greet;
    DllInfos infos;
    Bytes expected;  // empty: no greeting
  };
  const Case cases[] = {
      {"X-Plane 9, error, window, few AI", true, DllInfos{9500, -3, 0x12345678, 7},
       Record(XTK_MSG_DLL_INFOS, DllInfosBody(9500, -3, 0x12345678, 7))},
      {"X-Plane 10.250", true, DllInfos{10250, 0, 0, 8}, Record(XTK_MSG_DLL_INFOS, DllInfosBody(10250, 0, 0, 8))},
      {"off", false, DllInfos{}, {}},
  };
  for (const Case& c : cases) {
    PluginServer server;
    ASSERT_TRUE(server.Ok()) << c.name;
    server.SetGreeting(c.greet);
    server.SetGreetingInfos(c.infos);
    LinkedClient linked;
    ASSERT_TRUE(linked.Link(server, false)) << c.name;
    if (c.expected.empty()) {
      EXPECT_TRUE(linked.client.Receive(1, 200).empty()) << c.name;
    } else {
      EXPECT_EQ(AsBytes(linked.client.Receive(c.expected.size(), kWaitMs)), c.expected) << c.name;
    }
    EXPECT_EQ(server.GreetingsSent(), c.expected.empty() ? 0u : 1u) << c.name;
  }
}

TEST(PluginServer, RecordsTheClientsFramesInOrder) {
  PluginServer server;
  ASSERT_TRUE(server.Ok());
  LinkedClient linked;
  ASSERT_TRUE(linked.Link(server));

  const Bytes hello = Record(XTK_CMD_HELLO, {0x01, 0x04, 0x00, 0x0B});
  const Bytes tick = Record(XTK_CMD_TICK, {1, 0});
  const Bytes ack = Record(XTK_CMD_DLL_INFOS_ACK, {});
  const Bytes trace = Concat(Header(kTraceRecordType, 1, 0, 4), {2, 0, 'h', 'i'});
  const Bytes all = Concat(Concat(Concat(hello, tick), Concat(trace, ack)), tick);
  // Cut inside a header and inside a body: the stand-in hunts across receives.
  for (const auto& [from, to] : {std::pair{0, 7}, std::pair{7, 15}, std::pair{15, static_cast<int>(all.size())}}) {
    ASSERT_TRUE(linked.client.Send(AsString(Bytes(all.begin() + from, all.begin() + to))));
  }
  ASSERT_TRUE(server.WaitForFrames(5, kWaitMs));

  const std::vector<PluginServer::Record> records = server.Records();
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].code, XTK_CMD_HELLO);
  EXPECT_EQ(records[0].body, Bytes({0x01, 0x04, 0x00, 0x0B}));
  EXPECT_EQ(records[1].code, XTK_CMD_TICK);
  EXPECT_EQ(records[1].body, Bytes({1, 0}));
  EXPECT_EQ(records[2].code, XTK_CMD_DLL_INFOS_ACK);
  EXPECT_TRUE(records[2].body.empty());
  EXPECT_EQ(records[3].code, XTK_CMD_TICK);

  const std::vector<Frame> frames = server.Frames();
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[2].header.type, kTraceRecordType);
  EXPECT_EQ(frames[2].body, Bytes({2, 0, 'h', 'i'}));
  EXPECT_EQ(frames[0].sync, FRAME_SYNC_NETWORK);

  EXPECT_EQ(server.RecordCount(XTK_CMD_TICK), 2u);
  EXPECT_EQ(server.RecordCount(XTK_CMD_HELLO), 1u);
  EXPECT_EQ(server.RecordCount(XTK_CMD_STEP), 0u);
  EXPECT_TRUE(server.WaitForRecord(XTK_CMD_DLL_INFOS_ACK, 1, kWaitMs));
  EXPECT_FALSE(server.WaitForRecord(XTK_CMD_TICK, 3, 50));
  EXPECT_EQ(server.ProtocolErrors(), 0u);
}

TEST(PluginServer, SendsRecordsAndDataSetsByteForByte) {
  PluginServer server;
  ASSERT_TRUE(server.Ok());
  LinkedClient linked;
  ASSERT_TRUE(linked.Link(server));

  struct Case {
    const char* name;
    std::function<bool()> send;
    Bytes expected;
  };
  const Bytes set1 = Filled(kDataSet1Size, 1);
  const Bytes set2 = Filled(kDataSet2Size, 2);
  const Bytes set3 = Filled(kDataSet3Size, 3);
  const Bytes set4 = Filled(kDataSet4Size, 4);
  const Bytes shortSet = {9, 9};
  const Bytes garbage = {0xA1, 0xB2, 0x00, 0xFF};
  const Case cases[] = {
      {"dll infos", [&] { return server.SendDllInfos({10250, 0, 77, 8}); },
       Record(XTK_MSG_DLL_INFOS, DllInfosBody(10250, 0, 77, 8))},
      {"data set 1", [&] { return server.SendDataSet(1, set1); }, Record(171, set1)},
      {"data set 2", [&] { return server.SendDataSet(2, set2); }, Record(172, set2)},
      {"data set 3", [&] { return server.SendDataSet(3, set3); }, Record(173, set3)},
      {"data set 4", [&] { return server.SendDataSet(4, set4); }, Record(174, set4)},
      {"short data set", [&] { return server.SendDataSet(1, shortSet); }, Record(171, shortSet)},
      {"add peer callback", [&] { return server.SendRecord(XTK_MSG_ADDPEER_CALLBACK, Bytes{3, 0, 1, 0}); },
       Record(20, {3, 0, 1, 0})},
      {"closing", [&] { return server.SendRecord(XTK_MSG_XPLANE_CLOSING); }, Record(162, {})},
      {"trace line", [&] { return server.SendFrame(kTraceRecordType, 0); }, Header(10, 0, 0, 0)},
      {"garbage", [&] { return server.SendRaw(garbage); }, garbage},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(c.send()) << c.name;
    EXPECT_EQ(AsBytes(linked.client.Receive(c.expected.size(), kWaitMs)), c.expected) << c.name;
  }
  EXPECT_FALSE(server.SendDataSet(0, set1));
  EXPECT_FALSE(server.SendDataSet(5, set1));
  EXPECT_TRUE(linked.client.Receive(1, 100).empty());
}

TEST(PluginServer, BodyBoundOfTheClientsFrames) {
  PluginServer server;
  ASSERT_TRUE(server.Ok());
  LinkedClient linked;
  ASSERT_TRUE(linked.Link(server));

  // The largest body the client may send is taken whole.
  const Bytes largest(kMaxClientFrameBody, 0x5A);
  ASSERT_TRUE(linked.client.Send(AsString(Record(XTK_CMD_ADD_PEER, largest))));
  ASSERT_TRUE(server.WaitForRecord(XTK_CMD_ADD_PEER, 1, kWaitMs));
  EXPECT_EQ(server.Records().back().body, largest);
  // The add is answered with its callback, for the way at offset 16: a body this long is read as an add.
  EXPECT_EQ(linked.client.Receive(16, kWaitMs), AsString(Record(XTK_MSG_ADDPEER_CALLBACK, {0x5A, 0x5A, 1, 0})));

  // One byte more ends the link before any body is read.
  ASSERT_TRUE(linked.client.Send(AsString(Header(kXtkRecordType, XTK_CMD_ADD_PEER, 0, kMaxClientFrameBody + 1))));
  EXPECT_TRUE(linked.client.Receive(1, kWaitMs).empty());
  EXPECT_TRUE(linked.client.PeerClosed());
  ASSERT_TRUE(server.WaitForLinkEnd(kWaitMs));
  EXPECT_EQ(server.ProtocolErrors(), 1u);
  EXPECT_EQ(server.FrameCount(), 1u);
}

TEST(PluginServer, DropLinkEndsTheLinkAndTakesTheNext) {
  PluginServer server;
  ASSERT_TRUE(server.Ok());
  EXPECT_FALSE(server.Linked());
  EXPECT_FALSE(server.DropLink());
  EXPECT_FALSE(server.SendRecord(XTK_MSG_XPLANE_CLOSING));

  LinkedClient first;
  ASSERT_TRUE(first.Link(server));
  EXPECT_TRUE(server.Linked());
  ASSERT_TRUE(server.DropLink());
  EXPECT_TRUE(first.client.Receive(1, kWaitMs).empty());
  EXPECT_TRUE(first.client.PeerClosed());
  ASSERT_TRUE(server.WaitForLinkEnd(kWaitMs));

  // Each link is greeted.
  LinkedClient second;
  ASSERT_TRUE(second.Link(server));
  EXPECT_EQ(second.greeting, first.greeting);
  EXPECT_EQ(server.LinksAccepted(), 2u);
  EXPECT_EQ(server.GreetingsSent(), 2u);

  // A client that leaves ends the link too.
  second.client.Close();
  ASSERT_TRUE(server.WaitForLinkEnd(kWaitMs));
  EXPECT_FALSE(server.SendRecord(XTK_MSG_XPLANE_CLOSING));
}

TEST(PluginServer, ListensOnAGivenPort) {
  const std::uint16_t port = FreeLoopbackPort();
  ASSERT_NE(port, 0);
  PluginServer server(port);
  ASSERT_TRUE(server.Ok());
  EXPECT_EQ(server.Port(), port);
  EXPECT_EQ(server.PortMapEntry(), "55007=" + std::to_string(port));
  LinkedClient linked;
  EXPECT_TRUE(linked.Link(server));
}

TEST(PluginServer, LogsOneLinePerEvent) {
  PluginServer server;
  ASSERT_TRUE(server.Ok());
  RecordedLines log;
  server.SetEventLog(log.Sink());
  LinkedClient linked;
  ASSERT_TRUE(linked.Link(server));
  const Bytes frames = Concat(Concat(Record(XTK_CMD_HELLO, {1, 4, 0, 11}), Record(99, {})),
                              Concat(Header(kTraceRecordType, 0, 0, 0), Record(XTK_CMD_DLL_INFOS_ACK, {})));
  ASSERT_TRUE(linked.client.Send(AsString(frames)));
  ASSERT_TRUE(server.WaitForFrames(4, kWaitMs));
  linked.client.Close();
  ASSERT_TRUE(server.WaitForLinkEnd(kWaitMs));

  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0].rfind("linked from 127.0.0.1:", 0), 0u) << lines[0];
  const std::vector<std::string> rest(lines.begin() + 1, lines.end());
  EXPECT_EQ(rest, (std::vector<std::string>{
                      "sent XTK_MSG_DLL_INFOS (X-Plane 10000, error 0, 20 AI aircraft)",
                      "received XTK_CMD_HELLO (4 bytes)",
                      "received unknown XTK code 99 (0 bytes)",
                      "received type 10 sub-code 0 (0 bytes)",
                      "received XTK_CMD_DLL_INFOS_ACK (0 bytes)",
                      "streaming the flight every 200 ms",
                      "link ended: closed by the client",
                  }));
}

TEST(PluginRecords, DllInfosRoundTripAndRefuseOtherSizes) {
  const DllInfos infos{10250, -7, 0xCAFEF00D, 19};
  const DllInfosBytes bytes = WriteDllInfos(infos);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), DllInfosBody(10250, -7, 0xCAFEF00D, 19));
  DllInfos read;
  ASSERT_TRUE(ReadDllInfos(bytes, read));
  EXPECT_EQ(read, infos);
  for (const std::size_t size : {std::size_t{0}, kDllInfosSize - 1, kDllInfosSize + 1}) {
    const Bytes body(size, 0);
    DllInfos untouched = infos;
    EXPECT_FALSE(ReadDllInfos(body, untouched)) << size;
    EXPECT_EQ(untouched, infos) << size;
  }
}

TEST(PluginRecords, DataSetCodesAndSizes) {
  struct Case {
    int index;
    std::uint8_t code;
    std::size_t size;
  };
  const Case cases[] = {{0, 0, 0}, {1, 171, 88}, {2, 172, 28}, {3, 173, 72}, {4, 174, 12}, {5, 0, 0}, {-1, 0, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(DataSetCode(c.index), c.code) << c.index;
    EXPECT_EQ(DataSetSize(c.index), c.size) << c.index;
  }
  EXPECT_STREQ(ClientCommandName(XTK_CMD_PEER_GEAR2), "XTK_CMD_PEER_GEAR2");
  EXPECT_STREQ(ClientCommandName(XTK_CMD_DLL_INFOS_ACK), "XTK_CMD_DLL_INFOS_ACK");
  EXPECT_EQ(ClientCommandName(11), nullptr);
}

}  // namespace
