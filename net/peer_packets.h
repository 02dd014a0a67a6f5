// The position and state records a peer pilot sends (inside NCSUB_FS_PACKET
// and NCSUB_FSX_PACKET): the length each record type must have, the
// conversions of both simulator families to degrees and feet, the range a
// position must lie in, and the simulator pair offsets applied in place.
// Nothing here touches a way: the pilot way's glue calls these before it
// keeps or forwards anything.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/cross_sim_offsets.h"
#include "net/position_records.h"

struct SimulatorPairOffsets;
struct WayPosition;

// Record types of the older family besides the position and state layouts.
inline constexpr std::uint16_t kOlderIdentityRecordType = 4099;
inline constexpr std::uint16_t kOlderIdentityRecordTypeB = 4110;
inline constexpr std::uint16_t kOlderQuietRecordType = 4107;
inline constexpr std::uint16_t kOlderQuietRecordTypeB = 4119;
inline constexpr std::uint16_t kOlderShortPositionType = 4108;
inline constexpr std::uint16_t kOlderShortPositionTypeB = 4120;
// Newer-family records besides the position and the 24-byte state.
inline constexpr std::uint16_t kIdentityRecordType = 0x2100;
inline constexpr std::uint16_t kAeroRecordType = 0x2200;
inline constexpr std::uint16_t kStateShortRecordType = 0x2240;
inline constexpr std::uint16_t kFlagsRecordType = 0x2250;
inline constexpr std::uint16_t kGearRecordType = 0x2260;
inline constexpr std::uint16_t kGear2RecordType = 0x2270;
inline constexpr std::uint16_t kEnginesRecordType = 0x2291;

inline constexpr std::size_t kIdentityRecordSize = 134;
inline constexpr std::size_t kOlderIdentityRecordSize = 140;
// The older short position layout: attitude word at 20, whole parts at 24,
// 28 and 32, their fractions at 36, 38 and 40.
inline constexpr std::size_t kOlderShortPositionSize = 42;
// Identity record fields.
inline constexpr std::size_t kIdentityTitleAt = 6;
inline constexpr std::size_t kIdentityTitleSize = 112;
inline constexpr std::size_t kIdentityIcaoTypeAt = 118;
inline constexpr std::size_t kIdentityClassCodeAt = 126;
inline constexpr std::size_t kIdentityCodeSize = 8;

// The ranges a peer position must lie in to be shown.
inline constexpr double kPeerMinAltitudeFeet = -2'000.0;
inline constexpr double kPeerMaxAltitudeFeet = 100'000.0;

enum class PeerRecordCheck {
  kOk,
  kWrongLength,  // a known type whose record is too short (or, for a fixed layout, of another size)
  kUnknownType,
};
// Checks a record's length for its type before anything of it is read.
PeerRecordCheck CheckOlderFamilyRecord(std::span<const std::uint8_t> record);
PeerRecordCheck CheckNewerFamilyRecord(std::span<const std::uint8_t> record);

// A decoded peer position.
struct PeerFix {
  std::uint32_t sequence = 0;
  std::uint32_t timeMs = 0;
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  float pitch = 0.0F;
  float bank = 0.0F;
  float heading = 0.0F;
  bool onGround = false;
  std::uint16_t groundSpeedKnots = 0;
  std::int16_t verticalSpeed = 0;  // feet per minute
};

// The older family's 60-byte record (whole parts and fractions read by JoinFixed).
PeerFix ConvertFsPosition(std::span<const std::uint8_t, kOlderPositionRecordSize> record);
// The older short layout (types 4108 and 4120): position and attitude only.
PeerFix ConvertFsShortPosition(std::span<const std::uint8_t, kOlderShortPositionSize> record);
// The 48-byte record.
PeerFix UnpackAttitudeFields(std::span<const std::uint8_t, kPositionRecordSize> record);

// Finite, latitude -90..90, longitude -180..180, altitude -2,000..100,000 ft.
bool PeerFixInRange(const PeerFix& fix);

// The position block of the way record from a fix (the sequence and time
// stamp as its two leading words, bit 0 of the on-ground word on the ground).
void StoreFix(const PeerFix& fix, WayPosition& position);

// The older short layout as a 60-byte record of type 4109 (the plug-in
// senders take that one); sequence and time stamp are 0.
OlderPositionRecord RepackShortPosition(std::span<const std::uint8_t, kOlderShortPositionSize> record);

// The pair offsets added in place, the fixed-point parts split again as the
// sender splits them; longitudes are kept in -180..180 and headings in 0..360.
// Nothing is written when every offset is 0.
void ApplyPairOffsets(std::span<std::uint8_t, kPositionRecordSize> record, const SimulatorPairOffsets& offsets);
void ApplyPairOffsets(std::span<std::uint8_t, kOlderPositionRecordSize> record, const SimulatorPairOffsets& offsets);
void ApplyPairOffsets(std::span<std::uint8_t, kOlderShortPositionSize> record, const SimulatorPairOffsets& offsets);

// The offsets between the own family and a peer's: zero for the same family,
// else the first row naming the pair in either order (the one the offsets
// window edits), as it is when it is (own, peer), negated when (peer, own);
// false when the table has no row for the pair (the caller keeps what it had).
bool LookUpPairOffsets(std::int32_t ownCode, std::int32_t peerCode, const CrossSimOffsetTable& table,
                       SimulatorPairOffsets& offsets);

// A record's sequence number is taken unless it is below the last accepted one.
constexpr bool SequenceAccepted(std::uint32_t last, std::uint32_t sequence) { return sequence >= last; }

// The 134-byte identity record the own aircraft is announced with to peers
// of the newer families (texts cut and terminated within their fields).
std::array<std::uint8_t, kIdentityRecordSize> BuildIdentityRecord(std::uint16_t modelWord, std::string_view title,
                                                                  std::string_view icaoType,
                                                                  std::string_view classCode);
