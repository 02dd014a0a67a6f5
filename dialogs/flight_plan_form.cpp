#include "dialogs/flight_plan_form.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>

#include "base/klib_settings.h"
#include "core/app_paths.h"
#include "core/flight_plan.h"
#include "core/settings.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/flight_plan_texts.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "win/app.h"
#include "win/button_ctrl.h"
#include "win/dialog_items.h"
#include "win/edit_ctrl.h"
#include "win/focus.h"
#include "win/keys.h"
#include "win/listbox_ctrl.h"
#include "win/messages.h"
#include "win/richedit.h"
#include "win/tooltip_ctrl.h"
#include "win/window_pos.h"

std::atomic<CFlightPlanICAO*> g_pFlightPlanICAO{nullptr};
std::atomic<CFlightPlanUS*> g_pFlightPlanUS{nullptr};

namespace {

namespace id = plan_control;

// Command codes the forms take as keys.
constexpr UINT kKeySelectAll = 0;
constexpr UINT kKeyTab = 9;
constexpr UINT kKeyEnter = 13;
constexpr UINT kKeyEscape = 27;
constexpr UINT kKeyUp = 38;
constexpr UINT kKeyDown = 40;

constexpr std::array<const char*, 4> kRulesEntries = {"V=VFR", "I=IFR", "D=DVFR", "S=SVFR"};
constexpr std::array<const char*, 5> kTypeOfFlightEntries = {"S=Scheduled", "N=non-Scheduled", "G=General",
                                                             "M=Military", "X=Training"};
constexpr std::array<const char*, 3> kWakeEntries = {"H=Heavy", "M=Medium", "L=Light"};

void FillCombo(CWnd* control, const auto& entries) {
  auto* combo = dynamic_cast<CComboBox*>(control);
  if (combo == nullptr) return;
  combo->ResetContent();
  for (const char* entry : entries) combo->AddString(entry);
}

}  // namespace

std::string AircraftTypeOfLine(std::string_view line) {
  std::array<std::string_view, 3> fields{};
  std::size_t count = 0;
  std::size_t start = 0;
  while (count < fields.size()) {
    const std::size_t tab = line.find('\t', start);
    fields[count++] = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  const std::string_view type = fields[count - 1];
  return type.size() >= kPlanAircraftTypeSize ? std::string() : std::string(type);
}

std::size_t FaaEntryLength(int controlId) {
  switch (controlId) {
    case id::kDeparture:
    case id::kDestination:
    case id::kAlternate:
    case id::kBase:
      return 4;
    case id::kProposedHour:
    case id::kProposedMinutes:
    case id::kActualHour:
    case id::kActualMinutes:
    case id::kEnrouteHours:
    case id::kEnrouteMinutes:
    case id::kFuelHours:
    case id::kFuelMinutes:
      return 2;
    default:
      return 0;
  }
}

bool IsValidPlanAltitude(std::string_view text) {
  if (text.empty()) return true;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const char first = text[0];
  if (!digit(first) && first != 'F' && first != 'A' && first != 'S') return false;
  if (text.size() < 2 || !(digit(text[1]) || text[1] == 'L')) return false;
  for (std::size_t i = 2; i < text.size(); ++i) {
    if (!digit(text[i])) return false;
  }
  return true;
}

CFlightPlanForm::CFlightPlanForm(UINT templateId, Kind kind) : CDialogEx(templateId), kind_(kind) {}

CFlightPlanForm::~CFlightPlanForm() { DestroyWindow(); }

CFlightPlanICAO::~CFlightPlanICAO() {
  if (g_pFlightPlanICAO.load() == this) g_pFlightPlanICAO = nullptr;
  DestroyWindow();
}

CFlightPlanUS::~CFlightPlanUS() {
  if (g_pFlightPlanUS.load() == this) g_pFlightPlanUS = nullptr;
  DestroyWindow();
}

BOOL CFlightPlanForm::OnInitDialog() {
  CDialogEx::OnInitDialog();
  RECT rect{};
  GetWindowRect(m_hWnd, &rect);
  fullHeight_ = rect.bottom - rect.top;
  if (kind_ == Kind::Icao) {
    FillCombo(GetDlgItem(id::kRulesCombo), kRulesEntries);
    FillCombo(GetDlgItem(id::kTypeOfFlight), kTypeOfFlightEntries);
    FillCombo(GetDlgItem(id::kWakeCategory), kWakeEntries);
  }
  for (const int freeText : {id::kRoute, id::kRemarks}) {
    if (auto* edit = dynamic_cast<CEdit*>(GetDlgItem(freeText))) edit->LimitText(kPlanFormFreeTextChars);
  }
  if (CWnd* type = GetDlgItem(id::kTypeButton)) {
    if (auto* tip = dynamic_cast<CToolTipCtrl*>(AddControl(std::make_unique<CToolTipCtrl>(), id::kTypeTooltip))) {
      tip->AddTool(type, kTypeButtonTip);
      tip->SetTipBkColor(kTypeButtonTipBackground);
      tip->SetTipTextColor(kTypeButtonTipText);
    }
  }
  LoadAircraftList();
  ShowAircraftList(false);
  return TRUE;
}

LRESULT CFlightPlanForm::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
  if (message == WM_SHOWWINDOW && wParam != 0) LoadFromIni();
  return result;
}

BOOL CFlightPlanForm::PreTranslateMessage(MSG* msg) {
  if (msg != nullptr && msg->message == WM_KEYDOWN && msg->hwnd != m_hWnd && ::GetParent(msg->hwnd) == m_hWnd) {
    const WPARAM key = msg->wParam;
    const bool multiLine = (SendMessageA(msg->hwnd, ControlStyleMessage(), 0, 0) & ES_MULTILINE) != 0;
    const bool always = key == kKeyTab || key == kKeyEscape;
    const bool singleLineOnly = key == kKeyEnter || key == kKeyUp || key == kKeyDown;
    if (always || (singleLineOnly && !multiLine)) return OnCommand(key, 0);
  }
  return CDialogEx::PreTranslateMessage(msg);
}

void CFlightPlanForm::OnOK() {
  SaveToIni();
  ShowWindow(SW_HIDE);
}

BOOL CFlightPlanForm::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT control = LOWORD(wParam);
  const WORD code = HIWORD(wParam);
  if (code == EN_CHANGE && kind_ == Kind::Us) {
    OnFieldChanged(static_cast<int>(control));
    return TRUE;
  }
  if (control == static_cast<UINT>(id::kAircraftList)) {
    if (code == LBN_SELCHANGE) OnAircraftSelected();
    if (code == LBN_DBLCLK) ShowAircraftList(false);
    return TRUE;
  }
  switch (control) {
    case kKeySelectAll:
      if (lParam != 0 && lParam < 0x10000) SelectAllOf(static_cast<int>(lParam));
      return TRUE;
    case kKeyTab:
    case kKeyUp:
    case kKeyDown:
      MoveFocusByKey(control);
      return TRUE;
    case kKeyEnter:
      OnOK();
      return TRUE;
    case kKeyEscape:
      OnCancel();
      return TRUE;
    case id::kTypeButton:
      ShowAircraftList(!listShown_);
      return TRUE;
    case id::kLoad:
      OnLoadFlightPlan();
      return TRUE;
    case id::kSave:
      OnSaveFlightPlan();
      return TRUE;
    case id::kClear:
      OnClearFlightPlan();
      return TRUE;
    case id::kReloadIcao:
    case id::kReloadUs:
      LoadFromIni();
      return TRUE;
    case id::kImport:
      if (auto* us = dynamic_cast<CFlightPlanUS*>(this)) us->OnImportRoute();
      return TRUE;
    case kFlightPlanAmendedCommand:
      if (std::optional<FlightPlanAmendment> amendment = TakeFlightPlanAmendment()) ApplyAmendment(*amendment);
      return TRUE;
    default:
      return CDialogEx::OnCommand(wParam, lParam);
  }
}

void CFlightPlanForm::SelectAllOf(int controlId) {
  if (CWnd* control = GetDlgItem(controlId)) control->SendMessage(EM_SETSEL, 0, -1);
}

void CFlightPlanForm::MoveFocusByKey(UINT key) {
  const HWND focus = GetFocus();
  const bool ours = focus != 0 && ::GetParent(focus) == m_hWnd;
  HWND next = 0;
  if (key == kKeyTab) {
    next = GetNextDlgTabItem(m_hWnd, ours ? focus : 0, GetKeyState(VK_SHIFT) < 0 ? TRUE : FALSE);
  } else if (ours) {
    next = GetNextDlgGroupItem(m_hWnd, focus, key == kKeyUp ? TRUE : FALSE);
  }
  if (next != 0) SetFocus(next);
}

void CFlightPlanForm::OnFieldChanged(int controlId) {
  const std::size_t length = FaaEntryLength(controlId);
  CWnd* field = GetDlgItem(controlId);
  // Only the field with the focus, the one the pilot types into.
  if (length == 0 || field == nullptr || GetFocus() != field->m_hWnd) return;
  if (static_cast<std::size_t>(field->GetWindowTextLength()) < length) return;
  if (const HWND next = GetNextDlgTabItem(m_hWnd, field->m_hWnd, FALSE); next != 0) SetFocus(next);
}

void CFlightPlanForm::ShowAircraftList(bool show) {
  listShown_ = show;
  if (CWnd* list = GetDlgItem(id::kAircraftList)) list->ShowWindow(show ? SW_SHOW : SW_HIDE);
  RECT rect{};
  GetWindowRect(m_hWnd, &rect);
  const int height = show ? fullHeight_ : kPlanFormFoldedHeight;
  SetWindowPos(m_hWnd, 0, 0, 0, rect.right - rect.left, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CFlightPlanForm::LoadAircraftList() {
  auto* list = dynamic_cast<CListBox*>(GetDlgItem(id::kAircraftList));
  if (list == nullptr) return;
  list->ResetContent();
  std::ifstream file(AircraftListFile(), std::ios::binary);
  if (!file) return;
  std::string line;
  int added = 0;
  // A line is added when it ends; the last one also when the file ends without a break.
  auto add = [&]() -> bool {
    if (line.empty()) return true;
    std::string item = line;
    if (kind_ == Kind::Us) item.append("\t").append(std::to_string(added));
    line.clear();
    if (list->AddString(item.c_str()) == LB_ERRSPACE) {
      char text[96];
      std::snprintf(text, sizeof text, "Can't add more than %d aircrafts in the listbox of the flight plan", added);
      Print(kind_ == Kind::Icao ? kColourEmphasis : kColourNormal, 0, text, true);
      return false;
    }
    ++added;
    return true;
  };
  char c = 0;
  while (file.get(c)) {
    if (c == '\r' || c == '\n') {
      if (!add()) return;
      continue;
    }
    if (line.size() >= kAircraftListLineMax) return;
    line.push_back(c);
  }
  add();
}

void CFlightPlanForm::TakeLineType(int line, FlightPlanRecord& record) {
  const auto* list = dynamic_cast<const CListBox*>(GetDlgItem(id::kAircraftList));
  if (list == nullptr || line < 0 || line >= list->GetCount()) return;
  const std::string type = AircraftTypeOfLine(list->ItemText(line));
  SetPlanText(record.aircraftType, type, kPlanAircraftTypeChars);
  record.aircraftIndex = static_cast<std::uint32_t>(line);
  if (CWnd* button = GetDlgItem(id::kTypeButton)) button->SetWindowText(type.c_str());
}

void CFlightPlanForm::OnAircraftSelected() {
  const auto* list = dynamic_cast<const CListBox*>(GetDlgItem(id::kAircraftList));
  if (list == nullptr) return;
  const int line = list->GetCurSel();
  if (line < 0) return;
  FlightPlanRecord current = CurrentFlightPlan();
  TakeLineType(line, current);
  SetCurrentFlightPlan(current);
  SetOwnAircraftListIndex(line);
}

char CFlightPlanForm::SelectedRules() const {
  constexpr std::array<char, 4> kRules = {'V', 'I', 'D', 'S'};
  if (kind_ == Kind::Icao) {
    const auto* combo = dynamic_cast<const CComboBox*>(GetDlgItem(id::kRulesCombo));
    const int selected = combo != nullptr ? combo->GetCurSel() : -1;
    return selected >= 0 && selected < 4 ? kRules[static_cast<std::size_t>(selected)] : '\0';
  }
  for (std::size_t i = 0; i < kRules.size(); ++i) {
    if (IsDlgButtonChecked(m_hWnd, id::kRulesFirstRadio + static_cast<int>(i)) == BST_CHECKED) return kRules[i];
  }
  return '\0';
}

void CFlightPlanForm::ShowRules(char rules) {
  constexpr std::string_view kRules = "VIDS";
  const std::size_t index = rules != '\0' ? kRules.find(rules) : std::string_view::npos;
  if (index == std::string_view::npos) return;  // any other value leaves the control as it is
  if (kind_ == Kind::Icao) {
    if (auto* combo = dynamic_cast<CComboBox*>(GetDlgItem(id::kRulesCombo))) combo->SetCurSel(static_cast<int>(index));
    return;
  }
  CheckRadioButton(m_hWnd, id::kRulesFirstRadio, id::kRulesFirstRadio + 3,
                   id::kRulesFirstRadio + static_cast<int>(index));
}

void CFlightPlanForm::ClearRules() {
  if (kind_ == Kind::Icao) {
    if (auto* combo = dynamic_cast<CComboBox*>(GetDlgItem(id::kRulesCombo))) combo->SetCurSel(-1);
    return;
  }
  for (int radio = id::kRulesFirstRadio; radio <= id::kRulesFirstRadio + 3; ++radio) {
    CheckDlgButton(m_hWnd, radio, BST_UNCHECKED);
  }
}

std::string CFlightPlanForm::FieldText(int controlId, std::size_t maxChars) const {
  std::string text(maxChars + 1, '\0');
  const UINT n = GetDlgItemTextA(m_hWnd, controlId, text.data(), static_cast<int>(text.size()));
  text.resize(n);
  return text;
}

UINT CFlightPlanForm::FieldNumber(int controlId) const { return GetDlgItemInt(m_hWnd, controlId, nullptr, FALSE); }

void CFlightPlanForm::SetFieldText(int controlId, std::string_view text) {
  const std::string owned(text);
  SetDlgItemTextA(m_hWnd, controlId, owned.c_str());
}

void CFlightPlanForm::SetFieldNumber(int controlId, UINT value) { SetDlgItemInt(m_hWnd, controlId, value, FALSE); }

void CFlightPlanForm::Print(int colourField, DWORD effects, std::string_view text, bool newLine) {
  CCchatDlg* chat = g_pChatDlg.load();
  if (chat == nullptr) return;
  chat->SetFormat(effects, Klib().Colour(colourField));
  if (newLine) {
    chat->PrintLineText(text);
  } else {
    chat->PrintText(text);
  }
}

void CFlightPlanForm::PrintMessage(int colourField, DWORD effects, const PlanText3& text) {
  Print(colourField, effects, PlanMessage(text), true);
}

void CFlightPlanForm::HideAndShowMainWindow() {
  if (CWnd* main = AfxGetMainWnd(); main != nullptr && main != this && main->m_hWnd != 0) {
    main->ShowWindow(SW_HIDE);
    main->ShowWindow(SW_SHOW);
  }
}

std::string CFlightPlanForm::FlightPlansFolder() const { return g_appPaths().flightPlansFolder; }

std::string CFlightPlanForm::AircraftListFile() const { return g_appPaths().aircraftTypesFile; }

std::string CFlightPlanForm::PilotFirstName() const {
  const CNodeWay* node = NodeWayObject();
  return node != nullptr ? node->FirstName() : std::string();
}

std::string CFlightPlanForm::PilotLastName() const {
  const CNodeWay* node = NodeWayObject();
  return node != nullptr ? node->LastName() : std::string();
}

CFlightPlanForm* FlightPlanFormInUse() {
  if (g_setupSettings.flightPlanType.load() != 0) return g_pFlightPlanICAO.load();
  return g_pFlightPlanUS.load();
}

void NotifyFormOfAmendment() {
  if (CFlightPlanForm* form = FlightPlanFormInUse()) {
    PostMessageA(form->m_hWnd, WM_COMMAND, kFlightPlanAmendedCommand, 0);
  }
}
