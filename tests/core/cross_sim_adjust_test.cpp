// The offsets dialog's arithmetic on one entry: the step buttons, "Forward"
// and "Back" along a peer's heading, and "Clear".
#include "core/cross_sim_adjust.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

CrossSimOffsetEntry Entry(std::int32_t a, std::int32_t b, double lat = 0, double lon = 0, float alt = 0,
                          float heading = 0) {
  return CrossSimOffsetEntry{a, b, lat, lon, alt, heading};
}

}  // namespace

TEST(OffsetStepTest, KeysPickTheSize) {
  EXPECT_EQ(StepSizeFromKeys(false, false), OffsetStepSize::Normal);
  EXPECT_EQ(StepSizeFromKeys(true, false), OffsetStepSize::Small);
  EXPECT_EQ(StepSizeFromKeys(false, true), OffsetStepSize::Big);
  EXPECT_EQ(StepSizeFromKeys(true, true), OffsetStepSize::Small);
}

TEST(OffsetStepTest, EachButtonMovesItsValueInTheDirectionThePilotSees) {
  // Own X-Plane 9. Against X-Plane 10 the entry stores the own family first,
  // against the others second, so their steps apply with the opposite sign.
  const struct {
    OffsetStep step;
    OffsetStepSize size;
    double latitude, longitude, altitude, heading;  // change in an own-first entry
  } cases[] = {
      {OffsetStep::AltitudeUp, OffsetStepSize::Normal, 0, 0, 0.1, 0},
      {OffsetStep::AltitudeUp, OffsetStepSize::Small, 0, 0, 0.05, 0},
      {OffsetStep::AltitudeDown, OffsetStepSize::Big, 0, 0, -2.0, 0},
      {OffsetStep::LatitudePlus, OffsetStepSize::Normal, 0.000001, 0, 0, 0},
      {OffsetStep::LatitudeMinus, OffsetStepSize::Small, -0.0000005, 0, 0, 0},
      {OffsetStep::LatitudePlus, OffsetStepSize::Big, 0.00002, 0, 0, 0},
      {OffsetStep::LongitudePlus, OffsetStepSize::Normal, 0, 0.000005, 0, 0},
      {OffsetStep::LongitudeMinus, OffsetStepSize::Small, 0, -0.0000025, 0, 0},
      {OffsetStep::LongitudePlus, OffsetStepSize::Big, 0, 0.0001, 0, 0},
      {OffsetStep::HeadingRight, OffsetStepSize::Normal, 0, 0, 0, 1.0},
      {OffsetStep::HeadingLeft, OffsetStepSize::Small, 0, 0, 0, -0.5},
      {OffsetStep::HeadingRight, OffsetStepSize::Big, 0, 0, 0, 20.0},
  };
  for (const auto& c : cases) {
    for (const auto& [a, b, sign] : {std::tuple{9000, 10000, 1}, std::tuple{2004, 9000, -1}, std::tuple{3000, 9000, -1}}) {
      CrossSimOffsetEntry entry = Entry(a, b, 1.0, 2.0, 3.0F, 4.0F);
      EXPECT_TRUE(ApplyOffsetStep(entry, 9000, c.step, c.size));
      EXPECT_DOUBLE_EQ(entry.latitudeOffset, 1.0 + sign * c.latitude) << a;
      EXPECT_DOUBLE_EQ(entry.longitudeOffset, 2.0 + sign * c.longitude) << a;
      EXPECT_FLOAT_EQ(entry.altitudeOffset, static_cast<float>(3.0 + sign * c.altitude)) << a;
      EXPECT_FLOAT_EQ(entry.headingOffset, static_cast<float>(4.0 + sign * c.heading)) << a;
      EXPECT_EQ(entry.simulatorA, a);
      EXPECT_EQ(entry.simulatorB, b);
    }
  }
}

TEST(OffsetStepTest, SignFollowsTheStoredOrderEvenBetweenTwoXPlaneFamilies) {
  // Own X-Plane 10 against the default (9000, 10000): the own family is
  // second, so "+" lowers the stored value and raises what the pilot sees.
  CrossSimOffsetEntry entry = Entry(9000, 10000);
  EXPECT_EQ(OffsetStepSign(entry, 10000), -1);
  EXPECT_EQ(OffsetStepSign(entry, 9000), 1);
  ASSERT_TRUE(ApplyOffsetStep(entry, 10000, OffsetStep::LatitudePlus, OffsetStepSize::Normal));
  EXPECT_DOUBLE_EQ(entry.latitudeOffset, -0.000001);

  // An entry without the own family is not the pilot's to change.
  CrossSimOffsetEntry other = Entry(2004, 2006, 1, 1, 1, 1);
  const CrossSimOffsetEntry before = other;
  EXPECT_EQ(OffsetStepSign(other, 9000), 0);
  EXPECT_FALSE(ApplyOffsetStep(other, 9000, OffsetStep::AltitudeUp, OffsetStepSize::Big));
  EXPECT_FALSE(ApplyForwardStep(other, 9000, 0.0, false, OffsetStepSize::Big));
  EXPECT_FALSE(ApplyOffsetStep(other, 0, OffsetStep::AltitudeUp, OffsetStepSize::Big));
  EXPECT_EQ(other, before);
}

TEST(OffsetStepTest, ValuesStopAtTheirLimits) {
  const struct {
    CrossSimOffsetEntry entry;
    OffsetStep step;
    CrossSimOffsetEntry expected;
  } cases[] = {
      {Entry(9000, 10000, 0, 0, 0, 179.5F), OffsetStep::HeadingRight, Entry(9000, 10000, 0, 0, 0, 180.0F)},
      {Entry(9000, 10000, 0, 0, 0, -170.0F), OffsetStep::HeadingLeft, Entry(9000, 10000, 0, 0, 0, -180.0F)},
      {Entry(2004, 9000, 0, 0, 0, -179.5F), OffsetStep::HeadingRight, Entry(2004, 9000, 0, 0, 0, -180.0F)},
      {Entry(9000, 10000, 89.99999), OffsetStep::LatitudePlus, Entry(9000, 10000, 90.0)},
      {Entry(9000, 10000, 0, -179.9999), OffsetStep::LongitudeMinus, Entry(9000, 10000, 0, -180.0)},
      {Entry(9000, 10000, 0, 0, 99999.0F), OffsetStep::AltitudeUp, Entry(9000, 10000, 0, 0, 100000.0F)},
  };
  for (const auto& c : cases) {
    CrossSimOffsetEntry entry = c.entry;
    EXPECT_TRUE(ApplyOffsetStep(entry, 9000, c.step, OffsetStepSize::Big));
    EXPECT_EQ(entry, c.expected) << entry.headingOffset << " " << entry.latitudeOffset;
    EXPECT_TRUE(CrossSimOffsetsInRange(entry));
    // At the limit a further step changes nothing.
    EXPECT_FALSE(ApplyOffsetStep(entry, 9000, c.step, OffsetStepSize::Big));
  }
}

TEST(ForwardStepTest, MovesAlongTheHeadingAndNeverBreaksTheLongitude) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double heading;
    bool back;
    OffsetStepSize size;
    double latitude;   // change in an own-first entry
    double longitude;
  } cases[] = {
      {0.0, false, OffsetStepSize::Normal, 0.00001, 0.0},
      {45.0, false, OffsetStepSize::Normal, 0.00001, 0.00001},
      {45.0, true, OffsetStepSize::Normal, -0.00001, -0.00001},
      {-45.0, false, OffsetStepSize::Small, 0.000005, -0.000005},
      {135.0, false, OffsetStepSize::Big, 0.0002, -0.0002},
      {180.0, false, OffsetStepSize::Normal, 0.00001, 0.0},
      {60.0, false, OffsetStepSize::Normal, 0.00001, 0.00001 * std::sqrt(3.0)},
      // East, west and nearly so: the latitude alone moves.
      {90.0, false, OffsetStepSize::Normal, 0.00001, 0.0},
      {270.0, false, OffsetStepSize::Big, 0.0002, 0.0},
      {-90.0, true, OffsetStepSize::Normal, -0.00001, 0.0},
      {89.9999, false, OffsetStepSize::Normal, 0.00001, 0.0},
      {450.0, false, OffsetStepSize::Normal, 0.00001, 0.0},
      {nan, false, OffsetStepSize::Normal, 0.00001, 0.0},
      {inf, false, OffsetStepSize::Normal, 0.00001, 0.0},
  };
  for (const auto& c : cases) {
    for (const auto& [a, b, sign] : {std::tuple{9000, 10000, 1}, std::tuple{2006, 9000, -1}}) {
      CrossSimOffsetEntry entry = Entry(a, b, 0.5, -0.5, 7.0F, 3.0F);
      EXPECT_TRUE(ApplyForwardStep(entry, 9000, c.heading, c.back, c.size)) << c.heading;
      EXPECT_TRUE(std::isfinite(entry.longitudeOffset)) << c.heading;
      EXPECT_NEAR(entry.latitudeOffset, 0.5 + sign * c.latitude, 1e-12) << c.heading << " " << a;
      EXPECT_NEAR(entry.longitudeOffset, -0.5 + sign * c.longitude, 1e-12) << c.heading << " " << a;
      EXPECT_EQ(entry.altitudeOffset, 7.0F);
      EXPECT_EQ(entry.headingOffset, 3.0F);
    }
  }
}

TEST(ForwardStepTest, HeadingsCloseToEastStillGiveABoundedLongitudeStep) {
  // Just outside the east-west band: tan(heading) is large but finite, and the
  // value is held within its limit however often the button is pressed.
  CrossSimOffsetEntry entry = Entry(9000, 10000);
  const double heading = 89.4;  // |cos| just above the band
  ASSERT_GT(std::fabs(std::cos(heading * M_PI / 180.0)), kForwardMinCosine);
  ASSERT_TRUE(ApplyForwardStep(entry, 9000, heading, false, OffsetStepSize::Big));
  EXPECT_NEAR(entry.longitudeOffset, std::tan(heading * M_PI / 180.0) * 0.0002, 1e-12);
  for (int i = 0; i < 100000; ++i) ApplyForwardStep(entry, 9000, heading, false, OffsetStepSize::Big);
  EXPECT_TRUE(CrossSimOffsetsInRange(entry));
  EXPECT_EQ(entry.longitudeOffset, kMaxLongitudeOffset);
}

TEST(ClearOffsetsTest, ZeroesTheOffsetsAndKeepsThePair) {
  CrossSimOffsetEntry entry = Entry(2004, 9000, 1, 2, 3, 4);
  ClearOffsets(entry);
  EXPECT_EQ(entry, Entry(2004, 9000));
}
