#include "core/flight_plan_record.h"

#include <algorithm>

namespace {

namespace at = flight_plan_offset;

void PutU32At(FlightPlanRecordBytes& out, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

template <typename Byte, std::size_t N>
void PutBytesAt(FlightPlanRecordBytes& out, std::size_t offset, const std::array<Byte, N>& field) {
  static_assert(sizeof(Byte) == 1);
  for (std::size_t i = 0; i < N; ++i) out[offset + i] = static_cast<std::uint8_t>(field[i]);
}

std::uint32_t GetU32At(const FlightPlanRecordBytes& in, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[offset + i]) << (8 * i);
  return value;
}

template <typename Byte, std::size_t N>
void GetBytesAt(const FlightPlanRecordBytes& in, std::size_t offset, std::array<Byte, N>& field) {
  static_assert(sizeof(Byte) == 1);
  for (std::size_t i = 0; i < N; ++i) field[i] = static_cast<Byte>(in[offset + i]);
}

}  // namespace

FlightPlanRecordBytes WriteFlightPlanRecord(const FlightPlanRecord& r) {
  FlightPlanRecordBytes out{};
  PutBytesAt(out, at::kReservedHead, r.reservedHead);
  PutBytesAt(out, at::kAircraftType, r.aircraftType);
  PutU32At(out, at::kAircraftIndex, r.aircraftIndex);
  PutBytesAt(out, at::kFlightType, r.flightType);
  PutBytesAt(out, at::kPadding22, r.padding22);
  PutBytesAt(out, at::kAltitude, r.altitude);
  PutU32At(out, at::kCruiseSpeed, r.cruiseSpeed);
  PutBytesAt(out, at::kPadding92, r.padding92);
  PutBytesAt(out, at::kDeparture, r.departure);
  PutBytesAt(out, at::kDestination, r.destination);
  PutBytesAt(out, at::kAlternate, r.alternate);
  out[at::kPadding111] = r.padding111;
  PutU32At(out, at::kProposedHour, r.proposedHour);
  PutU32At(out, at::kProposedMinutes, r.proposedMinutes);
  PutU32At(out, at::kActualHour, r.actualHour);
  PutU32At(out, at::kActualMinutes, r.actualMinutes);
  PutU32At(out, at::kEnrouteHours, r.enrouteHours);
  PutU32At(out, at::kEnrouteMinutes, r.enrouteMinutes);
  PutU32At(out, at::kFuelHours, r.fuelHours);
  PutU32At(out, at::kFuelMinutes, r.fuelMinutes);
  PutBytesAt(out, at::kRemarks, r.remarks);
  PutBytesAt(out, at::kRoute, r.route);
  PutU32At(out, at::kNumberAboard, r.numberAboard);
  PutBytesAt(out, at::kReservedTail, r.reservedTail);
  return out;
}

FlightPlanRecord ReadFlightPlanRecord(std::span<const std::uint8_t> bytes) {
  FlightPlanRecordBytes in{};
  std::copy_n(bytes.begin(), std::min(bytes.size(), in.size()), in.begin());
  FlightPlanRecord r;
  GetBytesAt(in, at::kReservedHead, r.reservedHead);
  GetBytesAt(in, at::kAircraftType, r.aircraftType);
  r.aircraftIndex = GetU32At(in, at::kAircraftIndex);
  GetBytesAt(in, at::kFlightType, r.flightType);
  GetBytesAt(in, at::kPadding22, r.padding22);
  GetBytesAt(in, at::kAltitude, r.altitude);
  r.cruiseSpeed = GetU32At(in, at::kCruiseSpeed);
  GetBytesAt(in, at::kPadding92, r.padding92);
  GetBytesAt(in, at::kDeparture, r.departure);
  GetBytesAt(in, at::kDestination, r.destination);
  GetBytesAt(in, at::kAlternate, r.alternate);
  r.padding111 = in[at::kPadding111];
  r.proposedHour = GetU32At(in, at::kProposedHour);
  r.proposedMinutes = GetU32At(in, at::kProposedMinutes);
  r.actualHour = GetU32At(in, at::kActualHour);
  r.actualMinutes = GetU32At(in, at::kActualMinutes);
  r.enrouteHours = GetU32At(in, at::kEnrouteHours);
  r.enrouteMinutes = GetU32At(in, at::kEnrouteMinutes);
  r.fuelHours = GetU32At(in, at::kFuelHours);
  r.fuelMinutes = GetU32At(in, at::kFuelMinutes);
  GetBytesAt(in, at::kRemarks, r.remarks);
  GetBytesAt(in, at::kRoute, r.route);
  r.numberAboard = GetU32At(in, at::kNumberAboard);
  GetBytesAt(in, at::kReservedTail, r.reservedTail);
  TerminateFlightPlanTexts(r);
  return r;
}

void TerminateFlightPlanTexts(FlightPlanRecord& r) {
  r.aircraftType.back() = '\0';
  r.flightType.back() = '\0';
  r.altitude.back() = '\0';
  r.departure.back() = '\0';
  r.destination.back() = '\0';
  r.alternate.back() = '\0';
  r.remarks.back() = '\0';
  r.route.back() = '\0';
}
