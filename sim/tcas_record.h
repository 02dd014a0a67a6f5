// One TCAS traffic record as the FSUIPC server publishes its layout (40
// bytes, written at 0x1F80), built field by field.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

inline constexpr std::uint32_t kTcasRecordOffset = 0x1F80;
inline constexpr std::size_t kTcasRecordSize = 40;
inline constexpr std::size_t kTcasCallsignField = 15;  // 14 characters and a NUL
inline constexpr std::uint8_t kTcasRecordState = 140;
inline constexpr std::uint16_t kTcasRecordCom1 = 0x2300;

using TcasRecordBytes = std::array<std::uint8_t, kTcasRecordSize>;

struct TcasTraffic {
  std::uint32_t id = 0;  // slot index + 1
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  double headingDegrees = 0.0;
  std::uint16_t groundSpeedKnots = 0;
  std::int16_t verticalSpeedFpm = 0;
  std::string_view callsign;
};

TcasRecordBytes BuildTcasRecord(const TcasTraffic& traffic);
// A slot given back: its id and every other field zero.
TcasRecordBytes EmptyTcasRecord(std::uint32_t id);
// Degrees in any range (not finite: 0) to the record's 16-bit heading.
std::uint16_t TcasHeading(double degrees);
