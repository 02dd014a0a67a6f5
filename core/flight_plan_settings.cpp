#include "core/flight_plan_settings.h"

#include <array>
#include <cstdio>

#include "core/protocol_text.h"
#include "core/settings.h"
#include "core/settings_keys.h"

namespace {

namespace key = settings_key;
constexpr const char* kSection = key::kFlightPlan;

template <std::size_t N>
void ReadText(const char* name, const char* fallback, std::size_t bufferSize, std::size_t limit,
              std::array<char, N>& field, const char* path) {
  std::array<char, kPlanFreeTextSize> text{};
  const std::size_t size = std::min(bufferSize, text.size());
  ReadSettingString(kSection, name, fallback, std::span<char>(text.data(), size), path);
  SetPlanText(field, PlanText(text), limit);
}

std::uint32_t ReadNumber(const char* name, std::int32_t fallback, const char* path) {
  return static_cast<std::uint32_t>(ReadSettingInt(kSection, name, fallback, path));
}

void WriteUnsigned(const char* name, std::uint32_t value, const char* path) {
  char text[16];
  std::snprintf(text, sizeof text, "%u", value);
  WriteSettingString(kSection, name, text, path);
}

void WriteTwoDigits(const char* name, std::uint32_t value, const char* path) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", static_cast<int>(value));
  WriteSettingString(kSection, name, text, path);
}

template <std::size_t N>
void WriteText(const char* name, const std::array<char, N>& field, const char* path) {
  const std::string text(PlanText(field));
  WriteSettingString(kSection, name, text.c_str(), path);
}

}  // namespace

FlightPlanRecord ReadFlightPlanSettings(const FlightPlanRecord& base, const char* path) {
  namespace d = setting_default;
  FlightPlanRecord r = base;
  ReadText(key::kFlightType, d::kFlightType, kFlightTypeSize, 1, r.flightType, path);
  ReadText(key::kAircraftType, d::kAircraftType, kAircraftTypeSize, kPlanAircraftTypeChars, r.aircraftType, path);
  r.aircraftIndex = ReadNumber(key::kAircraftIndex, d::kAircraftIndex, path);
  r.cruiseSpeed = ReadNumber(key::kCruiseSpeed, d::kCruiseSpeed, path);
  r.numberAboard = ReadNumber(key::kNumberAboard, d::kNumberAboard, path);
  ReadText(key::kDepartureAirport, "", kPlanAirportSize, kPlanAirportChars, r.departure, path);
  r.proposedHour = ReadNumber(key::kDepartureHoursProposed, 0, path);
  r.proposedMinutes = ReadNumber(key::kDepartureMinutesProposed, 0, path);
  r.actualHour = ReadNumber(key::kDepartureHoursActual, 0, path);
  r.actualMinutes = ReadNumber(key::kDepartureMinutesActual, 0, path);
  ReadText(key::kFlightLevelAltitude, "", kPlanAltitudeSize, kPlanAltitudeChars, r.altitude, path);
  ReadText(key::kDestinationAirport, "", kPlanAirportSize, kPlanAirportChars, r.destination, path);
  r.enrouteHours = ReadNumber(key::kEnrouteHours, 0, path);
  r.enrouteMinutes = ReadNumber(key::kEnrouteMinutes, 0, path);
  r.fuelHours = ReadNumber(key::kFuelHours, 0, path);
  r.fuelMinutes = ReadNumber(key::kFuelMinutes, 0, path);
  ReadText(key::kAlternateAirport, "", kPlanAirportSize, kPlanAirportChars, r.alternate, path);
  ReadText(key::kRoute, "", kPlanSettingsFreeTextChars + 1, kPlanSettingsFreeTextChars, r.route, path);
  ReadText(key::kRemarks, "", kPlanSettingsFreeTextChars + 1, kPlanSettingsFreeTextChars, r.remarks, path);
  UnescapeLineBreaks(r.route);
  UnescapeLineBreaks(r.remarks);
  return r;
}

void WriteFlightPlanSettings(const FlightPlanRecord& r, const char* path) {
  WriteText(key::kFlightType, r.flightType, path);
  WriteText(key::kAircraftType, r.aircraftType, path);
  WriteUnsigned(key::kAircraftIndex, r.aircraftIndex, path);
  WriteUnsigned(key::kCruiseSpeed, r.cruiseSpeed, path);
  WriteUnsigned(key::kNumberAboard, r.numberAboard, path);
  WriteText(key::kDepartureAirport, r.departure, path);
  WriteTwoDigits(key::kDepartureHoursProposed, r.proposedHour, path);
  WriteTwoDigits(key::kDepartureMinutesProposed, r.proposedMinutes, path);
  WriteTwoDigits(key::kDepartureHoursActual, r.actualHour, path);
  WriteTwoDigits(key::kDepartureMinutesActual, r.actualMinutes, path);
  WriteText(key::kFlightLevelAltitude, r.altitude, path);
  WriteText(key::kDestinationAirport, r.destination, path);
  WriteUnsigned(key::kEnrouteHours, r.enrouteHours, path);
  WriteUnsigned(key::kEnrouteMinutes, r.enrouteMinutes, path);
  WriteUnsigned(key::kFuelHours, r.fuelHours, path);
  WriteUnsigned(key::kFuelMinutes, r.fuelMinutes, path);
  WriteText(key::kAlternateAirport, r.alternate, path);
  WriteText(key::kRoute, r.route, path);
  WriteText(key::kRemarks, r.remarks, path);
}
