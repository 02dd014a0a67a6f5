#include <gtest/gtest.h>

#include <string>

#include "net/pilot_records.h"

namespace {

TEST(PilotRecords, ACallsignFromTheWireEndsWithItsField) {
  PilotCallsignBody body{};
  body.fill('B');
  for (std::size_t i = 8; i < 24; ++i) body[i] = 'A';  // no terminator inside the field
  std::string callsign;
  ASSERT_EQ(ReadPilotCallsignBody(body, callsign), kNodeRecordOk);
  EXPECT_EQ(callsign, std::string(16, 'A'));
  EXPECT_EQ(ReadPilotCallsignBody(std::span(body).first(31), callsign), kNodeRecordShort);
}

TEST(PilotRecords, CancelReasonsReadAsTheReceiverSeesThem) {
  const std::pair<std::uint32_t, const char*> cases[] = {
      {0, "He was not connected to his MultiPlayer session."},
      {1, "He could'nt add you to his MultiPlayer session."},
      {2, "You've been removed from his MultiPlayer session."},
      {3, "You are out of range."},
      {4, "Code 4."},
      {0xFFFFFFFF, "Code -1."},
  };
  for (const auto& [reason, text] : cases) EXPECT_EQ(CancelReasonText(reason), text) << reason;
}

TEST(PilotRecords, FrequencyTextsInKilohertz) {
  const std::pair<const char*, std::uint32_t> cases[] = {
      {"118.1", 118'100}, {"123.45", 123'450}, {"121.500", 121'500}, {"", 0}, {"abc", 0}, {"-5", 0}, {"1e300", 0}};
  for (const auto& [text, khz] : cases) EXPECT_EQ(FrequencyKhz(text), khz) << text;
}

TEST(PilotRecords, TheVersionWordNeverReadsTheLetter) {
  IdentityBlock identity;
  identity.versionMajor = 11;
  identity.versionMinor = 2;
  identity.versionBuild = 7;
  identity.versionLetter = 'Z';
  EXPECT_EQ(PeerVersionWord(identity), 0x0B020701u);
}

TEST(PilotRecords, TokenBytesAndCategories) {
  EXPECT_EQ(KeptTokenByte(11), 11);
  EXPECT_EQ(KeptTokenByte(12), 0);
  EXPECT_EQ(CategoryFromClassCode("L2J"), kCategoryJet);
  EXPECT_EQ(CategoryFromClassCode("L2T"), kCategoryTurboprop);
  EXPECT_EQ(CategoryFromClassCode("H1T"), kCategoryHelicopter);
  EXPECT_EQ(CategoryFromClassCode("L1P"), kCategoryPiston);
  EXPECT_EQ(CategoryFromClassCode(""), kCategoryPiston);
}

TEST(PilotRecords, TheLoginCarriesThePilotOnlyFieldsAtTheirOffsets) {
  PilotLoginRecord record;
  record.login.identity.callsign = "DEMO02";
  record.extras.category = kCategoryTurboprop;
  record.extras.olderPosition[0] = 0x0D;
  record.extras.position[1] = 0x20;
  record.extras.publicAddress = "203.0.113.9";
  const PilotLoginRecordBytes bytes = WritePilotLoginRecord(record);
  EXPECT_EQ(bytes[kIdentityBlockSize + 208], 0x0D);
  EXPECT_EQ(bytes[kIdentityBlockSize + 271], kCategoryTurboprop);
  EXPECT_EQ(bytes[kIdentityBlockSize + 273], 0x20);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[kIdentityBlockSize + 320])), "203.0.113.9");
  PilotLoginRecord back;
  ASSERT_EQ(ReadPilotLoginRecord(bytes, back), kNodeRecordOk);
  EXPECT_EQ(back.extras.publicAddress, "203.0.113.9");
  EXPECT_EQ(back.extras.category, kCategoryTurboprop);
  EXPECT_EQ(back.login.identity.callsign, "DEMO02");
}

TEST(PilotRecords, AttitudeWordsUnpack) {
  // pitch -3 (stored 3 inverted), bank -10, heading 270, on ground.
  const std::uint32_t word = (3u << 22) | ((0x400u - 10u) << 12) | (270u << 2) | 0x2u;
  const UnpackedAttitude attitude = UnpackPositionAttitude(word);
  EXPECT_FLOAT_EQ(attitude.pitch, -3.0F);
  EXPECT_FLOAT_EQ(attitude.bank, -10.0F);
  EXPECT_FLOAT_EQ(attitude.heading, 270.0F);
  EXPECT_TRUE(attitude.onGround);
  EXPECT_FLOAT_EQ(UnpackOlderAttitude(512u << 2).heading, 180.0F);
}

}  // namespace
