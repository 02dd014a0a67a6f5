#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scripted_audio.h"
#include "voice/voice_packet.h"

namespace {
std::uint32_t U32At(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::string FieldAt(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t size = kVoiceNameSize) {
  std::string text;
  for (std::size_t i = at; i < at + size && bytes[i] != 0; ++i) text.push_back(static_cast<char>(bytes[i]));
  return text;
}

std::vector<std::uint8_t> Frame(std::size_t length) {
  std::vector<std::uint8_t> frame(length);
  for (std::size_t i = 0; i < length; ++i) frame[i] = static_cast<std::uint8_t>(0xA0 + i);
  return frame;
}

std::vector<std::uint8_t> Write(std::string_view sender, const std::vector<VoiceRecipient>& recipients,
                                const std::vector<std::uint8_t>& frame) {
  std::vector<std::uint8_t> out(kMaxVoicePacketSize + 8, 0xEE);
  const std::size_t length = WriteVoicePacket(out, sender, recipients, frame);
  out.resize(length);
  return out;
}
}  // namespace

TEST(VoicePacket, OneRecipientLaidOutByteForByte) {
  const auto packet = Write("KLM123", {MakeVoiceRecipient("AFR45", "EUROPE-1")}, Frame(21));
  ASSERT_EQ(packet.size(), 78u);
  EXPECT_EQ(packet[0], 0);
  EXPECT_EQ(packet[1], 0);
  EXPECT_EQ(packet[2], 1);
  EXPECT_EQ(packet[3], 0);
  EXPECT_EQ(FieldAt(packet, 4), "KLM123");
  for (std::size_t i = 4 + 6; i < 20; ++i) EXPECT_EQ(packet[i], 0) << "padding at " << i;
  EXPECT_EQ(U32At(packet, 20), 22u);
  EXPECT_EQ(FieldAt(packet, 24), "AFR45");
  EXPECT_EQ(FieldAt(packet, 40), "EUROPE-1");
  for (std::size_t i = 40 + 8; i < 56; ++i) EXPECT_EQ(packet[i], 0) << "padding at " << i;
  EXPECT_EQ(packet[56], 0x11);
  const auto frame = Frame(21);
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), packet.begin() + 57));
}

TEST(VoicePacket, FiftyRecipientsAndTheirOrder) {
  std::vector<VoiceRecipient> recipients;
  for (int i = 0; i < 50; ++i) {
    const std::string n = std::to_string(i);
    recipients.push_back(MakeVoiceRecipient(std::string("P").append(n), std::string("S").append(n)));
  }
  const auto packet = Write("ME", recipients, Frame(21));
  ASSERT_EQ(packet.size(), 1646u);
  EXPECT_EQ(packet[2], 50);
  EXPECT_EQ(FieldAt(packet, 24 + 32 * 49), "P49");
  EXPECT_EQ(FieldAt(packet, 24 + 32 * 49 + 16), "S49");
  EXPECT_EQ(packet[24 + 32 * 50], 0x11);
}

TEST(VoicePacket, NamesAreCutToFifteenCharacters) {
  const std::string longName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const auto packet = Write(longName, {MakeVoiceRecipient(longName, longName)}, Frame(21));
  ASSERT_EQ(packet.size(), 78u);
  EXPECT_EQ(FieldAt(packet, 4), longName.substr(0, 15));
  EXPECT_EQ(packet[19], 0) << "the sender field keeps its terminator";
  EXPECT_EQ(FieldAt(packet, 24), longName.substr(0, 15));
  EXPECT_EQ(packet[39], 0);
  EXPECT_EQ(FieldAt(packet, 40), longName.substr(0, 15));
  EXPECT_EQ(packet[55], 0);
  EXPECT_EQ(U32At(packet, 20), 22u) << "a long name never runs into the next field";
}

TEST(VoicePacket, RefusesWhatDoesNotFit) {
  const VoiceRecipient one = MakeVoiceRecipient("A", "B");
  std::vector<std::uint8_t> out(kMaxVoicePacketSize);
  EXPECT_EQ(WriteVoicePacket(out, "ME", {}, Frame(21)), 0u) << "no recipient";
  EXPECT_EQ(WriteVoicePacket(out, "ME", std::vector<VoiceRecipient>(51, one), Frame(21)), 0u) << "51 recipients";
  EXPECT_EQ(WriteVoicePacket(out, "ME", std::vector<VoiceRecipient>(1, one), {}), 0u) << "empty frame";
  EXPECT_EQ(WriteVoicePacket(out, "ME", std::vector<VoiceRecipient>(1, one), Frame(33)), 0u) << "33-byte frame";
  std::vector<std::uint8_t> small(77);
  EXPECT_EQ(WriteVoicePacket(small, "ME", std::vector<VoiceRecipient>(1, one), Frame(21)), 0u) << "no room";
}

TEST(VoicePacket, SendResultsByTheNodeWayState) {
  const std::vector<VoiceRecipient> recipients{MakeVoiceRecipient("AFR45", "EU1")};
  const auto frame = Frame(21);
  struct Case {
    bool exists;
    bool connected;
    bool queueFull;
    bool withRecipients;
    std::int32_t expected;
    std::size_t packets;
  };
  for (const Case& c : {Case{false, false, false, true, kVoiceNoNodeWay, 0},
                        Case{true, false, false, true, kVoiceNodeNotConnected, 0},
                        Case{true, true, false, false, kVoiceNoRecipients, 0},
                        Case{true, true, true, true, kVoiceFrameDropped, 0},
                        Case{true, true, false, true, kVoiceFramePosted, 1}}) {
    RecordingNodeLink node;
    node.exists = c.exists;
    node.connected = c.connected;
    node.queueFull = c.queueFull;
    const std::span<const VoiceRecipient> list =
        c.withRecipients ? std::span<const VoiceRecipient>(recipients) : std::span<const VoiceRecipient>();
    EXPECT_EQ(SendVoiceFrame(node, frame, list, "KLM123"), c.expected);
    EXPECT_EQ(node.Packets().size(), c.packets);
  }
}

TEST(VoicePacket, PostedPacketIsTheWrittenOne) {
  RecordingNodeLink node;
  const std::vector<VoiceRecipient> recipients{MakeVoiceRecipient("AFR45", "EU1")};
  ASSERT_EQ(SendVoiceFrame(node, Frame(21), recipients, "KLM123"), kVoiceFramePosted);
  ASSERT_EQ(node.Packets().size(), 1u);
  EXPECT_EQ(node.Packets()[0], Write("KLM123", recipients, Frame(21)));
}

TEST(VoicePacket, WithoutANodeWayTheProgramsLinkRefuses) {
  NodeWayVoiceLink link;
  EXPECT_FALSE(link.Exists());
  EXPECT_EQ(SendVoiceFrame(link, Frame(21), std::vector<VoiceRecipient>{MakeVoiceRecipient("A", "B")}, "ME"),
            kVoiceNoNodeWay);
}
