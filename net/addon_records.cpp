#include "net/addon_records.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "base/byte_order.h"
#include "net/orv_sok.h"

namespace {
constexpr std::size_t kLoginVersionOffset = 8;
constexpr std::size_t kLoginTextAOffset = 16;
constexpr std::size_t kLoginTextBOffset = 32;
constexpr std::size_t kLoginNameOffset = 48;

constexpr std::size_t kAckVersionOffset = 4;
constexpr std::size_t kAckLoginOffset = 8;
constexpr std::size_t kAckCallsignOffset = 24;
constexpr std::size_t kAckStatusOffset = 40;
constexpr std::size_t kAckSimulatorOffset = 44;
constexpr std::uint32_t kAckSessionOpenBit = 0x1;

constexpr std::size_t kFullTextSize = 16;
constexpr std::size_t kFullTypeSize = 8;
constexpr std::size_t kFullComSize = 20;

// The special pilots (state flag 0x80) are left out of the lists.
constexpr std::uint32_t kSpecialPilot = kWayInvisible;

std::string TextIn(std::span<const std::uint8_t> field) {
  const auto* begin = reinterpret_cast<const char*>(field.data());
  return std::string(begin, ::strnlen(begin, field.size()));
}

// Up to size - 1 bytes of text, the rest of the field zero.
void PutText(std::span<std::uint8_t> field, std::string_view text) {
  std::fill(field.begin(), field.end(), 0);
  const std::size_t n = std::min(text.size(), field.size() - 1);
  std::copy_n(text.begin(), n, field.begin());
}

void AppendU16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t value) { PutU32(out, value); }

void AppendU64(std::vector<std::uint8_t>& out, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendF32(std::vector<std::uint8_t>& out, float value) { AppendU32(out, std::bit_cast<std::uint32_t>(value)); }

void AppendF64(std::vector<std::uint8_t>& out, double value) { AppendU64(out, std::bit_cast<std::uint64_t>(value)); }

void AppendZeros(std::vector<std::uint8_t>& out, std::size_t count) { out.insert(out.end(), count, 0); }

template <std::size_t N>
void AppendText(std::vector<std::uint8_t>& out, const std::array<char, N>& field, std::size_t size) {
  const std::size_t at = out.size();
  AppendZeros(out, size);
  PutText(std::span(out).subspan(at, size), FieldText(field));
}

// The whole-feet value, as the position keeps its altitude in feet.
float WholeFeet(double feet) {
  if (!std::isfinite(feet)) return 0.0F;
  return NarrowToFloat(std::trunc(feet + 0.5));
}

std::uint32_t WholeMetres(double metres) {
  if (!std::isfinite(metres) || metres <= 0.0) return 0;
  if (metres >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
    return std::numeric_limits<std::uint32_t>::max();
  }
  return static_cast<std::uint32_t>(metres);
}

// The fields both entries share, from the token byte to the vertical speed,
// with the gap of zeros the entry has between the attitude and the position.
void AppendTokenAndTransponder(const WayRecord& record, std::vector<std::uint8_t>& out) {
  out.push_back(record.pilot.tokenByte);
  out.push_back(static_cast<std::uint8_t>(record.pilot.transponderMode));
  AppendU16(out, record.pilot.transponderCode);
}

void AppendPositionAndMotion(const WayRecord& record, std::vector<std::uint8_t>& out) {
  const WayPosition& position = record.position;
  AppendF64(out, position.latitude);
  AppendF64(out, position.longitude);
  AppendU32(out, WholeMetres(record.distanceMetres));
  AppendF32(out, WholeFeet(position.altitude));
  AppendF32(out, position.heading);
  AppendF32(out, static_cast<float>(position.groundSpeedKnots));
  AppendF32(out, static_cast<float>(position.verticalSpeed));
}
}  // namespace

float NarrowToFloat(double value) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
  if (value > kLargest) return std::isinf(value) ? std::numeric_limits<float>::infinity() : static_cast<float>(kLargest);
  if (value < -kLargest) {
    return std::isinf(value) ? -std::numeric_limits<float>::infinity() : -static_cast<float>(kLargest);
  }
  return static_cast<float>(value);
}

AddonLogin ReadAddonLogin(std::span<const std::uint8_t, kAddonLoginRecordSize> bytes) {
  AddonLogin login;
  std::copy_n(bytes.begin() + kLoginVersionOffset, login.version.size(), login.version.begin());
  login.textA = TextIn(bytes.subspan(kLoginTextAOffset, kAddonTextSize));
  login.textB = TextIn(bytes.subspan(kLoginTextBOffset, kAddonTextSize));
  // The name's last byte is no part of it.
  login.name = TextIn(bytes.subspan(kLoginNameOffset, kAddonNameSize - 1));
  return login;
}

AddonLoginAckBytes WriteAddonLoginAck(const AddonLoginAck& ack) {
  AddonLoginAckBytes bytes{};
  bytes[0] = 0;
  bytes[1] = 0;
  bytes[2] = 1;
  bytes[3] = 'A';
  bytes[kAckVersionOffset] = ack.versionMajor;
  bytes[kAckVersionOffset + 1] = ack.versionMinor;
  bytes[kAckVersionOffset + 2] = ack.versionBuild;
  bytes[kAckVersionOffset + 3] = 'B';
  PutText(std::span(bytes).subspan(kAckLoginOffset, kAddonTextSize), ack.login);
  PutText(std::span(bytes).subspan(kAckCallsignOffset, kAddonTextSize), ack.callsign);
  PutU32(bytes.data() + kAckStatusOffset, ack.sessionOpen ? kAckSessionOpenBit : 0);
  PutU32(bytes.data() + kAckSimulatorOffset, ack.simulatorCode);
  return bytes;
}

std::string ReadAddonDynamicsCallsign(std::span<const std::uint8_t, kAddonDynamicsRequestSize> bytes) {
  return TextIn(bytes);
}

AddonOwnValues OwnDynamicsValues(const OwnFlightData& flight, double trueAirspeed, std::uint8_t speedKind,
                                 std::uint8_t headingKind) {
  AddonOwnValues values;
  switch (speedKind) {
    case kAddonSpeedTrue:
      values.speed = NarrowToFloat(trueAirspeed);
      break;
    case kAddonSpeedGround:
      values.speed = NarrowToFloat(flight.speed1Knots);
      break;
    default:
      values.speed = NarrowToFloat(flight.speed2);
      break;
  }
  values.valueM = NarrowToFloat(flight.valueM);
  // Magnetic answers the field kept as the true heading, true answers heading 2.
  values.heading = NarrowToFloat(headingKind == kAddonHeadingTrue ? flight.heading2 : flight.trueHeading);
  values.altitudeFeet = NarrowToFloat(flight.altitudeFeet);
  return values;
}

AddonOwnDynamicsBytes WriteAddonOwnDynamics(const AddonOwnValues& values) {
  AddonOwnDynamicsBytes bytes{};
  std::size_t at = 0;
  for (const float value : {values.speed, values.valueM, values.heading, values.altitudeFeet}) {
    PutU32(bytes.data() + at, std::bit_cast<std::uint32_t>(value));
    at += 4;
  }
  return bytes;
}

bool AddonListedPilot(const WayRecord& record, std::uint32_t linkBits) {
  return record.peerKind == 'P' && (linkBits & kWayLoggedIn) != 0 && (record.stateFlags & kSpecialPilot) == 0;
}

void AppendAddonAnswerStart(std::uint8_t code, std::uint8_t subCode, std::uint32_t count,
                            std::vector<std::uint8_t>& out) {
  std::array<std::uint8_t, kAddonAnswerHeaderSize> answer{};
  PutU32(answer.data() + kAddonAnswerCountOffset, count);
  AppendFrame(AddonFrameMagic, FrameHeader{code, subCode, 0, 0, 0}, answer, out);
}

void AppendAddonPilotFull(const WayRecord& record, std::vector<std::uint8_t>& out) {
  AppendText(out, record.callsign, kFullTextSize);
  AppendText(out, record.peerLogin, kFullTextSize);
  AppendText(out, record.current.icaoType, kFullTypeSize);
  AppendU32(out, static_cast<std::uint32_t>(record.simulatorCode));
  AppendU32(out, record.pilot.versionWord);
  AppendTokenAndTransponder(record, out);
  AppendF32(out, record.position.pitch);
  AppendF32(out, record.position.bank);
  AppendZeros(out, 4);
  AppendPositionAndMotion(record, out);
  AppendText(out, record.frequencyA, kFullComSize);
}

void AppendAddonPilotShort(const WayRecord& record, std::vector<std::uint8_t>& out) {
  AppendText(out, record.callsign, kFullTextSize);
  AppendTokenAndTransponder(record, out);
  AppendZeros(out, 4);
  AppendPositionAndMotion(record, out);
  AppendZeros(out, 12);
}
