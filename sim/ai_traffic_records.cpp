#include "sim/ai_traffic_records.h"

#include <algorithm>
#include <bit>
#include <string>

#include "net/position_records.h"
#include "win/ascii_case.h"

namespace {

// The older family's fixed-point units: latitude and longitude in fractions
// of the circle, altitude in metres, ground speed in knots x 33,715.
constexpr double kSimLatitudeUnits = 111'130.85863021713;
constexpr double kSimLongitudeUnits = 11'930'462.302561596;
constexpr double kSimMetresPerFoot = 0.30480369673313074;
constexpr std::uint32_t kSimGroundSpeedUnits = 33'715;
constexpr double kControlWordScale = 16.383;

// Offsets of the add record.
constexpr std::size_t kAddCallsignAt = 24;
constexpr std::size_t kAddTitleAt = 44;
constexpr std::size_t kAddClassCodeAt = 156;
constexpr std::size_t kAddIcaoTypeAt = 164;
static_assert(kAddCallsignAt + kAddPeerCallsignSize == 40);
static_assert(kAddTitleAt + kAddPeerTitleSize == kAddClassCodeAt);
static_assert(kAddClassCodeAt + kAddPeerClassCodeSize == kAddIcaoTypeAt);
static_assert(kAddIcaoTypeAt + kAddPeerIcaoTypeSize == 176);

template <std::size_t N>
void PutU16(AiRecord<N>& out, std::size_t at, std::uint16_t value) {
  out.at(at) = static_cast<std::uint8_t>(value & 0xFF);
  out.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
}

template <std::size_t N>
void PutU32(AiRecord<N>& out, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out.at(at + i) = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

template <std::size_t N>
void PutF32(AiRecord<N>& out, std::size_t at, float value) {
  PutU32(out, at, std::bit_cast<std::uint32_t>(value));
}

template <std::size_t N>
void PutF64(AiRecord<N>& out, std::size_t at, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  PutU32(out, at, static_cast<std::uint32_t>(bits & 0xFFFF'FFFFu));
  PutU32(out, at + 4, static_cast<std::uint32_t>(bits >> 32));
}

// Cut to the field and terminated within it.
template <std::size_t N>
void PutText(AiRecord<N>& out, std::size_t at, std::size_t width, std::string_view text) {
  const std::size_t n = std::min(text.size(), width - 1);
  std::copy_n(text.begin(), n, out.begin() + static_cast<std::ptrdiff_t>(at));
}

std::uint16_t U16At(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}
std::int16_t I16At(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<std::int16_t>(U16At(in, at));
}
std::uint32_t U32At(std::span<const std::uint8_t> in, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[at + i]) << (8 * i);
  return value;
}
std::int32_t I32At(std::span<const std::uint8_t> in, std::size_t at) { return static_cast<std::int32_t>(U32At(in, at)); }
float F32At(std::span<const std::uint8_t> in, std::size_t at) { return std::bit_cast<float>(U32At(in, at)); }
double F64At(std::span<const std::uint8_t> in, std::size_t at) {
  const std::uint64_t low = U32At(in, at);
  const std::uint64_t high = U32At(in, at + 4);
  return std::bit_cast<double>(low | (high << 32));
}
float SignedByte(std::span<const std::uint8_t> in, std::size_t at) {
  return static_cast<float>(static_cast<std::int8_t>(in[at]));
}

// A 10-bit two's-complement field of the attitude word.
int SignedTenBits(std::uint32_t word, int shift) {
  const int raw = static_cast<int>((word >> shift) & 0x3FF);
  return raw >= 0x200 ? raw - 0x400 : raw;
}
int HeadingBits(std::uint32_t word) { return static_cast<int>((word >> 2) & 0x3FF); }
std::uint16_t OnGroundBit(std::uint32_t word) { return static_cast<std::uint16_t>((word >> 1) & 1u); }

int ClampedControl(int value) { return std::clamp(value, -100, 100); }

bool ContainsRobinson(std::string_view title) {
  std::string upper(title);
  for (char& c : upper) c = AsciiToUpper(c);
  return upper.find("ROBINSON") != std::string::npos;
}

template <std::size_t N>
AiRecord<N> HeadedBody(std::uint32_t way) {
  AiRecord<N> body{};
  PutU32(body, 0, way);
  return body;
}

}  // namespace

AiRecord<kAddPeerBodySize> WriteAddPeerBody(const AddPeerFields& fields) {
  AiRecord<kAddPeerBodySize> body{};
  PutU32(body, 0, fields.positionWord1);
  PutU32(body, 4, fields.positionWord2);
  PutU32(body, 8, fields.simulatorCode);
  PutU32(body, 12, fields.aircraftWord);
  PutU16(body, 16, fields.way);
  PutU16(body, 18, fields.acfSlot);
  PutText(body, kAddCallsignAt, kAddPeerCallsignSize, fields.callsign);
  PutU32(body, 40, static_cast<std::uint32_t>(fields.engineValue));
  PutText(body, kAddTitleAt, kAddPeerTitleSize, fields.title);
  PutText(body, kAddClassCodeAt, kAddPeerClassCodeSize, fields.classCode);
  PutText(body, kAddIcaoTypeAt, kAddPeerIcaoTypeSize, fields.icaoType);
  PutF64(body, 176, fields.latitude);
  PutF64(body, 184, fields.longitude);
  PutF64(body, 192, fields.altitudeFeet);
  PutF32(body, 200, -fields.pitch);
  PutF32(body, 204, -fields.bank);
  PutF32(body, 208, fields.heading);
  PutU16(body, 212, fields.onGroundWord);
  PutU16(body, 214, fields.groundSpeedKnots);
  return body;
}

AiRecord<kRemovePeerBodySize> WriteRemovePeerBody(std::uint32_t way) { return HeadedBody<kRemovePeerBodySize>(way); }

std::optional<AiRecord<kPeerPositionBodySize>> WriteXPlanePeerPosition(std::uint32_t way,
                                                                       std::span<const std::uint8_t> packet,
                                                                       bool offsetsDialogShown) {
  if (packet.size() < kXPlanePositionPacketBytes) return std::nullopt;
  AiRecord<kPeerPositionBodySize> body{};
  PutU32(body, 0, U32At(packet, 4));
  PutU32(body, 4, U32At(packet, 8));
  PutU32(body, 8, way);
  PutU32(body, 12, offsetsDialogShown ? 1u : 0u);
  PutF64(body, 16, F64At(packet, 32));
  PutF64(body, 24, F64At(packet, 40));
  // The record's altitude is an f32 followed by a zero word.
  PutF64(body, 32, static_cast<double>(F32At(packet, 24)));
  const std::uint32_t attitude = U32At(packet, 20);
  PutF32(body, 40, static_cast<float>(-SignedTenBits(attitude, 22)));
  PutF32(body, 44, static_cast<float>(-SignedTenBits(attitude, 12)));
  PutF32(body, 48, static_cast<float>(HeadingBits(attitude)));
  PutU16(body, 52, offsetsDialogShown ? 0 : OnGroundBit(attitude));
  PutU16(body, 54, offsetsDialogShown ? 1 : U16At(packet, 12));
  PutF32(body, 56, static_cast<float>(I16At(packet, 14)));
  return body;
}

std::optional<AiRecord<kPeerPositionBodySize>> WriteSimPeerPosition(std::uint32_t way,
                                                                    std::span<const std::uint8_t> packet,
                                                                    bool offsetsDialogShown) {
  if (packet.size() < kSimPositionPacketBytes) return std::nullopt;
  AiRecord<kPeerPositionBodySize> body{};
  PutU32(body, 0, U32At(packet, 8));
  PutU32(body, 4, U32At(packet, 12));
  PutU32(body, 8, way);
  // Read as the pilot way reads them, so that both agree on every value.
  const auto fixed = [&](std::size_t wholeAt, std::size_t fractionAt) {
    return JoinFixed(I32At(packet, wholeAt), U16At(packet, fractionAt));
  };
  PutF64(body, 16, fixed(40, 52) / kSimLatitudeUnits);
  PutF64(body, 24, fixed(44, 54) / kSimLongitudeUnits);
  PutF64(body, 32, fixed(48, 56) / kSimMetresPerFoot);
  const std::uint32_t attitude = U32At(packet, 36);
  PutF32(body, 40, static_cast<float>(-SignedTenBits(attitude, 22) * 90.0 / 256.0));
  PutF32(body, 44, static_cast<float>(-SignedTenBits(attitude, 12) * 180.0 / 512.0));
  PutF32(body, 48, static_cast<float>(HeadingBits(attitude) * 360.0 / 1024.0));
  PutU16(body, 52, OnGroundBit(attitude));
  PutU16(body, 54,
         offsetsDialogShown ? 1 : static_cast<std::uint16_t>(U32At(packet, 28) / kSimGroundSpeedUnits));
  return body;
}

std::optional<AiRecord<kPeerFullStateBodySize>> WriteXPlanePeerFullState(std::uint32_t way,
                                                                         std::span<const std::uint8_t> packet) {
  if (packet.size() < kXPlaneStatePacketBytes) return std::nullopt;
  auto body = HeadedBody<kPeerFullStateBodySize>(way);
  for (std::size_t i = 0; i < 7; ++i) PutF32(body, 8 + 4 * i, SignedByte(packet, 8 + i));
  PutF32(body, 36, static_cast<float>(U16At(packet, 22) / kControlWordScale));
  for (std::size_t i = 0; i < 4; ++i) PutU32(body, 44 + 4 * i, (packet[15] >> i) & 1u);
  for (std::size_t i = 0; i < 4; ++i) PutF32(body, 60 + 4 * i, SignedByte(packet, 16 + i));
  return body;
}

std::optional<SimPeerStateResult> WriteSimPeerFullState(std::uint32_t way, std::span<const std::uint8_t> packet,
                                                        const SimPeerStateInput& input) {
  if (packet.size() < kSimStatePacketBytes) return std::nullopt;
  const auto signedAt = [&](std::size_t at) { return static_cast<int>(static_cast<std::int8_t>(packet[at])); };
  const int control1 = ClampedControl(signedAt(17) * 100 / 15);
  const int control2 = ClampedControl(signedAt(20) * 100 / 19);
  const int control3 = ClampedControl(signedAt(21) * -100 / 18);
  const double control4 = std::min((packet[18] * 256.0 + packet[19]) / 16'384.0 * 100.0, 100.0);

  SimPeerStateResult result;
  result.flag2 = packet[28] != 0;
  // This family's helicopters carry their rotor in bytes 31 and 32 only as a switch.
  std::uint8_t engineByte = packet[31];
  if (input.engineValue == 0 && ContainsRobinson(input.title)) engineByte = packet[22] != 0 ? 0xFF : 0;
  result.engineValue = engineByte < 0x11 ? 0 : engineByte - 0x11;
  if (input.firstAiStateByte != 0) result.engineValue = -(input.firstAiStateByte / 4);

  result.body = HeadedBody<kPeerFullStateBodySize>(way);
  PutF32(result.body, 8, static_cast<float>(control1));
  PutF32(result.body, 12, static_cast<float>(control2));
  PutF32(result.body, 16, static_cast<float>(control3));
  PutF32(result.body, 20, static_cast<float>(control4));
  for (std::size_t i = 0; i < 3; ++i) PutF32(result.body, 24 + 4 * i, static_cast<float>(packet[29]));
  for (std::size_t i = 0; i < 4; ++i) PutF32(result.body, 60 + 4 * i, static_cast<float>(result.engineValue));
  return result;
}

std::optional<AiRecord<kPeerFlagsBodySize>> WritePeerFlags(std::uint32_t way, std::span<const std::uint8_t> packet) {
  if (packet.size() < kFlagsPacketBytes) return std::nullopt;
  auto body = HeadedBody<kPeerFlagsBodySize>(way);
  PutF32(body, 8, static_cast<float>(U16At(packet, 4)));
  return body;
}

std::optional<AiRecord<kPeerAeroBodySize>> WritePeerAero(std::uint32_t way, std::span<const std::uint8_t> packet) {
  if (packet.size() < kAeroPacketBytes) return std::nullopt;
  auto body = HeadedBody<kPeerAeroBodySize>(way);
  for (std::size_t i = 0; i < 3; ++i) PutF32(body, 8 + 4 * i, SignedByte(packet, 5 + i));
  return body;
}

std::optional<AiRecord<kPeerStateBodySize>> WritePeerState(std::uint32_t way, std::span<const std::uint8_t> packet) {
  if (packet.size() < kStatePacketBytes) return std::nullopt;
  auto body = HeadedBody<kPeerStateBodySize>(way);
  PutF32(body, 8, static_cast<float>(U16At(packet, 4) / kControlWordScale));
  return body;
}

std::optional<AiRecord<kPeerEnginesBodySize>> WritePeerEngines(std::uint32_t way,
                                                               std::span<const std::uint8_t> packet) {
  if (packet.size() < kEnginesPacketBytes) return std::nullopt;
  auto body = HeadedBody<kPeerEnginesBodySize>(way);
  for (std::size_t i = 0; i < 4; ++i) PutU32(body, 8 + 4 * i, (packet[4] >> i) & 1u);
  for (std::size_t i = 0; i < 4; ++i) PutF32(body, 24 + 4 * i, SignedByte(packet, 5 + i));
  return body;
}

std::optional<AiRecord<kPeerGearBodySize>> WritePeerGear(std::uint32_t way, std::span<const std::uint8_t> packet) {
  if (packet.size() < kGearPacketBytes) return std::nullopt;
  auto body = HeadedBody<kPeerGearBodySize>(way);
  for (std::size_t i = 0; i < 3; ++i) PutF32(body, 8 + 4 * i, static_cast<float>(packet[4 + i]));
  return body;
}

std::optional<AiRecord<kPeerGear2BodySize>> WritePeerGear2(std::uint32_t way, std::span<const std::uint8_t> packet) {
  if (packet.size() < kGear2PacketBytes) return std::nullopt;
  auto body = HeadedBody<kPeerGear2BodySize>(way);
  PutU16(body, 8, U16At(packet, 4));
  return body;
}
