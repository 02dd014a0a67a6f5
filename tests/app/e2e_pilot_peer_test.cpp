// The real program in a demo tree with its plug-in stand-in, logged in to the
// stand-in network, and a scripted pilot peer calling its listening port: the
// peer hears the client's own position records, and the plug-in stand-in is
// asked to add, move and remove the peer's AI aircraft.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/frame_codes.h"
#include "net/position_records.h"
#include "support/child_process.h"
#include "support/free_port.h"
#include "support/recorded_lines.h"
#include "testbed/automation_client.h"
#include "testbed/node_server.h"
#include "testbed/pilot_peer.h"
#include "testbed/plugin_server.h"
#include "testbed/web_page_server.h"

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

std::uint16_t TypeOf(const Frame& frame) {
  return frame.body.size() >= 2 ? static_cast<std::uint16_t>(frame.body[0] | (frame.body[1] << 8)) : 0;
}

class PilotPeerEndToEnd : public ::testing::Test {
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
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer.back(), "ok") << line;
  }

  std::size_t PeerPositionRecords(const PilotPeer& peer) const {
    std::size_t n = 0;
    for (const Frame& frame : peer.Frames()) {
      if (frame.header.type == NCSMSG_PILOT && frame.header.subCode == NCSUB_FSX_PACKET &&
          TypeOf(frame) == kPositionRecordType && frame.body.size() == kPositionRecordSize) {
        ++n;
      }
    }
    return n;
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

TEST_F(PilotPeerEndToEnd, APeerHearsTheOwnPositionsAndHisAircraftIsAddedMovedAndRemoved) {
  RecordedLines events;
  plugin_.SetEventLog(events.Sink());
  const auto eventCount = [&](const std::string& prefix) {
    int n = 0;
    for (const std::string& line : events.Lines()) n += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return n;
  };
  plugin_.SetGreeting(PluginServer::Greeting::OnHello);
  plugin_.SetStreamInterval(50);
  StartClient();
  ASSERT_NE(DumpUntil("You have joined your session.").find("You have joined your session."), std::string::npos)
      << client_->Stderr();
  Ask("command 7055 33000");
  Ask("click 7055 7212");
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(plugin_.WaitForSamples(2, kWaitMs));

  // A pilot flying a circuit near the scripted flight calls and logs in.
  PilotPeerScript script;
  script.callsign = "DEMO02";
  script.simulatorCode = 9000;
  script.centreLatitude = 49.02;
  script.centreLongitude = 2.6;
  script.answerLogin = false;
  PilotPeer peer(script);
  ASSERT_TRUE(peer.Connect(listeningPort_));
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_LOGIN_ACK, 1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return plugin_.Ai().ByCallsign("DEMO02").has_value(); })) << client_->Stderr();
  EXPECT_EQ(eventCount("add DEMO02 model "), 1);

  // The client's own position records reach him, in his family's layout.
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return PeerPositionRecords(peer) >= 3; })) << client_->Stderr();
  for (const Frame& frame : peer.Frames()) {
    if (frame.header.subCode != NCSUB_FSX_PACKET || TypeOf(frame) != kPositionRecordType) continue;
    double latitude = 0.0;
    std::uint64_t bits = 0;
    for (std::size_t i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(frame.body[32 + i]) << (8 * i);
    std::memcpy(&latitude, &bits, sizeof latitude);
    EXPECT_NEAR(latitude, 49.0097, 1e-6);
    break;
  }

  // And the own identity record, with the loaded model's title.
  const auto identity = [&]() -> std::string {
    for (const Frame& frame : peer.Frames()) {
      if (frame.header.subCode == NCSUB_FSX_PACKET && TypeOf(frame) == 0x2100 && frame.body.size() == 134) {
        return std::string(reinterpret_cast<const char*>(frame.body.data() + 6));
      }
    }
    return {};
  };
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return !identity().empty(); })) << client_->Stderr();
  EXPECT_EQ(identity(), "Cessna Skyhawk 172SP");

  // His scripted flight moves his AI aircraft.
  for (std::uint32_t second = 1; second <= 5; ++second) ASSERT_TRUE(peer.SendPositionAt(second, second));
  ASSERT_TRUE(WaitFor(kWaitMs, [&] {
    const auto aircraft = plugin_.Ai().ByCallsign("DEMO02");
    return aircraft && aircraft->moves >= 5;
  })) << client_->Stderr();
  const auto moved = plugin_.Ai().ByCallsign("DEMO02");
  EXPECT_EQ(moved->latitude, peer.FixAt(5).latitude);
  EXPECT_EQ(moved->longitude, peer.FixAt(5).longitude);
  EXPECT_GE(eventCount("move DEMO02 to "), 5);

  // He logs out: his aircraft is removed, once.
  ASSERT_TRUE(peer.SendLogout());
  ASSERT_TRUE(peer.SendLogout());
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return eventCount("remove DEMO02") == 1; })) << client_->Stderr();
  EXPECT_TRUE(peer.WaitForClose(kWaitMs));
  EXPECT_TRUE(plugin_.Ai().Aircraft().empty());
  EXPECT_EQ(eventCount("remove DEMO02"), 1);

  Ask("quit");
  EXPECT_EQ(client_->WaitForExit(kWaitMs), 0) << client_->Stderr();
}

TEST_F(PilotPeerEndToEnd, ThePeersHearTheTypeTheRulesGiveTheLoadedModel) {
  // An installed model whose title the plug-in reports, and a local rule giving it another type.
  std::filesystem::create_directories(tree_.Path() + "/Aircraft/Heavy Metal/B738");
  std::ofstream(tree_.Path() + "/Aircraft/Heavy Metal/B738/B738.acf").put('\0');
  std::ofstream(program_ + "/Rules.txt", std::ios::binary) << "[LOCAL_AIRCRAFTS]\r\n001=Heavy Metal{{C130}}\r\n";
  plugin_.SetAircraftTitle("Heavy Metal\\B738\\B738.acf");
  plugin_.SetGreeting(PluginServer::Greeting::OnHello);
  plugin_.SetStreamInterval(50);
  StartClient();
  ASSERT_NE(DumpUntil("You have joined your session.").find("You have joined your session."), std::string::npos)
      << client_->Stderr();
  Ask("command 7055 33000");
  Ask("click 7055 7212");
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();

  PilotPeerScript script;
  script.callsign = "DEMO02";
  script.simulatorCode = 9000;
  script.centreLatitude = 49.02;
  script.centreLongitude = 2.6;
  script.answerLogin = false;
  PilotPeer peer(script);
  ASSERT_TRUE(peer.Connect(listeningPort_));
  ASSERT_TRUE(peer.SendLogin());
  ASSERT_TRUE(peer.WaitForCountOf(NCSUB_PEER_ADDED, 1, kWaitMs)) << client_->Stderr();

  // The identity goes out once the model is matched: its title, the rule's type and that type's class code.
  const auto identity = [&]() -> std::optional<Frame> {
    for (const Frame& frame : peer.Frames()) {
      if (frame.header.subCode == NCSUB_FSX_PACKET && TypeOf(frame) == 0x2100 && frame.body.size() == 134) {
        return frame;
      }
    }
    return std::nullopt;
  };
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return identity().has_value(); })) << client_->Stderr();
  const Frame frame = *identity();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(frame.body.data() + 6)), "Heavy Metal\\B738\\B738.acf");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(frame.body.data() + 118)), "C130");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(frame.body.data() + 126)), "L4T");

  Ask("quit");
  EXPECT_EQ(client_->WaitForExit(kWaitMs), 0) << client_->Stderr();
}

}  // namespace
