// The real program with voice: logged in to the stand-in node with a pilot
// peer on its frequency, push-to-talk held through automation sends the
// scripted microphone's tone to the node as voice blocks; voice blocks from
// the node are decoded and played on the scripted speaker. Without a sound
// device the voice system reports it and the client runs on.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "support/sample_file.h"
#include "net/frame_codes.h"
#include "support/child_process.h"
#include "support/free_port.h"
#include "testbed/automation_client.h"
#include "testbed/node_server.h"
#include "testbed/pilot_peer.h"
#include "testbed/plugin_server.h"
#include "testbed/web_page_server.h"
#include "voice/amr_codec.h"
#include "voice/script_audio_library.h"
#include "voice/voice_tone.h"

namespace {

constexpr int kStartMs = 30'000;
constexpr int kWaitMs = 20'000;

bool WaitFor(int timeoutMs, const std::function<bool()>& done) {
  for (int waited = 0; waited <= timeoutMs; waited += 20) {
    if (done()) return true;
    usleep(20'000);
  }
  return done();
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += line + "\n";
  return all;
}

std::string NameAt(const std::vector<std::uint8_t>& body, std::size_t at) {
  return std::string(reinterpret_cast<const char*>(body.data() + at), 16);
}

std::string Padded(const std::string& name) { return name + std::string(16 - name.size(), '\0'); }

// One client in a demo tree of its own, with its own stand-ins.
class ClientRig {
 public:
  // extraIni: more lines for the client's settings file.
  explicit ClientRig(const std::string& callsign, const std::string& extraIni = "") {
    ok_ = web_.Ok() && node_.Ok() && plugin_.Ok();
    web_.SetLines(WebPageServer::HubListLines("203.0.113.7", "127.0.0.1:" + std::to_string(node_.Port())));
    program_ = MakeXPlaneTreeWithData(tree_.Path());
    std::ofstream ini(program_ + "/Tavelkor.ini", std::ios::binary);
    ini << "[NETWORK.0]\r\nWebsite=localhost\r\nPagePath=/h.php\r\nPilotID=pilot7\r\nPilotPW=secret\r\n"
           "[FLIGHT PLAN]\r\nCallSign="
        << callsign << "\r\n"
        << extraIni;
    plugin_.SetGreeting(PluginServer::Greeting::OnHello);
    plugin_.SetStreamInterval(50);
  }

  bool Ok() const { return ok_; }

  // scripted false: the machine's own sound system.
  void Start(bool scripted, const std::vector<std::string>& extraEnvironment = {}) {
    listeningPort_ = FreeLoopbackPort();
    const std::string socketPath = tree_.Path() + "/automation.sock";
    std::vector<std::string> environment{
        "TK_AUTOMATION=" + socketPath, "TK_PORTMAP=55009=" + std::to_string(listeningPort_) + ",55007=" +
                                           std::to_string(plugin_.Port()) + ",80=" + std::to_string(web_.Port())};
    if (scripted) environment.push_back(std::string(kAudioScriptVariable) + "=" + audio_.Path());
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    client_ = std::make_unique<ChildProcess>(TK_BINARY, program_, environment);
    ASSERT_TRUE(automation_.Connect(socketPath, kStartMs)) << client_->Stderr();
  }

  std::string DumpUntil(const std::function<bool(const std::string&)>& done, int timeoutMs = kWaitMs) {
    std::string dump;
    WaitFor(timeoutMs, [&] {
      dump = Joined(automation_.Request("dump"));
      return done(dump);
    });
    return dump;
  }
  std::string DumpUntil(const std::string& text, int timeoutMs = kWaitMs) {
    return DumpUntil([&](const std::string& dump) { return dump.find(text) != std::string::npos; }, timeoutMs);
  }

  void Ask(const std::string& line) {
    const auto answer = automation_.Request(line);
    ASSERT_FALSE(answer.empty()) << line;
    EXPECT_EQ(answer.back(), "ok") << line;
  }

  void LogIn() {
    ASSERT_NE(DumpUntil("You have joined your session.").find("You have joined your session."), std::string::npos)
        << client_->Stderr();
    Ask("command 7055 33000");
    Ask("click 7055 7212");
    const std::string connected = "control 7055 7212 kind=ownerdraw visible=1 enabled=1 text=OFF\nimage 7096";
    ASSERT_NE(DumpUntil(connected).find(connected), std::string::npos) << client_->Stderr();
  }

  // Waits until the scripted devices are in use.
  void WaitForScriptedVoice() {
    // The label and the device name are two prints: another thread's line may come between.
    const std::string devices = DumpUntil(kScriptSpeakerName);
    const std::size_t input = devices.find("Voice Input on ");
    const std::size_t output = devices.find("Voice Output on ");
    ASSERT_NE(input, std::string::npos) << devices;
    ASSERT_NE(output, std::string::npos) << devices;
    EXPECT_NE(devices.find(kScriptMicrophoneName, input), std::string::npos) << devices;
    EXPECT_NE(devices.find(kScriptSpeakerName, output), std::string::npos) << devices;
  }

  std::vector<Frame> VoiceBlocks() const {
    std::vector<Frame> blocks;
    for (const Frame& frame : node_.Frames()) {
      if (frame.header.type == kNcsMsgVoiceBlock) blocks.push_back(frame);
    }
    return blocks;
  }

  std::vector<std::int16_t> Played() const { return ReadSamples(audio_.Path() + "/" + kAudioScriptPlaybackFile); }

  void HoldPushToTalk(bool held) {
    // The chord of "VoiceKeys" 0: Left CTRL and Left WIN.
    Ask(std::string("key LCONTROL ") + (held ? "down" : "up"));
    Ask(std::string("key LWIN ") + (held ? "down" : "up"));
  }

  void Quit() {
    Ask("quit");
    EXPECT_EQ(client_->WaitForExit(kWaitMs), 0) << client_->Stderr();
  }

  std::string Stderr() const { return client_ != nullptr ? client_->Stderr() : std::string(); }
  std::uint16_t ListeningPort() const { return listeningPort_; }
  NodeServer& Node() { return node_; }
  const std::string& Folder() const { return tree_.Path(); }

 private:
  TempFolder tree_;
  TempFolder audio_;
  WebPageServer web_;
  NodeServer node_;
  PluginServer plugin_;
  bool ok_ = false;
  std::string program_;
  std::uint16_t listeningPort_ = 0;
  std::unique_ptr<ChildProcess> client_;
  AutomationClient automation_;
};

// A pilot listening on COM1 122.800 (the scripted flight's COM1 is 122.80, selected).
PilotPeerScript ListeningPilot() {
  PilotPeerScript script;
  script.callsign = "DEMO02";
  script.serverName = "NODE-1";
  script.com1 = "122.800";
  script.radioSelection = kPilotRadioCom1;
  script.centreLatitude = 49.02;
  script.centreLongitude = 2.6;
  script.answerLogin = false;
  return script;
}

class VoiceEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(a_.Ok()); }
  ClientRig a_{"TEST01"};
};

TEST_F(VoiceEndToEnd, PushToTalkSendsTheToneToTheNodeAndVoiceFromTheNodeIsPlayed) {
  a_.Start(true);
  // Voice comes up on the scripted devices two seconds after the start-up.
  a_.WaitForScriptedVoice();
  a_.LogIn();

  // A pilot on the own frequency calls in.
  PilotPeer peer(ListeningPilot());
  ASSERT_TRUE(peer.Connect(a_.ListeningPort()));
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << a_.Stderr();
  EXPECT_TRUE(a_.VoiceBlocks().empty()) << "nothing is sent before push-to-talk";

  a_.HoldPushToTalk(true);
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return a_.VoiceBlocks().size() >= 10; })) << a_.Stderr();
  // The main dialog's transmit lamp shows the sending, and goes off after it.
  const std::string lampOn = "control 7055 7248 kind=picture visible=1 enabled=1 text=#7801\nimage 7800";
  const std::string lampOff = "control 7055 7248 kind=picture visible=1 enabled=1 text=#7801\nimage 7801";
  std::string dump = a_.DumpUntil(lampOn);
  EXPECT_NE(dump.find(lampOn), std::string::npos) << dump;
  a_.HoldPushToTalk(false);
  dump = a_.DumpUntil(lampOff);
  EXPECT_NE(dump.find(lampOff), std::string::npos) << dump;

  AmrDecoder decoder;
  double loudest = 0.0;
  for (const Frame& block : a_.VoiceBlocks()) {
    const std::vector<std::uint8_t>& body = block.body;
    EXPECT_EQ(block.header.subCode, 0);
    ASSERT_EQ(body.size(), 78u) << "one recipient and a 21-byte frame";
    EXPECT_EQ(body[0] | (body[1] << 8), 0);
    EXPECT_EQ(body[2] | (body[3] << 8), 1) << "one recipient";
    EXPECT_EQ(NameAt(body, 4), Padded("TEST01"));
    EXPECT_EQ(body[20] | (body[21] << 8) | (body[22] << 16) | (body[23] << 24), 22);
    EXPECT_EQ(NameAt(body, 24), Padded("DEMO02"));
    EXPECT_EQ(NameAt(body, 40), Padded("NODE-1"));
    EXPECT_EQ(body[56], 0x11);
    EXPECT_EQ(body[57], (5 << 3) | 0x04) << "an MR795 frame";
    VoiceSamples samples{};
    ASSERT_TRUE(decoder.Decode(std::span<const std::uint8_t>(body).subspan(57), samples));
    loudest = std::max(loudest, MeanSquare(samples));
  }
  EXPECT_GT(loudest, 1e6) << "the microphone's tone was sent";

  // Voice blocks from the node are played.
  AmrEncoder encoder;
  constexpr std::size_t kFrames = 25;
  for (std::size_t i = 0; i < kFrames; ++i) {
    AmrFrame frame{};
    const std::size_t length = encoder.Encode(ToneFrame(i), frame);
    ASSERT_TRUE(a_.Node().SendVoiceBlock(std::span<const std::uint8_t>(frame.data(), length)));
  }
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return a_.Played().size() >= (kFrames - 2) * 160; })) << a_.Stderr();
  EXPECT_GT(MeanSquare(a_.Played()), 1e6);

  a_.Quit();
}

// The machine's own sound system. Where it has no device, the voice system
// prints the no-device lines and stays off; either way the client runs on.
TEST_F(VoiceEndToEnd, WithoutASoundDeviceVoiceIsReportedOffAndTheClientRunsOn) {
  a_.Start(false);
  const std::string noDevice = "[OVS] An error occured while using the VoiceSystem stream";
  // Each line is a print of its own: wait for the last one of either path.
  const std::string dump = a_.DumpUntil([&](const std::string& d) {
    return d.find("[PAU] VoiceSystem Record callback init failed") != std::string::npos ||
           d.find("To change Voice Device") != std::string::npos;
  });
  if (dump.find(noDevice) != std::string::npos) {
    EXPECT_NE(dump.find("[OVS] Error number: -10000"), std::string::npos) << dump;
    EXPECT_NE(dump.find("[PAU] VoiceSystem Record callback init failed(-20000)"), std::string::npos) << dump;
  } else {
    ASSERT_NE(dump.find("Voice Input on "), std::string::npos) << "the machine lists sound devices\n" << dump;
  }
  a_.LogIn();
  ASSERT_TRUE(a_.Node().WaitForFrames(1, kWaitMs));
  a_.Quit();
}

// One js_event as the kernel writes it (time, value, type, number), little-endian.
void AppendJoystickButton(const std::string& device, std::uint8_t button, bool pressed, bool initial = false) {
  const std::uint8_t type = static_cast<std::uint8_t>(0x01 | (initial ? 0x80 : 0x00));
  const std::array<char, 8> event{0, 0, 0, 0, static_cast<char>(pressed ? 1 : 0), 0, static_cast<char>(type),
                                  static_cast<char>(button)};
  std::ofstream out(device, std::ios::binary | std::ios::app);
  out.write(event.data(), static_cast<std::streamsize>(event.size()));
}

// The joystick button of "VoiceJoystickButton" on the joystick of
// "VoiceJoystickNumber" is push-to-talk as well.
TEST(VoiceJoystickEndToEnd, TheMaskedButtonOfTheChosenJoystickSends) {
  ClientRig rig("TEST01", "[SETUP]\r\nVoiceJoystickButton=2\r\nVoiceJoystickNumber=1\r\n");
  ASSERT_TRUE(rig.Ok());
  const std::string prefix = rig.Folder() + "/js";
  // Joystick 1 is the first device; its buttons start released.
  AppendJoystickButton(prefix + "0", 0, false, true);
  AppendJoystickButton(prefix + "0", 1, false, true);
  rig.Start(true, {"TK_JOYSTICK_PREFIX=" + prefix});
  rig.WaitForScriptedVoice();
  rig.LogIn();
  PilotPeer peer(ListeningPilot());
  ASSERT_TRUE(peer.Connect(rig.ListeningPort()));
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << rig.Stderr();

  AppendJoystickButton(prefix + "0", 1, true);  // button 2, in the mask 2
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return rig.VoiceBlocks().size() >= 10; })) << rig.Stderr();
  AppendJoystickButton(prefix + "0", 1, false);
  const std::string lampOff = "control 7055 7248 kind=picture visible=1 enabled=1 text=#7801\nimage 7801";
  const std::string dump = rig.DumpUntil(lampOff);
  EXPECT_NE(dump.find(lampOff), std::string::npos) << dump;
  rig.Quit();
}

}  // namespace
