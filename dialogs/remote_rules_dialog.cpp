#include "dialogs/remote_rules_dialog.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "base/base_thread.h"
#include "base/main_thread.h"
#include "base/klib_settings.h"
#include "base/message_box.h"
#include "core/aircraft_type_db.h"
#include "core/big_tables.h"
#include "core/text_fields.h"
#include "dialogs/rules_dialog_colours.h"
#include "dialogs/rules_dialog_common.h"
#include "net/multiplayer_session.h"
#include "net/orv_sok.h"
#include "net/pilot_link.h"
#include "net/way_ids.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_lock.h"
#include "sim/rules_file.h"
#include "win/ascii_case.h"
#include "win/listbox_ctrl.h"
#include "win/button_ctrl.h"
#include "win/dialog_items.h"
#include "win/messages.h"

std::atomic<CPlaneOverriderDlg*> g_pPlaneOverriderDlg{nullptr};

namespace {

constexpr std::size_t kRuleFieldMax = 111;
constexpr std::size_t kFreeClassChars = 3;
constexpr char kRuleSeparator[] = " >>> ";
constexpr char kRemoteRules[] = "Remote translation rules";
constexpr std::array<int, 3> kSessionTabStops = {8, 53, 290};
constexpr char kExplanation[] =
    "Create rules and teach Tavelkor how to assign or fix an ICAO aircraft type to the remote planes that join your "
    "session.\r\r\t\t\tAbsolutely none of the aircrafts and FS files is modified.     Nothing is changed.";

struct ModelItem {
  std::string text;
  std::string classCode;
};

// The working table as items, read under its lock once for all the combos.
std::vector<ModelItem> WorkingModelItems() {
  std::vector<ModelItem> items;
  AiGuard guard;
  const LocalModelTable& working = g_localModelTables().working;
  if (!working.Allocated()) return items;
  items.reserve(static_cast<std::size_t>(working.count));
  for (const LocalModelRecord& model : working) {
    items.push_back({ModelItemText(model), std::string(FieldText(model.classCode))});
  }
  return items;
}

bool InClass(const RemoteDefaultClass& modelClass, std::string_view classCode) {
  if (modelClass.byFirstLetter) return !classCode.empty() && classCode.front() == modelClass.code[0];
  return classCode == modelClass.code;
}

void AddModel(CComboBox& combo, const std::string& text, std::size_t index) {
  const int added = combo.AddString(text.c_str());
  if (added >= 0) combo.SetItemData(added, static_cast<DWORD_PTR>(index + 1));
}

void StartModelCombo(CComboBox& combo) {
  combo.ResetContent();
  combo.SetItemLimit(static_cast<std::size_t>(kLocalModelSlots));
  combo.SetItemData(combo.AddString(" "), 0);
}

// The item text of the first working-table model that `matches`, if any.
template <typename Match>
std::optional<std::string> FirstModelItem(Match matches) {
  AiGuard guard;
  for (const LocalModelRecord& model : g_localModelTables().working) {
    if (matches(model)) return ModelItemText(model);
  }
  return std::nullopt;
}

}  // namespace

CPlaneOverriderDlg::CPlaneOverriderDlg() : CDialogEx(kRemoteRulesTemplate) {}

CPlaneOverriderDlg::~CPlaneOverriderDlg() {
  if (g_pPlaneOverriderDlg.load() == this) g_pPlaneOverriderDlg = nullptr;
  DestroyWindow();
}

BOOL CPlaneOverriderDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  remoteAircraftSection_ = kRemoteAircraftsSection;
  remoteDefaultSection_ = kRemoteDefaultSection;
  SetDlgItemTextA(m_hWnd, kRemoteExplanationId, kExplanation);
  if (CComboBox* freeClass = Combo(kRemoteFreeClassId)) freeClass->LimitText(static_cast<int>(kFreeClassChars));
  return TRUE;
}

CComboBox* CPlaneOverriderDlg::Combo(int id) const { return dynamic_cast<CComboBox*>(GetDlgItem(id)); }
CListBox* CPlaneOverriderDlg::List(int id) const { return dynamic_cast<CListBox*>(GetDlgItem(id)); }

LRESULT CPlaneOverriderDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsCtlColorMessage(message)) {
    if (const LRESULT brush = AnswerRulesCtlColor(RulesDialogKind::kRemote, brushes_, m_hWnd, message, wParam, lParam)) {
      return brush;
    }
  }
  const LRESULT result = CDialogEx::WindowProc(message, wParam, lParam);
  if (message == WM_SHOWWINDOW) OnShowWindow(wParam != 0);
  return result;
}

void CPlaneOverriderDlg::OnShowWindow(bool show) {
  if (!show) return;
  rulesChanged_ = false;
  // Before the aircraft data are loaded there is nothing to list.
  if (g_icaoTypeList().count == 0) return;
  FillDefaultRuleCombos();
  LoadRules();
  ListSessionAircraft();
}

void CPlaneOverriderDlg::FillDefaultRuleCombos() {
  const std::vector<ModelItem> items = WorkingModelItems();
  for (const RemoteDefaultClass& modelClass : kRemoteDefaultClasses) {
    CComboBox* combo = Combo(modelClass.comboId);
    if (combo == nullptr) continue;
    RedrawSuspended quiet(combo);
    StartModelCombo(*combo);
    // The class's own models first, then every other one.
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (InClass(modelClass, items[i].classCode)) AddModel(*combo, items[i].text, i);
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (!InClass(modelClass, items[i].classCode)) AddModel(*combo, items[i].text, i);
    }
    combo->SetCurSel(0);
  }
  for (const int id : {kRemoteFreeClassModelId, kRemoteMainModelId, kRemoteAlternateModelId}) {
    CComboBox* combo = Combo(id);
    if (combo == nullptr) continue;
    RedrawSuspended quiet(combo);
    StartModelCombo(*combo);
    for (std::size_t i = 0; i < items.size(); ++i) AddModel(*combo, items[i].text, i);
    combo->SetCurSel(0);
  }
}

void CPlaneOverriderDlg::ListSessionAircraft() {
  CListBox* list = List(kRemoteSessionListId);
  if (list == nullptr) return;
  RedrawSuspended quiet(list);
  list->ResetContent();
  list->SetTabStops(kSessionTabStops);
  if (CountSessionPeers().total == 0) return;
  std::vector<std::pair<std::string, int>> lines;
  {
    WayTableGuard guard;
    const WayTableArray& table = WayTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
      const WayRecord& record = table[i];
      if ((record.stateFlags & kWayInvisible) != 0 || record.peerKind != 'P') continue;
      if (record.way == nullptr || (record.way->LoggedInBits() & kWayLoggedIn) == 0) continue;
      std::string line = " \t";
      line.append(FieldText(record.announced.classCode)).append(" - ").append(FieldText(record.announced.icaoType));
      line.append("\t").append(FieldText(record.announced.title)).append("\t").append(FieldText(record.callsign));
      lines.emplace_back(std::move(line), static_cast<int>(i));
    }
  }
  for (const auto& [line, way] : lines) {
    const int added = list->AddString(line.c_str());
    if (added >= 0) list->SetItemData(added, static_cast<DWORD_PTR>(way));
  }
}

void CPlaneOverriderDlg::LoadRules() {
  CListBox* rules = List(kRemoteRuleListId);
  if (rules == nullptr) return;
  {
    RedrawSuspended quiet(rules);
    rules->ResetContent();
    RulesFile file;
    if (file.Load(RulesFilePath()) == 0) return;
    int added = 0;
    std::array<char, RulesFile::kEntryMax + 1> entry{};
    for (int r = file.GetNextEntry(kRemoteAircraftsSection, entry.data(), entry.size(), true);
         r == RulesFile::kEntryFound;
         r = file.GetNextEntry(kRemoteAircraftsSection, entry.data(), entry.size(), false)) {
      const std::string_view text(entry.data());
      const std::size_t equals = text.find('=');
      if (equals == std::string_view::npos) continue;
      const std::string_view key = text.substr(0, std::min(equals, kRuleFieldMax));
      if (key.empty()) {
        PrintCorruptRulesLine("DTRE10", kRemoteRules);
        return;
      }
      const std::string_view value = text.substr(equals + 1);
      std::string line(key);
      line.append(kRuleSeparator);
      const std::size_t open = value.find("{{");
      if (open == std::string_view::npos) {
        if (value.empty()) {
          PrintCorruptRulesLine("DTRE11", kRemoteRules);
          return;
        }
        line.append(value.substr(0, kRuleFieldMax));
      } else {
        const std::size_t close = value.find("}}", open + 2);
        if (close == std::string_view::npos) {
          PrintCorruptRulesLine("DTRE12", kRemoteRules);
          return;
        }
        line.append(value.substr(0, std::min(open, kRuleFieldMax)));
        const std::string_view alternate = value.substr(open + 2, std::min(close - open - 2, kRuleFieldMax));
        if (!alternate.empty()) line.append(kRuleSeparator).append(alternate);
      }
      if (rules->AddString(line.c_str()) >= 0) ++added;
    }
    char count[32];
    std::snprintf(count, sizeof count, "%d rules loaded", added);
    SetDlgItemTextA(m_hWnd, kRemoteRuleCountId, count);
  }

  RulesFile file;
  if (file.Load(RulesFilePath()) == 0) return;
  for (const RemoteDefaultClass& modelClass : kRemoteDefaultClasses) {
    CComboBox* combo = Combo(modelClass.comboId);
    if (combo == nullptr) continue;
    std::array<char, kRuleFieldMax + 1> value{};
    if (file.GetKeyString(kRemoteDefaultSection, modelClass.code, value.data(), value.size()) != RulesFile::kKeyFound) {
      continue;
    }
    const std::string wanted = AsciiUpper(value.data());
    const std::optional<std::string> item = FirstModelItem([&](const LocalModelRecord& model) {
      return AsciiUpper(FieldText(model.title)).find(wanted) != std::string::npos;
    });
    const int found = item ? combo->FindStringExact(-1, item->c_str()) : CB_ERR;
    combo->SetCurSel(found >= 0 ? found : 0);
  }
}

void CPlaneOverriderDlg::OnAddRule() {
  const std::string titlePart = TrimmedControlText(*this, kRemoteTitlePartId, kRuleTitlePartMax);
  if (titlePart.size() < static_cast<std::size_t>(kRuleTitlePartMin)) {
    ShowMessage(kRulesInformationTitle, "Only aircraft names with at least %d characters are taken into account.",
                kRuleTitlePartMin);
    return;
  }
  if (!AcceptTitlePart(titlePart)) return;
  const ComboModelPick main = SelectedComboModel(Combo(kRemoteMainModelId));
  const ComboModelPick alternate = SelectedComboModel(Combo(kRemoteAlternateModelId));
  if (!main.ok || !alternate.ok) return;
  if (!main.title) {
    // Without a main model the rule goes, whatever the alternate.
    WriteRulesEntry(kRemoteAircraftsSection, titlePart.c_str(), nullptr);
  } else if (alternate.title) {
    const std::string value = *main.title + "{{" + *alternate.title + "}}";
    WriteRulesEntry(kRemoteAircraftsSection, titlePart.c_str(), value.c_str());
  } else {
    WriteRulesEntry(kRemoteAircraftsSection, titlePart.c_str(), main.title->c_str());
  }
  LoadRules();
  ListSessionAircraft();
  rulesChanged_ = true;
}

void CPlaneOverriderDlg::OnRemoveRule() {
  CListBox* rules = List(kRemoteRuleListId);
  if (rules == nullptr) return;
  const int selected = rules->GetCurSel();
  if (selected < 0) return;
  const std::string text = rules->ItemText(selected);
  std::string_view rest(text);
  while (!rest.empty() && rest.front() == '>') rest.remove_prefix(1);
  const std::string titlePart = TrimmedText(rest.substr(0, rest.find('>')));
  WriteRulesEntry(kRemoteAircraftsSection, titlePart.c_str(), nullptr);
  LoadRules();
  ListSessionAircraft();
  rulesChanged_ = true;
}

void CPlaneOverriderDlg::SelectModelByTitle(int comboId, std::string_view title) {
  CComboBox* combo = Combo(comboId);
  if (combo == nullptr) return;
  const std::optional<std::string> item =
      FirstModelItem([&](const LocalModelRecord& model) { return FieldText(model.title) == title; });
  if (!item) return;
  if (const int found = combo->FindStringExact(-1, item->c_str()); found >= 0) combo->SetCurSel(found);
}

void CPlaneOverriderDlg::OnSelectRule() {
  CListBox* rules = List(kRemoteRuleListId);
  if (rules == nullptr) return;
  const int selected = rules->GetCurSel();
  if (selected < 0) return;
  const std::string line = rules->ItemText(selected);
  const std::size_t first = line.find(kRuleSeparator);
  if (first == std::string::npos) return;
  SetDlgItemTextA(m_hWnd, kRemoteTitlePartId, line.substr(0, first).c_str());
  const std::string_view rest = std::string_view(line).substr(first + std::char_traits<char>::length(kRuleSeparator));
  const std::size_t second = rest.find(kRuleSeparator);
  SelectModelByTitle(kRemoteMainModelId, rest.substr(0, second));
  if (second != std::string_view::npos) {
    SelectModelByTitle(kRemoteAlternateModelId, rest.substr(second + std::char_traits<char>::length(kRuleSeparator)));
  }
}

void CPlaneOverriderDlg::OnSelectSessionAircraft() {
  CListBox* list = List(kRemoteSessionListId);
  if (list == nullptr) return;
  const int selected = list->GetCurSel();
  if (selected < 0) return;
  const auto way = static_cast<std::intptr_t>(list->GetItemData(selected));
  std::string title;
  {
    WayTableGuard guard;
    const WayRecord* record = PeerWayRecord(static_cast<std::int32_t>(way));
    if (record == nullptr) return;
    title = std::string(FieldText(record->announced.title));
  }
  SetDlgItemTextA(m_hWnd, kRemoteTitlePartId, title.c_str());
}

void CPlaneOverriderDlg::OnValidateDefaults() {
  for (const RemoteDefaultClass& modelClass : kRemoteDefaultClasses) {
    const ComboModelPick pick = SelectedComboModel(Combo(modelClass.comboId));
    if (!pick.ok) return;
    WriteRulesEntry(kRemoteDefaultSection, modelClass.code, pick.title ? pick.title->c_str() : nullptr);
  }
  const std::string freeClass = TrimmedControlText(*this, kRemoteFreeClassId, kFreeClassChars);
  if (!freeClass.empty()) {
    if (freeClass.size() != kFreeClassChars) {
      ShowMessage(kRulesInformationTitle,
                  "The field 'Other engines' must have 0 or 3 characters\rActually it is %s and (%d chars)",
                  freeClass.c_str(), static_cast<int>(freeClass.size()));
    } else if (TitlePartReadsBack(freeClass)) {
      const ComboModelPick pick = SelectedComboModel(Combo(kRemoteFreeClassModelId));
      if (pick.ok) WriteRulesEntry(kRemoteDefaultSection, freeClass.c_str(), pick.title ? pick.title->c_str() : nullptr);
    } else {
      AcceptTitlePart(freeClass);
    }
  }
  LoadRules();
  ListSessionAircraft();
  rulesChanged_ = true;
}

int CPlaneOverriderDlg::RechooseSessionModels() {
  std::vector<COrvSok*> ways;
  {
    WayTableGuard guard;
    for (WayRecord& record : WayTable()) {
      if (record.peerKind != 'P' || record.way == nullptr) continue;
      const DWORD bits = record.way->LoggedInBits();
      if ((bits & kWayLoggedIn) == 0 || (bits & kWayLoggedInPeer) != 0) continue;
      // Only the newer families announce an aircraft; the others keep theirs.
      if (FieldText(record.announced.title).empty()) continue;
      record.current.title = record.announced.title;
      record.current.icaoType = record.announced.icaoType;
      record.current.category = record.announced.category;
      ways.push_back(record.way);
    }
  }
  // A post may wait for room in the way's queue: never under the lock.
  for (COrvSok* way : ways) {
    CBaseThread::Post(Klib().mainThread, way, THRDMSG_SIMPILOT, kSimPilotMatchModel, 0, kRemoteRechoiceTag);
  }
  return static_cast<int>(ways.size());
}

void CPlaneOverriderDlg::OnOK() {
  if (rulesChanged_) RechooseSessionModels();
  rulesChanged_ = false;
  ShowWindow(SW_HIDE);
}

void CPlaneOverriderDlg::OnCancel() { ShowWindow(SW_HIDE); }

BOOL CPlaneOverriderDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const WORD code = HIWORD(wParam);
  switch (LOWORD(wParam)) {
    case kRemoteAddRuleId:
      if (code == BN_CLICKED) OnAddRule();
      return TRUE;
    case kRemoteRemoveRuleId:
      if (code == BN_CLICKED) OnRemoveRule();
      return TRUE;
    case kRemoteValidateDefaultsId:
      if (code == BN_CLICKED) OnValidateDefaults();
      return TRUE;
    case kRemoteRuleListId:
      if (code == LBN_SELCHANGE) OnSelectRule();
      return TRUE;
    case kRemoteSessionListId:
      if (code == LBN_SELCHANGE) OnSelectSessionAircraft();
      return TRUE;
    default:
      return CDialogEx::OnCommand(wParam, lParam);
  }
}
