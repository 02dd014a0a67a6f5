// The main panel's commands: its menu items, buttons and clickable fields.
#include <cstdio>
#include <string>

#include "app/about_text.h"
#include "app/app_globals.h"
#include "app/connect_flow.h"
#include "app/context_menu.h"
#include "app/debug_commands.h"
#include "app/developer_flags.h"
#include "app/main_dialog.h"
#include "app/main_window_actions.h"
#include "app/quit_steps.h"
#include "app/weather_worker.h"
#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/main_thread.h"
#include "base/message_box.h"
#include "base/trusted_addresses.h"
#include "core/app_paths.h"
#include "core/connection_state.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/settings.h"
#include "dialogs/atc_list_dialog.h"
#include "dialogs/callsign_dialog.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/dashboard_dialog.h"
#include "dialogs/debug_lists.h"
#include "dialogs/flight_plan_form.h"
#include "dialogs/local_rules_dialog.h"
#include "dialogs/locate_dialog.h"
#include "dialogs/main_setup_dialog.h"
#include "dialogs/network_setup_dialog.h"
#include "dialogs/plane_path_dialog.h"
#include "dialogs/remote_rules_dialog.h"
#include "dialogs/sim2sim_dialog.h"
#include "dialogs/type_chooser_dialog.h"
#include "net/multiplayer_session.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "sim/session_command.h"
#include "net/way_ids.h"
#include "sim/plugin_link.h"
#include "win/keys.h"
#include "win/messages.h"
#include "win/richedit.h"
#include "win/shell.h"
#include "win/sound.h"
#include "win/window_pos.h"

namespace {
constexpr UINT kTrustedCommand = 32774;
constexpr UINT kDisconnectCommand = 32778;
constexpr UINT kNightDayCommand = 32779;
constexpr UINT kDebugProtocolCommand = 32780;
constexpr UINT kShowHideCommand = 32781;
constexpr UINT kAtcListMenuCommand = 32785;
constexpr UINT kFillFlightPlanCommand = 32788;
constexpr UINT kAboutCommand = 32789;
constexpr UINT kSendFlightPlanCommand = 32790;
constexpr UINT kMultiplayerConnectCommand = 32795;
constexpr UINT kNearestPilotsCommand = 32796;
constexpr UINT kMainSetupCommand = 32801;
constexpr UINT kUpdateWeatherCommand = 32804;
constexpr UINT kSettingsFileCommand = 32817;
constexpr UINT kSbTraceCommand = 32820;
constexpr UINT kQuitCommand = 32831;
constexpr UINT kQuitProgramCommand = 32835;
constexpr UINT kStreamMonitorCommand = 32837;
constexpr UINT kNetworkSetupCommand = 32838;
constexpr UINT kTypeChooserCommand = 32841;
constexpr UINT kLocateCommand = 32847;
constexpr UINT kRemoteRulesCommand = 32852;
constexpr UINT kLocalRulesCommand = 32854;
constexpr UINT kPlaneNameCommand = 32855;
constexpr UINT kSim2SimCommand = 32856;
constexpr UINT kPlanePathCommand = 32858;
constexpr UINT kServersLastCommand = kServersFirstCommand + kNetworkSlotCount - 1;
constexpr UINT kNoActionIds[] = {32773, 32786, 32833, 32834, 32843, 32844, 32845, 32863,
                                 33100, 33101, 33102, 33103, 33104, 33105, 7101, 7121};
constexpr UINT kChatButtonId = 7201;
constexpr UINT kDashButtonId = 7202;
constexpr UINT kAtcButtonId = 7211;
constexpr UINT kConnectButtonId = 7212;
constexpr UINT kLocateButtonId = 7219;
constexpr UINT kCallsignFieldId = 7107;
constexpr UINT kCountsFieldId = 7106;
constexpr UINT kCockpitFieldId = 7108;
constexpr UINT kSimulatorStatusId = 7111;
constexpr UINT kFoldFieldId = 7220;
constexpr UINT kChatInputField = 7003;
constexpr WORD kChatInputChanged = 0x300;
constexpr WORD kButtonDoubleClicked = 5;
// Internal commands: the window behind a button was shown (lParam 1) or hidden.
constexpr UINT kWindowShownFirst = 36768;
constexpr UINT kWindowShownLast = 36771;
constexpr UINT kKeyTab = 9;
constexpr UINT kKeyEnter = 13;
constexpr int kFoldedWidth = 110;
constexpr std::uint32_t kNodePilotInCockpit = 'S';
constexpr std::int32_t kCameraStep = 50;
constexpr std::uint32_t kReportEverySeconds = 30;

bool KeyHeld(int key) { return (GetKeyState(key) & 0x8000) != 0; }

template <class Window>
void Toggle(Window* window) {
  if (window == nullptr || window->m_hWnd == 0) return;
  window->ShowWindow(window->IsWindowVisible() ? SW_HIDE : SW_SHOW);
}

void PrintChatLine(COLORREF colour, DWORD effects, const std::string& text) {
  CCchatDlg* chat = g_pChatDlg.load();
  if (chat == nullptr) return;
  chat->SetFormat(effects, colour);
  chat->PrintLineText(text);
  chat->SetFormat(0, Klib().Colour(kColourNormal));
}

// On or off, with its line.
void FlipAndTell(std::atomic<bool>& flag, const char* on, const char* off) {
  const bool now = !flag.load();
  flag = now;
  KlibMainTraceLine(Klib().Colour(now ? kColourError : kColour25), "%s", now ? on : off);
}
}  // namespace

void CFSClientDlg::PrintTrustedAddresses() {
  KlibMainTraceLine(Klib().Colour(kColour26), "Trusted IP's :");
  if ((g_traceMask.load() & 1u) != 0) {
    DumpTrustedAddresses();
  } else {
    for (int i = 0; i < kTrustedAddressKeyCount; ++i) {
      char key[8];
      std::snprintf(key, sizeof key, "IP%d", i);
      std::array<char, kAddressTextSize> value{};
      ReadSettingString("TRUSTED", key, "", value);
      if (value[0] != '\0') KlibMainTraceLine(Klib().Colour(kColour27), "%s=%s", key, value.data());
    }
  }
  KlibMainTraceLine(Klib().Colour(kColour29),
                    "You can add/remove more trusted IP addresses in section [TRUSTED] of your %s",
                    SettingsFilePath());
}

void CFSClientDlg::ShowAbout() {
  if (g_setupSettings.enableSoundOnPrivateMsg.load() != 0)
    PlaySoundA(g_appPaths().notifySound.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
  const COLORREF colour = Klib().Colour(kColourEmphasis);
  PrintChatLine(colour, CFE_BOLD, "Tavelkor, the pilot client of the ORVENA network.");
  // Before any handshake the simulator is the one this program is built for.
  const std::uint32_t reported = g_xplaneSimulatorCode.load();
  const std::uint32_t code = reported != 0 ? reported : g_ownSimulatorCode.load();
  PrintChatLine(colour, CFE_ITALIC, AboutVersionLine(code, g_xplaneMajor.load(), g_xplaneMinor.load()));
}

void CFSClientDlg::OnCountsClick() {
  const bool shift = KeyHeld(VK_SHIFT);
  const bool control = KeyHeld(VK_CONTROL);
  if (shift && control) return;
  if (!shift && !control) {
    if (g_sessionOpen.load()) ListOnlinePlayers();
    return;
  }
  CXPlaneLink* link = XPlaneLinkObject();
  if (link == nullptr || !link->IsConnected()) return;
  const std::int32_t step = control ? -kCameraStep : kCameraStep;
  CBaseThread::Post(Klib().mainThread.load(), link, THRDMSG_XPL_STEP, static_cast<std::uint32_t>(step), 0, "PZGN1044");
}

void CFSClientDlg::OnCockpitClick() {
  if (CNodeWay* node = NodeWayObject())
    CBaseThread::Post(Klib().mainThread.load(), node, THRDMSG_NODE_PILOT, kNodePilotInCockpit, 0, "PZGN1043");
  g_inactivityCountdown = kInactivitySeconds;
  g_reportCounter = kReportEverySeconds;
}

void CFSClientDlg::OnDashClick() {
  if (KeyHeld(VK_CONTROL)) {
    std::atomic<bool>& teka = g_developerFlags().teka;
    teka = !teka.load();
    KlibMainTraceLine(Klib().Colour(kColour26), "TEKA = %d.", teka.load() ? 1 : 0);
    return;
  }
  Toggle(g_pDashboardDlg.load());
}

void CFSClientDlg::OnLocateClick() {
  if (g_ownSimulatorCode.load() < kLocateFromSimulatorCode) return;
  if ((g_traceMask.load() & 1u) != 0 && KeyHeld(VK_CONTROL)) return;
  Toggle(g_pLocateDlg.load());
}

void CFSClientDlg::ToggleFold() {
  folded_ = !folded_;
  const int height = initialRect_.bottom - initialRect_.top;
  const int width = folded_ ? kFoldedWidth : initialRect_.right - initialRect_.left;
  SetWindowPos(m_hWnd, 0, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (CWnd* field = GetDlgItem(kFoldFieldId)) field->SetWindowText(folded_ ? "..." : ".");
}

bool CFSClientDlg::OnPanelCommand(UINT id) {
  for (UINT none : kNoActionIds)
    if (id == none) return true;
  if (id >= kServersFirstCommand && id <= kServersLastCommand) {
    ConnectToNetwork(static_cast<int>(id - kServersFirstCommand));
    return true;
  }
  switch (id) {
    case kTrustedCommand: PrintTrustedAddresses(); return true;
    case kDisconnectCommand: OnDisconnectFromNetwork(); return true;
    case kNightDayCommand:
      if (CCchatDlg* chat = g_pChatDlg.load()) chat->PostMessage(WM_COMMAND, kChatNightDayCommand, 0);
      return true;
    case kShowHideCommand: ToggleMainWindow(); return true;
    case kDebugProtocolCommand: ToggleDebugProtocol(); return true;
    case kNearestPilotsCommand:
      if (g_sessionOpen.load()) ListOnlinePlayers();
      return true;
    case kAtcListMenuCommand:
    case kAtcButtonId: Toggle(g_pAtcListDlg.load()); return true;
    case kFillFlightPlanCommand: Toggle(FlightPlanFormInUse()); return true;
    case kAboutCommand: ShowAbout(); return true;
    case kSendFlightPlanCommand: SendFlightPlanFromMenu(); return true;
    case kMultiplayerConnectCommand: TryFsMpConnect(); return true;
    case kMainSetupCommand: Toggle(g_pMainConfigDlg.load()); return true;
    case kUpdateWeatherCommand: OnUpdateWeather(); return true;
    case kSettingsFileCommand:
      ShellExecuteA(m_hWnd, nullptr, SettingsFilePath(), nullptr, nullptr, SW_SHOWNORMAL);
      return true;
    case kSbTraceCommand: FlipAndTell(g_developerFlags().sbTrace, "Trace #SB ON", "Trace #SB OFF"); return true;
    case kQuitCommand:
    case kQuitProgramCommand: OnQuitAndCloseSimulator(); return true;
    case kStreamMonitorCommand:
      FlipAndTell(g_developerFlags().streamMonitor, "Stream monitor ON", "Stream monitor OFF");
      return true;
    case kNetworkSetupCommand: Toggle(g_pNetworkSetupDlg.load()); return true;
    case kTypeChooserCommand: Toggle(g_pSelectPlaneDlg.load()); return true;
    case kLocateCommand:
      if (g_ownSimulatorCode.load() >= kLocateFromSimulatorCode) Toggle(g_pLocateDlg.load());
      return true;
    case kRemoteRulesCommand: Toggle(g_pPlaneOverriderDlg.load()); return true;
    case kLocalRulesCommand: Toggle(g_pPlaneTypeAssignerDlg.load()); return true;
    case kPlaneNameCommand: {
      const OwnModel model = g_ownAircraft().Snapshot().model;
      if (CCchatDlg* chat = g_pChatDlg.load()) {
        chat->SetFormat(0, Klib().Colour(kColourNormal));
        chat->PrintLineText("\tYour actual plane name is : ");
        chat->SetFormat(0, Klib().Colour(kColourEmphasis));
        chat->PrintText(model.title.data());
        chat->SetFormat(0, Klib().Colour(kColourNormal));
      }
      return true;
    }
    case kSim2SimCommand: Toggle(g_pSim2SimDlg.load()); return true;
    case kPlanePathCommand: Toggle(g_pPlanePathDlg.load()); return true;
    case kChatButtonId: Toggle(g_pChatDlg.load()); return true;
    case kDashButtonId: OnDashClick(); return true;
    case kLocateButtonId: OnLocateClick(); return true;
    case kCallsignFieldId:
      if (g_networkState.load() == 0 && !g_connecting.load()) {
        if (CPilotsInfoDlg* callsign = g_pPilotsInfoDlg.load()) callsign->ShowWindow(SW_SHOW);
      }
      return true;
    case kFoldFieldId: ToggleFold(); return true;
    case kCountsFieldId: OnCountsClick(); return true;
    case kCockpitFieldId: OnCockpitClick(); return true;
    case kSimulatorStatusId: OnSimulatorStatusClick(); return true;
    default: return false;
  }
}

BOOL CFSClientDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  const WORD code = HIWORD(wParam);
  if (id >= kWindowShownFirst && id <= kWindowShownLast) {
    MarkWindowButton(kShadedButtonIds[id - kWindowShownFirst], lParam != 0);
    return TRUE;
  }
  if (id == kKeyTab && KeyHeld(VK_SHIFT)) {
    ShowWindow(SW_HIDE);
    return TRUE;
  }
  if (id == kKeyEnter) {
    OnOK();
    return TRUE;
  }
  if (id == kConnectButtonId) {
    if (code != kButtonDoubleClicked) OnConnectButton();
    return TRUE;
  }
  if (id == kChatInputField) {
    if (code == kChatInputChanged && g_networkState.load() == 0) PlayDefaultBeep();
    return TRUE;
  }
  if (OnPanelCommand(id)) return TRUE;
  return CDialogEx::OnCommand(wParam, lParam);
}

void CFSClientDlg::BuildContextMenu(POINT point) {
  if (point.x == -1 && point.y == -1) {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    ClientToScreen(&client);
    point = POINT{client.left + 5, client.top + 5};
  }
  const HMENU menu = BuildMainContextMenu(CurrentContextMenuState());
  if (menu == 0) return;
  HWND owner = m_hWnd;
  while (const HWND parent = ::GetParent(owner)) owner = parent;
  TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RECURSE, point.x, point.y, 0, owner, nullptr);
  DestroyMenu(menu);
}

bool CFSClientDlg::OnKeyDown(std::uint32_t virtualKey) {
  if (virtualKey == VK_TAB && g_sessionOpen.load() && KeyHeld(VK_SHIFT)) {
    ToggleMainWindow();
    return true;
  }
  switch (keyRecorder_.OnKeyDown(virtualKey)) {
    case KeyRecorder::Outcome::kPassOn: return false;
    case KeyRecorder::Outcome::kSwallowed: return true;
    case KeyRecorder::Outcome::kTracingOn:
      SetDeveloperTracing(true);
      PlaySoundA(g_appPaths().bellSound.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
      return true;
    case KeyRecorder::Outcome::kCockpitOn:
      g_inCockpitReporting = true;
      if (CWnd* field = GetDlgItem(kCockpitFieldId)) field->SetWindowText("CKPIT");
      return true;
    case KeyRecorder::Outcome::kTracingOff:
      SetDeveloperTracing(false);
      return true;
  }
  return true;
}

LRESULT CFSClientDlg::OnHitTest(UINT message, WPARAM wParam, LPARAM lParam) {
  g_inactivityCountdown = kInactivitySeconds;
  const LRESULT hit = CDialogEx::WindowProc(message, wParam, lParam);
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  const POINT at{static_cast<LONG>(static_cast<std::int16_t>(LOWORD(lParam))),
                 static_cast<LONG>(static_cast<std::int16_t>(HIWORD(lParam)))};
  const bool inside = at.x >= window.left && at.x < window.right && at.y >= window.top && at.y < window.bottom;
  return hit == HTCLIENT || inside ? HTCAPTION : hit;
}
