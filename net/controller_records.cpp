#include "net/controller_records.h"

#include <algorithm>
#include <bit>
#include <cstdio>

namespace {
using Out = std::span<std::uint8_t>;
using In = std::span<const std::uint8_t>;

constexpr std::size_t kCallsignAt = 8;
constexpr std::size_t kSecondCallsignAt = 24;

// Controller part, from the end of the identity block.
constexpr std::size_t kCpValues = 8;
constexpr std::size_t kCpMhz = 24;
constexpr std::size_t kCpKhz = 26;
constexpr std::size_t kCp28 = 28;
constexpr std::size_t kCp32 = 32;
constexpr std::size_t kCpTransition = 36;
constexpr std::size_t kCpAtis = 40;
constexpr std::size_t kCpSecondText = 552;
static_assert(kCpAtis + kAtcAtisTextSize == kCpSecondText);
static_assert(kCpSecondText + kAtcSecondTextSize <= kAtcPartSize);

// Strip.
constexpr std::size_t kStripWaypoint = 40;
constexpr std::size_t kStripKind = 104;
constexpr std::size_t kStripHeading = 106;
constexpr std::size_t kStripAltitude = 108;
constexpr std::size_t kStripMinSpeed = 110;
constexpr std::size_t kStripMaxSpeed = 112;
constexpr std::size_t kStripTransponder = 114;
static_assert(kStripWaypoint + kFlightStripWaypointSize == kStripKind);

constexpr std::size_t kAtisText = 24;
static_assert(kAtisText + kAtcAtisTextSize == kAtisRecordSize);
constexpr std::size_t kWeatherIcao = 24;
constexpr std::size_t kWeatherMetar = 32;
static_assert(kWeatherIcao + kWeatherIcaoSize == kWeatherMetar);
constexpr std::size_t kRateDivider = 24;

constexpr std::size_t kReportAltitude = 8;
constexpr std::size_t kReportM = 12;
constexpr std::size_t kReportSpeed = 14;
constexpr std::size_t kReportHeading = 16;
constexpr std::size_t kReportLatitude = 24;
constexpr std::size_t kReportLongitude = 32;
constexpr std::size_t kReportOnGround = 40;

constexpr std::size_t kPlanTransponder = 4;
constexpr std::size_t kPlanCallsign = 8;
constexpr std::size_t kPlanRecord = 24;
static_assert(kPlanRecord + kFlightPlanRecordSize == kFlightPlanPacketSize);

// The last byte of the field stays the terminator.
void PutText(Out field, std::string_view text) {
  const std::size_t n = std::min(text.size(), field.size() - 1);
  std::copy_n(text.begin(), n, field.begin());
}

// Stops at the first zero, and before the field's last byte at the latest.
std::string GetText(In field) {
  const In kept = field.first(field.size() - 1);
  const auto end = std::find(kept.begin(), kept.end(), std::uint8_t{0});
  return std::string(kept.begin(), end);
}

void PutU16(Out out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
std::uint16_t GetU16(In in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}
void PutU32(Out out, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
std::uint32_t GetU32(In in, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
  return value;
}
void PutF64(Out out, std::size_t at, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < 8; ++i) out[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}
double GetF64(In in, std::size_t at) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(in[at + i]) << (8 * i);
  return std::bit_cast<double>(bits);
}
void PutCallsign(Out out, std::size_t at, std::string_view callsign) {
  PutText(out.subspan(at, kAtcCallsignSize), callsign);
}
std::string GetCallsign(In in, std::size_t at) { return GetText(in.subspan(at, kAtcCallsignSize)); }
}  // namespace

AtcLoginRecordBytes WriteAtcLoginRecord(const AtcLoginRecord& record) {
  AtcLoginRecordBytes bytes{};
  const IdentityBlockBytes identity = WriteIdentityBlock(record.identity);
  std::copy(identity.begin(), identity.end(), bytes.begin());
  const Out part = Out(bytes).subspan(kIdentityBlockSize);
  const AtcControllerPart& c = record.controller;
  for (std::size_t i = 0; i < c.values.size(); ++i) PutU32(part, kCpValues + 4 * i, c.values[i]);
  PutU16(part, kCpMhz, c.frequencyMhz);
  PutU16(part, kCpKhz, c.frequencyKhz);
  PutU16(part, kCp28, c.value28);
  PutU32(part, kCp32, c.value32);
  PutU32(part, kCpTransition, c.transitionAltitudeFeet);
  PutText(part.subspan(kCpAtis, kAtcAtisTextSize), c.atis);
  PutText(part.subspan(kCpSecondText, kAtcSecondTextSize), c.secondText);
  return bytes;
}

AtcLoginRecord ReadAtcLoginRecord(std::span<const std::uint8_t, kAtcLoginRecordSize> bytes) {
  AtcLoginRecord record;
  ReadIdentityBlock(bytes, record.identity);
  const In part = In(bytes).subspan(kIdentityBlockSize);
  AtcControllerPart& c = record.controller;
  for (std::size_t i = 0; i < c.values.size(); ++i) c.values[i] = GetU32(part, kCpValues + 4 * i);
  c.frequencyMhz = GetU16(part, kCpMhz);
  c.frequencyKhz = GetU16(part, kCpKhz);
  c.value28 = GetU16(part, kCp28);
  c.value32 = GetU32(part, kCp32);
  c.transitionAltitudeFeet = GetU32(part, kCpTransition);
  c.atis = GetText(part.subspan(kCpAtis, kAtcAtisTextSize));
  c.secondText = GetText(part.subspan(kCpSecondText, kAtcSecondTextSize));
  return record;
}

std::string AtcFrequencyText(std::uint16_t mhz, std::uint16_t khz) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "%d.%03d", static_cast<int>(mhz), static_cast<int>(std::min<std::uint16_t>(khz, 999)));
  return text.data();
}

FlightStripBytes WriteFlightStrip(const FlightStrip& strip) {
  FlightStripBytes bytes{};
  const Out out(bytes);
  PutCallsign(out, kCallsignAt, strip.callsign);
  PutCallsign(out, kSecondCallsignAt, strip.controller);
  PutText(out.subspan(kStripWaypoint, kFlightStripWaypointSize), strip.waypoint);
  PutU16(out, kStripKind, strip.kind);
  PutU16(out, kStripHeading, strip.heading);
  PutU16(out, kStripAltitude, strip.altitudeFeet);
  PutU16(out, kStripMinSpeed, strip.minimumSpeed);
  PutU16(out, kStripMaxSpeed, strip.maximumSpeed);
  PutU16(out, kStripTransponder, strip.transponder);
  return bytes;
}

FlightStrip ReadFlightStrip(std::span<const std::uint8_t, kFlightStripSize> bytes) {
  const In in(bytes);
  FlightStrip strip;
  strip.callsign = GetCallsign(in, kCallsignAt);
  strip.controller = GetCallsign(in, kSecondCallsignAt);
  strip.waypoint = GetText(in.subspan(kStripWaypoint, kFlightStripWaypointSize));
  strip.kind = GetU16(in, kStripKind);
  strip.heading = GetU16(in, kStripHeading);
  strip.altitudeFeet = GetU16(in, kStripAltitude);
  strip.minimumSpeed = GetU16(in, kStripMinSpeed);
  strip.maximumSpeed = GetU16(in, kStripMaxSpeed);
  strip.transponder = GetU16(in, kStripTransponder);
  return strip;
}

AtisRecordBytes WriteAtisRecord(const AtisRecord& record) {
  AtisRecordBytes bytes{};
  PutCallsign(bytes, kCallsignAt, record.controller);
  PutText(Out(bytes).subspan(kAtisText, kAtcAtisTextSize), record.text);
  return bytes;
}

AtisRecord ReadAtisRecord(std::span<const std::uint8_t, kAtisRecordSize> bytes) {
  return {GetCallsign(bytes, kCallsignAt), GetText(In(bytes).subspan(kAtisText, kAtcAtisTextSize))};
}

WeatherRecordBytes WriteWeatherRecord(const WeatherRecord& record) {
  WeatherRecordBytes bytes{};
  const Out out(bytes);
  PutCallsign(out, kCallsignAt, record.controller);
  PutText(out.subspan(kWeatherIcao, 5), record.icao);
  PutText(out.subspan(kWeatherMetar, kWeatherMetarSize), record.metar);
  return bytes;
}

WeatherRecord ReadWeatherRecord(std::span<const std::uint8_t, kWeatherRecordSize> bytes) {
  const In in(bytes);
  WeatherRecord record;
  record.controller = GetCallsign(in, kCallsignAt);
  // Four letters at most, whatever follows them in the field.
  record.icao = GetText(in.subspan(kWeatherIcao, 5));
  record.metar = GetText(in.subspan(kWeatherMetar, kWeatherMetarSize));
  return record;
}

MessageRateRecordBytes WriteMessageRateRecord(const MessageRateRecord& record) {
  MessageRateRecordBytes bytes{};
  PutCallsign(bytes, kCallsignAt, record.controller);
  PutU16(bytes, kRateDivider, record.divider);
  return bytes;
}

MessageRateRecord ReadMessageRateRecord(std::span<const std::uint8_t, kMessageRateRecordSize> bytes) {
  return {GetCallsign(bytes, kCallsignAt), GetU16(bytes, kRateDivider)};
}

HandOffRecordBytes WriteHandOffRecord(const HandOffRecord& record) {
  HandOffRecordBytes bytes{};
  PutCallsign(bytes, kCallsignAt, record.from);
  PutCallsign(bytes, kSecondCallsignAt, record.to);
  return bytes;
}

HandOffRecord ReadHandOffRecord(std::span<const std::uint8_t, kHandOffRecordSize> bytes) {
  return {GetCallsign(bytes, kCallsignAt), GetCallsign(bytes, kSecondCallsignAt)};
}

AtcPositionReportBytes WriteAtcPositionReport(const AtcPositionReport& report) {
  AtcPositionReportBytes bytes{};
  const Out out(bytes);
  PutU32(out, kReportAltitude, report.altitudeFeet);
  PutU16(out, kReportM, report.valueM);
  PutU16(out, kReportSpeed, report.speedKnots);
  PutU16(out, kReportHeading, report.trueHeading);
  PutF64(out, kReportLatitude, report.latitude);
  PutF64(out, kReportLongitude, report.longitude);
  out[kReportOnGround] = report.onGround;
  return bytes;
}

AtcPositionReport ReadAtcPositionReport(std::span<const std::uint8_t, kAtcPositionReportSize> bytes) {
  const In in(bytes);
  AtcPositionReport report;
  report.altitudeFeet = GetU32(in, kReportAltitude);
  report.valueM = GetU16(in, kReportM);
  report.speedKnots = GetU16(in, kReportSpeed);
  report.trueHeading = GetU16(in, kReportHeading);
  report.latitude = GetF64(in, kReportLatitude);
  report.longitude = GetF64(in, kReportLongitude);
  report.onGround = in[kReportOnGround];
  return report;
}

std::string RecordCallsignAt8(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kCallsignAt + kAtcCallsignSize) return {};
  return GetCallsign(bytes, kCallsignAt);
}

FlightPlanPacketBytes WriteAmendedFlightPlan(const AmendedFlightPlan& packet) {
  FlightPlanPacketBytes bytes{};
  const Out out(bytes);
  PutU16(out, kPlanTransponder, packet.transponder);
  PutCallsign(out, kPlanCallsign, packet.controller);
  std::copy(packet.plan.begin(), packet.plan.end(), out.subspan(kPlanRecord).begin());
  return bytes;
}

AmendedFlightPlan ReadAmendedFlightPlan(std::span<const std::uint8_t, kFlightPlanPacketSize> bytes) {
  const In in(bytes);
  AmendedFlightPlan packet;
  packet.transponder = GetU16(in, kPlanTransponder);
  packet.controller = GetCallsign(in, kPlanCallsign);
  std::copy_n(in.subspan(kPlanRecord).begin(), kFlightPlanRecordSize, packet.plan.begin());
  return packet;
}
