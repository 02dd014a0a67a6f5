#include "core/cross_sim_adjust.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

struct StepSizes {
  double normal;
  double small;
  double big;
};

StepSizes SizesOf(OffsetStep step) {
  switch (step) {
    case OffsetStep::AltitudeUp:
    case OffsetStep::AltitudeDown:
      return {0.1, 0.05, 2.0};
    case OffsetStep::LatitudePlus:
    case OffsetStep::LatitudeMinus:
      return {0.000001, 0.0000005, 0.00002};
    case OffsetStep::LongitudePlus:
    case OffsetStep::LongitudeMinus:
      return {0.000005, 0.0000025, 0.0001};
    case OffsetStep::HeadingRight:
    case OffsetStep::HeadingLeft:
      return {1.0, 0.5, 20.0};
  }
  return {0.0, 0.0, 0.0};
}

double Pick(const StepSizes& sizes, OffsetStepSize size) {
  switch (size) {
    case OffsetStepSize::Small:
      return sizes.small;
    case OffsetStepSize::Big:
      return sizes.big;
    case OffsetStepSize::Normal:
      break;
  }
  return sizes.normal;
}

double Held(double value, double limit) { return std::clamp(value, -limit, limit); }

}  // namespace

OffsetStepSize StepSizeFromKeys(bool shiftHeld, bool ctrlHeld) {
  if (shiftHeld) return OffsetStepSize::Small;
  if (ctrlHeld) return OffsetStepSize::Big;
  return OffsetStepSize::Normal;
}

double OffsetStepAmount(OffsetStep step, OffsetStepSize size) { return Pick(SizesOf(step), size); }

int OffsetStepSign(const CrossSimOffsetEntry& entry, std::int32_t ownFamily) {
  if (ownFamily == 0) return 0;
  if (entry.simulatorA == ownFamily) return 1;
  if (entry.simulatorB == ownFamily) return -1;
  return 0;
}

bool ApplyOffsetStep(CrossSimOffsetEntry& entry, std::int32_t ownFamily, OffsetStep step, OffsetStepSize size) {
  const int sign = OffsetStepSign(entry, ownFamily);
  if (sign == 0) return false;
  const double d = sign * OffsetStepAmount(step, size);
  const CrossSimOffsetEntry before = entry;
  switch (step) {
    case OffsetStep::AltitudeUp:
    case OffsetStep::AltitudeDown: {
      const double delta = step == OffsetStep::AltitudeUp ? d : -d;
      entry.altitudeOffset = static_cast<float>(Held(entry.altitudeOffset + delta, kMaxAltitudeOffset));
      break;
    }
    case OffsetStep::LatitudePlus:
    case OffsetStep::LatitudeMinus:
      entry.latitudeOffset =
          Held(entry.latitudeOffset + (step == OffsetStep::LatitudePlus ? d : -d), kMaxLatitudeOffset);
      break;
    case OffsetStep::LongitudePlus:
    case OffsetStep::LongitudeMinus:
      entry.longitudeOffset =
          Held(entry.longitudeOffset + (step == OffsetStep::LongitudePlus ? d : -d), kMaxLongitudeOffset);
      break;
    case OffsetStep::HeadingRight:
    case OffsetStep::HeadingLeft: {
      const double delta = step == OffsetStep::HeadingRight ? d : -d;
      entry.headingOffset = static_cast<float>(Held(entry.headingOffset + delta, kMaxHeadingOffset));
      break;
    }
  }
  return !(entry == before);
}

bool ApplyForwardStep(CrossSimOffsetEntry& entry, std::int32_t ownFamily, double peerHeadingDegrees, bool back,
                      OffsetStepSize size) {
  const int sign = OffsetStepSign(entry, ownFamily);
  if (sign == 0) return false;
  static constexpr StepSizes kForward{0.00001, 0.000005, 0.0002};
  const double d = (back ? -sign : sign) * Pick(kForward, size);
  const CrossSimOffsetEntry before = entry;
  entry.latitudeOffset = Held(entry.latitudeOffset + d, kMaxLatitudeOffset);
  const double radians = peerHeadingDegrees * std::numbers::pi / 180.0;
  const double cosine = std::cos(radians);
  // NaN compares false: a broken heading moves the latitude only.
  if (std::fabs(cosine) >= kForwardMinCosine) {
    entry.longitudeOffset = Held(entry.longitudeOffset + std::sin(radians) / cosine * d, kMaxLongitudeOffset);
  }
  return !(entry == before);
}

void ClearOffsets(CrossSimOffsetEntry& entry) {
  entry.latitudeOffset = 0.0;
  entry.longitudeOffset = 0.0;
  entry.altitudeOffset = 0.0F;
  entry.headingOffset = 0.0F;
}
