#include "net/position_records.h"

#include <bit>
#include <cmath>
#include <limits>
#include <span>

namespace {

constexpr double kFractionUnits = 65'536.0;

using Out = std::span<std::uint8_t>;

void PutU8(Out out, std::size_t at, std::uint8_t value) { out[at] = value; }

void PutU16(Out out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(Out out, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void PutI32(Out out, std::size_t at, std::int32_t value) { PutU32(out, at, static_cast<std::uint32_t>(value)); }

void PutF32(Out out, std::size_t at, float value) { PutU32(out, at, std::bit_cast<std::uint32_t>(value)); }

void PutF64(Out out, std::size_t at, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < 8; ++i) out[at + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// A double converted to an integer type outside its range is undefined: the
// simulator's values are held inside the field's range first (NaN gives 0).
template <typename Int>
Int Truncated(double value) {
  if (std::isnan(value)) return 0;
  constexpr double low = static_cast<double>(std::numeric_limits<Int>::min());
  constexpr double high = static_cast<double>(std::numeric_limits<Int>::max());
  if (value <= low) return std::numeric_limits<Int>::min();
  if (value >= high) return std::numeric_limits<Int>::max();
  return static_cast<Int>(value);
}

// Ten bits of a signed whole value, two's complement.
std::uint32_t TenBits(std::int32_t value) { return static_cast<std::uint32_t>(value) & 0x3FFu; }

std::uint32_t AttitudeWord(std::int32_t pitch, std::int32_t bank, std::int32_t heading, bool onGround) {
  return (TenBits(pitch) << 22) | (TenBits(bank) << 12) | (TenBits(heading) << 2) | (onGround ? 0x2u : 0u);
}

// Fractions of the 16.16 velocity words: low 16 bits fraction, high 16 bits
// the signed whole part, which is the value × 65,536 in two's complement.
std::int32_t SixteenSixteen(double value) { return Truncated<std::int32_t>(value * 65'536.0); }

std::uint8_t LowByte(std::int64_t value) { return static_cast<std::uint8_t>(static_cast<std::uint64_t>(value)); }

constexpr std::array<std::uint8_t, 41> kStepValues = {
    0,   255, 254, 253, 253, 252, 251, 250, 249, 248, 248, 247, 246, 245,
    245, 245, 245, 244, 243, 242, 241, 240, 239, 238, 238, 238, 238, 237,
    236, 235, 234, 233, 232, 231, 230, 229, 228, 227, 227, 227, 227};

void PutFixed(Out out, std::size_t wholeAt, std::size_t fractionAt, FixedSplit split) {
  PutI32(out, wholeAt, split.whole);
  PutU16(out, fractionAt, split.fraction);
}

}  // namespace

FixedSplit SplitFixed(double value) {
  if (std::isnan(value)) return {};
  double whole = 0.0;
  const double fraction = std::modf(value, &whole);
  if (whole > static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return {std::numeric_limits<std::int32_t>::max(), 0};
  }
  if (whole < static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    return {std::numeric_limits<std::int32_t>::min(), 0};
  }
  // |fraction| < 1: the scaled value lies within (-65,536, 65,536).
  const auto scaled = static_cast<std::int32_t>(fraction * kFractionUnits);
  return {static_cast<std::int32_t>(whole), static_cast<std::uint16_t>(static_cast<std::uint32_t>(scaled) & 0xFFFFu)};
}

double JoinFixed(std::int32_t whole, std::uint16_t fraction) {
  const double part = whole >= 0 || fraction == 0 ? fraction / kFractionUnits
                                                  : (static_cast<double>(fraction) - kFractionUnits) / kFractionUnits;
  return static_cast<double>(whole) + part;
}

FixedSplit SplitLongitude(double degrees) {
  if (!std::isfinite(degrees)) return {};
  // 180 degrees is 2,147,483,214 units: within [-180, 180) every longitude
  // fits the signed word, so +180 (and anything east of it) is written as the
  // same meridian counted westward.
  double normalised = std::fmod(degrees, 360.0);
  if (normalised >= 180.0) normalised -= 360.0;
  if (normalised < -180.0) normalised += 360.0;
  return SplitFixed(normalised * kOlderLongitudeUnitsPerDegree);
}

OwnFlagBytes DecodeOwnFlagBits(std::uint32_t lightsAndFlags) {
  OwnFlagBytes bytes;
  for (unsigned bit = 0; bit < 8; ++bit) {
    if ((lightsAndFlags >> (1 + 2 * bit)) & 1u) bytes.a = static_cast<std::uint8_t>(bytes.a | (1u << bit));
  }
  bytes.b = (lightsAndFlags & 1u) != 0 ? 1 : 0;
  return bytes;
}

std::uint8_t OlderStepValue(std::int32_t selector) {
  if (selector < 0) selector = 0;
  if (selector > 40) selector = 40;
  return kStepValues[static_cast<std::size_t>(selector)];
}

std::uint32_t PositionAttitudeWord(const OwnPositionValues& own) {
  return AttitudeWord(Truncated<std::int32_t>(own.pitch), Truncated<std::int32_t>(own.bank),
                      Truncated<std::int32_t>(own.magneticHeading), own.onGround);
}

std::uint32_t OlderAttitudeWord(const OwnPositionValues& own) {
  return AttitudeWord(Truncated<std::int32_t>(own.pitch * 256.0 / 90.0), Truncated<std::int32_t>(own.bank * 512.0 / 180.0),
                      Truncated<std::int32_t>(own.trueHeading * 1'024.0 / 360.0), own.onGround);
}

PositionRecord BuildPositionRecord(const OwnPositionValues& own, RecordStamp stamp) {
  PositionRecord record{};
  const Out out(record);
  PutU16(out, 0, kPositionRecordType);
  PutU16(out, 2, kPositionRecordSize - 4);
  PutU32(out, 4, stamp.sequence);
  PutU32(out, 8, stamp.timeMs);
  PutU16(out, 12, own.groundSpeedWhole);
  PutU16(out, 14, static_cast<std::uint16_t>(Truncated<std::int16_t>(own.verticalSpeed)));
  PutU32(out, 20, PositionAttitudeWord(own));
  PutF32(out, 24, static_cast<float>(own.altitudeFeet));
  PutF64(out, 32, own.latitude);
  PutF64(out, 40, own.longitude);
  return record;
}

OlderPositionRecord BuildOlderPositionRecord(const OwnPositionValues& own, RecordStamp stamp) {
  OlderPositionRecord record{};
  const Out out(record);
  PutU16(out, 0, kOlderPositionRecordType);
  PutU32(out, 4, kOlderPositionRecordSize - 6);
  PutU32(out, 8, stamp.sequence);
  PutU32(out, 12, stamp.timeMs);
  PutI32(out, 16, SixteenSixteen(own.velocityX));
  PutI32(out, 20, SixteenSixteen(own.velocityZ));
  PutI32(out, 24, SixteenSixteen(own.velocityY));
  PutU32(out, 28, Truncated<std::uint32_t>(own.groundSpeedKnots * kOlderSpeedUnitsPerKnot));
  const OwnFlagBytes flags = DecodeOwnFlagBits(own.lightsAndFlags);
  PutU8(out, 32, flags.a);
  PutU8(out, 33, flags.b);
  PutU32(out, 36, OlderAttitudeWord(own));
  const FixedSplit latitude = SplitFixed(own.latitude * kOlderLatitudeUnitsPerDegree);
  const FixedSplit longitude = SplitLongitude(own.longitude);
  const FixedSplit altitude = SplitFixed(own.altitudeFeet / kFeetPerMetre);
  PutFixed(out, 40, 52, latitude);
  PutFixed(out, 44, 54, longitude);
  PutFixed(out, 48, 56, altitude);
  return record;
}

StateRecord BuildStateRecord(const OwnStateValues& own, std::uint32_t sequence) {
  StateRecord record{};
  const Out out(record);
  PutU16(out, 0, kStateRecordType);
  PutU8(out, 2, kStateRecordSize - 4);
  PutU32(out, 4, sequence);
  for (std::size_t i = 0; i < 7; ++i) PutU8(out, 8 + i, LowByte(own.controls[i]));
  std::uint8_t switches = 0;
  for (std::size_t i = 0; i < own.switches.size(); ++i) {
    if (own.switches[i] != 0) switches = static_cast<std::uint8_t>(switches | (1u << i));
  }
  PutU8(out, 15, switches);
  for (std::size_t i = 0; i < own.engines.size(); ++i) PutU8(out, 16 + i, LowByte(own.engines[i]));
  PutU16(out, 20, own.controlWord);
  PutU16(out, 22, static_cast<std::uint16_t>(static_cast<std::uint32_t>(own.controls[7])));
  return record;
}

OlderStateRecord BuildOlderStateRecord(const OwnStateValues& own, RecordStamp stamp) {
  OlderStateRecord record{};
  const Out out(record);
  PutU16(out, 0, kOlderStateRecordType);
  PutU8(out, 4, kOlderStateRecordSize - 6);
  PutU32(out, 8, stamp.timeMs);
  PutU32(out, 12, stamp.sequence);
  // 64-bit products: a stored value near the 32-bit limit times 15 or 19
  // would overflow an int.
  const std::int64_t first = static_cast<std::int64_t>(own.controls[0]) * 15 / 100;
  PutU8(out, 16, LowByte(-first));
  PutU8(out, 17, LowByte(first));
  const std::uint8_t step = OlderStepValue(own.selector);
  PutU8(out, 18, step);
  PutU8(out, 19, step);
  const std::int64_t second = static_cast<std::int64_t>(own.controls[1]) * 19 / 100;
  PutU8(out, 20, LowByte(-second));
  PutU8(out, 21, LowByte(second));
  return record;
}

ShortStateRecord BuildShortStateRecord(const OwnStateValues& own) {
  ShortStateRecord record{};
  const Out out(record);
  PutU16(out, 0, kShortStateRecordType);
  PutU8(out, 2, kShortStateRecordSize - 4);
  PutU8(out, 4, own.movingFlag != 0 ? 1 : 0);
  PutU16(out, 6, own.shortValue);
  return record;
}

std::uint16_t RecordType(const std::uint8_t* record, std::size_t length) {
  if (record == nullptr || length < 2) return 0;
  return static_cast<std::uint16_t>(record[0] | (record[1] << 8));
}
