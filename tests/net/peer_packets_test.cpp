// The peer records as the receiving way reads them: the length each type
// must have, the conversions of both families against the sender's own
// writers, the ranges, the pair offsets and the identity record.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "net/orv_sok.h"
#include "net/peer_packets.h"
#include "net/position_records.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

Bytes Typed(std::uint16_t type, std::size_t size) {
  Bytes b(size, 0);
  if (size >= 1) b[0] = static_cast<std::uint8_t>(type);
  if (size >= 2) b[1] = static_cast<std::uint8_t>(type >> 8);
  return b;
}

OwnPositionValues Own(double lat, double lon, double feet) {
  OwnPositionValues own;
  own.latitude = lat;
  own.longitude = lon;
  own.altitudeFeet = feet;
  own.trueHeading = 90.0;
  own.magneticHeading = 90.0;
  own.pitch = 4.0;
  own.bank = -10.0;
  own.groundSpeedKnots = 120.0;
  own.groundSpeedWhole = 120;
  own.velocityY = -5.0;  // feet per second
  own.onGround = false;
  return own;
}

// The record's precision: one unit of the last fraction bit.
constexpr double kLatitudeStep = 1.0 / (65'536.0 * kOlderLatitudeUnitsPerDegree);
constexpr double kLongitudeStep = 1.0 / (65'536.0 * kOlderLongitudeUnitsPerDegree);

TEST(PeerPackets, OlderFamilyPositionsTravelAsFixedPointWordsAndComeBackWithinTheirPrecision) {
  struct Case {
    double lat, lon, feet;
    double wantLon;  // +180 is written as -180
  };
  const Case cases[] = {
      {-0.5, 2.25, 5500.0, 2.25}, {45.123456, -71.654321, 120.0, -71.654321}, {-89.99, 179.99, 41000.0, 179.99},
      {0.0, 180.0, -50.0, -180.0}, {12.5, -180.0, 0.0, -180.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lat);
    const OlderPositionRecord record = BuildOlderPositionRecord(Own(c.lat, c.lon, c.feet), RecordStamp{7, 99});
    const PeerFix fix = ConvertFsPosition(record);
    EXPECT_NEAR(fix.latitude, c.lat, kLatitudeStep);
    EXPECT_NEAR(fix.longitude, c.wantLon, kLongitudeStep);
    EXPECT_NEAR(fix.altitudeFeet, c.feet, 1e-3);
    EXPECT_EQ(fix.sequence, 7u);
    EXPECT_EQ(fix.timeMs, 99u);
    EXPECT_EQ(fix.groundSpeedKnots, 120);
    EXPECT_EQ(fix.verticalSpeed, -300);
    EXPECT_NEAR(fix.heading, 90.0F, 360.0 / 1'024.0);
    EXPECT_FALSE(fix.onGround);
  }
}

TEST(PeerPackets, OlderFamilyWholePartsAndFractionsAreReadAsEverySenderWritesThem) {
  // The bytes of the latitude (40 and 52), longitude (44 and 54) and
  // altitude (48 and 56) fields, and the values they stand for. A fraction
  // of 0x8000 or more is read unsigned after a whole part of 0 or more.
  struct Case {
    std::int32_t whole;
    std::uint16_t fraction;
    double units;
  };
  const Case cases[] = {
      {5'000'888, 0xA36B, 5'000'888.0 + 41'835.0 / 65'536.0},  // 45 degrees of latitude
      {10, 0xC000, 10.75},
      {10, 0x4000, 10.25},
      {-10, 0xC000, -10.25},
      {-10, 0x4000, -10.75},
      {-55'565, 0x9219, -55'565.0 - 28'135.0 / 65'536.0},  // -0.5 degrees
      {-3, 0, -3.0},
      {0, 0xC000, 0.75},  // -0.25 is written so too: the sign of a value above -1 is not in the fields
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.units);
    OlderPositionRecord record = BuildOlderPositionRecord(Own(0.0, 0.0, 0.0), RecordStamp{});
    for (std::size_t field = 0; field < 3; ++field) {
      for (std::size_t i = 0; i < 4; ++i) record[40 + 4 * field + i] = static_cast<std::uint8_t>(c.whole >> (8 * i));
      record[52 + 2 * field] = static_cast<std::uint8_t>(c.fraction);
      record[53 + 2 * field] = static_cast<std::uint8_t>(c.fraction >> 8);
    }
    const PeerFix fix = ConvertFsPosition(record);
    EXPECT_DOUBLE_EQ(fix.latitude, c.units / kOlderLatitudeUnitsPerDegree);
    EXPECT_DOUBLE_EQ(fix.longitude, c.units / kOlderLongitudeUnitsPerDegree);
    EXPECT_DOUBLE_EQ(fix.altitudeFeet, c.units / 0.30480369673313074);
  }
}

TEST(PeerPackets, TheShortOlderLayoutConvertsAndRepacksIntoTheFullRecord) {
  const OlderPositionRecord full = BuildOlderPositionRecord(Own(-0.5, 10.0, 800.0), RecordStamp{});
  std::array<std::uint8_t, kOlderShortPositionSize> shortRecord{};
  shortRecord[0] = static_cast<std::uint8_t>(kOlderShortPositionType);
  shortRecord[1] = static_cast<std::uint8_t>(kOlderShortPositionType >> 8);
  std::copy_n(full.begin() + 36, 4, shortRecord.begin() + 20);  // attitude
  std::copy_n(full.begin() + 40, 12, shortRecord.begin() + 24);  // whole parts
  std::copy_n(full.begin() + 52, 6, shortRecord.begin() + 36);   // fractions
  const PeerFix fix = ConvertFsShortPosition(shortRecord);
  EXPECT_NEAR(fix.latitude, -0.5, kLatitudeStep);
  EXPECT_NEAR(fix.longitude, 10.0, kLongitudeStep);
  EXPECT_NEAR(fix.altitudeFeet, 800.0, 1e-3);
  const OlderPositionRecord repacked = RepackShortPosition(shortRecord);
  EXPECT_EQ(U16(repacked, 0), kOlderPositionRecordType);
  EXPECT_EQ(Bytes(repacked.begin() + 36, repacked.begin() + 58), Bytes(full.begin() + 36, full.begin() + 58));
}

TEST(PeerPackets, TheNewerPositionRecordUnpacksAsItsWriterPackedIt) {
  OwnPositionValues own = Own(-33.9, 151.2, 2500.5);
  own.pitch = -5.0;
  own.bank = 20.0;
  own.magneticHeading = 359.0;
  own.verticalSpeed = -350.0;
  own.onGround = true;
  const PositionRecord record = BuildPositionRecord(own, RecordStamp{42, 1234});
  const PeerFix fix = UnpackAttitudeFields(record);
  EXPECT_EQ(fix.sequence, 42u);
  EXPECT_EQ(fix.timeMs, 1234u);
  EXPECT_EQ(fix.latitude, -33.9);
  EXPECT_EQ(fix.longitude, 151.2);
  EXPECT_EQ(fix.altitudeFeet, 2500.5);
  EXPECT_EQ(fix.pitch, 5.0F);  // the pitch field's sense is inverted on reading
  EXPECT_EQ(fix.bank, 20.0F);
  EXPECT_EQ(fix.heading, 359.0F);
  EXPECT_TRUE(fix.onGround);
  EXPECT_EQ(fix.groundSpeedKnots, 120);
  EXPECT_EQ(fix.verticalSpeed, -350);
}

TEST(PeerPackets, TheWayRecordKeepsTheWholeFix) {
  PeerFix fix;
  fix.sequence = 7;
  fix.timeMs = 900;
  fix.latitude = 45.5;
  fix.longitude = -3.25;
  fix.altitudeFeet = 1200.0;
  fix.pitch = 1.5F;
  fix.bank = -4.0F;
  fix.heading = 181.0F;
  fix.onGround = true;
  fix.groundSpeedKnots = 95;
  fix.verticalSpeed = -640;
  WayPosition position;
  StoreFix(fix, position);
  EXPECT_EQ(position.word1, 7u);
  EXPECT_EQ(position.word2, 900u);
  EXPECT_EQ(position.latitude, 45.5);
  EXPECT_EQ(position.longitude, -3.25);
  EXPECT_EQ(position.altitude, 1200.0);
  EXPECT_EQ(position.pitch, 1.5F);
  EXPECT_EQ(position.bank, -4.0F);
  EXPECT_EQ(position.heading, 181.0F);
  EXPECT_EQ(position.onGroundWord, 1);
  EXPECT_EQ(position.groundSpeedKnots, 95);
  EXPECT_EQ(position.verticalSpeed, -640);
}

TEST(PeerPackets, EveryKnownTypeHasItsLengthCheckedBeforeItIsRead) {
  struct Case {
    bool older;
    std::uint16_t type;
    std::size_t size;
    PeerRecordCheck want;
  };
  const auto ok = PeerRecordCheck::kOk;
  const auto wrong = PeerRecordCheck::kWrongLength;
  const auto unknown = PeerRecordCheck::kUnknownType;
  const Case cases[] = {
      {true, 4109, 60, ok},    {true, 4109, 59, wrong},  {true, 4121, 61, wrong}, {true, 4121, 60, ok},
      {true, 4096, 36, ok},    {true, 4096, 35, wrong},  {true, 4108, 42, ok},    {true, 4120, 41, wrong},
      {true, 4099, 140, ok},   {true, 4110, 139, wrong}, {true, 4107, 4, ok},     {true, 4119, 2, ok},
      {true, 4100, 60, unknown}, {true, 0x2000, 48, unknown}, {true, 4109, 1, wrong},
      {false, 0x2000, 48, ok}, {false, 0x2000, 47, wrong}, {false, 0x2000, 49, wrong},
      {false, 0x2100, 134, ok}, {false, 0x2100, 133, wrong}, {false, 0x2120, 24, ok}, {false, 0x2120, 23, wrong},
      {false, 0x2200, 8, ok},  {false, 0x2200, 7, wrong}, {false, 0x2240, 5, wrong}, {false, 0x2250, 6, ok},
      {false, 0x2260, 6, wrong}, {false, 0x2270, 6, ok}, {false, 0x2291, 8, wrong}, {false, 0x2291, 9, ok},
      {false, 0x2280, 8, unknown}, {false, 4109, 60, unknown}, {false, 0x2000, 0, wrong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " / " << c.size);
    const Bytes record = Typed(c.type, c.size);
    EXPECT_EQ(c.older ? CheckOlderFamilyRecord(record) : CheckNewerFamilyRecord(record), c.want);
  }
}

TEST(PeerPackets, APositionOutsideTheEarthOrTheHeightsIsRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double lat, lon, feet;
    bool ok;
  };
  const Case cases[] = {
      {0, 0, 0, true},          {90, 180, 100'000, true}, {-90, -180, -2'000, true}, {90.001, 0, 0, false},
      {-90.5, 0, 0, false},     {0, 180.01, 0, false},    {0, -181, 0, false},       {0, 0, -2'000.5, false},
      {0, 0, 100'001, false},   {nan, 0, 0, false},       {0, nan, 0, false},        {0, 0, inf, false},
      {-inf, 0, 0, false},
  };
  for (const Case& c : cases) {
    PeerFix fix;
    fix.latitude = c.lat;
    fix.longitude = c.lon;
    fix.altitudeFeet = c.feet;
    EXPECT_EQ(PeerFixInRange(fix), c.ok) << c.lat << " " << c.lon << " " << c.feet;
  }
  PeerFix badHeading;
  badHeading.heading = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(PeerFixInRange(badHeading));
}

TEST(PeerPackets, PairOffsetsComeFromTheTableAndAreZeroForTheSameFamily) {
  CrossSimOffsetTable table = DefaultCrossSimOffsetTable();
  for (auto& e : table.entries) e = {};
  table.entries[0] = {2004, 9000, 0.01, -0.02, 30.0F, 2.0F};
  table.entries[1] = {9000, 2006, 0.5, 0.25, -10.0F, -1.5F};
  table.entries[2] = {9000, 9000, 1.0, 1.0, 1.0F, 1.0F};  // never used: the same family
  // Both orders of one pair: the first row counts, as in the offsets window.
  table.entries[3] = {3000, 10000, 0.125, 0.25, 4.0F, 1.0F};
  table.entries[4] = {10000, 3000, 0.75, 0.75, 8.0F, 3.0F};
  struct Case {
    std::int32_t own, peer;
    bool found;
    double lat, lon;
    float alt, heading;
  };
  const Case cases[] = {
      {9000, 9500, true, 0, 0, 0, 0},            // same family (9000..9999)
      {9000, 2006, true, 0.5, 0.25, -10, -1.5},  // row (own, peer) as it is
      {9000, 2004, true, -0.01, 0.02, -30, -2},  // row (peer, own) negated
      {10000, 3000, true, -0.125, -0.25, -4, -1},  // the first row of the pair, negated
      {3000, 10000, true, 0.125, 0.25, 4, 1},      // the same row as it is
      {9000, 10000, false, 7, 7, 7, 7},            // no row: kept
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.peer);
    SimulatorPairOffsets offsets{7, 7, 7, 7, 3};
    EXPECT_EQ(LookUpPairOffsets(c.own, c.peer, table, offsets), c.found);
    EXPECT_EQ(offsets.latitude, c.lat);
    EXPECT_EQ(offsets.longitude, c.lon);
    EXPECT_EQ(offsets.altitude, c.alt);
    EXPECT_EQ(offsets.heading, c.heading);
  }
}

TEST(PeerPackets, OffsetsAreAddedInPlaceWithLongitudeAndHeadingKeptInTheirCircles) {
  SimulatorPairOffsets offsets{0.25, 0.5, 100.0F, 10.0F, 0};
  // Newer layout.
  OwnPositionValues own = Own(10.0, 179.75, 1000.0);
  own.magneticHeading = 355.0;
  PositionRecord record = BuildPositionRecord(own, RecordStamp{});
  ApplyPairOffsets(std::span<std::uint8_t, kPositionRecordSize>(record), offsets);
  PeerFix fix = UnpackAttitudeFields(record);
  EXPECT_DOUBLE_EQ(fix.latitude, 10.25);
  EXPECT_DOUBLE_EQ(fix.longitude, -179.75);
  EXPECT_EQ(fix.altitudeFeet, 1100.0);
  EXPECT_EQ(fix.heading, 5.0F);
  // Older layout: the heading stays in its 1/1,024 units.
  own.trueHeading = 355.0;
  OlderPositionRecord older = BuildOlderPositionRecord(own, RecordStamp{});
  ApplyPairOffsets(std::span<std::uint8_t, kOlderPositionRecordSize>(older), offsets);
  fix = ConvertFsPosition(older);
  EXPECT_NEAR(fix.latitude, 10.25, kLatitudeStep * 2);
  EXPECT_NEAR(fix.longitude, -179.75, kLongitudeStep * 2);
  EXPECT_NEAR(fix.altitudeFeet, 1100.0, 1e-3);
  EXPECT_NEAR(fix.heading, 5.0F, 2 * 360.0 / 1'024.0);  // the sender truncates to its unit
  // Zero offsets leave the bytes as they came.
  const OlderPositionRecord before = BuildOlderPositionRecord(own, RecordStamp{});
  OlderPositionRecord after = before;
  ApplyPairOffsets(std::span<std::uint8_t, kOlderPositionRecordSize>(after), SimulatorPairOffsets{});
  EXPECT_EQ(after, before);
}

TEST(PeerPackets, TheIdentityRecordIsLaidOutFieldByFieldWithTextsCutInTheirFields) {
  const std::string longTitle(200, 'T');
  const auto record = BuildIdentityRecord(0x1234, longTitle, "B738LONGER", "L2J");
  EXPECT_EQ(U16(record, 0), 0x2100);
  EXPECT_EQ(record[2], 130);
  EXPECT_EQ(record[3], 0);
  EXPECT_EQ(U16(record, 4), 0x1234);
  EXPECT_EQ(record[6 + 110], 'T');
  EXPECT_EQ(record[117], 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + 118)), "B738LON");
  EXPECT_EQ(record[125], 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data() + 126)), "L2J");
  EXPECT_EQ(record[133], 0);
  EXPECT_EQ(CheckNewerFamilyRecord(record), PeerRecordCheck::kOk);
}

TEST(PeerPackets, ASequenceBelowTheLastIsDroppedAndAnEqualOneTaken) {
  EXPECT_TRUE(SequenceAccepted(5, 6));
  EXPECT_TRUE(SequenceAccepted(5, 5));
  EXPECT_FALSE(SequenceAccepted(5, 4));
  EXPECT_TRUE(SequenceAccepted(0, 0));
}

}  // namespace
