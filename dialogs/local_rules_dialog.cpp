#include "dialogs/local_rules_dialog.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/message_box.h"
#include "core/aircraft_type_db.h"
#include "core/airline_table.h"
#include "core/big_tables.h"
#include "core/text_fields.h"
#include "dialogs/local_rule_place.h"
#include "dialogs/rules_dialog_colours.h"
#include "dialogs/rules_dialog_common.h"
#include "sim/ai_lock.h"
#include "sim/rule_appliers.h"
#include "sim/rules_file.h"
#include "win/button_ctrl.h"
#include "win/listbox_ctrl.h"
#include "win/dialog_items.h"
#include "win/messages.h"

std::atomic<CPlaneTypeAssignerDlg*> g_pPlaneTypeAssignerDlg{nullptr};

namespace {

constexpr std::size_t kTypeChars = 4;
constexpr std::size_t kAirlineChars = 3;
constexpr int kTypeMin = 2;
constexpr char kRuleSeparator[] = " >>> ";
constexpr char kPlaceTitle[] = "Informations";
constexpr char kLocalRules[] = "ICAO type translation rules";
constexpr std::array<int, 2> kModelTabStops = {8, 53};
constexpr char kExplanation[] =
    "Create rules and teach Tavelkor how to assign or fix an ICAO aircraft type to your local planes ( The ones found "
    "on your hard disk )\r\r\t\t\tAbsolutely none of the aircrafts and FS files is modified.     Nothing is changed.";

std::string RuleKey(int number) {
  char key[16];
  std::snprintf(key, sizeof key, "%03d", number);
  return key;
}

std::vector<std::string> SplitAtSeparators(std::string_view line) {
  std::vector<std::string> parts;
  for (;;) {
    const std::size_t at = line.find(kRuleSeparator);
    parts.emplace_back(line.substr(0, at));
    if (at == std::string_view::npos) return parts;
    line.remove_prefix(at + std::char_traits<char>::length(kRuleSeparator));
  }
}

}  // namespace

CPlaneTypeAssignerDlg::CPlaneTypeAssignerDlg() : CDialogEx(kLocalRulesTemplate) {}

CPlaneTypeAssignerDlg::~CPlaneTypeAssignerDlg() {
  if (g_pPlaneTypeAssignerDlg.load() == this) g_pPlaneTypeAssignerDlg = nullptr;
  DestroyWindow();
}

BOOL CPlaneTypeAssignerDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  SetDlgItemTextA(m_hWnd, kLocalExplanationId, kExplanation);
  if (CComboBox* type = Combo(kLocalTypeId)) type->LimitText(static_cast<int>(kTypeChars));
  if (CComboBox* airline = Combo(kLocalAirlineId)) airline->LimitText(static_cast<int>(kAirlineChars));
  return TRUE;
}

CComboBox* CPlaneTypeAssignerDlg::Combo(int id) const { return dynamic_cast<CComboBox*>(GetDlgItem(id)); }
CListBox* CPlaneTypeAssignerDlg::List(int id) const { return dynamic_cast<CListBox*>(GetDlgItem(id)); }

LRESULT CPlaneTypeAssignerDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsCtlColorMessage(message)) {
    if (const LRESULT brush = AnswerRulesCtlColor(RulesDialogKind::kLocal, brushes_, m_hWnd, message, wParam, lParam)) {
      return brush;
    }
  }
  const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
  if (message == WM_SHOWWINDOW) OnShowWindow(wParam != 0);
  return result;
}

void CPlaneTypeAssignerDlg::OnShowWindow(bool show) {
  if (!show || g_icaoTypeList().count == 0) return;
  ApplyTypeTranslationRules();
  LoadRules();
  ListLocalAircraft();
  FillTypeAndAirlineCombos();
}

void CPlaneTypeAssignerDlg::FillTypeAndAirlineCombos() {
  if (CComboBox* types = Combo(kLocalTypeId)) {
    RedrawSuspended quiet(types);
    types->ResetContent();
    for (const IcaoTypeEntry& entry : g_icaoTypeList()) types->AddString(std::string(FieldText(entry.type)).c_str());
    types->SetCurSel(-1);
  }
  if (CComboBox* airlines = Combo(kLocalAirlineId)) {
    RedrawSuspended quiet(airlines);
    airlines->ResetContent();
    for (const AirlineRecord& record : g_airlineTable()) {
      airlines->AddString(std::string(FieldText(record.code)).c_str());
    }
    airlines->SetCurSel(-1);
  }
}

void CPlaneTypeAssignerDlg::LoadRules() {
  CListBox* rules = List(kLocalRuleListId);
  if (rules == nullptr) return;
  RedrawSuspended quiet(rules);
  rules->ResetContent();
  RulesFile file;
  if (file.Load(RulesFilePath()) == 0) return;
  std::array<char, RulesFile::kEntryMax + 1> entry{};
  for (int r = file.GetNextEntry(kLocalAircraftsSection, entry.data(), entry.size(), true); r == RulesFile::kEntryFound;
       r = file.GetNextEntry(kLocalAircraftsSection, entry.data(), entry.size(), false)) {
    LocalRuleLine rule;
    switch (ParseLocalRuleLine(entry.data(), rule)) {
      case LocalRuleParse::kNoEquals:
        continue;
      case LocalRuleParse::kNoOpenBraces:
        PrintCorruptRulesLine("DTRE01", kLocalRules);
        return;
      case LocalRuleParse::kNoCloseBraces:
        PrintCorruptRulesLine("DTRE02", kLocalRules);
        return;
      case LocalRuleParse::kRule:
        break;
    }
    std::string line = RuleKey(rule.number);
    line.append(kRuleSeparator).append(rule.titlePart).append(kRuleSeparator).append(rule.type);
    if (!rule.airline.empty()) line.append(kRuleSeparator).append(rule.airline);
    rules->AddString(line.c_str());
  }
}

void CPlaneTypeAssignerDlg::ListLocalAircraft() {
  CListBox* list = List(kLocalModelListId);
  if (list == nullptr) return;
  RedrawSuspended quiet(list);
  list->ResetContent();
  list->SetTabStops(kModelTabStops);
  list->SetItemLimit(static_cast<std::size_t>(kLocalModelSlots));
  auto* onlyRuled = dynamic_cast<CButton*>(GetDlgItem(kLocalOnlyRuledId));
  const bool ruledOnly = onlyRuled != nullptr && onlyRuled->GetCheck() == BST_CHECKED;
  std::vector<std::pair<std::string, int>> lines;
  {
    AiGuard guard;
    const LocalModelTable& working = g_localModelTables().working;
    if (!working.Allocated()) return;
    for (int i = 0; i < working.count; ++i) {
      const LocalModelRecord& model = working.records[i];
      if (ruledOnly && model.ruleMark != '*') continue;
      std::string line(1, model.ruleMark == '*' ? '*' : ' ');
      line.append("\t[ ").append(FieldText(model.icaoType)).append(" ]\t").append(FieldText(model.title));
      lines.emplace_back(std::move(line), i);
    }
  }
  for (const auto& [line, index] : lines) {
    const int added = list->AddString(line.c_str());
    if (added >= 0) list->SetItemData(added, static_cast<DWORD_PTR>(index));
  }
}

bool CPlaneTypeAssignerDlg::SelectedModel(char& mark, int& ruleNumber, std::string* title, std::string* type,
                                          std::string* airline) const {
  CListBox* list = List(kLocalModelListId);
  if (list == nullptr) return false;
  const int selected = list->GetCurSel();
  if (selected < 0) return false;
  const auto index = static_cast<std::intptr_t>(list->GetItemData(selected));
  AiGuard guard;
  const LocalModelTable& working = g_localModelTables().working;
  // The list was filled from the table as it was; it may have shrunk since.
  if (!working.Allocated() || index < 0 || index >= working.count) return false;
  const LocalModelRecord& model = working.records[index];
  mark = model.ruleMark;
  ruleNumber = model.ruleNumber;
  if (title != nullptr) *title = FieldText(model.title);
  if (type != nullptr) *type = FieldText(model.icaoType);
  if (airline != nullptr) *airline = FieldText(model.airline);
  return true;
}

void CPlaneTypeAssignerDlg::PutComboText(int id, const std::string& text) {
  CComboBox* combo = Combo(id);
  if (combo == nullptr) return;
  const int found = text.empty() ? CB_ERR : combo->FindStringExact(-1, text.c_str());
  if (found >= 0) {
    combo->SetCurSel(found);
    return;
  }
  combo->SetCurSel(-1);
  combo->SetWindowText(text.c_str());
}

void CPlaneTypeAssignerDlg::OnSelectModel() {
  UpdateModelRuleButton();
  char mark = 0;
  int ruleNumber = 0;
  std::string title;
  std::string type;
  std::string airline;
  if (!SelectedModel(mark, ruleNumber, &title, &type, &airline)) return;
  SetDlgItemTextA(m_hWnd, kLocalTitlePartId, title.c_str());
  PutComboText(kLocalTypeId, type);
  PutComboText(kLocalAirlineId, airline);
}

void CPlaneTypeAssignerDlg::UpdateModelRuleButton() {
  char mark = 0;
  int ruleNumber = 0;
  if (!SelectedModel(mark, ruleNumber, nullptr, nullptr, nullptr)) return;
  CWnd* removeButton = GetDlgItem(kLocalRemoveModelRuleId);
  CListBox* rules = List(kLocalRuleListId);
  if (mark == '*') {
    if (removeButton != nullptr) removeButton->ShowWindow(SW_SHOW);
    if (rules != nullptr) {
      const int found = rules->FindString(-1, RuleKey(ruleNumber).c_str());
      if (found >= 0) rules->SetCurSel(found);
    }
    return;
  }
  if (removeButton != nullptr) removeButton->ShowWindow(SW_HIDE);
  if (rules != nullptr) rules->SetCurSel(-1);
}

void CPlaneTypeAssignerDlg::ShowTypeExample() {
  const std::string type = TrimmedControlText(*this, kLocalTypeId, kTypeChars);
  std::string label;
  for (const IcaoTypeEntry& entry : g_icaoTypeList()) {
    if (FieldText(entry.type) == type) {
      label = FieldText(entry.label);
      break;
    }
  }
  SetDlgItemTextA(m_hWnd, kLocalExampleId, label.c_str());
}

void CPlaneTypeAssignerDlg::ShowAirlineExample() {
  const std::string code = TrimmedControlText(*this, kLocalAirlineId, kAirlineChars);
  std::string name;
  for (const AirlineRecord& record : g_airlineTable()) {
    if (FieldText(record.code) == code) {
      name = FieldText(record.name);
      break;
    }
  }
  SetDlgItemTextA(m_hWnd, kLocalExampleId, name.c_str());
}

void CPlaneTypeAssignerDlg::WriteLocalRule(int number, const std::string& value) {
  WriteRulesEntry(kLocalAircraftsSection, RuleKey(number).c_str(), value.c_str());
}

void CPlaneTypeAssignerDlg::DeleteLocalRule(int number) {
  WriteRulesEntry(kLocalAircraftsSection, RuleKey(number).c_str(), nullptr);
}

void CPlaneTypeAssignerDlg::AfterChange() {
  ApplyTypeTranslationRules();
  LoadRules();
  ListLocalAircraft();
}

void CPlaneTypeAssignerDlg::OnAddRule() {
  const std::string type = TrimmedControlText(*this, kLocalTypeId, kTypeChars);
  const std::string titlePart = TrimmedControlText(*this, kLocalTitlePartId, kRuleTitlePartMax);
  const std::string airline = TrimmedControlText(*this, kLocalAirlineId, kAirlineChars);
  if (titlePart.size() < static_cast<std::size_t>(kRuleTitlePartMin)) {
    ShowMessage(kRulesInformationTitle, "Only aircraft names with at least %d characters are taken into account.",
                kRuleTitlePartMin);
    return;
  }
  if (!type.empty() && type.size() < static_cast<std::size_t>(kTypeMin)) {
    ShowMessage(kRulesInformationTitle,
                "Only aircraft ICAO types with at least %d characters are taken into account.", kTypeMin);
    return;
  }
  if (!airline.empty() && airline.size() != kAirlineChars) {
    ShowMessage(kRulesInformationTitle,
                "Only airlines ICAO codes with exactly %d characters are taken into account.",
                static_cast<int>(kAirlineChars));
    return;
  }
  if (!AcceptTitlePart(titlePart)) return;

  std::string value = titlePart + "{{" + type;
  if (!airline.empty()) value.append(",").append(airline);
  value.append("}}");
  int number = 0;
  const std::string& path = RulesFilePath();
  switch (const int place = FindLocalRulePlace(path, titlePart, type, airline, number)) {
    case kLocalPlaceNotLoaded:
      // Only a missing file starts the numbering afresh; rules that cannot be read are never written over.
      if (RulesFileExists()) {
        ShowMessage(kPlaceTitle, "Your rules file %s could not be read. No rule was written.", path.c_str());
        return;
      }
      WriteLocalRule(0, value);
      break;
    case kLocalPlaceNew:
      WriteLocalRule(number + 1, value);
      break;
    case kLocalPlaceReplace:
      WriteLocalRule(number, value);
      break;
    case kLocalPlaceSameType:
    case kLocalPlaceSameAirline:
    case kLocalPlaceSameTypeAndAirline:
      ShowMessage(kPlaceTitle, "An identical rule already exists ( Rule number %d ).", number);
      return;
    case kLocalPlaceNoOpenBraces:
    case kLocalPlaceNoCloseBraces:
      ShowMessage(kPlaceTitle, "Your rules file %s may be corrupt.", path.c_str());
      return;
    default:
      (void)place;
      ShowMessage(kPlaceTitle, "Unknow code while processing file %s", path.c_str());
      return;
  }
  AfterChange();
}

void CPlaneTypeAssignerDlg::RemoveRule() {
  char mark = 0;
  int ruleNumber = 0;
  if (!SelectedModel(mark, ruleNumber, nullptr, nullptr, nullptr)) return;
  DeleteLocalRule(ruleNumber);
  AfterChange();
  if (CWnd* removeButton = GetDlgItem(kLocalRemoveModelRuleId)) removeButton->ShowWindow(SW_HIDE);
}

void CPlaneTypeAssignerDlg::RemoveSelectedRule() {
  CListBox* rules = List(kLocalRuleListId);
  if (rules == nullptr) return;
  const int selected = rules->GetCurSel();
  if (selected < 0) return;
  const std::string line = rules->ItemText(selected);
  const int number = std::atoi(line.substr(0, line.find(' ')).c_str());
  if (number < 0) return;
  DeleteLocalRule(number);
  AfterChange();
  if (CWnd* removeButton = GetDlgItem(kLocalRemoveModelRuleId)) removeButton->ShowWindow(SW_HIDE);
}

void CPlaneTypeAssignerDlg::OnSelectRule() {
  CListBox* rules = List(kLocalRuleListId);
  if (rules == nullptr) return;
  const int selected = rules->GetCurSel();
  if (selected < 0) return;
  const std::vector<std::string> parts = SplitAtSeparators(rules->ItemText(selected));
  if (parts.size() < 3) return;
  SetDlgItemTextA(m_hWnd, kLocalTitlePartId, parts[1].c_str());
  PutComboText(kLocalTypeId, parts[2]);
  PutComboText(kLocalAirlineId, parts.size() > 3 ? parts[3] : std::string());
}

void CPlaneTypeAssignerDlg::OnOK() { ShowWindow(SW_HIDE); }

void CPlaneTypeAssignerDlg::OnCancel() { ShowWindow(SW_HIDE); }

BOOL CPlaneTypeAssignerDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const WORD code = HIWORD(wParam);
  switch (LOWORD(wParam)) {
    case kLocalAddRuleId:
      if (code == BN_CLICKED) OnAddRule();
      return TRUE;
    case kLocalRemoveModelRuleId:
      if (code == BN_CLICKED) RemoveRule();
      return TRUE;
    case kLocalRemoveSelectedRuleId:
      if (code == BN_CLICKED) RemoveSelectedRule();
      return TRUE;
    case kLocalOnlyRuledId:
      if (code == BN_CLICKED) ListLocalAircraft();
      return TRUE;
    case kLocalRuleListId:
      if (code == LBN_SELCHANGE) OnSelectRule();
      return TRUE;
    case kLocalModelListId:
      if (code == LBN_SELCHANGE) OnSelectModel();
      if (code == LBN_SETFOCUS) UpdateModelRuleButton();
      return TRUE;
    case kLocalTypeId:
      if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE) ShowTypeExample();
      if (code == CBN_DBLCLK) OnAddRule();
      return TRUE;
    case kLocalAirlineId:
      if (code == CBN_SELCHANGE || code == CBN_EDITCHANGE) ShowAirlineExample();
      return TRUE;
    default:
      return CDialogEx::OnCommand(wParam, lParam);
  }
}
