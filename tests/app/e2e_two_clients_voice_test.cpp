// Two real clients on one frequency talk: both run on the scripted sound
// device, the first holds its push-to-talk chord through automation, its
// microphone's tone goes to the node as voice packets addressed to the
// second (a linked pilot on the same COM1), the node relays them, and the
// second decodes them into its playback FIFO, which its scripted speaker
// writes out. Releasing the chord stops the sending.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "support/sample_file.h"
#include "net/frame_codes.h"
#include "support/child_process.h"
#include "testbed/voice_relay.h"
#include "two_clients_fixture.h"
#include "voice/amr_codec.h"
#include "voice/script_audio_library.h"

namespace {

// The main dialog's transmit lamp; it goes off once no frame was sent for
// a few tenths of a second.
const std::string kLampOn = "control 7055 7248 kind=picture visible=1 enabled=1 text=#7801\nimage 7800";
const std::string kLampOff = "control 7055 7248 kind=picture visible=1 enabled=1 text=#7801\nimage 7801";

class TwoClientsVoice : public TwoClients {
 protected:
  void SetUp() override {
    TwoClients::SetUp();
    for (auto [side, audio] : {std::pair{&first_, &firstAudio_}, std::pair{&second_, &secondAudio_}}) {
      side->environment.push_back(std::string(kAudioScriptVariable) + "=" + audio->Path());
    }
    // The first talks with the other chord the settings offer: Left CTRL and CAPS LOCK.
    first_.moreSettings = "[SETUP]\r\nVoiceKeys=1\r\n";
  }

  static std::vector<std::int16_t> Played(const TempFolder& audio) {
    return ReadSamples(audio.Path() + "/" + kAudioScriptPlaybackFile);
  }

  // The voice packets the node received from one client's link.
  std::vector<Frame> VoicePacketsFrom(const std::string& callsign) const {
    std::vector<Frame> packets;
    const auto client = node_.ClientByCallsign(callsign);
    if (!client) return packets;
    for (const FrameLinkServer::LinkFrame& received : node_.LinkFrames()) {
      if (received.link == client->link && received.frame.header.type == kNcsMsgVoiceBlock) packets.push_back(received.frame);
    }
    return packets;
  }

  void HoldChord(ClientSide& side, bool held) {
    const char* way = held ? " down" : " up";
    side.Ask(std::string("key LCONTROL") + way);
    side.Ask(std::string("key CAPITAL") + way);
  }

  void WaitForScriptedVoice(ClientSide& side) {
    // The label and the device name are two prints: another thread's line may come between.
    const std::string devices = side.DumpUntil(kScriptSpeakerName, kTwoClientsStartMs);
    ASSERT_FALSE(devices.empty()) << side.callsign << " never came up on the scripted speaker\n" << side.Stderr();
    const std::size_t input = devices.find("Voice Input on ");
    ASSERT_NE(input, std::string::npos) << devices;
    EXPECT_NE(devices.find(kScriptMicrophoneName, input), std::string::npos) << devices;
    const std::size_t output = devices.find("Voice Output on ");
    ASSERT_NE(output, std::string::npos) << devices;
    EXPECT_NE(devices.find(kScriptSpeakerName, output), std::string::npos) << devices;
  }

  TempFolder firstAudio_;
  TempFolder secondAudio_;
};

TEST_F(TwoClientsVoice, ThePushToTalkChordSendsTheToneThatTheNodeRelaysAndTheOtherPlays) {
  ASSERT_NO_FATAL_FAILURE(StartBothAndLogIn());
  ASSERT_NO_FATAL_FAILURE(WaitForScriptedVoice(first_));
  ASSERT_NO_FATAL_FAILURE(WaitForScriptedVoice(second_));
  // Each picks the other as a recipient once their pilot link is up.
  ASSERT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] {
    return first_.plugin.Ai().ByCallsign("TEST02").has_value() && second_.plugin.Ai().ByCallsign("TEST01").has_value();
  })) << first_.Stderr() << second_.Stderr();
  EXPECT_TRUE(VoicePacketsFrom("TEST01").empty()) << "nothing is sent before push-to-talk";
  EXPECT_TRUE(Played(secondAudio_).empty()) << "nothing is played before anyone talks";

  HoldChord(first_, true);
  constexpr std::size_t kPackets = 25;
  ASSERT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] { return node_.VoiceRelayed() >= kPackets; }))
      << first_.Stderr() << "\nrefused " << node_.VoiceRefused();
  EXPECT_FALSE(first_.DumpUntil(kLampOn).empty()) << "the transmit lamp shows the sending";
  HoldChord(first_, false);
  ASSERT_FALSE(first_.DumpUntil(kLampOff).empty()) << "the sending goes on after the chord's release";

  // Every packet the node took from the first is one relayed to the second.
  std::vector<Frame> packets;
  ASSERT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] {
    packets = VoicePacketsFrom("TEST01");
    return node_.VoiceRelayed() == packets.size();
  })) << packets.size() << " packets, " << node_.VoiceRelayed() << " relayed";
  EXPECT_EQ(node_.VoiceRefused(), 0u);
  AmrDecoder decoder;
  double loudest = 0.0;
  for (const Frame& packet : packets) {
    VoicePacketRead read;
    ASSERT_EQ(ReadClientVoicePacket(packet.body, read), "");
    EXPECT_EQ(read.sender, "TEST01");
    ASSERT_EQ(read.recipients.size(), 1u) << "the second alone listens on 122.80";
    EXPECT_EQ(read.recipients[0].callsign, "TEST02");
    ASSERT_EQ(read.frame.size(), 21u);
    EXPECT_EQ(read.frame[0], (5 << 3) | 0x04) << "an MR795 frame";
    VoiceSamples samples{};
    ASSERT_TRUE(decoder.Decode(read.frame, samples));
    loudest = std::max(loudest, MeanSquare(samples));
  }
  EXPECT_GT(loudest, 1e6) << "the microphone's tone was sent";

  // The second plays what was relayed to it, no more.
  const std::size_t relayed = node_.VoiceRelayed();
  ASSERT_TRUE(WaitUntil(kTwoClientsWaitMs, [&] { return Played(secondAudio_).size() >= (relayed - 2) * 160; }))
      << second_.Stderr();
  const std::vector<std::int16_t> heard = Played(secondAudio_);
  EXPECT_LE(heard.size(), relayed * 160);
  EXPECT_GT(MeanSquare(heard), 1e6) << "the second hears the tone";
  EXPECT_TRUE(Played(firstAudio_).empty()) << "the speaker does not hear himself";

  EXPECT_EQ(Quit(second_), 0) << second_.Stderr();
  EXPECT_EQ(Quit(first_), 0) << first_.Stderr();
}

}  // namespace
