#include "net/peer_packets.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "core/sim_family.h"
#include "net/orv_sok.h"
#include "net/pilot_records.h"
#include "net/way_record.h"

namespace {

constexpr double kFractionScale = 65'536.0;
constexpr double kMetresPerFoot = 0.30480369673313074;
constexpr std::uint32_t kSpeedUnitsPerKnot = 33'715;

std::uint16_t U16(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}
std::uint32_t U32(std::span<const std::uint8_t> in, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
  return value;
}
std::int32_t I32(std::span<const std::uint8_t> in, std::size_t at) { return static_cast<std::int32_t>(U32(in, at)); }
std::int16_t I16(std::span<const std::uint8_t> in, std::size_t at) { return static_cast<std::int16_t>(U16(in, at)); }
float F32(std::span<const std::uint8_t> in, std::size_t at) { return std::bit_cast<float>(U32(in, at)); }
double F64(std::span<const std::uint8_t> in, std::size_t at) {
  return std::bit_cast<double>(static_cast<std::uint64_t>(U32(in, at)) |
                               (static_cast<std::uint64_t>(U32(in, at + 4)) << 32));
}

void Put16(std::span<std::uint8_t> out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}
void Put32(std::span<std::uint8_t> out, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}
void PutF32(std::span<std::uint8_t> out, std::size_t at, float value) { Put32(out, at, std::bit_cast<std::uint32_t>(value)); }
void PutF64(std::span<std::uint8_t> out, std::size_t at, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  Put32(out, at, static_cast<std::uint32_t>(bits));
  Put32(out, at + 4, static_cast<std::uint32_t>(bits >> 32));
}

// A whole part and its fraction, read as every sender of the family writes them.
double Fixed(std::span<const std::uint8_t> in, std::size_t wholeAt, std::size_t fractionAt) {
  return JoinFixed(I32(in, wholeAt), U16(in, fractionAt));
}
void PutFixed(std::span<std::uint8_t> out, std::size_t wholeAt, std::size_t fractionAt, FixedSplit split) {
  Put32(out, wholeAt, static_cast<std::uint32_t>(split.whole));
  Put16(out, fractionAt, split.fraction);
}

double WrapLongitude(double degrees) {
  double wrapped = std::fmod(degrees, 360.0);
  if (wrapped > 180.0) wrapped -= 360.0;
  if (wrapped < -180.0) wrapped += 360.0;
  return wrapped;
}
double WrapHeading(double degrees) {
  double wrapped = std::fmod(degrees, 360.0);
  if (wrapped < 0.0) wrapped += 360.0;
  return wrapped;
}

bool AllZero(const SimulatorPairOffsets& offsets) {
  return offsets.latitude == 0.0 && offsets.longitude == 0.0 && offsets.altitude == 0.0F && offsets.heading == 0.0F;
}

// The heading bits (2-11) of an attitude word replaced.
std::uint32_t WithHeadingField(std::uint32_t word, std::uint32_t field) {
  return (word & ~(0x3FFu << 2)) | ((field & 0x3FFu) << 2);
}

PeerFix OlderFix(std::span<const std::uint8_t> record, std::size_t attitudeAt, std::size_t wholesAt,
                 std::size_t fractionsAt) {
  PeerFix fix;
  const UnpackedAttitude attitude = UnpackOlderAttitude(U32(record, attitudeAt));
  fix.pitch = attitude.pitch;
  fix.bank = attitude.bank;
  fix.heading = attitude.heading;
  fix.onGround = attitude.onGround;
  fix.latitude = Fixed(record, wholesAt, fractionsAt) / kOlderLatitudeUnitsPerDegree;
  fix.longitude = Fixed(record, wholesAt + 4, fractionsAt + 2) / kOlderLongitudeUnitsPerDegree;
  fix.altitudeFeet = Fixed(record, wholesAt + 8, fractionsAt + 4) / kMetresPerFoot;
  return fix;
}

void OffsetOlder(std::span<std::uint8_t> record, std::size_t attitudeAt, std::size_t wholesAt, std::size_t fractionsAt,
                 const SimulatorPairOffsets& offsets) {
  if (AllZero(offsets)) return;
  const PeerFix fix = OlderFix(record, attitudeAt, wholesAt, fractionsAt);
  const double latitude = fix.latitude + offsets.latitude;
  const double longitude = WrapLongitude(fix.longitude + offsets.longitude);
  const double feet = fix.altitudeFeet + static_cast<double>(offsets.altitude);
  PutFixed(record, wholesAt, fractionsAt, SplitFixed(latitude * kOlderLatitudeUnitsPerDegree));
  PutFixed(record, wholesAt + 4, fractionsAt + 2, SplitLongitude(longitude));
  PutFixed(record, wholesAt + 8, fractionsAt + 4, SplitFixed(feet * kMetresPerFoot));
  // The field stays in its 1/1,024 units of the circle.
  const std::uint32_t word = U32(record, attitudeAt);
  const double heading = WrapHeading(static_cast<double>(fix.heading) + static_cast<double>(offsets.heading));
  const auto field = static_cast<std::uint32_t>(std::lround(heading * 1'024.0 / 360.0)) & 0x3FFu;
  Put32(record, attitudeAt, WithHeadingField(word, field));
}

PeerRecordCheck Exactly(std::size_t size, std::size_t wanted) {
  return size == wanted ? PeerRecordCheck::kOk : PeerRecordCheck::kWrongLength;
}
PeerRecordCheck AtLeast(std::size_t size, std::size_t wanted) {
  return size >= wanted ? PeerRecordCheck::kOk : PeerRecordCheck::kWrongLength;
}

}  // namespace

PeerRecordCheck CheckOlderFamilyRecord(std::span<const std::uint8_t> record) {
  if (record.size() < 2) return PeerRecordCheck::kWrongLength;
  const std::size_t size = record.size();
  switch (RecordType(record.data(), size)) {
    case kOlderStateRecordType:
      return Exactly(size, kOlderStateRecordSize);
    case kOlderPositionRecordType:
    case kOlderPositionRecordTypeB:
      return Exactly(size, kOlderPositionRecordSize);
    case kOlderShortPositionType:
    case kOlderShortPositionTypeB:
      return AtLeast(size, kOlderShortPositionSize);
    case kOlderIdentityRecordType:
    case kOlderIdentityRecordTypeB:
      return Exactly(size, kOlderIdentityRecordSize);
    case kOlderQuietRecordType:
    case kOlderQuietRecordTypeB:
      return PeerRecordCheck::kOk;  // passed on unread
    default:
      return PeerRecordCheck::kUnknownType;
  }
}

PeerRecordCheck CheckNewerFamilyRecord(std::span<const std::uint8_t> record) {
  if (record.size() < 2) return PeerRecordCheck::kWrongLength;
  const std::size_t size = record.size();
  // The short records' sizes are what their plug-in senders read.
  switch (RecordType(record.data(), size)) {
    case kPositionRecordType: return Exactly(size, kPositionRecordSize);
    case kIdentityRecordType: return Exactly(size, kIdentityRecordSize);
    case kStateRecordType: return Exactly(size, kStateRecordSize);
    case kAeroRecordType: return AtLeast(size, 8);
    case kStateShortRecordType: return AtLeast(size, 6);
    case kFlagsRecordType: return AtLeast(size, 6);
    case kGearRecordType: return AtLeast(size, 7);
    case kGear2RecordType: return AtLeast(size, 6);
    case kEnginesRecordType: return AtLeast(size, 9);
    default: return PeerRecordCheck::kUnknownType;
  }
}

PeerFix ConvertFsPosition(std::span<const std::uint8_t, kOlderPositionRecordSize> record) {
  PeerFix fix = OlderFix(record, 36, 40, 52);
  fix.sequence = U32(record, 8);
  fix.timeMs = U32(record, 12);
  fix.groundSpeedKnots =
      static_cast<std::uint16_t>(std::min<std::uint32_t>(U32(record, 28) / kSpeedUnitsPerKnot, 0xFFFF));
  // Feet per second in 16.16, as feet per minute rounded half up.
  const double perMinute = std::floor(static_cast<double>(I32(record, 24)) / kFractionScale * 60.0 + 0.5);
  fix.verticalSpeed = static_cast<std::int16_t>(std::clamp(perMinute, -32'768.0, 32'767.0));
  return fix;
}

PeerFix ConvertFsShortPosition(std::span<const std::uint8_t, kOlderShortPositionSize> record) {
  return OlderFix(record, 20, 24, 36);
}

PeerFix UnpackAttitudeFields(std::span<const std::uint8_t, kPositionRecordSize> record) {
  PeerFix fix;
  fix.sequence = U32(record, 4);
  fix.timeMs = U32(record, 8);
  fix.groundSpeedKnots = U16(record, 12);
  fix.verticalSpeed = I16(record, 14);
  const UnpackedAttitude attitude = UnpackPositionAttitude(U32(record, 20));
  fix.pitch = attitude.pitch;
  fix.bank = attitude.bank;
  fix.heading = attitude.heading;
  fix.onGround = attitude.onGround;
  fix.altitudeFeet = static_cast<double>(F32(record, 24));
  fix.latitude = F64(record, 32);
  fix.longitude = F64(record, 40);
  return fix;
}

bool PeerFixInRange(const PeerFix& fix) {
  const auto finite = [](double v) { return std::isfinite(v); };
  if (!finite(fix.latitude) || !finite(fix.longitude) || !finite(fix.altitudeFeet) || !finite(fix.pitch) ||
      !finite(fix.bank) || !finite(fix.heading)) {
    return false;
  }
  return fix.latitude >= -90.0 && fix.latitude <= 90.0 && fix.longitude >= -180.0 && fix.longitude <= 180.0 &&
         fix.altitudeFeet >= kPeerMinAltitudeFeet && fix.altitudeFeet <= kPeerMaxAltitudeFeet;
}

void StoreFix(const PeerFix& fix, WayPosition& position) {
  position.latitude = fix.latitude;
  position.longitude = fix.longitude;
  position.altitude = fix.altitudeFeet;
  position.pitch = fix.pitch;
  position.bank = fix.bank;
  position.heading = fix.heading;
  position.word1 = fix.sequence;
  position.word2 = fix.timeMs;
  position.onGroundWord = fix.onGround ? 1 : 0;
  position.groundSpeedKnots = fix.groundSpeedKnots;
  position.verticalSpeed = fix.verticalSpeed;
}

OlderPositionRecord RepackShortPosition(std::span<const std::uint8_t, kOlderShortPositionSize> record) {
  OlderPositionRecord out{};
  const std::span<std::uint8_t> o(out);
  Put16(o, 0, kOlderPositionRecordType);
  Put32(o, 4, kOlderPositionRecordSize - 6);
  Put32(o, 36, U32(record, 20));
  for (std::size_t i = 0; i < 3; ++i) {
    Put32(o, 40 + 4 * i, U32(record, 24 + 4 * i));
    Put16(o, 52 + 2 * i, U16(record, 36 + 2 * i));
  }
  return out;
}

void ApplyPairOffsets(std::span<std::uint8_t, kPositionRecordSize> record, const SimulatorPairOffsets& offsets) {
  if (AllZero(offsets)) return;
  PutF32(record, 24, F32(record, 24) + offsets.altitude);
  PutF64(record, 32, F64(record, 32) + offsets.latitude);
  PutF64(record, 40, WrapLongitude(F64(record, 40) + offsets.longitude));
  const std::uint32_t word = U32(record, 20);
  const double heading =
      WrapHeading(static_cast<double>((word >> 2) & 0x3FFu) + static_cast<double>(offsets.heading));
  Put32(record, 20, WithHeadingField(word, static_cast<std::uint32_t>(std::lround(heading)) % 360u));
}

void ApplyPairOffsets(std::span<std::uint8_t, kOlderPositionRecordSize> record, const SimulatorPairOffsets& offsets) {
  OffsetOlder(record, 36, 40, 52, offsets);
}

void ApplyPairOffsets(std::span<std::uint8_t, kOlderShortPositionSize> record, const SimulatorPairOffsets& offsets) {
  OffsetOlder(record, 20, 24, 36, offsets);
}

bool LookUpPairOffsets(std::int32_t ownCode, std::int32_t peerCode, const CrossSimOffsetTable& table,
                       SimulatorPairOffsets& offsets) {
  // The row the offsets window edits for the pair, whichever order it holds.
  const std::optional<CrossSimPairOffsets> found = FindCrossSimPairOffsets(table, ownCode, peerCode);
  if (!found) return false;
  offsets.latitude = found->latitude;
  offsets.longitude = found->longitude;
  offsets.altitude = found->altitude;
  offsets.heading = found->heading;
  return true;
}

std::array<std::uint8_t, kIdentityRecordSize> BuildIdentityRecord(std::uint16_t modelWord, std::string_view title,
                                                                  std::string_view icaoType,
                                                                  std::string_view classCode) {
  std::array<std::uint8_t, kIdentityRecordSize> out{};
  const std::span<std::uint8_t> o(out);
  Put16(o, 0, kIdentityRecordType);
  o[2] = static_cast<std::uint8_t>(kIdentityRecordSize - 4);
  Put16(o, 4, modelWord);
  const auto text = [&](std::size_t at, std::size_t width, std::string_view value) {
    const std::size_t n = std::min(value.size(), width - 1);
    std::copy_n(value.begin(), n, out.begin() + static_cast<std::ptrdiff_t>(at));
  };
  text(kIdentityTitleAt, kIdentityTitleSize, title);
  text(kIdentityIcaoTypeAt, kIdentityCodeSize, icaoType);
  text(kIdentityClassCodeAt, kIdentityCodeSize, classCode);
  return out;
}
