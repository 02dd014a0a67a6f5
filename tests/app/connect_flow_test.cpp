// The Connect flow inside one process: the main dialog after its start-up,
// the network slot, the login fields, a direct node address served by the
// hub stand-in, leaving the session and the quit step.
#include "app/connect_flow.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "core/app_paths.h"
#include "app/main_class.h"
#include "app/main_dialog.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "app/quit_steps.h"
#include "core/settings.h"
#include "dialogs/chat_dialog.h"
#include "net/frame_codes.h"
#include "net/listener.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "net/orv_sok.h"
#include "net/peer_ways.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "testbed/node_server.h"
#include "win/clock.h"
#include "win/dialog_template.h"
#include "main_dialog_fixture.h"
#include "win/msgbox.h"
#include "win/richedit.h"

namespace {

constexpr int kWaitMs = 10'000;

bool WaitFor(int timeoutMs, const std::function<bool()>& done) {
  for (int waited = 0; waited <= timeoutMs; waited += 10) {
    if (done()) return true;
    Sleep(10);
  }
  return false;
}

bool BoxShown(const std::string& title, const std::string& text) {
  for (const auto& box : ShownMessageBoxes())
    if (box.title == title && box.text == text) return true;
  return false;
}

class ConnectFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BeginMainDialogTest(tree_));
    InstallDialogTemplates();
    dialog_ = std::make_unique<CFSClientDlg>();
    ASSERT_EQ(dialog_->Create(kMainDialogTemplate, nullptr), TRUE);
    g_networkSettings.orvenaPort = 0;
    g_networkSettings.xplaneDllPort = 1;  // nothing answers there: the session is opened by hand
    TickTo(1);
    ASSERT_TRUE(g_startupDone.load());
  }

  void TearDown() override {
    FinishMainDialogTest(dialog_);
    SetDialogTemplateLoader(nullptr);
  }

  void TickTo(std::uint32_t n) {
    while (dialog_->TickCount() < n) dialog_->OneSecondTick();
  }
  void Tick() { dialog_->OneSecondTick(); }

  // Slot 0 of the settings file, loaded as the start-up would.
  void WriteSlot(const std::string& website, const std::string& callsign = "TEST01") {
    const char* file = g_appPaths().settingsFile.c_str();
    WriteSettingString("NETWORK.0", "Website", website.c_str(), file);
    WriteSettingString("NETWORK.0", "PagePath", "/h.php", file);
    WriteSettingString("NETWORK.0", "PilotID", "pilot7", file);
    WriteSettingString("NETWORK.0", "PilotPW", "secret", file);
    WriteSettingString("FLIGHT PLAN", "CallSign", callsign.c_str(), file);
    LoadNetworkSettings(file);
  }

  std::string ChatText() {
    CCchatDlg* chat = dialog_->Chat();
    return chat != nullptr && chat->Output() != nullptr ? chat->Output()->Text() : std::string();
  }

  TempFolder tree_;
  std::unique_ptr<CFSClientDlg> dialog_;
};

TEST_F(ConnectFlowTest, RefusedAttemptsLeaveNothingInProgress) {
  // No slot chosen yet.
  OnConnectButton();
  EXPECT_FALSE(g_connecting.load());
  EXPECT_EQ(ConnectionBitmap(), kBitmapOffline);

  EXPECT_EQ(ConnectToNetwork(-1), -10);
  EXPECT_EQ(ConnectToNetwork(6), -10);

  WriteSlot("localhost");
  EXPECT_EQ(ConnectToNetwork(0), -20);
  EXPECT_TRUE(BoxShown("Tavelkor Information",
                       "You must be connected to multiplayer session before joining the network."));
  OnConnectButton();
  EXPECT_FALSE(g_connecting.load()) << "a refused press never leaves the next one to disconnect";

  g_sessionOpen = true;
  WriteSlot(" ");
  EXPECT_EQ(ConnectToNetwork(0), -30);
  EXPECT_TRUE(BoxShown("Tavelkor Information", "You must fill and setup your network informations before connecting."));

  WriteSlot("localhost", "");
  ASSERT_EQ(ConnectToNetwork(0), 0);
  OnConnectButton();
  EXPECT_NE(ChatText().find("Can not connect you because : Pilot callsign field should be filled."), std::string::npos);
  EXPECT_FALSE(g_connecting.load());
  EXPECT_EQ(ConnectionBitmap(), kBitmapOffline);
  EXPECT_EQ(NodeWayObject(), nullptr);
}

TEST_F(ConnectFlowTest, AnAttemptEndedQuietlyLetsTheNextPressConnect) {
  WriteSlot("localhost");
  g_sessionOpen = true;
  ASSERT_EQ(ConnectToNetwork(0), 0);
  OnConnectButton();
  ASSERT_TRUE(g_connecting.load());
  // The node refused the login: the way leaves quietly, as after an old server.
  DisconnectQuietly();
  EXPECT_EQ(ConnectionBitmap(), kBitmapOffline);
  EXPECT_FALSE(g_connecting.load());
  OnConnectButton();
  EXPECT_TRUE(g_connecting.load()) << "the press after the refusal connects again";
  EXPECT_EQ(g_hubListCountdown.load(), 50);
}

TEST_F(ConnectFlowTest, TheUnicomReminderSparesAPilotTunedToItOnASelectedRadio) {
  const std::string tail =
      "Transponder must be switched in Charlie once one the runway (click Dash button).\r\n\r\nBefore take-off, "
      "please submit a flight plan.\r\n\r\n\r\nHappy landings Captain !";
  const std::string full =
      "The official UNICOM frequency is 123.000 Mhz\r\n\r\nPlease tune it on one of your radios and pay attention "
      "to the voice messages that you might receive.\r\n\r\n" + tail;
  struct Case {
    const char* com1;
    const char* com2;
    bool com1Selected;
    bool com2Selected;
    bool both;
    bool tuned;
  };
  // The radios' texts are written "%.2f": the UNICOM text "123.000" is compared as a number.
  const Case cases[] = {
      {"123.00", "119.10", true, false, false, true},  {"119.10", "123.00", false, true, false, true},
      {"119.10", "123.00", true, false, false, false}, {"119.10", "123.00", false, false, true, true},
      {"123.00", "119.10", false, true, false, false}, {"122.80", "121.50", true, true, true, false},
      {"", "", true, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.com1) + " " + c.com2);
    OwnWorkingCopies working;
    std::string_view(c.com1).copy(working.com1.data(), working.com1.size() - 1);
    std::string_view(c.com2).copy(working.com2.data(), working.com2.size() - 1);
    working.com1Selected = c.com1Selected ? 1 : 0;
    working.com2Selected = c.com2Selected ? 1 : 0;
    working.bothSelected = c.both ? 1 : 0;
    g_ownAircraft().SetWorkingCopies(working);
    ClearShownMessageBoxes();
    OnConnectButton();
    EXPECT_EQ(BoxShown("Information on ORVENA", tail), c.tuned);
    EXPECT_EQ(BoxShown("Information on ORVENA", full), !c.tuned);
  }
  g_ownAircraft().Reset();
}

TEST_F(ConnectFlowTest, PressingConnectDuringTheHubListFetchCancelsIt) {
  g_sessionOpen = true;
  WriteSlot("localhost");
  ASSERT_EQ(ConnectToNetwork(0), 0);
  OnConnectButton();
  EXPECT_TRUE(g_connecting.load());
  EXPECT_EQ(g_hubListCountdown.load(), 50) << "a retry in 50 s when the page does not answer";

  OnConnectButton();
  EXPECT_EQ(g_hubListCountdown.load(), 0);
  EXPECT_FALSE(g_connecting.load());
  EXPECT_EQ(ConnectionBitmap(), kBitmapOffline);
  EXPECT_NE(ChatText().find(" Canceled."), std::string::npos);
  for (int second = 0; second < 60; ++second) Tick();
  EXPECT_EQ(g_hubListCountdown.load(), 0);
  EXPECT_EQ(NodeWayObject(), nullptr);
}

TEST_F(ConnectFlowTest, ADirectNodeAddressLogsInWithoutTheWebPageAndLeavesWithOneLogout) {
  NodeServer node;
  ASSERT_TRUE(node.Ok());
  g_sessionOpen = true;
  WriteSlot("127.0.0.1:" + std::to_string(node.Port()));
  ASSERT_EQ(ConnectToNetwork(0), 0);
  OnConnectButton();
  EXPECT_TRUE(g_connecting.load()) << ChatText();
  EXPECT_EQ(ConnectionBitmap(), kBitmapConnecting);
  EXPECT_EQ(g_reconnectCountdown.load(), 1);
  EXPECT_EQ(g_hubListCountdown.load(), 0) << "no hub list is fetched for a direct node";

  Tick();  // the reconnect countdown reaches 0: the node way connects
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return node.LoginsAnswered() == 1; }));
  ASSERT_TRUE(WaitFor(kWaitMs, [&] {
    dialog_->ProcessDelayedEvents();
    return g_networkState.load() == 2;
  }));
  EXPECT_EQ(ConnectionBitmap(), kBitmapConnected);
  EXPECT_FALSE(g_connecting.load());

  // A second press while logged in disconnects: one logout reaches the node.
  OnConnectButton();
  EXPECT_EQ(g_networkState.load(), 0u);
  LeaveMultiplayerSession();
  ASSERT_TRUE(WaitFor(kWaitMs, [&] {
    for (const Frame& frame : node.Frames())
      if (frame.header.type == NCSMSG_LOGOUT) return true;
    return false;
  }));
  ASSERT_TRUE(node.WaitForLinkEnd(kWaitMs));
  std::size_t logouts = 0;
  for (const Frame& frame : node.Frames()) logouts += frame.header.type == NCSMSG_LOGOUT ? 1 : 0;
  EXPECT_EQ(logouts, 1u);
}

TEST_F(ConnectFlowTest, TheQuitStepDisconnectsTheNodeWithoutALogout) {
  NodeServer node;
  ASSERT_TRUE(node.Ok());
  g_sessionOpen = true;
  WriteSlot("127.0.0.1:" + std::to_string(node.Port()));
  ASSERT_EQ(ConnectToNetwork(0), 0);
  OnConnectButton();
  Tick();
  ASSERT_TRUE(WaitFor(kWaitMs, [&] {
    dialog_->ProcessDelayedEvents();
    return g_networkState.load() == 2;
  }));

  CloseAllPeerLinks();
  EXPECT_EQ(g_networkState.load(), 0u);
  LeaveMultiplayerSession();
  // A logout could only travel on that link: once it has ended, every frame it carried is read.
  ASSERT_TRUE(node.WaitForLinkEnd(kWaitMs));
  for (const Frame& frame : node.Frames()) EXPECT_NE(frame.header.type, NCSMSG_LOGOUT);
}

}  // namespace
