#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <future>
#include <thread>
#include <string>
#include <vector>

#include "core/main_dialog_state.h"
#include "core/own_callsign.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "scripted_audio.h"
#include "tone.h"
#include "voice/voice_engine.h"
#include "voice/voice_gain.h"
#include "win/keys.h"

namespace {
OwnRadios g_testRadios;
OwnRadios TestRadios() { return g_testRadios; }

constexpr std::uint32_t kTestLinkUp = 0x80000000;
bool MarkedLinkUp(const WayRecord& record) { return (record.stateFlags & kTestLinkUp) != 0; }

std::vector<AmrFrame> EncodedTone(std::size_t frames, std::vector<std::size_t>& lengths) {
  AmrEncoder encoder;
  std::vector<AmrFrame> out(frames);
  lengths.assign(frames, 0);
  for (std::size_t i = 0; i < frames; ++i) lengths[i] = encoder.Encode(ToneFrame(i), out[i]);
  return out;
}

class VoiceEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKeyStates();
    WayTableLock().Init();
    for (WayRecord& record : WayTable()) record = WayRecord{};
    g_testRadios = OwnRadios{};
    SetOwnRadiosReader(&TestRadios);
    g_joystickButtons = 0;
    g_transmitLampCountdown = 0;
    audio.UseMicAndSpeaker();
  }
  void TearDown() override {
    engine.Stop();
    SetOwnRadiosReader(nullptr);
    ResetKeyStates();
    g_joystickButtons = 0;
    for (WayRecord& record : WayTable()) record = WayRecord{};
  }

  // Starts the engine and waits until its stream loop runs.
  void StartRunning() {
    ASSERT_EQ(engine.Start(), 0);
    ASSERT_TRUE(WaitFor([this] { return engine.Running(); }));
  }
  int StartAndWaitForEnd() {
    EXPECT_EQ(engine.Start(), 0);
    EXPECT_TRUE(WaitFor([this] { return engine.ThreadEnded(); }));
    return engine.ThreadResult();
  }
  void HoldChord() {
    SetKeyState(VK_LCONTROL, true);
    SetKeyState(VK_LWIN, true);
  }
  // One pilot on COM1 122.800 whose way is linked.
  void AddListeningPilot(std::size_t way, const char* callsign) {
    WayRecord& record = WayTable()[way];
    record.peerKind = 'P';
    record.voiceFlags = 0x04;
    CopyToField(record.frequencyA, "122.800");
    CopyToField(record.callsign, callsign);
    CopyToField(record.serverName, "EUROPE-1");
    record.stateFlags |= kTestLinkUp;
  }

  ScriptedAudio audio;
  RecordingVoiceOutput output;
  RecordingNodeLink node;
  VoiceEngine engine{audio, output, node, &MarkedLinkUp};
};
}  // namespace

TEST_F(VoiceEngineTest, WithoutSoundDevicesTheThreadReportsAndEnds) {
  audio.devices.clear();
  audio.defaultInput = kAudioNoDevice;
  audio.defaultOutput = kAudioNoDevice;
  EXPECT_EQ(StartAndWaitForEnd(), kVoiceThreadNoStream);
  EXPECT_TRUE(output.HasLine("[OVS] An error occured while using the VoiceSystem stream"));
  EXPECT_TRUE(output.HasLine("\t[OVS] Error number: -10000"));
  EXPECT_TRUE(output.HasLine("[PAU] VoiceSystem Record callback init failed(-20000)"));
  EXPECT_EQ(audio.initialized.load(), 1);
  EXPECT_EQ(audio.terminated.load(), 1) << "the audio library is released";
  EXPECT_EQ(audio.opened.load(), 0);
  EXPECT_FALSE(engine.Running());
  // Received voice finds no decoder and is dropped.
  const std::array<std::uint8_t, 21> frame{0x2C};
  engine.PlayReceived(frame);
  EXPECT_EQ(engine.Fifo().Used(), 0u);
}

TEST_F(VoiceEngineTest, StreamFailuresAreReportedAndReleaseTheLibrary) {
  struct Case {
    const char* what;
    int initializeError;
    int defaultInput;
    int defaultOutput;
    int openError;
    std::vector<std::string> lines;
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {"initialise fails", -9999, 0, 1, 0,
       {"[PAU] An error occured while using the VoiceSystem stream",
        "\t[PAU] Error number: -9999, Caller ERROVS_00, indexes (-1 / -1)", "scripted error -9999",
        "[PAU] VoiceSystem Record callback init failed(-9999)"},
       {}},
      {"no input device", 0, kAudioNoDevice, 1, 0,
       {"[PAU] Error: No default input device.", "[PAU] VoiceSystem Record callback init failed(-1)"},
       {"[PAU] An error occured while using the VoiceSystem stream"}},
      {"no output device", 0, 0, kAudioNoDevice, 0,
       {"[PAU] Error: No default output device.", "[PAU] VoiceSystem Record callback init failed(-1)"},
       {"[PAU] An error occured while using the VoiceSystem stream"}},
      {"open fails", 0, 0, 1, -9998,
       {"[PAU] An error occured while using the VoiceSystem stream",
        "\t[PAU] Error number: -9998, Caller ERROVS_30, indexes (0 / 1)", "scripted error -9998",
        "[PAU] VoiceSystem Record callback init failed(-9998)"},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedAudio scripted;
    scripted.UseMicAndSpeaker();
    scripted.initializeError = c.initializeError;
    scripted.defaultInput = c.defaultInput;
    scripted.defaultOutput = c.defaultOutput;
    scripted.openError = c.openError;
    RecordingVoiceOutput lines;
    VoiceEngine failing(scripted, lines, node, &MarkedLinkUp);
    ASSERT_EQ(failing.Start(), 0);
    ASSERT_TRUE(WaitFor([&] { return failing.ThreadEnded(); }));
    EXPECT_EQ(failing.ThreadResult(), kVoiceThreadNoStream);
    for (const std::string& line : c.lines) EXPECT_TRUE(lines.HasLine(line)) << line;
    for (const std::string& line : c.absent) EXPECT_FALSE(lines.HasLine(line)) << line;
    EXPECT_EQ(scripted.terminated.load(), scripted.initialized.load());
    EXPECT_EQ(scripted.closed.load(), scripted.opened.load());
  }
}

TEST_F(VoiceEngineTest, AStreamThatDoesNotStartIsClosed) {
  audio.startError = -9996;
  EXPECT_EQ(StartAndWaitForEnd(), kVoiceThreadStreamNotStarted);
  EXPECT_TRUE(output.HasLine("[PAU] AudioStreamStart failed(-9996)"));
  EXPECT_EQ(audio.opened.load(), 1);
  EXPECT_EQ(audio.closed.load(), 1);
  EXPECT_EQ(audio.terminated.load(), 1);
}

TEST_F(VoiceEngineTest, OpensTheDefaultDevicesInTheVoiceFormat) {
  StartRunning();
  EXPECT_TRUE(output.HasLine("Voice Input on Mic"));
  EXPECT_TRUE(output.HasLine("Voice Output on Speaker"));
  EXPECT_TRUE(output.HasLine("To change Voice Device : menu -> Options -> Main setup -> Settings"));
  EXPECT_EQ(audio.inputParameters.device, 0);
  EXPECT_EQ(audio.outputParameters.device, 1);
  EXPECT_EQ(audio.inputParameters.channelCount, 1);
  EXPECT_EQ(audio.outputParameters.channelCount, 1);
  EXPECT_DOUBLE_EQ(audio.inputParameters.suggestedLatency, 0.1);
  EXPECT_DOUBLE_EQ(audio.outputParameters.suggestedLatency, 0.2);
  EXPECT_DOUBLE_EQ(audio.sampleRate, 8000.0);
  EXPECT_EQ(audio.framesPerBuffer, 160u);
}

TEST_F(VoiceEngineTest, ConfiguredLabelsPickTheirDevices) {
  audio.devices = {{"Mic", 0, 1, 0, 0.1, 0.0},
                   {"Micro \xC3\xA9", 0, 2, 0, 0.3, 0.0},  // UTF-8 from the library
                   {"Speaker", 0, 0, 2, 0.0, 0.2},
                   {"Phones", 0, 0, 2, 0.0, 0.4}};
  engine.SetDeviceNames("Micro \xE9 [ Default Input ]", "Phones[ Default ALSA Output ]");
  StartRunning();
  EXPECT_EQ(engine.InputDevice(), 1);
  EXPECT_EQ(engine.OutputDevice(), 3);
  EXPECT_EQ(audio.inputParameters.device, 1);
  EXPECT_EQ(audio.outputParameters.device, 3);
  EXPECT_TRUE(output.HasLine("Voice Input on Micro \xE9"));
  EXPECT_TRUE(output.HasLine("Voice Output on Phones"));
}

TEST_F(VoiceEngineTest, ASavedLabelWhoseDeviceIsGoneOpensTheDefault) {
  const std::pair<const char*, const char*> cases[] = {
      {"Gone[ Default ALSA Input ]", "Gone [ Default Output ]"},
      {"Speaker [ Default Output ]", "Mic [ Default Input ]"},  // no channels for that side
  };
  for (const auto& [input, outputLabel] : cases) {
    engine.SetDeviceNames(input, outputLabel);
    ASSERT_EQ(engine.ResolveDevices(), 2) << input;
    EXPECT_EQ(engine.InputDevice(), kAudioNoDevice) << input;
    EXPECT_EQ(engine.OutputDevice(), kAudioNoDevice) << outputLabel;
  }
  StartRunning();
  EXPECT_EQ(audio.inputParameters.device, 0);
  EXPECT_EQ(audio.outputParameters.device, 1);
  EXPECT_TRUE(output.HasLine("Voice Input on Mic"));
  EXPECT_TRUE(output.HasLine("Voice Output on Speaker"));
}

TEST_F(VoiceEngineTest, LabelsLoseTheirDefaultSuffix) {
  const std::pair<const char*, const char*> cases[] = {
      {"Mic [ Default Input ]", "Mic"},
      {"Speaker [ Default Output ]", "Speaker"},
      {"USB[ Default ALSA Input ]", "USB"},
      {"USB[ Default ALSA Output ]", "USB"},
      {"Plain", "Plain"},
      {"", ""},
      {"Odd [ Default thing", "Odd [ Default thing"},
  };
  for (const auto& [label, name] : cases) EXPECT_EQ(DeviceNameFromLabel(label), name) << label;
}

TEST_F(VoiceEngineTest, DeviceListsCarryTheDefaultMarks) {
  struct List final : VoiceDeviceList {
    void Clear() override { labels.clear(); }
    void SetRedraw(bool on) override { redraw = on; }
    void Add(const std::string& label) override { labels.push_back(label); }
    std::vector<std::string> labels{"old"};
    bool redraw = false;
  } inputs, outputs;
  audio.hostApis = {{"ALSA", 2, 2}};
  audio.devices = {{"Mic", 0, 1, 0, 0.1, 0.0},
                   {"Speaker", 0, 0, 2, 0.0, 0.2},
                   {"USB", 0, 1, 2, 0.1, 0.2},
                   {"Line", 0, 2, 0, 0.1, 0.0}};
  EXPECT_EQ(engine.FillDeviceLists(nullptr, &outputs), -1);
  EXPECT_EQ(engine.FillDeviceLists(&inputs, nullptr), -2);
  ASSERT_EQ(engine.FillDeviceLists(&inputs, &outputs), 4);
  EXPECT_EQ(inputs.labels,
            (std::vector<std::string>{"Mic [ Default Input ]", "USB[ Default ALSA Output ]", "Line"}));
  EXPECT_EQ(outputs.labels, (std::vector<std::string>{"Speaker [ Default Output ]", "USB[ Default ALSA Output ]"}));
  EXPECT_TRUE(inputs.redraw);
  EXPECT_TRUE(outputs.redraw);
  EXPECT_EQ(engine.DefaultInputLabel(), "Mic [ Default Input ]");
  EXPECT_EQ(engine.DefaultOutputLabel(), "Speaker [ Default Output ]");
  // Every label chosen from a list opens its own device.
  for (const std::string& label : inputs.labels) {
    engine.SetDeviceNames(label, "");
    ASSERT_EQ(engine.ResolveDevices(), 4);
    EXPECT_EQ(audio.devices[static_cast<std::size_t>(engine.InputDevice())].name, DeviceNameFromLabel(label));
  }
  audio.devices.clear();
  EXPECT_EQ(engine.FillDeviceLists(&inputs, &outputs), kVoiceNoDevices);
}

TEST_F(VoiceEngineTest, TheChordTransmitsOnlyWhole) {
  StartRunning();
  SetKeyState(VK_LCONTROL, true);
  // Left CTRL alone: several rounds of the loop go by without transmitting.
  const int sleeps = audio.sleeps.load();
  ASSERT_TRUE(WaitFor([&] { return audio.sleeps.load() >= sleeps + 5; }));
  EXPECT_FALSE(engine.Transmitting());
  SetKeyState(VK_LWIN, true);
  EXPECT_TRUE(WaitFor([this] { return engine.Transmitting(); }));
  SetKeyState(VK_LWIN, false);
  EXPECT_TRUE(WaitFor([this] { return !engine.Transmitting(); }));
}

TEST_F(VoiceEngineTest, TheJoystickButtonTransmits) {
  engine.SetJoystickButtonMask(1u << 2);
  StartRunning();
  g_joystickButtons = 1u << 1;
  const int sleeps = audio.sleeps.load();
  ASSERT_TRUE(WaitFor([&] { return audio.sleeps.load() >= sleeps + 5; }));
  EXPECT_FALSE(engine.Transmitting());
  g_joystickButtons = (1u << 2) | 1u;
  EXPECT_TRUE(WaitFor([this] { return engine.Transmitting(); }));
}

TEST_F(VoiceEngineTest, CapturedFramesAreEncodedAndAddressedByFrequency) {
  SetOwnCallsign("KLM123");
  g_testRadios = {"122.80", "119.10", true, false, false};
  AddListeningPilot(4, "AFR45");
  engine.SetInputGain(2.0F);
  StartRunning();
  HoldChord();
  ASSERT_TRUE(WaitFor([this] { return engine.Transmitting(); }));

  std::array<std::int16_t, 160> speaker{};
  for (std::size_t i = 0; i < 5; ++i) {
    const VoiceSamples tone = ToneFrame(i);
    const VoiceSamples before = tone;
    EXPECT_EQ(audio.Drive(tone.data(), speaker.data(), 160), kAudioContinue);
    EXPECT_EQ(tone, before) << "the library's input buffer is never scaled in place";
  }
  EXPECT_EQ(engine.FramesSent(), 5u);
  EXPECT_EQ(g_transmitLampCountdown.load(), kTransmitActivityTicks);
  const auto packets = node.Packets();
  ASSERT_EQ(packets.size(), 5u);
  const std::vector<std::uint8_t>& packet = packets[0];
  ASSERT_EQ(packet.size(), 78u);
  EXPECT_EQ(packet[2], 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(packet.data() + 4)), "KLM123");
  EXPECT_EQ(packet[20], 22);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(packet.data() + 24)), "AFR45");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(packet.data() + 40)), "EUROPE-1");
  EXPECT_EQ(packet[56], 0x11);
  EXPECT_EQ(packet[57], (5 << 3) | 0x04) << "an MR795 frame follows the marker";
  SetOwnCallsign("");
}

TEST_F(VoiceEngineTest, NothingIsSentWithoutTransmitOrRecipientsOrRoom) {
  g_testRadios = {"122.80", "", true, false, false};
  AddListeningPilot(0, "AFR45");
  StartRunning();
  const VoiceSamples tone = ToneFrame(0);
  // Not transmitting: nothing encoded.
  audio.Drive(tone.data(), nullptr, 160);
  EXPECT_EQ(engine.FramesSent(), 0u);

  HoldChord();
  ASSERT_TRUE(WaitFor([this] { return engine.Transmitting(); }));
  // A full node queue drops the frame: offered once, never again for that block.
  node.queueFull = true;
  EXPECT_EQ(audio.Drive(tone.data(), nullptr, 160), kAudioContinue);
  EXPECT_EQ(node.refused.load(), 1);
  EXPECT_EQ(engine.FramesSent(), 1u);
  EXPECT_TRUE(node.Packets().empty());
  // A node way that is not connected gets nothing either.
  node.queueFull = false;
  node.connected = false;
  audio.Drive(tone.data(), nullptr, 160);
  EXPECT_TRUE(node.Packets().empty());
  // A block that is not one whole frame is not encoded.
  node.connected = true;
  std::array<std::int16_t, 80> half{};
  audio.Drive(half.data(), nullptr, 80);
  EXPECT_EQ(engine.FramesSent(), 2u);
}

TEST_F(VoiceEngineTest, SendResultsFollowTheState) {
  const std::array<std::uint8_t, 21> frame{0x2C};
  EXPECT_EQ(engine.SendToFrequency(frame), kVoiceSendNotStarted);
  StartRunning();
  EXPECT_EQ(engine.SendToFrequency(frame), kVoiceSendNoFrequency) << "no radio published yet";
  engine.Stop();
  EXPECT_EQ(engine.SendToFrequency(frame), kVoiceSendClosing);
}

TEST_F(VoiceEngineTest, ReceivedFramesAreDecodedIntoThePlaybackFifo) {
  engine.SetOutputGain(2.0F);
  StartRunning();
  std::vector<std::size_t> lengths;
  const std::vector<AmrFrame> frames = EncodedTone(20, lengths);
  AmrDecoder reference;
  std::vector<std::int16_t> expected;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const std::span<const std::uint8_t> frame(frames[i].data(), lengths[i]);
    engine.PlayReceived(frame);
    VoiceSamples decoded{};
    ASSERT_TRUE(reference.Decode(frame, decoded));
    for (const std::int16_t s : decoded) expected.push_back(ScaleSample(s, 2.0F));
  }
  ASSERT_EQ(engine.Fifo().Used(), 20u * 320u);
  std::vector<std::int16_t> played;
  for (int i = 0; i < 20; ++i) {
    std::array<std::int16_t, 160> out{};
    ASSERT_EQ(audio.Drive(nullptr, out.data(), 160), kAudioContinue);
    played.insert(played.end(), out.begin(), out.end());
  }
  EXPECT_EQ(played, expected) << "decoded, scaled by the output gain, played in order";
  EXPECT_GT(MeanSquare(played), 1000.0);
}

TEST_F(VoiceEngineTest, UnfitReceivedFramesAreDropped) {
  StartRunning();
  for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{33}, std::size_t{40}}) {
    const std::vector<std::uint8_t> frame(length, 0x2C);
    engine.PlayReceived(frame);
    EXPECT_EQ(engine.Fifo().Used(), 0u) << length << " bytes";
  }
  const std::vector<std::uint8_t> two{0x2C, 0x00};
  engine.PlayReceived(two);
  EXPECT_EQ(engine.Fifo().Used(), 320u) << "a short frame is decoded from its zeroed copy";
}

TEST_F(VoiceEngineTest, AShortFifoPlaysSilenceAndKeepsItsBytes) {
  StartRunning();
  std::optional<std::uint32_t> level;
  const std::vector<std::uint8_t> part(100, 0x55);
  ASSERT_TRUE(engine.Fifo().Write(part, level));
  std::array<std::int16_t, 160> out;
  out.fill(0x7777);
  audio.Drive(nullptr, out.data(), 160);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](std::int16_t s) { return s == 0; }));
  EXPECT_EQ(engine.Fifo().Used(), 100u);
}

TEST_F(VoiceEngineTest, TheLevelMessageComesOncePerEpisode) {
  StartRunning();
  const std::array<std::uint8_t, 21> frame{0x2C};
  for (int i = 0; i < 1700; ++i) engine.PlayReceived(frame);
  EXPECT_EQ(output.CountLine("Voice buffer level 91"), 1);
  int levelLines = 0;
  for (const std::string& line : output.Lines()) levelLines += line.starts_with("Voice buffer level ") ? 1 : 0;
  EXPECT_EQ(levelLines, 1);
}

TEST_F(VoiceEngineTest, AStreamThatEndsReleasesEverything) {
  StartRunning();
  audio.activeAnswer = 0;
  ASSERT_TRUE(WaitFor([this] { return engine.ThreadEnded(); }));
  EXPECT_EQ(engine.ThreadResult(), 0);
  EXPECT_FALSE(engine.Running());
  EXPECT_EQ(audio.closed.load(), 1);
  EXPECT_EQ(audio.terminated.load(), 1);
  const std::array<std::uint8_t, 21> frame{0x2C};
  engine.PlayReceived(frame);
  EXPECT_EQ(engine.Fifo().Used(), 0u) << "the decoder is gone with the thread";
}

TEST_F(VoiceEngineTest, ErrorAnswersOfTheStreamEndTheLoop) {
  StartRunning();
  audio.activeAnswer = -9988;
  ASSERT_TRUE(WaitFor([this] { return engine.ThreadEnded(); }));
  EXPECT_EQ(audio.closed.load(), 1);
}

TEST_F(VoiceEngineTest, RestartReopensWithFreshStateWhileVoiceArrives) {
  StartRunning();
  std::atomic<bool> stop{false};
  // Received voice keeps coming while the engine restarts: it must never meet a freed decoder.
  std::thread receiver([&] {
    const std::array<std::uint8_t, 21> frame{0x2C};
    while (!stop) engine.PlayReceived(frame);
  });
  for (int i = 0; i < 3; ++i) {
    ASSERT_EQ(engine.Restart(), 0);
    ASSERT_TRUE(WaitFor([this] { return engine.Running(); }));
  }
  stop = true;
  receiver.join();
  EXPECT_EQ(audio.opened.load(), 4);
  EXPECT_EQ(audio.closed.load(), 3);
  EXPECT_EQ(audio.initialized.load(), 4);
  EXPECT_EQ(audio.terminated.load(), 3);
  engine.Stop();
  EXPECT_EQ(audio.closed.load(), 4);
  EXPECT_EQ(audio.terminated.load(), 4);
}

// At quit the engine is stopped before the windows it prints into go: a
// streaming thread ends within the bound; one stuck in the sound system is
// not waited for without end, and is joined once it did end.
TEST_F(VoiceEngineTest, AStopAtQuitWaitsForTheThreadOnlySoLong) {
  StartRunning();
  EXPECT_TRUE(engine.StopWithin(std::chrono::seconds(30)));
  EXPECT_TRUE(engine.ThreadEnded());
  EXPECT_FALSE(engine.Started());
  EXPECT_EQ(audio.closed.load(), 1);
  EXPECT_TRUE(engine.StopWithin(std::chrono::milliseconds(0))) << "nothing left to wait for";

  audio.holdInitialize = true;
  ASSERT_EQ(engine.Start(), 0);
  ASSERT_TRUE(WaitFor([this] { return audio.initialized.load() == 2; }));
  EXPECT_FALSE(engine.StopWithin(std::chrono::milliseconds(20)));
  EXPECT_FALSE(engine.ThreadEnded());
  audio.ReleaseInitialize();
  EXPECT_TRUE(engine.StopWithin(std::chrono::seconds(30)));
  EXPECT_TRUE(engine.ThreadEnded());
  EXPECT_EQ(audio.closed.load(), audio.opened.load()) << "what it opened it closed";
  EXPECT_EQ(audio.terminated.load(), 2);
}

TEST_F(VoiceEngineTest, StartTwiceStartsOnce) {
  StartRunning();
  EXPECT_EQ(engine.Start(), 0);
  EXPECT_EQ(audio.opened.load(), 1);
}

TEST_F(VoiceEngineTest, LevelsSetGainsUnlessClosing) {
  engine.SetOutputLevelDb(20.0F);
  EXPECT_FLOAT_EQ(engine.OutputGain(), 10.0F);
  StartRunning();
  engine.Stop();  // closing from here on
  engine.SetInputLevelDb(20.0F);
  EXPECT_FLOAT_EQ(engine.InputGain(), 1.0F);
}

TEST_F(VoiceEngineTest, TheAudioCallbackNeverWaitsForTheWayTable) {
  g_testRadios = {"122.80", "", true, false, false};
  AddListeningPilot(2, "AFR45");
  StartRunning();
  HoldChord();
  ASSERT_TRUE(WaitFor([this] { return engine.Transmitting(); }));
  // Another thread holds the way table for as long as the frame takes.
  std::promise<void> held;
  std::promise<void> release;
  std::thread holder([&] {
    WayTableGuard guard;
    held.set_value();
    release.get_future().wait();
  });
  held.get_future().wait();
  auto frame = std::async(std::launch::async, [this] {
    const VoiceSamples tone = ToneFrame(0);
    return audio.Drive(tone.data(), nullptr, 160);
  });
  const bool finished = frame.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  release.set_value();
  holder.join();
  EXPECT_TRUE(finished) << "the callback waited for WayTableLock";
  EXPECT_EQ(node.Packets().size(), 1u);
}

// A restart waits for the old thread only so long: one stuck in the sound
// system is reported and nothing is started beside it; once it ended, the
// next restart starts a single new thread.
TEST_F(VoiceEngineTest, ARestartOfAStuckThreadIsReportedAndStartsNothingBesideIt) {
  audio.holdInitialize = true;
  ASSERT_EQ(engine.Start(), 0);
  ASSERT_TRUE(WaitFor([this] { return audio.initialized.load() == 1; }));
  EXPECT_EQ(engine.RestartWithin(std::chrono::milliseconds(20)), kVoiceRestartNotStopped);
  EXPECT_TRUE(output.HasLine("[OVS] The VoiceSystem did not stop: it is not started again"));
  EXPECT_EQ(engine.Start(), 0);
  EXPECT_EQ(audio.initialized.load(), 1) << "no second thread while the first runs";

  audio.ReleaseInitialize();
  ASSERT_TRUE(WaitFor([this] { return engine.ThreadEnded(); }));
  EXPECT_EQ(engine.RestartWithin(std::chrono::seconds(30)), 0);
  ASSERT_TRUE(WaitFor([this] { return engine.Running(); }));
  EXPECT_EQ(audio.initialized.load(), 2);
  EXPECT_EQ(engine.RestartWithin(std::chrono::seconds(30)), 0);
  ASSERT_TRUE(WaitFor([this] { return engine.Running(); }));
  EXPECT_EQ(audio.opened.load(), audio.closed.load() + 1) << "one stream open at a time";
}
