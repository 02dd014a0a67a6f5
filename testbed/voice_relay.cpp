#include "testbed/voice_relay.h"

#include <algorithm>

namespace {

std::uint32_t U32At(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// A name field must end within its 16 bytes: at most 15 characters, the rest zero.
bool ReadName(std::span<const std::uint8_t> b, std::size_t at, std::string& out) {
  const auto field = b.subspan(at, kVoiceRelayNameSize);
  const auto end = std::find(field.begin(), field.end(), 0);
  if (end == field.end()) return false;
  if (std::any_of(end, field.end(), [](std::uint8_t c) { return c != 0; })) return false;
  out.assign(field.begin(), end);
  return true;
}

}  // namespace

std::string ReadClientVoicePacket(std::span<const std::uint8_t> body, VoicePacketRead& out) {
  out = VoicePacketRead{};
  if (body.size() < kVoiceRelayPacketLead + 1) return "shorter than its lead (" + std::to_string(body.size()) + " bytes)";
  if (body[0] != 0 || body[1] != 0) return "the first word is not 0";
  const std::size_t count = static_cast<std::size_t>(body[2] | body[3] << 8);
  if (count < 1 || count > kVoiceRelayMaxRecipients) return "a recipient count of " + std::to_string(count);
  if (!ReadName(body, 4, out.sender) || out.sender.empty()) return "the sender's callsign is not a terminated text";
  const std::uint32_t announced = U32At(body, 20);
  if (announced < 2 || announced - 1 > kVoiceRelayMaxFrame) return "a frame length of " + std::to_string(announced) + " - 1";
  const std::size_t frameLength = announced - 1;
  const std::size_t markerAt = kVoiceRelayPacketLead + kVoiceRelayRecipientSize * count;
  if (body.size() != markerAt + 1 + frameLength) {
    return std::to_string(body.size()) + " bytes where " + std::to_string(count) + " recipients and a frame of " +
           std::to_string(frameLength) + " make " + std::to_string(markerAt + 1 + frameLength);
  }
  if (body[markerAt] != kVoiceRelayMarker) return "no voice marker at " + std::to_string(markerAt);
  for (std::size_t i = 0; i < count; ++i) {
    VoiceRelayRecipient recipient;
    const std::size_t at = kVoiceRelayPacketLead + kVoiceRelayRecipientSize * i;
    if (!ReadName(body, at, recipient.callsign) || recipient.callsign.empty() ||
        !ReadName(body, at + kVoiceRelayNameSize, recipient.server)) {
      return "recipient " + std::to_string(i) + " is not two terminated texts";
    }
    out.recipients.push_back(std::move(recipient));
  }
  out.frame.assign(body.begin() + static_cast<std::ptrdiff_t>(markerAt + 1), body.end());
  return {};
}

std::vector<std::uint8_t> WriteRelayedVoice(std::string_view sender, std::span<const std::uint8_t> frame) {
  std::vector<std::uint8_t> body(kVoiceRelayNameSize + 5 + frame.size(), 0);
  const std::string_view name = sender.substr(0, kVoiceRelayNameSize - 1);
  std::copy(name.begin(), name.end(), body.begin());
  const auto announced = static_cast<std::uint32_t>(frame.size() + 1);
  for (std::size_t i = 0; i < 4; ++i) body[kVoiceRelayNameSize + i] = static_cast<std::uint8_t>(announced >> (8 * i));
  body[kVoiceRelayNameSize + 4] = kVoiceRelayMarker;
  std::copy(frame.begin(), frame.end(), body.begin() + kVoiceRelayNameSize + 5);
  return body;
}
