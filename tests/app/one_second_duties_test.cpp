// The main dialog's periodic duties after its start-up: countdowns, the
// reports to the node, the traffic figures, the pilot and controller count,
// the bell, the transmit lamp and the joystick poll; the first state of the
// way table; the accepted-call trust checks; the leaving of the session.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <utility>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app_globals.h"
#include "core/app_paths.h"
#include "app/connect_flow.h"
#include "voice/voice_system.h"
#include "app/main_class.h"
#include "app/main_dialog.h"
#include "dialogs/dashboard_dialog.h"
#include "dialogs/main_setup_dialog.h"
#include "win/dialog_items.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/own_position.h"
#include "core/settings.h"
#include "core/sim_family.h"
#include "core/thread_end_hooks.h"
#include "core/ui_messages.h"
#include "base/klib_settings.h"
#include "base/trusted_addresses.h"
#include "dialogs/atc_list_dialog.h"
#include "dialogs/sim2sim_dialog.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/voice_settings_dialog.h"
#include "main_dialog_fixture.h"
#include "net/owner_slot.h"
#include "net/frame_codes.h"
#include "net/listener.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "net/orv_sok.h"
#include "net/peer_ways.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/own_aircraft_poll.h"
#include "sim/plugin_link.h"
#include "support/child_process.h"
#include "testbed/loopback_peer.h"
#include "testbed/node_server.h"
#include "win/bitmap_resource.h"
#include "win/button_ctrl.h"
#include "win/clock.h"
#include "win/dialog_template.h"
#include "win/joystick.h"
#include "win/listbox_ctrl.h"
#include "win/msgbox.h"
#include "win/richedit.h"
#include "win/sound.h"
#include "win/static_ctrl.h"
#include "win/window_pos.h"

namespace {

constexpr int kWaitMs = 10'000;
constexpr std::uint32_t kPilotLeave = 32928;

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

std::size_t FramesOf(const NodeServer& node, std::uint8_t type, std::uint8_t subCode) {
  std::size_t count = 0;
  for (const Frame& frame : node.Frames()) count += frame.header.type == type && frame.header.subCode == subCode;
  return count;
}

std::size_t Heartbeats(const NodeServer& node) { return FramesOf(node, kNcsMsgHeaderOnly, 0); }
std::size_t ShortInfos(const NodeServer& node) { return FramesOf(node, NCSMSG_PILOT, 'R'); }
std::size_t CockpitReports(const NodeServer& node) { return FramesOf(node, NCSMSG_PILOT, 'S'); }

// A way of the table that records the thread messages it is posted.
class ProbeWay : public COrvSok {
 public:
  explicit ProbeWay(std::int32_t wayId) : COrvSok(nullptr, wayId, "[PROBE]", 1) {}
  ~ProbeWay() override {
    RequestStop(0);
    WaitForEnd(5000);
  }
  bool Start() {
    return InitBuffers(nullptr, SOCK_MODE_TCP, 4096, 4096, 4096, 4096) >= 0 && StartThread(1, 0) >= 0;
  }
  void MarkConnected(bool connected) { SetConnected(connected); }
  DWORD ProcessMessage(const DMessage& message) override {
    if (message.id == THRDMSG_LOGOUT || message.id == kPilotLeave) {
      std::lock_guard lock(mutex_);
      ids_.push_back(message.id);
      return 1;
    }
    return COrvSok::ProcessMessage(message);
  }
  std::vector<std::uint32_t> Ids() {
    std::lock_guard lock(mutex_);
    return ids_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::uint32_t> ids_;
};

// A caller from a chosen loopback address (127.0.0.1 is always trusted, the
// rest of 127/8 only when listed).
class CallerFrom {
 public:
  CallerFrom(const char* source, std::uint16_t port) {
    socket_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, source, &from.sin_addr);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = socket_ >= 0 && bind(socket_, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
                 connect(socket_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
  }
  ~CallerFrom() {
    if (socket_ >= 0) close(socket_);
  }
  bool Connected() const { return connected_; }
  // The far side closed the link within the wait.
  bool ClosedWithin(int timeoutMs) {
    pollfd wait{socket_, POLLIN, 0};
    char byte = 0;
    return poll(&wait, 1, timeoutMs) == 1 && recv(socket_, &byte, 1, MSG_DONTWAIT) <= 0;
  }

 private:
  int socket_ = -1;
  bool connected_ = false;
};

class DutiesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BeginMainDialogTest(tree_));
    InstallDialogTemplates();
    PrepareSettings();
    dialog_ = std::make_unique<CFSClientDlg>();
    ASSERT_EQ(dialog_->Create(kMainDialogTemplate, nullptr), TRUE);
    g_networkSettings.orvenaPort = 0;
    g_networkSettings.xplaneDllPort = 1;  // nothing answers there
    Tick();
    ASSERT_TRUE(g_startupDone.load());
  }

  void TearDown() override {
    g_networkState = 0;
    g_bellCountdown = 0;
    g_inCockpitReporting = false;
    g_transmitLampCountdown = 0;
    g_autoConnectCountdown = 0;
    g_inactivityCountdown = kInactivitySeconds;
    g_setupSettings.enableSoundOnPrivateMsg = setting_default::kEnableSoundOnPrivateMsg;
    g_setupSettings.enableWeather = setting_default::kEnableWeather;
    SetOwnOnGround(true);
    FinishMainDialogTest(dialog_);
    SetDialogTemplateLoader(nullptr);
  }

  virtual void PrepareSettings() {}

  void Tick(int count = 1) {
    for (int i = 0; i < count; ++i) dialog_->OneSecondTick();
  }

  std::string Text(int id) {
    std::string text;
    if (CWnd* control = dialog_->GetDlgItem(id)) control->GetWindowText(text);
    return text;
  }

  // Logs in to a node stand-in through a numeric Website.
  void LogIn(NodeServer& node) {
    g_sessionOpen = true;
    const char* file = g_appPaths().settingsFile.c_str();
    WriteSettingString("NETWORK.0", "Website", ("127.0.0.1:" + std::to_string(node.Port())).c_str(), file);
    WriteSettingString("NETWORK.0", "PilotID", "pilot7", file);
    WriteSettingString("NETWORK.0", "PilotPW", "secret", file);
    WriteSettingString("FLIGHT PLAN", "CallSign", "TEST01", file);
    LoadNetworkSettings(file);
    ASSERT_EQ(ConnectToNetwork(0), 0);
    OnConnectButton();
    Tick();
    ASSERT_TRUE(WaitFor(kWaitMs, [&] {
      dialog_->ProcessDelayedEvents();
      return g_networkState.load() == 2;
    }));
    ASSERT_TRUE(WaitFor(kWaitMs, [&] { return NodeWayObject() != nullptr && NodeWayObject()->LoginAccepted(); }));
  }

  // Everything the node way was posted before this has reached the node.
  // (A server-message answer: nothing else sends one.)
  void SyncWithNode(NodeServer& node) {
    const std::size_t before = FramesOf(node, NCSMSG_STANDARD, kStandardServerAnswer);
    CBaseThread::Post(Klib().mainThread, NodeWayObject(), THRDMSG_SERVER_ANSWER, 1, 0, "TEST");
    ASSERT_TRUE(WaitFor(kWaitMs, [&] { return FramesOf(node, NCSMSG_STANDARD, kStandardServerAnswer) == before + 1; }));
  }

  TempFolder tree_;
  std::unique_ptr<CFSClientDlg> dialog_;
};

TEST_F(DutiesTest, EveryWayRecordStartsAsAnOlderPeerWithoutAnAiObject) {
  WayTableGuard guard;
  for (const WayRecord& record : WayTable()) {
    EXPECT_EQ(record.simulatorCode, 2004);
    EXPECT_EQ(record.controllerReportInterval, 2);
    EXPECT_EQ(record.aiObjectId, -1);
  }
}

TEST_F(DutiesTest, ReportsGoToTheNodeEveryThirtyOneSecondsFromTheThirdAfterTheLogin) {
  NodeServer node;
  ASSERT_TRUE(node.Ok());
  LogIn(node);
  Tick();
  EXPECT_EQ(Text(7106), "0p  0a") << "the count is the user's sign that the login is complete";
  g_hubRefreshCounter = 0;
  const struct {
    int ticks;
    std::size_t reports;
  } steps[] = {{1, 0}, {1, 1}, {30, 1}, {1, 2}, {31, 3}};
  std::size_t baseline = Heartbeats(node);
  for (const auto& step : steps) {
    SCOPED_TRACE(step.ticks);
    Tick(step.ticks);
    SyncWithNode(node);
    EXPECT_EQ(Heartbeats(node) - baseline, step.reports);
    EXPECT_EQ(ShortInfos(node), step.reports);
  }
}

TEST_F(DutiesTest, TheBellRingsOnEvenValuesAndReportsOnlyWithInCockpitReporting) {
  struct Case {
    const char* name;
    bool onGround;
    bool sound;
    bool cockpit;
    std::uint32_t bell;
    int ticks;
    int rings;              // DING.WAV plays
    std::uint32_t bellLeft;
    std::int32_t inactivityLeft;
    std::uint32_t reportCounter;  // after the ticks (no node way: nothing resets it)
  };
  const Case cases[] = {
      {"on the ground nothing counts", true, true, true, 4, 3, 0, 4, 100, 7},
      {"in the air, sound on", false, true, false, 4, 4, 2, 0, 96, 7},
      {"odd start", false, true, false, 3, 3, 2, 0, 97, 7},
      {"sound off", false, false, false, 4, 4, 0, 0, 96, 7},
      {"in-cockpit reporting", false, false, true, 5, 1, 0, 4, 99, 30},
      {"countdown never below zero", false, true, false, 0, 3, 0, 0, 0, 7},
  };
  const std::string ding = g_appPaths().bellSound;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_networkState = 2;
    SetOwnOnGround(c.onGround);
    g_setupSettings.enableSoundOnPrivateMsg = c.sound ? 1 : 0;
    g_inCockpitReporting = c.cockpit;
    g_bellCountdown = c.bell;
    g_inactivityCountdown = c.inactivityLeft == 0 ? 1 : 100;
    g_reportCounter = 7;
    ClearPlayedSounds();
    for (int i = 0; i < c.ticks; ++i) dialog_->RunBellAndInactivity();
    int rings = 0;
    for (const PlayedSound& sound : PlayedSounds()) rings += sound.name == ding;
    EXPECT_EQ(rings, c.rings);
    EXPECT_EQ(g_bellCountdown.load(), c.bellLeft);
    EXPECT_EQ(g_inactivityCountdown.load(), c.inactivityLeft);
    EXPECT_EQ(g_reportCounter.load(), c.reportCounter);
  }
  EXPECT_EQ(Text(7108), "00:00");
}

TEST_F(DutiesTest, TheOwnAircraftIsOnTheGroundUntilThePluginSaysOtherwise) {
  EXPECT_TRUE(OwnOnGround());
  g_networkState = 2;
  g_inactivityCountdown = 50;
  Tick(3);
  EXPECT_EQ(g_inactivityCountdown.load(), 50);
  SetOwnOnGround(false);
  Tick(3);
  EXPECT_EQ(g_inactivityCountdown.load(), 47);
  EXPECT_EQ(Text(7108), "00:47");
}

TEST_F(DutiesTest, InCockpitBellPostsItsReportToTheNode) {
  NodeServer node;
  ASSERT_TRUE(node.Ok());
  LogIn(node);
  Tick();
  SetOwnOnGround(false);
  g_setupSettings.enableSoundOnPrivateMsg = 0;
  SyncWithNode(node);
  const std::size_t before = CockpitReports(node);
  g_bellCountdown = 2;
  Tick(2);  // reporting is off: the bell only blinks
  SyncWithNode(node);
  EXPECT_EQ(CockpitReports(node), before);
  g_inCockpitReporting = true;
  g_bellCountdown = 2;
  Tick(2);
  SyncWithNode(node);
  EXPECT_EQ(CockpitReports(node), before + 2);
}

TEST_F(DutiesTest, TrafficFiguresTakeTheNodeWaysCountersEveryFifthTick) {
  NodeServer node;
  ASSERT_TRUE(node.Ok());
  LogIn(node);
  CNodeWay* way = NodeWayObject();
  ASSERT_NE(way, nullptr);
  ASSERT_GT(way->BytesSent(), 0u);
  ASSERT_GT(way->BytesReceived(), 0u);
  const DWORD sent = way->BytesSent();
  const DWORD received = way->BytesReceived();
  dialog_->UpdateTrafficFigures();
  EXPECT_EQ(dialog_->LastTrafficFigures().sent, sent * 10u / 5u);
  EXPECT_EQ(dialog_->LastTrafficFigures().received, received * 10u / 5u);
  EXPECT_EQ(way->BytesSent(), 0u);
  EXPECT_EQ(way->BytesReceived(), 0u);
  dialog_->UpdateTrafficFigures();
  EXPECT_EQ(dialog_->LastTrafficFigures().sent, 0u);

  // From the fifth tick on, the figures follow the ticks that are multiples of 5.
  while (dialog_->TickCount() % 5 != 4) Tick();
  g_reportCounter = 0;
  SyncWithNode(node);  // counts some bytes again
  ASSERT_GT(way->BytesSent(), 0u);
  const DWORD again = way->BytesSent();
  Tick();
  EXPECT_EQ(dialog_->LastTrafficFigures().sent, again * 2u);
}

// A shown dashboard gets the figures in kilobytes: sent in 7112, received in 7113.
TEST_F(DutiesTest, AShownDashboardShowsTheTrafficFiguresSentFirst) {
  NodeServer node;
  ASSERT_TRUE(node.Ok());
  LogIn(node);
  CNodeWay* way = NodeWayObject();
  ASSERT_NE(way, nullptr);
  std::unique_ptr<CDashboardDlg> created;
  CDashboardDlg* dash = g_pDashboardDlg.load();
  if (dash == nullptr) {
    created = std::make_unique<CDashboardDlg>();
    ASSERT_TRUE(created->Create(kDashboardTemplate, dialog_.get()));
    g_pDashboardDlg = dash = created.get();
  }
  dash->ShowWindow(SW_SHOW);
  const DWORD sent = way->BytesSent();
  const DWORD received = way->BytesReceived();
  ASSERT_NE(sent, received) << "the two fields must tell apart";
  dialog_->UpdateTrafficFigures();
  const auto text = [dash](int id) {
    char buffer[32] = {};
    GetDlgItemTextA(dash->m_hWnd, id, buffer, sizeof buffer);
    return std::string(buffer);
  };
  const auto kilobytes = [](std::uint64_t bytes) {
    char buffer[32] = {};
    std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(bytes * 10 / 5) / 1024.0);
    return std::string(buffer);
  };
  EXPECT_EQ(text(kDashSentRateId), kilobytes(sent));
  EXPECT_EQ(text(kDashReceivedRateId), kilobytes(received));
  dash->ShowWindow(SW_HIDE);
  if (created) g_pDashboardDlg = nullptr;
}

TEST_F(DutiesTest, PilotsAndControllersAreCountedWhileLoggedIn) {
  g_networkState = 2;
  LoopbackClient call;
  ASSERT_TRUE(call.Connect(ListeningPort()));
  COrvSok* controller = PeerWayObject(0);
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return controller->IsConnected(); }));
  struct Case {
    const char* name;
    char kind0;
    char kind1;
    DWORD loggedIn1;
    std::uint32_t flags1;
    const char* text;
  };
  const Case cases[] = {
      {"nobody", 0, 0, 0, 0, "0p  0a"},
      {"a connected controller", 'A', 0, 0, 0, "0p  1a"},
      {"a logged-in pilot", 0, 'P', kWayLoggedIn, 0, "1p  0a"},
      {"a pilot not logged in", 0, 'P', 0, 0, "0p  0a"},
      {"a special pilot", 'A', 'P', kWayLoggedIn, kWayInvisible, "0p  1a"},
      {"an unconnected controller", 0, 'A', 0, 0, "0p  0a"},
  };
  COrvSok* second = PeerWayObject(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      WayTableGuard guard;
      WayTable()[0].peerKind = c.kind0;
      WayTable()[1].peerKind = c.kind1;
      WayTable()[1].stateFlags = c.flags1;
    }
    second->SetLoggedInBits(c.loggedIn1);
    Tick();
    EXPECT_EQ(Text(7106), c.text);
  }
  second->SetLoggedInBits(0);
  g_networkState = 0;
  WayTable()[0].peerKind = 0;
  {
    WayTableGuard guard;
    WayTable()[1].peerKind = 0;
    WayTable()[1].stateFlags = 0;
  }
  dialog_->GetDlgItem(7106)->SetWindowText("-- --");
  Tick();
  EXPECT_EQ(Text(7106), "-- --") << "off line the field is left alone";
}

TEST_F(DutiesTest, CountdownsActWhenTheyReachZero) {
  struct Case {
    const char* name;
    std::atomic<std::uint16_t>* countdown;
    std::uint16_t start;
    std::function<bool()> acted;
  };
  {
    std::lock_guard guard(SettingsTextLock());
    g_networkSettings.hubText = SettingText<kHubTextSize>("127.0.0.1:1");
  }
  g_networkSettings.directAddress = true;
  const Case cases[] = {
      {"auto-connect presses Connect", &g_autoConnectCountdown, 3,
       [] { return BoxShown("Information on ORVENA", std::string("The official UNICOM frequency is 123.000 Mhz") +
                                                          "\r\n\r\nPlease tune it on one of your radios and pay "
                                                          "attention to the voice messages that you might receive."
                                                          "\r\n\r\nTransponder must be switched in Charlie once one "
                                                          "the runway (click Dash button).\r\n\r\nBefore take-off, "
                                                          "please submit a flight plan.\r\n\r\n\r\nHappy landings "
                                                          "Captain !"); }},
      {"hub list asks for the node of a numeric site", &g_hubListCountdown, 2,
       [] { return g_reconnectCountdown.load() == 1 && ConnectionBitmap() == kBitmapConnecting; }},
      {"reconnect connects the node way", &g_reconnectCountdown, 3, [] { return NodeWayObject() != nullptr; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.countdown->store(c.start);
    for (int second = 1; second < c.start; ++second) {
      Tick();
      EXPECT_FALSE(c.acted()) << second;
    }
    Tick();
    EXPECT_TRUE(c.acted());
    EXPECT_EQ(c.countdown->load(), c.countdown == &g_reconnectCountdown ? 0 : c.countdown->load());
    g_reconnectCountdown = 0;
  }
}

TEST_F(DutiesTest, HubListIsRefreshedEvery151SecondsAndWeatherAskedEvery61) {
  const std::uint32_t simulator = g_ownSimulatorCode.load();
  g_ownSimulatorCode = 9000;  // as the program starts
  g_networkState = 2;
  g_hubRefreshCounter = 0;
  g_setupSettings.enableWeather = 0;  // first without the weather
  for (int second = 1; second <= 150; ++second) {
    Tick();
    ASSERT_EQ(g_hubListCountdown.load(), 0) << second;
  }
  Tick();
  EXPECT_EQ(g_hubListCountdown.load(), 2) << "a fresh hub list two seconds after the 151st";
  EXPECT_EQ(g_hubRefreshCounter.load(), 0u);
  EXPECT_EQ(dialog_->AutoWeatherCounter(), 0u);

  g_hubListCountdown = 0;
  g_networkState = 0;
  Tick();
  g_setupSettings.enableWeather = 1;
  g_networkState = 2;
  for (std::uint32_t second = 1; second <= 60; ++second) {
    Tick();
    ASSERT_EQ(dialog_->AutoWeatherCounter(), second);
  }
  Tick();
  EXPECT_EQ(dialog_->AutoWeatherCounter(), 0u) << "a weather request on the 61st second";
  g_networkState = 0;
  g_ownSimulatorCode = simulator;
}

TEST_F(DutiesTest, WeatherSwitchedOnInTheSetupIsAskedForAtTheNextTick) {
  MainConfigDlg* setup = g_pMainConfigDlg.load();
  ASSERT_NE(setup, nullptr);
  for (const bool switchedOn : {true, false}) {
    SCOPED_TRACE(switchedOn ? "switched on" : "left as it was");
    g_networkState = 0;
    Tick();
    setup->ShowWindow(SW_SHOW);
    auto* weather = dynamic_cast<CButton*>(setup->GetDlgItem(main_setup_id::kWeather));
    ASSERT_NE(weather, nullptr);
    if (switchedOn) {
      weather->SetCheck(BST_CHECKED);
      setup->SendMessage(WM_COMMAND, main_setup_id::kWeather, static_cast<LPARAM>(weather->m_hWnd));
    }
    weather->SetCheck(BST_CHECKED);
    setup->SendMessage(WM_COMMAND, main_setup_id::kSave, 0);
    const std::uint32_t before = dialog_->AutoWeatherCounter();
    g_networkState = 2;
    Tick();
    EXPECT_EQ(dialog_->AutoWeatherCounter(), switchedOn ? 0u : before + 1) << "a request resets the counter";
  }
  g_networkState = 0;
}

TEST_F(DutiesTest, ChatHidesItselfWhenItsAutoShowCountdownEnds) {
  CCchatDlg* chat = dialog_->Chat();
  // The start-up's threads (the plug-in link, voice) print on their own, and a print shows the
  // chat again: they end before the cases, and voice is not started again.
  DestroyConnectionWays();
  StopVoiceSystem();
  g_voiceStartCountdown = 0;
  const struct {
    const char* name;
    std::uint32_t flag;
    std::int32_t countdown;
    int ticksVisible;  // -1: stays visible
  } cases[] = {{"auto-show off", 0, 2, -1}, {"two seconds", 1, 2, 1}, {"at once", 1, 1, 0}, {"already out", 1, 0, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    chat->ShowWindow(SW_SHOW);
    chat->AutoShowFlag() = c.flag;
    chat->AutoHideCountdown() = c.countdown;
    for (int second = 0; second < 4; ++second) {
      Tick();
      EXPECT_EQ(chat->IsWindowVisible() != FALSE, c.ticksVisible < 0 || second < c.ticksVisible) << second;
    }
  }
  chat->AutoShowFlag() = 0;
}

TEST_F(DutiesTest, TheTickCounterWrapsToAThousandWithoutRunningTheStartUpAgain) {
  dialog_->Chat()->ShowWindow(SW_HIDE);
  dialog_->SetTickCountForTest(0xFFFF0000u - 1);
  Tick();
  EXPECT_EQ(dialog_->TickCount(), 0xFFFF0000u);
  Tick();
  EXPECT_EQ(dialog_->TickCount(), 1000u);
  Tick(1000);
  EXPECT_EQ(dialog_->TickCount(), 2000u);
  EXPECT_FALSE(dialog_->Chat()->IsWindowVisible()) << "the start-up shows the chat: it never ran again";
  EXPECT_TRUE(g_startupDone.load());
}

TEST_F(DutiesTest, TransmitLampShowsItsBitmapsInStatic7248) {
  auto* lamp = dynamic_cast<CStatic*>(dialog_->GetDlgItem(kTransmitLampId));
  ASSERT_NE(lamp, nullptr);
  g_transmitLampCountdown = 3;
  const std::optional<UINT> on = 7800;
  const std::optional<UINT> off = 7801;
  dialog_->TenthTick();
  EXPECT_EQ(BitmapResourceId(lamp->GetBitmap()), on);
  dialog_->TenthTick();
  EXPECT_EQ(BitmapResourceId(lamp->GetBitmap()), on);
  dialog_->TenthTick();
  EXPECT_EQ(BitmapResourceId(lamp->GetBitmap()), off);
  EXPECT_EQ(g_transmitLampCountdown.load(), 0);
  lamp->SetBitmap(0);
  dialog_->TenthTick();
  EXPECT_EQ(lamp->GetBitmap(), 0u) << "with the countdown at 0 the lamp is left alone";
}

TEST_F(DutiesTest, ConnectButtonStartsWithItsOwnTransparentColourAndSize) {
  CWnd* button = dialog_->GetDlgItem(7212);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(dialog_->ConnectionBitmapTransparent(), 0xFFFFFFu) << "the start-up's last step gives it white";
  SetWindowPos(button->m_hWnd, 0, 0, 0, 7, 9, SWP_NOMOVE | SWP_NOZORDER);
  ASSERT_EQ(dialog_->InitMainDialog(), 0);
  EXPECT_EQ(dialog_->ConnectionBitmapTransparent(), 0x0B57FEu);
  RECT rect{};
  GetWindowRect(button->m_hWnd, &rect);
  EXPECT_EQ(rect.right - rect.left, 40);
  EXPECT_EQ(rect.bottom - rect.top, 40);
  EXPECT_EQ(BitmapResourceId(dynamic_cast<CButton*>(button)->GetBitmap()), std::optional<UINT>(7095));
  SetConnectionBitmap(kConnectionConnected);
  EXPECT_EQ(dialog_->ConnectionBitmapTransparent(), 0xFFFFFFu) << "later pictures keep white transparent";
  SetConnectionBitmap(kConnectionOffline);
  EXPECT_EQ(dialog_->ConnectionBitmapTransparent(), 0xFFFFFFu);
}

TEST_F(DutiesTest, TransmitLampLoadsEachPictureOnce) {
  auto* lamp = dynamic_cast<CStatic*>(dialog_->GetDlgItem(kTransmitLampId));
  ASSERT_NE(lamp, nullptr);
  auto cycle = [&] {
    g_transmitLampCountdown = 2;
    dialog_->TenthTick();
    const HBITMAP on = lamp->GetBitmap();
    dialog_->TenthTick();
    return std::pair{on, lamp->GetBitmap()};
  };
  const auto first = cycle();
  const std::size_t live = LiveBitmapCount();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(cycle(), first);
  EXPECT_EQ(LiveBitmapCount(), live) << "no new picture per change";
  EXPECT_EQ(BitmapResourceId(first.first), std::optional<UINT>(7800));
  EXPECT_EQ(BitmapResourceId(first.second), std::optional<UINT>(7801));
}

TEST_F(DutiesTest, TheWindowButtonsAreShadedAndLocateNeedsAYoungEnoughSimulator) {
  for (int id : kShadedButtonIds) {
    SCOPED_TRACE(id);
    CShadeButtonST* button = dialog_->ShadedButton(id);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(dialog_->GetDlgItem(id), button) << "the template's button is the dialog's own";
    EXPECT_EQ(button->Kind(), "ownerdraw");
    EXPECT_EQ(button->ShadeImage(0).GetWidth(), 44u);
    EXPECT_EQ(button->ShadeImage(0).GetHeight(), 19u);
    EXPECT_EQ(button->GetImageAlignment(), CButtonST::ST_ALIGN_HORIZ);
  }
  const std::uint32_t simulator = g_ownSimulatorCode.load();
  CWnd* locate = dialog_->GetDlgItem(7219);
  locate->EnableWindow(TRUE);
  g_ownSimulatorCode = 2006;
  ASSERT_EQ(dialog_->InitMainDialog(), 0);
  EXPECT_TRUE(locate->IsWindowEnabled());
  g_ownSimulatorCode = 2005;
  ASSERT_EQ(dialog_->InitMainDialog(), 0);
  EXPECT_FALSE(locate->IsWindowEnabled());
  EXPECT_TRUE(dialog_->GetDlgItem(7201)->IsWindowEnabled());
  g_ownSimulatorCode = simulator;
}

TEST_F(DutiesTest, AShownWindowPaintsItsButtonsTextAndAHiddenOneRestoresTheColours) {
  const std::pair<UINT, int> windows[] = {{36768, 7201}, {36769, 7202}, {36770, 7211}, {36771, 7219}};
  for (const auto& [command, id] : windows) {
    SCOPED_TRACE(id);
    CShadeButtonST* button = dialog_->ShadedButton(id);
    ASSERT_NE(button, nullptr);
    dialog_->OnCommand(command, 1);
    for (BYTE index = 0; index < CButtonST::BTNST_MAX_COLORS; ++index) {
      COLORREF colour = 0;
      button->GetColor(index, &colour);
      EXPECT_EQ(colour, index % 2 == 1 ? RGB(92, 92, 255) : GetSysColor(COLOR_BTNFACE)) << int{index};
    }
    dialog_->OnCommand(command, 0);
    for (BYTE index = 0; index < CButtonST::BTNST_MAX_COLORS; ++index) {
      COLORREF colour = 0;
      button->GetColor(index, &colour);
      EXPECT_EQ(colour, GetSysColor(index % 2 == 1 ? COLOR_BTNTEXT : COLOR_BTNFACE)) << int{index};
    }
  }
}

TEST_F(DutiesTest, ConnectPicturesChangedOffTheUiThreadReachTheButton) {
  CButton* button = dynamic_cast<CButton*>(dialog_->GetDlgItem(7212));
  ASSERT_NE(button, nullptr);
  std::thread([] { SetConnectionBitmap(kConnectionConnected); }).join();
  MSG msg{};
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ(BitmapResourceId(button->GetBitmap()), std::optional<UINT>(7096));
  SetConnectionBitmap(kConnectionOffline);
  EXPECT_EQ(BitmapResourceId(button->GetBitmap()), std::optional<UINT>(7095));
}

TEST_F(DutiesTest, JoystickNumberIsReadOnceAndAgainOnlyWhenItIsWritten) {
  const std::string prefix = tree_.Path() + "/js";
  SetJoystickDevicePrefixForTest(prefix);
  {
    // One held button (number 2) on joystick 0.
    std::ofstream device(prefix + "0", std::ios::binary);
    const char press[8] = {0, 0, 0, 0, 1, 0, 0x01, 2};
    device.write(press, sizeof press);
  }
  g_joystickButtons = 0;
  const std::string& file = g_appPaths().settingsFile;
  {
    std::ofstream settings(file, std::ios::binary | std::ios::app);
    settings << "[SETUP]\r\nVoiceJoystickNumber=1\r\n";  // behind the program's back
  }
  dialog_->TenthTick();
  EXPECT_EQ(g_joystickButtons.load(), 0u) << "the 100-ms duty never reads the file";
  ASSERT_TRUE(WriteSettingInt("SETUP", "VoiceJoystickNumber", 1));
  dialog_->TenthTick();
  EXPECT_EQ(g_joystickButtons.load(), 1u << 2);
  ASSERT_TRUE(WriteSettingInt("setup", "voicejoysticknumber", 0));
  EXPECT_EQ(VoiceJoystickNumber(), 0);
  SetJoystickDevicePrefixForTest("");
  g_joystickButtons = 0;
}

// A joystick press becomes the voice button only while the voice settings are
// on screen; otherwise it is the pilot transmitting.
TEST_F(DutiesTest, TheJoystickPollGivesThePressToTheVoiceSettingsOnlyWhileTheyAreShown) {
  const std::string prefix = tree_.Path() + "/js";
  SetJoystickDevicePrefixForTest(prefix);
  {
    // One held button (number 2) on joystick 0.
    std::ofstream device(prefix + "0", std::ios::binary);
    const char press[8] = {0, 0, 0, 0, 1, 0, 0x01, 2};
    device.write(press, sizeof press);
  }
  ASSERT_TRUE(WriteSettingInt("SETUP", "VoiceJoystickNumber", 1));
  CVoiceSettingsDlg* voice = g_pVoiceSettingsDlg.load();
  ASSERT_NE(voice, nullptr);
  dialog_->TenthTick();
  EXPECT_EQ(g_joystickButtons.load(), 1u << 2);
  EXPECT_EQ(voice->JoystickMask(), 0u);
  voice->ShowWindow(SW_SHOW);
  dialog_->TenthTick();
  EXPECT_EQ(voice->JoystickMask(), 1u << 2);
  std::string shown;
  voice->GetDlgItem(kVoiceJoystickButtonId)->GetWindowText(shown);
  EXPECT_EQ(shown, "Button 3");
  voice->ShowWindow(SW_HIDE);
  SetJoystickDevicePrefixForTest("");
  g_joystickButtons = 0;
}

TEST_F(DutiesTest, LeavingTheSessionPostsEachWayWhatItsKindAndStateAsk) {
  struct Case {
    const char* name;
    char kind;
    bool connected;
    DWORD loggedIn;
    std::vector<std::uint32_t> posts;
  };
  const std::vector<Case> cases = {
      {"connected controller", 'A', true, 0, {THRDMSG_LOGOUT}},
      {"controller not connected", 'A', false, 0, {}},
      {"logged-in pilot", 'P', true, kWayLoggedIn, {kPilotLeave}},
      {"pilot not logged in", 'P', true, 0, {}},
      {"no kind", 0, true, kWayLoggedIn, {}},
  };
  std::vector<std::unique_ptr<ProbeWay>> probes;
  std::vector<COrvSok*> saved;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    auto probe = std::make_unique<ProbeWay>(static_cast<std::int32_t>(i));
    ASSERT_TRUE(probe->Start());
    probe->MarkConnected(cases[i].connected);
    probe->SetLoggedInBits(cases[i].loggedIn);
    WayTableGuard guard;
    saved.push_back(WayTable()[i].way);
    WayTable()[i].way = probe.get();
    WayTable()[i].peerKind = cases[i].kind;
    probes.push_back(std::move(probe));
  }
  g_networkState = 2;
  LeaveMultiplayerSession();
  EXPECT_EQ(g_networkState.load(), 0u);
  EXPECT_EQ(g_reportCounter.load(), 0u);
  LeaveMultiplayerSession();  // off line: nothing more is posted
  // A way's own test message comes after anything posted before it.
  for (auto& probe : probes) {
    CBaseThread::Post(Klib().mainThread, probe.get(), THRDMSG_LOGOUT, 1, 0, "TEST");
  }
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    ASSERT_TRUE(WaitFor(kWaitMs, [&] { return probes[i]->Ids().size() == cases[i].posts.size() + 1; }));
    std::vector<std::uint32_t> expected = cases[i].posts;
    expected.push_back(THRDMSG_LOGOUT);
    EXPECT_EQ(probes[i]->Ids(), expected);
  }
  WayTableGuard guard;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    WayTable()[i].way = saved[i];
    WayTable()[i].peerKind = 0;
  }
}

// The posted commands of the windows the test thread made.
void PumpTestThread() {
  MSG msg;
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

TEST_F(DutiesTest, TheControllerListIsMadeHiddenAndToggledByItsButtonAndMenuEntry) {
  CAtcListDlg* list = g_pAtcListDlg.load();
  ASSERT_NE(list, nullptr);
  EXPECT_FALSE(list->IsWindowVisible());
  for (const UINT command : {7211u, 32785u}) {
    SCOPED_TRACE(command);
    dialog_->SendMessage(WM_COMMAND, command, 0);
    EXPECT_TRUE(list->IsWindowVisible());
    dialog_->SendMessage(WM_COMMAND, command, 0);
    EXPECT_FALSE(list->IsWindowVisible());
  }
}

TEST_F(DutiesTest, TheControllerListIsToldOfEveryChangeOfTheOwnRadios) {
  CAtcListDlg* list = g_pAtcListDlg.load();
  ASSERT_NE(list, nullptr);
  PumpTestThread();
  const auto selectComPosts = [&] {
    int n = 0;
    MSG msg;
    while (PeekMessageA(&msg, list->m_hWnd, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_COMMAND && LOWORD(msg.wParam) == kAtcListSelectComCommand) ++n;
      DispatchMessageA(&msg);
    }
    return n;
  };
  g_networkState = 2;
  MarkOwnAircraftReported();
  Tick(3);
  EXPECT_EQ(selectComPosts(), 0) << "the radios as the login gave them";
  for (const char* frequency : {"118.30", "121.80"}) {
    g_ownAircraft().Update([&](OwnAircraftSnapshot& own) {
      CopyToField(own.radios.com1, frequency);
      own.working.com1 = own.radios.com1;
    });
    Tick();
    EXPECT_EQ(selectComPosts(), 1) << frequency;
  }
  Tick(3);
  EXPECT_EQ(selectComPosts(), 0);
  g_ownAircraft().Reset();
  ResetOwnAircraftPoll();
}

TEST_F(DutiesTest, TheOffsetsWindowIsMadeHiddenAndToggledByItsMenuEntry) {
  CSim2SimDlg* offsets = g_pSim2SimDlg.load();
  ASSERT_NE(offsets, nullptr);
  EXPECT_FALSE(offsets->IsWindowVisible());
  ResetLocalSimulatorFamily();
  ClearShownMessageBoxes();
  dialog_->SendMessage(WM_COMMAND, 32856, 0);
  EXPECT_FALSE(offsets->IsWindowVisible()) << "no simulator known yet";
  EXPECT_EQ(ShownMessageBoxes().size(), 1U);
  TakeInstalledSimulatorCode(10000);
  dialog_->SendMessage(WM_COMMAND, 32856, 0);
  EXPECT_TRUE(offsets->IsWindowVisible());
  dialog_->SendMessage(WM_COMMAND, 32856, 0);
  EXPECT_FALSE(offsets->IsWindowVisible());
  ResetLocalSimulatorFamily();
  ClearShownMessageBoxes();
}

TEST_F(DutiesTest, TheOffsetsWindowsTabsFollowTheSimulatorTheHandshakeNames) {
  CSim2SimDlg* offsets = g_pSim2SimDlg.load();
  ASSERT_NE(offsets, nullptr);
  for (const auto& [code, last] : {std::pair{10000u, "XP9"}, std::pair{9000u, "XP10"}}) {
    TakeInstalledSimulatorCode(code);
    dialog_->SendMessage(UIMSG_SIMULATOR_IDENTIFIED, 0, 0);
    ASSERT_EQ(offsets->TabCount(), 4U);
    EXPECT_EQ(offsets->TabAt(3).label, last) << code;
  }
  EXPECT_FALSE(offsets->IsWindowVisible());
  ResetLocalSimulatorFamily();
}

TEST_F(DutiesTest, TheControllerListIsRebuiltWhenItsCountdownEndsAndResetByJoiningAndLeaving) {
  CAtcListDlg* list = g_pAtcListDlg.load();
  ASSERT_NE(list, nullptr);
  auto* box = dynamic_cast<CListBox*>(list->GetDlgItem(kAtcListBoxId));
  ASSERT_NE(box, nullptr);
  const std::vector<std::string> unicomAlone = {"UNICOM\t123.000\tUnknown\tS1\t"};
  PumpTestThread();
  ASSERT_TRUE(box->Items().empty());
  g_atcListRebuildCountdown = 2;
  Tick();
  PumpTestThread();
  EXPECT_TRUE(box->Items().empty());
  Tick();
  PumpTestThread();
  EXPECT_EQ(box->Items(), unicomAlone);

  struct Case {
    const char* name;
    std::function<void()> step;
  };
  const Case cases[] = {{"joining", [] { OnMultiplayerConnected(); }},
                        {"leaving", [] { LeaveMultiplayerSession(); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    box->AddString("STALE_TWR\t118.000\tTWR\tS1\t");
    c.step();
    PumpTestThread();
    EXPECT_EQ(box->Items(), unicomAlone);
  }
}

class TrustedStartTest : public DutiesTest {
 protected:
  void PrepareSettings() override {
    std::ofstream settings(g_appPaths().settingsFile, std::ios::binary | std::ios::app);
    settings << "[TRUSTED]\r\nIP0=127.0.0.3\r\n";
  }
};

TEST_F(TrustedStartTest, AddressesOfTheSettingsAreTrustedAfterTheStart) {
  in_addr listed{};
  inet_pton(AF_INET, "127.0.0.3", &listed);
  EXPECT_EQ(IsTrustedAddress(listed.s_addr, 0), 1);
}

TEST_F(TrustedStartTest, AnAcceptedCallStaysOnlyFromATrustedAddress) {
  ASSERT_TRUE(IsListening());
  CallerFrom trusted("127.0.0.3", ListeningPort());
  ASSERT_TRUE(trusted.Connected());
  COrvSok* way = PeerWayObject(0);
  ASSERT_TRUE(WaitFor(kWaitMs, [&] { return way->IsConnected(); }));
  // Two test messages in a row: the second is handled after the call's own check.
  for (int round = 1; round <= 2; ++round) {
    dialog_->Chat()->Output()->SetWindowText("");
    CBaseThread::Post(Klib().mainThread, way, THRDMSG_WAY_TEST, static_cast<std::uint32_t>(round), 0, "TEST");
    ASSERT_TRUE(WaitFor(kWaitMs, [&] {
      return dialog_->Chat()->Output()->Text().find("[* 0] is number 0") != std::string::npos;
    }));
  }
  EXPECT_TRUE(way->IsConnected());
  EXPECT_FALSE(trusted.ClosedWithin(0));

  const struct {
    const char* source;
  } untrusted[] = {{"127.0.0.2"}, {"127.0.0.4"}};
  for (const auto& c : untrusted) {
    SCOPED_TRACE(c.source);
    CallerFrom caller(c.source, ListeningPort());
    ASSERT_TRUE(caller.Connected());
    EXPECT_TRUE(caller.ClosedWithin(kWaitMs));
  }
  EXPECT_FALSE(trusted.ClosedWithin(0));
}

// MainClass, the main worker.
TEST_F(DutiesTest, MainWorkerAnswersItsTestLineAndReportsUnknownMessages) {
  const struct {
    std::uint32_t id;
    const char* line;
  } cases[] = {{0xAEE0, "\tMainClass : Test OK."}, {0x8123, "\tError PM on MainClass, message 291."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    dialog_->Chat()->Output()->SetWindowText("");
    CBaseThread::Post(nullptr, g_pMainThread, c.id, 0, 0, "TEST");
    std::string text;
    EXPECT_TRUE(WaitFor(kWaitMs, [&] {
      text = dialog_->Chat()->Output()->Text();
      return text.find(c.line + 1) != std::string::npos;
    })) << text;
  }
}

TEST_F(DutiesTest, TheNodeWaysEndClearsItsGlobal) {
  {
    std::lock_guard guard(SettingsTextLock());
    g_networkSettings.hubText = SettingText<kHubTextSize>("127.0.0.1:1");
  }
  g_networkSettings.directAddress = true;
  ConnectToNode();
  CBaseThread* node = LoadOwnerSlot(g_porvNode);
  ASSERT_NE(node, nullptr);
  node->RequestStop(0);
  EXPECT_TRUE(WaitFor(kWaitMs, [] { return LoadOwnerSlot(g_porvNode) == nullptr; }));
  g_networkSettings.directAddress = false;
}

TEST_F(DutiesTest, ShutdownEndsTheMainWorkerWithItsCode) {
  MainClass* worker = g_pMainThread;
  CBaseThread::Post(nullptr, worker, THRDMSG_SHUTDOWN, 0, 0, "TEST");
  ASSERT_TRUE(worker->WaitForEnd(kWaitMs));
  EXPECT_EQ(worker->ExitCode(), kMainClassShutdownExitCode);
  EXPECT_EQ(kMainClassShutdownExitCode, 37118u);
}

// The relay of the simulator's closing to the controller ways posts to them: it
// runs with the way table free, so that a way's full queue holds nobody else.
std::atomic<int> g_relayCalls{0};
std::atomic<bool> g_relayFoundTableFree{false};

TEST_F(DutiesTest, TheSimulatorClosingIsRelayedWithTheWayTableFree) {
  SetControllerRelay([](CBaseThread*, std::uint32_t id) {
    if (id != UIMSG_SIMULATOR_CLOSING) return;
    auto taken = std::make_shared<std::promise<void>>();
    std::future<void> done = taken->get_future();
    // Detached: when the table is held, it takes it once the relay returns.
    std::thread([taken] {
      WayTableGuard guard;
      taken->set_value();
    }).detach();
    g_relayFoundTableFree = done.wait_for(std::chrono::milliseconds(kWaitMs)) == std::future_status::ready;
    ++g_relayCalls;
  });
  g_relayCalls = 0;
  g_relayFoundTableFree = false;
  CBaseThread::Post(nullptr, g_pMainThread, UIMSG_SIMULATOR_CLOSING, 0, 0, "TEST");
  const bool relayed = WaitFor(2 * kWaitMs, [] { return g_relayCalls.load() == 1; });
  SetControllerRelay(nullptr);
  ASSERT_TRUE(relayed);
  EXPECT_TRUE(g_relayFoundTableFree.load()) << "the relay ran with the way table held";
}

TEST_F(DutiesTest, ConnectingPutsTheChatSelectionAtTheEnd) {
  CRichEditCtrl* output = dialog_->Chat()->Output();
  const struct {
    const char* name;
    std::function<void()> act;
  } cases[] = {
      {"the Connect button", [] { OnConnectButton(); }},
      {"the node connection", [] {
         {
           std::lock_guard guard(SettingsTextLock());
           g_networkSettings.hubText = SettingText<kHubTextSize>("127.0.0.1:1");
         }
         g_networkSettings.directAddress = true;
         ConnectToNode();
         g_networkSettings.directAddress = false;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    output->SetWindowText("some lines of the chat window");
    output->SetSel(0, 4);
    c.act();
    const long end = output->GetTextLength();
    EXPECT_EQ(output->Selection().cpMin, end);
    EXPECT_EQ(output->Selection().cpMax, end);
  }
}

// Initialisation that fails half-way.
enum class InitFault { kNoChat, kChatNotCreated, kNoWorker, kLibraryRefuses };

// A chat window whose creation fails: its initialisation ends the window.
class RefusingChatDialog : public CCchatDlg {
 public:
  BOOL OnInitDialog() override {
    DestroyWindow();
    return FALSE;
  }
};

class FailingMainDialog : public CFSClientDlg {
 public:
  static constexpr std::int32_t kLibraryCode = -10;
  explicit FailingMainDialog(InitFault fault) : fault_(fault) {}
  BOOL OnInitDialog() override {
    result = CFSClientDlg::OnInitDialog();
    return result;
  }
  BOOL result = -1;

 protected:
  std::unique_ptr<CCchatDlg> MakeChatDialog() override {
    if (fault_ == InitFault::kNoChat) return nullptr;
    if (fault_ == InitFault::kChatNotCreated) return std::make_unique<RefusingChatDialog>();
    return CFSClientDlg::MakeChatDialog();
  }
  MainClass* MakeMainThread() override {
    return fault_ == InitFault::kNoWorker ? nullptr : CFSClientDlg::MakeMainThread();
  }
  std::int32_t StartLibrary() override {
    return fault_ == InitFault::kLibraryRefuses ? kLibraryCode : CFSClientDlg::StartLibrary();
  }

 private:
  InitFault fault_;
};

// Takes every message waiting for this thread: true when a WM_QUIT was among them.
bool TakeQuitMessage() {
  MSG msg{};
  bool quit = false;
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE) != 0)
    if (msg.message == WM_QUIT) quit = true;
  return quit;
}

TEST(MainDialogFailures, EachFailurePathEndsInitialisationWithFalseAndItsBox) {
  const struct {
    const char* name;
    InitFault fault;
    const char* title;
    const char* text;
    bool chatKept;
    bool quits;
  } cases[] = {{"no chat", InitFault::kNoChat, "Tavelkor", "System Error TCHT1000", false, false},
               {"chat not created", InitFault::kChatNotCreated, "Tavelkor", "System Error TCHT1001", false, false},
               {"no main worker", InitFault::kNoWorker, "Warning", "Error creating pMainThrd.", true, false},
               {"library refuses", InitFault::kLibraryRefuses, "Tavelkor Error", "OPL -10", true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder tree;
    ASSERT_TRUE(BeginMainDialogTest(tree));
    TakeQuitMessage();
    auto dialog = std::make_unique<FailingMainDialog>(c.fault);
    dialog->Create(kMainDialogTemplate, nullptr);
    EXPECT_EQ(dialog->result, FALSE);
    EXPECT_FALSE(dialog->Initialised());
    EXPECT_TRUE(BoxShown(c.title, c.text));
    EXPECT_EQ(c.chatKept, dialog->Chat() != nullptr);
    EXPECT_EQ(c.quits, TakeQuitMessage());
    FinishMainDialogTest(dialog);
  }
}

}  // namespace
