#include "dialogs/locate_dialog.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/main_thread.h"
#include "core/locate_hooks.h"
#include "core/settings.h"
#include "core/settings_keys.h"
#include "core/text_fields.h"
#include "net/orv_sok.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_lock.h"
#include "sim/plugin_link.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/listview_ctrl.h"
#include "win/messages.h"
#include "win/system_metrics.h"

std::atomic<CLocateAndTrackPlane*> g_pLocateDlg{nullptr};

namespace {

constexpr WORD kKeyTab = 9;
constexpr double kMetresPerNauticalMile = 1852.0;
constexpr std::uint32_t kWholeMetresBelow = 1852;
constexpr COLORREF kListBackground = 0x2A1817;

struct ListColumn {
  const char* title;
  int format;
  int width;
};
constexpr std::array<ListColumn, 4> kColumns = {{{"Callsign", LVCFMT_LEFT, 95},
                                                  {"Dist.", LVCFMT_LEFT, 55},
                                                  {"Alt.", LVCFMT_CENTER, 49},
                                                  {"To him", LVCFMT_LEFT, 55}}};

// Written under the AI lock when a pilot is chosen; read by any thread.
std::atomic<std::int32_t> g_trackedWay{kNotTracked};
// The window the ways' refresh requests are posted to.
std::atomic<HWND> g_locateWindow{0};

int SendTrackPilot(std::int32_t way, const char* callerTag) {
  const auto word = static_cast<std::uint32_t>(way);
  const std::array<std::uint8_t, 4> body = {static_cast<std::uint8_t>(word), static_cast<std::uint8_t>(word >> 8),
                                            static_cast<std::uint8_t>(word >> 16),
                                            static_cast<std::uint8_t>(word >> 24)};
  const int sent = SendToXPlane(Klib().mainThread.load(), XTK_CMD_TRACK_PILOT, body, callerTag);
  if (sent == 0 && Klib().TraceBit(kLinkErrorTraceBit)) {
    KlibMainTraceLine(Klib().Colour(kColourError), "Error %s", callerTag);
  }
  return sent;
}

LocateActions& Actions() {
  static LocateActions actions = DefaultLocateActions();
  return actions;
}

int SendTrack(std::int32_t way, const char* callerTag) {
  const auto send = Actions().sendTrackPilot;
  return send != nullptr ? send(way, callerTag) : 0;
}

void PostRefreshToLocate() {
  if (const HWND window = g_locateWindow.load(); window != 0) {
    PostMessageA(window, WM_COMMAND, kLocateRefreshCommand, 0);
  }
}

bool ShiftHeld() { return GetKeyState(VK_SHIFT) < 0; }

// A pilot the list shows: his record is visible and his way's peer link is up.
bool Listable(const WayRecord& record) {
  return (record.stateFlags & kWayInvisible) == 0 && record.peerKind == 'P' && record.way != nullptr &&
         (record.way->LoggedInBits() & kWayLoggedIn) != 0;
}

struct LocateRowTexts {
  std::int32_t way = 0;
  std::array<std::string, kColumns.size()> texts;
};

std::string AltitudeText(double feet) {
  const double clamped = std::isfinite(feet) ? std::clamp(feet, -1.0e9, 1.0e9) : 0.0;
  char text[16];
  std::snprintf(text, sizeof text, "%d", static_cast<int>(clamped));
  return text;
}

}  // namespace

LocateActions DefaultLocateActions() {
  LocateActions actions;
  actions.sendTrackPilot = &SendTrackPilot;
  return actions;
}

void SetLocateActions(const LocateActions& actions) { Actions() = actions; }

std::int32_t TrackedPilotWay() { return g_trackedWay.load(); }

std::uint32_t LocateMetres(double metres) {
  if (!(metres > 0.0)) return 0;
  if (metres >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
    return std::numeric_limits<std::uint32_t>::max();
  }
  return static_cast<std::uint32_t>(metres);
}

std::string LocateDistanceText(std::uint32_t metres) {
  char text[32];
  if (metres >= kWholeMetresBelow) {
    std::snprintf(text, sizeof text, "%.1f", metres / kMetresPerNauticalMile);
  } else {
    std::snprintf(text, sizeof text, "%dm", static_cast<int>(metres));
  }
  return text;
}

std::string LocateBearingText(double degrees) {
  double bearing = std::isfinite(degrees) ? degrees : 0.0;
  if (bearing > 360.0) {
    bearing -= 360.0;
  } else if (bearing < 0.0) {
    bearing += 360.0;
  }
  bearing = std::clamp(bearing, -1.0e6, 1.0e6);
  char text[32];
  std::snprintf(text, sizeof text, "%d\xB0", static_cast<int>(bearing));
  return text;
}

CLocateAndTrackPlane::CLocateAndTrackPlane() : CDialogEx(kLocateTemplate) {}

CLocateAndTrackPlane::~CLocateAndTrackPlane() {
  if (g_pLocateDlg.load() == this) g_pLocateDlg = nullptr;
  // A way that loses its link later must not post to a window that is gone.
  HWND mine = m_hWnd;
  if (mine != 0 && g_locateWindow.compare_exchange_strong(mine, 0)) SetLocateRefreshHook(nullptr);
  DestroyWindow();
}

BOOL CLocateAndTrackPlane::OnInitDialog() {
  CDialogEx::OnInitDialog();
  SetUpList();
  ApplySavedPosition();
  RegisterRefreshHook();
  return TRUE;
}

void CLocateAndTrackPlane::RegisterRefreshHook() {
  g_locateWindow = m_hWnd;
  SetLocateRefreshHook(&PostRefreshToLocate);
}

void CLocateAndTrackPlane::SetUpList() {
  auto* list = dynamic_cast<CListCtrl*>(GetDlgItem(kLocateListId));
  if (list == nullptr) return;
  list->SetExtendedStyle(list->GetExtendedStyle() | LVS_EX_FULLROWSELECT);
  list->SetTextColor(Klib().Colour(kColourNormal));
  list->SetTextBkColor(kListBackground);
  list->SetBkColor(kListBackground);
  for (std::size_t i = 0; i < kColumns.size(); ++i) {
    list->InsertColumn(static_cast<int>(i), kColumns[i].title, kColumns[i].format, kColumns[i].width,
                       static_cast<int>(i));
  }
}

void CLocateAndTrackPlane::ApplySavedPosition() {
  RECT window{};
  GetWindowRect(&window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  const std::optional<WindowPosition> saved = ReadWindowPosition(settings_key::kLocatePosition);
  if (saved && saved->left < screenWidth && saved->top < screenHeight && saved->right > 0 && saved->bottom > 0) {
    // The layout is fixed: the window keeps its own size.
    MoveWindow(saved->left, saved->top, width, height, TRUE);
    return;
  }
  MoveWindow((screenWidth - width) / 2, (screenHeight - height) / 2, width, height, TRUE);
}

void CLocateAndTrackPlane::SavePosition() {
  RECT window{};
  GetWindowRect(&window);
  WriteWindowPosition(settings_key::kLocatePosition, {window.left, window.top, window.right, window.bottom});
}

void CLocateAndTrackPlane::RefreshList() {
  if (m_hWnd == 0) return;
  if (GetWindowThreadProcessId(m_hWnd, nullptr) != GetCurrentThreadId()) {
    // The list belongs to the window's thread.
    PostMessage(WM_COMMAND, kLocateRefreshCommand, 0);
    return;
  }
  std::vector<LocateRowTexts> rows;
  bool drop = false;
  {
    // The ways write their records under this lock: each is read whole.
    WayTableGuard guard;
    const WayTableArray& table = WayTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
      const WayRecord& record = table[i];
      if (!Listable(record)) continue;
      const std::uint32_t metres = LocateMetres(record.distanceMetres);
      if (metres >= kLocateListedBelowMetres) continue;
      LocateRowTexts& row = rows.emplace_back();
      row.way = static_cast<std::int32_t>(i);
      row.texts = {std::string(FieldText(record.callsign)), LocateDistanceText(metres),
                   AltitudeText(record.position.altitude), LocateBearingText(record.bearingDegrees)};
    }
    if (const std::int32_t tracked = g_trackedWay.load(); tracked != kNotTracked) {
      const WayRecord* record = PeerWayRecord(tracked);
      const bool stillHim = record != nullptr && (record->stateFlags & kWayAllocated) != 0 &&
                            record->peerKind == 'P' && WayAllocationOf(tracked) == trackedAllocation_;
      drop = !stillHim || LocateMetres(record->distanceMetres) >= kLocateDroppedFromMetres;
    }
  }

  if (auto* list = dynamic_cast<CListCtrl*>(GetDlgItem(kLocateListId))) {
    list->DeleteAllItems();
    for (const LocateRowTexts& row : rows) {
      const int index = list->InsertItem(list->GetItemCount(), row.texts[0].c_str());
      if (index < 0) continue;
      list->SetItemData(index, static_cast<DWORD_PTR>(row.way));
      for (std::size_t column = 1; column < row.texts.size(); ++column) {
        list->SetItemText(index, static_cast<int>(column), row.texts[column].c_str());
      }
    }
  }
  if (drop) DropTracking("ODBLOKB");
}

void CLocateAndTrackPlane::OnDblClkList(int row) {
  auto* list = dynamic_cast<CListCtrl*>(GetDlgItem(kLocateListId));
  if (list == nullptr || row < 0 || row >= list->GetItemCount()) return;
  const auto way = static_cast<std::int32_t>(list->GetItemData(row));
  const std::string rowCallsign = list->GetItemText(row, 0);
  std::string callsign;
  std::string title;
  std::uint32_t allocation = 0;
  {
    // The row may be older than the record: it must still hold that pilot.
    WayTableGuard guard;
    const WayRecord* record = PeerWayRecord(way);
    if (record == nullptr || !Listable(*record) || FieldText(record->callsign) != rowCallsign) return;
    callsign = FieldText(record->callsign);
    title = FieldText(record->announced.title);
    allocation = WayAllocationOf(way);
  }
  // The plug-in tracks whom it was told to: nothing changes when the command did not go out.
  if (SendTrack(way, "ODBLOKA") == 0) return;
  {
    AiGuard guard;
    trackedAllocation_ = allocation;
    g_trackedWay = way;
  }
  const std::string shown = callsign + "\r\n" + title;
  SetTrackedText(shown.c_str());
}

void CLocateAndTrackPlane::SetTrackedText(const char* text) {
  if (CWnd* field = GetDlgItem(kLocateTrackedId)) field->SetWindowText(text);
}

void CLocateAndTrackPlane::OnCancelTracking() { DropTracking("ODBLOKC"); }

void CLocateAndTrackPlane::DropTracking(const char* callerTag) {
  SetTrackedText("");
  g_trackedWay = kNotTracked;
  SendTrack(kNotTracked, callerTag);
}

BOOL CLocateAndTrackPlane::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (header == nullptr || header->idFrom != static_cast<UINT_PTR>(kLocateListId) || header->code != NM_DBLCLK) {
    return CDialogEx::OnNotify(wParam, lParam, result);
  }
  OnDblClkList(reinterpret_cast<const NMITEMACTIVATE*>(lParam)->iItem);
  if (result != nullptr) *result = 0;
  return TRUE;
}

LRESULT CLocateAndTrackPlane::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
  switch (message) {
    case WM_SHOWWINDOW:
      if (wParam != 0) RefreshList();
      if (CWnd* parent = GetParent()) {
        PostMessageA(parent->m_hWnd, WM_COMMAND, kLocateShownCommand, wParam != 0 ? 1 : 0);
      }
      break;
    case WM_MOVE:
      if (IsWindowVisible()) SavePosition();
      break;
    default:
      break;
  }
  return result;
}

BOOL CLocateAndTrackPlane::PreTranslateMessage(MSG* msg) {
  if (msg != nullptr && msg->message == WM_KEYDOWN && msg->wParam == kKeyTab && msg->hwnd != m_hWnd &&
      ::GetParent(msg->hwnd) == m_hWnd) {
    return OnCommand(kKeyTab, 0);
  }
  return CDialogEx::PreTranslateMessage(msg);
}

BOOL CLocateAndTrackPlane::OnCommand(WPARAM wParam, LPARAM lParam) {
  const WORD id = LOWORD(wParam);
  // The camera's fine-tuning is the plug-in's own: these buttons send nothing.
  if ((id >= kLocateFirstTuningId && id <= kLocateLastTuningId) || id == kLocateOneToOneId) return TRUE;
  switch (id) {
    case kLocateRefreshCommand:
      if (IsWindowVisible()) RefreshList();
      return TRUE;
    case kLocateCancelTrackingId:
      if (g_trackedWay.load() == kNotTracked) {
        OnCancel();
      } else {
        OnCancelTracking();
      }
      return TRUE;
    case kKeyTab: {
      const HWND focus = GetFocus();
      const HWND from = focus != 0 && ::GetParent(focus) == m_hWnd ? focus : 0;
      if (const HWND next = GetNextDlgTabItem(m_hWnd, from, ShiftHeld() ? TRUE : FALSE); next != 0) SetFocus(next);
      return TRUE;
    }
    default:
      return CDialogEx::OnCommand(wParam, lParam);
  }
}
