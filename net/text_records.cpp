#include "net/text_records.h"

#include <algorithm>
#include <bit>
#include <string_view>

namespace {

constexpr std::size_t kOnAirSender = 8;
constexpr std::size_t kOnAirText = 24;
constexpr std::size_t kOnAirFrequency = 536;
constexpr std::size_t kPrivateSender = 8;
constexpr std::size_t kPrivateRecipient = 24;
constexpr std::size_t kPrivateText = 40;

// Keeps the last byte of the field for the terminator; the rest stays zero.
void PutText(std::span<std::uint8_t> field, std::string_view text) {
  const std::size_t n = std::min(text.size(), field.size() - 1);
  std::copy_n(text.begin(), n, field.begin());
}

// Stops at the first zero or at the end of the span, whichever comes first; the
// readers pass the field less its last byte, which a sound writer leaves zero.
std::string GetText(std::span<const std::uint8_t> field) {
  const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
  return std::string(field.begin(), end);
}

void PutF64(std::span<std::uint8_t, 8> out, double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  for (std::size_t i = 0; i < 8; ++i) out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

double GetF64(std::span<const std::uint8_t, 8> in) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(in[i]) << (8 * i);
  return std::bit_cast<double>(bits);
}

}  // namespace

TextOnAirRecordBytes WriteTextOnAirRecord(const TextOnAirRecord& record) {
  TextOnAirRecordBytes bytes{};
  const std::span<std::uint8_t> all(bytes);
  PutText(all.subspan(kOnAirSender, kRecordCallsignSize), record.sender);
  PutText(all.subspan(kOnAirText, kRecordTextSize), record.text);
  PutF64(all.subspan<kOnAirFrequency, 8>(), record.frequencyMhz);
  return bytes;
}

TextOnAirRecord ReadTextOnAirRecord(std::span<const std::uint8_t, kTextOnAirRecordSize> bytes) {
  TextOnAirRecord record;
  record.sender = GetText(bytes.subspan(kOnAirSender, kRecordCallsignSize - 1));
  record.text = GetText(bytes.subspan(kOnAirText, kRecordTextSize - 1));
  record.frequencyMhz = GetF64(bytes.subspan<kOnAirFrequency, 8>());
  return record;
}

PrivateTextRecordBytes WritePrivateTextRecord(const PrivateTextRecord& record) {
  PrivateTextRecordBytes bytes{};
  const std::span<std::uint8_t> all(bytes);
  PutText(all.subspan(kPrivateSender, kRecordCallsignSize), record.sender);
  PutText(all.subspan(kPrivateRecipient, kRecordCallsignSize), record.recipient);
  PutText(all.subspan(kPrivateText, kRecordTextSize), record.text);
  bytes[kPrivateMarkerOffset] = record.marker;
  return bytes;
}

PrivateTextRecord ReadPrivateTextRecord(
    std::span<const std::uint8_t, kPrivateTextRecordSize> bytes) {
  PrivateTextRecord record;
  record.sender = GetText(bytes.subspan(kPrivateSender, kRecordCallsignSize - 1));
  record.recipient = GetText(bytes.subspan(kPrivateRecipient, kRecordCallsignSize - 1));
  record.marker = bytes[kPrivateMarkerOffset];
  // The marker byte is no text: the text ends before it at the latest.
  record.text = GetText(bytes.subspan(kPrivateText, kRecordTextSize - 1));
  return record;
}
