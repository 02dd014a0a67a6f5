// The node's side of a voice packet: the packet a client sends (type 108:
// u16 0, u16 recipient count 1..50, sender callsign [16], u32 frame length + 1,
// the recipients of 32 bytes each - callsign [16] and server name [16] -, the
// marker 0x11, the frame) is checked byte for byte and read, and the body the
// node relays to each recipient (type 109: sender callsign [16], u32 frame
// length + 1, 0x11, the frame) is written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kVoiceRelayNameSize = 16;
inline constexpr std::size_t kVoiceRelayRecipientSize = 32;
inline constexpr std::size_t kVoiceRelayPacketLead = 24;
inline constexpr std::size_t kVoiceRelayMaxRecipients = 50;
// An AMR-NB frame in storage form is at most 32 bytes (mode MR122).
inline constexpr std::size_t kVoiceRelayMaxFrame = 32;
inline constexpr std::uint8_t kVoiceRelayMarker = 0x11;

struct VoiceRelayRecipient {
  std::string callsign;
  std::string server;
};

struct VoicePacketRead {
  std::string sender;
  std::vector<VoiceRelayRecipient> recipients;
  std::vector<std::uint8_t> frame;
};

// Empty when the packet is sound; otherwise what is wrong with it, and `out`
// is not to be used.
std::string ReadClientVoicePacket(std::span<const std::uint8_t> body, VoicePacketRead& out);

// The relayed body; the sender is cut to 15 characters.
std::vector<std::uint8_t> WriteRelayedVoice(std::string_view sender, std::span<const std::uint8_t> frame);
