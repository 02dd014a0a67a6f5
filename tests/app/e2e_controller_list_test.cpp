// The real program logged in to the stand-in network, with controllers
// calling its listening port: the scripted controller program and a second
// controller log in and are listed, their ATIS (of the login, then a new one)
// is printed on SHIFT and ENTER, ENTER alone tunes COM1, and each leaves the
// list when he drops or logs out.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/frame_codes.h"
#include "support/child_process.h"
#include "support/free_port.h"
#include "testbed/automation_client.h"
#include "testbed/controller_peer.h"
#include "testbed/node_server.h"
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

// The list's lines as the dump writes them (a tab as \t).
const std::string kUnicomAlone = "item 0 UNICOM\\t123.000\\tUnknown\\tS1\\t\n";
const std::string kUnicomRebuilt = "item 0 UNICOM\\t123.000\\tUnknown\\tS2\\t\n";
const std::string kTowerListed = "item 1 LFPG_TWR\\t118.250\\tTWR\\tC1\\t\n";
const std::string kApproachListed = "item 2 LFPG_APP\\t119.250\\tAPP/DEP\\tC1\\t\n";
const std::string kApproachFirst = "item 1 LFPG_APP\\t119.250\\tAPP/DEP\\tC1\\t\n";

class ControllerListEndToEnd : public ::testing::Test {
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

  std::string Dump() { return Joined(automation_.Request("dump")); }

  bool DumpShows(const std::function<bool(const std::string&)>& holds) {
    return WaitFor(kWaitMs, [&] { return holds(Dump()); });
  }
  bool DumpHas(const std::string& text) {
    return DumpShows([&](const std::string& dump) { return dump.find(text) != std::string::npos; });
  }

  void Ask(const std::string& line) {
    const auto answer = automation_.Request(line);
    ASSERT_FALSE(answer.empty());
    EXPECT_EQ(answer.back(), "ok") << line;
  }

  // The list's item lines, in order.
  std::string ListItems() {
    std::string items;
    bool inList = false;
    for (const std::string& line : automation_.Request("dump")) {
      if (line.rfind("control ", 0) == 0 || line.rfind("window ", 0) == 0) {
        inList = line.rfind("control 7003 7027 ", 0) == 0;
      } else if (inList && line.rfind("item ", 0) == 0) {
        items += line + "\n";
      }
    }
    return items;
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

TEST_F(ControllerListEndToEnd, ControllersAreListedTheirAtisShownAndEachIsGoneWhenHeLeaves) {
  plugin_.SetGreeting(PluginServer::Greeting::OnHello);
  plugin_.SetStreamInterval(50);
  StartClient();
  ASSERT_TRUE(DumpHas("You have joined your session.")) << client_->Stderr();
  Ask("command 7055 33000");
  Ask("click 7055 7212");
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  // Joining the network resets the list to UNICOM.
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return ListItems() == kUnicomAlone; })) << ListItems();

  // The controller program calls, logs in and waits long before its next record.
  ChildProcess tower(TK_CONTROLLER_BINARY, tree_.Path(), {},
                     {"--connect", std::to_string(listeningPort_), "--callsign", "LFPG_TWR", "--frequency", "118",
                      "250", "--atis", "Information K, runway 27", "--step", "600000"});
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return ListItems() == kUnicomRebuilt + kTowerListed; }))
      << ListItems() << tower.Stderr() << client_->Stderr();

  // A second controller, scripted here, whose new ATIS replaces the one of his login.
  ControllerPeerScript script;
  script.callsign = "LFPG_APP";
  script.frequencyMhz = 119;
  script.frequencyKhz = 250;
  script.atis = "Approach, information K";
  script.answerLogin = false;
  ControllerPeer approach(script);
  ASSERT_TRUE(approach.Connect(listeningPort_));
  ASSERT_TRUE(approach.SendLogin());
  ASSERT_TRUE(approach.WaitForCountOf(NCSUB_LOGIN_ACK, 1, kWaitMs)) << client_->Stderr();
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return ListItems() == kUnicomRebuilt + kTowerListed + kApproachListed; }))
      << ListItems();

  Ask("click 7055 7211");
  ASSERT_TRUE(DumpHas("window 7003 visible=1"));
  Ask("select 7003 7027 1");
  Ask("key SHIFT down");
  Ask("command 7003 13");
  Ask("key SHIFT up");
  EXPECT_TRUE(DumpHas("Atis of LFPG_TWR : Information K, runway 27"));
  EXPECT_TRUE(DumpHas("window 7003 visible=1")) << "the ATIS leaves the list open";

  ASSERT_TRUE(approach.SendAtis("Approach, information L"));
  ASSERT_TRUE(DumpHas("Controller LFPG_APP has set a new ATIS")) << client_->Stderr();
  Ask("select 7003 7027 2");
  Ask("key SHIFT down");
  Ask("command 7003 13");
  Ask("key SHIFT up");
  EXPECT_TRUE(DumpHas("Atis of LFPG_APP : Approach, information L"));

  Ask("select 7003 7027 1");
  Ask("command 7003 13");
  EXPECT_TRUE(DumpHas("COM1 -> 118.250 Mhz"));
  EXPECT_TRUE(DumpHas("window 7003 visible=0")) << "tuning while connected closes the list";

  // The program drops: the other controller stays.
  tower.Signal(SIGKILL);
  EXPECT_TRUE(WaitFor(kWaitMs, [&] { return ListItems() == kUnicomRebuilt + kApproachFirst; }))
      << ListItems() << client_->Stderr();
  // The last one logs out: UNICOM alone.
  ASSERT_TRUE(approach.SendLogout());
  EXPECT_TRUE(WaitFor(kWaitMs, [&] { return ListItems() == kUnicomAlone; })) << ListItems() << client_->Stderr();

  Ask("quit");
  EXPECT_EQ(client_->WaitForExit(kWaitMs), 0) << client_->Stderr();
}

}  // namespace
