// The node way's link: the connect and its host choice, the login and its
// acknowledgement, heartbeats, the loss of the link, cancel and logout.
#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/main_dialog_state.h"
#include "core/settings.h"
#include "core/ui_messages.h"
#include "support/frame_bytes.h"
#include "win/clock.h"
#include "base/klib_settings.h"
#include "net/frame_codes.h"
#include "net/listener.h"
#include "net/web_task_way.h"
#include "node_way_fixture.h"
#include "core/aircraft_type_db.h"
#include "win/msgbox.h"
#include "win/sound.h"

namespace {

constexpr int kWaitMs = 5000;

std::uint32_t Address(const char* dotted) {
  in_addr address{};
  inet_pton(AF_INET, dotted, &address);
  return address.s_addr;
}

// The aircraft type table with one record, for the class and short code of the login.
class OneTypeTable {
 public:
  OneTypeTable() : saved_(g_aircraftTypeDb()) {
    AircraftTypeRecord& r = record_[0];
    std::snprintf(r.icaoType, sizeof r.icaoType, "%s", "B738");
    std::snprintf(r.classCode, sizeof r.classCode, "%s", "L2J");
    std::snprintf(r.fifth, sizeof r.fifth, "%s", "M");
    AircraftTypeDb& db = g_aircraftTypeDb();
    db.records = record_.data();
    db.count = 1;
    db.loaded = true;
  }
  ~OneTypeTable() { g_aircraftTypeDb() = saved_; }

 private:
  AircraftTypeDb saved_;
  std::array<AircraftTypeRecord, 1> record_{};
};

TEST_F(NodeWayTest, TheLoginIsBuiltFromTheSettingsAndTheOwnAircraft) {
  const OneTypeTable types;
  {
    std::lock_guard guard(SettingsTextLock());
    CopyToField(g_networkSettings.lanIpAddress, "192.168.1.20");
  }
  g_networkSettings.orvenaPort.store(55010);
  g_setupSettings.uploadBandWidth.store(32768);
  g_machineId.store(0x12345678);
  SetOwnPublicAddress("127.0.0.9");  // differs from the hub entry: the hub entry is taken
  // The address found when the listening socket is bound replaces the setting's.
  ASSERT_EQ(CreateListeningSocket(0), 0);
  const std::string lan = LanIpAddress();
  CloseListeningSocket();
  ASSERT_FALSE(lan.empty());
  ASSERT_NE(lan, "192.168.1.20");
  OwnAircraftReport own;
  own.onGround = true;
  own.radioSelection = kRadioCom2 | kRadioBoth;
  own.com1 = "122.800";
  own.com2 = "121.500";
  own.transponderCode = 7700;
  own.transponderMode = 'N';
  own.mach = 0.784;
  own.trueHeadingDegrees = 271.6;
  own.speedKnots = 451.4;
  own.latitude = 49.0097;
  own.longitude = 2.5479;
  own.altitudeFeet = 35000.4;
  own.nearestAirport = "LFPG";
  own.airportDistanceNm = 12;
  own.icaoType = "B738";
  own.title = "Boeing 737-800 Heavy Metal";
  way_->SetOwnAircraft(own);
  LogIn();

  const std::vector<Frame> logins = FramesOfType(NCSMSG_LOGIN);
  ASSERT_EQ(logins.size(), 1u);
  ASSERT_EQ(logins[0].header.subCode, NCSUB_LOGIN);
  ASSERT_EQ(logins[0].body.size(), kLoginRecordSize);
  LoginRecord sent;
  ASSERT_EQ(ReadLoginRecord(logins[0].body, sent), kNodeRecordOk);
  const IdentityBlock& id = sent.identity;
  EXPECT_EQ(id.peerKind, 'P');
  EXPECT_EQ(id.versionMajor, 11);
  EXPECT_EQ(id.versionMinor, 0);
  EXPECT_EQ(id.versionBuild, 4);
  EXPECT_EQ(id.versionLetter, 'B');
  EXPECT_EQ(id.machineId, 0x12345678u);
  EXPECT_EQ(id.publicAddress, Address("127.0.0.9"));
  EXPECT_EQ(id.lanAddress, Address(lan.c_str()));
  EXPECT_EQ(id.listenPort, 55010);
  EXPECT_EQ(id.serverToken, 0) << "no acknowledgement yet";
  EXPECT_EQ(id.login, "pilot7");
  EXPECT_EQ(id.passwordOrServer, "secret");
  EXPECT_EQ(id.callsign, "OWN001");
  EXPECT_EQ(id.firstName, "");
  EXPECT_EQ(id.lastName, "");
  EXPECT_EQ(sent.optionBits, kLoginOnGround | kLoginCom2Selected | kLoginBothComSelected);
  EXPECT_EQ(sent.simulatorCode, 9000u);
  EXPECT_EQ(sent.altitudeFeet, 35000);
  EXPECT_EQ(sent.machTimes1000, 784);
  EXPECT_EQ(sent.headingDegrees, 272);
  EXPECT_EQ(sent.speedKnots, 451);
  EXPECT_EQ(sent.transponderCode, 7700);
  EXPECT_EQ(sent.uploadBandwidth, 32768u);
  EXPECT_EQ(sent.nearestAirport, "LFPG");
  EXPECT_EQ(sent.transponderMode, 'N');
  EXPECT_EQ(sent.airportDistanceNm, 12);
  EXPECT_DOUBLE_EQ(sent.latitude, 49.0097);
  EXPECT_DOUBLE_EQ(sent.longitude, 2.5479);
  EXPECT_EQ(sent.com1, "122.800");
  EXPECT_EQ(sent.com2, "121.500");
  EXPECT_EQ(sent.icaoType, "B738");
  EXPECT_EQ(sent.title, "Boeing 737-800 Heavy Metal");
  EXPECT_EQ(sent.classCode, "L2J");
  EXPECT_EQ(sent.shortCode, "M");
  EXPECT_TRUE(way_->Did("nearest airport"));
}

TEST_F(NodeWayTest, TheClassCodeOfTheMatchedTypeRowGoesOutRatherThanTheTypesFirstRow) {
  const OneTypeTable types;
  OwnAircraftReport own;
  own.icaoType = "B738";
  own.classCode = "L2T";
  own.shortCode = "H";
  way_->SetOwnAircraft(own);
  LogIn();
  LoginRecord sent;
  ASSERT_EQ(ReadLoginRecord(FramesOfType(NCSMSG_LOGIN).at(0).body, sent), kNodeRecordOk);
  EXPECT_EQ(sent.classCode, "L2T");
  EXPECT_EQ(sent.shortCode, "H");
}

TEST_F(NodeWayTest, TheDefaultAircraftGoesOutWhenNothingElseIsKnown) {
  LogIn();
  LoginRecord sent;
  ASSERT_EQ(ReadLoginRecord(FramesOfType(NCSMSG_LOGIN).at(0).body, sent), kNodeRecordOk);
  EXPECT_EQ(sent.identity.publicAddress, 0u) << "no public address known before the acknowledgement";
  EXPECT_EQ(sent.transponderCode, 1200);
  EXPECT_EQ(sent.transponderMode, 'S');
  EXPECT_EQ(sent.icaoType, "C172");
  EXPECT_EQ(sent.title, "Cessna Skyhawk 172SP");
  EXPECT_EQ(sent.classCode, "") << "no aircraft type table";
  EXPECT_EQ(sent.uploadBandwidth, 65536u);
  EXPECT_EQ(sent.identity.listenPort, 55009);
}

TEST_F(NodeWayTest, AnAcceptedAcknowledgementLogsInAndAsksForTheFlightPlan) {
  LoginAckRecord ack;
  ack.identity.versionMajor = 11;
  ack.identity.versionMinor = 0;
  ack.identity.versionBuild = 4;
  ack.identity.versionLetter = 'a';  // compared in upper case
  ack.identity.serverToken = 0x5C;
  ack.identity.firstName = "Ada";
  ack.identity.lastName = "Quill";
  ack.serverName = "Hub North";
  ack.serverComments = "welcome 100%";
  ack.platformBits = 1;
  server_->SetLoginAck(ack);
  g_hubListCountdown.store(9);
  LogIn();

  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->Posted(UIMSG_LOGIN_ACCEPTED); }));
  EXPECT_FALSE(way_->ConnectInProgress());
  EXPECT_EQ(way_->LoggedInBits() & kWayLoggedIn, kWayLoggedIn);
  EXPECT_EQ(g_hubListCountdown.load(), 0);
  EXPECT_EQ(way_->StopCountdown(), 0) << "the acknowledgement cancels the 50-second wait";
  EXPECT_EQ(way_->ServerName(), "Hub North");
  EXPECT_EQ(way_->FirstName(), "Ada");
  EXPECT_EQ(way_->LastName(), "Quill");
  EXPECT_EQ(way_->ServerToken(), 0x5C);
  EXPECT_EQ(way_->CurrentHubAddress(), "127.0.0.1");
  EXPECT_EQ(way_->HubEntryText(), "127.0.0.1");
  EXPECT_EQ(way_->HubPort(), server_->Port());
  // The server fills a zero address with the one it sees.
  EXPECT_EQ(OwnPublicAddress(), "127.0.0.1");
  ASSERT_TRUE(WaitTraced("None."));
  EXPECT_EQ(way_->Find("Hub North").colour, kColour24);
  EXPECT_EQ(way_->Find("Hub North").flags, kNodeBold);
  EXPECT_TRUE(way_->Traced("  linNCS v11.0.4.a"));
  EXPECT_TRUE(way_->Traced("welcome 100%"));

  // The flight plan follows the login (none is made yet: nothing goes out),
  // and a later login carries the token byte of this acknowledgement.
  ASSERT_TRUE(server_->DropLink());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !way_->IsConnected(); }));
  Connect();
  ASSERT_TRUE(server_->WaitForLink(2, kWaitMs));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return FramesOfType(NCSMSG_LOGIN).size() == 2; }));
  LoginRecord second;
  ASSERT_EQ(ReadLoginRecord(FramesOfType(NCSMSG_LOGIN)[1].body, second), kNodeRecordOk);
  EXPECT_EQ(second.identity.serverToken, 0x5C);
  EXPECT_TRUE(FramesOfType(NCSMSG_PILOT).empty());
}

TEST_F(NodeWayTest, AKnownPublicAddressIsKept) {
  SetOwnPublicAddress("203.0.113.9");
  LogIn();
  EXPECT_EQ(OwnPublicAddress(), "203.0.113.9");
}

TEST_F(NodeWayTest, RatingNamesArePrintedInOrder) {
  server_->SetServerVersion(12, 1, 0, 'C');
  server_->SetRatings((1u << 0) | (1u << 3) | (1u << 23));
  LogIn();
  ASSERT_TRUE(WaitTraced("IFR"));
  const auto lines = way_->Lines();
  const auto at = std::find_if(lines.begin(), lines.end(),
                               [](const auto& line) { return line.text == "Your Licenses & skills :"; });
  ASSERT_NE(at, lines.end());
  std::vector<std::string> tail;
  for (auto it = at + 1; it != lines.end(); ++it) tail.push_back(it->text);
  EXPECT_EQ(tail, (std::vector<std::string>{"PPL", " - ", "IFR"})) << "bit 23 has no name";
}

TEST_F(NodeWayTest, AnOldServerIsRefusedAndTheLinkIsNotRetried) {
  struct Case {
    std::uint8_t major, minor, build;
    char letter;
    const char* line;
  };
  const Case cases[] = {
      {11, 0, 3, 'Z',
       "Sorry, this server's version (v 11.0.3.Z ) is too old to connect to ! Check with your webmaster."},
      {10, 9, 9, 'A',
       "Sorry, this server's version (v 10.9.9.A ) is too old to connect to ! Check with your webmaster."},
  };
  std::size_t links = 0;
  for (const Case& oldServer : cases) {
    SCOPED_TRACE(oldServer.line);
    server_->SetServerVersion(oldServer.major, oldServer.minor, oldServer.build, oldServer.letter);
    Connect();
    ++links;
    // The refused link may be gone already: that it was made is what counts.
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return server_->LinksAccepted() >= links; }));
    ASSERT_TRUE(WaitTraced(oldServer.line));
    EXPECT_TRUE(server_->WaitForLinkEnd(kWaitMs));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return way_->Posted(UIMSG_LOGOUT); }));
    EXPECT_FALSE(way_->Posted(UIMSG_LOGIN_ACCEPTED));
    EXPECT_FALSE(way_->LoginAccepted());
    EXPECT_EQ(way_->LoggedInBits() & kWayLoggedIn, 0u);
    EXPECT_EQ(g_hubListCountdown.load(), 0);
  }
  // Let the way run on: nothing connects again by itself.
  TestWay::WaitFor(300, [] { return false; });
  EXPECT_EQ(server_->LinksAccepted(), links);
}

TEST_F(NodeWayTest, HeartbeatsGoBothWaysOnceLoggedIn) {
  LogIn();
  const std::size_t before = server_->FrameCount();
  Post(THRDMSG_HEARTBEAT);
  const std::vector<Frame> beat = FramesAfter(before, 1);
  ASSERT_EQ(beat.size(), 1u);
  EXPECT_EQ(beat[0].header.type, kNcsMsgHeaderOnly);
  EXPECT_EQ(beat[0].header.length, 0u);

  g_hubRefreshCounter.store(77);
  ASSERT_TRUE(server_->SendHeartbeat());
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [] { return g_hubRefreshCounter.load() == 0; }));
  EXPECT_TRUE(server_->Linked());
}

TEST_F(NodeWayTest, NothingIsSentWithoutALink) {
  for (const std::uint32_t id : {THRDMSG_HEARTBEAT, THRDMSG_FLIGHT_PLAN, THRDMSG_TEXT_LONGHAUL}) Post(id);
  Post(THRDMSG_NODE_PILOT, NCSUB_SHORTINFOS);
  Post(THRDMSG_SERVER_ANSWER, 1);
  way_->RunOnThread([] { return 0; });
  EXPECT_EQ(server_->LinksAccepted(), 0u);
  EXPECT_EQ(server_->FrameCount(), 0u);
}

// ---- The host to connect to ----

struct HostCase {
  const char* label;
  const char* publicAddress;
  const char* ncssLan;
  bool direct;
  const char* host;      // where the way connects
  const char* verbose;   // its progress line, %d = the port
};

class NodeWayHostTest : public NodeWayTest, public ::testing::WithParamInterface<HostCase> {};

TEST_P(NodeWayHostTest, ConnectsWhereTheSettingsAndThePublicAddressSay) {
  const HostCase& c = GetParam();
  SetOwnPublicAddress(c.publicAddress);
  {
    std::lock_guard guard(SettingsTextLock());
    CopyToField(g_networkSettings.ncssLanIpAddress, c.ncssLan);
  }
  g_networkSettings.directAddress.store(c.direct);
  server_->SetAnswerLogins(false);
  SetVerbose(true);
  Connect();
  ASSERT_TRUE(server_->WaitForFrames(1, kWaitMs)) << "the link is made and the login sent";
  EXPECT_EQ(way_->RunOnThread([&] { return way_->CurrentHubAddress(); }), c.host);
  std::array<char, 128> line{};
  std::snprintf(line.data(), line.size(), c.verbose, static_cast<int>(server_->Port()));
  const auto progress = way_->Find(line.data());
  EXPECT_EQ(progress.text, line.data());
  EXPECT_EQ(progress.colour, kColourNormal);
  EXPECT_TRUE(way_->Traced("OK."));
  EXPECT_TRUE(way_->Traced("Getting nodes list from hub 127.0.0.1 ..."));
  EXPECT_FALSE(way_->Did("remove between {}")) << "trace flags keep the progress text";
  EXPECT_TRUE(way_->ConnectInProgress());
  EXPECT_EQ(way_->StopCountdown(), kLoginAckWaitSeconds);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, NodeWayHostTest,
    ::testing::Values(
        HostCase{"UnknownPublicAddressTakesTheLanHost", "", "", false, "127.0.0.1",
                 " Connecting to Hub  at 127.0.0.1:%d ..."},
        HostCase{"UnknownPublicAddressTakesTheNcsServerSetting", "", "localhost", false, "localhost",
                 " Connecting to Hub  at localhost:%d ..."},
        HostCase{"HubBehindTheOwnAddressLoops", "127.0.0.1", "localhost", false, "localhost",
                 " Connect looping at localhost:%d ..."},
        // Only an equal address loops: 27.0.0.1 lies inside the text 127.0.0.1 but is another host.
        HostCase{"APartOfTheHubAddressIsNotTheHub", "27.0.0.1", "localhost", false, "127.0.0.1",
                 " Connecting to Hub  at 127.0.0.1:%d ..."},
        HostCase{"DirectModeTakesTheEntry", "127.0.0.1", "localhost", true, "127.0.0.1",
                 " Connecting to Hub  (DIRECT)  at 127.0.0.1:%d ..."}),
    [](const ::testing::TestParamInfo<HostCase>& param) { return std::string(param.param.label); });

TEST_F(NodeWayTest, ProgressTextIsWrittenBetweenHiddenBracesAndRemovedWithoutTraceFlags) {
  server_->SetAnswerLogins(false);
  Connect();
  ASSERT_TRUE(server_->WaitForFrames(1, kWaitMs));
  way_->RunOnThread([] { return 0; });
  const auto lines = way_->Lines();
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0].text, "{");
  EXPECT_EQ(lines[0].colour, kNodeHiddenColour);
  EXPECT_EQ(lines[0].flags, kNodeNewLine);
  EXPECT_EQ(lines[1].text, " Connecting to Hub ...");
  EXPECT_EQ(lines[2].text, "}");
  EXPECT_EQ(lines[2].colour, kNodeHiddenColour);
  EXPECT_EQ(lines[3].text, "{");
  EXPECT_EQ(lines[4].text, " Getting nodes list from hub ...");
  EXPECT_EQ(lines[5].text, "}");
  const auto actions = way_->Actions();
  EXPECT_EQ(std::count(actions.begin(), actions.end(), "remove between {}"), 2)
      << "the last attempt's text before connecting, this attempt's once linked";
  EXPECT_FALSE(way_->Traced("OK."));
}

TEST_F(NodeWayTest, AFailedConnectArmsTheRetry) {
  SetHubListText("127.0.0.1:1");
  Connect();
  ASSERT_TRUE(WaitDid("bitmap 2"));
  EXPECT_EQ(way_->Find(" Failed.").colour, kColourError);
  EXPECT_TRUE(way_->Traced("  Retrying in 65 seconds..."));
  EXPECT_EQ(g_hubListCountdown.load(), kHubListRetrySeconds);
  EXPECT_FALSE(way_->ConnectInProgress());
  EXPECT_EQ(way_->StopCountdown(), 0);
  EXPECT_EQ(way_->CurrentHubAddress(), "");
  EXPECT_EQ(way_->HubPort(), 1);
}

TEST_F(NodeWayTest, AnEntryWithoutAUsablePortKeepsTheLastHubPort) {
  server_->SetAnswerLogins(false);
  const std::string port = std::to_string(server_->Port());
  std::size_t links = 0;
  for (const std::string& hub : {"127.0.0.1:" + port, std::string("127.0.0.1:0"), std::string("127.0.0.1"),
                                std::string("127.0.0.1:99999")}) {
    SCOPED_TRACE(hub);
    SetHubListText(hub);
    Connect();
    ++links;
    ASSERT_TRUE(server_->WaitForLink(links, kWaitMs));
    EXPECT_EQ(way_->HubPort(), server_->Port());
    ASSERT_TRUE(server_->DropLink());
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !way_->IsConnected() && !way_->ConnectInProgress(); }));
  }
}

// ---- Loss of the link ----

TEST_F(NodeWayTest, ALostSessionAnnouncesTheLossAndArmsTheReconnect) {
  g_networkState.store(2);
  LogIn();
  ASSERT_TRUE(server_->DropLink());
  ASSERT_TRUE(WaitDid("chat input off"));
  const auto lost = way_->Find("Connection to node lost. Reconnecting in 65 seconds...");
  EXPECT_EQ(lost.colour, kColourError);
  EXPECT_EQ(g_hubListCountdown.load(), kHubListRetrySeconds);
  EXPECT_FALSE(way_->LoginAccepted());
  EXPECT_EQ(way_->ServerName(), "");
  EXPECT_TRUE(way_->Did("text 7106 -- --"));
  const auto notice = way_->Find(" **** Disconnected from network. **** \r\n");
  EXPECT_EQ(notice.colour, kColourError);
  EXPECT_TRUE(way_->Did("bitmap 2"));
  const std::vector<PlayedSound> sounds = PlayedSounds();
  ASSERT_EQ(sounds.size(), 1u);
  EXPECT_NE(sounds[0].name.find(kDisconnectionSound), std::string::npos);
  EXPECT_NE(sounds[0].flags & SND_ASYNC, 0u);
  const std::vector<DWORD> pauses = RecordedPauses();
  EXPECT_NE(std::find(pauses.begin(), pauses.end(), kDisconnectionNoticePauseMs), pauses.end());
  EXPECT_EQ(way_->LoggedInBits() & kWayLoggedIn, 0u);
  const std::string reason = way_->RunOnThread([&] { return std::string(way_->LostReason()); });
  EXPECT_EQ(reason.rfind("NWTSC: ", 0), 0u) << reason;
  EXPECT_EQ(way_->SleepCountdown(), kDisconnectionSleepSeconds);
}

TEST_F(NodeWayTest, ALossOutsideASessionOnlyTellsOfIt) {
  struct Case {
    const char* label;
    bool direct;
    bool sound;
    bool verbose;
  };
  for (const Case& c : {Case{"plain", false, true, false}, Case{"direct, silent, verbose", true, false, true}}) {
    SCOPED_TRACE(c.label);
    way_->ClearRecords();
    ClearPlayedSounds();
    g_networkSettings.directAddress.store(c.direct);
    g_setupSettings.enableSoundOnPrivateMsg.store(c.sound ? 1 : 0);
    SetVerbose(c.verbose);
    SetOwnPublicAddress("127.0.0.1");
    LogIn();
    ASSERT_TRUE(server_->DropLink());
    ASSERT_TRUE(WaitDid("chat input off"));
    EXPECT_FALSE(way_->Traced("Connection to node lost."));
    EXPECT_EQ(g_hubListCountdown.load(), 0);
    EXPECT_TRUE(way_->Did("bitmap 0"));
    EXPECT_EQ(PlayedSounds().size(), c.sound ? 1u : 0u);
    EXPECT_EQ(OwnPublicAddress(), c.direct ? "" : "127.0.0.1") << "direct mode forgets the address";
    EXPECT_EQ(way_->Traced(" **** Disconnected from network ( "), c.verbose);
    EXPECT_EQ(way_->Traced(" **** Disconnected from network. **** "), !c.verbose);
  }
}

TEST_F(NodeWayTest, ALossDuringTheConnectOnlyEndsTheAttempt) {
  g_networkState.store(2);
  server_->SetAnswerLogins(false);
  Connect();
  ASSERT_TRUE(server_->WaitForFrames(1, kWaitMs));
  ASSERT_TRUE(way_->ConnectInProgress());
  ASSERT_TRUE(server_->DropLink());
  ASSERT_TRUE(WaitDid("chat input off"));
  EXPECT_FALSE(way_->ConnectInProgress());
  EXPECT_FALSE(way_->Traced("Disconnected from network"));
  EXPECT_FALSE(way_->Traced("Connection to node lost.")) << "the login was never accepted";
  const std::vector<DWORD> pauses = RecordedPauses();
  EXPECT_EQ(std::find(pauses.begin(), pauses.end(), kDisconnectionNoticePauseMs), pauses.end());
}

TEST_F(NodeWayTest, TheReasonTextIsReadInBoundedPieces) {
  struct Case {
    std::size_t length;
    std::vector<std::string> boxes;
  };
  SetVerbose(true);
  for (const Case& c : {Case{10'240, {}}, Case{25'000,
                                               {"_node_PULTXTa ( 25000 )", "_node_PULTXTa ( 14760 )",
                                                "_node_PULTXTb ( 4520 )"}}}) {
    SCOPED_TRACE(c.length);
    way_->ClearRecords();
    ClearShownMessageBoxes();
    std::string payload(c.length, 'r');
    payload.back() = 'Z';
    ASSERT_EQ(CBaseThread::PostData(nullptr, way_.get(), THRDMSG_DISCONNECTION, 0,
                                    static_cast<std::uint32_t>(payload.size()), payload.data(), "TEST"),
              1);
    ASSERT_TRUE(WaitDid("chat input off"));
    std::vector<std::string> boxes;
    for (const MessageBoxRecord& box : ShownMessageBoxes()) {
      EXPECT_EQ(box.title, "Warning");
      boxes.push_back(box.text);
    }
    EXPECT_EQ(boxes, c.boxes);
    const std::string kept = c.length > 10'240 ? payload.substr(payload.size() - 4'520) : payload;
    EXPECT_TRUE(way_->Traced(" **** Disconnected from network ( " + kept + " ). **** ")) << "kept whole";
  }
}

TEST_F(NodeWayTest, ALinkUpNoticeEndsAfterItsText) {
  const std::string text = "connected";
  ASSERT_EQ(CBaseThread::PostData(nullptr, way_.get(), THRDMSG_DISCONNECTION, 1,
                                  static_cast<std::uint32_t>(text.size()), text.data(), "TEST"),
            1);
  way_->RunOnThread([] { return 0; });
  EXPECT_TRUE(way_->Actions().empty());
  EXPECT_TRUE(way_->Lines().empty());
}

// ---- Cancel and logout ----

TEST_F(NodeWayTest, CancelStopsTheReconnectCycle) {
  g_networkState.store(2);
  g_hubListCountdown.store(40);
  g_hubRefreshCounter.store(120);
  g_reconnectCountdown.store(9);
  Post(THRDMSG_CANCEL);
  ASSERT_TRUE(WaitTraced(" Canceled."));
  EXPECT_EQ(way_->Find(" Canceled.").colour, kColourEmphasis);
  EXPECT_EQ(g_networkState.load(), 0u);
  EXPECT_EQ(g_hubListCountdown.load(), 0);
  EXPECT_EQ(g_hubRefreshCounter.load(), 0u);
  EXPECT_EQ(g_reconnectCountdown.load(), 0);
  EXPECT_TRUE(way_->Did("remove between {}"));
}

TEST_F(NodeWayTest, LogoutSendsTheIdentityAndClosesTheLink) {
  LogIn();
  const std::size_t before = server_->FrameCount();
  Post(THRDMSG_LOGOUT);
  const std::vector<Frame> frames = FramesAfter(before, 1);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].header.type, NCSMSG_LOGOUT);
  EXPECT_EQ(frames[0].header.subCode, 0);
  ASSERT_EQ(frames[0].body.size(), kIdentityBlockSize);
  IdentityBlock identity;
  ASSERT_EQ(ReadIdentityBlock(frames[0].body, identity), kNodeRecordOk);
  EXPECT_EQ(identity.peerKind, 'P');
  EXPECT_EQ(identity.callsign, "OWN001");
  EXPECT_EQ(identity.login, "pilot7");
  EXPECT_EQ(identity.passwordOrServer, "secret");
  EXPECT_EQ(identity.serverToken, 0x5A);
  EXPECT_EQ(identity.publicAddress, Address("127.0.0.1"));
  EXPECT_TRUE(server_->WaitForLinkEnd(kWaitMs));
  ASSERT_TRUE(WaitDid("chat input off"));
  EXPECT_EQ(way_->LoggedInBits(), 0u);
  const std::string reason = way_->RunOnThread([&] { return std::string(way_->LostReason()); });
  EXPECT_NE(reason.find("o_PMN"), std::string::npos) << reason;
  const std::vector<DWORD> pauses = RecordedPauses();
  const auto at = std::find(pauses.begin(), pauses.end(), kNodeShortPauseMs);
  ASSERT_NE(at, pauses.end());
  ASSERT_NE(at + 1, pauses.end());
  EXPECT_EQ(*(at + 1), kNodeLogoutSettleMs);
}

TEST_F(NodeWayTest, LogoutWithoutALinkAnnouncesNoLoss) {
  Post(THRDMSG_LOGOUT);
  way_->RunOnThread([] { return 0; });
  way_->RunOnThread([] { return 0; });
  EXPECT_EQ(server_->LinksAccepted(), 0u);
  EXPECT_TRUE(way_->Actions().empty());
  EXPECT_FALSE(way_->Traced("Disconnected from network"));
}

}  // namespace

namespace {

// A type-10 frame whose header announces 100 body bytes, and only 10 of them.
Bytes HalfFrame() { return Concat(Header(kNcsMsgTextAttributes, NCSUB_SETATTRIB, 0, 100), Bytes(10, 'a')); }

TEST_F(NodeWayTest, ABodyThatDoesNotFollowItsHeaderInTimeClosesTheLink) {
  LogIn();
  ASSERT_TRUE(server_->SendRaw(HalfFrame()));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
    return way_->RunOnThread([&] { return way_->Hunter().BodyBytesAwaited(); }) == 90u;
  }));
  EXPECT_TRUE(server_->Linked());
  AdvanceTickCountForTest(kReadBytesLimitMs);
  ASSERT_TRUE(server_->WaitForLinkEnd(kWaitMs));
  ASSERT_TRUE(WaitTraced(" **** Disconnected from network. **** "));
  EXPECT_NE(way_->RunOnThread([&] { return std::string(way_->LostReason()); }).find(kBodyTimeoutReason),
            std::string::npos);
}

// The node silent for long, or a fresh hub list: Connect over a link that is up.
TEST_F(NodeWayTest, AConnectOverALiveLinkStartsTheNewLinkCleanWithoutTheLossSequence) {
  g_networkState.store(2);
  LogIn();
  ASSERT_EQ(way_->LoggedInBits() & kWayLoggedIn, kWayLoggedIn);
  ASSERT_TRUE(server_->SendRaw(HalfFrame()));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
    return way_->RunOnThread([&] { return way_->Hunter().BodyBytesAwaited(); }) == 90u;
  }));
  server_->SetAnswerLogins(false);
  way_->ClearRecords();
  const std::size_t pausesBefore = RecordedPauses().size();

  Connect();
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return FramesOfType(NCSMSG_LOGIN).size() == 2; }));
  EXPECT_EQ(server_->LinksAccepted(), 2u);
  EXPECT_EQ(way_->LoggedInBits() & kWayLoggedIn, 0u) << "the gate waits for the new link's acknowledgement";
  EXPECT_FALSE(way_->LoginAccepted());
  // The new link's first frame is read as a frame, not as the old body's rest.
  ASSERT_TRUE(server_->SendTest(1));
  ASSERT_TRUE(WaitTraced("System Test SYSTEST_0001"));
  EXPECT_EQ(way_->RunOnThread([&] { return way_->Hunter().BodyBytesAwaited(); }), 0u);
  EXPECT_TRUE(way_->IsConnected());
  EXPECT_FALSE(way_->Traced("Connection to node lost"));
  EXPECT_FALSE(way_->Traced("Disconnected from network"));
  EXPECT_EQ(g_hubListCountdown.load(), 0);
  EXPECT_EQ(way_->RunOnThread([&] { return way_->SleepCountdown(); }), 0);
  const std::vector<DWORD> pauses = RecordedPauses();
  EXPECT_EQ(std::count(pauses.begin() + static_cast<std::ptrdiff_t>(pausesBefore), pauses.end(),
                       kDisconnectionNoticePauseMs),
            0);
}

}  // namespace
