#include "net/own_aircraft_report.h"

#include <cmath>
#include <limits>

#include "core/text_fields.h"

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

OwnAircraftReport ReportOwnAircraft(const OwnAircraftSnapshot& own, const NearestAirport& airport) {
  OwnAircraftReport report;
  report.onGround = own.working.onGround != 0;
  report.radioSelection = static_cast<std::uint8_t>((own.working.com1Selected != 0 ? kRadioCom1 : 0) |
                                                    (own.working.com2Selected != 0 ? kRadioCom2 : 0) |
                                                    (own.working.bothSelected != 0 ? kRadioBoth : 0));
  report.com1 = std::string(FieldText(own.working.com1));
  report.com2 = std::string(FieldText(own.working.com2));
  report.transponderCode = static_cast<std::uint16_t>(own.radios.transponderCode);
  report.transponderMode = own.radios.transponderMode;
  report.mach = own.flight.valueM;
  report.trueHeadingDegrees = own.flight.trueHeading;
  report.speedKnots = own.flight.speed1Knots;
  report.latitude = own.flight.latitude;
  report.longitude = own.flight.longitude;
  report.altitudeFeet = own.flight.altitudeFeet;
  report.nearestAirport = std::string(FieldText(airport.icao));
  report.airportDistanceNm = airport.distanceNm;
  report.icaoType = std::string(FieldText(own.model.icaoType));
  report.title = std::string(FieldText(own.model.titleForPeers));
  report.classCode = std::string(FieldText(own.model.classCode));
  report.shortCode = std::string(FieldText(own.model.fifthColumn));
  return report;
}

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
