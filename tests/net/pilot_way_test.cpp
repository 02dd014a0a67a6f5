// The pilot link over real loopback sockets: the login exchange both ways,
// admission and its refusals, the cancel reasons, logouts, drops, packets,
// radio changes, probes and the per-second task.
#include <gtest/gtest.h>

#include <cstring>

#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/settings.h"
#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/multiplayer_session.h"
#include "net/node_records.h"
#include "net/pilot_records.h"
#include "net/position_records.h"
#include "pilot_way_fixture.h"

namespace {

constexpr int kWaitMs = 5'000;

std::string TextAt(const LoginRecordBytes& bytes, std::size_t offset, std::size_t size) {
  const auto* begin = reinterpret_cast<const char*>(bytes.data() + offset);
  return std::string(begin, ::strnlen(begin, size));
}

TEST_F(PilotWayTest, APeerWhoCallsIsAdmittedAndAnsweredWithOurLogin) {
  {
    std::lock_guard guard(SettingsTextLock());
    CopyToField(g_networkSettings.current.pilotId, "own-login");
    CopyToField(g_networkSettings.current.pilotPassword, "secret");
  }
  StartWays(1);
  PilotPeerScript script = PeerNamed("DEMO02");
  script.com1 = "118.1";
  script.radioSelection = kPilotRadioCom1;
  script.tokenByte = 4;
  {
    WayTableGuard guard;
    PeerWayRecord(0)->stateFlags |= kWayAiRemovalRequested;  // left by the pilot before him
  }
  auto peer = CallAndLogIn(script, 0);
  EXPECT_EQ(hooks_->Count("add 0"), 1);

  const WayRecord record = RecordOf(0);
  const PilotLoginRecord sent = peer->LoginRecordToSend();
  EXPECT_STREQ(record.callsign.data(), "DEMO02");
  EXPECT_STREQ(record.serverName.data(), "NODE-1");
  EXPECT_STREQ(record.firstName.data(), "Ada");
  EXPECT_STREQ(record.lastName.data(), "Pilot");
  EXPECT_EQ(record.simulatorCode, 9000);
  EXPECT_EQ(record.pilot.loginDirection, 0);
  EXPECT_EQ(record.pilot.versionWord, 0x0B000401u);
  EXPECT_EQ(record.pilot.tokenByte, 4);
  EXPECT_EQ(record.pilot.com1Khz, 118'100u);
  EXPECT_EQ(record.voiceFlags & kWayVoiceRadioBits, kWayVoiceCom1) << "COM1 alone does not listen on COM2";
  EXPECT_STREQ(record.frequencyA.data(), "118.1");
  EXPECT_STREQ(record.frequencyB.data(), script.com2.c_str());
  EXPECT_EQ(record.pilot.position, sent.extras.position);
  EXPECT_EQ(record.pilot.olderPosition, sent.extras.olderPosition);
  EXPECT_EQ(record.stateFlags & kWayAiRemovalRequested, 0u) << "a new pilot starts without the old removal";
  EXPECT_NEAR(record.position.latitude, sent.login.latitude, 1e-12);
  EXPECT_EQ(peer->CountOf(NCSUB_LOGIN_ACK), 0u) << "the answer waits for the AI aircraft";

  AiCreated(0);
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs));
  const std::vector<Frame> frames = peer->Frames();
  ASSERT_GE(frames.size(), 2u);
  EXPECT_EQ(frames[0].header.subCode, NCSUB_LOGIN_ACK);
  EXPECT_EQ(frames[0].header.flags, kFrameFlagCompressed);
  EXPECT_EQ(frames[1].header.subCode, NCSUB_PEER_ADDED);
  EXPECT_EQ(frames[1].header.length, 0u);

  const auto ack = peer->LastLoginReceived();
  ASSERT_TRUE(ack.has_value());
  EXPECT_EQ(TextAt(*ack, 80, 16), "OWN001");
  EXPECT_EQ(TextAt(*ack, 48, 16), "own-login");
  EXPECT_EQ(TextAt(*ack, 64, 16), "") << "never the password towards a pilot";
  EXPECT_EQ(GetU32(ack->data() + kIdentityBlockSize + 12), 9000u);
  EXPECT_EQ(TextAt(*ack, kIdentityBlockSize + kPilotLoginAddressOffset, kPilotLoginAddressSize), "192.0.2.7");
  EXPECT_EQ(ack->data()[kIdentityBlockSize + kPilotLoginOlderPositionOffset], 4109 & 0xFF);
  EXPECT_EQ(ack->data()[kIdentityBlockSize + kPilotLoginOlderPositionOffset + 1], 4109 >> 8);
  EXPECT_EQ(ack->data()[kIdentityBlockSize + kPilotLoginPositionOffset + 1], 0x20);
  // The login writer puts nothing else into the bytes: read back, written again, the same.
  PilotLoginRecord decoded;
  ASSERT_EQ(ReadPilotLoginRecord(*ack, decoded), kNodeRecordOk);
  EXPECT_EQ(WritePilotLoginRecord(decoded), *ack);

  EXPECT_TRUE(Way(0).Printed("Pilot DEMO02 is in range."));
  EXPECT_EQ(Bits(0) & (kWayLoggedIn | kWayLoggedInPeer | kWayAiInSim), kWayLoggedIn | kWayAiInSim);
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return hooks_->Count("identity 0 NCSPA") == 1; }));
}

TEST_F(PilotWayTest, AWayThatCallsSendsItsLoginAndOnlyTheAdmissionAfterTheAnswer) {
  StartWays(1);
  PilotPeerScript script;
  script.callsign = "DEMO03";
  PilotPeer peer(script);
  const std::uint16_t port = peer.Listen();
  ASSERT_NE(port, 0);
  NeighbourLinkRecord order;
  order.address = 0x0100007F;  // 127.0.0.1 in network order
  order.port = port;
  order.peerKind = 'P';
  order.callsign = "DEMO03";
  {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay("DEMO03"), 0);
  }
  const NeighbourLinkRecordBytes bytes = WriteNeighbourLinkRecord(order);
  CBaseThread::PostData(nullptr, &Way(0), THRDMSG_CONNECT_NEIGHBOUR, 0, static_cast<std::uint32_t>(bytes.size()),
                        bytes.data(), "TEST");
  ASSERT_TRUE(peer.WaitForCall(kWaitMs));
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_LOGIN, 1, kWaitMs));
  const auto login = peer.LastLoginReceived();
  ASSERT_TRUE(login.has_value());
  EXPECT_EQ(TextAt(*login, 80, 16), "OWN001");
  // He answers with his acknowledgement and his admission; the way admits him.
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return (Bits(0) & kWayLoggedInPeer) != 0; }));
  EXPECT_EQ(RecordOf(0).pilot.loginDirection, 1);
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return hooks_->Count("identity 0 NCSPA") == 1; }));
  AiCreated(0);
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs));
  EXPECT_EQ(peer.CountOf(NCSUB_LOGIN_ACK), 0u) << "the side that called is not asked to acknowledge";
}

TEST_F(PilotWayTest, AnAdmissionNoticeBeforeTheAdmissionIsIgnored) {
  StartWays(1);
  PilotPeer peer(PeerNamed("DEMO02"));
  ASSERT_TRUE(peer.Connect(ListeningPort()));
  ASSERT_TRUE(peer.SendPeerAdded());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(0).PeerKind() == 'P'; }));
  Way(0).Drain();
  EXPECT_FALSE(Way(0).RunOnThread([&] { return Way(0).PilotLink().peerAdded; }));
  EXPECT_EQ(hooks_->Count("identity 0 NCSPA"), 0);
  // Admitted, the same notice counts.
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return (Bits(0) & kWayLoggedInPeer) != 0; }));
  ASSERT_TRUE(peer.SendPeerAdded());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return hooks_->Count("identity 0 NCSPA") == 1; }));
}

TEST_F(PilotWayTest, AdmissionRefusedCancelsTheLinkWithItsReason) {
  struct Case {
    bool sessionOpen;
    std::int32_t addResult;
    std::uint32_t reason;
    const char* line;
  };
  const Case cases[] = {
      {false, 0, kCancelNotInSession,
       "Pilot DEMO02 tried to add you to his session but you were not connected to your multiplayer session."},
      {true, -1, kCancelCouldNotAdd, "Error code -1 : Could not create a peer for Pilot DEMO02."},
  };
  StartWays(1);
  const int way = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    ASSERT_TRUE(WaitFree(way));
    Way(way).sessionOpen = c.sessionOpen;
    hooks_->addResult = c.addResult;
    PilotPeer peer(PeerNamed("DEMO02"));
    ASSERT_TRUE(peer.Connect(ListeningPort()));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(way).IsConnected(); }));
    ASSERT_TRUE(peer.SendLogin());
    ASSERT_TRUE(peer.WaitForCountOf(NCSUB_CANCEL_LINK, 1, kWaitMs));
    const Frame cancel = peer.Frames().back();
    ASSERT_EQ(cancel.body.size(), 4u);
    EXPECT_EQ(GetU32(cancel.body.data()), c.reason);
    EXPECT_TRUE(peer.WaitForClose(kWaitMs));
    EXPECT_TRUE(Way(way).Printed(c.line));
  }
}

TEST_F(PilotWayTest, EachCancelReasonIsPrintedWithItsText) {
  const char* texts[] = {"He was not connected to his MultiPlayer session.",
                         "He could'nt add you to his MultiPlayer session.",
                         "You've been removed from his MultiPlayer session.", "You are out of range.", "Code 4."};
  StartWays(1);
  const int way = 0;
  for (std::uint32_t reason = 0; reason < 5; ++reason) {
    SCOPED_TRACE(reason);
    ASSERT_TRUE(WaitFree(way)) << "the way of the link before is free again";
    auto peer = CallAndLogIn(PeerNamed("DEMO0" + std::to_string(reason)), way);
    ASSERT_TRUE(peer->SendCancel(reason));
    ASSERT_TRUE(peer->WaitForClose(kWaitMs));
    const std::string expected = "Link with pilot DEMO0" + std::to_string(reason) + " canceled, reason :" + texts[reason];
    EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(way).Printed(expected); }));
  }
}

TEST_F(PilotWayTest, APilotWhoLogsOutIsRemovedOnceAndOnlyByHimself) {
  StartWays(2);
  auto first = Admitted(PeerNamed("DEMO02"), 0);
  auto second = Admitted(PeerNamed("DEMO03"), 1);
  // The second names the first: nothing happens to either.
  ASSERT_TRUE(second->SendLogout("DEMO02"));
  Way(1).Drain();
  ASSERT_TRUE(second->SendLatencyRequest());
  ASSERT_TRUE(second->WaitForCountOf(NCSUB_LATENCY_ECHO, 1, kWaitMs)) << "his link goes on";
  EXPECT_EQ(hooks_->Count("remove 0 HASLFT"), 0);
  EXPECT_EQ(hooks_->Count("remove 1 HASLFT"), 0);
  EXPECT_TRUE(first->Linked());

  // The first logs out, twice in one go: removed once.
  const PilotCallsignBody body = WritePilotCallsignBody("DEMO02");
  std::vector<std::uint8_t> twice;
  for (int i = 0; i < 2; ++i) {
    FrameHeader header;
    header.type = NCSMSG_PILOT;
    header.subCode = NCSUB_LOGOUT;
    const auto frame = BuildFrame(FRAME_SYNC_NETWORK, header, body);
    twice.insert(twice.end(), frame.begin(), frame.end());
  }
  ASSERT_TRUE(first->SendRaw(twice));
  ASSERT_TRUE(first->WaitForClose(kWaitMs));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return hooks_->Count("remove 0 HASLFT") == 1; }));
  Way(0).Drain();
  EXPECT_EQ(hooks_->Count("remove 0 HASLFT"), 1);
  const auto lines = Way(0).Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Pilot DEMO02 logged-out."), 1);
  EXPECT_EQ(RecordOf(0).stateFlags & kWayAllocated, 0u);
  EXPECT_TRUE(second->Linked());

  // The second's logouts both reach his way before it serves the close the
  // first asked for (as a read that comes in between would): he leaves once.
  Frame logout;
  logout.header.type = NCSMSG_PILOT;
  logout.header.subCode = NCSUB_LOGOUT;
  const PilotCallsignBody secondBody = WritePilotCallsignBody("DEMO03");
  logout.body.assign(secondBody.begin(), secondBody.end());
  logout.header.length = static_cast<std::uint32_t>(logout.body.size());
  Way(1).RunOnThread([&] {
    Way(1).ProcessPilotFrame(logout);
    Way(1).ProcessPilotFrame(logout);
    return 0;
  });
  ASSERT_TRUE(second->WaitForClose(kWaitMs));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return hooks_->Count("remove 1 HASLFT") == 1; }));
  Way(1).Drain();
  const auto secondLines = Way(1).Lines();
  EXPECT_EQ(std::count(secondLines.begin(), secondLines.end(), "Pilot DEMO03 logged-out."), 1);
  EXPECT_EQ(hooks_->Count("remove 1 HASLFT"), 1);
}

TEST_F(PilotWayTest, OutOfRangeAndDroppedPilotsLeave) {
  StartWays(2);
  auto away = Admitted(PeerNamed("DEMO02"), 0);
  auto dropping = Admitted(PeerNamed("DEMO03"), 1);
  ASSERT_TRUE(away->SendOutOfRange());
  ASSERT_TRUE(away->WaitForClose(kWaitMs));
  dropping->Drop();
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
    return hooks_->Count("remove 0 HASLFT") == 1 && hooks_->Count("remove 1 HASLFT") == 1;
  }));
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(0).Printed("Pilot DEMO02 is out of range."); }));
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(1).Printed("Pilot DEMO03 has dropped."); }));
}

TEST_F(PilotWayTest, PacketsAreTakenUpTo1024BytesAndLongerOnesCloseTheLink) {
  const std::uint8_t subCodes[] = {NCSUB_FS_PACKET, NCSUB_FSX_PACKET, NCSUB_MISC_PACKET};
  StartWays(1);
  const int way = 0;
  for (const std::uint8_t subCode : subCodes) {
    SCOPED_TRACE(static_cast<int>(subCode));
    ASSERT_TRUE(WaitFree(way));
    auto peer = Admitted(PeerNamed("DEMO0" + std::to_string(way)), way);
    const std::vector<std::uint8_t> limit(kPilotPacketLimit, 0x5A);
    const std::vector<std::uint8_t> over(kPilotPacketLimit + 1, 0x5B);
    ASSERT_TRUE(peer->SendPacket(subCode, limit));
    ASSERT_TRUE(peer->SendLatencyRequest());
    ASSERT_TRUE(peer->WaitForCountOf(NCSUB_LATENCY_ECHO, 1, kWaitMs)) << "a packet at the limit is taken";
    ASSERT_TRUE(peer->SendPacket(subCode, over));
    EXPECT_TRUE(peer->WaitForClose(kWaitMs)) << "one byte more is a protocol error";
  }
  std::lock_guard lock(hooks_->mutex);
  EXPECT_EQ(hooks_->packetSizes, (std::vector<std::size_t>{kPilotPacketLimit, kPilotPacketLimit}));
}

TEST_F(PilotWayTest, BeforeTheLoginALogoutIsTakenAndAHeartbeatClosesTheLink) {
  StartWays(2);
  PilotPeer early(PeerNamed("DEMO02"));
  ASSERT_TRUE(early.Connect(ListeningPort()));
  ASSERT_TRUE(early.SendLogout());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(0).PeerKind() == 'P'; }));
  Way(0).Drain();
  EXPECT_TRUE(early.Linked());
  PilotPeer eager(PeerNamed("DEMO03"));
  ASSERT_TRUE(eager.Connect(ListeningPort()));
  ASSERT_TRUE(eager.SendHeartbeat());
  EXPECT_TRUE(eager.WaitForClose(kWaitMs));
}

TEST_F(PilotWayTest, RadiosVisibilityProbesAndHeartbeatsOfAnAdmittedPilot) {
  StartWays(1);
  auto peer = Admitted(PeerNamed("DEMO02"), 0);
  ASSERT_TRUE(peer->SendRadios("121.5", "123.45", kPilotRadioCom2));
  ASSERT_TRUE(peer->SendVisible(false));
  ASSERT_TRUE(peer->SendVisible(true));
  ASSERT_TRUE(peer->SendLatencyRequest());
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_LATENCY_ECHO, 1, kWaitMs));
  const WayRecord record = RecordOf(0);
  EXPECT_STREQ(record.pilot.com2.data(), "123.45");
  EXPECT_EQ(record.pilot.com1Khz, 121'500u);
  EXPECT_EQ(record.pilot.com2Khz, 123'450u);
  EXPECT_EQ(record.voiceFlags & kWayVoiceRadioBits, kWayVoiceCom2) << "COM2 alone does not listen on COM1";
  EXPECT_STREQ(record.frequencyA.data(), "121.5");
  EXPECT_STREQ(record.frequencyB.data(), "123.45");
  EXPECT_EQ(hooks_->Count("invisible 0"), 1);
  EXPECT_EQ(hooks_->Count("visible 0"), 1);
  // Both radios: one flag of its own, which listens on either frequency.
  ASSERT_TRUE(peer->SendRadios("121.5", "123.45", kPilotRadioBoth));
  ASSERT_TRUE(peer->SendLatencyRequest());
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_LATENCY_ECHO, 2, kWaitMs));
  EXPECT_EQ(RecordOf(0).voiceFlags & kWayVoiceRadioBits, kWayVoiceBothComs);

  CBaseThread::Post(nullptr, &Way(0), THRDMSG_HEARTBEAT, 0, 0, "TEST");
  EXPECT_TRUE(peer->WaitForCountOf(NCSUB_HEARTBEAT, 1, kWaitMs));
  // Another thread never writes the way's socket: its frame goes through the way.
  EXPECT_EQ(Way(0).SendToPilot(NCSUB_TEST), 1);
  EXPECT_TRUE(peer->WaitForCountOf(NCSUB_TEST, 1, kWaitMs));
}

TEST_F(PilotWayTest, TheOwnPositionGoesOutEveryThirtiethSecondOfAnAdmittedPilot) {
  StartWays(1);
  auto peer = Admitted(PeerNamed("DEMO02"), 0);
  for (int second = 1; second < 30; ++second) Way(0).RunOnThread([&] { Way(0).PilotTaskEachSecondForTest(); return 0; });
  Way(0).Drain();
  EXPECT_EQ(peer->CountOf(NCSUB_FSX_PACKET), 0u);
  Way(0).RunOnThread([&] { Way(0).PilotTaskEachSecondForTest(); return 0; });
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_FSX_PACKET, 1, kWaitMs));
  EXPECT_EQ(RecordOf(0).pilot.positionAgeSeconds, 30u);
}

// Each way's thirtieth second resends the own position and state to its own
// peer: with three ways, each peer hears them once, not once per way.
TEST_F(PilotWayTest, EachWaysThirtiethSecondResendsTheOwnRecordsToItsOwnPeerOnly) {
  constexpr int kWays = 3;
  StartWays(kWays);
  std::vector<std::unique_ptr<PilotPeer>> peers;
  for (int id = 0; id < kWays; ++id) peers.push_back(Admitted(PeerNamed("DEMO0" + std::to_string(id + 2)), id));
  const auto records = [&](int id) {
    std::vector<std::uint16_t> types;
    for (const Frame& frame : peers[static_cast<std::size_t>(id)]->Frames()) {
      if (frame.header.subCode == NCSUB_FSX_PACKET) types.push_back(RecordType(frame.body.data(), frame.body.size()));
    }
    return types;
  };
  std::vector<std::size_t> before;
  for (int id = 0; id < kWays; ++id) before.push_back(records(id).size());
  for (int second = 1; second <= 30; ++second) {
    for (int id = 0; id < kWays; ++id) Way(id).RunOnThread([&, id] { Way(id).PilotTaskEachSecondForTest(); return 0; });
  }
  // Every way has served what was posted to it, and its peer has read it all.
  for (int id = 0; id < kWays; ++id) {
    Way(id).Drain();
    CBaseThread::Post(nullptr, &Way(id), THRDMSG_HEARTBEAT, 0, 0, "TEST");
    ASSERT_TRUE(peers[static_cast<std::size_t>(id)]->WaitForCountOf(NCSUB_HEARTBEAT, 1, kWaitMs));
  }
  for (int id = 0; id < kWays; ++id) {
    const std::vector<std::uint16_t> all = records(id);
    const std::vector<std::uint16_t> resent(all.begin() + static_cast<std::ptrdiff_t>(before[static_cast<std::size_t>(id)]),
                                            all.end());
    EXPECT_EQ(resent, (std::vector<std::uint16_t>{kPositionRecordType, kStateRecordType})) << "peer of way " << id;
  }
}

TEST_F(PilotWayTest, ALogoutRequestSaysGoodbyeAndCloses) {
  StartWays(1);
  auto peer = Admitted(PeerNamed("DEMO02"), 0);
  CBaseThread::Post(nullptr, &Way(0), THRDMSG_LEAVE, 0, 0, "TEST");
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_LOGOUT, 1, kWaitMs));
  const Frame logout = peer->Frames().back();
  std::string callsign;
  ASSERT_EQ(ReadPilotCallsignBody(logout.body, callsign), kNodeRecordOk);
  EXPECT_EQ(callsign, "OWN001");
  EXPECT_TRUE(peer->WaitForClose(kWaitMs));
}

TEST_F(PilotWayTest, APilotWithoutTokenComesInRangeSilently) {
  StartWays(1);
  PilotPeerScript script = PeerNamed("DEMO02");
  script.tokenByte = 12;  // above 11: kept as 0
  auto peer = Admitted(script, 0);
  EXPECT_EQ(RecordOf(0).pilot.tokenByte, 0);
  for (const std::string& line : Way(0).Lines()) EXPECT_EQ(line.find("is in range."), std::string::npos) << line;
}

}  // namespace
