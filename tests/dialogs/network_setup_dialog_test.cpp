// The network setup dialog on a real settings file and real loopback ports:
// what it shows of the slots, the site kind, the tabs keeping what was typed,
// the port fields' defaults, Save's keys and its rebinding of the listening
// socket, a port already taken, and its key commands.
#include "dialogs/network_setup_dialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "base/klib_settings.h"
#include "core/app_paths.h"
#include "core/settings.h"
#include "dialogs/chat_dialog.h"
#include "net/listener.h"
#include "net/web_task_way.h"
#include "support/child_process.h"
#include "support/free_port.h"
#include "support/klib_fixture.h"
#include "testbed/loopback_peer.h"
#include "win/control_base.h"
#include "win/dialog_items.h"
#include "win/dialog_template.h"
#include "win/edit_ctrl.h"
#include "win/focus.h"
#include "win/ipaddress_ctrl.h"
#include "win/richedit.h"
#include "win/msgbox.h"
#include "win/paint.h"
#include "win/tab_ctrl.h"
#include "win/winsock.h"

namespace {

namespace id = netsetup_control;

std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

bool Accepts(std::uint16_t port) {
  LoopbackClient client;
  return client.Connect(port);
}

class NetworkSetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetKlibForTest();
    InstallDialogTemplates();
    ClearShownMessageBoxes();
    if (const char* text = std::getenv("TK_PORTMAP")) savedPortMap_ = text;
    // Port fields that fall back to the default bind a free port instead.
    defaultPort_ = FreeLoopbackPort();
    ASSERT_NE(defaultPort_, 0);
    setenv("TK_PORTMAP", ("55009=" + std::to_string(defaultPort_)).c_str(), 1);
    ReloadPortMapForTest();
    g_appPaths().settingsFile = folder_.Path() + "/Tavelkor.ini";
  }
  void TearDown() override {
    dialog_.reset();
    CloseListeningSocket();
    if (savedPortMap_) {
      setenv("TK_PORTMAP", savedPortMap_->c_str(), 1);
    } else {
      unsetenv("TK_PORTMAP");
    }
    ReloadPortMapForTest();
    ClearShownMessageBoxes();
    std::ofstream(g_appPaths().settingsFile, std::ios::trunc);
    LoadNetworkSettings();
  }

  void WriteSettings(const std::string& text) {
    std::ofstream(g_appPaths().settingsFile, std::ios::binary | std::ios::trunc) << text;
  }
  // The dialog made from the file, as at start-up (hidden): the settings are read first.
  void Make() {
    LoadNetworkSettings();
    dialog_ = std::make_unique<CNetworkSetup>();
    ASSERT_TRUE(dialog_->Create(kNetworkSetupTemplate));
  }
  void MakeShown() {
    ASSERT_NO_FATAL_FAILURE(Make());
    dialog_->ShowWindow(SW_SHOW);
    ASSERT_TRUE(dialog_->IsWindowVisible());
  }
  // The own port listening, as the program's start-up leaves it.
  void ListenOn(std::uint16_t port) {
    g_networkSettings.orvenaPort = port;
    ASSERT_EQ(CreateListeningSocket(port), 0);
  }
  std::string Text(int control) {
    char buffer[512] = {};
    GetDlgItemTextA(dialog_->m_hWnd, control, buffer, sizeof buffer);
    return buffer;
  }
  // Typed as the pilot types: the field's change notice follows.
  void Type(int control, const std::string& text) {
    const HWND field = dialog_->GetDlgItem(control)->m_hWnd;
    SendMessageA(field, EM_SETSEL, 0, -1);
    SendMessageA(field, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
  }
  // Its own visibility, whether or not the dialog is shown.
  bool Shown(int control) {
    return (GetWindowLongA(dialog_->GetDlgItem(control)->m_hWnd, GWL_STYLE) & WS_VISIBLE) != 0;
  }
  CTabCtrl& Tabs() { return *dynamic_cast<CTabCtrl*>(dialog_->GetDlgItem(id::kSlotTabs)); }
  // A click on tab `index`, as the automation's select gives it.
  void PickTab(int index) {
    ASSERT_NE(SendMessageA(Tabs().m_hWnd, ControlSelectMessage(), static_cast<WPARAM>(index), 0), 0);
  }
  CIPAddressCtrl& Address(int control) { return *dynamic_cast<CIPAddressCtrl*>(dialog_->GetDlgItem(control)); }
  std::string Ini() { return FileBytes(g_appPaths().settingsFile); }
  bool IniHas(const std::string& line) { return Ini().find(line + "\r\n") != std::string::npos; }
  void Save() { dialog_->SendMessage(WM_COMMAND, IDOK, 0); }

  TempFolder folder_;
  std::optional<std::string> savedPortMap_;
  std::uint16_t defaultPort_ = 0;
  std::unique_ptr<CNetworkSetup> dialog_;
};

TEST(NetworkSetupFields, APortFieldFallsBackToItsDefaultOutsideOneTo65535) {
  const struct {
    const char* text;
    std::uint16_t port;
  } cases[] = {{"0", 777},  {"70000", 777}, {"65536", 777}, {"abc", 777}, {"12ab", 777}, {"", 777},
               {"-5", 777}, {"1", 1},       {"65535", 65535}, {" 1234 ", 1234}, {"55010", 55010}};
  for (const auto& c : cases) EXPECT_EQ(PortFromText(c.text, 777), c.port) << '"' << c.text << '"';
}

TEST(NetworkSetupFields, OnlyFourDottedNumbersUpTo255AreAnAddress) {
  EXPECT_EQ(ParseDottedAddress("192.168.0.2"), MAKEIPADDRESS(192, 168, 0, 2));
  EXPECT_EQ(ParseDottedAddress("0.0.0.0"), 0u);
  for (const char* text : {"", "192.168.0", "192.168.0.256", "1.2.3.4.5", "a.b.c.d", "1..2.3", "1.2.3.4 "}) {
    EXPECT_FALSE(ParseDottedAddress(text).has_value()) << text;
  }
}

TEST(NetworkSetupFields, TheSixEditsTakeTheChatInputColoursAndNothingElseDoes) {
  ResetKlibForTest();
  for (bool night : {false, true}) {
    const ChatControlColours input = ChatColoursFor(kChatInputId, night, Klib());
    for (int control : {id::kOwnPort, id::kSimLinkPort, id::kWebsite, id::kPagePath, id::kPilotId, id::kPassword}) {
      const ChatControlColours got = NetworkSetupColoursFor(control, night, Klib());
      EXPECT_TRUE(got.own) << control;
      EXPECT_EQ(got.background, input.background) << control;
      EXPECT_EQ(got.text, input.text) << control;
    }
    for (int control : {id::kSlotTabs, id::kResult, id::kLanAddress, 1}) {
      EXPECT_FALSE(NetworkSetupColoursFor(control, night, Klib()).own) << control;
    }
  }
}

TEST_F(NetworkSetupTest, TheEditsArePaintedInTheChatInputLinesColoursByDayAndByNight) {
  ASSERT_NO_FATAL_FAILURE(MakeShown());
  for (const int night : {0, 1}) {
    SCOPED_TRACE(night);
    g_nightFlag = night;
    const ChatControlColours input = ChatColoursFor(kChatInputId, night != 0, Klib());
    for (int control : {id::kOwnPort, id::kWebsite, id::kPassword}) {
      CWnd* edit = dialog_->GetDlgItem(control);
      ASSERT_NE(edit, nullptr) << control;
      edit->Invalidate();
      UpdateWindow(edit->m_hWnd);
      const std::optional<win::ControlColours> painted = win::PaintedControlColours(edit->m_hWnd);
      ASSERT_TRUE(painted.has_value()) << control;
      EXPECT_EQ(painted->text, input.text) << control;
      EXPECT_EQ(painted->background, input.background) << control;
      EXPECT_NE(painted->brush, 0u) << control;
    }
  }
  g_nightFlag = 0;
}

TEST_F(NetworkSetupTest, ItShowsTheCurrentNetworkThePortsAndTheAddressesFromTheFile) {
  WriteSettings(
      "[NETWORK]\r\nOrvenaPortNumber=55100\r\nXplaneDllPortNumber=55200\r\nLanIpAddress=192.168.1.20\r\n"
      "NCSSLanIpAddress=\r\n[NETWORK.0]\r\nWebsite=www.example.org\r\nPagePath=/h.php\r\nPilotID=pilot7\r\n"
      "PilotPW=secret\r\n[NETWORK.1]\r\nWebsite=other.example.org\r\n");
  ASSERT_NO_FATAL_FAILURE(Make());
  EXPECT_EQ(Text(id::kOwnPort), "55100");
  EXPECT_EQ(Text(id::kSimLinkPort), "55200");
  EXPECT_EQ(Text(id::kWebsite), "www.example.org");
  EXPECT_EQ(Text(id::kPagePath), "/h.php");
  EXPECT_EQ(Text(id::kPilotId), "pilot7");
  EXPECT_EQ(Text(id::kPassword), "secret");
  EXPECT_EQ(Text(id::kResult), "www.example.org/h.php");
  EXPECT_EQ(Text(id::kLoginPrompt), "Enter the ID and password for www.example.org");
  EXPECT_TRUE(Shown(id::kPagePath));
  EXPECT_TRUE(Shown(id::kPagePathHelp));
  EXPECT_EQ(Address(id::kLanAddress).ContentText(), "192.168.1.20");
  EXPECT_TRUE(Address(id::kNodeLanAddress).IsBlank());
  EXPECT_EQ(Tabs().Labels(), (std::vector<std::string>{"1", "2", "3", "4", "5", "6"}));
  EXPECT_EQ(Tabs().GetCurSel(), 0);
  EXPECT_EQ(dialog_->SlotOnScreen(), 0);
  EXPECT_TRUE(dialog_->GetDlgItem(id::kSimLinkPort)->IsWindowEnabled());
}

TEST_F(NetworkSetupTest, ADirectSiteShowsTheDirectConnectionAndHidesThePagePath) {
  WriteSettings("[NETWORK.0]\r\nWebsite=192.168.0.2:55000\r\nPagePath=/h.php\r\n");
  ASSERT_NO_FATAL_FAILURE(Make());
  EXPECT_EQ(Text(id::kResult), kDirectConnectionText);
  EXPECT_FALSE(Shown(id::kPagePath));
  EXPECT_FALSE(Shown(id::kPagePathHelp));
}

TEST_F(NetworkSetupTest, TypingASiteSwitchesBetweenDirectAndWebsiteOnlyWhileShown) {
  WriteSettings("[NETWORK.0]\r\nWebsite=localhost\r\nPagePath=/h.php\r\n");
  ASSERT_NO_FATAL_FAILURE(Make());
  Type(id::kWebsite, "192.168.0.2:55000");
  EXPECT_EQ(Text(id::kResult), "localhost/h.php") << "hidden: nothing follows the typing";

  dialog_->ShowWindow(SW_SHOW);
  Type(id::kWebsite, "192.168.0.2:55000");
  EXPECT_EQ(Text(id::kResult), kDirectConnectionText);
  EXPECT_FALSE(Shown(id::kPagePath));
  EXPECT_FALSE(Shown(id::kPagePathHelp));

  Type(id::kWebsite, "www.example.org");
  Type(id::kPagePath, "/connect.php");
  EXPECT_EQ(Text(id::kResult), "www.example.org/connect.php");
  EXPECT_EQ(Text(id::kLoginPrompt), "Enter the ID and password for www.example.org");
  EXPECT_TRUE(Shown(id::kPagePath));
  EXPECT_TRUE(Shown(id::kPagePathHelp));

  // Until Save the network in use is the one in the file.
  const NetworkSlot current = CurrentNetworkSlot();
  EXPECT_STREQ(current.website.data(), "localhost");
  EXPECT_STREQ(current.pagePath.data(), "/h.php");
  EXPECT_FALSE(g_networkSettings.directAddress.load());
  EXPECT_EQ(HubListText(), "");
}

TEST_F(NetworkSetupTest, SwitchingTabsKeepsWhatWasTypedInEachSlot) {
  WriteSettings("[NETWORK.2]\r\nWebsite=third.example.org\r\nPagePath=/3.php\r\nPilotID=three\r\nPilotPW=pw3\r\n");
  ASSERT_NO_FATAL_FAILURE(MakeShown());
  Type(id::kWebsite, "first.example.org");
  Type(id::kPagePath, "/1.php");
  Type(id::kPilotId, "one");
  Type(id::kPassword, "pw1");

  PickTab(2);
  EXPECT_EQ(dialog_->SlotOnScreen(), 2);
  EXPECT_EQ(Text(id::kWebsite), "third.example.org");
  EXPECT_EQ(Text(id::kPagePath), "/3.php");
  EXPECT_EQ(Text(id::kPilotId), "three");
  EXPECT_EQ(Text(id::kPassword), "pw3");
  EXPECT_EQ(Text(id::kResult), "third.example.org/3.php");

  PickTab(0);
  EXPECT_EQ(dialog_->SlotOnScreen(), 0);
  EXPECT_EQ(Text(id::kWebsite), "first.example.org");
  EXPECT_EQ(Text(id::kPagePath), "/1.php");
  EXPECT_EQ(Text(id::kPilotId), "one");
  EXPECT_EQ(Text(id::kPassword), "pw1");
}

TEST_F(NetworkSetupTest, TheFieldsTakeNoMoreThanTheirKeysHold) {
  ASSERT_NO_FATAL_FAILURE(MakeShown());
  Type(id::kPilotId, std::string(20, 'i'));
  Type(id::kPassword, std::string(20, 'p'));
  Type(id::kWebsite, std::string(300, 'w'));
  EXPECT_EQ(Text(id::kPilotId), std::string(15, 'i'));
  EXPECT_EQ(Text(id::kPassword), std::string(15, 'p'));
  EXPECT_EQ(Text(id::kWebsite), std::string(255, 'w'));
}

TEST_F(NetworkSetupTest, SaveWritesEverySlotAndMakesTheSlotOnScreenTheCurrentNetwork) {
  WriteSettings("[NETWORK.0]\r\nWebsite=localhost\r\nPagePath=/h.php\r\nPilotID=pilot7\r\nPilotPW=secret\r\n");
  ASSERT_NO_FATAL_FAILURE(ListenOn(defaultPort_));
  ASSERT_NO_FATAL_FAILURE(MakeShown());
  PickTab(3);
  Type(id::kWebsite, "192.168.0.2:55000");
  Type(id::kPilotId, "four");
  Type(id::kPassword, "pw4");
  Save();

  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_TRUE(IniHas("[NETWORK.0]\r\nWebsite=localhost\r\nPagePath=/h.php\r\nPilotID=pilot7\r\nPilotPW=secret"));
  EXPECT_TRUE(IniHas("[NETWORK.3]\r\nWebsite=192.168.0.2:55000\r\nPagePath= \r\nPilotID=four\r\nPilotPW=pw4"));
  for (int slot : {1, 2, 4, 5}) EXPECT_TRUE(IniHas("[NETWORK." + std::to_string(slot) + "]")) << slot;

  const NetworkSlot current = CurrentNetworkSlot();
  EXPECT_STREQ(current.website.data(), "192.168.0.2:55000");
  EXPECT_STREQ(current.pilotId.data(), "four");
  EXPECT_STREQ(current.pilotPassword.data(), "pw4");
  EXPECT_TRUE(g_networkSettings.directAddress.load());
  EXPECT_EQ(HubListText(), "192.168.0.2:55000");
  // The servers of the menu connect with what was saved, not with the start-up copy.
  ActivateNetworkSlot(0);
  ActivateNetworkSlot(3);
  EXPECT_STREQ(CurrentNetworkSlot().pilotId.data(), "four");

  // A website slot on screen clears the direct connection again.
  dialog_->ShowWindow(SW_SHOW);
  PickTab(0);
  Save();
  EXPECT_STREQ(CurrentNetworkSlot().website.data(), "localhost");
  EXPECT_FALSE(g_networkSettings.directAddress.load());
  EXPECT_EQ(HubListText(), "");
}

TEST_F(NetworkSetupTest, SaveWritesTheAddressesDottedAndEmptiesABlankOne) {
  WriteSettings("[NETWORK]\r\nLanIpAddress=10.0.0.1\r\nNCSSLanIpAddress=10.0.0.2\r\n");
  ASSERT_NO_FATAL_FAILURE(ListenOn(defaultPort_));
  ASSERT_NO_FATAL_FAILURE(MakeShown());
  Address(id::kLanAddress).SetAddress(192, 168, 1, 20);
  Address(id::kNodeLanAddress).ClearAddress();
  SetDlgItemInt(dialog_->m_hWnd, id::kOwnPort, defaultPort_, FALSE);
  Save();
  EXPECT_TRUE(IniHas("LanIpAddress=192.168.1.20"));
  EXPECT_TRUE(IniHas("NCSSLanIpAddress="));
  std::lock_guard guard(SettingsTextLock());
  EXPECT_STREQ(g_networkSettings.lanIpAddress.data(), "192.168.1.20");
  EXPECT_STREQ(g_networkSettings.ncssLanIpAddress.data(), "");
}

TEST_F(NetworkSetupTest, PortFieldsOutsideTheirRangeAreSavedAsTheirDefaults) {
  for (const char* typed : {"0", "70000", "port"}) {
    SCOPED_TRACE(typed);
    WriteSettings("[NETWORK]\r\nOrvenaPortNumber=" + std::to_string(defaultPort_) + "\r\n");
    ASSERT_NO_FATAL_FAILURE(ListenOn(defaultPort_));
    ASSERT_NO_FATAL_FAILURE(MakeShown());
    Type(id::kOwnPort, typed);
    Type(id::kSimLinkPort, typed);
    Save();
    EXPECT_FALSE(dialog_->IsWindowVisible());
    EXPECT_TRUE(IniHas("OrvenaPortNumber=55009"));
    EXPECT_TRUE(IniHas("XplaneDllPortNumber=55007"));
    EXPECT_EQ(g_networkSettings.orvenaPort.load(), 55009);
    EXPECT_EQ(g_networkSettings.xplaneDllPort.load(), 55007);
    EXPECT_EQ(ListeningPort(), defaultPort_) << "55009, where the test's port map puts it";
    dialog_.reset();
    CloseListeningSocket();
  }
}

TEST_F(NetworkSetupTest, SaveMovesTheListeningSocketToTheNewPort) {
  const std::uint16_t oldPort = FreeLoopbackPort();
  const std::uint16_t newPort = FreeLoopbackPort();
  ASSERT_NE(oldPort, 0);
  ASSERT_NE(newPort, 0);
  WriteSettings("[NETWORK]\r\nOrvenaPortNumber=" + std::to_string(oldPort) + "\r\n");
  ASSERT_NO_FATAL_FAILURE(ListenOn(oldPort));
  ASSERT_NO_FATAL_FAILURE(MakeShown());
  ASSERT_TRUE(Accepts(oldPort));
  Type(id::kOwnPort, std::to_string(newPort));
  Type(id::kSimLinkPort, "55300");
  Save();

  EXPECT_TRUE(ShownMessageBoxes().empty());
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_TRUE(Accepts(newPort));
  EXPECT_FALSE(Accepts(oldPort));
  EXPECT_EQ(g_networkSettings.orvenaPort.load(), newPort);
  EXPECT_TRUE(IniHas("OrvenaPortNumber=" + std::to_string(newPort)));
  EXPECT_TRUE(IniHas("XplaneDllPortNumber=55300"));
}

TEST_F(NetworkSetupTest, APortInUseKeepsThePreviousPortListeningAndTheDialogOpen) {
  const std::uint16_t oldPort = FreeLoopbackPort();
  ASSERT_NE(oldPort, 0);
  LoopbackServer taken;
  ASSERT_TRUE(taken.Ok());
  WriteSettings("[NETWORK]\r\nOrvenaPortNumber=" + std::to_string(oldPort) + "\r\nXplaneDllPortNumber=55007\r\n");
  ASSERT_NO_FATAL_FAILURE(ListenOn(oldPort));
  ASSERT_NO_FATAL_FAILURE(MakeShown());
  Type(id::kOwnPort, std::to_string(taken.Port()));
  Type(id::kWebsite, "saved.example.org");
  Save();

  bool told = false;
  for (const MessageBoxRecord& box : ShownMessageBoxes()) {
    if (box.title == "Ports Error") {
      EXPECT_EQ(box.text, "Failed initializing TCP sockets with port " + std::to_string(taken.Port()) + ".");
      told = true;
    }
  }
  EXPECT_TRUE(told);
  EXPECT_TRUE(dialog_->IsWindowVisible());
  EXPECT_TRUE(IsListening());
  EXPECT_EQ(ListeningPort(), oldPort);
  EXPECT_TRUE(Accepts(oldPort));
  EXPECT_EQ(g_networkSettings.orvenaPort.load(), oldPort);
  EXPECT_TRUE(IniHas("OrvenaPortNumber=" + std::to_string(oldPort))) << "the ports are not written";
  EXPECT_TRUE(IniHas("[NETWORK.0]\r\nWebsite=saved.example.org")) << "the slots are";
}

TEST_F(NetworkSetupTest, TheKeyCommandsSelectMoveTheFocusSaveAndCancel) {
  ASSERT_NO_FATAL_FAILURE(ListenOn(defaultPort_));
  ASSERT_NO_FATAL_FAILURE(MakeShown());
  Type(id::kPilotId, "pilot7");
  CEdit* login = dynamic_cast<CEdit*>(dialog_->GetDlgItem(id::kPilotId));
  login->SetSel(0, 0);
  dialog_->SendMessage(WM_COMMAND, 0, id::kPilotId);
  int start = -1;
  int end = -1;
  login->GetSel(start, end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 6);

  SetFocus(login->m_hWnd);
  dialog_->SendMessage(WM_COMMAND, 9, 0);
  EXPECT_EQ(GetFocus(), GetNextDlgTabItem(dialog_->m_hWnd, login->m_hWnd, FALSE));
  EXPECT_NE(GetFocus(), login->m_hWnd);

  dialog_->SendMessage(WM_COMMAND, 27, 0);
  EXPECT_FALSE(dialog_->IsWindowVisible()) << "ESC cancels";
  EXPECT_FALSE(IniHas("[NETWORK.0]"));

  dialog_->ShowWindow(SW_SHOW);
  dialog_->SendMessage(WM_COMMAND, 13, 0);
  EXPECT_FALSE(dialog_->IsWindowVisible()) << "ENTER saves";
  EXPECT_TRUE(IniHas("[NETWORK.0]"));
}

TEST_F(NetworkSetupTest, EscapePressedInAFieldReachesTheDialogAsItsKeyCommand) {
  ASSERT_NO_FATAL_FAILURE(MakeShown());
  const HWND field = dialog_->GetDlgItem(id::kWebsite)->m_hWnd;
  MSG other{field, WM_KEYDOWN, 'A', 0};
  EXPECT_FALSE(dialog_->PreTranslateMessage(&other));
  EXPECT_TRUE(dialog_->IsWindowVisible());
  MSG escape{field, WM_KEYDOWN, 27, 0};
  EXPECT_TRUE(dialog_->PreTranslateMessage(&escape));
  EXPECT_FALSE(dialog_->IsWindowVisible());
}

}  // namespace
