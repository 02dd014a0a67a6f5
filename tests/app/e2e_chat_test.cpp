// The real program in a demo tree, logged in to the stand-in network, its
// plug-in stand-in flying with COM1 on 122.80 selected, and a scripted pilot
// peer linked to it: the peer's texts on air and in private reach the chat
// window by the radios, in their colours, and the chat's own lines reach the
// peer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/compressed_record.h"
#include "net/frame_codes.h"
#include "net/text_records.h"
#include "support/child_process.h"
#include "support/free_port.h"
#include "testbed/automation_client.h"
#include "testbed/node_server.h"
#include "testbed/pilot_peer.h"
#include "testbed/plugin_codes.h"
#include "testbed/plugin_server.h"
#include "testbed/web_page_server.h"

namespace {

constexpr int kStartMs = 30'000;
constexpr int kWaitMs = 20'000;

bool WaitFor(int timeoutMs, const std::function<bool()>& done) {
  for (int waited = 0; waited <= timeoutMs; waited += 50) {
    if (done()) return true;
    usleep(50'000);
  }
  return done();
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const auto& line : lines) all += line + "\n";
  return all;
}

class ChatEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(web_.Ok() && node_.Ok() && plugin_.Ok());
    web_.SetLines(WebPageServer::HubListLines("203.0.113.7", "127.0.0.1:" + std::to_string(node_.Port())));
    program_ = MakeXPlaneTreeWithData(tree_.Path());
    std::ofstream ini(program_ + "/Tavelkor.ini", std::ios::binary);
    ini << "[NETWORK.0]\r\nWebsite=localhost\r\nPagePath=/h.php\r\nPilotID=pilot7\r\nPilotPW=secret\r\n"
           "[FLIGHT PLAN]\r\nCallSign=TEST01\r\n";
  }

  void StartClient() {
    listeningPort_ = FreeLoopbackPort();
    const std::string socketPath = tree_.Path() + "/automation.sock";
    const std::string portMap = "TK_PORTMAP=55009=" + std::to_string(listeningPort_) +
                                ",55007=" + std::to_string(plugin_.Port()) + ",80=" + std::to_string(web_.Port());
    client_ = std::make_unique<ChildProcess>(TK_BINARY, program_,
                                             std::vector<std::string>{"TK_AUTOMATION=" + socketPath, portMap});
    ASSERT_TRUE(automation_.Connect(socketPath, kStartMs)) << client_->Stderr();
  }

  std::string DumpUntil(const std::string& text, int timeoutMs = kWaitMs) {
    std::string dump;
    WaitFor(timeoutMs, [&] {
      dump = Joined(automation_.Request("dump"));
      return dump.find(text) != std::string::npos;
    });
    return dump;
  }

  void Ask(const std::string& line) {
    const auto answer = automation_.Request(line);
    ASSERT_FALSE(answer.empty()) << line;
    EXPECT_EQ(answer.back(), "ok") << line;
  }

  // The chat output's runs, as automation shows them.
  std::vector<std::string> Runs() { return automation_.Request("runs 7057 7005"); }

  // A run of that colour and effects whose text holds `text` (line breaks are written \r\n).
  bool HasRun(const std::vector<std::string>& runs, const char* colour, int effects, const std::string& text) {
    const std::string head = std::string("run ") + colour + " " + std::to_string(effects) + " ";
    for (const std::string& run : runs) {
      if (run.rfind(head, 0) == 0 && run.find(text, head.size()) != std::string::npos) return true;
    }
    return false;
  }

  // The same for a run that ends with `text`.
  bool HasRunEnding(const std::vector<std::string>& runs, const char* colour, int effects, const std::string& text) {
    const std::string head = std::string("run ") + colour + " " + std::to_string(effects) + " ";
    for (const std::string& run : runs) {
      if (run.rfind(head, 0) == 0 && run.size() >= head.size() + text.size() &&
          run.compare(run.size() - text.size(), text.size(), text) == 0) {
        return true;
      }
    }
    return false;
  }

  bool WaitForRun(const char* colour, int effects, const std::string& text) {
    return WaitFor(kWaitMs, [&] { return HasRun(Runs(), colour, effects, text); });
  }

  template <typename Record, std::size_t N>
  static std::vector<Record> TextsOf(const PilotPeer& peer, std::uint8_t type, Record (*read)(std::span<const std::uint8_t, N>)) {
    std::vector<Record> texts;
    for (const Frame& frame : peer.Frames()) {
      if (frame.header.type != type) continue;
      std::array<std::uint8_t, N> bytes{};
      if (UnpackCompressedRecord(frame.body, bytes) == kRecordOk) texts.push_back(read(bytes));
    }
    return texts;
  }

  TempFolder tree_;
  WebPageServer web_;
  NodeServer node_;
  PluginServer plugin_;
  std::string program_;
  std::uint16_t listeningPort_ = 0;
  std::unique_ptr<ChildProcess> client_;
  AutomationClient automation_;
};

TEST_F(ChatEndToEnd, APeersTextsAreShownByTheRadiosInTheirColoursAndTheChatsLinesReachHim) {
  plugin_.SetGreeting(PluginServer::Greeting::OnHello);
  plugin_.SetStreamInterval(50);
  StartClient();
  ASSERT_NE(DumpUntil("You have joined your session.").find("You have joined your session."), std::string::npos)
      << client_->Stderr();
  Ask("command 7055 33000");
  Ask("click 7055 7212");
  ASSERT_NE(DumpUntil("text=0p  0a\n").find("text=0p  0a\n"), std::string::npos) << client_->Stderr();
  // The scripted flight's radios: COM1 122.80 selected, COM2 121.50.
  ASSERT_NE(DumpUntil("control 7055 7112 kind=static visible=1 enabled=1 text=122.80").find("text=122.80"),
            std::string::npos);

  PilotPeerScript script;
  script.callsign = "DEMO02";
  script.centreLatitude = 49.02;
  script.centreLongitude = 2.6;
  script.answerLogin = false;
  PilotPeer peer(script);
  ASSERT_TRUE(peer.Connect(listeningPort_));
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << client_->Stderr();
  // A second pilot nearby, who is never written to in private.
  PilotPeerScript otherScript = script;
  otherScript.callsign = "DEMO03";
  otherScript.login = "demo3";
  PilotPeer other(otherScript);
  ASSERT_TRUE(other.Connect(listeningPort_));
  ASSERT_TRUE(other.SendLogin());
  ASSERT_TRUE(other.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << client_->Stderr();

  // On air on the selected COM1, on an untuned frequency, on the guard frequency; then in private.
  ASSERT_TRUE(peer.SendTextOnAir("hello on the field", 122.8));
  ASSERT_TRUE(peer.SendTextOnAir("not for you", 119.1));
  ASSERT_TRUE(peer.SendTextOnAir("mayday", 121.5));
  ASSERT_TRUE(peer.SendPrivateText("TEST01", "psst"));
  ASSERT_TRUE(WaitForRun("FA9D52", 1, "[private] DEMO02 : psst")) << Joined(Runs()) << client_->Stderr();
  const std::vector<std::string> runs = Runs();
  EXPECT_TRUE(HasRunEnding(runs, "FA9D52", 1, "DEMO02 ")) << Joined(runs);
  EXPECT_TRUE(HasRun(runs, "8CA48C", 0, "on 122.80 Mhz : hello on the field")) << Joined(runs);
  EXPECT_TRUE(HasRun(runs, "3232FF", 1, "[ON GUARD] ")) << Joined(runs);
  EXPECT_TRUE(HasRun(runs, "3232FF", 0, "DEMO02 : mayday")) << Joined(runs);
  EXPECT_EQ(Joined(runs).find("not for you"), std::string::npos) << "no selected radio is on 119.10";
  // The sender of a private text joins the recipient list.
  EXPECT_NE(DumpUntil("item 1 DEMO02").find("item 1 DEMO02"), std::string::npos);

  // The chat's own lines, typed and sent with ENTER: one to him in private, one on air.
  Ask("settext 7057 7003 .DEMO02 hi there");
  Ask("key RETURN down");
  Ask("key RETURN up");
  ASSERT_TRUE(WaitFor(kWaitMs, [&] {
    return !TextsOf(peer, NCSMSG_TEXT_PRIVATE, &ReadPrivateTextRecord).empty();
  })) << client_->Stderr();
  const PrivateTextRecord toHim = TextsOf(peer, NCSMSG_TEXT_PRIVATE, &ReadPrivateTextRecord).front();
  EXPECT_EQ(toHim.sender, "TEST01");
  EXPECT_EQ(toHim.recipient, "DEMO02");
  EXPECT_EQ(toHim.text, "hi there");
  EXPECT_TRUE(WaitForRun("04F05C", 1, "TEST01 -> DEMO02 : hi there")) << Joined(Runs());

  // To a callsign without a way of its own: the node relays it.
  Ask("settext 7057 7003 .far9 over the hills");
  Ask("key RETURN down");
  Ask("key RETURN up");
  std::optional<PrivateTextRecord> longHaul;
  ASSERT_TRUE(WaitFor(kWaitMs, [&] {
    for (const Frame& frame : node_.Frames()) {
      if (frame.header.type != NCSMSG_TEXT_LONGHAUL) continue;
      PrivateTextRecordBytes bytes{};
      if (frame.header.Compressed()) {
        if (UnpackCompressedRecord(frame.body, bytes) != kRecordOk) continue;
      } else if (frame.body.size() == bytes.size()) {
        std::copy(frame.body.begin(), frame.body.end(), bytes.begin());
      } else {
        continue;
      }
      longHaul = ReadPrivateTextRecord(bytes);
    }
    return longHaul.has_value();
  })) << client_->Stderr();
  EXPECT_EQ(longHaul->recipient, "far9");
  EXPECT_EQ(longHaul->text, "over the hills");
  EXPECT_TRUE(WaitForRun("04F05C", 1, "TEST01 -> FAR9 : over the hills")) << Joined(Runs());

  Ask("settext 7057 7003 radio check");
  Ask("key RETURN down");
  Ask("key RETURN up");
  ASSERT_TRUE(WaitFor(kWaitMs, [&] {
    return !TextsOf(peer, NCSMSG_TEXT_ON_AIR, &ReadTextOnAirRecord).empty();
  })) << client_->Stderr();
  const TextOnAirRecord onAir = TextsOf(peer, NCSMSG_TEXT_ON_AIR, &ReadTextOnAirRecord).front();
  EXPECT_EQ(onAir.sender, "TEST01");
  EXPECT_EQ(onAir.text, "radio check");
  EXPECT_DOUBLE_EQ(onAir.frequencyMhz, 122.8);
  EXPECT_TRUE(WaitForRun("04F05C", 0, "122.80 Mhz : radio check")) << Joined(Runs());
  // On air reaches every linked pilot; the private text reached only its recipient.
  ASSERT_TRUE(WaitFor(kWaitMs, [&] {
    return !TextsOf(other, NCSMSG_TEXT_ON_AIR, &ReadTextOnAirRecord).empty();
  })) << client_->Stderr();
  EXPECT_EQ(TextsOf(other, NCSMSG_TEXT_ON_AIR, &ReadTextOnAirRecord).front().text, "radio check");
  EXPECT_TRUE(TextsOf(other, NCSMSG_TEXT_PRIVATE, &ReadPrivateTextRecord).empty());
  EXPECT_EQ(TextsOf(peer, NCSMSG_TEXT_PRIVATE, &ReadPrivateTextRecord).size(), 1u);

  // The transponder command goes to the plug-in as command 122 and echoes nothing;
  // a code above 7777 goes nowhere.
  const std::size_t squawks = plugin_.RecordCount(plugin_link::XTK_CMD_SET_SQUAWK);
  for (const char* line : {".X 7778", ".X 7000"}) {
    Ask(std::string("settext 7057 7003 ") + line);
    Ask("key RETURN down");
    Ask("key RETURN up");
  }
  ASSERT_TRUE(plugin_.WaitForRecord(plugin_link::XTK_CMD_SET_SQUAWK, squawks + 1, kWaitMs)) << client_->Stderr();
  std::vector<std::uint8_t> code;
  for (const PluginServer::Record& record : plugin_.Records()) {
    if (record.code == plugin_link::XTK_CMD_SET_SQUAWK) code = record.body;
  }
  EXPECT_EQ(code, (std::vector<std::uint8_t>{0x58, 0x1B})) << "7000, little-endian";
  EXPECT_EQ(plugin_.RecordCount(plugin_link::XTK_CMD_SET_SQUAWK), squawks + 1);
  const std::string shown = Joined(Runs());
  EXPECT_EQ(shown.find("7778"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("X 7000"), std::string::npos) << shown;

  Ask("quit");
  EXPECT_EQ(client_->WaitForExit(kWaitMs), 0) << client_->Stderr();
}

}  // namespace
