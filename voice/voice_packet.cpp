#include "voice/voice_packet.h"

#include <algorithm>

#include "base/base_thread.h"
#include "base/byte_order.h"
#include "net/node_connect.h"
#include "net/node_way.h"

namespace {
constexpr std::size_t kCountAt = 2;
constexpr std::size_t kSenderAt = 4;
constexpr std::size_t kLengthAt = 20;
constexpr std::size_t kRecipientServerAt = 16;

void PutU16At(std::span<std::uint8_t> out, std::size_t at, std::uint16_t value) {
  out[at] = static_cast<std::uint8_t>(value & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// A NUL-padded name field; the last byte always stays NUL.
void PutName(std::span<std::uint8_t> out, std::size_t at, std::string_view name) {
  const std::size_t n = std::min(name.size(), kVoiceNameSize - 1);
  std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(at), kVoiceNameSize, std::uint8_t{0});
  std::copy_n(name.begin(), n, out.begin() + static_cast<std::ptrdiff_t>(at));
}

std::string_view NameText(const std::array<char, kVoiceNameSize>& field) {
  return std::string_view(field.data(), std::find(field.begin(), field.end(), '\0') - field.begin());
}
}  // namespace

VoiceRecipient MakeVoiceRecipient(std::string_view callsign, std::string_view server) {
  VoiceRecipient recipient;
  callsign = callsign.substr(0, std::min(callsign.find('\0'), kVoiceNameSize - 1));
  server = server.substr(0, std::min(server.find('\0'), kVoiceNameSize - 1));
  std::copy(callsign.begin(), callsign.end(), recipient.callsign.begin());
  std::copy(server.begin(), server.end(), recipient.server.begin());
  return recipient;
}

std::size_t WriteVoicePacket(std::span<std::uint8_t> out, std::string_view senderCallsign,
                             std::span<const VoiceRecipient> recipients, std::span<const std::uint8_t> frame) {
  if (recipients.empty() || recipients.size() > kMaxVoiceRecipients) return 0;
  if (frame.empty() || frame.size() > kMaxAmrFrameBytes) return 0;
  const std::size_t size = VoicePacketSize(recipients.size(), frame.size());
  if (out.size() < size) return 0;
  senderCallsign = senderCallsign.substr(0, std::min(senderCallsign.find('\0'), senderCallsign.size()));

  PutU16At(out, 0, 0);
  PutU16At(out, kCountAt, static_cast<std::uint16_t>(recipients.size()));
  PutName(out, kSenderAt, senderCallsign);
  PutU32(out.data() + kLengthAt, static_cast<std::uint32_t>(frame.size() + 1));
  std::size_t at = kVoicePacketLeadSize;
  for (const VoiceRecipient& recipient : recipients) {
    PutName(out, at, NameText(recipient.callsign));
    PutName(out, at + kRecipientServerAt, NameText(recipient.server));
    at += kVoiceRecipientSize;
  }
  out[at++] = kVoicePacketMarker;
  std::copy(frame.begin(), frame.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
  return size;
}

bool NodeWayVoiceLink::Exists() const { return NodeWayObject() != nullptr; }

bool NodeWayVoiceLink::Connected() const {
  const CNodeWay* node = NodeWayObject();
  return node != nullptr && node->IsConnected();
}

bool NodeWayVoiceLink::TryPost(std::span<const std::uint8_t> packet) {
  CNodeWay* node = NodeWayObject();
  if (node == nullptr) return false;
  return CBaseThread::TryPostData(nullptr, node, THRDMSG_RAW_BLOCK, 0, static_cast<std::uint32_t>(packet.size()),
                                  packet.data(), kVoicePacketCallerTag) == 1;
}

std::int32_t SendVoiceFrame(VoiceNodeLink& node, std::span<const std::uint8_t> frame,
                            std::span<const VoiceRecipient> recipients, std::string_view senderCallsign) {
  if (!node.Exists()) return kVoiceNoNodeWay;
  if (!node.Connected()) return kVoiceNodeNotConnected;
  if (recipients.empty()) return kVoiceNoRecipients;
  std::array<std::uint8_t, kMaxVoicePacketSize> packet{};
  const std::size_t length = WriteVoicePacket(packet, senderCallsign, recipients, frame);
  if (length == 0) return kVoiceFrameRefused;
  return node.TryPost(std::span<const std::uint8_t>(packet.data(), length)) ? kVoiceFramePosted : kVoiceFrameDropped;
}
