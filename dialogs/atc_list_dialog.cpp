#include "dialogs/atc_list_dialog.h"

#include <cstdio>
#include <mutex>

#include "base/klib_settings.h"
#include "core/main_dialog_state.h"
#include "core/text_fields.h"
#include "dialogs/chat_dialog.h"
#include "net/controller_hooks.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/own_aircraft_poll.h"
#include "win/ascii_case.h"
#include "win/edit_ctrl.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"
#include "win/richedit.h"

std::atomic<CAtcListDlg*> g_pAtcListDlg{nullptr};

namespace {

// Key codes that reach the window as command codes.
constexpr WORD kKeyTab = 9;
constexpr WORD kKeyEnter = 13;
constexpr WORD kKeyEscape = 27;
constexpr WORD kSelectAllOfControl = 0;

AtcListActions& Actions() {
  static AtcListActions actions = DefaultAtcListActions();
  return actions;
}

std::mutex& SelectedLock() {
  static std::mutex lock;
  return lock;
}
std::array<char, kSelectedControllerSize>& SelectedCallsign() {
  static std::array<char, kSelectedControllerSize> callsign{};
  return callsign;
}

bool ShiftHeld() { return GetKeyState(VK_SHIFT) < 0; }

}  // namespace

AtcListActions DefaultAtcListActions() {
  AtcListActions actions;
  actions.requestRadioReselect = &RequestRadioReselect;
  actions.tuneCom1 = &TuneCom1Frequency;
  return actions;
}

void SetAtcListActions(const AtcListActions& actions) { Actions() = actions; }

std::string SelectedControllerCallsign() {
  std::lock_guard guard(SelectedLock());
  return std::string(FieldText(SelectedCallsign()));
}

void PostToAtcList(UINT command) {
  if (CAtcListDlg* list = g_pAtcListDlg.load()) PostMessageA(list->m_hWnd, WM_COMMAND, command, 0);
}

CAtcListDlg::CAtcListDlg() : CDialogEx(kAtcListTemplate) {}

CAtcListDlg::~CAtcListDlg() {
  if (g_pAtcListDlg.load() == this) g_pAtcListDlg = nullptr;
  // A controller way that comes or goes later must not post to a window that is gone.
  ControllerHooks hooks = *CurrentControllerHooks();
  hooks.rebuildControllerList = nullptr;
  SetControllerHooks(std::move(hooks));
  DestroyWindow();
}

BOOL CAtcListDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  if (CListBox* list = List()) {
    list->ResetContent();
    list->SetTabStops(kAtcListTabStops);
  }
  held_ = 0;
  RegisterRebuildHook();
  return TRUE;
}

void CAtcListDlg::RegisterRebuildHook() {
  // The ways call it on their own threads: a posted command, never a wait.
  const HWND window = m_hWnd;
  ControllerHooks hooks = *CurrentControllerHooks();
  hooks.rebuildControllerList = [window] { PostMessageA(window, WM_COMMAND, kAtcListRebuildCommand, 0); };
  SetControllerHooks(std::move(hooks));
}

CListBox* CAtcListDlg::List() const { return dynamic_cast<CListBox*>(GetDlgItem(kAtcListBoxId)); }

bool CAtcListDlg::AddEntry(const AtcListEntry& entry, AtcRatingTable table) {
  CListBox* list = List();
  if (list == nullptr || held_ >= entries_.size()) return false;
  const std::string line = AtcListLine(entry, table);
  const int added = list->AddString(line.c_str());
  if (added == LB_ERR || added == LB_ERRSPACE) return false;
  entries_[held_++] = entry;
  return true;
}

void CAtcListDlg::ResetList() {
  if (CListBox* list = List()) list->ResetContent();
  held_ = 0;
  AddUnicom();
}

void CAtcListDlg::AddUnicom() {
  for (std::size_t i = 0; i < held_; ++i) {
    AtcListEntry& entry = entries_[i];
    if (!AsciiEqualNoCase(FieldText(entry.callsign), kUnicomCallsign)) continue;
    if (entry.taken != 0) return;
    entry.taken = 1;
    unicom_.name = entry.name;
    return;
  }
  if (held_ < kAtcHeldEntriesMax) AddEntry(unicom_, AtcRatingTable::kReset);
}

void CAtcListDlg::BuildFromPeers() {
  std::array<AtcListEntry, kAtcRebuildMax> taken{};
  std::size_t count = 0;
  {
    // The ways write their records under this lock: a record is read whole or not at all.
    WayTableGuard guard;
    const WayTableArray& table = WayTable();
    for (std::size_t i = 0; i < table.size() && count < taken.size(); ++i) {
      const WayRecord& record = table[i];
      if ((record.stateFlags & kWayAllocated) == 0 || record.peerKind != 'A' || record.controller.rating == 0) {
        continue;
      }
      AtcListEntry& entry = taken[count++];
      const std::string_view callsign = FieldText(record.callsign);
      callsign.substr(0, entry.callsign.size() - 1).copy(entry.callsign.data(), entry.callsign.size() - 1);
      entry.frequencyMhz = record.controller.frequencyMhz + record.controller.frequencyKhz / 1000.0;
      entry.facility = AtcFacilityOf(callsign);
      entry.rating = record.controller.rating;
      entry.rangeNm = record.controller.rangeNm;
      entry.wayIndex = static_cast<std::uint32_t>(i);
      entry.field16 = record.controller.field16;
    }
  }
  FillList(std::span<const AtcListEntry>(taken.data(), count));
}

void CAtcListDlg::FillList(std::span<const AtcListEntry> entries) {
  CListBox* list = List();
  if (entries.empty()) {
    if (list != nullptr) list->ResetContent();
    held_ = 0;
    AddUnicom();
    return;
  }
  if (list == nullptr) return;
  // The held count follows the lines the list took, so that no entry is
  // kept for a line that is not shown (nor a line left without its entry).
  held_ = 0;
  list->ResetContent();
  AddEntry(unicom_, AtcRatingTable::kRebuild);
  for (const AtcListEntry& entry : entries) AddEntry(entry, AtcRatingTable::kRebuild);
}

void CAtcListDlg::OnSelectStation(int index, bool shift) {
  CListBox* list = List();
  if (list == nullptr) return;
  const std::string line = list->ItemText(index);
  const std::string_view callsign = AtcLineCallsign(line);
  if (callsign.empty()) return;
  {
    std::lock_guard guard(SelectedLock());
    auto& selected = SelectedCallsign();
    selected.fill('\0');
    callsign.substr(0, selected.size() - 1).copy(selected.data(), selected.size() - 1);
  }
  const AtcListEntry* found = nullptr;
  for (std::size_t i = 0; i < held_; ++i) {
    if (FieldText(entries_[i].callsign) == callsign) {
      found = &entries_[i];
      break;
    }
  }
  if (found == nullptr) return;
  if (shift) {
    PrintAtis(*found);
    return;
  }
  char frequency[32];
  std::snprintf(frequency, sizeof frequency, "%3.3f", found->frequencyMhz);
  char text[64];
  std::snprintf(text, sizeof text, "COM1 -> %s Mhz", frequency);
  if (CCchatDlg* chat = g_pChatDlg.load()) {
    const PrintRun runs[] = {{0, Klib().Colour(kColourNormal), text}};
    chat->PrintRuns(runs, true);
  }
  if (Actions().requestRadioReselect != nullptr) Actions().requestRadioReselect();
  if (Actions().tuneCom1 != nullptr) Actions().tuneCom1(frequency);
  if (g_networkState.load() != 0) ShowWindow(SW_HIDE);
}

void CAtcListDlg::PrintAtis(const AtcListEntry& entry) {
  std::string callsign;
  std::string atis;
  {
    // The entry may be older than the way: the way must still hold that controller.
    WayTableGuard guard;
    const WayRecord* record = PeerWayRecord(static_cast<std::int32_t>(entry.wayIndex));
    if (record == nullptr || (record->stateFlags & kWayAllocated) == 0 || record->peerKind != 'A' ||
        FieldText(record->callsign) != FieldText(entry.callsign)) {
      return;
    }
    callsign = FieldText(record->callsign);
    atis = FieldText(record->atisText);
  }
  CCchatDlg* chat = g_pChatDlg.load();
  if (chat == nullptr) return;
  const std::string tail = " : " + atis;
  const PrintRun runs[] = {{0, Klib().Colour(kColourNormal), "Atis of "},
                           {CFE_BOLD, Klib().Colour(kColour25), callsign},
                           {0, Klib().Colour(kColour25), tail}};
  chat->PrintRuns(runs, true);
}

LRESULT CAtcListDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
  if (message == WM_SHOWWINDOW) {
    if (CWnd* parent = GetParent()) PostMessageA(parent->m_hWnd, WM_COMMAND, kAtcListShownCommand, wParam != 0 ? 1 : 0);
  }
  return result;
}

BOOL CAtcListDlg::PreTranslateMessage(MSG* msg) {
  if (msg != nullptr && msg->message == WM_KEYDOWN && msg->hwnd != m_hWnd && ::GetParent(msg->hwnd) == m_hWnd) {
    const WPARAM key = msg->wParam;
    if (key == kKeyTab || key == kKeyEnter || key == kKeyEscape) return OnCommand(key, 0);
  }
  return CDialogEx::PreTranslateMessage(msg);
}

BOOL CAtcListDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const WORD id = LOWORD(wParam);
  switch (id) {
    case kAtcListResetCommand:
      ResetList();
      return TRUE;
    case kAtcListSelectComCommand:
      // The list stays as it is when the own radios change.
      return TRUE;
    case kAtcListRebuildCommand:
      BuildFromPeers();
      return TRUE;
    case kKeyTab: {
      // From a control of another window the focus comes to this one's first (or last) tab stop.
      const HWND focus = GetFocus();
      const HWND from = focus != 0 && ::GetParent(focus) == m_hWnd ? focus : 0;
      if (const HWND next = GetNextDlgTabItem(m_hWnd, from, ShiftHeld() ? TRUE : FALSE); next != 0) SetFocus(next);
      return TRUE;
    }
    case kKeyEnter:
      if (CListBox* list = List()) OnSelectStation(list->GetCurSel(), ShiftHeld());
      return TRUE;
    case kKeyEscape:
      OnCancel();
      return TRUE;
    case kSelectAllOfControl:
      if (auto* edit = dynamic_cast<CEdit*>(GetDlgItem(static_cast<int>(lParam)))) edit->SetSel(0, -1);
      return TRUE;
    case kAtcListBoxId:
      if (HIWORD(wParam) == LBN_DBLCLK) {
        if (CListBox* list = List()) OnSelectStation(list->GetCurSel(), ShiftHeld());
      }
      return TRUE;
    default:
      return CDialogEx::OnCommand(wParam, lParam);
  }
}

ChatControlColours AtcListColoursFor(bool night, const KlibSettings& settings) {
  return ChatColoursFor(kChatInputId, night, settings);
}
