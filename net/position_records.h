// The own aircraft's position and state records as the pilots of a session
// receive them, one layout per peer simulator family. Each record is written
// field by field, little-endian; the first 16 bits are its type, by which the
// receivers tell the records apart.
#pragma once

#include <array>
#include <cstdint>

// Record types.
inline constexpr std::uint16_t kPositionRecordType = 0x2000;       // 48 bytes, codes 2006 and above
inline constexpr std::uint16_t kOlderPositionRecordType = 4109;    // 60 bytes, codes below 2006
inline constexpr std::uint16_t kOlderPositionRecordTypeB = 4121;   // the same layout, also rate-limited
inline constexpr std::uint16_t kStateRecordType = 0x2120;          // 24 bytes, codes 2006 and above
inline constexpr std::uint16_t kOlderStateRecordType = 0x1000;     // 36 bytes, codes below 2006
inline constexpr std::uint16_t kShortStateRecordType = 0x2280;     // 8 bytes

inline constexpr std::size_t kPositionRecordSize = 48;
inline constexpr std::size_t kOlderPositionRecordSize = 60;
inline constexpr std::size_t kStateRecordSize = 24;
inline constexpr std::size_t kOlderStateRecordSize = 36;
inline constexpr std::size_t kShortStateRecordSize = 8;

using PositionRecord = std::array<std::uint8_t, kPositionRecordSize>;
using OlderPositionRecord = std::array<std::uint8_t, kOlderPositionRecordSize>;
using StateRecord = std::array<std::uint8_t, kStateRecordSize>;
using OlderStateRecord = std::array<std::uint8_t, kOlderStateRecordSize>;
using ShortStateRecord = std::array<std::uint8_t, kShortStateRecordSize>;
static_assert(sizeof(PositionRecord) == 48);
static_assert(sizeof(OlderPositionRecord) == 60);
static_assert(sizeof(StateRecord) == 24);
static_assert(sizeof(OlderStateRecord) == 36);
static_assert(sizeof(ShortStateRecord) == 8);

// Fixed-point scales of the older family.
inline constexpr double kOlderLatitudeUnitsPerDegree = 111'130.85863021713;
// Near 2^32 / 360, as the older family has it: 180 degrees fill all but 433
// units of the signed 32-bit word.
inline constexpr double kOlderLongitudeUnitsPerDegree = 11'930'462.302561596;
inline constexpr double kFeetPerMetre = 3.2808001041412354;
inline constexpr double kOlderSpeedUnitsPerKnot = 33'715.0;

// The own aircraft as the records carry it (degrees, feet, knots; attitude as
// the own-aircraft state stores it, so pitch and bank are already inverted
// from the simulator's sense).
struct OwnPositionValues {
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  double pitch = 0.0;
  double bank = 0.0;
  double trueHeading = 0.0;
  double magneticHeading = 0.0;
  double groundSpeedKnots = 0.0;
  std::uint16_t groundSpeedWhole = 0;
  double verticalSpeed = 0.0;  // feet per minute
  // Feet per second: the two horizontal components, then the vertical one.
  double velocityX = 0.0;
  double velocityZ = 0.0;
  double velocityY = 0.0;
  bool onGround = true;
  // The own lights and flags word that state bytes A and B are decoded from.
  std::uint32_t lightsAndFlags = 0;
};

// The own controls, switches and engines as the own-aircraft state stores them.
struct OwnStateValues {
  std::array<std::int32_t, 8> controls{};  // control values 1 to 8
  std::int32_t selector = 0;               // the scaled copy of control value 4, 0..40
  std::uint16_t controlWord = 0;
  std::array<std::uint32_t, 4> switches{};
  std::array<std::int32_t, 4> engines{};
  std::uint16_t movingFlag = 0;
  std::uint16_t shortValue = 0;
};

// What the time stamp and the sequence number of one record are.
struct RecordStamp {
  std::uint32_t sequence = 0;
  std::uint32_t timeMs = 0;
};

// A value split as the older family's senders split it (modf): the whole
// part truncated toward zero, and the fraction (value - whole) x 65,536,
// truncated toward zero and keeping the value's sign, as its 16-bit two's
// complement. 12.75 gives 12 and 49,152; -12.75 gives -12 and 16,384 (the
// 16 bits of -49,152). A reader that takes the fraction unsigned reads every
// value of 0 or more exactly.
struct FixedSplit {
  std::int32_t whole = 0;
  std::uint16_t fraction = 0;
};
// A value that is not a number or lies outside the 32-bit range is held at
// that range's end with no fraction (0 for NaN).
FixedSplit SplitFixed(double value);
// The value back from its two fields: the fraction unsigned when the whole
// part is 0 or more, (fraction - 65,536) / 65,536 when it is negative (and
// 0 for a fraction of 0). A value between -1 and 0 has a whole part of 0 and
// its sign is not in the fields: it reads as the positive value 1 + value.
double JoinFixed(std::int32_t whole, std::uint16_t fraction);
// The longitude in the older family's units, taken into [-180, 180) first so
// that the whole part always fits its signed 32 bits (+180 degrees is written
// as -180, the same meridian).
FixedSplit SplitLongitude(double degrees);

// The two state bytes of the 60-byte record: bits 1, 3, 5 ... 15 of the word
// set bits 0 to 7 of byte A; bit 0 of the word sets bit 0 of byte B.
struct OwnFlagBytes {
  std::uint8_t a = 0;
  std::uint8_t b = 0;
};
OwnFlagBytes DecodeOwnFlagBits(std::uint32_t lightsAndFlags);

// The 36-byte record's step value for a selector 0..40 (held in that range).
std::uint8_t OlderStepValue(std::int32_t selector);

// The attitude words: 10 bits each of pitch (22-31), bank (12-21) and heading
// (2-11), pitch and bank in two's complement, bit 1 on ground.
std::uint32_t PositionAttitudeWord(const OwnPositionValues& own);
std::uint32_t OlderAttitudeWord(const OwnPositionValues& own);

PositionRecord BuildPositionRecord(const OwnPositionValues& own, RecordStamp stamp);
OlderPositionRecord BuildOlderPositionRecord(const OwnPositionValues& own, RecordStamp stamp);
StateRecord BuildStateRecord(const OwnStateValues& own, std::uint32_t sequence);
OlderStateRecord BuildOlderStateRecord(const OwnStateValues& own, RecordStamp stamp);
ShortStateRecord BuildShortStateRecord(const OwnStateValues& own);

// The record type of a record's first two bytes (0 when shorter).
std::uint16_t RecordType(const std::uint8_t* record, std::size_t length);
