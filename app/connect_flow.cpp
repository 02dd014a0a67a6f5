#include "app/connect_flow.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include "app/app_globals.h"
#include "core/app_paths.h"
#include "core/cross_sim_offsets_file.h"
#include "app/login_fields.h"
#include "app/main_class.h"
#include "app/main_window_actions.h"
#include "app/main_dialog.h"
#include "core/main_dialog_state.h"
#include "app/metar_banner.h"
#include "core/nearest_airport.h"
#include "sim/own_aircraft_poll.h"
#include "core/own_callsign.h"
#include "core/settings.h"
#include "core/sim_family.h"
#include "base/byte_order.h"
#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/message_box.h"
#include "dialogs/atc_list_dialog.h"
#include "dialogs/callsign_dialog.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/main_setup_dialog.h"
#include "dialogs/chat_routing.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "net/owner_slot.h"
#include "net/way_record.h"
#include "net/web_task_way.h"
#include "sim/plugin_link.h"
#include "win/clock.h"
#include "win/messages.h"
#include "win/sound.h"
#include "win/window.h"

namespace {
constexpr int kCallsignFieldId = 7107;
constexpr int kCountdownFieldId = 7108;

constexpr std::uint16_t kHubListAnswerSeconds = 50;
constexpr std::uint32_t kFirstReportCounter = 28;
constexpr DWORD kLeavePauseMs = 100;

// The web task's rings and socket buffers.
constexpr DWORD kWebRxRing = 0x34800;
constexpr DWORD kWebTxRing = 0x19000;
constexpr DWORD kWebSoRcvBuf = 0x18000;
constexpr DWORD kWebSoSndBuf = 0x2000;

constexpr char kUnicomFrequency[] = "123.000";

std::atomic<unsigned> g_connectionBitmap{kBitmapOffline};
CBaseThread* g_pWebTask = nullptr;  // owner slot of the web-task way
std::mutex& WebTaskLock() {
  static std::mutex lock;
  return lock;
}

CWnd* MainDialogItem(int id) {
  CFSClientDlg* dialog = g_pMainDlg.load();
  return dialog != nullptr ? dialog->GetDlgItem(id) : nullptr;
}

void PrintLine(int colourField, const char* text) { KlibMainTraceLine(Klib().Colour(colourField), "%s", text); }

CNodeWay* ConnectedNodeWay() {
  CNodeWay* node = NodeWayObject();
  return node != nullptr && node->IsConnected() ? node : nullptr;
}

// Stops a hub-list fetch or a reconnection that is counting down. The node
// way cancels on its own thread; before the first connect there is none, and
// the countdowns are stopped here so that the cancel is never lost.
void CancelCountdown(const char* tag) {
  if (CNodeWay* node = NodeWayObject()) {
    CBaseThread::Post(Klib().mainThread, node, THRDMSG_CANCEL, 0, 0, tag);
  } else {
    g_networkState = 0;
    g_hubListCountdown = 0;
    g_hubRefreshCounter = 0;
    g_reconnectCountdown = 0;
    if (g_pMainThread != nullptr && Klib().traceMask.load() == 0) g_pMainThread->TraceRemoveDelimitedText('{', '}');
    PrintLine(kColourEmphasis, " Canceled.");
  }
  // Nothing is in progress any more: the next press connects again.
  g_connecting = false;
  SetConnectionBitmap(kConnectionOffline);
}

void PlayNotify() {
  if (g_setupSettings.enableSoundOnPrivateMsg.load() != 0) {
    PlaySoundA(g_appPaths().notifySound.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT);
  }
}

constexpr char kUnicomReminderTail[] =
    "Transponder must be switched in Charlie once one the runway (click Dash button).\r\n\r\nBefore take-off, "
    "please submit a flight plan.\r\n\r\n\r\nHappy landings Captain !";

// A pilot already tuned to UNICOM on a selected radio is spared the
// frequency; the radios' texts are "%.2f", so they are compared as numbers.
void ShowUnicomReminder() {
  if (SelectedRadioOn(kUnicomFrequency, CurrentOwnRadios().View())) {
    ShowMessage("Information on ORVENA", "%s", kUnicomReminderTail);
    return;
  }
  ShowMessage("Information on ORVENA",
              "The official UNICOM frequency is %s Mhz\r\n\r\nPlease tune it on one of your radios and pay attention to "
              "the voice messages that you might receive.\r\n\r\n%s",
              kUnicomFrequency, kUnicomReminderTail);
}

void OnWebTaskReport(WebTaskReport report) {
  switch (report) {
    case WebTaskReport::kConnectToNode:
      ConnectToNode();
      break;
    case WebTaskReport::kConnecting:
      SetConnectionBitmap(kConnectionConnecting);
      break;
    case WebTaskReport::kOffline:
      SetConnectionBitmap(kConnectionOffline);
      break;
  }
}

CWebTaskWay* WebTaskWay() { return dynamic_cast<CWebTaskWay*>(LoadOwnerSlot(g_pWebTask)); }

// Creates the web-task way once; null when it cannot be had (the next request tries again).
CWebTaskWay* EnsureWebTaskWay() {
  std::lock_guard guard(WebTaskLock());
  if (CWebTaskWay* way = WebTaskWay()) return way;
  SetWebTaskCallback(&OnWebTaskReport);
  auto* way = new (std::nothrow) CWebTaskWay(&g_pWebTask, kWebTaskWayName);
  if (way == nullptr) return nullptr;
  if (way->InitBuffers(&g_pWebTask, SOCK_MODE_TCP, kWebRxRing, kWebTxRing, kWebSoRcvBuf, kWebSoSndBuf) < 0 ||
      way->StartThread(0, 0) < 0) {
    delete way;
    return nullptr;
  }
  StoreOwnerSlot(g_pWebTask, way);
  return way;
}
}  // namespace

void OnConnectButton() {
  if (g_networkState.load() == 0) {
    if (DetectOtherClient() == 0) {
      ShowMessage("Warning", "%s",
                  "Another pilot client software has been detected\r\nBe informed that you should disable or "
                  "uninstall it to prevent conflicts due to racing between software using the same resources.");
    }
    ShowUnicomReminder();
  }
  if (g_hubListCountdown.load() != 0) {
    CancelCountdown("PZGN1041");
    return;
  }
  if (g_reconnectCountdown.load() != 0) {
    CancelCountdown("PZGN1042");
    return;
  }
  if (CCchatDlg* chat = g_pChatDlg.load(); chat != nullptr && chat->IsWindowVisible()) chat->ScrollToEnd();
  SetConnectionBitmap(1);
  if (g_networkState.load() != 0 || g_connecting.load()) {
    OnDisconnectFromNetwork();
    return;
  }
  g_connecting = true;
  const int slot = g_selectedNetworkSlot.load();
  if (slot < 0 || ConnectToNetwork(slot) < 0) {
    // A refused attempt leaves nothing in progress: the next press connects again.
    g_connecting = false;
    SetConnectionBitmap(kConnectionOffline);
    return;
  }
  CPilotsInfoDlg* callsignDialog = g_pPilotsInfoDlg.load();
  if (callsignDialog != nullptr) {
    callsignDialog->ShowWindow(SW_SHOW);
    callsignDialog->ShowWindow(SW_HIDE);
  }
  std::array<char, kCallSignSize> callsign{};
  if (CheckLoginFields(callsignDialog, callsign) != 1) {
    g_connecting = false;
    SetConnectionBitmap(kConnectionOffline);
    return;
  }
  SetOwnCallsign(callsign.data());
  RequestHubsList();
}

int ConnectToNetwork(int slot) {
  if (slot < 0 || slot >= kNetworkSlotCount) return -10;
  g_selectedNetworkSlot = slot;
  if (!g_sessionOpen.load()) {
    ShowMessage("Tavelkor Information", "%s",
                "You must be connected to multiplayer session before joining the network.");
    return -20;
  }
  ActivateNetworkSlot(slot);
  const NetworkSlot site = CurrentNetworkSlot();
  if (site.website[0] == '\0' || site.website[0] == ' ') {
    ShowMessage("Tavelkor Information", "%s", "You must fill and setup your network informations before connecting.");
    return -30;
  }
  if (CCchatDlg* chat = g_pChatDlg.load()) {
    if (CWnd* field = chat->GetDlgItem(kChatSiteId)) field->SetWindowText(site.website.data());
  }
  if (!g_connecting.load()) {
    if (CPilotsInfoDlg* callsignDialog = g_pPilotsInfoDlg.load()) callsignDialog->ShowWindow(SW_SHOW);
  }
  return 0;
}

void RequestHubsList() {
  SetConnectionBitmap(kConnectionConnecting);
  if (CWnd* field = MainDialogItem(kCallsignFieldId)) field->SetWindowText(OwnCallsign().c_str());
  if (g_networkSettings.directAddress.load()) {
    g_reconnectCountdown = 1;
    return;
  }
  CWebTaskWay* way = EnsureWebTaskWay();
  if (way == nullptr) {
    SetConnectionBitmap(kConnectionOffline);
    return;
  }
  g_hubListCountdown = kHubListAnswerSeconds;
  way->ClearSleepCountdown();
  way->Resume(0);
  CBaseThread::Post(Klib().mainThread, way, THRDMSG_WEBTASK, 0, 0, "PZGN1038");
}

void OnDisconnectFromNetwork() {
  SetConnectionBitmap(kConnectionOffline);
  if (g_hubListCountdown.load() != 0) PrintLine(kColourNormal, " Retrying canceled.");
  g_hubListCountdown = 0;
  g_hubRefreshCounter = 0;
  g_connecting = false;
  if (g_networkState.load() != 0) LeaveMultiplayerSession();
  SetConnectionBitmap(kConnectionOffline);
}

void DisconnectQuietly() {
  if (g_networkState.load() == 0) {
    g_hubListCountdown = 0;
    g_hubRefreshCounter = 0;
    // The attempt is over (a refused login among others): the button shows
    // offline, so its next press connects instead of cancelling nothing.
    g_connecting = false;
  } else {
    LeaveMultiplayerSession();
  }
  SetConnectionBitmap(kConnectionOffline);
}

void LeaveMultiplayerSession() {
  if (g_networkState.load() == 0) return;
  g_networkState = 0;
  g_reportCounter = 0;
  if (CNodeWay* node = ConnectedNodeWay(); node != nullptr && !g_logoutSent.exchange(true)) {
    CBaseThread::Post(Klib().mainThread, node, THRDMSG_LOGOUT, 0, 0, "PZGN1044");
  }
  PostToAtcList(kAtcListResetCommand);
  // The targets are chosen under the lock and told after it: a post may wait
  // for room in a way's queue, and that way may be waiting for the lock.
  struct Leave {
    COrvSok* way = nullptr;
    std::uint32_t id = 0;
    const char* tag = "";
  };
  std::array<Leave, kPeerWayCount> leaves{};
  std::size_t count = 0;
  {
    WayTableGuard guard;
    for (WayRecord& record : WayTable()) {
      COrvSok* way = record.way;
      if (way == nullptr) continue;
      if (record.peerKind == 'A' && way->IsConnected()) {
        leaves[count++] = Leave{way, THRDMSG_LOGOUT, "PZGN1046"};
      } else if (record.peerKind == 'P' && (way->LoggedInBits() & kWayLoggedIn) != 0) {
        leaves[count++] = Leave{way, THRDMSG_LEAVE, "PZGN1045"};
      }
    }
  }
  for (std::size_t i = 0; i < count; ++i) {
    CBaseThread::Post(Klib().mainThread, leaves[i].way, leaves[i].id, 0, 0, leaves[i].tag);
  }
  Sleep(kLeavePauseMs);
  if (g_networkSettings.directAddress.load()) SetOwnPublicAddress("");
}

void OnLoginAccepted() {
  g_inactivityCountdown = kInactivitySeconds;
  FindNearestAirport();
  // A new session: its logout is still to be sent.
  g_logoutSent = false;
  OnMultiplayerConnected();
  if (MainConfigDlg* setup = g_pMainConfigDlg.load()) {
    if (const CNodeWay* node = NodeWayObject()) setup->ShowPilotName(node->FirstName(), node->LastName());
  }
  PlayNotify();
}

void OnMultiplayerConnected() {
  g_networkState = 2;
  g_connecting = false;
  EnableChatInput(true);
  // The login carried the own aircraft as it stands: the poll reports changes from here.
  MarkOwnAircraftReported();
  SetConnectionBitmap(kConnectionConnected);
  if (CCchatDlg* chat = g_pChatDlg.load()) {
    if (CWnd* input = chat->GetDlgItem(kChatInputId)) input->SetWindowText("");
  }
  PostToAtcList(kAtcListResetCommand);
  g_reportCounter = kFirstReportCounter;
  LoadCrossSimOffsets(LocalSimulatorFamily());
  SetMetarLabel(nullptr, false);
}

void OnMultiplayerSessionClosed() {
  PrintLine(kColourError, "Disconnected from multiplayer session !");
  g_sessionOpen = false;
}

void SetConnectionBitmap(int state) {
  unsigned bitmap = kBitmapOffline;
  if (state == 1 || state == kConnectionConnecting) bitmap = kBitmapConnecting;
  if (state == kConnectionConnected) bitmap = kBitmapConnected;
  g_connectionBitmap = bitmap;
  if (CFSClientDlg* dialog = g_pMainDlg.load()) dialog->ShowConnectionBitmap(bitmap);
}

unsigned ConnectionBitmap() { return g_connectionBitmap.load(); }

void ShowCountdown(std::uint32_t seconds) {
  std::array<char, 16> text{};
  std::snprintf(text.data(), text.size(), "%02u:%02u", static_cast<unsigned>((seconds / 60) % 100),
                static_cast<unsigned>(seconds % 60));
  if (CWnd* field = MainDialogItem(kCountdownFieldId)) field->SetWindowText(text.data());
}

int DetectOtherClient() {
  // Only clients of the other simulator family are looked for, and this
  // program always runs with an X-Plane code.
  return 1;
}

void DestroyConnectionWays() {
  {
    std::lock_guard guard(WebTaskLock());
    delete WebTaskWay();
    StoreOwnerSlot(g_pWebTask, nullptr);
  }
  delete NodeWayObject();
  StoreOwnerSlot(g_porvNode, nullptr);
  delete XPlaneLinkObject();
  StoreOwnerSlot(g_porvDll, nullptr);
  XPlaneLinkUp = false;
  g_sessionOpen = false;
  g_sessionFlagSent = false;
  g_connecting = false;
  g_logoutSent = false;
  g_selectedNetworkSlot = -1;
  g_connectionBitmap = kBitmapOffline;
}
