// The scripted sound device that the whole program uses under test: its
// stream runs on its own, its microphone gives the tone, and what it plays is
// written to its folder.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/sample_file.h"
#include "core/main_dialog_state.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "scripted_audio.h"
#include "support/child_process.h"
#include "tone.h"
#include "voice/portaudio_library.h"
#include "voice/script_audio_library.h"
#include "voice/voice_engine.h"
#include "win/keys.h"

namespace {

OwnRadios OnCom1() { return {"122.80", "121.50", true, false, false}; }
constexpr std::uint32_t kTestLinkUp = 0x80000000;
bool MarkedLinkUp(const WayRecord& record) { return (record.stateFlags & kTestLinkUp) != 0; }

class ScriptAudioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKeyStates();
    WayTableLock().Init();
    for (WayRecord& record : WayTable()) record = WayRecord{};
    SetOwnRadiosReader(&OnCom1);
    g_joystickButtons = 0;
  }
  void TearDown() override {
    engine.Stop();
    SetOwnRadiosReader(nullptr);
    ResetKeyStates();
    for (WayRecord& record : WayTable()) record = WayRecord{};
  }

  TempFolder folder;
  ScriptAudioLibrary audio{folder.Path()};
  RecordingVoiceOutput output;
  RecordingNodeLink node;
  VoiceEngine engine{audio, output, node, &MarkedLinkUp};
};

TEST_F(ScriptAudioTest, TheEngineOpensItsMicrophoneAndSpeakerAndTheStreamRunsByItself) {
  ASSERT_EQ(engine.Start(), 0);
  ASSERT_TRUE(WaitFor([&] { return engine.Running(); }, std::chrono::seconds(20)));
  EXPECT_TRUE(output.HasLine(std::string("Voice Input on ") + kScriptMicrophoneName));
  EXPECT_TRUE(output.HasLine(std::string("Voice Output on ") + kScriptSpeakerName));
  // Nothing received: the speaker plays silence, and silence is not written.
  engine.Stop();
  EXPECT_FALSE(engine.Running());
  EXPECT_TRUE(ReadSamples(audio.PlaybackPath()).empty());
}

TEST_F(ScriptAudioTest, WhilePushToTalkIsHeldTheToneIsEncodedAndSent) {
  WayRecord& record = WayTable()[3];
  record.peerKind = 'P';
  record.voiceFlags = 0x04;
  CopyToField(record.frequencyA, "122.800");
  CopyToField(record.callsign, "AFR45");
  record.stateFlags |= kTestLinkUp;
  ASSERT_EQ(engine.Start(), 0);
  ASSERT_TRUE(WaitFor([&] { return engine.Running(); }, std::chrono::seconds(20)));
  EXPECT_TRUE(node.Packets().empty()) << "nothing is sent before push-to-talk";

  SetKeyState(VK_LCONTROL, true);
  SetKeyState(VK_LWIN, true);
  ASSERT_TRUE(WaitFor([&] { return node.Packets().size() >= 10; }, std::chrono::seconds(20)));
  SetKeyState(VK_LWIN, false);
  ASSERT_TRUE(WaitFor([&] { return !engine.Transmitting(); }, std::chrono::seconds(20)));

  // The frames carry the tone: decoded, they are far from silence.
  AmrDecoder decoder;
  double energy = 0.0;
  const auto packets = node.Packets();
  for (const auto& packet : packets) {
    ASSERT_EQ(packet.size(), 78u);
    VoiceSamples samples{};
    ASSERT_TRUE(decoder.Decode(std::span<const std::uint8_t>(packet).subspan(57), samples));
    energy = std::max(energy, MeanSquare(samples));
  }
  EXPECT_GT(energy, 1e6);
}

TEST_F(ScriptAudioTest, ReceivedVoiceIsPlayedIntoThePlaybackFile) {
  ASSERT_EQ(engine.Start(), 0);
  ASSERT_TRUE(WaitFor([&] { return engine.Running(); }, std::chrono::seconds(20)));
  AmrEncoder encoder;
  constexpr std::size_t kFrames = 25;
  for (std::size_t i = 0; i < kFrames; ++i) {
    AmrFrame frame{};
    const std::size_t length = encoder.Encode(ToneFrame(i), frame);
    ASSERT_EQ(length, 21u);
    engine.PlayReceived(std::span<const std::uint8_t>(frame.data(), length));
  }
  // Every decoded block is played whole and written as played (the decoder's
  // first blocks may still be silent, and silence is not written).
  ASSERT_TRUE(WaitFor([&] { return ReadSamples(audio.PlaybackPath()).size() >= (kFrames - 2) * 160; },
                      std::chrono::seconds(20)));
  const std::vector<std::int16_t> played = ReadSamples(audio.PlaybackPath());
  EXPECT_EQ(played.size() % 160, 0u);
  EXPECT_LE(played.size(), kFrames * 160);
  EXPECT_GT(MeanSquare(played), 1e6);
}

TEST(ScriptAudioChoice, TheEnvironmentNamesTheScriptedDeviceElsePortAudio) {
  TempFolder folder;
  ::setenv(kAudioScriptVariable, folder.Path().c_str(), 1);
  std::unique_ptr<AudioLibrary> scripted(MakeProgramAudioLibrary());
  EXPECT_NE(dynamic_cast<ScriptAudioLibrary*>(scripted.get()), nullptr);
  EXPECT_EQ(scripted->DeviceInfo(0)->name, kScriptMicrophoneName);
  ::setenv(kAudioScriptVariable, "", 1);
  std::unique_ptr<AudioLibrary> empty(MakeProgramAudioLibrary());
  EXPECT_NE(dynamic_cast<PortAudioLibrary*>(empty.get()), nullptr);
  ::unsetenv(kAudioScriptVariable);
  std::unique_ptr<AudioLibrary> unset(MakeProgramAudioLibrary());
  EXPECT_NE(dynamic_cast<PortAudioLibrary*>(unset.get()), nullptr);
}

TEST(ScriptAudioStream, CallsOutOfOrderAreRefused) {
  TempFolder folder;
  ScriptAudioLibrary audio(folder.Path());
  EXPECT_EQ(audio.StartStream(), kScriptAudioNoStream);
  EXPECT_EQ(audio.CloseStream(), kScriptAudioNoStream);
  const AudioStreamParameters mic{0, 1, 0.1};
  const AudioStreamParameters speaker{1, 1, 0.1};
  const auto silence = [](const std::int16_t*, std::int16_t*, unsigned long, void*) { return kAudioComplete; };
  EXPECT_EQ(audio.OpenStream(speaker, mic, 8000.0, 160, silence, nullptr), kScriptAudioNoStream);
  ASSERT_EQ(audio.OpenStream(mic, speaker, 8000.0, 160, silence, nullptr), kAudioNoError);
  ASSERT_EQ(audio.StartStream(), kAudioNoError);
  EXPECT_EQ(audio.OpenStream(mic, speaker, 8000.0, 160, silence, nullptr), kScriptAudioStreamOpen);
  // A callback that answers "complete" ends the stream.
  EXPECT_TRUE(WaitFor([&] { return audio.IsStreamActive() == 0; }, std::chrono::seconds(20)));
  EXPECT_EQ(audio.CloseStream(), kAudioNoError);
}

}  // namespace

namespace {

struct DeviceChoice {
  const char* input;
  const char* output;
  int inputDevice;
  int outputDevice;
  const char* inputName;
  const char* outputName;
};

class ScriptAudioDeviceTest : public ScriptAudioTest, public ::testing::WithParamInterface<DeviceChoice> {};

// Either microphone and either speaker open; an unknown name falls back to the default.
TEST_P(ScriptAudioDeviceTest, TheConfiguredDevicesAreTheOnesOpened) {
  const DeviceChoice& c = GetParam();
  engine.SetDeviceNames(c.input, c.output);
  ASSERT_EQ(engine.Start(), 0);
  ASSERT_TRUE(WaitFor([&] { return engine.Running(); }, std::chrono::seconds(20)));
  EXPECT_EQ(audio.OpenedInput(), c.inputDevice);
  EXPECT_EQ(audio.OpenedOutput(), c.outputDevice);
  EXPECT_TRUE(output.HasLine(std::string("Voice Input on ") + c.inputName));
  EXPECT_TRUE(output.HasLine(std::string("Voice Output on ") + c.outputName));
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ScriptAudioDeviceTest,
    ::testing::Values(
        DeviceChoice{"", "", kScriptMicrophone, kScriptSpeaker, kScriptMicrophoneName, kScriptSpeakerName},
        DeviceChoice{kScriptSecondMicrophoneName, kScriptSecondSpeakerName, kScriptSecondMicrophone,
                     kScriptSecondSpeaker, kScriptSecondMicrophoneName, kScriptSecondSpeakerName},
        DeviceChoice{"Script Microphone 2", "Script Speaker [ Default Output ]", kScriptSecondMicrophone,
                     kScriptSpeaker, kScriptSecondMicrophoneName, kScriptSpeakerName},
        // A speaker named as the microphone: a side takes only a device with channels for it.
        DeviceChoice{"Gone", kScriptSecondMicrophoneName, kScriptMicrophone, kScriptSpeaker, kScriptMicrophoneName,
                     kScriptSpeakerName}));

TEST_F(ScriptAudioTest, TheDeviceListsHoldBothPairsWithTheDefaultsMarked) {
  struct Collect final : VoiceDeviceList {
    std::vector<std::string> labels;
    void Clear() override { labels.clear(); }
    void SetRedraw(bool) override {}
    void Add(const std::string& label) override { labels.push_back(label); }
  } inputs, outputs;
  EXPECT_EQ(engine.FillDeviceLists(&inputs, &outputs), 4);
  EXPECT_EQ(inputs.labels, (std::vector<std::string>{"Script Microphone [ Default Input ]", "Script Microphone 2"}));
  EXPECT_EQ(outputs.labels, (std::vector<std::string>{"Script Speaker [ Default Output ]", "Script Speaker 2"}));
}

}  // namespace
