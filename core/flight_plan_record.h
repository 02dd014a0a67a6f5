// The pilot's flight plan: a fixed 2,328-byte record, little-endian. It is the
// exact content of a ".tkp" file and the body the network ways copy into their
// flight-plan messages, so it is written and read field by field at fixed
// offsets; the typed struct below never touches a file or a socket as it is.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

inline constexpr std::size_t kFlightPlanRecordSize = 2328;
using FlightPlanRecordBytes = std::array<std::uint8_t, kFlightPlanRecordSize>;

// Offsets of the fields in the record.
namespace flight_plan_offset {
inline constexpr std::size_t kReservedHead = 0;
inline constexpr std::size_t kAircraftType = 8;
inline constexpr std::size_t kAircraftIndex = 16;
inline constexpr std::size_t kFlightType = 20;
inline constexpr std::size_t kPadding22 = 22;
inline constexpr std::size_t kAltitude = 24;
inline constexpr std::size_t kCruiseSpeed = 88;
inline constexpr std::size_t kPadding92 = 92;
inline constexpr std::size_t kDeparture = 96;
inline constexpr std::size_t kDestination = 101;
inline constexpr std::size_t kAlternate = 106;
inline constexpr std::size_t kPadding111 = 111;
inline constexpr std::size_t kProposedHour = 112;
inline constexpr std::size_t kProposedMinutes = 116;
inline constexpr std::size_t kActualHour = 120;
inline constexpr std::size_t kActualMinutes = 124;
inline constexpr std::size_t kEnrouteHours = 128;
inline constexpr std::size_t kEnrouteMinutes = 132;
inline constexpr std::size_t kFuelHours = 136;
inline constexpr std::size_t kFuelMinutes = 140;
inline constexpr std::size_t kRemarks = 144;
inline constexpr std::size_t kRoute = 1168;
inline constexpr std::size_t kNumberAboard = 2192;
inline constexpr std::size_t kReservedTail = 2196;
}  // namespace flight_plan_offset

// The flight rules ("Flight_Type"): empty means the plan is not valid and is not sent.
inline constexpr std::size_t kFlightPlanTypeOffset = flight_plan_offset::kFlightType;

inline constexpr std::size_t kPlanAircraftTypeSize = 8;
inline constexpr std::size_t kPlanFlightTypeSize = 2;
inline constexpr std::size_t kPlanAltitudeSize = 64;
inline constexpr std::size_t kPlanAirportSize = 5;
inline constexpr std::size_t kPlanFreeTextSize = 1024;
inline constexpr std::size_t kPlanReservedHeadSize = 8;
inline constexpr std::size_t kPlanReservedTailSize = 132;

// Limits the forms and the settings file keep.
inline constexpr std::size_t kPlanAltitudeChars = 5;        // bytes 29 and 30 stay NUL
inline constexpr std::size_t kPlanAirportChars = 4;
inline constexpr std::size_t kPlanAircraftTypeChars = 7;
inline constexpr std::size_t kPlanFormFreeTextChars = 1021;
inline constexpr std::size_t kPlanSettingsFreeTextChars = 999;
inline constexpr std::uint32_t kPlanMaxCruiseSpeed = 2000;
inline constexpr std::uint32_t kPlanMaxNumberAboard = 900;

static_assert(flight_plan_offset::kAircraftType + kPlanAircraftTypeSize == flight_plan_offset::kAircraftIndex);
static_assert(flight_plan_offset::kAltitude + kPlanAltitudeSize == flight_plan_offset::kCruiseSpeed);
static_assert(flight_plan_offset::kAlternate + kPlanAirportSize == flight_plan_offset::kPadding111);
static_assert(flight_plan_offset::kRemarks + kPlanFreeTextSize == flight_plan_offset::kRoute);
static_assert(flight_plan_offset::kRoute + kPlanFreeTextSize == flight_plan_offset::kNumberAboard);
static_assert(flight_plan_offset::kReservedTail + kPlanReservedTailSize == kFlightPlanRecordSize);

struct FlightPlanRecord {
  // Reserved and padding bytes are kept as they came, so a record read from a
  // file is written back byte for byte.
  std::array<std::uint8_t, kPlanReservedHeadSize> reservedHead{};
  std::array<char, kPlanAircraftTypeSize> aircraftType{};
  std::uint32_t aircraftIndex = 0;
  std::array<char, kPlanFlightTypeSize> flightType{};
  std::array<std::uint8_t, 2> padding22{};
  std::array<char, kPlanAltitudeSize> altitude{};
  std::uint32_t cruiseSpeed = 0;
  std::array<std::uint8_t, 4> padding92{};
  std::array<char, kPlanAirportSize> departure{};
  std::array<char, kPlanAirportSize> destination{};
  std::array<char, kPlanAirportSize> alternate{};
  std::uint8_t padding111 = 0;
  std::uint32_t proposedHour = 0;
  std::uint32_t proposedMinutes = 0;
  std::uint32_t actualHour = 0;
  std::uint32_t actualMinutes = 0;
  std::uint32_t enrouteHours = 0;
  std::uint32_t enrouteMinutes = 0;
  std::uint32_t fuelHours = 0;
  std::uint32_t fuelMinutes = 0;
  std::array<char, kPlanFreeTextSize> remarks{};
  std::array<char, kPlanFreeTextSize> route{};
  std::uint32_t numberAboard = 0;
  std::array<std::uint8_t, kPlanReservedTailSize> reservedTail{};

  bool operator==(const FlightPlanRecord&) const = default;
};

FlightPlanRecordBytes WriteFlightPlanRecord(const FlightPlanRecord& record);
// Reads up to 2,328 bytes; a shorter input leaves the rest zero. Every text
// field comes back terminated at its last byte, whatever the input held.
FlightPlanRecord ReadFlightPlanRecord(std::span<const std::uint8_t> bytes);

// Forces the terminator of every text field (the last byte of each).
void TerminateFlightPlanTexts(FlightPlanRecord& record);
// True when the flight rules are set.
inline bool FlightPlanHasRules(const FlightPlanRecord& record) { return record.flightType[0] != '\0'; }

// The text of a fixed field, up to its terminator and never past its width.
template <std::size_t N>
std::string_view PlanText(const std::array<char, N>& field) {
  std::size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return {field.data(), n};
}
// Copies at most `limit` characters (and never more than the field holds
// with its terminator), zero-filling the rest of the field.
template <std::size_t N>
void SetPlanText(std::array<char, N>& field, std::string_view text, std::size_t limit = N - 1) {
  field.fill('\0');
  const std::size_t n = std::min({text.size(), limit, N - 1});
  for (std::size_t i = 0; i < n && text[i] != '\0'; ++i) field[i] = text[i];
}
