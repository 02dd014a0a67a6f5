// The real program logged in to the stand-in network, with controllers
// calling its listening port: the scripted controller program and a second
// controller log in and are listed, their ATIS (of the login, then a new one)
// is printed on SHIFT and ENTER, ENTER alone tunes COM1, and each leaves the
// list when he drops or logs out.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

#include "e2e_client_fixture.h"
#include "net/frame_codes.h"
#include "testbed/controller_peer.h"

namespace {

// The list's lines as the dump writes them (a tab as \t).
const std::string kUnicomAlone = "item 0 UNICOM\\t123.000\\tUnknown\\tS1\\t\n";
const std::string kUnicomRebuilt = "item 0 UNICOM\\t123.000\\tUnknown\\tS2\\t\n";
const std::string kTowerListed = "item 1 LFPG_TWR\\t118.250\\tTWR\\tC1\\t\n";
const std::string kApproachListed = "item 2 LFPG_APP\\t119.250\\tAPP/DEP\\tC1\\t\n";
const std::string kApproachFirst = "item 1 LFPG_APP\\t119.250\\tAPP/DEP\\tC1\\t\n";

class ControllerListEndToEnd : public ClientEndToEnd {
 protected:
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
};

TEST_F(ControllerListEndToEnd, ControllersAreListedTheirAtisShownAndEachIsGoneWhenHeLeaves) {
  ASSERT_NO_FATAL_FAILURE(StartInSession());
  PressConnect();
  ASSERT_TRUE(node_.WaitForFrames(1, kWaitMs)) << client_->Stderr();
  // Joining the network resets the list to UNICOM.
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return ListItems() == kUnicomAlone; })) << ListItems();

  // The controller program calls, logs in and waits long before its next record.
  ChildProcess tower(TK_CONTROLLER_BINARY, tree_.Path(), {},
                     {"--connect", std::to_string(listeningPort_), "--callsign", "LFPG_TWR", "--frequency", "118",
                      "250", "--atis", "Information K, runway 27", "--step", "600000"});
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return ListItems() == kUnicomRebuilt + kTowerListed; }))
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
  ASSERT_TRUE(WaitUntil(kWaitMs, [&] { return ListItems() == kUnicomRebuilt + kTowerListed + kApproachListed; }))
      << ListItems();

  Ask("click 7055 7211");
  ASSERT_TRUE(Shows("window 7003 visible=1"));
  Ask("select 7003 7027 1");
  Ask("key SHIFT down");
  Ask("command 7003 13");
  Ask("key SHIFT up");
  EXPECT_TRUE(Shows("Atis of LFPG_TWR : Information K, runway 27"));
  EXPECT_TRUE(Shows("window 7003 visible=1")) << "the ATIS leaves the list open";

  ASSERT_TRUE(approach.SendAtis("Approach, information L"));
  ASSERT_TRUE(Shows("Controller LFPG_APP has set a new ATIS")) << client_->Stderr();
  Ask("select 7003 7027 2");
  Ask("key SHIFT down");
  Ask("command 7003 13");
  Ask("key SHIFT up");
  EXPECT_TRUE(Shows("Atis of LFPG_APP : Approach, information L"));

  Ask("select 7003 7027 1");
  Ask("command 7003 13");
  EXPECT_TRUE(Shows("COM1 -> 118.250 Mhz"));
  EXPECT_TRUE(Shows("window 7003 visible=0")) << "tuning while connected closes the list";

  // The program drops: the other controller stays.
  tower.Signal(SIGKILL);
  EXPECT_TRUE(WaitUntil(kWaitMs, [&] { return ListItems() == kUnicomRebuilt + kApproachFirst; }))
      << ListItems() << client_->Stderr();
  // The last one logs out: UNICOM alone.
  ASSERT_TRUE(approach.SendLogout());
  EXPECT_TRUE(WaitUntil(kWaitMs, [&] { return ListItems() == kUnicomAlone; })) << ListItems() << client_->Stderr();

  Quit();
}

}  // namespace
