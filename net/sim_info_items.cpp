#include "net/sim_info_items.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

namespace {
constexpr std::size_t kFrequencyField = 8;
constexpr std::size_t kAirportField = 5;
constexpr std::size_t kTitleField = 112;
constexpr std::size_t kIcaoTypeField = 8;
constexpr std::array<std::size_t, kSimInfoItemCount> kItemLength = {2, 18, 3, 1, 2, 8, 113, 9};

// Zero-padded, the field's last byte stays the terminator.
void PutText(std::span<std::uint8_t> field, std::string_view text) {
  const std::size_t n = std::min(text.size(), field.size() - 1);
  std::copy_n(text.begin(), n, field.begin());
}

void PutU16(std::span<std::uint8_t> out, std::uint16_t value) {
  out[0] = static_cast<std::uint8_t>(value & 0xFF);
  out[1] = static_cast<std::uint8_t>(value >> 8);
}

std::vector<std::uint8_t> ItemBody(std::uint32_t bit, const OwnAircraftReport& own) {
  std::vector<std::uint8_t> body(kItemLength[bit]);
  body[0] = static_cast<std::uint8_t>(bit + 1);
  const std::span<std::uint8_t> rest = std::span<std::uint8_t>(body).subspan(1);
  switch (1u << bit) {
    case kSimInfoOnGround:
      rest[0] = own.onGround ? 1 : 0;
      break;
    case kSimInfoRadios:
      rest[0] = static_cast<std::uint8_t>(own.radioSelection & (kRadioCom1 | kRadioCom2 | kRadioBoth));
      PutText(rest.subspan(1, kFrequencyField), own.com1);
      PutText(rest.subspan(1 + kFrequencyField, kFrequencyField), own.com2);
      break;
    case kSimInfoTransponder:
      PutU16(rest, own.transponderCode);
      break;
    case kSimInfoMarker:
      break;
    case kSimInfoTransponderMode:
      rest[0] = static_cast<std::uint8_t>(own.transponderMode);
      break;
    case kSimInfoNearestAirport:
      PutU16(rest, own.airportDistanceNm);
      PutText(rest.subspan(2, kAirportField), own.nearestAirport);
      break;
    case kSimInfoTitle:
      PutText(rest.first(kTitleField), own.title);
      break;
    case kSimInfoIcaoType:
      PutText(rest.first(kIcaoTypeField), own.icaoType);
      break;
    default:
      break;
  }
  return body;
}
}  // namespace

std::vector<std::uint8_t> WriteSimInfoItems(std::uint32_t sync, FrameHeader header, std::uint32_t mask,
                                            const OwnAircraftReport& own) {
  header.flags = 0;
  std::vector<std::uint8_t> frames;
  for (std::uint32_t bit = 0; bit < kSimInfoItemCount; ++bit) {
    if ((mask & (1u << bit)) == 0) continue;
    AppendFrame(sync, header, ItemBody(bit, own), frames);
  }
  return frames;
}
