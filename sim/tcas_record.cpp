#include "sim/tcas_record.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "base/byte_order.h"

namespace {

void PutU16(std::uint8_t* out, std::uint16_t value) {
  out[0] = static_cast<std::uint8_t>(value);
  out[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutF32(std::uint8_t* out, double value) { PutU32(out, std::bit_cast<std::uint32_t>(static_cast<float>(value))); }

}  // namespace

std::uint16_t TcasHeading(double degrees) {
  if (!std::isfinite(degrees)) return 0;
  double normal = std::fmod(degrees, 360.0);
  if (normal < 0.0) normal += 360.0;
  const auto scaled = static_cast<std::uint32_t>(normal * 65'536.0 / 360.0);
  return static_cast<std::uint16_t>(scaled & 0xFFFF);
}

TcasRecordBytes BuildTcasRecord(const TcasTraffic& traffic) {
  TcasRecordBytes record{};
  std::uint8_t* out = record.data();
  PutU32(out, traffic.id);
  PutF32(out + 4, traffic.latitude);
  PutF32(out + 8, traffic.longitude);
  PutF32(out + 12, traffic.altitudeFeet);
  PutU16(out + 16, TcasHeading(traffic.headingDegrees));
  PutU16(out + 18, traffic.groundSpeedKnots);
  PutU16(out + 20, static_cast<std::uint16_t>(traffic.verticalSpeedFpm));
  const std::string_view callsign = traffic.callsign.substr(0, kTcasCallsignField - 1);
  std::copy(callsign.begin(), callsign.end(), out + 22);
  out[37] = kTcasRecordState;
  PutU16(out + 38, kTcasRecordCom1);
  return record;
}

TcasRecordBytes EmptyTcasRecord(std::uint32_t id) {
  TcasRecordBytes record{};
  PutU32(record.data(), id);
  return record;
}
