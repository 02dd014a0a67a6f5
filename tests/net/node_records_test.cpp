#include "net/node_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "net/frame_codes.h"

namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
std::uint16_t U16At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
// The field's bytes up to its first zero; the field must hold one.
std::string FieldText(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t size) {
  std::string text;
  std::size_t i = 0;
  for (; i < size && b[at + i] != 0; ++i) text.push_back(static_cast<char>(b[at + i]));
  return i < size ? text : "<unterminated>";
}
double F64At(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(b[at + i]) << (8 * i);
  double d = 0;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

LoginRecord SampleLogin() {
  LoginRecord r;
  r.identity.versionMajor = 11;
  r.identity.versionMinor = 0;
  r.identity.versionBuild = 4;
  r.identity.machineId = 0x11223344;
  r.identity.publicAddress = 0x0302A8C0;  // 192.168.2.3 in network order
  r.identity.lanAddress = 0x0A00000A;
  r.identity.listenPort = 55009;
  r.identity.serverToken = 0x5A;
  r.identity.login = "jdoe";
  r.identity.passwordOrServer = "secret";
  r.identity.callsign = "F-ABCD";
  r.optionBits = kLoginOnGround | kLoginCom2Selected;
  r.altitudeFeet = -120;
  r.machTimes1000 = 123;
  r.headingDegrees = 271;
  r.speedKnots = 98;
  r.transponderCode = 1200;
  r.nearestAirport = "LFPG";
  r.transponderMode = 'N';
  r.airportDistanceNm = 12;
  r.latitude = 49.0097;
  r.longitude = 2.5479;
  r.com1 = "118.150";
  r.com2 = "121.500";
  r.classCode = "L1P";
  r.shortCode = "C72";
  return r;
}

TEST(NodeLoginFrame, HeaderAndIdentityOffsets) {
  const std::vector<std::uint8_t> frame = BuildLoginFrame(SampleLogin());
  ASSERT_EQ(frame.size(), 12u + kLoginRecordSize);
  const std::vector<std::uint8_t> head(frame.begin(), frame.begin() + 12);
  EXPECT_EQ(head, (std::vector<std::uint8_t>{0xA1, 0xB2, 0xC3, 0x17, 0x01, 0x00, 0x00, 0x00, 0x30,
                                             0x02, 0x00, 0x00}));
  const std::vector<std::uint8_t> b(frame.begin() + 12, frame.end());
  EXPECT_EQ(b[8], 'P');
  EXPECT_EQ(b[16], 11);
  EXPECT_EQ(b[17], 0);
  EXPECT_EQ(b[18], 4);
  EXPECT_EQ(b[19], 'B');
  EXPECT_EQ(U32At(b, 20), 0x11223344u);
  // Addresses keep inet_addr's byte order: dotted order on the wire.
  EXPECT_EQ((std::vector<std::uint8_t>(b.begin() + 24, b.begin() + 28)),
            (std::vector<std::uint8_t>{192, 168, 2, 3}));
  EXPECT_EQ(U32At(b, 28), 0x0A00000Au);
  EXPECT_EQ(U16At(b, 36), 55009);
  EXPECT_EQ(b[46], 0x5A);
  EXPECT_EQ(FieldText(b, 48, 16), "jdoe");
  EXPECT_EQ(FieldText(b, 64, 16), "secret");
  EXPECT_EQ(FieldText(b, 80, 16), "F-ABCD");
  // Names go to pilots and controllers only; unlisted bytes stay zero.
  for (std::size_t i : {0u, 7u, 9u, 15u, 32u, 35u, 38u, 45u, 47u, 96u, 127u, 159u, 160u, 167u}) {
    EXPECT_EQ(b[i], 0) << "identity byte " << i;
  }
}

TEST(NodeLoginFrame, AircraftPartOffsets) {
  const std::vector<std::uint8_t> frame = BuildLoginFrame(SampleLogin());
  const std::vector<std::uint8_t> b(frame.begin() + 12 + kIdentityBlockSize, frame.end());
  ASSERT_EQ(b.size(), kLoginPartSize);
  EXPECT_EQ(U32At(b, 8), 0x5u);
  EXPECT_EQ(U32At(b, 12), 9000u);
  EXPECT_EQ(static_cast<std::int32_t>(U32At(b, 16)), -120);
  EXPECT_EQ(U16At(b, 20), 123);
  EXPECT_EQ(U16At(b, 22), 271);
  EXPECT_EQ(U16At(b, 24), 98);
  EXPECT_EQ(U16At(b, 26), 1200);
  EXPECT_EQ(U32At(b, 28), 65536u);
  EXPECT_EQ(FieldText(b, 32, 5), "LFPG");
  EXPECT_EQ(b[37], 'N');
  EXPECT_EQ(U16At(b, 38), 12);
  EXPECT_DOUBLE_EQ(F64At(b, 40), 49.0097);
  EXPECT_DOUBLE_EQ(F64At(b, 48), 2.5479);
  EXPECT_EQ(FieldText(b, 56, 8), "118.150");
  EXPECT_EQ(FieldText(b, 64, 8), "121.500");
  EXPECT_EQ(FieldText(b, 72, 8), "C172");
  EXPECT_EQ(FieldText(b, 80, 112), "Cessna Skyhawk 172SP");
  EXPECT_EQ(FieldText(b, 192, 8), "L1P");
  EXPECT_EQ(FieldText(b, 200, 8), "C72");
  for (std::size_t i = 208; i < kLoginPartSize; ++i) ASSERT_EQ(b[i], 0) << "part byte " << i;
}

TEST(NodeLoginRecord, RoundTripsAndCutsTextsAtTheirField) {
  LoginRecord in = SampleLogin();
  in.identity.callsign = "ABCDEFGHIJKLMNOPQRST";  // 20 characters for a 16-byte field
  in.com1 = "123.4567890";
  in.nearestAirport = "ABCDEFG";
  const LoginRecordBytes bytes = WriteLoginRecord(in);
  EXPECT_EQ(bytes[80 + 15], 0);
  EXPECT_EQ(bytes[kIdentityBlockSize + 32 + 4], 0);

  LoginRecord out;
  ASSERT_EQ(ReadLoginRecord(bytes, out), kNodeRecordOk);
  EXPECT_EQ(out.identity.callsign, "ABCDEFGHIJKLMNO");
  EXPECT_EQ(out.com1, "123.456");
  EXPECT_EQ(out.nearestAirport, "ABCD");
  EXPECT_EQ(out.identity.login, "jdoe");
  EXPECT_EQ(out.altitudeFeet, -120);
  EXPECT_DOUBLE_EQ(out.longitude, 2.5479);
  EXPECT_EQ(out.transponderMode, 'N');
}

TEST(NodeLoginRecord, UnterminatedFieldsFromOutsideKeepFifteenCharacters) {
  LoginRecordBytes bytes{};
  std::fill(bytes.begin(), bytes.end(), std::uint8_t{'X'});
  LoginRecord out;
  ASSERT_EQ(ReadLoginRecord(bytes, out), kNodeRecordOk);
  EXPECT_EQ(out.identity.login, std::string(15, 'X'));
  EXPECT_EQ(out.identity.callsign, std::string(15, 'X'));
  EXPECT_EQ(out.identity.firstName, std::string(31, 'X'));
  EXPECT_EQ(out.title, std::string(111, 'X'));
  EXPECT_EQ(out.nearestAirport, "XXXX");
}

LoginAckRecord AckWithVersion(std::uint8_t major, std::uint8_t minor, std::uint8_t build, char letter) {
  LoginAckRecord ack;
  ack.identity.versionMajor = major;
  ack.identity.versionMinor = minor;
  ack.identity.versionBuild = build;
  ack.identity.versionLetter = letter;
  return ack;
}

TEST(NodeLoginAck, ParsesTheFieldsTheClientReads) {
  LoginAckRecord ack = AckWithVersion(11, 0, 3, 'Z');
  ack.identity.publicAddress = 0x0100007F;
  ack.identity.serverToken = 0xC4;
  ack.identity.firstName = "Jane";
  ack.identity.lastName = "Doe";
  ack.identity.ratingBits = 0x00000209;
  ack.serverName = "North Node";
  ack.serverComments = "Maintenance at 22:00 %s";
  ack.platformBits = 0x01;
  const std::vector<std::uint8_t> frame = BuildLoginAckFrame(ack);
  ASSERT_EQ(frame.size(), 12u + kLoginAckRecordSize);
  EXPECT_EQ(frame[4], NCSMSG_LOGIN);
  EXPECT_EQ(frame[5], NCSUB_LOGIN_ACK);
  EXPECT_EQ(U32At(frame, 8), 536u);
  const std::vector<std::uint8_t> b(frame.begin() + 12, frame.end());
  EXPECT_EQ(U32At(b, 160), 0x209u);
  EXPECT_EQ(FieldText(b, kIdentityBlockSize + 8, 80), "North Node");
  EXPECT_EQ(FieldText(b, kIdentityBlockSize + 88, 128), "Maintenance at 22:00 %s");
  EXPECT_EQ(b[kIdentityBlockSize + 216], 1);

  LoginAckRecord out;
  ASSERT_EQ(ReadLoginAckRecord(b, out), kNodeRecordOk);
  EXPECT_EQ(out.identity.versionBuild, 3);
  EXPECT_EQ(out.identity.versionLetter, 'Z');
  EXPECT_EQ(out.identity.publicAddress, 0x0100007Fu);
  EXPECT_EQ(out.identity.serverToken, 0xC4);
  EXPECT_EQ(out.identity.firstName, "Jane");
  EXPECT_EQ(out.identity.lastName, "Doe");
  EXPECT_EQ(out.serverName, "North Node");
  EXPECT_EQ(out.serverComments, "Maintenance at 22:00 %s");
  EXPECT_STREQ(ServerPlatformName(out.platformBits), "linNCS");
  EXPECT_STREQ(ServerPlatformName(0), "winNCS");
  // 11.0.3.Z sits below 11.0.4.A: the client refuses it.
  EXPECT_FALSE(IsServerVersionAccepted(out.identity));
}

TEST(NodeLoginAck, VersionGate) {
  struct Case {
    std::uint8_t major, minor, build;
    char letter;
    bool accepted;
  };
  const Case cases[] = {
      {11, 0, 3, 'Z', false}, {11, 0, 4, 'A', true}, {11, 0, 4, 'a', true},  {11, 0, 4, 'b', true},
      {10, 9, 9, 'Z', false}, {11, 1, 0, 'A', true}, {12, 0, 0, 'A', true},  {0, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    const LoginAckRecord ack = AckWithVersion(c.major, c.minor, c.build, c.letter);
    EXPECT_EQ(IsServerVersionAccepted(ack.identity), c.accepted)
        << int(c.major) << "." << int(c.minor) << "." << int(c.build) << "." << c.letter;
  }
  EXPECT_EQ(ServerVersionWord(AckWithVersion(11, 0, 4, 'b').identity), 0x0B000401u);
}

TEST(NodeLoginAck, RatingNames) {
  EXPECT_TRUE(PilotRatingNames(0).empty());
  EXPECT_TRUE(PilotRatingNames(0xFF800000u).empty());  // bits 23 and up have no name
  const std::vector<const char*> names = PilotRatingNames(0x00400209u | 0x01000000u);
  ASSERT_EQ(names.size(), 4u);
  EXPECT_STREQ(names[0], "PPL");
  EXPECT_STREQ(names[1], "IFR");
  EXPECT_STREQ(names[2], "ATPL");
  EXPECT_STREQ(names[3], "TopGun");
}

// Each reader given a body exactly one byte short of its record, on a heap
// buffer of that size, so an over-read shows under the address sanitizer.
TEST(NodeRecordBodies, ShortBodiesAreRefused) {
  struct Case {
    const char* name;
    std::size_t size;
    std::function<std::int32_t(std::span<const std::uint8_t>)> read;
  };
  const Case cases[] = {
      {"identity", kIdentityBlockSize, [](auto b) { IdentityBlock o; return ReadIdentityBlock(b, o); }},
      {"login", kLoginRecordSize, [](auto b) { LoginRecord o; return ReadLoginRecord(b, o); }},
      {"ack", kLoginAckRecordSize, [](auto b) { LoginAckRecord o; return ReadLoginAckRecord(b, o); }},
      {"neighbour", kNeighbourLinkRecordSize,
       [](auto b) { NeighbourLinkRecord o; return ReadNeighbourLinkRecord(b, o); }},
      {"tunnel", kTunnelRequestRecordSize,
       [](auto b) { TunnelRequestRecord o; return ReadTunnelRequestRecord(b, o); }},
      {"short infos", kShortInfoRecordSize,
       [](auto b) { ShortInfoRecord o; return ReadShortInfoRecord(b, o); }},
      {"trusted", kTrustedIpRecordSize, [](auto b) { std::uint32_t a; return ReadTrustedIpRecord(b, a); }},
      {"in-cockpit", kInCockpitBodySize, [](auto b) { std::uint16_t s; return ReadInCockpitBody(b, s); }},
      {"style pair", kTextStylePairSize, [](auto b) { TextStylePair p; return ReadTextStylePair(b, p); }},
      {"answer", kServerAnswerPrefixSize,
       [](auto b) { std::uint32_t a; std::string c; return ReadServerAnswerBody(b, a, c); }},
      {"voice", kVoiceBlockLeadSize, [](auto b) { VoiceBlockView v; return ReadVoiceBlock(b, v); }},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> body(c.size - 1, 0x41);
    EXPECT_EQ(c.read(body), kNodeRecordShort) << c.name;
    EXPECT_EQ(c.read({}), kNodeRecordShort) << c.name;
  }
}

TEST(NodeRecordBodies, SurplusBytesAreSkipped) {
  NeighbourLinkRecord link;
  link.address = 0x0100007F;
  link.port = 6001;
  link.flags = kNeighbourTunnelled;
  link.peerKind = 'A';
  link.callsign = "LFPG_TWR";
  const NeighbourLinkRecordBytes linkBytes = WriteNeighbourLinkRecord(link);
  std::vector<std::uint8_t> body(linkBytes.begin(), linkBytes.end());
  body.resize(body.size() + 100, 0xEE);
  NeighbourLinkRecord out;
  ASSERT_EQ(ReadNeighbourLinkRecord(body, out), kNodeRecordOk);
  EXPECT_EQ(out.address, 0x0100007Fu);
  EXPECT_EQ(out.port, 6001);
  EXPECT_TRUE(out.Tunnelled());
  EXPECT_EQ(out.peerKind, 'A');
  EXPECT_EQ(out.callsign, "LFPG_TWR");

  std::vector<std::uint8_t> ackBody(kLoginAckRecordSize + 17, 0);
  LoginAckRecord ack;
  EXPECT_EQ(ReadLoginAckRecord(ackBody, ack), kNodeRecordOk);
}

TEST(NodeRecordBodies, TunnelRequestFields) {
  TunnelRequestRecord in;
  in.address = 0x0402A8C0;
  in.port = 55009;
  in.peerKind = 'P';
  in.peerCallsign = "D-EFGH";
  in.requesterName = "RequesterNameIsTooLong";
  const TunnelRequestRecordBytes bytes = WriteTunnelRequestRecord(in);
  const std::vector<std::uint8_t> b(bytes.begin(), bytes.end());
  EXPECT_EQ(U32At(b, 8), 0x0402A8C0u);
  EXPECT_EQ(U16At(b, 12), 55009);
  EXPECT_EQ(b[14], 0);
  EXPECT_EQ(b[15], 'P');
  EXPECT_EQ(FieldText(b, 16, 16), "D-EFGH");
  EXPECT_EQ(FieldText(b, 32, 16), "RequesterNameIs");
  TunnelRequestRecord out;
  ASSERT_EQ(ReadTunnelRequestRecord(b, out), kNodeRecordOk);
  EXPECT_EQ(out.requesterName, "RequesterNameIs");
  EXPECT_EQ(out.peerCallsign, "D-EFGH");
}

TEST(NodeRecordBodies, PortZeroIsToldButTheRecordIsRead) {
  // A tunnelled neighbour is reached on the node's port: its own may be 0.
  NeighbourLinkRecord link;
  link.callsign = "F-ZERO";
  link.flags = kNeighbourTunnelled;
  NeighbourLinkRecord linkOut;
  EXPECT_EQ(ReadNeighbourLinkRecord(WriteNeighbourLinkRecord(link), linkOut), kNodeRecordBadPort);
  EXPECT_EQ(linkOut.callsign, "F-ZERO");
  EXPECT_TRUE(linkOut.Tunnelled());
  TunnelRequestRecord tunnel;
  tunnel.requesterName = "ASKER";
  TunnelRequestRecord tunnelOut;
  EXPECT_EQ(ReadTunnelRequestRecord(WriteTunnelRequestRecord(tunnel), tunnelOut), kNodeRecordBadPort);
  EXPECT_EQ(tunnelOut.requesterName, "ASKER");
}

TEST(NodeRecordBodies, FlightPlanPacketCarriesTheRecordAsItStands) {
  FlightPlanRecordBytes plan{};
  for (std::size_t i = 0; i < plan.size(); ++i) plan[i] = static_cast<std::uint8_t>(i * 7 + 1);
  EXPECT_TRUE(FlightPlanHasType(plan));
  const FlightPlanPacketBytes packet = WriteFlightPlanPacket("F-GHIJKLMNOPQRSTU", plan);
  EXPECT_EQ(packet.size(), 2352u);
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(packet[i], 0) << i;
  EXPECT_EQ(FieldText(std::vector<std::uint8_t>(packet.begin(), packet.end()), 8, 16), "F-GHIJKLMNOPQRS");
  EXPECT_EQ(packet[23], 0);
  EXPECT_TRUE(std::equal(plan.begin(), plan.end(), packet.begin() + 24));
  plan[kFlightPlanTypeOffset] = 0;
  EXPECT_FALSE(FlightPlanHasType(plan)) << "no flight rules: not valid";
}

TEST(NodeRecordBodies, SmallFixedBodies) {
  std::uint32_t address = 0;
  ASSERT_EQ(ReadTrustedIpRecord(WriteTrustedIpRecord(0x0A0B0C0D), address), kNodeRecordOk);
  EXPECT_EQ(address, 0x0A0B0C0Du);
  EXPECT_EQ(WriteTrustedIpRecord(0x0A0B0C0D)[8], 0x0D);

  std::uint16_t seconds = 0;
  ASSERT_EQ(ReadInCockpitBody(WriteInCockpitBody(605), seconds), kNodeRecordOk);
  EXPECT_EQ(seconds, 605);

  TextStylePair pair;
  ASSERT_EQ(ReadTextStylePair(WriteTextStylePair({0x01, 0x00FF00}), pair), kNodeRecordOk);
  EXPECT_EQ(pair.first, 1u);
  EXPECT_EQ(pair.second, 0x00FF00u);

  const OpenPortTestReply reply = MakeOpenPortTestReply();
  for (std::size_t i = 0; i < reply.size(); ++i) ASSERT_EQ(reply[i], i);

  const std::vector<std::uint8_t> answer = WriteServerAnswerBody(6, "F-ABCDEFGHIJKLMNOPQ");
  ASSERT_EQ(answer.size(), 4u + 15u);
  EXPECT_EQ(U32At(answer, 0), 6u);
  std::uint32_t value = 0;
  std::string callsign;
  ASSERT_EQ(ReadServerAnswerBody(answer, value, callsign), kNodeRecordOk);
  EXPECT_EQ(value, 6u);
  EXPECT_EQ(callsign, "F-ABCDEFGHIJKLM");
}

TEST(NodeRecordBodies, ShortInfoOffsets) {
  ShortInfoRecord in;
  in.altitudeFeet = 35000;
  in.speedKnots = 450;
  in.headingDegrees = 359;
  in.latitude = -33.9461;
  in.longitude = 151.1772;
  in.onGround = 1;
  const ShortInfoRecordBytes bytes = WriteShortInfoRecord(in);
  const std::vector<std::uint8_t> b(bytes.begin(), bytes.end());
  EXPECT_EQ(U32At(b, 8), 35000u);
  EXPECT_EQ(U16At(b, 12), 450);
  EXPECT_EQ(U16At(b, 14), 359);
  EXPECT_DOUBLE_EQ(F64At(b, 16), -33.9461);
  EXPECT_DOUBLE_EQ(F64At(b, 24), 151.1772);
  EXPECT_EQ(U16At(b, 32), 1);
  for (std::size_t i : {0u, 7u, 34u, 39u}) EXPECT_EQ(b[i], 0) << i;
  ShortInfoRecord out;
  ASSERT_EQ(ReadShortInfoRecord(b, out), kNodeRecordOk);
  EXPECT_EQ(out.altitudeFeet, 35000);
  EXPECT_EQ(out.headingDegrees, 359);
  EXPECT_DOUBLE_EQ(out.latitude, -33.9461);
}

TEST(NodeRecordBodies, ServerTextRecord) {
  ServerTextRecord in{"Supervisor", std::string(2000, 'm')};
  const ServerTextRecordBytes bytes = WriteServerTextRecord(in);
  EXPECT_EQ(bytes[8], 'S');
  EXPECT_EQ(bytes[24], 'm');
  EXPECT_EQ(bytes[kServerTextRecordSize - 1], 0);
  const ServerTextRecord out = ReadServerTextRecord(bytes);
  EXPECT_EQ(out.sender, "Supervisor");
  EXPECT_EQ(out.text, std::string(kServerTextRecordSize - 24 - 1, 'm'));
}

TEST(NodeTextStyle, SetAttribLengths) {
  struct Case {
    std::size_t announced;
    std::size_t present;
    std::int32_t result;
  };
  const Case cases[] = {
      {0, 0, kNodeRecordOk},
      {5, 5, kNodeRecordOk},
      {5, 9, kNodeRecordOk},  // surplus skipped
      {5, 4, kNodeRecordShort},
      {kSetAttribTextLimit - 1, kSetAttribTextLimit - 1, kNodeRecordOk},
      {kSetAttribTextLimit, kSetAttribTextLimit, kNodeRecordTooLong},
      {0xFFFF, 10, kNodeRecordTooLong},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> body(2 + c.present, 'a');
    body[0] = static_cast<std::uint8_t>(c.announced);
    body[1] = static_cast<std::uint8_t>(c.announced >> 8);
    std::string text = "untouched";
    EXPECT_EQ(ReadSetAttribBody(body, text), c.result) << c.announced << "/" << c.present;
    if (c.result == kNodeRecordOk) {
      EXPECT_EQ(text, std::string(c.announced, 'a'));
    }
  }
  std::string text;
  EXPECT_EQ(ReadSetAttribBody(std::vector<std::uint8_t>{1}, text), kNodeRecordShort);
  ASSERT_EQ(ReadSetAttribBody(WriteSetAttribBody("100% sure"), text), kNodeRecordOk);
  EXPECT_EQ(text, "100% sure");
  EXPECT_EQ(WriteSetAttribBody(std::string(30000, 'x')).size(), 2 + kSetAttribTextLimit - 1);
}

TEST(NodeVoiceBlock, FrameStaysInsideTheBody) {
  const std::vector<std::uint8_t> voice = {1, 2, 3, 4, 5};
  std::vector<std::uint8_t> body = WriteVoiceBlock(voice);
  ASSERT_EQ(body.size(), 26u);
  EXPECT_EQ(U32At(body, 16), 6u);
  EXPECT_EQ(body[20], kVoiceMarker);
  VoiceBlockView view;
  ASSERT_EQ(ReadVoiceBlock(body, view), kNodeRecordOk);
  EXPECT_EQ(std::vector<std::uint8_t>(view.frame.begin(), view.frame.end()), voice);

  struct Case {
    std::uint32_t announced;
    std::size_t frameLength;
  };
  // Announced past the body, 0 (which would wrap) and 1 (empty frame).
  for (const Case c : {Case{0xFFFFFFFFu, 5}, Case{0, 0}, Case{1, 0}, Case{4, 3}}) {
    body[16] = static_cast<std::uint8_t>(c.announced);
    body[17] = static_cast<std::uint8_t>(c.announced >> 8);
    body[18] = static_cast<std::uint8_t>(c.announced >> 16);
    body[19] = static_cast<std::uint8_t>(c.announced >> 24);
    ASSERT_EQ(ReadVoiceBlock(body, view), kNodeRecordOk);
    EXPECT_EQ(view.frame.size(), c.frameLength) << c.announced;
  }
  body[20] = 0x12;
  EXPECT_EQ(ReadVoiceBlock(body, view), kNodeRecordNotVoice);

  std::vector<std::uint8_t> lead(kVoiceBlockLeadSize, 0);
  lead[16] = 100;
  lead[20] = kVoiceMarker;
  ASSERT_EQ(ReadVoiceBlock(lead, view), kNodeRecordOk);
  EXPECT_TRUE(view.frame.empty());
}

TEST(NodeVoiceBlock, AnnouncedLengthCheckedBeforeAllocation) {
  EXPECT_FALSE(VoiceBlockLengthAccepted(0));
  EXPECT_FALSE(VoiceBlockLengthAccepted(kVoiceBlockLeadSize - 1));
  EXPECT_TRUE(VoiceBlockLengthAccepted(kVoiceBlockLeadSize));
  EXPECT_TRUE(VoiceBlockLengthAccepted(kMaxVoiceBlockBody));
  EXPECT_FALSE(VoiceBlockLengthAccepted(kMaxVoiceBlockBody + 1));
  EXPECT_FALSE(VoiceBlockLengthAccepted(0xFFFFFFFFu));
}

TEST(NodeHubEntry, PortTakenOnlyWhenInRange) {
  struct Case {
    const char* text;
    const char* host;
    std::uint16_t port;  // the previous port is 4000
  };
  const Case cases[] = {
      {"hub.example.net:5001", "hub.example.net", 5001},
      {"10.0.0.1:65535", "10.0.0.1", 65535},
      {"10.0.0.1:65536", "10.0.0.1", 4000},
      {"10.0.0.1:99999999999", "10.0.0.1", 4000},
      {"10.0.0.1:0", "10.0.0.1", 4000},
      {"10.0.0.1:", "10.0.0.1", 4000},
      {"10.0.0.1:abc", "10.0.0.1", 4000},
      {"10.0.0.1", "10.0.0.1", 4000},
      {"10.0.0.1:6000 more", "10.0.0.1", 6000},
      {"", "", 4000},
  };
  for (const Case& c : cases) {
    std::uint16_t port = 4000;
    const HubEntry entry = ParseHubEntry(c.text, port);
    EXPECT_EQ(entry.host, c.host) << c.text;
    EXPECT_EQ(port, c.port) << c.text;
    EXPECT_EQ(entry.portTaken, port != 4000) << c.text;
  }
  std::uint16_t port = 1;
  EXPECT_EQ(ParseHubEntry(std::string(100, 'h'), port).host, std::string(63, 'h'));
  EXPECT_EQ(port, 1);
}

TEST(NodeLogout, CarriesTheIdentityBlock) {
  IdentityBlock id;
  id.callsign = "F-ABCD";
  const std::vector<std::uint8_t> frame = BuildLogoutFrame(id);
  ASSERT_EQ(frame.size(), 12u + kIdentityBlockSize);
  EXPECT_EQ(frame[4], NCSMSG_LOGOUT);
  EXPECT_EQ(U32At(frame, 8), kIdentityBlockSize);
  EXPECT_EQ(frame[12 + 80], 'F');
}

}  // namespace
