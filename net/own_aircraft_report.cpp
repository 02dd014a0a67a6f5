#include "net/own_aircraft_report.h"

#include <cmath>
#include <limits>

namespace {
template <typename T>
T RoundedInto(double value) {
  if (std::isnan(value)) return 0;
  const double rounded = std::round(value);
  if (rounded <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
  if (rounded >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  return static_cast<T>(rounded);
}
}  // namespace

std::int32_t RoundedI32(double value) { return RoundedInto<std::int32_t>(value); }

std::uint16_t RoundedU16(double value) { return RoundedInto<std::uint16_t>(value); }

std::uint16_t MachWord(double mach) {
  return static_cast<std::uint16_t>(RoundedInto<std::int64_t>(mach * 1000.0) & 0xFFFF);
}

std::uint32_t LoginOptionBits(const OwnAircraftReport& own) {
  std::uint32_t bits = own.onGround ? kLoginOnGround : 0;
  if ((own.radioSelection & kRadioCom1) != 0) bits |= kLoginCom1Selected;
  if ((own.radioSelection & kRadioCom2) != 0) bits |= kLoginCom2Selected;
  if ((own.radioSelection & kRadioBoth) != 0) bits |= kLoginBothComSelected;
  return bits;
}

ShortInfoRecord MakeShortInfo(const OwnAircraftReport& own) {
  ShortInfoRecord info;
  info.altitudeFeet = RoundedI32(own.altitudeFeet);
  info.speedKnots = RoundedU16(own.speedKnots);
  info.headingDegrees = RoundedU16(own.trueHeadingDegrees);
  info.latitude = own.latitude;
  info.longitude = own.longitude;
  info.onGround = own.onGround ? 1 : 0;
  return info;
}
