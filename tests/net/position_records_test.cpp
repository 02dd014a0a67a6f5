// The own records in each peer family's layout, byte for byte, and the
// fixed-point splits of the older family's position.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <span>
#include <string>

#include "net/position_records.h"

namespace {

std::string Hex(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) {
    char piece[4];
    std::snprintf(piece, sizeof piece, "%02X ", byte);
    text += piece;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

std::int32_t I32At(std::span<const std::uint8_t> r, std::size_t at) {
  return static_cast<std::int32_t>(r[at] | (r[at + 1] << 8) | (r[at + 2] << 16) |
                                   (static_cast<std::uint32_t>(r[at + 3]) << 24));
}
std::uint16_t U16At(std::span<const std::uint8_t> r, std::size_t at) {
  return static_cast<std::uint16_t>(r[at] | (r[at + 1] << 8));
}

// A reader of the older family that takes the fraction unsigned, whatever
// the whole part's sign.
double ReadUnsigned(std::int32_t whole, std::uint16_t fraction) { return whole + fraction / 65'536.0; }

TEST(PositionRecords, TheFortyEightByteRecordIsLaidOutFieldByField) {
  OwnPositionValues own;
  own.latitude = 47.5;
  own.longitude = -122.25;
  own.altitudeFeet = 1234.5;
  own.pitch = -5.7;
  own.bank = 12.9;
  own.trueHeading = 10.0;  // not carried: the 48-byte record has the magnetic heading
  own.magneticHeading = 271.8;
  own.groundSpeedWhole = 143;
  own.verticalSpeed = -512.7;
  own.onGround = true;
  const PositionRecord record = BuildPositionRecord(own, RecordStamp{0x01020304, 0x0A0B0C0D});
  EXPECT_EQ(Hex(record),
            "00 20 2C 00 04 03 02 01 0D 0C 0B 0A 8F 00 00 FE 00 00 00 00 3E C4 C0 FE "
            "00 50 9A 44 00 00 00 00 00 00 00 00 00 C0 47 40 00 00 00 00 00 90 5E C0");
}

TEST(PositionRecords, TheSixtyByteRecordIsLaidOutFieldByField) {
  OwnPositionValues own;
  own.latitude = -0.5;
  own.longitude = 180.0;
  own.altitudeFeet = 1000.0;
  own.pitch = -3.2;
  own.bank = -20.4;
  own.trueHeading = 90.7;
  own.magneticHeading = 300.0;  // not carried: the 60-byte record has the true heading
  own.groundSpeedKnots = 120.9;
  own.velocityX = 2.5;
  own.velocityZ = -1.75;
  own.velocityY = 8.25;
  own.onGround = false;
  own.lightsAndFlags = 0x23;  // bits 0, 1 and 5
  const OlderPositionRecord record = BuildOlderPositionRecord(own, RecordStamp{0x11223344, 0x55667788});
  EXPECT_EQ(Hex(record),
            "0D 10 00 00 36 00 00 00 44 33 22 11 88 77 66 55 00 80 02 00 00 40 FE FF 00 40 08 00 "
            "6F 32 3E 00 05 01 00 00 04 64 FC FD F3 26 FF FF B2 01 00 80 30 01 00 00 19 92 F7 89 BF CD 00 00");
}

TEST(PositionRecords, ANegativeHalfDegreeOfLatitudeKeepsItsSignInWholePartAndFraction) {
  OwnPositionValues own;
  own.latitude = -0.5;
  const OlderPositionRecord record = BuildOlderPositionRecord(own, {});
  EXPECT_EQ(I32At(record, 40), -55'565);
  EXPECT_GE(U16At(record, 52), 0x8000) << "the 16 bits of a negative fraction";
  EXPECT_NEAR(JoinFixed(I32At(record, 40), U16At(record, 52)) / kOlderLatitudeUnitsPerDegree, -0.5, 1e-9);
}

TEST(PositionRecords, WholePartsAndFractionsAreWrittenAsModfSplitsThem) {
  // The bytes at 40-51 (latitude, longitude and altitude whole parts) and
  // 52-57 (their fractions), worked out by hand from the scales: latitude
  // 45 is 5,000,888.6384 units, so 5,000,888 and 0.6384 x 65,536 = 41,835.
  struct Case {
    double latitude, longitude, feet;
    const char* wholes;
    const char* fractions;
  };
  const Case cases[] = {
      // 5000888 + 41835; 31019201 + 64661 (2.6 E); 1676 m + 27546 (5,500 ft)
      {45.0, 2.6, 5500.0, "B8 4E 4C 00 C1 50 D9 01 8C 06 00 00", "6B A3 95 FC 9A 6B"},
      // -55565 and -28135 (0x9219); -1458499016 and -31991 (0x8309); -15 m and -15740 (0xC284)
      {-0.5, -122.25, -50.0, "F3 26 FF FF 38 12 11 A9 F1 FF FF FF", "19 92 09 83 84 C2"},
      // 1389135 + 48029; 83513236 + 7728; 304 m + 52671
      {12.5, 7.0, 1000.0, "4F 32 15 00 94 4F FA 04 30 01 00 00", "9D BB 30 1E BF CD"},
      // -3767336 and -7049 (0xE477); -854869175 and -33170 (0x7E6E); 0 m
      {-33.9, -71.654321, 0.0, "D8 83 C6 FF 49 BB 0B CD 00 00 00 00", "77 E4 6E 7E 00 00"},
  };
  for (const Case& c : cases) {
    OwnPositionValues own;
    own.latitude = c.latitude;
    own.longitude = c.longitude;
    own.altitudeFeet = c.feet;
    const OlderPositionRecord record = BuildOlderPositionRecord(own, {});
    EXPECT_EQ(Hex(std::span<const std::uint8_t>(record).subspan(40, 12)), c.wholes) << c.latitude;
    EXPECT_EQ(Hex(std::span<const std::uint8_t>(record).subspan(52, 6)), c.fractions) << c.latitude;
  }
}

TEST(PositionRecords, AReaderOfUnsignedFractionsReadsEveryValueOfZeroOrMoreExactly) {
  for (double value = 0.0; value < 2000.0; value += 0.0173) {
    const FixedSplit split = SplitFixed(value);
    ASSERT_LT(value - ReadUnsigned(split.whole, split.fraction), 1.0 / 65'536.0) << value;
    ASSERT_GE(value - ReadUnsigned(split.whole, split.fraction), 0.0) << value;
  }
}

TEST(PositionRecords, LongitudesAtAndBeyondTheAntimeridianFitTheSignedWord) {
  struct Case {
    double degrees;
    double writtenAs;
  };
  const Case cases[] = {
      {180.0, -180.0},        {-180.0, -180.0},    {179.9999999, 179.9999999}, {180.00005, -179.99995},
      {540.0, -180.0},        {-190.0, 170.0},     {-122.25, -122.25},         {0.0, 0.0},
  };
  for (const Case& c : cases) {
    OwnPositionValues own;
    own.longitude = c.degrees;
    const OlderPositionRecord record = BuildOlderPositionRecord(own, {});
    const double read = JoinFixed(I32At(record, 44), U16At(record, 54)) / kOlderLongitudeUnitsPerDegree;
    EXPECT_NEAR(read, c.writtenAs, 1e-9) << c.degrees;
  }
}

TEST(PositionRecords, TheSplitTruncatesTowardZeroAndTheJoinGivesTheValueBack) {
  struct Case {
    double value;
    std::int32_t whole;
    std::uint16_t fraction;
  };
  const Case cases[] = {
      {10.75, 10, 49'152},   // read unsigned: 10 + 0.75
      {10.25, 10, 16'384},
      {-10.25, -10, 49'152},  // -16,384 in 16 bits
      {-10.75, -10, 16'384},  // -49,152 in 16 bits
      {-1.0, -1, 0},
      {1.0 / 65'536.0, 0, 1},
      {0.9 / 65'536.0, 0, 0},  // truncated, not rounded
      {0.0, 0, 0},
      {std::numeric_limits<double>::quiet_NaN(), 0, 0},
      {3e9, std::numeric_limits<std::int32_t>::max(), 0},
      {-3e9, std::numeric_limits<std::int32_t>::min(), 0},
  };
  for (const Case& c : cases) {
    const FixedSplit split = SplitFixed(c.value);
    EXPECT_EQ(split.whole, c.whole) << c.value;
    EXPECT_EQ(split.fraction, c.fraction) << c.value;
  }
  // Every value outside (-1, 0) comes back to one unit of the fraction.
  for (double value = -1000.0; value < 1000.0; value += 0.0173) {
    if (value > -1.0 && value < 0.0) continue;
    const FixedSplit split = SplitFixed(value);
    ASSERT_NEAR(JoinFixed(split.whole, split.fraction), value, 1.0 / 65'536.0) << value;
  }
  // Between -1 and 0 the sign is lost: the value reads as 1 + value.
  const FixedSplit small = SplitFixed(-0.25);
  EXPECT_EQ(small.whole, 0);
  EXPECT_EQ(small.fraction, 49'152);
  EXPECT_EQ(JoinFixed(small.whole, small.fraction), 0.75);
  // A negative whole part with no fraction is the whole part.
  EXPECT_EQ(JoinFixed(-7, 0), -7.0);
  EXPECT_EQ(JoinFixed(-7, 1), -7.0 - 65'535.0 / 65'536.0);
}

TEST(PositionRecords, AttitudeWordsHoldTenBitsEachInTwosComplement) {
  struct Case {
    double pitch, bank, trueHeading, magneticHeading;
    bool onGround;
    std::uint32_t newer, older;
  };
  const Case cases[] = {
      {0, 0, 0, 0, false, 0, 0},
      {0, 0, 0, 0, true, 0x2, 0x2},
      {-1, 0, 0, 0, false, 0x3FFu << 22, 0x3FEu << 22},     // -1 x 256 / 90 = -2.8, truncated
      {0, 180, 0, 0, false, 180u << 12, 0x200u << 12},      // 512 wraps to -512: the same bank
      {0, -180, 0, 0, false, (0x3FFu - 179) << 12, 0x200u << 12},
      {0, 0, 359.9, 359.9, false, 359u << 2, 1023u << 2},
      {0, 0, 360, 360, false, 360u << 2, 0},                // 1,024 is a full turn: 0
      {std::nan(""), 1e300, -1e300, 45, false, (0x3FFu << 12) | (45u << 2), (0x3FFu << 12)},
  };
  for (const Case& c : cases) {
    OwnPositionValues own;
    own.pitch = c.pitch;
    own.bank = c.bank;
    own.trueHeading = c.trueHeading;
    own.magneticHeading = c.magneticHeading;
    own.onGround = c.onGround;
    EXPECT_EQ(PositionAttitudeWord(own), c.newer) << c.pitch << " " << c.bank << " " << c.magneticHeading;
    EXPECT_EQ(OlderAttitudeWord(own), c.older) << c.pitch << " " << c.bank << " " << c.trueHeading;
  }
}

TEST(PositionRecords, StateBytesAreDecodedFromTheLightsAndFlagsWord) {
  EXPECT_EQ(DecodeOwnFlagBits(0).a, 0);
  EXPECT_EQ(DecodeOwnFlagBits(0).b, 0);
  EXPECT_EQ(DecodeOwnFlagBits(0xAAAA).a, 0xFF);  // bits 1, 3 ... 15
  EXPECT_EQ(DecodeOwnFlagBits(0xAAAA).b, 0);
  EXPECT_EQ(DecodeOwnFlagBits(0x5554).a, 0);     // the even bits above 0 set nothing
  EXPECT_EQ(DecodeOwnFlagBits(0x8001).a, 0x80);
  EXPECT_EQ(DecodeOwnFlagBits(0x8001).b, 1);
}

TEST(PositionRecords, TheStateRecordsCarryTheControlsAsStored) {
  OwnStateValues own;
  own.controls = {-3, 200, 0x1FF, 50, 7, 8, 9, 0x12345};
  own.switches = {1, 0, 5, 0};
  own.engines = {10, 300, -1, 0};
  own.controlWord = 0xBEEF;
  EXPECT_EQ(Hex(BuildStateRecord(own, 0x0A0B0C0D)),
            "20 21 14 00 0D 0C 0B 0A FD C8 FF 32 07 08 09 05 0A 2C FF 00 EF BE 45 23");

  OwnStateValues older;
  older.controls[0] = 70;   // 70 x 15 / 100 = 10
  older.controls[1] = -55;  // -55 x 19 / 100 = -10, truncated toward zero
  older.selector = 13;
  EXPECT_EQ(Hex(BuildOlderStateRecord(older, RecordStamp{0x11223344, 0x55667788})),
            "00 10 00 00 1E 00 00 00 88 77 66 55 44 33 22 11 F6 0A F5 F5 0A F6 00 00 00 00 00 00 00 00 00 00 00 00 00 00");

  OwnStateValues extreme;
  extreme.controls[0] = std::numeric_limits<std::int32_t>::max();  // the product needs 64 bits
  const OlderStateRecord big = BuildOlderStateRecord(extreme, {});
  const std::int64_t scaled = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) * 15 / 100;
  EXPECT_EQ(big[17], static_cast<std::uint8_t>(scaled));
  EXPECT_EQ(big[16], static_cast<std::uint8_t>(-scaled));

  OwnStateValues shortState;
  shortState.movingFlag = 3;
  shortState.shortValue = 0x1234;
  EXPECT_EQ(Hex(BuildShortStateRecord(shortState)), "80 22 04 00 01 00 34 12");
}

TEST(PositionRecords, TheStepValueFollowsTheSelectorTable) {
  const std::uint8_t expected[41] = {0,   255, 254, 253, 253, 252, 251, 250, 249, 248, 248, 247, 246, 245,
                                     245, 245, 245, 244, 243, 242, 241, 240, 239, 238, 238, 238, 238, 237,
                                     236, 235, 234, 233, 232, 231, 230, 229, 228, 227, 227, 227, 227};
  for (int selector = 0; selector <= 40; ++selector) {
    EXPECT_EQ(OlderStepValue(selector), expected[selector]) << selector;
  }
  EXPECT_EQ(OlderStepValue(-7), 0);
  EXPECT_EQ(OlderStepValue(41), 227);
  EXPECT_EQ(OlderStepValue(std::numeric_limits<std::int32_t>::max()), 227);
}

TEST(PositionRecords, OutOfRangeSpeedsAreHeldInTheirFields) {
  OwnPositionValues own;
  own.verticalSpeed = 1e9;
  own.groundSpeedKnots = -5.0;
  own.velocityY = std::nan("");
  const PositionRecord newer = BuildPositionRecord(own, {});
  EXPECT_EQ(U16At(newer, 14), std::numeric_limits<std::int16_t>::max());
  const OlderPositionRecord older = BuildOlderPositionRecord(own, {});
  EXPECT_EQ(I32At(older, 28), 0);
  EXPECT_EQ(I32At(older, 24), 0);
}

}  // namespace
