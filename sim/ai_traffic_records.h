// The plug-in commands that create, move and remove the AI aircraft of remote
// pilots: their bodies, written field by field from the way record and from
// the peer packets handed in. Each builder reads a packet only when it holds
// every byte the builder takes; a shorter one gives no record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

inline constexpr std::size_t kAddPeerBodySize = 216;
inline constexpr std::size_t kPeerPositionBodySize = 64;
inline constexpr std::size_t kPeerFullStateBodySize = 76;
inline constexpr std::size_t kPeerFlagsBodySize = 12;
inline constexpr std::size_t kPeerAeroBodySize = 20;
inline constexpr std::size_t kPeerStateBodySize = 12;
inline constexpr std::size_t kPeerEnginesBodySize = 40;
inline constexpr std::size_t kPeerGearBodySize = 20;
inline constexpr std::size_t kPeerGear2BodySize = 12;
inline constexpr std::size_t kRemovePeerBodySize = 4;

// The packet bytes each builder reads (the peer records of the two families:
// the 48-byte position, the 60-byte older-family position, the 24-byte and
// 36-byte states, and the short state records).
inline constexpr std::size_t kXPlanePositionPacketBytes = 48;
inline constexpr std::size_t kSimPositionPacketBytes = 58;
inline constexpr std::size_t kXPlaneStatePacketBytes = 24;
inline constexpr std::size_t kSimStatePacketBytes = 33;
inline constexpr std::size_t kFlagsPacketBytes = 6;
inline constexpr std::size_t kAeroPacketBytes = 8;
inline constexpr std::size_t kStatePacketBytes = 6;
inline constexpr std::size_t kEnginesPacketBytes = 9;
inline constexpr std::size_t kGearPacketBytes = 7;
inline constexpr std::size_t kGear2PacketBytes = 6;

// Text fields of the add record.
inline constexpr std::size_t kAddPeerCallsignSize = 16;
inline constexpr std::size_t kAddPeerTitleSize = 112;
inline constexpr std::size_t kAddPeerClassCodeSize = 8;
inline constexpr std::size_t kAddPeerIcaoTypeSize = 12;

template <std::size_t N>
using AiRecord = std::array<std::uint8_t, N>;

// What the add of an AI aircraft carries (pitch and bank as the way record
// keeps them; the record inverts their sign).
struct AddPeerFields {
  std::uint32_t positionWord1 = 0;
  std::uint32_t positionWord2 = 0;
  std::uint32_t simulatorCode = 0;
  std::uint32_t aircraftWord = 0;
  std::uint16_t way = 0;
  std::uint16_t acfSlot = 0;
  std::string_view callsign;
  std::int32_t engineValue = 0;
  std::string_view title;
  std::string_view classCode;
  std::string_view icaoType;
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  float pitch = 0.0F;
  float bank = 0.0F;
  float heading = 0.0F;
  std::uint16_t onGroundWord = 0;
  std::uint16_t groundSpeedKnots = 0;
};

AiRecord<kAddPeerBodySize> WriteAddPeerBody(const AddPeerFields& fields);
AiRecord<kRemovePeerBodySize> WriteRemovePeerBody(std::uint32_t way);

// Code 30 from the 48-byte position record (its altitude is an f32).
std::optional<AiRecord<kPeerPositionBodySize>> WriteXPlanePeerPosition(std::uint32_t way,
                                                                       std::span<const std::uint8_t> packet,
                                                                       bool offsetsDialogShown);
// Code 30 from the older family's 60-byte record, in its fixed-point units.
std::optional<AiRecord<kPeerPositionBodySize>> WriteSimPeerPosition(std::uint32_t way,
                                                                    std::span<const std::uint8_t> packet,
                                                                    bool offsetsDialogShown);
// Code 31 from the 24-byte state record.
std::optional<AiRecord<kPeerFullStateBodySize>> WriteXPlanePeerFullState(std::uint32_t way,
                                                                         std::span<const std::uint8_t> packet);

// Code 31 from the older family's 36-byte state record, which also sets the
// way record's engine value and its flag 0x2.
struct SimPeerStateInput {
  std::int32_t engineValue = 0;  // the way record's, before this packet
  std::string_view title;        // the chosen local model
  std::uint8_t firstAiStateByte = 0;
};
struct SimPeerStateResult {
  AiRecord<kPeerFullStateBodySize> body{};
  bool flag2 = false;
  std::int32_t engineValue = 0;
};
std::optional<SimPeerStateResult> WriteSimPeerFullState(std::uint32_t way, std::span<const std::uint8_t> packet,
                                                        const SimPeerStateInput& input);

// Codes 32 to 37 from the short state records of either family.
std::optional<AiRecord<kPeerFlagsBodySize>> WritePeerFlags(std::uint32_t way, std::span<const std::uint8_t> packet);
std::optional<AiRecord<kPeerAeroBodySize>> WritePeerAero(std::uint32_t way, std::span<const std::uint8_t> packet);
std::optional<AiRecord<kPeerStateBodySize>> WritePeerState(std::uint32_t way, std::span<const std::uint8_t> packet);
std::optional<AiRecord<kPeerEnginesBodySize>> WritePeerEngines(std::uint32_t way,
                                                               std::span<const std::uint8_t> packet);
std::optional<AiRecord<kPeerGearBodySize>> WritePeerGear(std::uint32_t way, std::span<const std::uint8_t> packet);
std::optional<AiRecord<kPeerGear2BodySize>> WritePeerGear2(std::uint32_t way, std::span<const std::uint8_t> packet);
