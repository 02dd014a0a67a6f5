#include "net/node_way.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "core/app_paths.h"
#include "core/connection_state.h"
#include "core/flight_plan.h"
#include "core/main_dialog_state.h"
#include "core/nearest_airport.h"
#include "core/own_aircraft_state.h"
#include "core/own_position.h"
#include "core/settings.h"
#include "core/ui_hooks.h"
#include "base/format_text.h"
#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "base/message_box.h"
#include "base/print_dlg.h"
#include "base/trusted_addresses.h"
#include "net/frame_codes.h"
#include "net/peer_ways.h"
#include "net/received_voice_hook.h"
#include "net/text_display.h"
#include "net/web_task_way.h"
#include "win/richedit.h"
#include "win/sound.h"
#include "win/window.h"

namespace {
constexpr char kLoopbackHost[] = "127.0.0.1";
constexpr char kDirectLabel[] = " (DIRECT) ";
constexpr int kLogoutFlushPoint = 3131;


std::string NcssLanHost() {
  std::lock_guard guard(SettingsTextLock());
  const std::string_view lan = FieldText(g_networkSettings.ncssLanIpAddress);
  return lan.empty() ? std::string(kLoopbackHost) : std::string(lan);
}
}  // namespace

CNodeWay::CNodeWay(void* ownerSlot, const char* name) : COrvSok(ownerSlot, WAYID_NODE, name, 1) {
  SetPeerKind('N');
}

CNodeWay::~CNodeWay() {
  if (Started()) {
    RequestStop(ExitCode());
    WaitForEnd(10'000);
  }
}

bool CNodeWay::StartWay(DWORD queueSize) {
  if (InitBuffers(OwnerSlot(), SOCK_MODE_TCP, kWayRxRingSize, kWayTxRingSize, kWaySoRcvBuf, kWaySoSndBuf) != 0) {
    return false;
  }
  return StartThread(1, queueSize) == 1;
}

// ---- State read by other threads ----

std::string CNodeWay::CurrentHubAddress() const {
  std::lock_guard lock(mutex_);
  return currentHub_;
}

std::string CNodeWay::HubEntryText() const {
  std::lock_guard lock(mutex_);
  return hubEntry_;
}

std::string CNodeWay::ServerName() const {
  std::lock_guard lock(mutex_);
  return serverName_;
}

std::string CNodeWay::FirstName() const {
  std::lock_guard lock(mutex_);
  return firstName_;
}

std::string CNodeWay::LastName() const {
  std::lock_guard lock(mutex_);
  return lastName_;
}

ServerTextRecord CNodeWay::ServerMessage() const {
  std::lock_guard lock(mutex_);
  return serverMessage_;
}

// ---- Hooks ----

void CNodeWay::PostUiEvent(std::uint32_t code) { ui_hook::PostUiEvent(code); }

OwnAircraftReport CNodeWay::OwnAircraftForNode() const {
  return ReportOwnAircraft(g_ownAircraft().Snapshot(), CurrentNearestAirport());
}

std::optional<FlightPlanRecordBytes> CNodeWay::FlightPlanForNode() const {
  return WriteFlightPlanRecord(CurrentFlightPlan());
}

void CNodeWay::SearchNearestAirport() { FindNearestAirport(); }

void CNodeWay::SetConnectionState(int state) { ui_hook::SetConnectionState(state); }

void CNodeWay::ShowNodeCountdown(std::uint32_t seconds) { ui_hook::ShowCountdown(seconds); }

void CNodeWay::ShowMainWindow() { ui_hook::ShowMainWindowIfHidden(); }

void CNodeWay::ShowChat() { ui_hook::ShowChatWindow(); }

void CNodeWay::EnableChat(bool enable) { ui_hook::EnableChatInput(enable); }

void CNodeWay::CloseMainWindow() { ui_hook::PostCloseToMainWindow(); }

void CNodeWay::LeaveQuietly() { ui_hook::DisconnectQuietly(); }

void CNodeWay::Beep() { PlayDefaultBeep(); }

void CNodeWay::PlayDisconnectionSound() {
  const std::string& path = g_appPaths().notifySound;
  PlaySoundA(path.empty() ? kDisconnectionSound : path.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
}

void CNodeWay::SetMainDialogText(int controlId, const char* text) { ui_hook::SetMainDialogText(controlId, text); }

void CNodeWay::DisplayLongHaulText(const PrivateTextRecord& record) { DisplayTextPrivate(*this, record); }

void CNodeWay::PlayReceivedVoice(std::span<const std::uint8_t> frame) { DeliverReceivedVoice(frame); }

COrvSok* CNodeWay::PeerWayFor(std::int32_t way) const { return PeerWayObject(way); }

// ---- Helpers ----

void CNodeWay::NotifyTrace(const char* tag) {
  if (CMainThread* main = Klib().mainThread) Post(this, main, THRDMSG_TRACE, 0, 0, tag);
}

// The braces are written in the text window's background colour, so that the
// next attempt can remove the whole line when no trace flags are set.
void CNodeWay::TraceProgress(const char* text) {
  NodeTrace(kNodeHiddenColour, kNodeNewLine, "{");
  NodeTrace(kColourNormal, 0, text);
  NodeTrace(kNodeHiddenColour, 0, "}");
}

// ---- Messages ----

DWORD CNodeWay::HandleNodeMessage(const DMessage& message) {
  switch (message.id) {
    case THRDMSG_CONNECT:
      ConnectAndLogin();
      return 1;
    case THRDMSG_DISCONNECTION:
      Disconnection(message);
      return 1;
    case THRDMSG_CANCEL:
      Cancel();
      return 1;
    case THRDMSG_LOGOUT:
      Logout();
      return 1;
    case THRDMSG_HEARTBEAT:
      SendToNode(kNcsMsgHeaderOnly, 0);
      return 1;
    case THRDMSG_NODE_PILOT:
      SendToNode(NCSMSG_PILOT, static_cast<std::uint8_t>(message.param & 0xFF), {}, message.word3);
      return 1;
    case THRDMSG_FLIGHT_PLAN:
      SendToNode(NCSMSG_PILOT, NCSUB_FLIGHT_PLAN);
      return 1;
    case THRDMSG_SERVER_ANSWER:
      SendToNode(NCSMSG_STANDARD, kStandardServerAnswer, {}, message.param);
      return 1;
    case THRDMSG_KICKOUT:
    case THRDMSG_TEXT_LONGHAUL: {
      // Each request carries its own record: a second one posted before this
      // is sent does not change it.
      PrivateTextRecordBytes carried{};
      std::span<const std::uint8_t> data;
      if (PendingPayload() >= carried.size()) {
        PopData(carried.data(), static_cast<std::uint32_t>(carried.size()));
        data = carried;
      }
      DropPendingPayload();
      SendToNode(message.id == THRDMSG_KICKOUT ? NCSMSG_KICKOUT : NCSMSG_TEXT_LONGHAUL, 0, data);
      return 1;
    }
    case THRDMSG_RAW_BLOCK:
      SendRawBlock(message);
      return 1;
    case THRDMSG_WAY_TEST:
      return 1;
    default:
      return 0;
  }
}

std::string CNodeWay::ChooseHost(const std::string& entry, bool& looping, const char*& label) const {
  looping = false;
  label = "";
  if (g_networkSettings.directAddress.load()) {
    label = kDirectLabel;
    return entry;
  }
  const std::string publicAddress = OwnPublicAddress();
  if (publicAddress.empty()) return NcssLanHost();
  // The hub behind the own public address is reached on the LAN: only an
  // equal address counts (10.1.2.3 is not inside 10.1.2.30).
  if (SameHostAddress(publicAddress, entry)) {
    looping = true;
    return NcssLanHost();
  }
  return entry;
}

void CNodeWay::ConnectAndLogin() {
  // A reconnect soon after a loss must not be put to sleep by the loss's countdown.
  SetSleepCountdownRaw(0);
  if (Klib().traceMask.load() == 0) RemoveDelimitedText('{', '}');
  loginAccepted_.store(false, std::memory_order_release);
  std::uint16_t port = hubPort_.load(std::memory_order_acquire);
  const HubEntry entry = ParseHubEntry(HubListText(), port);
  hubPort_.store(port, std::memory_order_release);
  {
    std::lock_guard lock(mutex_);
    currentHub_.clear();
    hubEntry_ = entry.host;
  }

  bool looping = false;
  const char* label = "";
  const std::string host = ChooseHost(entry.host, looping, label);
  if (looping) {
    TraceProgress(Verbose() ? FormatText(" Connect looping at %s:%d ...", host.c_str(), port).c_str()
                            : " Connecting to Hub ...");
  } else {
    TraceProgress(Verbose() ? FormatText(" Connecting to Hub %s at %s:%d ...", label, host.c_str(), port).c_str()
                            : FormatText(" Connecting to Hub %s...", label).c_str());
  }

  connectInProgress_.store(true, std::memory_order_release);
  SetPeerKind('N');
  if (ConnectWay(host.c_str(), port) != 0) {
    // No link, so no disconnection notice follows: nothing is in progress any more.
    connectInProgress_.store(false, std::memory_order_release);
    NodeTrace(kColourError, 0, " Failed.");
    g_hubListCountdown.store(kHubListRetrySeconds);
    TraceProgress(FormatText("  Retrying in %d seconds...", kHubListRetrySeconds).c_str());
    SetConnectionState(kConnectionConnecting);
    return;
  }
  AddTrustedAddressText(host.c_str());
  if (Verbose()) {
    NodeTrace(kColourNormal, 0, "OK.");
  } else {
    RemoveDelimitedText('{', '}');
  }
  {
    std::lock_guard lock(mutex_);
    currentHub_ = host;
  }
  SearchNearestAirport();
  SetStopCountdown(kLoginAckWaitSeconds);
  TraceProgress(Verbose() ? FormatText("Getting nodes list from hub %s ...", entry.host.c_str()).c_str()
                          : " Getting nodes list from hub ...");
  SendToNode(NCSMSG_LOGIN, NCSUB_LOGIN);
}

void CNodeWay::Disconnection(const DMessage& message) {
  const std::string reason = PopReasonText(message, "node");
  if (message.param != 0) return;

  const bool sessionOpen = g_networkState.load() != 0;
  if (sessionOpen && LoginAccepted()) {
    g_hubListCountdown.store(kHubListRetrySeconds);
    NodeTracef(kColourError, kNodeNewLine, "Connection to node lost. Reconnecting in %d seconds...",
               kHubListRetrySeconds);
  } else if (!sessionOpen && g_networkSettings.directAddress.load()) {
    SetOwnPublicAddress("");
  }
  {
    std::lock_guard lock(mutex_);
    serverName_.clear();
  }
  loginAccepted_.store(false, std::memory_order_release);
  SetMainDialogText(kNodeStatusFieldId, "-- --");

  if (!ConnectInProgress()) {
    Pause(kDisconnectionNoticePauseMs);
    WayTableTraceGate gate;
    if (Verbose()) {
      NodeTracef(kColourError, kNodeNewLine, " **** Disconnected from network ( %s ). **** \r\n", reason.c_str());
    } else {
      NodeTrace(kColourError, kNodeNewLine, " **** Disconnected from network. **** \r\n");
    }
  } else {
    connectInProgress_.store(false, std::memory_order_release);
  }
  SetConnectionState(g_hubListCountdown.load() != 0 ? kConnectionConnecting : kConnectionOffline);
  if (g_setupSettings.enableSoundOnPrivateMsg.load() != 0) PlayDisconnectionSound();
  EnableChat(false);

  OnDisconnection(FormatText("NWTSC: %s.", reason.c_str()).c_str());
  ResetWay("DISCONNECTION");
  SetSleepCountdown(kDisconnectionSleepSeconds);
}

void CNodeWay::Cancel() {
  g_networkState.store(0);
  g_hubListCountdown.store(0);
  g_hubRefreshCounter.store(0);
  g_reconnectCountdown.store(0);
  if (Klib().traceMask.load() == 0) RemoveDelimitedText('{', '}');
  NodeTrace(kColourEmphasis, 0, " Canceled.");
}

void CNodeWay::Logout() {
  const bool linked = IsConnected();
  if (linked) SendToNode(NCSMSG_LOGOUT, 0);
  Flush(kLogoutFlushPoint);
  Pause(kNodeShortPauseMs);
  SetLoggedInBits(LoggedInBits() & ~(kWayLoggedIn | kWayLoggedInPeer));
  if (!linked) return;  // no link: no loss to announce
  Pause(kNodeLogoutSettleMs);
  ResetRx();
  Disconnect("o_PMN");
}

void CNodeWay::SendRawBlock(const DMessage& message) {
  // A non-zero parameter drops the data (the loop discards what is left unread).
  if (message.param != 0) return;
  const std::uint32_t length = std::min(message.word3, PendingPayload());
  if (length == 0) return;
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[length]);
  if (buffer == nullptr) {
    NodeTracef(kColourError, kNodeNewLine, "\t%s %s ERR_TOUR_SEND RAM = %d", kNodeLogTag, Name(),
               static_cast<int>(length));
    return;
  }
  PopData(buffer.get(), length);
  SendToNode(kNcsMsgVoiceBlock, 0, std::span<const std::uint8_t>(buffer.get(), length));
}
