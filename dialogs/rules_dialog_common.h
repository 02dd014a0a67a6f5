// What the two rules dialogs share: the rules file and its writes, what a
// rule's title part may hold, the model items of the combos, and refills of
// their lists with repainting suspended.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/local_model_record.h"

class CItemListCtrl;
class CComboBox;
class CWnd;

inline constexpr char kRulesInformationTitle[] = "Information";
inline constexpr std::size_t kRuleTitlePartMax = 110;
inline constexpr int kRuleTitlePartMin = 4;

std::string TrimmedText(std::string_view text);

// The dialog control's text, cut to `maxChars`, trimmed.
std::string TrimmedControlText(const CWnd& dialog, int id, std::size_t maxChars);

// A title part is a key, or the head of a value, of "Rules.txt": a character
// that ends the line or splits the entry, or a start the reader takes for a
// section or a comment, would not read back as written.
bool TitlePartReadsBack(std::string_view titlePart);
// Shows the "Information" box when it does not; true when it does.
bool AcceptTitlePart(std::string_view titlePart);

// " class - type : title", as both model lists show a model.
std::string ModelItemText(const LocalModelRecord& model);

// A list or combo stops repainting for the life of the object.
class RedrawSuspended {
 public:
  explicit RedrawSuspended(CItemListCtrl* list);
  ~RedrawSuspended();
  RedrawSuspended(const RedrawSuspended&) = delete;
  RedrawSuspended& operator=(const RedrawSuspended&) = delete;

 private:
  CItemListCtrl* list_;
};

// The model a combo's selection names: none for the blank first item; an
// error when the item data cannot be read or is not a model of the working
// table as it is now.
struct ComboModelPick {
  bool ok = false;
  std::optional<std::string> title;
};
ComboModelPick SelectedComboModel(CComboBox* combo);

const std::string& RulesFilePath();
// The write of one key (no value: the key's line goes).
void WriteRulesEntry(const char* section, const char* key, const char* value);
// Whether "Rules.txt" is there (readable or not).
bool RulesFileExists();
// "Error code <code> : Corrupt <path> file. <rules> will not be applied." in
// the chat window's text area.
void PrintCorruptRulesLine(std::string_view code, std::string_view rules);
