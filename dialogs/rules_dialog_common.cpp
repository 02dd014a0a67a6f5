#include "dialogs/rules_dialog_common.h"

#include <filesystem>
#include <vector>

#include "base/klib_settings.h"
#include "base/message_box.h"
#include "core/app_paths.h"
#include "core/big_tables.h"
#include "core/text_fields.h"
#include "dialogs/chat_dialog.h"
#include "sim/ai_lock.h"
#include "win/listbox_ctrl.h"
#include "win/profile.h"
#include "win/window.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
}  // namespace

std::string TrimmedText(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::string TrimmedControlText(const CWnd& dialog, int id, std::size_t maxChars) {
  std::vector<char> text(maxChars + 1, '\0');
  if (const CWnd* control = dialog.GetDlgItem(id)) control->GetWindowText(text.data(), static_cast<int>(text.size()));
  text.back() = '\0';
  return TrimmedText(text.data());
}

bool TitlePartReadsBack(std::string_view titlePart) {
  if (titlePart.find_first_of("=\r\n") != std::string_view::npos) return false;
  if (titlePart.find("{{") != std::string_view::npos || titlePart.find("}}") != std::string_view::npos) return false;
  return titlePart.empty() || (titlePart.front() != '[' && titlePart.front() != ';');
}

bool AcceptTitlePart(std::string_view titlePart) {
  if (TitlePartReadsBack(titlePart)) return true;
  ShowMessage(kRulesInformationTitle,
              "An aircraft name in a rule cannot hold '=', \"{{\", \"}}\" or a line break, nor begin with '[' or ';'.");
  return false;
}

std::string ModelItemText(const LocalModelRecord& model) {
  std::string text = " ";
  text.append(FieldText(model.classCode)).append(" - ").append(FieldText(model.icaoType)).append(" : ");
  text.append(FieldText(model.title));
  return text;
}

RedrawSuspended::RedrawSuspended(CItemListCtrl* list) : list_(list) {
  if (list_ != nullptr) list_->SetRedraw(FALSE);
}

RedrawSuspended::~RedrawSuspended() {
  if (list_ != nullptr) list_->SetRedraw(TRUE);
}

ComboModelPick SelectedComboModel(CComboBox* combo) {
  ComboModelPick pick;
  if (combo == nullptr) return pick;
  const int selected = combo->GetCurSel();
  if (selected <= 0) {
    pick.ok = true;
    return pick;
  }
  const auto data = static_cast<std::intptr_t>(combo->GetItemData(selected));
  if (data == CB_ERR || data <= 0) return pick;
  AiGuard guard;
  const LocalModelTable& working = g_localModelTables().working;
  // The combos were filled at the last show; the table may have shrunk since.
  if (!working.Allocated() || data > working.count) return pick;
  pick.ok = true;
  pick.title = std::string(FieldText(working.records[data - 1].title));
  return pick;
}

const std::string& RulesFilePath() { return g_appPaths().rulesFile; }

void WriteRulesEntry(const char* section, const char* key, const char* value) {
  WritePrivateProfileStringA(section, key, value, RulesFilePath().c_str());
}

bool RulesFileExists() {
  std::error_code error;
  // A file that cannot even be looked at counts as there: it is never taken for a missing one.
  const bool there = std::filesystem::exists(std::filesystem::path(RulesFilePath()), error);
  return there || (error && error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory);
}

void PrintCorruptRulesLine(std::string_view code, std::string_view rules) {
  CCchatDlg* chat = g_pChatDlg.load();
  if (chat == nullptr) return;
  std::string line = "Error code ";
  line.append(code).append(" : Corrupt ").append(RulesFilePath()).append(" file. ").append(rules);
  line.append(" will not be applied.");
  chat->SetFormat(0, Klib().Colour(kColourError));
  chat->PrintLineText(line);
}
