// The bodies of the controller link: the controller's login, the flight
// strip, the ATIS, the local weather, the message rate, the hand-off and the
// position report this client sends. Each record is written and read field
// by field (little-endian); texts from the wire come back terminated within
// their field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "net/node_records.h"

inline constexpr std::size_t kAtcLoginRecordSize = 856;
inline constexpr std::size_t kAtcPartSize = kAtcLoginRecordSize - kIdentityBlockSize;  // 688
inline constexpr std::size_t kAtcAtisTextSize = 512;
inline constexpr std::size_t kAtcSecondTextSize = 128;
inline constexpr std::size_t kFlightStripSize = 120;
inline constexpr std::size_t kFlightStripWaypointSize = 64;
inline constexpr std::size_t kAtisRecordSize = 536;
inline constexpr std::size_t kWeatherRecordSize = 1056;
inline constexpr std::size_t kWeatherIcaoSize = 8;   // 24..31: four letters and their terminator
inline constexpr std::size_t kWeatherMetarSize = kWeatherRecordSize - 32;
inline constexpr std::size_t kMessageRateRecordSize = 32;
// The hand-off travels packed; the sender announces 40 bytes or the strip's
// 120. Anything in between is taken, and the rest of the 120 stays zero.
inline constexpr std::size_t kHandOffMinSize = 40;
inline constexpr std::size_t kHandOffRecordSize = 120;
inline constexpr std::size_t kAtcPositionReportSize = 48;
inline constexpr std::size_t kAtcCallsignSize = 16;

// The strip kind that carries instructions; any other means "resume own navigation".
inline constexpr std::uint16_t kStripInstructions = 1;

using AtcLoginRecordBytes = std::array<std::uint8_t, kAtcLoginRecordSize>;
using FlightStripBytes = std::array<std::uint8_t, kFlightStripSize>;
using AtisRecordBytes = std::array<std::uint8_t, kAtisRecordSize>;
using WeatherRecordBytes = std::array<std::uint8_t, kWeatherRecordSize>;
using MessageRateRecordBytes = std::array<std::uint8_t, kMessageRateRecordSize>;
using HandOffRecordBytes = std::array<std::uint8_t, kHandOffRecordSize>;
using AtcPositionReportBytes = std::array<std::uint8_t, kAtcPositionReportSize>;

// The controller part behind the identity block.
struct AtcControllerPart {
  std::array<std::uint32_t, 4> values{};  // at 8, kept as they come
  std::uint16_t frequencyMhz = 0;         // 24
  std::uint16_t frequencyKhz = 0;         // 26
  std::uint16_t value28 = 0;
  std::uint32_t value32 = 0;
  std::uint32_t transitionAltitudeFeet = 0;  // 36
  std::string atis;                          // 40, up to 511 characters
  std::string secondText;                    // 552, up to 127 characters
};

struct AtcLoginRecord {
  IdentityBlock identity;
  AtcControllerPart controller;
};

AtcLoginRecordBytes WriteAtcLoginRecord(const AtcLoginRecord& record);
AtcLoginRecord ReadAtcLoginRecord(std::span<const std::uint8_t, kAtcLoginRecordSize> bytes);
// "%d.%03d" of the two parts; a kHz part past 999 is cut to 999 so that the
// text always names one frequency of six digits.
std::string AtcFrequencyText(std::uint16_t mhz, std::uint16_t khz);

struct FlightStrip {
  std::string callsign;            // 8: the pilot
  std::string controller;          // 24
  std::string waypoint;            // 40, up to 63 characters
  std::uint16_t kind = 0;          // 104
  std::uint16_t heading = 0;       // 106, degrees
  std::uint16_t altitudeFeet = 0;  // 108
  std::uint16_t minimumSpeed = 0;  // 110, knots
  std::uint16_t maximumSpeed = 0;  // 112
  std::uint16_t transponder = 0;   // 114
};
FlightStripBytes WriteFlightStrip(const FlightStrip& strip);
FlightStrip ReadFlightStrip(std::span<const std::uint8_t, kFlightStripSize> bytes);

struct AtisRecord {
  std::string controller;
  std::string text;  // up to 511 characters
};
AtisRecordBytes WriteAtisRecord(const AtisRecord& record);
AtisRecord ReadAtisRecord(std::span<const std::uint8_t, kAtisRecordSize> bytes);

struct WeatherRecord {
  std::string controller;
  std::string icao;   // empty: he stops controlling the weather
  std::string metar;  // up to 1,023 characters
};
WeatherRecordBytes WriteWeatherRecord(const WeatherRecord& record);
WeatherRecord ReadWeatherRecord(std::span<const std::uint8_t, kWeatherRecordSize> bytes);

struct MessageRateRecord {
  std::string controller;
  std::uint16_t divider = 0;
};
MessageRateRecordBytes WriteMessageRateRecord(const MessageRateRecord& record);
MessageRateRecord ReadMessageRateRecord(std::span<const std::uint8_t, kMessageRateRecordSize> bytes);

struct HandOffRecord {
  std::string from;  // 8: the controller handing off
  std::string to;    // 24: the next controller
};
HandOffRecordBytes WriteHandOffRecord(const HandOffRecord& record);
HandOffRecord ReadHandOffRecord(std::span<const std::uint8_t, kHandOffRecordSize> bytes);

struct AtcPositionReport {
  std::uint32_t altitudeFeet = 0;
  std::uint16_t valueM = 0;
  std::uint16_t speedKnots = 0;
  std::uint16_t trueHeading = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  std::uint8_t onGround = 0;
};
AtcPositionReportBytes WriteAtcPositionReport(const AtcPositionReport& report);
AtcPositionReport ReadAtcPositionReport(std::span<const std::uint8_t, kAtcPositionReportSize> bytes);

// The callsign at offset 8 of a controller's record (every record has it there).
std::string RecordCallsignAt8(std::span<const std::uint8_t> bytes);

// A controller's flight-plan packet: the new transponder code at 4, his
// callsign at 8, the amended plan at 24.
struct AmendedFlightPlan {
  std::uint16_t transponder = 0;
  std::string controller;
  FlightPlanRecordBytes plan{};
};
FlightPlanPacketBytes WriteAmendedFlightPlan(const AmendedFlightPlan& packet);
AmendedFlightPlan ReadAmendedFlightPlan(std::span<const std::uint8_t, kFlightPlanPacketSize> bytes);
