#include "app/main_dialog.h"

#include "base/byte_order.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "app/app_globals.h"
#include "app/bridge_message.h"
#include "core/app_paths.h"
#include "app/connect_flow.h"
#include "app/quit_steps.h"
#include "app/main_class.h"
#include "app/main_window_position.h"
#include "core/main_dialog_state.h"
#include "core/ui_messages.h"
#include "app/metar_banner.h"
#include "core/nearest_airport.h"
#include "core/own_position.h"
#include "core/settings.h"
#include "app/weather_worker.h"
#include "app/utilities.h"
#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/message_box.h"
#include "base/trusted_addresses.h"
#include "dialogs/atc_list_dialog.h"
#include "dialogs/callsign_dialog.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/flight_plan_form.h"
#include "dialogs/dashboard_dialog.h"
#include "dialogs/local_rules_dialog.h"
#include "dialogs/locate_dialog.h"
#include "dialogs/main_setup_dialog.h"
#include "dialogs/network_setup_dialog.h"
#include "dialogs/plane_path_dialog.h"
#include "dialogs/remote_rules_dialog.h"
#include "dialogs/sim2sim_dialog.h"
#include "dialogs/splash_window.h"
#include "dialogs/swatch_dialog.h"
#include "dialogs/trace_window.h"
#include "dialogs/type_chooser_dialog.h"
#include "dialogs/voice_settings_dialog.h"
#include "core/flight_plan.h"
#include "net/flight_plan_send.h"
#include "core/aircraft_type_db.h"
#include "core/big_tables.h"
#include "core/iata_table.h"
#include "core/icao_data.h"
#include "sim/ai_lock.h"
#include "sim/model_scan.h"
#include "sim/own_aircraft_poll.h"
#include "sim/rule_appliers.h"
#include "sim/plugin_link.h"
#include "sim/session_command.h"
#include "sim/tcas_feed.h"
#include "voice/voice_system.h"
#include "net/controller_broadcasts.h"
#include "net/controller_state.h"
#include "net/listener.h"
#include "net/multiplayer_session.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "net/orv_sok.h"
#include "net/peer_ways.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "win/bitmap_resource.h"
#include "win/brush.h"
#include "win/button_ctrl.h"
#include "win/clock.h"
#include "win/joystick.h"
#include "win/keys.h"
#include "win/machine_id.h"
#include "win/msgbox.h"
#include "win/messages.h"
#include "win/richedit.h"
#include "win/sound.h"
#include "win/static_ctrl.h"
#include "win/timers.h"
#include "win/window_pos.h"

std::atomic<CFSClientDlg*> g_pMainDlg{nullptr};
std::array<HBRUSH, kBrushCount> g_brushes{};

namespace {
std::atomic<bool> g_startupPauses{true};

constexpr std::array<UINT_PTR, 4> kTimerIds = {kTimerOneSecond, kTimerHalfSecond, kTimerTenth, kTimerFast};
constexpr std::array<UINT, 4> kTimerPeriods = {1000, 500, 100, 49};
constexpr std::uint32_t kTickWrapFrom = 0xFFFF0000u;
constexpr std::uint32_t kTickWrapTo = 1000;
constexpr int kConnectButtonId = 7212;
constexpr int kSimulatorStatusId = 7111;
constexpr std::uint32_t kReportEverySeconds = 30;
constexpr std::uint32_t kHubRefreshSeconds = 150;
constexpr std::uint16_t kHubRefreshCountdown = 2;
constexpr std::uint32_t kNodePilotShortInfo = 82;
constexpr std::uint32_t kNodePilotInCockpit = 83;
constexpr int kPilotAtcCountId = 7106;
constexpr std::uint32_t kTrafficEveryTicks = 5;
constexpr std::uint32_t kAutoWeatherSeconds = 60;
constexpr std::uint32_t kAutoWeatherSecondsOlderSimulators = 120;

// Seconds between two automatic weather requests, by the own simulator code.
std::uint32_t AutoWeatherPeriod() {
  return g_ownSimulatorCode.load() < kLocateFromSimulatorCode ? kAutoWeatherSecondsOlderSimulators
                                                               : kAutoWeatherSeconds;
}

// Counts a countdown down by one: true when this step reached 0.
bool CountDown(std::atomic<std::uint16_t>& countdown) {
  std::uint16_t value = countdown.load();
  while (value != 0) {
    if (countdown.compare_exchange_weak(value, static_cast<std::uint16_t>(value - 1))) return value == 1;
  }
  return false;
}

// A picture for the Connect button asked for off the UI thread: wParam the
// bitmap resource, lParam the transparent colour.
UINT ConnectionBitmapMessage() {
  static const UINT message = RegisterWindowMessageA("TavelkorConnectionBitmap");
  return message;
}


void Pause(DWORD milliseconds) {
  if (g_startupPauses.load()) Sleep(milliseconds);
}



void FillLibrarySettings(CCchatDlg& chat) {
  KlibSettings& k = Klib();
  k.reserved0 = k.reserved1 = k.reserved5 = 0;
  k.logTag = "app_TK";
  k.mainThread = nullptr;
  k.traceOutput = &chat;
  k.traceMask = g_traceMask.load();
  k.exitFlag = 0;
  k.suspendAll = 0;
  k.rxByteCount = 0;
  k.txByteCount = 0;
  k.trustedListSize = 1000;
  k.remoteTraceSocket = nullptr;
  k.frameSync = FRAME_SYNC_NETWORK;
  k.autoShowFlag = &chat.AutoShowFlag();
  k.autoShowCountdown = &chat.AutoHideCountdown();
  k.autoShowSeconds = 8;
  const COLORREF colours[] = {0xA4A99C, 0,        0x14A7F5, 0x1010E6, 0xD06FE6, 0xFB4339, 0x5A725A,
                              0xFA9D52, 0x8CF004, 0x1EF0FB, 0xAAC2AA, 0x9B5BFB, 0x76D8D0};
  for (int i = 0; i < 13; ++i) k.SetColour(kColourNormal + i, colours[i]);
  k.logFileSwitch = nullptr;
  k.logFilePath = nullptr;
  k.appTag = static_cast<std::uint32_t>('O') | ('R' << 8) | ('V' << 16) | (static_cast<std::uint32_t>('0') << 24);
  k.maxZipInput = KLIB_MAX_ZIP_INPUT;
}
}  // namespace

void CFSClientDlg::SetStartupPausesForTest(bool enabled) { g_startupPauses = enabled; }

CFSClientDlg::CFSClientDlg() : CDialogEx(kMainDialogTemplate) {}

CFSClientDlg::~CFSClientDlg() {
  if (g_pMainDlg.load() == this) g_pMainDlg = nullptr;
  CCircBuf::Delete();
  DestroyWindow();
  // The lamp shows them no more once the window is gone.
  if (transmitLampOn_ != 0) DeleteObject(transmitLampOn_);
  if (transmitLampOff_ != 0) DeleteObject(transmitLampOff_);
}

BOOL CFSClientDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  splash_.reset(new (std::nothrow) CSplash(g_appPaths().splashImage));
  if (splash_ != nullptr && !splash_->Show()) splash_.reset();
  ReadScreenMetrics();

  chat_ = MakeChatDialog();
  if (chat_ == nullptr) {
    ShowMessage("Tavelkor", "System Error TCHT1000");
    return FALSE;
  }
  if (chat_->Create(kChatTemplate, this) == FALSE) {
    chat_.reset();
    ShowMessage("Tavelkor", "System Error TCHT1001");
    return FALSE;
  }
  g_pChatDlg = chat_.get();

  FillLibrarySettings(*chat_);
  MainClass* mainThread = MakeMainThread();
  if (mainThread == nullptr) {
    ShowMessage("Warning", "Error creating pMainThrd.");
    return FALSE;
  }
  g_pMainThread = mainThread;
  mainThread->StartThread(0, 0);
  Klib().mainThread = mainThread;
  const std::int32_t started = StartLibrary();
  if (started < 0) {
    ShowMessage("Tavelkor Error", "OPL %d", started);
    StopTimersAndQuit();
    return FALSE;
  }
  mainThread->Resume(0);

  if (InitMainDialog() != 0) return FALSE;
  initialised_ = true;
  Pause(2000);
  splash_.reset();
  return TRUE;
}

std::unique_ptr<CCchatDlg> CFSClientDlg::MakeChatDialog() {
  return std::unique_ptr<CCchatDlg>(new (std::nothrow) CCchatDlg());
}

MainClass* CFSClientDlg::MakeMainThread() { return new (std::nothrow) MainClass(&g_pMainThread); }

std::int32_t CFSClientDlg::StartLibrary() { return KlibInit(KlibGetSettings()); }

int CFSClientDlg::InitMainDialog() {
  g_networkState = 0;
  g_startupDone = false;
  g_quitting = false;
  KillTimers();  // a running timer whose id is forgotten could never be killed
  delayedStorage_.reset(new std::uint8_t[kDelayedEventRingSize + 16]);
  {
    CCircBuf::Init();
    CCircBuf::Enter();
    RingInit(delayedRing_, std::span<std::uint8_t>(delayedStorage_.get(), kDelayedEventRingSize));
    CCircBuf::Leave();
  }
  g_pMainDlg = this;
  ResetCurrentFlightPlan();
  tickCounter_ = 0;
  autoWeatherCounter_ = 0;
  g_secondsCounter = 0;
  g_reconnectCountdown = 0;
  g_hubListCountdown = 0;
  g_autoConnectCountdown = 0;
  g_hubRefreshCounter = 0;
  g_reportCounter = 30;

  const COLORREF brushColours[kBrushCount] = {0x60777F, 0x3D2F28, 0xEBEEEF, 0x34261E,
                                             Klib().Colour(kColourEmphasis), 0x066293, 0x302020};
  for (int k = 0; k < kBrushCount; ++k) {
    g_brushes[k] = CreateSolidBrush(brushColours[k]);
    if (g_brushes[k] == 0) {
      StopTimersAndQuit();
      return -10 * (k + 1);
    }
  }
  for (CShadeButtonST& button : shadedButtons_) {
    button.SetImageAlignment(CButtonST::ST_ALIGN_HORIZ, TRUE);
    button.SetShade();
  }
  if (g_ownSimulatorCode.load() < kLocateFromSimulatorCode) shadedButtons_[3].EnableWindow(FALSE);
  connectButton_.SetDisabledEmbossed(FALSE);
  connectTransparent_ = kConnectFirstTransparent;
  connectButton_.SetBitmapResource(kBitmapOffline, kConnectFirstTransparent);
  connectButton_.SizeToContent();
  // Emptied before the settings are read: the [TRUSTED] addresses they add must stay.
  ClearTrustedAddresses();
  LoadSetup();
  RestoreMainWindowPosition(*this);
  GetWindowRect(m_hWnd, &initialRect_);

  g_peerWayObjects().fill(nullptr);
  {
    WayTableGuard guard;
    for (WayRecord& record : WayTable()) {
      record = WayRecord{};
      record.simulatorCode = kWayInitialSimulatorCode;
      record.controllerReportInterval = kWayInitialReportInterval;
      record.aiObjectId = kWayNoAiObject;
    }
  }
  Pause(100);
  return 0;
}

bool CFSClientDlg::TimersRunning() const {
  for (UINT_PTR id : timerIds_)
    if (id != 0) return true;
  return false;
}

int CFSClientDlg::StartTimers() {
  for (std::size_t i = 0; i < kTimerIds.size(); ++i) {
    if (timerIds_[i] != 0) continue;
    if (i == 0) tickCounter_ = 0;
    timerIds_[i] = SetTimer(kTimerIds[i], kTimerPeriods[i]);
    if (timerIds_[i] == 0) {
      ShowMessage("TK Error", "Can't set internal timer%zu.", i + 1);
      StopTimersAndQuit();
      return 0;
    }
  }
  return 1;
}

void CFSClientDlg::KillTimers() {
  for (std::size_t i = 0; i < kTimerIds.size(); ++i) {
    if (timerIds_[i] != 0) KillTimer(kTimerIds[i]);
    timerIds_[i] = 0;
  }
}

void CFSClientDlg::StopTimersAndQuit() {
  KillTimers();
  PostQuitMessage(0);
}

void CFSClientDlg::OnShowWindow(BOOL show) {
  if (show != FALSE && !timersStarted_) {
    timersStarted_ = true;
    StartTimers();
  }
}

LRESULT CFSClientDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SHOWWINDOW: {
      const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
      OnShowWindow(static_cast<BOOL>(wParam));
      return result;
    }
    case WM_CREATE: {
      const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
      // Before the template loads: its buttons become these.
      for (std::size_t i = 0; i < shadedButtons_.size(); ++i) AddControl(shadedButtons_[i], kShadedButtonIds[i]);
      AddControl(connectButton_, kConnectButtonId);
      SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
      return result;
    }
    case WM_TIMER:
      OnTimer(wParam);
      return 0;
    case WM_CLOSE:
      OnCancel();
      return 0;
    case WM_CONTEXTMENU:
      if (initialised_) {
        BuildContextMenu(POINT{static_cast<std::int16_t>(LOWORD(lParam)), static_cast<std::int16_t>(HIWORD(lParam))});
      } else {
        PlayDefaultBeep();
      }
      return 0;
    case WM_NCHITTEST:
      return OnHitTest(message, wParam, lParam);
    case WM_ENTERMENULOOP:
    case WM_EXITMENULOOP:
      g_inactivityCountdown = kInactivitySeconds;
      return CDialogEx::WindowProc(message, wParam, lParam);
    case WM_SIZE:
    case WM_MOVE: {
      const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
      if (IsWindowVisible()) SaveMainWindowPosition(*this);
      return result;
    }
    default:
      if (message == TavelkorMessageId()) return OnTavelkorMsg(m_hWnd, wParam, lParam);
      if (message == ConnectionBitmapMessage()) {
        ShowConnectionBitmap(static_cast<unsigned>(wParam), static_cast<COLORREF>(lParam));
        return 0;
      }
      if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
        return static_cast<LRESULT>(ControlColours(static_cast<HDC>(wParam), static_cast<HWND>(lParam)));
      }
      if (message >= 0x8000 && message <= 0xBFFF) {
        OnPrivateMessage(message, wParam, lParam);
        return 0;
      }
      return CDialogEx::WindowProc(message, wParam, lParam);
  }
}

void CFSClientDlg::OnCancel() {
  // Closing the panel never ends the program; it hides while the simulator link is up.
  if (XPlaneLinkUp.load()) ShowWindow(SW_HIDE);
}

void CFSClientDlg::OnTimer(UINT_PTR id) {
  switch (id) {
    case kTimerOneSecond: OneSecondTick(); break;
    case kTimerHalfSecond: HalfSecondTick(); break;
    case kTimerTenth: TenthTick(); break;
    default: break;  // 558 has no duty
  }
}

void CFSClientDlg::OneSecondTick() {
  ++tickCounter_;
  if (tickCounter_ > kTickWrapFrom) tickCounter_ = kTickWrapTo;
  g_secondsCounter.fetch_add(1);

  if (g_quitting.load()) {
    if (g_quitCountdown.load() == 0) return;
    g_quitCountdown.fetch_sub(1);
    RunQuitSequence();
    return;
  }
  if (tickCounter_ == 1) {
    RunStagedStartup();
    return;
  }
  if (!g_startupDone.load()) return;
  splash_.reset();
  if (TscCalibrationCount() < kTscCalibrationCalls) CalibrateTsc();
  if (CountDown(g_atcListRebuildCountdown)) PostToAtcList(kAtcListRebuildCommand);
  if (chat_ != nullptr && chat_->IsWindowVisible() && chat_->AutoShowFlag().load() != 0) {
    if (chat_->AutoHideCountdown().load() > 0 && chat_->AutoHideCountdown().fetch_sub(1) == 1)
      chat_->ShowWindow(SW_HIDE);
  }
  if (!connectEnabledOnce_ && g_sessionOpen.load()) {
    connectEnabledOnce_ = true;
    if (CWnd* button = GetDlgItem(kConnectButtonId)) button->EnableWindow(TRUE);
  }
  if (tickCounter_ % kTrafficEveryTicks == 0) UpdateTrafficFigures();
  const bool loggedIn = g_networkState.load() != 0;
  if (loggedIn) UpdatePilotAtcCount();
  if (CountDown(g_reconnectCountdown)) ConnectToNode();
  if (CountDown(g_voiceStartCountdown)) StartVoiceSystem();
  if (CountDown(g_hubListCountdown)) RequestHubsList();
  if (CountDown(g_autoConnectCountdown)) OnConnectButton();

  if (chat_ != nullptr) {
    const NearestAirport nearest = CurrentNearestAirport();
    char text[64];
    std::snprintf(text, sizeof text, "%s:%d Nm", nearest.icao.data(), nearest.distanceNm);
    if (CWnd* field = chat_->GetDlgItem(kChatNearestAirportId)) field->SetWindowText(text);
  }

  PollOwnAircraftState();

  if (g_networkState.load() != 0) {
    RunBellAndInactivity();
    if (g_setupSettings.enableWeather != 0 && ++autoWeatherCounter_ > AutoWeatherPeriod()) {
      autoWeatherCounter_ = 0;
      OnUpdateWeather();
    }
    CNodeWay* node = NodeWayObject();
    if (node != nullptr && node->LoginAccepted() && g_reportCounter.fetch_add(1) + 1 > kReportEverySeconds) {
      g_reportCounter = 0;
      CBaseThread::Post(Klib().mainThread, node, THRDMSG_HEARTBEAT, 0, 0, "PZGN1030");
      CBaseThread::Post(Klib().mainThread, node, THRDMSG_NODE_PILOT, kNodePilotShortInfo, 0, "PZGN1031");
    }
    if (g_hubRefreshCounter.fetch_add(1) + 1 > kHubRefreshSeconds) {
      g_hubRefreshCounter = 0;
      g_hubListCountdown = kHubRefreshCountdown;
    }
  }
  CountSessionPeers();
}

void CFSClientDlg::UpdateTrafficFigures() {
  TrafficFigures sums;
  auto take = [&sums](CSoketK& way) {
    sums.sent += static_cast<std::uint64_t>(way.TakeBytesSent()) * 10 / 5;
    sums.received += static_cast<std::uint64_t>(way.TakeBytesReceived()) * 10 / 5;
  };
  {
    WayTableGuard guard;
    for (const WayRecord& record : WayTable()) {
      if ((record.peerKind == 'P' || record.peerKind == 'A') && record.way != nullptr && record.way->IsConnected())
        take(*record.way);
    }
  }
  if (CNodeWay* node = NodeWayObject()) take(*node);
  traffic_ = sums;
  ShowDashboardTraffic(sums.sent, sums.received);
}

void CFSClientDlg::UpdatePilotAtcCount() {
  int pilots = 0;
  int controllers = 0;
  {
    WayTableGuard guard;
    for (const WayRecord& record : WayTable()) {
      const COrvSok* way = record.way;
      if (way == nullptr) continue;
      if (record.peerKind == 'P' && (way->LoggedInBits() & kWayLoggedIn) != 0 &&
          (record.stateFlags & kWayInvisible) == 0) {
        ++pilots;
      } else if (record.peerKind == 'A' && way->IsConnected()) {
        ++controllers;
      }
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "%dp  %da", pilots, controllers);
  if (CWnd* field = GetDlgItem(kPilotAtcCountId)) field->SetWindowText(text);
  if (g_ownSimulatorCode.load() >= kLocateFromSimulatorCode) {
    CLocateAndTrackPlane* locate = g_pLocateDlg.load();
    if (locate != nullptr && locate->IsWindowVisible()) locate->RefreshList();
  }
}

void CFSClientDlg::RunBellAndInactivity() {
  if (OwnOnGround()) return;
  if (g_inactivityCountdown.load() > 0) g_inactivityCountdown.fetch_sub(1);
  ShowCountdown(static_cast<std::uint32_t>(std::max(g_inactivityCountdown.load(), 0)));
  std::uint32_t bell = g_bellCountdown.load();
  if (bell == 0) return;
  --bell;
  g_bellCountdown = bell;
  if (bell % 2 == 0 && g_setupSettings.enableSoundOnPrivateMsg.load() != 0) {
    PlaySoundA(g_appPaths().bellSound.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
  }
  if (g_inCockpitReporting.load()) {
    if (CNodeWay* node = NodeWayObject()) {
      CBaseThread::Post(Klib().mainThread, node, THRDMSG_NODE_PILOT, kNodePilotInCockpit, 0, "PZGN1029");
    }
    g_reportCounter = kReportEverySeconds;
  }
}

void CFSClientDlg::HalfSecondTick() {
  TickDashboardIdent();
  if (tickCounter_ >= kControllerReportsFromTick) FeedTcasFromWayTable();
  // The controllers hear of the own aircraft once the start-up has settled.
  if (tickCounter_ >= kControllerReportsFromTick && g_networkState.load() != 0) PostControllerPositionReports();
}

void CFSClientDlg::TenthTick() {
  ProcessDelayedEvents();
  JOYINFOEX joystick{};
  joystick.dwSize = sizeof joystick;
  joystick.dwFlags = JOY_RETURNBUTTONS;
  const std::int32_t number = VoiceJoystickNumber();
  if (number >= 1 && joyGetPosEx(static_cast<UINT>(number - 1), &joystick) == JOYERR_NOERROR) {
    g_joystickButtons = joystick.dwButtons;
    TakeVoiceJoystickButtons(joystick.dwButtons);
  }
  if (const std::uint16_t c = g_transmitLampCountdown.load(); c != 0) {
    g_transmitLampCountdown = static_cast<std::uint16_t>(c - 1);
    const bool on = c - 1 != 0;
    const unsigned lamp = on ? kBitmapTransmitOn : kBitmapTransmitOff;
    if (lamp != transmitLampShown_) {
      transmitLampShown_ = lamp;
      HBITMAP& picture = on ? transmitLampOn_ : transmitLampOff_;
      if (picture == 0) {
        picture = static_cast<HBITMAP>(LoadImageA(AfxGetResourceHandle(), MAKEINTRESOURCEA(static_cast<WORD>(lamp)),
                                                  IMAGE_BITMAP, 0, 0, 0));
      }
      if (CWnd* lampControl = GetDlgItem(kTransmitLampId)) {
        lampControl->SendMessage(STM_SETIMAGE, IMAGE_BITMAP, static_cast<LPARAM>(picture));
      }
    }
  }
}

int CFSClientDlg::RunStagedStartup() {
  if (chat_ != nullptr) chat_->ShowWindow(SW_SHOW);
  WayTableLock().Init();
  AiLock().Init();
  if (AllocateTables() == 0) {
    ShowMessage("TK Error", "Memory allocation MEMSTEP00.");
    KillTimers();
    Pause(50);
    return -1;
  }
  if (int r = StartupStep1(); r != 0) {
    KillTimers();
    Pause(50);
    return r;
  }
  StartupStep2();
  CreateXPlaneLink();
  if (int r = StartupStep3(); r != 0) return r;
  if (int r = StartupStep4(); r != 0) return r;
  g_startupDone = true;
  g_voiceStartCountdown = 2;
  return 0;
}

namespace {
// Makes one secondary dialog once: -allocation code, -create code (allocation - 1), or 0.
template <class Dialog>
int CreateOnce(std::unique_ptr<Dialog>& slot, std::atomic<Dialog*>& global, UINT templateId, CWnd* parent,
               int allocationCode) {
  if (slot != nullptr) return 0;
  slot.reset(new (std::nothrow) Dialog());
  if (slot == nullptr) return allocationCode;
  if (slot->Create(templateId, parent) == FALSE) {
    slot.reset();
    return allocationCode - 1;
  }
  global = slot.get();
  return 0;
}
}  // namespace

int CFSClientDlg::CreateDialogBoxes() {
  // In this order; the first failure stops the rest.
  const std::array<std::function<int()>, 16> steps = {
      [&] { return CreateOnce(callsignDialog_, g_pPilotsInfoDlg, kCallsignTemplate, this, -10); },
      [&] { return CreateOnce(atcList_, g_pAtcListDlg, kAtcListTemplate, this, -20); },
      [&] { return CreateOnce(networkSetup_, g_pNetworkSetupDlg, kNetworkSetupTemplate, this, -30); },
      [&] { return CreateOnce(locate_, g_pLocateDlg, kLocateTemplate, this, -60); },
      [&] { return CreateOnce(flightPlanUs_, g_pFlightPlanUS, kFlightPlanUsTemplate, this, -70); },
      [&] { return CreateOnce(flightPlanIcao_, g_pFlightPlanICAO, kFlightPlanIcaoTemplate, this, -80); },
      [&] { return CreateOnce(mainSetup_, g_pMainConfigDlg, kMainSetupTemplate, this, -90); },
      [&] { return CreateOnce(swatch_, g_pSwatchDlg, kSwatchTemplate, this, -110); },
      [&] { return CreateOnce(typeChooser_, g_pSelectPlaneDlg, kTypeChooserTemplate, this, -120); },
      [&] { return CreateOnce(remoteRules_, g_pPlaneOverriderDlg, kRemoteRulesTemplate, this, -130); },
      [&] { return CreateOnce(localRules_, g_pPlaneTypeAssignerDlg, kLocalRulesTemplate, this, -140); },
      [&] { return CreateOnce(sim2sim_, g_pSim2SimDlg, kSim2SimTemplate, this, -150); },
      [&] { return CreateOnce(planePath_, g_pPlanePathDlg, kPlanePathTemplate, this, -160); },
      [&] { return CreateOnce(dashboard_, g_pDashboardDlg, kDashboardTemplate, this, -170); },
      [&] { return CreateOnce(traceWindow_, g_pKtrace, kTraceWindowTemplate, this, -180); },
      [&] { return CreateOnce(voiceSettings_, g_pVoiceSettingsDlg, kVoiceSettingsTemplate, mainSetup_.get(), -200); },
  };
  for (const auto& step : steps) {
    if (const int r = step(); r < 0) return r;
  }
  SetFlightPlanAmendmentNotifier(&NotifyFormOfAmendment);
  MainSetupActions setupActions = DefaultMainSetupActions();
  setupActions.weatherSwitchedOn = [] {
    if (CFSClientDlg* dialog = g_pMainDlg.load()) dialog->ArmAutoWeather();
  };
  SetMainSetupActions(setupActions);
  return 1;
}

void CFSClientDlg::ArmAutoWeather() { autoWeatherCounter_ = AutoWeatherPeriod(); }

void CFSClientDlg::ShowConnectionBitmap(unsigned bitmap, COLORREF transparent) {
  connectTransparent_ = transparent;
  if (m_hWnd == 0) return;
  if (GetWindowThreadProcessId(m_hWnd, nullptr) != GetCurrentThreadId()) {
    // The button is drawn on the UI thread: the change is made there.
    PostMessage(ConnectionBitmapMessage(), bitmap, static_cast<LPARAM>(transparent));
    return;
  }
  // The button owns (and deletes) each picture it is given.
  connectButton_.SetBitmaps(static_cast<HBITMAP>(LoadImageA(AfxGetResourceHandle(),
                                                            MAKEINTRESOURCEA(static_cast<WORD>(bitmap)),
                                                            IMAGE_BITMAP, 0, 0, 0)),
                            transparent);
}

CShadeButtonST* CFSClientDlg::ShadedButton(int buttonId) {
  for (std::size_t i = 0; i < kShadedButtonIds.size(); ++i)
    if (kShadedButtonIds[i] == buttonId) return &shadedButtons_[i];
  return nullptr;
}

void CFSClientDlg::MarkWindowButton(int buttonId, bool shown) {
  CShadeButtonST* button = ShadedButton(buttonId);
  if (button == nullptr) return;
  if (!shown) {
    button->SetDefaultColors(TRUE);
    return;
  }
  for (BYTE index : {CButtonST::BTNST_COLOR_FG_IN, CButtonST::BTNST_COLOR_FG_OUT, CButtonST::BTNST_COLOR_FG_FOCUS})
    button->SetColor(index, kWindowShownTextColour, TRUE);
}

int CFSClientDlg::StartupStep1() {
  if (const int r = CreateDialogBoxes(); r < 0) {
    ShowMessage("TK Error", "Can't create the Dialog Boxes.\rError code %d", r);
    return -10;
  }
  if (g_pMainThread != nullptr) {
    g_pMainThread->SetTraceColour(Klib().Colour(kColourNormal));
    g_pMainThread->Trace("%c Init Step 1 OK. %c", '{', '}');
  }
  if (LoadIcaoData() == 0) {
    ShowMessage("TK Error", "Could not load ICAO data.");
    return -200;
  }
  if (!g_aircraftTypeDb().loaded && LoadAircraftTypes() < 1) return -300;
  LoadIataIcao();
  Pause(2);
  return 0;
}

int CFSClientDlg::StartupStep2() {
  if (g_pMainThread != nullptr) {
    g_pMainThread->SetTraceColour(Klib().Colour(kColourNormal));
    g_pMainThread->Trace("%c Scanning available aircrafts, please wait a few seconds... %c", '{', '}');
  }
  // The link does not exist yet: it tells the plug-in once its handshake completes.
  ScanXPlaneAircraft();
  Pause(2);
  ApplyTypeTranslationRules();
  return 0;
}

int CFSClientDlg::StartupStep3() {
  if (const std::int32_t r = CreateSocketThreads(); r < 0) {
    ShowMessage("TK Error", "Can't create threads.\rError code %d", static_cast<int>(r));
    CloseAllPeerLinks();
    Pause(50);
    return -210;
  }
  return 0;
}

int CFSClientDlg::StartupStep4() {
  if (const std::int32_t r = CreateListeningSocket(g_networkSettings.orvenaPort.load()); r != 0) {
    KillTimers();
    ShowWindow(SW_SHOW);
    ShowMessage("TK Error", "Failed initializing TCP sockets.\r\nError code = %d", static_cast<int>(r));
    CloseAllPeerLinks();
    Pause(50);
    return -10;
  }
  DWORD serial = 0;
  if (GetVolumeInformationA("/", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) == FALSE) {
    StopTimersAndQuit();
    return -20;
  }
  g_machineId = serial ^ kMachineIdMask;
  if (g_setupSettings.useFsuipc.load() == 0) {
    StopFsuipc();
  } else if (!FsuipcLinkUp()) {
    StartFsuipc();
  }
  SetMetarLabel(nullptr, false);
  ShowConnectionBitmap(kBitmapOffline);
  if (g_pMainThread != nullptr) {
    g_pMainThread->TraceRemoveDelimitedText('{', '}');
    g_pMainThread->TraceRemoveDelimiters('{', '}');
  }
  return 0;
}

void CFSClientDlg::RunQuitSequence() {
  CloseAllPeerLinks();
  if (g_sessionOpen.load()) CloseMultiplayerSession("Quit2");
  CloseListeningSocket();
  TellBridgeClientGone(m_hWnd);
  // The voice thread prints into the chat window, which goes once the loop ends.
  StopVoiceSystem();
  Pause(200);
  KlibShutdown();
  StopTimersAndQuit();
  Klib().exitFlag = 1;
}

void CFSClientDlg::OnPrivateMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case UIMSG_LOGIN_ACCEPTED:
      OnLoginAccepted();
      break;
    case UIMSG_LOGOUT:
      Pause(100);
      DisconnectQuietly();
      break;
    case UIMSG_SERVER_MESSAGE:
      ShowServerMessage();
      break;
    case UIMSG_SIMULATOR_CLOSING:
      OnDisconnectFromNetwork();
      OnQuitAndCloseSimulator();
      break;
    case UIMSG_SIMULATOR_IDENTIFIED:
      if (sim2sim_ != nullptr) sim2sim_->FollowInstalledSimulator();
      break;
    case UIMSG_TEST:
      KlibMainTraceLine(Klib().Colour(kColour26), "TESTINGX %d / %d.\r\n", static_cast<int>(wParam),
                        static_cast<int>(lParam));
      break;
    case THRDMSG_NOP:
      break;
    case THRDMSG_TRACE:
      ShowMessage("Tavelkor Error", "Error PRN_00");
      break;
    default:
      break;
  }
}

void CFSClientDlg::ShowServerMessage() {
  CNodeWay* node = NodeWayObject();
  if (node == nullptr) return;
  const ServerTextRecord record = node->ServerMessage();
  const int answer = ShowMessageWnd(MB_SYSTEMMODAL | MB_ICONHAND, 0, m_hWnd, "Tavelkor : Message from ORVENA", "%s",
                                    record.text.c_str());
  if (node->IsConnected()) {
    CBaseThread::Post(Klib().mainThread, node, THRDMSG_SERVER_ANSWER, static_cast<std::uint32_t>(answer), 0,
                      "PZGN1033");
  }
}

// The link status: with CTRL its state is printed, with SHIFT the program
// quits with the simulator, otherwise the session is left when open, else the
// link is made (again) and the session joined.
void CFSClientDlg::OnSimulatorStatusClick() {
  if ((GetKeyState(VK_CONTROL) & 0x8000) != 0) {
    const CXPlaneLink* link = XPlaneLinkObject();
    const bool connected = link != nullptr && link->IsConnected();
    KlibMainTraceLine(Klib().Colour(connected ? kColour25 : kColourError), "%s", connected ? "\tDLL ON" : "\tDLL OFF");
    return;
  }
  if ((GetKeyState(VK_SHIFT) & 0x8000) != 0) {
    OnQuitAndCloseSimulator();
    return;
  }
  TryFsMpConnect();
}

void CFSClientDlg::SendFlightPlanFromMenu() {
  if (!FlightPlanHasRules(CurrentFlightPlan())) return;
  // "sent." only for a plan that went to a way whose link is up.
  if (!SendFlightPlanToNetwork().Sent()) return;
  ResetUnknownLanguage();
  if (CCchatDlg* chat = g_pChatDlg.load()) {
    chat->SetFormat(0, Klib().Colour(kColourNormal));
    chat->PrintLineText(PickLanguage("Flight Plan ", "Plan de vol ", "Plan de vuelo "));
    chat->SetFormat(0, Klib().Colour(kColour25));
    chat->PrintText(PickLanguage("sent.", "envoy\xE9.", "enviado."));
  }
}

BOOL CFSClientDlg::PreTranslateMessage(MSG* msg) {
  if (msg != nullptr && msg->hwnd == m_hWnd && msg->message >= 0x8000 && msg->message <= 0xBFFF) {
    OnPrivateMessage(msg->message, msg->wParam, msg->lParam);
    return TRUE;
  }
  if (msg != nullptr && msg->message == WM_KEYDOWN && OnKeyDown(static_cast<std::uint32_t>(msg->wParam))) return TRUE;
  return CDialogEx::PreTranslateMessage(msg);
}

void CFSClientDlg::PostDelayedEvent(std::uint32_t code, std::uint32_t, std::uint32_t) {
  if (delayedStorage_ == nullptr) return;  // the ring does not exist yet
  std::array<std::uint8_t, 1 + kDelayedEventRecordSize> event{};
  event[0] = kDelayedEventTag;
  PutU32(&event[1], m_hWnd);
  PutU32(&event[5], code);
  PutU32(&event[17], TscMilliseconds());
  CCircBuf::Enter();
  // Written whole or not at all, so the drain never reads a record out of step.
  if (RingFree(delayedRing_) >= event.size()) CCircBuf::Write(delayedRing_, event.data(), event.size());
  CCircBuf::Leave();
}

void CFSClientDlg::DrainDelayedEvents(std::vector<MSG>& out) {
  std::uint32_t n = RingUsed(delayedRing_);
  while (n > 0) {
    const DWORD tag = CCircBuf::ReadByte(delayedRing_);
    if (tag == RING_EMPTY) break;
    --n;
    if (tag != kDelayedEventTag) {
      if (g_pMainThread != nullptr) g_pMainThread->TraceLine("SYSERR_M9900 : %u.", tag);
      continue;
    }
    std::array<std::uint8_t, kDelayedEventRecordSize> record{};
    if (RingRead(delayedRing_, record.data(), kDelayedEventRecordSize) != RING_OK) break;
    n = n >= kDelayedEventRecordSize ? n - kDelayedEventRecordSize : 0;
    MSG msg{};
    msg.hwnd = GetU32(&record[0]);
    msg.message = GetU32(&record[4]);
    msg.wParam = GetU32(&record[8]);
    msg.lParam = static_cast<LPARAM>(GetU32(&record[12]));
    msg.time = GetU32(&record[16]);
    out.push_back(msg);
  }
}

void CFSClientDlg::ProcessDelayedEvents() {
  if (tickCounter_ < 2 || delayedStorage_ == nullptr) return;
  // A box inside a replayed event must neither re-enter the drain nor block posters.
  if (draining_.exchange(true)) return;
  std::vector<MSG> events;
  CCircBuf::Enter();
  DrainDelayedEvents(events);
  CCircBuf::Leave();
  for (MSG& msg : events) PreTranslateMessage(&msg);
  draining_ = false;
  // A strip from one controller is echoed to every controller in contact.
  if (TakeFlightStripArrived()) ForwardFlightStripToControllers();
}

void PostDelayedEvent(std::uint32_t code) {
  if (CFSClientDlg* dialog = g_pMainDlg.load()) dialog->PostDelayedEvent(code);
}
