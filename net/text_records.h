// The two chat records: on-air text (544 bytes) and private text (552 bytes,
// also long-haul text and kick-out). Text fields are zero-terminated and
// zero-padded; the first 8 bytes are zero.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

inline constexpr std::size_t kTextRecordLeadSize = 8;
inline constexpr std::size_t kRecordCallsignSize = 16;
inline constexpr std::size_t kRecordTextSize = 512;
inline constexpr std::size_t kTextOnAirRecordSize = 544;
inline constexpr std::size_t kPrivateTextRecordSize = 552;

static_assert(kTextRecordLeadSize + kRecordCallsignSize + kRecordTextSize + 8 ==
              kTextOnAirRecordSize);
static_assert(kTextRecordLeadSize + 2 * kRecordCallsignSize + kRecordTextSize ==
              kPrivateTextRecordSize);

// Texts longer than their field (less its terminator) are cut on writing.
struct TextOnAirRecord {
  std::string sender;
  std::string text;
  double frequencyMhz = 0.0;
};

// The last byte of the text field (byte 551) doubles as a marker: 1 asks for
// the upper-case tag. The reader takes it before it ends the text there, so
// the text keeps at most 511 characters whatever the marker holds.
inline constexpr std::size_t kPrivateMarkerOffset = 551;

struct PrivateTextRecord {
  std::string sender;
  std::string recipient;
  std::string text;
  std::uint8_t marker = 0;
};

using TextOnAirRecordBytes = std::array<std::uint8_t, kTextOnAirRecordSize>;
using PrivateTextRecordBytes = std::array<std::uint8_t, kPrivateTextRecordSize>;

TextOnAirRecordBytes WriteTextOnAirRecord(const TextOnAirRecord& record);
TextOnAirRecord ReadTextOnAirRecord(std::span<const std::uint8_t, kTextOnAirRecordSize> bytes);

PrivateTextRecordBytes WritePrivateTextRecord(const PrivateTextRecord& record);
PrivateTextRecord ReadPrivateTextRecord(
    std::span<const std::uint8_t, kPrivateTextRecordSize> bytes);
