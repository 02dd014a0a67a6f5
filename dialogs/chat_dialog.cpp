#include "dialogs/chat_dialog.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/klib_settings.h"
#include "base/trace_output.h"
#include "core/main_dialog_state.h"
#include "core/own_aircraft_state.h"
#include "core/own_callsign.h"
#include "core/settings.h"
#include "core/settings_keys.h"
#include "core/text_fields.h"
#include "dialogs/chat_colours.h"
#include "dialogs/chat_command.h"
#include "dialogs/chat_layout.h"
#include "dialogs/chat_routing.h"
#include "net/chat_send.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "net/text_records.h"
#include "sim/own_aircraft_poll.h"
#include "win/ascii_case.h"
#include "win/button_ctrl.h"
#include "win/edit_ctrl.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/listbox_ctrl.h"
#include "win/menu.h"
#include "win/richedit.h"
#include "win/system_metrics.h"
#include "win/window_pos.h"

std::atomic<CCchatDlg*> g_pChatDlg{nullptr};

namespace {

// Key codes that reach the window as command codes.
constexpr WORD kKeyTab = 9;
constexpr WORD kKeyEnter = 13;
constexpr WORD kKeyUp = 38;
constexpr WORD kKeyDown = 40;

void SendPrivateThroughWays(std::string_view callsign, std::string_view text) { SendPrivateText(callsign, text); }

bool NodeLinkUp() {
  const CNodeWay* node = NodeWayObject();
  return node != nullptr && node->IsConnected();
}

int SetSquawk(std::uint32_t code) { return SetSimSquawk(code); }

ChatActions& Actions() {
  static ChatActions actions = DefaultChatActions();
  return actions;
}

// At most the field less its terminator.
std::string_view Cut(std::string_view text, std::size_t field) { return text.substr(0, field - 1); }

}  // namespace

ChatActions DefaultChatActions() {
  ChatActions actions;
  actions.sendOnAir = &SendTextOnAir;
  actions.sendPrivate = &SendPrivateThroughWays;
  actions.nodeLinkUp = &NodeLinkUp;
  actions.sendKickout = &SendKickout;
  actions.setSquawk = &SetSquawk;
  return actions;
}

void SetChatActions(const ChatActions& actions) { Actions() = actions; }
const ChatActions& CurrentChatActions() { return Actions(); }

CCchatDlg::CCchatDlg() : CDialogEx(kChatTemplate) {}

CCchatDlg::~CCchatDlg() {
  if (g_pChatDlg.load() == this) g_pChatDlg = nullptr;
  // Other threads trace into this window: it is taken away from them, after
  // any line they are printing, before it goes.
  ClearTraceOutput(this);
  DestroyWindow();
}

BOOL CCchatDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  auto* output = dynamic_cast<CRichEditCtrl*>(GetDlgItem(kChatOutputId));
  if (output == nullptr) {
    // Without a template the window still gets its text area.
    auto created = std::make_unique<CRichEditCtrl>();
    output = static_cast<CRichEditCtrl*>(AddControl(std::move(created), kChatOutputId));
  }
  AttachRichEdit(output, this);
  if (auto* input = dynamic_cast<CEdit*>(GetDlgItem(kChatInputId))) input->LimitText(kChatLineMax);
  // Enabled when the program joins the network.
  if (CWnd* input = GetDlgItem(kChatInputId)) input->EnableWindow(FALSE);
  RememberLayout();
  ApplySavedPosition();
  return TRUE;
}

void CCchatDlg::RememberLayout() {
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  rememberedSize_ = {window.right - window.left, window.bottom - window.top};
  rememberedControls_.clear();
  constexpr int kControls[] = {kChatOutputId, kChatInputId,    kChatRecipientsId,    kChatClearId,
                               kChatSiteId,   kChatAutoCloseId, kChatNearestAirportId};
  for (const int id : kControls) {
    const HWND child = ::GetDlgItem(m_hWnd, id);
    if (child == 0) continue;
    RECT r{};
    GetWindowRect(child, &r);
    const RECT relative{r.left - window.left, r.top - window.top, r.right - window.left, r.bottom - window.top};
    rememberedControls_.emplace_back(id, relative);
    if (id == kChatInputId) rememberedInput_ = relative;
  }
}

void CCchatDlg::LayOut() {
  if (rememberedControls_.empty()) return;
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  const SIZE grow{std::max<LONG>(window.right - window.left, kChatMinimumWidth) - rememberedSize_.cx,
                  std::max<LONG>(window.bottom - window.top, kChatMinimumHeight) - rememberedSize_.cy};
  for (const auto& [id, remembered] : rememberedControls_) {
    const HWND control = ::GetDlgItem(m_hWnd, id);
    if (control == 0) continue;
    const RECT r = ChatControlRect(id, remembered, rememberedInput_, grow);
    MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
  }
}

void CCchatDlg::SavePosition() {
  RECT window{};
  GetWindowRect(m_hWnd, &window);
  WriteWindowPosition(settings_key::kChatPosition, {window.left, window.top, window.right, window.bottom});
}

void CCchatDlg::ApplySavedPosition() {
  const std::optional<WindowPosition> saved = ReadWindowPosition(settings_key::kChatPosition);
  if (!saved) return;
  if (saved->left >= GetSystemMetrics(SM_CXSCREEN) || saved->top >= GetSystemMetrics(SM_CYSCREEN) ||
      saved->right <= 0 || saved->bottom <= 0) {
    return;
  }
  const int width = std::max(saved->right - saved->left, kChatMinimumWidth);
  const int height = std::max(saved->bottom - saved->top, kChatMinimumHeight);
  MoveWindow(m_hWnd, saved->left, saved->top, width, height, TRUE);
}

CComboBox* CCchatDlg::Recipients() const { return dynamic_cast<CComboBox*>(GetDlgItem(kChatRecipientsId)); }

void CCchatDlg::ScrollToEnd() {
  CRichEditCtrl* output = Output();
  if (output == nullptr) return;
  SetFocus(output->m_hWnd);
  output->SetSel(-1, -1);
}

std::string CCchatDlg::LastChatLine() const {
  std::lock_guard guard(lastLineLock_);
  return std::string(FieldText(lastChatLine_));
}

void CCchatDlg::ToggleNightDay() {
  g_nightFlag.store(g_nightFlag.load() == 0 ? 1 : 0);
  if (CRichEditCtrl* output = Output()) output->SetBackgroundColor(FALSE, kChatOutputBackground);
  SetChatTraceColours(Klib());
  Clear();
}

void CCchatDlg::AddRecipient(std::string_view callsign) {
  if (callsign.empty() || AsciiEqualNoCase(callsign, "SERVER")) return;
  CComboBox* list = Recipients();
  if (list == nullptr) return;
  const std::string name(Cut(callsign, kRecordCallsignSize));
  std::lock_guard guard(recipientsLock_);
  for (const std::string& item : list->Items()) {
    if (AsciiEqualNoCase(item, name)) return;
  }
  list->AddString(name.c_str());
}

void CCchatDlg::RemoveRecipient(int index) {
  CComboBox* list = Recipients();
  if (list == nullptr || index <= 0) return;
  {
    std::lock_guard guard(recipientsLock_);
    list->DeleteString(static_cast<UINT>(index));
  }
  selectedRecipient_ = 0;
  list->SetCurSel(0);
}

void CCchatDlg::CycleRecipients(bool up) {
  CComboBox* list = Recipients();
  if (list == nullptr) return;
  const int count = list->GetCount();
  const int current = list->GetCurSel();
  if (count <= 1 || current < 0) return;
  const int next = up ? (current == 0 ? count - 1 : current - 1) : (current == count - 1 ? 0 : current + 1);
  list->SetCurSel(next);
  selectedRecipient_ = next;
}

void CCchatDlg::OnOK() {
  if (g_networkState.load() == 0) return;
  CWnd* input = GetDlgItem(kChatInputId);
  if (input == nullptr) return;
  std::string line;
  input->GetWindowText(line);
  if (line.size() > kChatLineMax) line.resize(kChatLineMax);
  if (line.empty()) return;
  {
    std::lock_guard guard(lastLineLock_);
    lastChatLine_.fill('\0');
    line.copy(lastChatLine_.data(), lastChatLine_.size() - 1);
  }
  input->SetWindowText("");
  RunCommand(ParseChatLine(line), line);
}

void CCchatDlg::RunCommand(const ChatCommand& command, std::string_view line) {
  const ChatActions& actions = Actions();
  switch (command.kind) {
    case ChatCommandKind::kNothing:
      return;
    case ChatCommandKind::kPlain:
      SendPlain(line);
      return;
    case ChatCommandKind::kPrivate:
      SendPrivate(command.callsign, command.text);
      AddRecipient(command.callsign);
      return;
    case ChatCommandKind::kRemoveSelected:
      if (CComboBox* list = Recipients()) {
        const int selected = list->GetCurSel();
        if (selected > 0) RemoveRecipient(selected);
      }
      return;
    case ChatCommandKind::kRemoveRecipient: {
      CComboBox* list = Recipients();
      if (list == nullptr) return;
      const std::vector<std::string> items = list->Items();
      for (std::size_t i = 1; i < items.size(); ++i) {
        if (AsciiEqualNoCase(items[i], command.callsign)) {
          RemoveRecipient(static_cast<int>(i));
          return;
        }
      }
      return;
    }
    case ChatCommandKind::kSquawk:
      if (actions.setSquawk != nullptr) actions.setSquawk(command.code);
      return;
    case ChatCommandKind::kWeather:
      if (actions.requestWeather != nullptr) actions.requestWeather(command.weatherKind, command.text);
      return;
    case ChatCommandKind::kToggleDebug:
      if (actions.toggleDebug != nullptr) actions.toggleDebug();
      return;
    case ChatCommandKind::kKickout:
      if (actions.nodeLinkUp != nullptr && actions.nodeLinkUp() && actions.sendKickout != nullptr) {
        actions.sendKickout(Cut(command.callsign, kRecordCallsignSize), Cut(command.text, kRecordTextSize));
      }
      return;
  }
}

void CCchatDlg::SendPlain(std::string_view line) {
  const int selected = selectedRecipient_.load();
  if (selected != 0) {
    CComboBox* list = Recipients();
    if (list == nullptr || selected < 0 || selected >= list->GetCount()) return;
    SendPrivate(list->ItemText(selected), line);
    return;
  }
  const OwnWorkingCopies working = g_ownAircraft().Snapshot().working;
  if (working.com1Selected == 0) return;
  const std::string com1(FieldText(working.com1));
  const std::optional<double> mhz = ComTextMhz(com1);
  // A frequency outside the band (or none) sends nothing, as 0.0 does.
  if (!mhz || !FrequencyKhz(*mhz)) return;
  const std::string echo = com1 + " Mhz : " + std::string(line);
  const PrintRun runs[] = {{0, Klib().Colour(kColour25), echo}};
  PrintRuns(runs, true);
  if (Actions().sendOnAir != nullptr) Actions().sendOnAir(*mhz, Cut(line, kRecordTextSize));
}

void CCchatDlg::SendPrivate(std::string_view callsign, std::string_view text) {
  if (callsign.empty() || text.empty()) return;
  const std::string target(Cut(callsign, kRecordCallsignSize));
  const std::string_view message = Cut(text, kRecordTextSize);
  if (Actions().sendPrivate != nullptr) Actions().sendPrivate(target, message);
  AddRecipient(target);
  const std::string echo = OwnCallsign() + " -> " + AsciiUpper(target) + " : " + std::string(message);
  const PrintRun runs[] = {{CFE_BOLD, Klib().Colour(kColour25), echo}};
  PrintRuns(runs, true);
}

void CCchatDlg::RunPhrase(const char* phrase) {
  if (g_networkState.load() == 0) return;
  if (CComboBox* list = Recipients()) list->SetCurSel(0);
  selectedRecipient_ = 0;
  if (CWnd* input = GetDlgItem(kChatInputId)) input->SetWindowText(phrase);
  OnOK();
}

void CCchatDlg::ShowContextMenu(LPARAM screenPoint) {
  CMenu menu;
  if (!menu.LoadMenu(kChatMenu)) return;
  CMenu* popup = menu.GetSubMenu(0);
  if (popup == nullptr) return;
  const auto x = static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(screenPoint)));
  const auto y = static_cast<std::int16_t>(LOWORD(static_cast<std::uintptr_t>(screenPoint) >> 16));
  popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, this);
}

void CCchatDlg::OnFirstShow() {
  ToggleNightDay();
  ToggleNightDay();
  if (CComboBox* list = Recipients()) {
    std::lock_guard guard(recipientsLock_);
    list->ResetContent();
    list->AddString(kOnAirEntry);
    list->SetCurSel(0);
  }
  selectedRecipient_ = 0;
}

void CCchatDlg::OnShown(bool shown) {
  if (shown) {
    if (!firstShowDone_.exchange(true)) OnFirstShow();
    ScrollToEnd();
  }
  if (Actions().windowShown != nullptr) Actions().windowShown(shown);
}

LRESULT CCchatDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SHOWWINDOW:
      OnShown(wParam != 0);
      break;
    case WM_SIZE:
      LayOut();
      if (IsWindowVisible()) SavePosition();
      return 0;
    case WM_MOVE:
      if (IsWindowVisible()) SavePosition();
      return 0;
    case WM_CONTEXTMENU:
      ShowContextMenu(lParam);
      return 0;
    case WM_SIZING:
      if (auto* rect = reinterpret_cast<RECT*>(lParam)) *rect = ChatSizingRect(wParam, *rect, rememberedSize_);
      return TRUE;
    default:
      break;
  }
  return CDialogEx::WindowProc(message, wParam, lParam);
}

BOOL CCchatDlg::PreTranslateMessage(MSG* msg) {
  if (msg != nullptr && msg->message == WM_KEYDOWN) {
    const HWND input = ::GetDlgItem(m_hWnd, kChatInputId);
    const HWND list = ::GetDlgItem(m_hWnd, kChatRecipientsId);
    const WPARAM key = msg->wParam;
    if ((msg->hwnd == input || msg->hwnd == list) &&
        (key == kKeyTab || key == kKeyEnter || key == kKeyUp || key == kKeyDown)) {
      return OnCommand(key, 0);
    }
  }
  return CDialogEx::PreTranslateMessage(msg);
}

BOOL CCchatDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const WORD id = LOWORD(wParam);
  const bool control = GetKeyState(VK_CONTROL) < 0;
  switch (id) {
    case kChatEnableInputCommand:
      if (CWnd* input = GetDlgItem(kChatInputId)) input->EnableWindow(lParam == 1 ? TRUE : FALSE);
      return TRUE;
    case kChatNightDayCommand:
      ToggleNightDay();
      return TRUE;
    case kTextCleanupCommand:
      Clear();
      return TRUE;
    case kKeyTab: {
      const HWND focus = GetFocus();
      const HWND from = focus != 0 && ::GetParent(focus) == m_hWnd ? focus : 0;
      if (const HWND next = GetNextDlgTabItem(m_hWnd, from, GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE); next != 0) {
        SetFocus(next);
      }
      return TRUE;
    }
    case kKeyEnter:
      OnOK();
      return TRUE;
    case kKeyUp:
    case kKeyDown:
      if (control) {
        CycleRecipients(id == kKeyUp);
        return TRUE;
      }
      if (CWnd* input = GetDlgItem(kChatInputId); input != nullptr && GetFocus() == input->m_hWnd) {
        input->SetWindowText(LastChatLine().c_str());
        return TRUE;
      }
      return CDialogEx::OnCommand(wParam, lParam);
    case kChatClearId:
      if (control) {
        if (Actions().dumpWayList != nullptr) Actions().dumpWayList();
      } else {
        Clear();
      }
      return TRUE;
    case kChatAutoCloseId:
      if (const auto* box = dynamic_cast<CButton*>(GetDlgItem(kChatAutoCloseId))) {
        if (box->GetCheck() != 0) {
          autoShowFlag_ = 1;
          autoHideCountdown_ = kAutoCloseStartCountdown;
        } else {
          autoShowFlag_ = 0;
        }
      }
      return TRUE;
    case kChatRecipientsId:
      if (HIWORD(wParam) == CBN_SELCHANGE) {
        if (CComboBox* list = Recipients()) selectedRecipient_ = std::max(list->GetCurSel(), 0);
      }
      return TRUE;
    default:
      break;
  }
  for (const ChatPhrase& phrase : kChatPhrases) {
    if (phrase.command == id) {
      RunPhrase(phrase.phrase);
      return TRUE;
    }
  }
  return CDialogEx::OnCommand(wParam, lParam);
}
