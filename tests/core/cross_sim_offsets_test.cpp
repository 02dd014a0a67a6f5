// The offsets table: its defaults, the file value parser, the pair look-up
// with its sign rule, and a peer's position moved by its pair's offsets.
#include "core/cross_sim_offsets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "core/sim_family.h"

namespace {

class CrossSimTable : public testing::Test {
 protected:
  void SetUp() override { SetCrossSimOffsets(DefaultCrossSimOffsetTable()); }
  void TearDown() override { SetCrossSimOffsets(DefaultCrossSimOffsetTable()); }
};

CrossSimOffsetEntry Entry(std::int32_t a, std::int32_t b, double lat, double lon, float alt, float heading) {
  return CrossSimOffsetEntry{a, b, lat, lon, alt, heading};
}

}  // namespace

TEST(SimulatorFamilyTest, CodesNamesAndParsedNames) {
  const struct {
    std::int32_t code;
    std::int32_t family;
    const char* name;
  } cases[] = {
      {2002, 2002, "FS"}, {2004, 2004, "FS"},   {2006, 2006, "FSX"},  {3000, 3000, "P3D"},  {3999, 3000, "P3D"},
      {9000, 9000, "XP9"}, {9999, 9000, "XP9"}, {10000, 10000, "XP10"}, {10999, 10000, "XP10"}, {2005, 0, nullptr},
      {4000, 0, nullptr}, {11000, 0, nullptr},  {0, 0, nullptr},      {-9000, 0, nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SimulatorFamily(c.code), c.family) << c.code;
    const char* name = SimulatorFamilyFileName(c.family);
    if (c.name == nullptr) {
      EXPECT_EQ(name, nullptr) << c.code;
    } else {
      ASSERT_NE(name, nullptr) << c.code;
      EXPECT_STREQ(name, c.name);
    }
  }
  EXPECT_EQ(ParseSimulatorFamilyName("FS"), 2004);
  EXPECT_EQ(ParseSimulatorFamilyName("fsx"), 2006);
  EXPECT_EQ(ParseSimulatorFamilyName("P3D"), 3000);
  EXPECT_EQ(ParseSimulatorFamilyName("XP9"), 9000);
  EXPECT_EQ(ParseSimulatorFamilyName("Xp10"), 10000);
  EXPECT_EQ(ParseSimulatorFamilyName("XP11"), 0);
  EXPECT_EQ(ParseSimulatorFamilyName(""), 0);
  EXPECT_EQ(ParseSimulatorFamilyName("FS9"), 0);
}

TEST_F(CrossSimTable, DefaultsPairEveryFamilyOnceWithZeroOffsets) {
  const std::pair<std::int32_t, std::int32_t> pairs[] = {
      {2004, 2006}, {2004, 3000}, {2004, 9000}, {2004, 10000}, {2006, 3000},
      {2006, 9000}, {2006, 10000}, {3000, 9000}, {3000, 10000}, {9000, 10000},
  };
  const CrossSimOffsetTable table = DefaultCrossSimOffsetTable();
  EXPECT_EQ(table.icao[0], '\0');
  for (std::size_t i = 0; i < table.entries.size(); ++i) {
    EXPECT_EQ(table.entries[i], Entry(pairs[i].first, pairs[i].second, 0, 0, 0, 0)) << i;
  }

  // Restoring the defaults keeps the airport the table was loaded for.
  CrossSimOffsetTable changed = table;
  changed.icao = {'L', 'F', 'P', 'G', '\0'};
  changed.entries[3] = Entry(2006, 2004, 1.0, 2.0, 3.0F, 4.0F);
  SetCrossSimOffsets(changed);
  SetDefaultCrossSimOffsets();
  const CrossSimOffsetTable after = CrossSimOffsets();
  EXPECT_EQ(after.entries, table.entries);
  EXPECT_STREQ(after.icao.data(), "LFPG");
}

TEST(CrossSimParse, ValuesAndTheirCodes) {
  const struct {
    const char* value;
    int code;
    CrossSimOffsetEntry expected;
  } cases[] = {
      {"FS,XP10,0.0001,0,10,2", 1, Entry(2004, 10000, 0.0001, 0, 10, 2)},
      {"XP9,FSX,-0.000005,0.25,-3.5,-179.5", 1, Entry(9000, 2006, -0.000005, 0.25, -3.5F, -179.5F)},
      {"p3d,xp9,+1E-5,1e-4,0,0", 1, Entry(3000, 9000, 0.00001, 0.0001, 0, 0)},
      // As the loader hands it over: blanks turned into '_'.
      {"FS,_XP10,_0.5_,__1,2,3__", 1, Entry(2004, 10000, 0.5, 1, 2, 3)},
      {"FS,XP10,0,0,0,0,ANY,MORE", 1, Entry(2004, 10000, 0, 0, 0, 0)},
      {"FS,XP10,90,-180,100000,180", 1, Entry(2004, 10000, 90, -180, 100000, 180)},
      {"", kOffsetLineFamilyAMissing, {}},
      {",XP10,0,0,0,0", kOffsetLineFamilyAMissing, {}},
      {"XP11,XP10,0,0,0,0", kOffsetLineFamilyAUnknown, {}},
      {"FS", kOffsetLineFamilyBMissing, {}},
      {"FS,,0,0,0,0", kOffsetLineFamilyBMissing, {}},
      {"FS,XP11,0,0,0,0", kOffsetLineFamilyBUnknown, {}},
      {"FS,XP10", kOffsetLineLatitudeBad, {}},
      {"FS,XP10,,0,0,0", kOffsetLineLatitudeBad, {}},
      {"FS,XP10,0.1X,0,0,0", kOffsetLineLatitudeBad, {}},
      {"FS,XP10,NAN,0,0,0", kOffsetLineLatitudeBad, {}},
      {"FS,XP10,90.5,0,0,0", kOffsetLineLatitudeBad, {}},
      {"FS,XP10,0", kOffsetLineLongitudeBad, {}},
      {"FS,XP10,0,INF,0,0", kOffsetLineLongitudeBad, {}},
      {"FS,XP10,0,-180.01,0,0", kOffsetLineLongitudeBad, {}},
      {"FS,XP10,0,0", kOffsetLineAltitudeBad, {}},
      {"FS,XP10,0,0,1E39,0", kOffsetLineAltitudeBad, {}},
      {"FS,XP10,0,0,-100001,0", kOffsetLineAltitudeBad, {}},
      {"FS,XP10,0,0,0", kOffsetLineHeadingBad, {}},
      {"FS,XP10,0,0,0,", kOffsetLineHeadingBad, {}},
      {"FS,XP10,0,0,0,181", kOffsetLineHeadingBad, {}},
      {"FS,XP10,0,0,0,0x10", kOffsetLineHeadingBad, {}},
      {"FS,XP10,0,0,0,1,5", 1, Entry(2004, 10000, 0, 0, 0, 1)},
  };
  const CrossSimOffsetEntry untouched = Entry(2006, 3000, 7, 8, 9, 10);
  for (const auto& c : cases) {
    CrossSimOffsetEntry entry = untouched;
    EXPECT_EQ(ParseCrossSimOffsetEntry(c.value, entry), c.code) << c.value;
    EXPECT_EQ(entry, c.code == 1 ? c.expected : untouched) << c.value;
  }
}

TEST(CrossSimParse, LineGoesToItsEntryAndRefusesAnIndexOutsideTheTable) {
  CrossSimOffsetTable table = DefaultCrossSimOffsetTable();
  const CrossSimOffsetTable before = table;
  EXPECT_EQ(ParseCrossSimOffsetLine("FSX,XP9,1,2,3,4", 9, table), 1);
  EXPECT_EQ(table.entries[9], Entry(2006, 9000, 1, 2, 3, 4));
  for (int index : {-1, 10, 1000}) {
    EXPECT_EQ(ParseCrossSimOffsetLine("FSX,XP9,1,2,3,4", index, table), kOffsetLineBadEntryIndex) << index;
  }
  for (std::size_t i = 0; i < 9; ++i) EXPECT_EQ(table.entries[i], before.entries[i]) << i;
}

TEST_F(CrossSimTable, PairLookUpTakesStoredOrNegatedOffsetsOfTheFirstMatchingEntry) {
  CrossSimOffsetTable table = DefaultCrossSimOffsetTable();
  table.entries[2] = Entry(2004, 9000, 0.001, -0.002, 12.5F, 3.0F);
  table.entries[7] = Entry(3000, 9000, 0.01, 0.02, -4.0F, -1.5F);
  table.entries[8] = Entry(9000, 3000, 5, 5, 5, 5);  // never reached: entry 7 names the pair first
  table.entries[9] = Entry(9000, 10000, 0.1, 0.2, 1.0F, 2.0F);
  const struct {
    std::int32_t own;
    std::int32_t peer;
    std::optional<CrossSimPairOffsets> expected;
  } cases[] = {
      {9000, 2004, CrossSimPairOffsets{-0.001, 0.002, -12.5F, -3.0F}},
      {9500, 3512, CrossSimPairOffsets{-0.01, -0.02, 4.0F, 1.5F}},
      {9000, 10200, CrossSimPairOffsets{0.1, 0.2, 1.0F, 2.0F}},
      {10000, 9001, CrossSimPairOffsets{-0.1, -0.2, -1.0F, -2.0F}},
      {9000, 9999, CrossSimPairOffsets{}},
      {2004, 2004, CrossSimPairOffsets{}},
      // No entry names 2002 or an unknown code: the caller keeps what it had.
      {9000, 2002, std::nullopt},
      {9000, 4000, std::nullopt},
  };
  SetCrossSimOffsets(table);
  for (const auto& c : cases) {
    EXPECT_EQ(FindCrossSimPairOffsets(table, c.own, c.peer), c.expected) << c.own << " " << c.peer;
    EXPECT_EQ(CrossSimPairOffsetsFor(c.own, c.peer), c.expected) << c.own << " " << c.peer;
  }
  EXPECT_EQ(FindCrossSimPairEntry(table, 9000, 3000), 7);
  EXPECT_EQ(FindCrossSimPairEntry(table, 10000, 9000), 9);
  EXPECT_EQ(FindCrossSimPairEntry(table, 2002, 9000), -1);
}

TEST(CrossSimApply, PositionsAreMovedAndKeptOnTheGlobe) {
  const struct {
    const char* name;
    CrossSimPosition position;
    CrossSimPairOffsets offsets;
    CrossSimPosition expected;
  } cases[] = {
      {"plain", {45.0, 7.0, 1000.0, 90.0}, {0.001, -0.002, 10.0F, 2.0F}, {45.001, 6.998, 1010.0, 92.0}},
      {"north pole", {89.9995, 10.0, 0.0, 0.0}, {0.001, 0.0, 0.0F, 0.0F}, {90.0, 10.0, 0.0, 0.0}},
      {"south pole", {-89.9995, 10.0, 0.0, 0.0}, {-0.001, 0.0, 0.0F, 0.0F}, {-90.0, 10.0, 0.0, 0.0}},
      {"east over the date line", {0.0, 179.9995, 0.0, 0.0}, {0.0, 0.001, 0.0F, 0.0F}, {0.0, -179.9995, 0.0, 0.0}},
      {"west over the date line", {0.0, -179.9995, 0.0, 0.0}, {0.0, -0.001, 0.0F, 0.0F}, {0.0, 179.9995, 0.0, 0.0}},
      {"onto the date line", {0.0, 179.5, 0.0, 0.0}, {0.0, 0.5, 0.0F, 0.0F}, {0.0, 180.0, 0.0, 0.0}},
      {"heading past north", {0.0, 0.0, 0.0, 359.0}, {0.0, 0.0, 0.0F, 3.0F}, {0.0, 0.0, 0.0, 2.0}},
      {"heading below north", {0.0, 0.0, 0.0, 1.0}, {0.0, 0.0, 0.0F, -3.0F}, {0.0, 0.0, 0.0, 358.0}},
      {"negative altitude", {0.0, 0.0, -50.0, 0.0}, {0.0, 0.0, -25.5F, 0.0F}, {0.0, 0.0, -75.5, 0.0}},
  };
  for (const auto& c : cases) {
    const CrossSimPosition moved = ApplyCrossSimOffsets(c.position, c.offsets);
    EXPECT_NEAR(moved.latitude, c.expected.latitude, 1e-9) << c.name;
    EXPECT_NEAR(moved.longitude, c.expected.longitude, 1e-9) << c.name;
    EXPECT_NEAR(moved.altitudeFeet, c.expected.altitudeFeet, 1e-6) << c.name;
    EXPECT_NEAR(moved.headingDegrees, c.expected.headingDegrees, 1e-6) << c.name;
    EXPECT_GE(moved.longitude, -180.0) << c.name;
    EXPECT_LE(moved.longitude, 180.0) << c.name;
    EXPECT_GE(moved.headingDegrees, 0.0) << c.name;
    EXPECT_LT(moved.headingDegrees, 360.0) << c.name;
  }
  // A position off the date line keeps its longitude bit for bit.
  EXPECT_EQ(ApplyCrossSimOffsets({0.0, -122.375, 0.0, 0.0}, {}).longitude, -122.375);

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const CrossSimPosition broken = ApplyCrossSimOffsets({nan, nan, nan, nan}, {1.0, 1.0, 1.0F, 1.0F});
  EXPECT_TRUE(std::isnan(broken.latitude) && std::isnan(broken.longitude) && std::isnan(broken.altitudeFeet) &&
              std::isnan(broken.headingDegrees));
}
