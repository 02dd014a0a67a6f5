// The client's voice packet through the node stand-in's relay: the packet
// the voice system writes is the one the stand-in accepts, and the body the
// stand-in relays is the one the node way reads back into the same frame.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "net/node_records.h"
#include "testbed/voice_relay.h"
#include "voice/voice_packet.h"

namespace {

TEST(VoiceRelayRoundTrip, TheClientsPacketIsAcceptedAndItsRelayedFrameReadsBack) {
  std::array<std::uint8_t, 21> frame{};
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(0x3C + i);
  for (const std::size_t count : {std::size_t{1}, std::size_t{2}, std::size_t{50}}) {
    std::vector<VoiceRecipient> recipients;
    for (std::size_t i = 0; i < count; ++i) {
      recipients.push_back(MakeVoiceRecipient("PILOT" + std::to_string(i), "NODE-1"));
    }
    std::array<std::uint8_t, kMaxVoicePacketSize> packet{};
    const std::size_t size = WriteVoicePacket(packet, "TEST01", recipients, frame);
    ASSERT_EQ(size, VoicePacketSize(count, frame.size())) << count;

    VoicePacketRead read;
    EXPECT_EQ(ReadClientVoicePacket(std::span(packet).first(size), read), "") << count;
    EXPECT_EQ(read.sender, "TEST01");
    ASSERT_EQ(read.recipients.size(), count);
    EXPECT_EQ(read.recipients.back().callsign, "PILOT" + std::to_string(count - 1));
    EXPECT_EQ(read.recipients.back().server, "NODE-1");
    EXPECT_EQ(read.frame, std::vector<std::uint8_t>(frame.begin(), frame.end()));

    const std::vector<std::uint8_t> relayed = WriteRelayedVoice(read.sender, read.frame);
    VoiceBlockView view;
    ASSERT_EQ(ReadVoiceBlock(relayed, view), kNodeRecordOk);
    EXPECT_EQ(view.announced, frame.size() + 1);
    EXPECT_EQ(std::vector<std::uint8_t>(view.frame.begin(), view.frame.end()),
              std::vector<std::uint8_t>(frame.begin(), frame.end()));
  }
}

}  // namespace
