// The voice packet that carries one encoded frame to the node with the list
// of its recipients (the node relays the frame to each of them), and the
// hand-over of a packet to the node way.
//
//   0   u16 0
//   2   u16 recipient count n (1..50)
//   4   sender callsign, 16 bytes NUL-padded (at most 15 characters)
//   20  u32 frame length + 1 (the marker byte and the frame)
//   24  n recipients of 32 bytes: callsign (16), server name (16), NUL-padded
//   24 + 32n  0x11, the voice marker
//   25 + 32n  the AMR-NB frame
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "net/way_ids.h"
#include "voice/amr_codec.h"

inline constexpr std::size_t kVoiceNameSize = 16;
inline constexpr std::size_t kVoiceRecipientSize = 32;
inline constexpr std::size_t kVoicePacketLeadSize = 24;
inline constexpr std::size_t kMaxVoiceRecipients = kPeerWayCount;
inline constexpr std::size_t kMaxVoicePacketSize =
    kVoicePacketLeadSize + kVoiceRecipientSize * kMaxVoiceRecipients + 1 + kMaxAmrFrameBytes;
inline constexpr std::uint8_t kVoicePacketMarker = 0x11;
inline constexpr char kVoicePacketCallerTag[] = "RT_CODE1";

// SendVoiceFrame results.
inline constexpr std::int32_t kVoiceFramePosted = 0;
inline constexpr std::int32_t kVoiceNoNodeWay = -100;
inline constexpr std::int32_t kVoiceNodeNotConnected = -101;
inline constexpr std::int32_t kVoiceNoRecipients = -102;
// The node way's queue had no room: the frame is dropped rather than waited for.
inline constexpr std::int32_t kVoiceFrameDropped = -103;
// A frame of no byte or of more than 32 bytes is never sent.
inline constexpr std::int32_t kVoiceFrameRefused = -104;

struct VoiceRecipient {
  std::array<char, kVoiceNameSize> callsign{};  // always terminated
  std::array<char, kVoiceNameSize> server{};    // always terminated
};

// Cut to 15 characters and terminated.
VoiceRecipient MakeVoiceRecipient(std::string_view callsign, std::string_view server);

constexpr std::size_t VoicePacketSize(std::size_t recipients, std::size_t frameLength) {
  return kVoicePacketLeadSize + kVoiceRecipientSize * recipients + 1 + frameLength;
}

// Writes the packet into `out`; its length, or 0 when the recipients (1..50),
// the frame (1..32 bytes) or the room in `out` do not fit.
std::size_t WriteVoicePacket(std::span<std::uint8_t> out, std::string_view senderCallsign,
                             std::span<const VoiceRecipient> recipients, std::span<const std::uint8_t> frame);

// The node way as a voice packet's destination.
class VoiceNodeLink {
 public:
  virtual ~VoiceNodeLink() = default;
  virtual bool Exists() const = 0;
  virtual bool Connected() const = 0;
  // Never waits: false when the packet could not be queued now.
  virtual bool TryPost(std::span<const std::uint8_t> packet) = 0;
};

// The program's node way: the packet goes as a raw block (THRDMSG_RAW_BLOCK,
// parameter 0), which the way sends as an NCSMSG frame of type 108.
class NodeWayVoiceLink final : public VoiceNodeLink {
 public:
  bool Exists() const override;
  bool Connected() const override;
  bool TryPost(std::span<const std::uint8_t> packet) override;
};

// Builds the packet on the stack (the audio thread allocates nothing) and
// posts it; one of the results above.
std::int32_t SendVoiceFrame(VoiceNodeLink& node, std::span<const std::uint8_t> frame,
                            std::span<const VoiceRecipient> recipients, std::string_view senderCallsign);
