// The controller link over real loopback sockets against the scripted
// controller: the login both ways, each record he sends, his own callsign
// as the only one he acts on, the hand-off's announced sizes, the test
// message's bound, the refusals and his leaving.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "core/flight_plan.h"
#include "core/nearest_airport.h"
#include "core/own_aircraft_state.h"
#include "net/compressed_record.h"
#include "net/controller_hooks.h"
#include "net/controller_link.h"
#include "net/controller_records.h"
#include "net/controller_state.h"
#include "net/frame_codes.h"
#include "net/own_aircraft_report.h"
#include "net/pilot_records.h"
#include "net/sim_info_items.h"
#include "controller_way_fixture.h"
#include "testbed/controller_peer.h"

namespace {

TEST_F(ControllerWayTest, AControllerWhoCallsIsAnsweredAndKeptInHisRecord) {
  StartWays(1);
  auto peer = CallAndLogIn(Tower(), 0);
  EXPECT_TRUE(WaitForLine(0, "Controller LFPG_TWR is in range."));
  // The own plan follows the answer.
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_FLIGHT_PLAN, 1, kWaitMs));
  const auto plan = peer->LastRecord(NCSUB_FLIGHT_PLAN);
  ASSERT_TRUE(plan.has_value());
  ASSERT_EQ(plan->size(), kFlightPlanPacketSize);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(plan->data() + 8)), "OWN001");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(plan->data() + 24 + 96)), "LFPG");
  const auto ack = peer->LastRecord(NCSUB_LOGIN_ACK);
  ASSERT_TRUE(ack.has_value());
  EXPECT_EQ(ack->size(), kLoginRecordSize);

  const WayRecord record = RecordOf(0);
  EXPECT_EQ(record.peerKind, 'A');
  EXPECT_STREQ(record.callsign.data(), "LFPG_TWR");
  EXPECT_STREQ(record.peerLogin.data(), "atc1");
  EXPECT_STREQ(record.serverName.data(), "NODE-1");
  EXPECT_STREQ(record.firstName.data(), "Bea");
  EXPECT_STREQ(record.lastName.data(), "Tower");
  EXPECT_EQ(record.controller.loginDirection, 0);
  EXPECT_EQ(record.controller.rating, 4);
  EXPECT_EQ(record.controller.frequencyMhz, 118);
  EXPECT_EQ(record.controller.frequencyKhz, 250);
  EXPECT_STREQ(record.controller.frequency.data(), "118.250");
  EXPECT_STREQ(record.frequencyA.data(), "118.250");
  EXPECT_EQ(record.controller.rangeNm, 40);
  EXPECT_EQ(GetU32(record.controller.field16.data() + 12), 0x44444444u);
  EXPECT_EQ(record.controller.transitionAltitudeFeet, 5'000u);
  EXPECT_STREQ(record.controller.secondText.data(), "Paris Tower");
  EXPECT_STREQ(record.atisText.data(), "Information A, runway 27, wind 270/10");
  EXPECT_EQ(record.voiceFlags & (kWayListensOnA | kWayListensOnB), kWayListensOnA);
  EXPECT_EQ(TransitionAltitudeFeet(), 5'000u);
  EXPECT_EQ(ControllerCount(), 1);
  EXPECT_GE(calls_->rebuilds.load(), 1);
}

TEST_F(ControllerWayTest, TheClientCallsAControllerWhoAnswersItsLogin) {
  StartWays(1);
  ControllerPeer peer(Tower("EGLL_APP"));
  const std::uint16_t port = peer.Listen();
  ASSERT_NE(port, 0);
  {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay("EGLL_APP"), 0);
    PeerWayRecord(0)->peerKind = 'A';
  }
  Way(0).SetPeerKind('A');
  ASSERT_EQ(Way(0).RunOnThread([&] { return Way(0).ConnectWay("127.0.0.1", port); }), 0);
  ASSERT_TRUE(peer.WaitForCall(kWaitMs));
  CBaseThread::Post(nullptr, &Way(0), THRDMSG_CONNECT, 0, 0, "TEST");
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_LOGIN, 1, kWaitMs));
  const auto login = peer.LastRecord(NCSUB_LOGIN);
  ASSERT_TRUE(login.has_value());
  ASSERT_EQ(login->size(), kLoginRecordSize);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(login->data() + 80)), "OWN001");
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_FLIGHT_PLAN, 1, kWaitMs));
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return (Bits(0) & kWayLoggedIn) != 0; }));
  const WayRecord record = RecordOf(0);
  EXPECT_STREQ(record.callsign.data(), "EGLL_APP");
  EXPECT_EQ(record.controller.loginDirection, 1);
  EXPECT_STREQ(record.controller.frequency.data(), "118.250");
  // An answer is not answered again.
  EXPECT_EQ(peer.CountOf(NCSUB_LOGIN_ACK), 0u);
  EXPECT_TRUE(WaitForLine(0, "Controller EGLL_APP is in range."));
}

TEST_F(ControllerWayTest, ALoginWithTheTextsUnterminatedKeepsEachTextWithinItsField) {
  StartWays(1);
  ControllerPeer peer(Tower());
  ASSERT_TRUE(peer.Connect(ListeningPort()));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(0).IsConnected(); }));
  AtcLoginRecordBytes bytes = WriteAtcLoginRecord(peer.LoginRecordToSend());
  // The ATIS and the second text filled to their last byte.
  std::fill_n(bytes.begin() + kIdentityBlockSize + 40, kAtcAtisTextSize + kAtcSecondTextSize, 'Q');
  ASSERT_TRUE(peer.SendPacked(NCSUB_LOGIN, bytes));
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_LOGIN_ACK, 1, kWaitMs));
  const WayRecord record = RecordOf(0);
  EXPECT_EQ(::strnlen(record.atisText.data(), record.atisText.size()), kAtcAtisTextSize - 1);
  EXPECT_EQ(::strnlen(record.controller.secondText.data(), record.controller.secondText.size()),
            kAtcSecondTextSize - 1);
}

TEST_F(ControllerWayTest, ALowTransitionAltitudeLeavesTheDefault) {
  const struct {
    std::uint32_t given;
    std::uint32_t used;
  } cases[] = {{3'000, 18'000}, {3'999, 18'000}, {4'000, 4'000}, {6'000, 6'000}};
  for (const auto& c : cases) {
    SetTransitionAltitudeFromController(c.given);
    EXPECT_EQ(TransitionAltitudeFeet(), c.used) << c.given;
  }
}

TEST_F(ControllerWayTest, AStripPrintsItsInstructionsWithFlightLevelsFromTheTransitionAltitude) {
  const struct {
    std::uint32_t transition;
    std::uint16_t altitude;
    const char* printed;
  } cases[] = {
      {3'000, 18'000, "FL180"},  // 3,000 ft given: 18,000 ft applies
      {3'000, 17'000, "17000"},
      {5'000, 5'000, "FL50"},    // exactly at the transition altitude
      {5'000, 4'900, "4900"},
  };
  StartWays(1);
  for (const auto& c : cases) {
    ControllerPeerScript script = Tower();
    script.transitionAltitudeFeet = c.transition;
    auto peer = CallAndLogIn(script, 0);
    FlightStrip strip;
    strip.callsign = "OWN001";
    strip.controller = "LFPG_TWR";
    strip.waypoint = "RESMI";
    strip.kind = kStripInstructions;
    strip.heading = 270;
    strip.altitudeFeet = c.altitude;
    strip.minimumSpeed = 180;
    strip.maximumSpeed = 220;
    strip.transponder = 4721;
    ASSERT_TRUE(peer->SendStrip(strip));
    const std::string line = std::string("Flight strip from LFPG_TWR : Waypoint RESMI   Heading 270 \xB0   Altitude ") +
                             c.printed + "   Speed restricted to 180..220 Kts   Transponder 4721";
    EXPECT_TRUE(WaitForLine(0, line)) << c.printed;
    EXPECT_TRUE(TakeFlightStripArrived());
    const auto held = HeldFlightStrip();
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(held->controller.stripAltitudeFeet, c.altitude);
    EXPECT_STREQ(held->controller.stripWaypoint.data(), "RESMI");
    peer->SendLogout();
    ASSERT_TRUE(WaitFree(0));
    peer->Close();
  }
}

TEST_F(ControllerWayTest, AStripOfKindZeroPrintsOnlyTheResumeLineAndIsEchoedAsHeld) {
  StartWays(2);
  auto peer = CallAndLogIn(Tower(), 0);
  FlightStrip strip;
  strip.callsign = "OWN001";
  strip.controller = "LFPG_TWR";
  strip.waypoint = "NOTSHOWN";
  strip.kind = 0;
  ASSERT_TRUE(peer->SendStrip(strip));
  EXPECT_TRUE(WaitForLine(0, "[LFPG_TWR] : Resume your own navigation."));
  EXPECT_TRUE(TakeFlightStripArrived());
  for (const std::string& line : Way(0).Lines()) EXPECT_EQ(line.find("NOTSHOWN"), std::string::npos) << line;
  EXPECT_FALSE(HoldsInstructionStrip());
  // The own echo carries the own callsign and the held strip.
  CBaseThread::Post(nullptr, &Way(0), THRDMSG_FLIGHT_STRIP, 0, 0, "TEST");
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_FLIGHT_STRIP, 1, kWaitMs));
  const auto echoed = peer->LastRecord(NCSUB_FLIGHT_STRIP);
  ASSERT_TRUE(echoed.has_value());
  ASSERT_EQ(echoed->size(), kFlightStripSize);
  const FlightStrip back = ReadFlightStrip(std::span<const std::uint8_t, kFlightStripSize>(echoed->data(), kFlightStripSize));
  EXPECT_EQ(back.callsign, "OWN001");
  EXPECT_EQ(back.controller, "LFPG_TWR");
  EXPECT_EQ(back.kind, 0) << "told to resume his own navigation, not given instructions";
  // A controller who logs in afterwards hears of it too.
  auto approach = CallAndLogIn(Tower("LFPG_APP"), 1);
  ASSERT_TRUE(approach->WaitForCountOf(NCSUB_FLIGHT_STRIP, 1, kWaitMs));
  const auto told = approach->LastRecord(NCSUB_FLIGHT_STRIP);
  ASSERT_TRUE(told.has_value() && told->size() == kFlightStripSize);
  EXPECT_EQ(ReadFlightStrip(std::span<const std::uint8_t, kFlightStripSize>(told->data(), kFlightStripSize)).kind, 0);
}

TEST_F(ControllerWayTest, AControllerWhoComesLaterIsSentTheHeldInstructions) {
  StartWays(3);
  auto tower = CallAndLogIn(Tower("LFPG_TWR"), 0);
  FlightStrip strip;
  strip.callsign = "OWN001";
  strip.controller = "LFPG_TWR";
  strip.waypoint = "RESMI";
  strip.kind = kStripInstructions;
  strip.heading = 90;
  strip.altitudeFeet = 6'000;
  strip.transponder = 4721;
  ASSERT_TRUE(tower->SendStrip(strip));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [] { return HoldsInstructionStrip(); }));
  const auto instructions = [](const ControllerPeer& peer) {
    const auto echoed = peer.LastRecord(NCSUB_FLIGHT_STRIP);
    if (!echoed || echoed->size() != kFlightStripSize) return FlightStrip{};
    return ReadFlightStrip(std::span<const std::uint8_t, kFlightStripSize>(echoed->data(), kFlightStripSize));
  };

  // He calls and logs in: the answer, the plan and the strip.
  auto approach = CallAndLogIn(Tower("LFPG_APP"), 1);
  ASSERT_TRUE(approach->WaitForCountOf(NCSUB_FLIGHT_STRIP, 1, kWaitMs));
  EXPECT_EQ(instructions(*approach).controller, "LFPG_TWR");
  EXPECT_EQ(instructions(*approach).waypoint, "RESMI");
  EXPECT_EQ(instructions(*approach).kind, kStripInstructions);

  // The client calls him: the login, the plan and the strip.
  ControllerPeer centre(Tower("LFFF_CTR"));
  const std::uint16_t port = centre.Listen();
  ASSERT_NE(port, 0);
  {
    WayTableGuard guard;
    ASSERT_EQ(AllocatePeerWay("LFFF_CTR"), 2);
    PeerWayRecord(2)->peerKind = 'A';
  }
  Way(2).SetPeerKind('A');
  ASSERT_EQ(Way(2).RunOnThread([&] { return Way(2).ConnectWay("127.0.0.1", port); }), 0);
  ASSERT_TRUE(centre.WaitForCall(kWaitMs));
  CBaseThread::Post(nullptr, &Way(2), THRDMSG_CONNECT, 0, 0, "TEST");
  ASSERT_TRUE(centre.WaitForCountOf(NCSUB_FLIGHT_STRIP, 1, kWaitMs));
  EXPECT_EQ(instructions(centre).controller, "LFPG_TWR");
  EXPECT_EQ(instructions(centre).heading, 90);
  EXPECT_EQ(instructions(centre).transponder, 4721);
}

TEST_F(ControllerWayTest, AControllerActsOnlyOnRecordsThatNameHimself) {
  StartWays(2);
  auto tower = CallAndLogIn(Tower("LFPG_TWR"), 0);
  auto ground = CallAndLogIn(Tower("LFPG_GND"), 1);
  // The tower speaks for the ground controller: nothing changes.
  ASSERT_TRUE(tower->SendAtis("FORGED", "LFPG_GND"));
  ASSERT_TRUE(tower->SendWeather("LFPO", "FORGED", "LFPG_GND"));
  ASSERT_TRUE(tower->SendRate(9, "LFPG_GND"));
  FlightStrip strip;
  strip.controller = "LFPG_GND";
  strip.kind = 0;
  ASSERT_TRUE(tower->SendStrip(strip));
  AmendedFlightPlan amended;
  amended.controller = "LFPG_GND";
  amended.transponder = 7700;
  ASSERT_TRUE(tower->SendAmendedPlan(amended));
  ASSERT_TRUE(tower->SendOutOfRange("LFPG_GND"));
  ASSERT_TRUE(tower->SendHeartbeat());
  // The same records in his own name act (the ATIS last: its line ends the wait).
  ASSERT_TRUE(tower->SendRate(3));
  ASSERT_TRUE(tower->SendAtis("Information B"));
  ASSERT_TRUE(WaitForLine(0, "Controller LFPG_TWR has set a new ATIS"));
  const WayRecord groundRecord = RecordOf(1);
  const WayRecord towerRecord = RecordOf(0);
  EXPECT_STREQ(groundRecord.atisText.data(), "Information A, runway 27, wind 270/10");
  EXPECT_EQ(groundRecord.controller.bitrateDivider, 0);
  EXPECT_EQ(groundRecord.controller.weatherIcao[0], '\0');
  EXPECT_STREQ(towerRecord.atisText.data(), "Information B");
  EXPECT_EQ(towerRecord.controller.bitrateDivider, 3);
  EXPECT_EQ(towerRecord.controllerReportInterval, 3);
  EXPECT_FALSE(FlightStripArrived());
  EXPECT_FALSE(TakeFlightPlanAmendment().has_value());
  EXPECT_TRUE(Way(1).IsConnected());
  EXPECT_TRUE(Way(0).IsConnected());
  for (const std::string& line : Way(0).Lines()) EXPECT_EQ(line.find("LFPG_GND"), std::string::npos) << line;
}

TEST_F(ControllerWayTest, WeatherIsKeptAndShownOrGivenUp) {
  StartWays(1);
  auto peer = CallAndLogIn(Tower(), 0);
  ASSERT_TRUE(peer->SendWeather("LFPG", "LFPG 101200Z 27010KT CAVOK 15/05 Q1015"));
  ASSERT_TRUE(WaitForLine(0, "LFPG_TWR has set a new local weather for LFPG"));
  EXPECT_STREQ(RecordOf(0).controller.weatherIcao.data(), "LFPG");
  {
    std::lock_guard lock(calls_->mutex);
    EXPECT_EQ(calls_->weather, "LFPG LFPG 101200Z 27010KT CAVOK 15/05 Q1015");
  }
  ASSERT_TRUE(peer->SendWeather("", ""));
  ASSERT_TRUE(WaitForLine(0, "LFPG_TWR does no longer control local weather."));
  EXPECT_EQ(RecordOf(0).controller.weatherIcao[0], '\0');
}

TEST_F(ControllerWayTest, AnAmendedPlanGoesToTheFormUntouched) {
  StartWays(1);
  auto peer = CallAndLogIn(Tower(), 0);
  const FlightPlanRecord own = CurrentFlightPlan();
  FlightPlanRecord plan = ClearedFlightPlan();
  SetPlanText(plan.flightType, "V");
  SetPlanText(plan.altitude, "FL090");
  SetPlanText(plan.destination, "EHAM");
  SetPlanText(plan.aircraftType, "A320");
  plan.cruiseSpeed = 2001;  // the form's checks, not the way, judge it
  AmendedFlightPlan amended;
  amended.controller = "LFPG_TWR";
  amended.transponder = 4721;
  amended.plan = WriteFlightPlanRecord(plan);
  ASSERT_TRUE(peer->SendAmendedPlan(amended));
  std::optional<FlightPlanAmendment> posted;
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
    posted = TakeFlightPlanAmendment();
    return posted.has_value();
  }));
  EXPECT_EQ(posted->plan, plan);
  EXPECT_EQ(posted->controller, "LFPG_TWR");
  EXPECT_EQ(posted->transponder, 4721);
  // Nothing is said or changed before the form has checked it.
  EXPECT_EQ(CurrentFlightPlan(), own);
  ASSERT_TRUE(peer->SendAtis("end"));
  ASSERT_TRUE(WaitForLine(0, "Controller LFPG_TWR has set a new ATIS"));
  for (const std::string& line : Way(0).Lines()) EXPECT_EQ(line.find("amended"), std::string::npos) << line;
}

TEST_F(ControllerWayTest, AHandOffOfAnySizeFrom40To120NamesTheNextControllerAndHisFrequency) {
  StartWays(2);
  auto tower = CallAndLogIn(Tower("LFPG_TWR"), 0);
  ControllerPeerScript approach = Tower("LFPG_APP");
  approach.frequencyMhz = 121;
  approach.frequencyKhz = 150;
  auto app = CallAndLogIn(approach, 1);
  for (const std::size_t size : {std::size_t{40}, std::size_t{64}, std::size_t{120}}) {
    const std::size_t before = Way(0).Lines().size();
    ASSERT_TRUE(tower->SendHandOff("LFPG_APP", size));
    // The tuning line is written in two pieces: wait for its frequency.
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
      const auto lines = Way(0).Lines();
      return lines.size() >= before + 2 && lines[before + 1].find("Mhz") != std::string::npos;
    })) << size;
    const auto lines = Way(0).Lines();
    EXPECT_EQ(lines[before], "[LFPG_TWR] : Hand-off to LFPG_APP  on 121.150 Mhz") << size;
    EXPECT_EQ(lines[before + 1], "Please tune 121.150 Mhz") << size;
  }
  EXPECT_TRUE(Way(0).IsConnected());
}

TEST_F(ControllerWayTest, AHandOffNamingNobodyOrFromAnotherControllerPrintsNothing) {
  StartWays(2);
  auto tower = CallAndLogIn(Tower("LFPG_TWR"), 0);
  auto app = CallAndLogIn(Tower("LFPG_APP"), 1);
  ASSERT_TRUE(tower->SendHandOff("EGLL_CTR"));                // no way
  ASSERT_TRUE(tower->SendHandOff("LFPG_TWR", 40, "LFPG_APP"));  // not his own
  ASSERT_TRUE(tower->SendAtis("end"));
  ASSERT_TRUE(WaitForLine(0, "Controller LFPG_TWR has set a new ATIS"));
  for (const std::string& line : Way(0).Lines()) EXPECT_EQ(line.find("Hand-off"), std::string::npos) << line;
}

TEST_F(ControllerWayTest, AHandOffAnnouncedOutsideItsSizesClosesTheLink) {
  for (const std::size_t size : {std::size_t{39}, std::size_t{121}, std::size_t{856}}) {
    StartWays(1);
    auto tower = CallAndLogIn(Tower(), 0);
    ASSERT_TRUE(tower->SendHandOff("LFPG_APP", size));
    EXPECT_TRUE(tower->WaitForClose(kWaitMs)) << size;
    TearDown();
    SetUp();
  }
}

TEST_F(ControllerWayTest, RecordsBeforeTheLoginCloseTheLink) {
  const std::uint8_t refused[] = {NCSUB_ATIS, NCSUB_LOGOUT, NCSUB_FLIGHT_STRIP, NCSUB_A2P_MSG_RATE};
  for (const std::uint8_t sub : refused) {
    StartWays(1);
    ControllerPeer peer(Tower());
    ASSERT_TRUE(peer.Connect(ListeningPort()));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(0).IsConnected(); }));
    ASSERT_TRUE(peer.SendPlain(NCSUB_HEARTBEAT, {}));  // allowed before the login
    ASSERT_TRUE(peer.SendPlain(sub, WriteMessageRateRecord({"LFPG_TWR", 1})));
    EXPECT_TRUE(peer.WaitForClose(kWaitMs)) << int(sub);
    EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
      for (const std::string& line : Way(0).Lines()) {
        if (line.find("RxAtcNL") != std::string::npos) return true;
      }
      return false;
    })) << int(sub);
    TearDown();
    SetUp();
  }
}

TEST_F(ControllerWayTest, AnUnknownRecordIsNamedAndClosesTheLink) {
  StartWays(1);
  auto peer = CallAndLogIn(Tower(), 0);
  const std::array<std::uint8_t, 4> body = {1, 2, 3, 4};
  ASSERT_TRUE(peer->SendPlain(77, body));
  EXPECT_TRUE(peer->WaitForClose(kWaitMs));
  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
    for (const std::string& line : Way(0).Lines()) {
      if (line.find("Rx NCSMSG_ATC_XXX = 104 / 77") != std::string::npos) return true;
    }
    return false;
  }));
  // The heartbeat and the hand-off are served without such a line.
  for (const std::string& line : Way(0).Lines()) {
    EXPECT_EQ(line.find("= 104 / 52"), std::string::npos) << line;
  }
}

TEST_F(ControllerWayTest, TheVerboseTraceNamesEveryFrame) {
  Klib().traceMask.store(kControllerVerboseFlag);
  StartWays(2);
  auto peer = CallAndLogIn(Tower(), 0);
  ASSERT_TRUE(peer->SendHeartbeat());
  ASSERT_TRUE(peer->SendRate(4));
  ASSERT_TRUE(peer->SendAtis("Information C"));
  ASSERT_TRUE(WaitForLine(0, "Controller LFPG_TWR has set a new ATIS"));
  CBaseThread::Post(nullptr, &Way(0), THRDMSG_NODE_PILOT, NCSUB_POSITION_REPORT, 0, "TEST");
  CBaseThread::Post(nullptr, &Way(0), THRDMSG_FLIGHT_STRIP, 0, 0, "TEST");
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_FLIGHT_STRIP, 1, kWaitMs));
  // A second controller under the same callsign is not logged in.
  ControllerPeer twin(Tower());
  ASSERT_TRUE(twin.Connect(ListeningPort()));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(1).IsConnected(); }));
  ASSERT_TRUE(twin.SendLogin());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
    for (const std::string& line : Way(1).Lines()) {
      if (line.find("ATCLGI LFPG_TWR RetLog = 0, Cmd 0") != std::string::npos) return true;
    }
    return false;
  }));
  Way(0).Drain();
  const char* named[] = {"ARx NCSUB_LOGIN", "Tx NCSUB_LOGIN_ACK", "Tx NCSUB_FLIGHT_PLAN", "Rx NCSMSG_ATC = ( 52 )",
                         "ARx NCSUB_A2P_MSG_RATE", "Way 0 : (from LFPG_TWR) BitrateDivider = 4", "ARx NCSUB_ATIS",
                         "Tx NCSUB_P2A_XXX = 70", "Tx NCSUB_FLIGHT_STRIP"};
  const std::vector<std::string> lines = Way(0).Lines();
  for (const char* part : named) {
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& line) { return line.find(part) != std::string::npos; }))
        << part;
  }
  EXPECT_EQ(twin.CountOf(NCSUB_LOGIN_ACK), 0u);
  Klib().traceMask.store(0);
}

TEST_F(ControllerWayTest, TheTestMessagePrintsAtMost128BytesOfItsData) {
  const struct {
    std::size_t length;
    std::size_t printed;
  } cases[] = {{5, 5}, {128, 128}, {300, 128}};
  StartWays(1);
  auto peer = CallAndLogIn(Tower(), 0);
  for (const auto& c : cases) {
    std::vector<char> data(c.length, 'x');  // no terminator anywhere
    const std::size_t before = Way(0).Lines().size();
    CBaseThread::PostData(nullptr, &Way(0), THRDMSG_WAY_TEST, 0, static_cast<std::uint32_t>(data.size()),
                          data.data(), "TEST");
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(0).Lines().size() > before; }));
    const std::string line = Way(0).Lines()[before];
    const auto start = line.find("AMSG_TESTING ");
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(line.substr(start + 13), std::string(c.printed, 'x') + ".") << c.length;
  }
}

TEST_F(ControllerWayTest, APostedPositionReportGoesOutAsGivenAndAnEmptyPostSendsTheOwnOne) {
  StartWays(1);
  auto peer = CallAndLogIn(Tower(), 0);
  AtcPositionReport report;
  report.altitudeFeet = 5'500;
  report.speedKnots = 140;
  report.trueHeading = 93;
  report.latitude = 48.9;
  report.longitude = 2.7;
  report.onGround = 0;
  const AtcPositionReportBytes bytes = WriteAtcPositionReport(report);
  CBaseThread::PostData(nullptr, &Way(0), THRDMSG_NODE_PILOT, NCSUB_POSITION_REPORT, bytes.size(), bytes.data(), "TEST");
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_POSITION_REPORT, 1, kWaitMs));
  const auto sent = peer->LastRecord(NCSUB_POSITION_REPORT);
  ASSERT_TRUE(sent.has_value());
  EXPECT_TRUE(std::equal(sent->begin(), sent->end(), bytes.begin(), bytes.end()));
  // As the half-second duty posts it: no data, the own aircraft's report.
  CBaseThread::Post(nullptr, &Way(0), THRDMSG_NODE_PILOT, NCSUB_POSITION_REPORT, 0, "TEST");
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_POSITION_REPORT, 2, kWaitMs));
  const auto own = peer->LastRecord(NCSUB_POSITION_REPORT);
  ASSERT_TRUE(own.has_value());
  ASSERT_EQ(own->size(), kAtcPositionReportSize);
  const AtcPositionReport back = ReadAtcPositionReport(std::span<const std::uint8_t, kAtcPositionReportSize>(own->data(), kAtcPositionReportSize));
  const OwnAircraftSnapshot snapshot = g_ownAircraft().Snapshot();
  EXPECT_EQ(back.latitude, snapshot.flight.latitude);
  EXPECT_EQ(back.longitude, snapshot.flight.longitude);
  EXPECT_EQ(back.onGround, snapshot.working.onGround != 0 ? 1 : 0);
}

TEST_F(ControllerWayTest, TheChangedItemsOfAPostedMaskGoOutOneFrameEach) {
  StartWays(1);
  auto peer = CallAndLogIn(Tower(), 0);
  // As the own-aircraft poll posts them: the mask in the third word, no data.
  CBaseThread::Post(nullptr, &Way(0), THRDMSG_NODE_PILOT, NCSUB_PILOT_CHANGES,
                    kSimInfoOnGround | kSimInfoTransponder, "TEST");
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_PILOT_CHANGES, 2, kWaitMs));
  const OwnAircraftReport own = ReportOwnAircraft(g_ownAircraft().Snapshot(), CurrentNearestAirport());
  std::vector<std::vector<std::uint8_t>> bodies;
  for (const Frame& frame : peer->Frames()) {
    if (frame.header.type == NCSMSG_ATC && frame.header.subCode == NCSUB_PILOT_CHANGES) bodies.push_back(frame.body);
  }
  ASSERT_EQ(bodies.size(), 2u);
  EXPECT_EQ(bodies[0], (std::vector<std::uint8_t>{1, static_cast<std::uint8_t>(own.onGround ? 1 : 0)}));
  EXPECT_EQ(bodies[1], (std::vector<std::uint8_t>{3, static_cast<std::uint8_t>(own.transponderCode & 0xFF),
                                                  static_cast<std::uint8_t>(own.transponderCode >> 8)}));
}

TEST_F(ControllerWayTest, HeLeavesByClosingHisPositionGoingOutOfRangeOrDropping) {
  const struct {
    int how;  // 0 logout, 1 out of range, 2 drop
    std::vector<std::string> notices;
  } cases[] = {
      {0, {"Controller LFPG_TWR has closed his position.", "Controller LFPG_TWR has left."}},
      {1, {"Controller LFPG_TWR is out of range.", "Controller LFPG_TWR has left."}},
      {2, {"Controller LFPG_TWR has dropped."}},
  };
  for (const auto& c : cases) {
    StartWays(1);
    auto peer = CallAndLogIn(Tower(), 0);
    const int rebuilds = calls_->rebuilds.load();
    if (c.how == 0) peer->SendLogout();
    if (c.how == 1) peer->SendOutOfRange();
    if (c.how == 2) peer->Drop();
    EXPECT_TRUE(WaitForLine(0, c.notices.back())) << c.how;
    EXPECT_TRUE(WaitFree(0)) << c.how;
    EXPECT_GT(calls_->rebuilds.load(), rebuilds);
    // His own notice, then the way's one of his leaving; each once.
    std::vector<std::string> notices;
    for (const std::string& line : Way(0).Lines()) {
      if (line.rfind("Controller LFPG_TWR has", 0) == 0 || line.rfind("Controller LFPG_TWR is out", 0) == 0) {
        notices.push_back(line);
      }
    }
    EXPECT_EQ(notices, c.notices) << c.how;
    TearDown();
    SetUp();
  }
}

TEST_F(ControllerWayTest, TheOpenTunnelIsAnsweredWithTheLoginAndHeartbeatsGoBothWays) {
  StartWays(1);
  ControllerPeer peer(Tower());
  ASSERT_TRUE(peer.Connect(ListeningPort()));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(0).IsConnected(); }));
  // Not logged in yet: no heartbeat goes out.
  CBaseThread::Post(nullptr, &Way(0), THRDMSG_HEARTBEAT, 0, 0, "TEST");
  ASSERT_TRUE(peer.SendStartTunnel());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_LOGIN, 1, kWaitMs));
  const auto login = peer.LastRecord(NCSUB_LOGIN);
  ASSERT_TRUE(login.has_value());
  EXPECT_EQ(login->size(), kLoginRecordSize);
  EXPECT_EQ(peer.CountOf(NCSUB_HEARTBEAT), 0u);

  ASSERT_TRUE(peer.SendLoginAck());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return (Bits(0) & kWayLoggedIn) != 0; }));
  {
    WayTableGuard guard;
    PeerWayRecord(0)->controller.heartbeatCounter = 7;
  }
  ASSERT_TRUE(peer.SendHeartbeat());
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return RecordOf(0).controller.heartbeatCounter == 0; }));
  CBaseThread::Post(nullptr, &Way(0), THRDMSG_HEARTBEAT, 0, 0, "TEST");
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_HEARTBEAT, 1, kWaitMs));
  EXPECT_TRUE(Way(0).IsConnected());
}

TEST_F(ControllerWayTest, TheClientLogsOutOfAController) {
  StartWays(1);
  auto peer = CallAndLogIn(Tower(), 0);
  CBaseThread::Post(nullptr, &Way(0), THRDMSG_LOGOUT, 0, 0, "TEST");
  ASSERT_TRUE(peer->WaitForCountOf(NCSUB_LOGOUT, 1, kWaitMs));
  EXPECT_TRUE(peer->WaitForClose(kWaitMs));
  EXPECT_EQ(Bits(0) & kWayLoggedIn, 0u);
}

TEST_F(ControllerWayTest, ALogoutToAControllerWayWhoseLinkIsDownDoesNothing) {
  StartWays(1);
  Way(0).SetPeerKind('A');
  Way(0).RunOnThread([&] {
    Way(0).SetLoggedInBits(kWayLoggedIn);
    return 0;
  });
  const std::size_t pauses = RecordedPauses().size();
  CBaseThread::Post(nullptr, &Way(0), THRDMSG_LOGOUT, 0, 0, "TEST");
  // Twice: a close would post its disconnection behind the first call.
  Way(0).Drain();
  Way(0).Drain();
  EXPECT_EQ(RecordedPauses().size(), pauses) << "no settling pause, no disconnection";
  EXPECT_EQ(Bits(0), kWayLoggedIn) << "nothing of the way was touched";
  EXPECT_EQ(std::string(Way(0).LostReason()).find("o_PMA"), std::string::npos) << Way(0).LostReason();
}

}  // namespace
