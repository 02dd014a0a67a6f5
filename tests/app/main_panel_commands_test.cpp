// The main panel's commands, clicks, keys and window messages on a live dialog.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/app_globals.h"
#include "app/developer_flags.h"
#include "app/main_dialog.h"
#include "base/klib_settings.h"
#include "core/app_paths.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/settings.h"
#include "core/ui_messages.h"
#include "dialogs/atc_list_dialog.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/dashboard_dialog.h"
#include "dialogs/local_rules_dialog.h"
#include "dialogs/locate_dialog.h"
#include "dialogs/main_setup_dialog.h"
#include "dialogs/network_setup_dialog.h"
#include "dialogs/plane_path_dialog.h"
#include "dialogs/remote_rules_dialog.h"
#include "dialogs/type_chooser_dialog.h"
#include "sim/plugin_link.h"
#include "support/child_process.h"
#include "support/klib_fixture.h"
#include "support/wait_until.h"
#include "win/dialog_template.h"
#include "win/keys.h"
#include "win/menu.h"
#include "win/messages.h"
#include "win/mouse.h"
#include "win/msgbox.h"
#include "win/richedit.h"
#include "win/shell.h"
#include "win/system_metrics.h"
#include "win/window_pos.h"
#include "main_dialog_fixture.h"

namespace {
class MainPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BeginMainDialogTest(tree_));
    InstallDialogTemplates();
    ResetKeyStates();
    g_ownSimulatorCode = 9000;
    dialog_ = std::make_unique<CFSClientDlg>();
    ASSERT_EQ(dialog_->Create(kMainDialogTemplate, nullptr), TRUE);
    ASSERT_TRUE(dialog_->Initialised());
    ASSERT_EQ(dialog_->CreateDialogBoxes(), 1);
    g_networkSettings.orvenaPort = 0;
  }

  void TearDown() override {
    ResetKeyStates();
    SetDeveloperTracing(false);
    g_sessionOpen = false;
    g_inCockpitReporting = false;
    XPlaneLinkUp = false;
    g_ownSimulatorCode = 9000;
    FinishMainDialogTest(dialog_);
  }

  void Command(UINT id, WORD code = 0) { dialog_->SendMessage(WM_COMMAND, MAKELPARAM(id, code), 0); }
  // A click with these keys held for it alone.
  void Click(UINT id, std::initializer_list<int> keys = {}) {
    for (int key : keys) SetKeyState(key, true);
    dialog_->SendMessage(WM_COMMAND, MAKELPARAM(id, 0), 0);
    for (int key : keys) SetKeyState(key, false);
  }
  void Key(int vk) {
    MSG msg{};
    msg.hwnd = dialog_->m_hWnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = static_cast<WPARAM>(vk);
    dialog_->PreTranslateMessage(&msg);
  }
  std::string ChatText() const { return dialog_->Chat()->Output()->Text(); }
  bool ChatShows(const std::string& text) const {
    return WaitUntil(5000, [&] { return ChatText().find(text) != std::string::npos; });
  }
  std::string FieldText(int id) const {
    CWnd* field = dialog_->GetDlgItem(id);
    if (field == nullptr) return "<none>";
    std::string text;
    field->GetWindowText(text);
    return text;
  }

  TempFolder tree_;
  std::unique_ptr<CFSClientDlg> dialog_;
};

CWnd* WindowOf(UINT command) {
  switch (command) {
    case 32785:
    case 7211: return g_pAtcListDlg.load();
    case 32801: return g_pMainConfigDlg.load();
    case 32838: return g_pNetworkSetupDlg.load();
    case 32841: return g_pSelectPlaneDlg.load();
    case 32847:
    case 7219: return g_pLocateDlg.load();
    case 32852: return g_pPlaneOverriderDlg.load();
    case 32854: return g_pPlaneTypeAssignerDlg.load();
    case 32858: return g_pPlanePathDlg.load();
    case 7201: return g_pChatDlg.load();
    case 7202: return g_pDashboardDlg.load();
    default: return nullptr;
  }
}
}  // namespace

TEST_F(MainPanelTest, EachWindowCommandShowsThenHidesItsDialog) {
  for (UINT command : {32785u, 7211u, 32801u, 32838u, 32841u, 32847u, 7219u, 32852u, 32854u, 32858u, 7201u,
                       7202u}) {
    SCOPED_TRACE(command);
    CWnd* window = WindowOf(command);
    ASSERT_NE(window, nullptr);
    window->ShowWindow(SW_HIDE);
    Command(command);
    EXPECT_TRUE(window->IsWindowVisible());
    Command(command);
    EXPECT_FALSE(window->IsWindowVisible());
  }
}

TEST_F(MainPanelTest, LocateOpensOnlyFromCode2006AndNotOnADevelopersControlClick) {
  struct Case {
    std::uint32_t code;
    std::uint32_t traceMask;
    bool control;
    UINT command;
    bool shows;
  };
  const Case cases[] = {{9000, 0, false, 7219, true},   {2006, 0, false, 32847, true}, {2004, 0, false, 7219, false},
                        {2004, 0, false, 32847, false}, {9000, 1, true, 7219, false},  {9000, 1, false, 7219, true},
                        {9000, 0, true, 7219, true},    {9000, 1, true, 32847, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.code << " mask " << c.traceMask << " ctrl " << c.control << " " << c.command);
    g_ownSimulatorCode = c.code;
    g_traceMask = c.traceMask;
    g_pLocateDlg.load()->ShowWindow(SW_HIDE);
    if (c.control) Click(c.command, {VK_CONTROL});
    else Click(c.command);
    EXPECT_EQ(g_pLocateDlg.load()->IsWindowVisible() != FALSE, c.shows);
  }
}

TEST_F(MainPanelTest, ControlClickOnDashFlipsTheDebugFlagInsteadOfTheDashboard) {
  g_pDashboardDlg.load()->ShowWindow(SW_HIDE);
  Click(7202, {VK_CONTROL});
  EXPECT_TRUE(ChatShows("TEKA = 1.")) << ChatText();
  Click(7202, {VK_CONTROL});
  EXPECT_TRUE(ChatShows("TEKA = 0.")) << ChatText();
  EXPECT_FALSE(g_pDashboardDlg.load()->IsWindowVisible());
}

TEST_F(MainPanelTest, DeveloperSwitchesPrintTheirNewState) {
  Command(32820);
  EXPECT_TRUE(ChatShows("Trace #SB ON"));
  Command(32820);
  EXPECT_TRUE(ChatShows("Trace #SB OFF"));
  Command(32837);
  EXPECT_TRUE(ChatShows("Stream monitor ON"));
  EXPECT_TRUE(g_developerFlags().streamMonitor.load());
  Command(32837);
  EXPECT_TRUE(ChatShows("Stream monitor OFF"));
}

TEST_F(MainPanelTest, TrustedAddressesListTheFilesKeysAndNameTheFile) {
  ASSERT_TRUE(WriteSettingString("TRUSTED", "IP0", "10.1.2.3"));
  ASSERT_TRUE(WriteSettingString("TRUSTED", "IP7", "192.168.1.9"));
  Command(32774);
  const std::string tail = "You can add/remove more trusted IP addresses in section [TRUSTED] of your " +
                           g_appPaths().settingsFile;
  ASSERT_TRUE(ChatShows(tail)) << ChatText();
  const std::string text = ChatText();
  const std::size_t head = text.find("Trusted IP's :");
  ASSERT_NE(head, std::string::npos);
  EXPECT_LT(head, text.find("IP0=10.1.2.3"));
  EXPECT_LT(text.find("IP0=10.1.2.3"), text.find("IP7=192.168.1.9"));
  EXPECT_LT(text.find("IP7=192.168.1.9"), text.find(tail));
}

TEST_F(MainPanelTest, SettingsFileOpensWithTheShell) {
  SetShellLaunchEnabled(false);
  ClearShellRequests();
  Command(32817);
  const std::vector<ShellRequest> requests = ShellRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].file, g_appPaths().settingsFile);
  EXPECT_EQ(requests[0].verb, "");
  EXPECT_EQ(requests[0].show, SW_SHOWNORMAL);
}

TEST_F(MainPanelTest, AboutNamesTheSimulatorThePluginReported) {
  g_xplaneSimulatorCode = 10000;
  Command(32789);
  g_xplaneSimulatorCode = 0;
  EXPECT_NE(ChatText().find("\tSimulator is XP10, Tavelkor v11.0.4.B"), std::string::npos) << ChatText();
}

TEST_F(MainPanelTest, FoldAlternatesBetweenANarrowStripAndTheFirstSize) {
  RECT first{};
  GetWindowRect(dialog_->m_hWnd, &first);
  ASSERT_GT(first.right - first.left, 110);
  for (int round = 0; round < 2; ++round) {
    Click(7220);
    RECT r{};
    GetWindowRect(dialog_->m_hWnd, &r);
    EXPECT_EQ(r.right - r.left, 110);
    EXPECT_EQ(r.bottom - r.top, first.bottom - first.top);
    EXPECT_EQ(r.left, first.left);
    EXPECT_EQ(FieldText(7220), "...");
    Click(7220);
    GetWindowRect(dialog_->m_hWnd, &r);
    EXPECT_EQ(r, first);
    EXPECT_EQ(FieldText(7220), ".");
  }
}

TEST_F(MainPanelTest, CockpitClickRearmsTheCountdownAndTheReportCounter) {
  g_inactivityCountdown = 12;
  g_reportCounter = 3;
  Click(7108);
  EXPECT_EQ(g_inactivityCountdown.load(), kInactivitySeconds);
  EXPECT_EQ(g_reportCounter.load(), 30u);
}

TEST_F(MainPanelTest, HitTestRearmsTheCountdownAndDragsByAnyPoint) {
  RECT r{};
  GetWindowRect(dialog_->m_hWnd, &r);
  g_inactivityCountdown = 5;
  const LRESULT inside = dialog_->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(r.left + 3, r.top + 3));
  EXPECT_EQ(inside, HTCAPTION);
  EXPECT_EQ(g_inactivityCountdown.load(), kInactivitySeconds);
  g_inactivityCountdown = 5;
  dialog_->SendMessage(WM_EXITMENULOOP, 0, 0);
  EXPECT_EQ(g_inactivityCountdown.load(), kInactivitySeconds);
}

TEST_F(MainPanelTest, ClosingHidesThePanelOnlyWhileThePluginLinkIsUp) {
  dialog_->ShowWindow(SW_SHOW);
  XPlaneLinkUp = false;
  dialog_->SendMessage(WM_CLOSE, 0, 0);
  EXPECT_TRUE(dialog_->IsWindowVisible());
  XPlaneLinkUp = true;
  dialog_->SendMessage(WM_CLOSE, 0, 0);
  EXPECT_FALSE(dialog_->IsWindowVisible());
  EXPECT_FALSE(g_quitting.load());
}

TEST_F(MainPanelTest, AMoveOfTheVisiblePanelIsKeptAndRestored) {
  dialog_->ShowWindow(SW_SHOW);
  SetWindowPos(dialog_->m_hWnd, 0, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  const std::optional<WindowPosition> saved = ReadWindowPosition("Main");
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(saved->left, 40);
  EXPECT_EQ(saved->top, 60);
  RECT r{};
  GetWindowRect(dialog_->m_hWnd, &r);
  EXPECT_EQ(saved->right, r.right);
  EXPECT_EQ(saved->bottom, r.bottom);
  dialog_->ShowWindow(SW_HIDE);
  SetWindowPos(dialog_->m_hWnd, 0, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(ReadWindowPosition("Main")->left, 40) << "a hidden panel's moves are not kept";
}

TEST_F(MainPanelTest, RightClickTracksTheMenuOnceInitialised) {
  ClearTrackedMenus();
  SetTrackedMenuChoice(std::nullopt);
  dialog_->SendMessage(WM_CONTEXTMENU, dialog_->m_hWnd, MAKELPARAM(100, 120));
  const std::vector<TrackedMenu> tracked = TrackedMenus();
  ASSERT_EQ(tracked.size(), 1u);
  EXPECT_EQ(tracked[0].x, 100);
  EXPECT_EQ(tracked[0].y, 120);
  EXPECT_EQ(tracked[0].owner, dialog_->m_hWnd);
  EXPECT_EQ(tracked[0].flags, TPM_RIGHTBUTTON | TPM_RECURSE);
  EXPECT_EQ(tracked[0].menu.items.back().text, "Quit xTavelkor");
  EXPECT_EQ(LiveMenuCount(), 0u) << "the menu goes once tracked";
}

TEST(MainPanelBeforeInitialisation, RightClickBeepsAndTracksNothing) {
  CFSClientDlg dialog;
  ClearTrackedMenus();
  const std::size_t beeps = MessageBeepCount();
  dialog.WindowProc(WM_CONTEXTMENU, 0, MAKELPARAM(10, 10));
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  EXPECT_TRUE(TrackedMenus().empty());
}

TEST_F(MainPanelTest, DeveloperSequencesSwitchTracingAndInCockpitReporting) {
  auto type = [&](const char* keys) {
    Key(VK_PAUSE);
    for (const char* k = keys; *k != '\0'; ++k) Key(*k);
    Key(VK_RETURN);
  };
  type("TRACES");
  EXPECT_EQ(g_traceMask.load(), 0xFFFFFFFFu);
  EXPECT_EQ(Klib().traceMask.load(), 0xFFFFFFFFu);
  EXPECT_TRUE(g_developerFlags().protocolDebug.load());
  EXPECT_TRUE(g_developerFlags().linkDebug.load());
  dialog_->GetDlgItem(7108)->SetWindowText("34:59");
  type("CKPT");
  EXPECT_TRUE(g_inCockpitReporting.load());
  EXPECT_EQ(FieldText(7108), "CKPIT");
  EXPECT_EQ(g_traceMask.load(), 0xFFFFFFFFu) << "the cockpit sequence leaves tracing as it was";
  type("XYZ");
  EXPECT_EQ(g_traceMask.load(), 0u);
  EXPECT_FALSE(g_developerFlags().streamMonitor.load());
}

TEST_F(MainPanelTest, TheNearestPilotsAreListedOnlyWithTheSessionOpen) {
  const auto lists = [&] {
    const std::string text = ChatText();
    int n = 0;
    for (auto at = text.find("Pilots list"); at != std::string::npos; at = text.find("Pilots list", at + 1)) ++n;
    return n;
  };
  g_sessionOpen = false;
  Command(32796);
  Click(7106);
  g_sessionOpen = true;
  Command(32796);
  ASSERT_TRUE(ChatShows("Pilots list, sorted by distance :")) << ChatText();
  EXPECT_EQ(lists(), 1) << "nothing was listed before the session opened";
  Click(7106);
  EXPECT_TRUE(WaitUntil(5000, [&] { return lists() == 2; })) << ChatText();
  Click(7106, {VK_SHIFT});
  Click(7106, {VK_CONTROL});
  Command(32774);  // a print that follows the clicks
  ASSERT_TRUE(ChatShows("Trusted IP's :")) << ChatText();
  EXPECT_EQ(lists(), 2) << "a click with a key held lists nothing";
  g_sessionOpen = false;
}

TEST_F(MainPanelTest, DebugProtocolFlipsItsFlagAndSaysSo) {
  g_developerFlags().protocolDebug = false;
  Command(32780);
  EXPECT_TRUE(ChatShows("DBGP ON")) << ChatText();
  EXPECT_TRUE(g_developerFlags().protocolDebug.load());
  Command(32780);
  EXPECT_TRUE(ChatShows("DBGP OFF")) << ChatText();
  EXPECT_FALSE(g_developerFlags().protocolDebug.load());
}

TEST_F(MainPanelTest, APlainClickOnTheLinkStatusLeavesAnOpenSession) {
  g_sessionOpen = true;
  Click(7111);
  EXPECT_FALSE(g_sessionOpen.load());
}

TEST_F(MainPanelTest, ShiftTabTogglesThePanelOnlyWithTheSessionOpen) {
  dialog_->ShowWindow(SW_SHOW);
  SetKeyState(VK_SHIFT, true);
  Key(VK_TAB);
  EXPECT_TRUE(dialog_->IsWindowVisible()) << "session closed";
  g_sessionOpen = true;
  Key(VK_TAB);
  EXPECT_TRUE(WaitUntil(5000, [&] { return dialog_->IsWindowVisible() == FALSE; }));
  SetKeyState(VK_SHIFT, false);
}

TEST_F(MainPanelTest, CommandNineWithShiftHidesThePanel) {
  dialog_->ShowWindow(SW_SHOW);
  Command(9);
  EXPECT_TRUE(dialog_->IsWindowVisible());
  SetKeyState(VK_SHIFT, true);
  Command(9);
  SetKeyState(VK_SHIFT, false);
  EXPECT_FALSE(dialog_->IsWindowVisible());
  Command(13);
  EXPECT_FALSE(dialog_->IsWindowVisible());
}

TEST_F(MainPanelTest, TestMessagePrintsItsTwoNumbers) {
  dialog_->PostMessage(UIMSG_TEST, 3, 4);
  MSG msg{};
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE) != 0) {
    if (dialog_->PreTranslateMessage(&msg) == FALSE) DispatchMessageA(&msg);
  }
  EXPECT_TRUE(ChatShows("TESTINGX 3 / 4.")) << ChatText();
  ClearShownMessageBoxes();
  dialog_->PostMessage(0x812C, 0, 0);
  while (PeekMessageA(&msg, 0, 0, 0, PM_REMOVE) != 0) {
    if (dialog_->PreTranslateMessage(&msg) == FALSE) DispatchMessageA(&msg);
  }
  const auto boxes = ShownMessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].title, "Tavelkor Error");
  EXPECT_EQ(boxes[0].text, "Error PRN_00");
}

TEST_F(MainPanelTest, FieldsArePaintedInTheirColours) {
  struct Case {
    int id;
    std::function<void()> set;
    COLORREF text;
    COLORREF background;
  };
  const KlibSettings& k = Klib();
  const Case cases[] = {
      {7106, [] {}, k.Colour(kColourNormal), 0x34261E},
      {7107, [] {}, k.Colour(kColourEmphasis), 0x34261E},
      {7111, [] { XPlaneLinkUp = false; }, k.Colour(kColourError), 0x34261E},
      {7111, [] { XPlaneLinkUp = true; }, k.Colour(kColour25), 0x34261E},
      {7108, [] { g_bellCountdown = 0; }, k.Colour(kColour22), 0x34261E},
      {7108, [] { g_inCockpitReporting = true; }, k.Colour(kColour26), 0x34261E},
      {7108, [] { g_bellCountdown = 3; }, 0, k.Colour(kColourEmphasis)},
      {7108, [] { g_bellCountdown = 2; }, k.Colour(kColourEmphasis), 0x34261E},
  };
  const HDC dc = GetDC(dialog_->m_hWnd);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    c.set();
    const HBRUSH brush = dialog_->ControlColours(dc, dialog_->GetDlgItem(c.id)->m_hWnd);
    EXPECT_EQ(GetTextColor(dc), c.text);
    EXPECT_EQ(GetBkColor(dc), c.background);
    EXPECT_EQ(brush, c.background == 0x34261E ? g_brushes[3] : g_brushes[4]);
  }
  EXPECT_EQ(dialog_->ControlColours(dc, dialog_->GetDlgItem(7201)->m_hWnd), g_brushes[1]);
  ReleaseDC(dialog_->m_hWnd, dc);
  g_bellCountdown = 0;
}

TEST(MainPanelStart, LocateButtonIsDisabledBelowCode2006AndTheSavedPlaceIsTakenOrTheScreensCentre) {
  struct Case {
    std::uint32_t code;
    const char* positions;  // [POSITIONS] lines, or none
    bool locateEnabled;
    bool savedPlace;
  };
  const Case cases[] = {
      {9000, "MainPositionLeft=30\r\nMainPositionTop=40\r\nMainPositionRight=330\r\nMainPositionBottom=84\r\n", true,
       true},
      {2004, nullptr, false, false},
      {2006, "MainPositionLeft=30\r\nMainPositionTop=40\r\nMainPositionRight=10000\r\nMainPositionBottom=84\r\n",
       true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    TempFolder tree;
    ASSERT_TRUE(BeginMainDialogTest(tree));
    InstallDialogTemplates();
    if (c.positions != nullptr) {
      std::FILE* file = std::fopen(g_appPaths().settingsFile.c_str(), "ab");
      ASSERT_NE(file, nullptr);
      std::fprintf(file, "\r\n[POSITIONS]\r\n%s", c.positions);
      std::fclose(file);
    }
    g_ownSimulatorCode = c.code;
    auto dialog = std::make_unique<CFSClientDlg>();
    ASSERT_EQ(dialog->Create(kMainDialogTemplate, nullptr), TRUE);
    EXPECT_EQ(dialog->GetDlgItem(7219)->IsWindowEnabled() != FALSE, c.locateEnabled);
    RECT r{};
    GetWindowRect(dialog->m_hWnd, &r);
    if (c.savedPlace) {
      EXPECT_EQ(r.left, 30);
      EXPECT_EQ(r.top, 40);
      EXPECT_EQ(r.right - r.left, 300) << "the size stays the template's";
    } else {
      EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
      EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2);
    }
    g_ownSimulatorCode = 9000;
    FinishMainDialogTest(dialog);
  }
}

TEST_F(MainPanelTest, TypingInTheChatWhileOfflineBeeps) {
  const std::size_t beeps = MessageBeepCount();
  Command(7003, 0x300);
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  g_networkState = 2;
  Command(7003, 0x300);
  g_networkState = 0;
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
}

TEST_F(MainPanelTest, PlaneNameCommandPrintsTheOwnModelsTitle) {
  OwnModel model;
  const std::string title = "Aircraft\\Laminar\\C172.acf";
  std::copy(title.begin(), title.end(), model.title.begin());
  g_ownAircraft().SetModel(model);
  Command(32855);
  g_ownAircraft().Reset();
  EXPECT_NE(ChatText().find("\tYour actual plane name is : " + title), std::string::npos) << ChatText();
}
