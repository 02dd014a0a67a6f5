// The bodies of the pilot-to-pilot link: the login record with the fields
// only pilots exchange, the callsign body of a logout or out-of-range notice,
// the cancel reason, and the two radio and state change records. Each record
// is written and read field by field (little-endian); texts from the wire are
// terminated within their field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "net/node_records.h"
#include "net/position_records.h"

// Offsets inside the login's 392-byte part.
inline constexpr std::size_t kPilotLoginOlderPositionOffset = 208;  // 60 bytes
inline constexpr std::size_t kPilotLoginCategoryOffset = 271;
inline constexpr std::size_t kPilotLoginPositionOffset = 272;  // 48 bytes
inline constexpr std::size_t kPilotLoginAddressOffset = 320;   // dotted text to the end of the part
inline constexpr std::size_t kPilotLoginAddressSize = kLoginPartSize - kPilotLoginAddressOffset;
static_assert(kPilotLoginOlderPositionOffset + kOlderPositionRecordSize <= kPilotLoginCategoryOffset);
static_assert(kPilotLoginPositionOffset + kPositionRecordSize == kPilotLoginAddressOffset);

// Option bit 4 of the login: the sender is a special observer.
inline constexpr std::uint32_t kLoginSpecialObserver = 1u << 4;

inline constexpr std::size_t kPilotCallsignBodySize = 32;  // NCSUB_LOGOUT, NCSUB_OUT_OF_RANGE
inline constexpr std::size_t kPilotCallsignOffset = 8;
inline constexpr std::size_t kCancelLinkBodySize = 4;
inline constexpr std::size_t kPilotChanges2Size = 24;
inline constexpr std::size_t kPilotChangesCommSize = 32;
inline constexpr std::size_t kPilotComTextSize = 8;
// The longest position or state packet a pilot link carries.
inline constexpr std::uint32_t kPilotPacketLimit = 1'024;

// Cancel reasons.
inline constexpr std::uint32_t kCancelNotInSession = 0;
inline constexpr std::uint32_t kCancelCouldNotAdd = 1;
inline constexpr std::uint32_t kCancelRemoved = 2;
inline constexpr std::uint32_t kCancelOutOfRange = 3;

// Radio selection bits as the way keeps them (the login's option bits 1..3).
inline constexpr std::uint8_t kPilotRadioCom1 = 0x1;
inline constexpr std::uint8_t kPilotRadioCom2 = 0x2;
inline constexpr std::uint8_t kPilotRadioBoth = 0x4;

// Aircraft categories of the login.
inline constexpr std::uint8_t kCategoryPiston = 0;
inline constexpr std::uint8_t kCategoryJet = 1;
inline constexpr std::uint8_t kCategoryHelicopter = 3;
inline constexpr std::uint8_t kCategoryTurboprop = 5;

using PilotLoginRecordBytes = LoginRecordBytes;
using PilotCallsignBody = std::array<std::uint8_t, kPilotCallsignBodySize>;
using PilotChanges2Bytes = std::array<std::uint8_t, kPilotChanges2Size>;
using PilotChangesCommBytes = std::array<std::uint8_t, kPilotChangesCommSize>;

// What only a pilot's login carries, beside the node login's fields.
struct PilotLoginExtras {
  OlderPositionRecord olderPosition{};
  std::uint8_t category = 0;
  PositionRecord position{};
  std::string publicAddress;  // dotted text
};

struct PilotLoginRecord {
  LoginRecord login;
  PilotLoginExtras extras;
};

PilotLoginRecordBytes WritePilotLoginRecord(const PilotLoginRecord& record);
// kNodeRecordShort for fewer than 560 bytes.
std::int32_t ReadPilotLoginRecord(std::span<const std::uint8_t> body, PilotLoginRecord& out);

// 0..7 zero, 8 the callsign [16], 24..31 zero.
PilotCallsignBody WritePilotCallsignBody(std::string_view callsign);
std::int32_t ReadPilotCallsignBody(std::span<const std::uint8_t> body, std::string& callsign);

std::array<std::uint8_t, kCancelLinkBodySize> WriteCancelLinkBody(std::uint32_t reason);
std::int32_t ReadCancelLinkBody(std::span<const std::uint8_t> body, std::uint32_t& reason);
// The receiver's text of a reason; any other than 0..3 is "Code %d." with it.
std::string CancelReasonText(std::uint32_t reason);

struct PilotChanges2 {
  std::uint32_t posted = 0;    // the value the poster gave
  std::uint32_t ownValue = 0;  // a value of the own aircraft
  std::uint8_t byte = 0;
};
PilotChanges2Bytes WritePilotChanges2(const PilotChanges2& record);
PilotChanges2 ReadPilotChanges2(std::span<const std::uint8_t, kPilotChanges2Size> bytes);

struct PilotChangesComm {
  std::string com1;  // up to 7 characters
  std::string com2;
  std::uint8_t selection = 0;  // kPilotRadio* bits
};
PilotChangesCommBytes WritePilotChangesComm(const PilotChangesComm& record);
PilotChangesComm ReadPilotChangesComm(std::span<const std::uint8_t, kPilotChangesCommSize> bytes);

// The radio selection from the login's option bits (1 COM1, 2 COM2, 3 both).
std::uint8_t RadioSelectionFromOptions(std::uint32_t optionBits);
// A frequency text in kHz: its value times 1,000, truncated; 0 for a text
// that is no number or lies outside 0..4,000,000 kHz.
std::uint32_t FrequencyKhz(std::string_view text);
// The peer's version word: major << 24 | minor << 16 | build << 8, and the
// letter index 1 whatever letter he sent.
std::uint32_t PeerVersionWord(const IdentityBlock& identity);
// The login's token byte as kept: values above 11 become 0.
std::uint8_t KeptTokenByte(std::uint8_t token);
// The aircraft category of a class code: a first letter 'H' is a helicopter,
// else the third letter: 'J' jet, 'T' turboprop, 'P' (or anything else) piston.
std::uint8_t CategoryFromClassCode(std::string_view classCode);

// The attitude of a position record as degrees.
struct UnpackedAttitude {
  float pitch = 0.0F;
  float bank = 0.0F;
  float heading = 0.0F;
  bool onGround = false;
};
// The 48-byte record's word: pitch = -(bits 22-31), bank = bits 12-21 (both
// signed), heading = bits 2-11, whole degrees.
UnpackedAttitude UnpackPositionAttitude(std::uint32_t word);
// The 60-byte record's word, in the older family's fractions of a circle.
UnpackedAttitude UnpackOlderAttitude(std::uint32_t word);
