// The add-on link on a peer way, against the add-on stand-in over loopback:
// its login, its kinds, the own values and the pilot lists it is answered,
// and the frames that end its link.
#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "addon_way_fixture.h"
#include "support/child_process.h"
#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "net/addon_link.h"
#include "net/addon_records.h"
#include "net/frame_codes.h"

namespace {

std::uint32_t Address(const char* dotted) {
  in_addr address{};
  inet_pton(AF_INET, dotted, &address);
  return address.s_addr;
}

std::uint32_t U32(std::span<const std::uint8_t> bytes, std::size_t offset) { return GetU32(bytes.data() + offset); }

float F32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return std::bit_cast<float>(U32(bytes, offset));
}

double F64(std::span<const std::uint8_t> bytes, std::size_t offset) {
  std::uint64_t value = 0;
  for (int i = 0; i < 8; ++i) value |= static_cast<std::uint64_t>(bytes[offset + i]) << (8 * i);
  return std::bit_cast<double>(value);
}

std::string Text(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t size) {
  const auto* text = reinterpret_cast<const char*>(bytes.data() + offset);
  return std::string(text, ::strnlen(text, size));
}

std::uint32_t SyncOf(const AddonAnswer& answer) {
  return (std::uint32_t{answer.bytes[0]} << 24) | (std::uint32_t{answer.bytes[1]} << 16) |
         (std::uint32_t{answer.bytes[2]} << 8) | answer.bytes[3];
}

// ---- The records alone ----

TEST(AddonRecords, LoginTextsEndInTheirFieldsAndTheNameLosesItsLastByte) {
  AddonLoginBytes bytes{};
  bytes[8] = 3;
  bytes[9] = 4;
  bytes[10] = 5;
  bytes[11] = 'c';
  std::fill_n(bytes.begin() + 16, 16, 'A');  // no terminator within the field
  std::fill_n(bytes.begin() + 32, 16, 'B');
  std::fill_n(bytes.begin() + 48, 32, 'N');
  const AddonLogin login = ReadAddonLogin(bytes);
  EXPECT_EQ(login.version, (std::array<std::uint8_t, 4>{3, 4, 5, 'c'}));
  EXPECT_EQ(login.textA, std::string(16, 'A'));
  EXPECT_EQ(login.textB, std::string(16, 'B'));
  EXPECT_EQ(login.name, std::string(31, 'N'));
}

TEST(AddonRecords, DynamicsRequestCallsignEndsInItsField) {
  std::array<std::uint8_t, kAddonDynamicsRequestSize> bytes{};
  std::fill(bytes.begin(), bytes.end(), 'Q');
  EXPECT_EQ(ReadAddonDynamicsCallsign(bytes), std::string(24, 'Q'));
  bytes.fill(0);
  EXPECT_EQ(ReadAddonDynamicsCallsign(bytes), "");
}

TEST(AddonRecords, OwnValuesFollowTheKinds) {
  OwnFlightData flight;
  flight.speed2 = 121.0;
  flight.speed1Knots = 133.0;
  flight.valueM = 0.25;
  flight.trueHeading = 90.0;
  flight.heading2 = 97.0;
  flight.altitudeFeet = 4500.0;
  struct Case {
    std::uint8_t speedKind;
    std::uint8_t headingKind;
    float speed;
    float heading;
  };
  for (const Case& c : {Case{kAddonSpeedIndicated, kAddonHeadingMagnetic, 121.0F, 90.0F},
                        Case{kAddonSpeedTrue, kAddonHeadingTrue, 0.0F, 97.0F},
                        Case{kAddonSpeedGround, kAddonHeadingMagnetic, 133.0F, 90.0F}}) {
    const AddonOwnValues values = OwnDynamicsValues(flight, 0.0, c.speedKind, c.headingKind);
    EXPECT_EQ(values.speed, c.speed) << int(c.speedKind);
    EXPECT_EQ(values.heading, c.heading) << int(c.headingKind);
    EXPECT_EQ(values.valueM, 0.25F);
    EXPECT_EQ(values.altitudeFeet, 4500.0F);
  }
}

TEST(AddonRecords, NarrowingNeverLeavesTheFloatRange) {
  EXPECT_EQ(NarrowToFloat(1e300), std::numeric_limits<float>::max());
  EXPECT_EQ(NarrowToFloat(-1e300), -std::numeric_limits<float>::max());
  EXPECT_EQ(NarrowToFloat(2.5), 2.5F);
  EXPECT_TRUE(std::isinf(NarrowToFloat(std::numeric_limits<double>::infinity())));
}

TEST(AddonAddresses, PublicSourcesAreRefusedAndTheRestKept) {
  struct Case {
    const char* address;
    bool served;
    const char* kept;
  };
  for (const Case& c : {Case{"8.8.8.8", false, "0.0.0.0"}, Case{"203.0.113.7", false, "0.0.0.0"},
                        Case{"127.0.0.1", true, "127.0.0.1"}, Case{"10.1.2.3", true, "10.1.2.3"},
                        Case{"172.16.4.5", true, "172.16.4.5"}, Case{"192.168.1.20", true, "192.168.1.20"},
                        Case{"0.0.0.0", true, "0.0.0.0"}, Case{"255.255.255.255", true, "255.255.255.255"}}) {
    const AddonAddressVerdict verdict = ClassifyAddonAddress(Address(c.address));
    EXPECT_EQ(verdict.served, c.served) << c.address;
    EXPECT_EQ(verdict.keptAddress, Address(c.kept)) << c.address;
  }
}

// ---- The link over loopback ----

TEST_F(AddonWayTest, ALoginIsAcknowledgedAndAnnounced) {
  Klib().traceMask = 1;
  AddonStandin addon;
  ASSERT_NO_FATAL_FAILURE(CallAndLogIn(addon));
  const auto ack = addon.LastAnswer(DS_CMD_LOGIN_ACK, 0);
  ASSERT_TRUE(ack.has_value());
  EXPECT_EQ(SyncOf(*ack), AddonFrameMagic);
  const auto body = ack->Body();
  ASSERT_EQ(body.size(), kAddonLoginAckSize);
  EXPECT_EQ(ack->header.length, kAddonLoginAckSize);
  EXPECT_EQ((std::vector<std::uint8_t>(body.begin(), body.begin() + 4)), (std::vector<std::uint8_t>{0, 0, 1, 'A'}));
  EXPECT_EQ(body[4], kVersionMajor);
  EXPECT_EQ(body[5], kVersionMinor);
  EXPECT_EQ(body[6], kVersionBuild);
  EXPECT_EQ(body[7], 'B');
  EXPECT_EQ(Text(body, 24, 16), "OWN001");
  EXPECT_EQ(U32(body, 40), 1u);  // the session is open
  EXPECT_EQ(U32(body, 44), 9000u);

  EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return Way(0).Printed("Addon MapView v2.1.0.b connected."); }));
  EXPECT_TRUE(Way(0).Printed("\t app_TK [ADDON WAY]  MOVING MAP/STAND-IN/MapView C1 S0"));
  EXPECT_NE(Way(0).LoggedInBits() & kWayLoggedIn, 0u);
  EXPECT_EQ(Way(0).RunOnThread([&] { return Way(0).FrameSync(); }), AddonFrameMagic);
  EXPECT_EQ(Way(0).RunOnThread([&] { return std::string(Way(0).AddonLink().name.data()); }), "MapView");
  EXPECT_EQ(Way(0).RunOnThread([&] { return std::string(Way(0).Name()); }), "MapView") << "the way takes the name";
  const WayRecord record = RecordOf(0);
  EXPECT_NE(record.stateFlags & kWayLocalPeer, 0u);
  EXPECT_EQ(record.peerAddress, Address("127.0.0.1"));
}

TEST_F(AddonWayTest, KindsAreSelectedAndAnsweredAndStartAtZero) {
  AddonStandin addon;
  ASSERT_NO_FATAL_FAILURE(CallAndLogIn(addon));
  const auto ask = [&](std::uint8_t subCode) -> int {
    if (!addon.Send(AddonCommonFrame(subCode), "ask")) return -1;
    const auto answer = addon.ReadAnswer();
    if (!answer || answer->header.type != DS_CMD_COMMON || answer->header.subCode != subCode ||
        answer->Body().size() != 1) {
      return -1;
    }
    return answer->Body()[0];
  };
  EXPECT_EQ(ask(kAddonAskSpeedKind), 0);
  EXPECT_EQ(ask(kAddonAskHeadingKind), 0);

  struct Case {
    std::uint8_t select;
    std::uint8_t askedBy;
    int kind;
    const char* line;
  };
  for (const Case& c : {Case{2, kAddonAskSpeedKind, 1, "MapView has selected True AirSpeed"},
                        Case{3, kAddonAskSpeedKind, 2, "MapView has selected Ground Speed"},
                        Case{1, kAddonAskSpeedKind, 0, "MapView has selected Indicated Speed"},
                        Case{11, kAddonAskHeadingKind, 1, "MapView has selected true heading"},
                        Case{10, kAddonAskHeadingKind, 0, "MapView has selected magnetic heading"}}) {
    ASSERT_TRUE(addon.Send(AddonCommonFrame(c.select), "select"));
    EXPECT_EQ(ask(c.askedBy), c.kind) << int(c.select);
    EXPECT_TRUE(Way(0).Printed(c.line)) << c.line;
  }
  // Other sub-codes change nothing and are not answered: the next answer is the question's.
  ASSERT_TRUE(addon.Send(AddonCommonFrame(11), "true heading"));
  for (const std::uint8_t other : {0, 5, 9, 13, 200}) ASSERT_TRUE(addon.Send(AddonCommonFrame(other), "other"));
  EXPECT_EQ(ask(kAddonAskHeadingKind), 1);
}

TEST_F(AddonWayTest, OwnValuesAreAnsweredAfterAnAnswerHeaderTheLengthLeavesUncounted) {
  OwnFlightData flight;
  flight.speed2 = 121.0;
  flight.speed1Knots = 133.0;
  flight.valueM = 0.25;
  flight.trueHeading = 90.0;
  flight.heading2 = 97.0;
  flight.altitudeFeet = 4500.0;
  g_ownAircraft().SetFlightData(flight);
  AddonStandin addon;
  ASSERT_NO_FATAL_FAILURE(CallAndLogIn(addon));

  ASSERT_TRUE(addon.Send(AddonDynamicsRequestFrame(1, ""), "own"));
  auto answer = addon.ReadAnswer();
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->header.type, DS_CMD_FLIGHT_DYNAMICS);
  EXPECT_EQ(answer->header.subCode, 1);
  EXPECT_EQ(answer->header.length, kAddonAnswerHeaderSize);
  ASSERT_EQ(answer->bytes.size(), kLead + kAddonAnswerHeaderSize + kAddonOwnDynamicsSize);
  auto body = answer->Body();
  EXPECT_TRUE(std::all_of(body.begin(), body.begin() + kAddonAnswerHeaderSize, [](std::uint8_t b) { return b == 0; }));
  EXPECT_EQ(F32(body, 24), 121.0F);
  EXPECT_EQ(F32(body, 28), 0.25F);
  EXPECT_EQ(F32(body, 32), 90.0F);
  EXPECT_EQ(F32(body, 36), 4500.0F);

  // True airspeed and true heading: the speed answered is 0, the heading heading 2.
  ASSERT_TRUE(addon.Send(AddonCommonFrame(2), "true airspeed"));
  ASSERT_TRUE(addon.Send(AddonCommonFrame(11), "true heading"));
  ASSERT_TRUE(addon.Send(AddonDynamicsRequestFrame(1, ""), "own"));
  answer = addon.ReadAnswer();
  ASSERT_TRUE(answer.has_value());
  body = answer->Body();
  ASSERT_EQ(body.size(), kAddonAnswerHeaderSize + kAddonOwnDynamicsSize);
  EXPECT_EQ(F32(body, 24), 0.0F);
  EXPECT_EQ(F32(body, 32), 97.0F);

  // A named pilot, or another question, gets nothing: the next answer is the kind's.
  PutPilot(1, "PEER01");
  ASSERT_TRUE(addon.Send(AddonDynamicsRequestFrame(1, "PEER01"), "named"));
  ASSERT_TRUE(addon.Send(AddonDynamicsRequestFrame(2, ""), "other"));
  ASSERT_TRUE(addon.Send(AddonCommonFrame(kAddonAskSpeedKind), "speed kind"));
  answer = addon.ReadAnswer();
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->header.type, DS_CMD_COMMON);
  g_ownAircraft().Reset();
}

TEST_F(AddonWayTest, AnEmptyListIsTheHeaderAndAZeroAnswerHeaderOnly) {
  AddonStandin addon;
  ASSERT_NO_FATAL_FAILURE(CallAndLogIn(addon));
  // A controller, a special pilot and a pilot not logged in are not listed.
  {
    WayTableGuard guard;
    PeerWayRecord(1)->peerKind = 'A';
  }
  Way(1).SetLoggedInBits(kWayLoggedIn);
  PutPilot(2, "SPECIAL", kWayInvisible);
  PutPilot(3, "NOTYET");
  Way(3).SetLoggedInBits(0);
  for (const std::uint8_t subCode : {1, 2}) {
    ASSERT_TRUE(addon.Send(AddonAiRequestFrame(subCode), "list"));
    ASSERT_TRUE(addon.Send(AddonCommonFrame(kAddonAskSpeedKind), "speed kind"));
    const auto list = addon.ReadAnswer();
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->header.type, DS_CMD_AI);
    EXPECT_EQ(list->header.length, kAddonAnswerHeaderSize);
    EXPECT_EQ(list->bytes.size(), kLead + kAddonAnswerHeaderSize);
    EXPECT_TRUE(std::all_of(list->bytes.begin() + kLead, list->bytes.end(), [](std::uint8_t b) { return b == 0; }));
    // Nothing more came between the list and the next answer.
    const auto next = addon.ReadAnswer();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->header.type, DS_CMD_COMMON);
  }
  // Another sub-code is not answered.
  ASSERT_TRUE(addon.Send(AddonAiRequestFrame(3), "list 3"));
  ASSERT_TRUE(addon.Send(AddonCommonFrame(kAddonAskSpeedKind), "speed kind"));
  const auto next = addon.ReadAnswer();
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->header.type, DS_CMD_COMMON);
}

TEST_F(AddonWayTest, ListsNameTheLoggedInPilotsThatAreNotSpecial) {
  AddonStandin addon;
  ASSERT_NO_FATAL_FAILURE(CallAndLogIn(addon));
  PutPilot(1, "PEER01");
  PutPilot(2, "SPECIAL", kWayInvisible);
  PutPilot(3, "PEER03");
  {
    WayTableGuard guard;
    WayRecord& r = *PeerWayRecord(3);
    CopyToField(r.peerLogin, "login3");
    CopyToField(r.current.icaoType, "B738");
    r.simulatorCode = 2006;
    r.pilot.versionWord = 0x0B000401;
    r.pilot.tokenByte = 7;
    r.pilot.transponderMode = 'C';
    r.pilot.transponderCode = 7000;
    r.position.pitch = 2.5F;
    r.position.bank = -10.0F;
    r.position.latitude = 45.25;
    r.position.longitude = -7.125;
    r.distanceMetres = 12345.9;
    r.position.altitude = 3500.6;
    r.position.heading = 271.5F;
    r.position.groundSpeedKnots = 140;
    r.position.verticalSpeed = -500;
    CopyToField(r.frequencyA, "122.800");
  }

  ASSERT_TRUE(addon.Send(AddonAiRequestFrame(2), "short list"));
  const auto brief = addon.ReadAnswer();
  ASSERT_TRUE(brief.has_value());
  EXPECT_EQ(brief->header.length, kAddonAnswerHeaderSize);
  ASSERT_EQ(brief->Body().size(), kAddonAnswerHeaderSize + 2 * kAddonPilotShortSize);
  EXPECT_EQ(U32(brief->Body(), kAddonAnswerCountOffset), 2u);
  EXPECT_EQ(AddonStandin::ListedCallsigns(*brief), (std::vector<std::string>{"PEER01", "PEER03"}));
  {
    const auto e = brief->Body().subspan(kAddonAnswerHeaderSize + kAddonPilotShortSize, kAddonPilotShortSize);
    EXPECT_EQ(e[16], 7);
    EXPECT_EQ(e[17], 'C');
    EXPECT_EQ(e[18] | (e[19] << 8), 7000);
    EXPECT_EQ(U32(e, 20), 0u);
    EXPECT_EQ(F64(e, 24), 45.25);
    EXPECT_EQ(F64(e, 32), -7.125);
    EXPECT_EQ(U32(e, 40), 12345u);
    EXPECT_EQ(F32(e, 44), 3501.0F);
    EXPECT_EQ(F32(e, 48), 271.5F);
    EXPECT_EQ(F32(e, 52), 140.0F);
    EXPECT_EQ(F32(e, 56), -500.0F);
    EXPECT_TRUE(std::all_of(e.begin() + 60, e.end(), [](std::uint8_t b) { return b == 0; }));
  }

  ASSERT_TRUE(addon.Send(AddonAiRequestFrame(1), "full list"));
  const auto full = addon.ReadAnswer();
  ASSERT_TRUE(full.has_value());
  EXPECT_EQ(full->header.length, kAddonAnswerHeaderSize);
  ASSERT_EQ(full->Body().size(), kAddonAnswerHeaderSize + 2 * kAddonPilotFullSize);
  EXPECT_EQ(U32(full->Body(), kAddonAnswerCountOffset), 2u);
  const auto e = full->Body().subspan(kAddonAnswerHeaderSize + kAddonPilotFullSize, kAddonPilotFullSize);
  EXPECT_EQ(Text(e, 0, 16), "PEER03");
  EXPECT_EQ(Text(e, 16, 16), "login3");
  EXPECT_EQ(Text(e, 32, 8), "B738");
  EXPECT_EQ(U32(e, 40), 2006u);
  EXPECT_EQ(U32(e, 44), 0x0B000401u);
  EXPECT_EQ(e[48], 7);
  EXPECT_EQ(e[49], 'C');
  EXPECT_EQ(e[50] | (e[51] << 8), 7000);
  EXPECT_EQ(F32(e, 52), 2.5F);
  EXPECT_EQ(F32(e, 56), -10.0F);
  EXPECT_EQ(U32(e, 60), 0u);
  EXPECT_EQ(F64(e, 64), 45.25);
  EXPECT_EQ(F64(e, 72), -7.125);
  EXPECT_EQ(U32(e, 80), 12345u);
  EXPECT_EQ(F32(e, 84), 3501.0F);
  EXPECT_EQ(F32(e, 88), 271.5F);
  EXPECT_EQ(F32(e, 92), 140.0F);
  EXPECT_EQ(F32(e, 96), -500.0F);
  EXPECT_EQ(Text(e, 100, 20), "122.800");
}

TEST_F(AddonWayTest, EachAnswerGoesToTheSendRingWhole) {
  AddonStandin addon;
  ASSERT_NO_FATAL_FAILURE(CallAndLogIn(addon));
  PutPilot(1, "PEER01");
  PutPilot(2, "PEER02");
  const std::size_t before = Way(0).SendSizes().size();
  ASSERT_TRUE(addon.Send(AddonAiRequestFrame(1), "full list"));
  ASSERT_TRUE(addon.Send(AddonAiRequestFrame(2), "short list"));
  ASSERT_TRUE(addon.Send(AddonDynamicsRequestFrame(1, ""), "own"));
  ASSERT_TRUE(addon.Send(AddonCommonFrame(kAddonAskSpeedKind), "speed kind"));
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(addon.ReadAnswer().has_value());
  const std::vector<std::uint32_t> sizes = Way(0).SendSizes();
  EXPECT_EQ(std::vector<std::uint32_t>(sizes.begin() + static_cast<std::ptrdiff_t>(before), sizes.end()),
            (std::vector<std::uint32_t>{kLead + kAddonAnswerHeaderSize + 2 * kAddonPilotFullSize,
                                        kLead + kAddonAnswerHeaderSize + 2 * kAddonPilotShortSize,
                                        kLead + kAddonAnswerHeaderSize + kAddonOwnDynamicsSize, kLead + 1}));
}

TEST_F(AddonWayTest, CodesThatAreNeverWrittenSendNothing) {
  AddonStandin addon;
  ASSERT_NO_FATAL_FAILURE(CallAndLogIn(addon));
  Klib().traceMask = 1u << kAddonTraceBit;
  struct Case {
    std::uint8_t code;
    std::int32_t result;
    const char* line;
  };
  for (const Case& c : {Case{DS_CMD_TEST, -1, "\tapp_TK MapView Tx DS_CMD_TEST"},
                        Case{DS_CMD_LOGOUT, 0, "\tapp_TK MapView Tx DS_CMD_LOGOUT"},
                        Case{0x40, -1, "\tapp_TK MapView Tx DSP_XXX = 64"}}) {
    EXPECT_EQ(Way(0).RunOnThread([&] { return Way(0).SendAddonCommand(c.code, 0); }), c.result) << int(c.code);
    EXPECT_TRUE(Way(0).Printed(c.line)) << c.line;
  }
  ASSERT_TRUE(addon.Send(AddonCommonFrame(kAddonAskSpeedKind), "speed kind"));
  const auto next = addon.ReadAnswer();
  ASSERT_TRUE(next.has_value());
  EXPECT_EQ(next->header.type, DS_CMD_COMMON);
  EXPECT_TRUE(Way(0).Printed("\tapp_TK MapView DRx DS_CMD_COMMON ( 4 ) [ 2 ]"));
  EXPECT_TRUE(Way(0).Printed("\tapp_TK MapView Tx DS_CMD_COMMON"));
}

TEST_F(AddonWayTest, ABodyLongerThanItsRecordIsReadAndTheRestSkipped) {
  AddonStandin addon;
  ASSERT_NO_FATAL_FAILURE(Call(addon));
  std::vector<std::uint8_t> login = AddonLoginFrame(addon.Script());
  const std::vector<std::uint8_t> body(login.begin() + static_cast<std::ptrdiff_t>(kLead), login.end());
  std::vector<std::uint8_t> longer = body;
  longer.insert(longer.end(), 20, 'Z');
  ASSERT_TRUE(addon.Send(AddonRawFrame(DS_CMD_LOGIN, 0, longer), "login with more"));
  ASSERT_TRUE(addon.Send(AddonCommonFrame(kAddonAskHeadingKind), "heading kind"));
  const auto ack = addon.ReadAnswer();
  ASSERT_TRUE(ack.has_value());
  EXPECT_EQ(ack->header.type, DS_CMD_LOGIN_ACK);
  const auto kind = addon.ReadAnswer();
  ASSERT_TRUE(kind.has_value());
  EXPECT_EQ(kind->header.type, DS_CMD_COMMON);
  EXPECT_TRUE(Way(0).Printed("Addon MapView v2.1.0.b connected."));
}

TEST_F(AddonWayTest, FaultsEndTheLinkAndASplitFrameIsServed) {
  const auto logins = [&] {
    const std::vector<std::string> lines = Way(0).Lines();
    return std::count(lines.begin(), lines.end(), "Addon MapView v2.1.0.b connected.");
  };
  struct Case {
    AddonFault fault;
    const char* reason;  // the close's tag, empty when the link stays
    int logins;          // the unknown code is sent once logged in
  };
  for (const Case& c : {Case{AddonFault::kFrameBeforeLogin, "HRFD_0", 0}, Case{AddonFault::kEmptyName, "OCANCLNK3", 0},
                        Case{AddonFault::kUnknownCode, "HRFD_110", 1}, Case{AddonFault::kShortBody, "HERD_LEN", 0},
                        Case{AddonFault::kSplitFrame, "", 1}}) {
    SCOPED_TRACE(c.reason);
    const auto before = logins();
    AddonStandin addon;
    ASSERT_NO_FATAL_FAILURE(Call(addon));
    EXPECT_TRUE(addon.RunFault(c.fault, kWaitMs));
    if (*c.reason == '\0') {
      addon.Close();
    } else {
      EXPECT_TRUE(TestWay::WaitFor(kWaitMs, [&] {
        return std::string(Way(0).RunOnThread([&] { return std::string(Way(0).LostReason()); })).find(c.reason) !=
               std::string::npos;
      }));
    }
    EXPECT_EQ(logins() - before, c.logins);
    ASSERT_TRUE(WaitFree(0));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !Way(0).IsConnected(); }));
  }
}

TEST_F(AddonWayTest, AnEmptyNameIsCancelledWithReasonZero) {
  AddonStandin addon;
  ASSERT_NO_FATAL_FAILURE(Call(addon));
  ASSERT_TRUE(addon.RunFault(AddonFault::kEmptyName, kWaitMs));
  ASSERT_EQ(addon.Answers().size(), 1u);
  const AddonAnswer& cancel = addon.Answers().front();
  EXPECT_EQ(cancel.header.type, DS_CMD_CANCEL_LINK);
  ASSERT_EQ(cancel.Body().size(), kAddonCancelSize);
  EXPECT_EQ(U32(cancel.Body(), 0), 0u);
  EXPECT_EQ(Way(0).LoggedInBits() & kWayLoggedIn, 0u);
}

TEST_F(AddonWayTest, APublicSourceIsRefusedAndAPrivateOneMarkedLocal) {
  AddonStandin addon;
  ASSERT_NO_FATAL_FAILURE(CallAndLogIn(addon));
  const FrameHeader header{DS_CMD_AI, 1, 0, 0, 0};
  EXPECT_EQ(Way(0).RunOnThread([&] { return Way(0).ApplyAddonAddressRule(header, Address("192.168.7.9")); }), 1u);
  WayRecord record = RecordOf(0);
  EXPECT_NE(record.stateFlags & kWayLocalPeer, 0u);
  EXPECT_EQ(record.peerAddress, Address("192.168.7.9"));

  EXPECT_EQ(Way(0).RunOnThread([&] { return Way(0).ApplyAddonAddressRule(header, Address("198.51.100.4")); }), 0u);
  EXPECT_TRUE(addon.WaitForClose(kWaitMs));
  EXPECT_TRUE(WaitFree(0));
}

TEST_F(AddonWayTest, AWayThatIsAPilotsRefusesAddOnFrames) {
  AddonStandin addon;
  ASSERT_NO_FATAL_FAILURE(Call(addon));
  Way(0).RunOnThread([&] {
    Way(0).SetPeerKind('P');
    return 0;
  });
  ASSERT_TRUE(addon.Send(AddonLoginFrame(addon.Script()), "login"));
  EXPECT_TRUE(addon.WaitForClose(kWaitMs));
  EXPECT_TRUE(addon.Answers().empty());
  EXPECT_FALSE(Way(0).Printed("Addon MapView v2.1.0.b connected."));
  EXPECT_NE(Way(0).RunOnThread([&] { return Way(0).FrameSync(); }), AddonFrameMagic);
}

TEST_F(AddonWayTest, TheNextCallerStartsWithNothingOfTheLastAddOn) {
  {
    AddonStandin addon;
    ASSERT_NO_FATAL_FAILURE(CallAndLogIn(addon));
    ASSERT_TRUE(addon.Send(AddonCommonFrame(kAddonSelectTrueHeading), "true heading"));
    ASSERT_TRUE(addon.Send(AddonCommonFrame(kAddonSelectGroundSpeed), "ground speed"));
    ASSERT_TRUE(addon.Send(AddonCommonFrame(kAddonAskSpeedKind), "speed kind"));
    ASSERT_TRUE(addon.ReadAnswer().has_value());
    addon.Close();
  }
  ASSERT_TRUE(WaitFree(0));
  ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !Way(0).IsConnected(); }));
  const AddonLinkState state = Way(0).RunOnThread([&] { return Way(0).AddonLink(); });
  EXPECT_EQ(state.speedKind, kAddonSpeedIndicated);
  EXPECT_EQ(state.headingKind, kAddonHeadingMagnetic);
  EXPECT_EQ(state.name[0], '\0');
  EXPECT_EQ(state.framesReceived, 0u);
  EXPECT_EQ(Way(0).RunOnThread([&] { return Way(0).FrameSync(); }), Klib().frameSync);
}

}  // namespace

namespace {

TEST_F(AddonWayTest, TheStandInsProgramPlaysTheAddOnAndItsFaults) {
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* line;
  };
  const std::string port = std::to_string(ListeningPort());
  for (const Case& c : {Case{{"--addon", port}, 0, "add-on: the full list names nobody"},
                        Case{{"--addon", port, "--addon-fault", "empty-name"}, 0, "add-on: the client ended the link"}}) {
    ChildProcess addon(TK_STANDINS_BINARY, ".", {}, c.args);
    ASSERT_TRUE(addon.Started());
    EXPECT_EQ(addon.WaitForExit(kWaitMs * 2), c.status) << addon.Stderr();
    EXPECT_NE(addon.Stdout().find(c.line), std::string::npos) << addon.Stdout();
    ASSERT_TRUE(WaitFree(0));
    ASSERT_TRUE(TestWay::WaitFor(kWaitMs, [&] { return !Way(0).IsConnected(); }));
  }
  EXPECT_TRUE(Way(0).Printed("Addon MapView v2.1.0.b connected."));
}

}  // namespace
