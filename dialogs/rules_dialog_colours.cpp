#include "dialogs/rules_dialog_colours.h"

#include "base/klib_settings.h"
#include "dialogs/chat_colours.h"
#include "win/gdi.h"
#include "win/paint.h"
#include "win/window.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kNightExplanation = 0x53A660;
constexpr COLORREF kNightExample = 0xB07160;
constexpr int kListTextField = 17;
constexpr int kNightRuleListField = 24;
constexpr int kEditBackgroundField = 19;

bool IsEditMessage(UINT message) { return message == WM_CTLCOLOREDIT; }
bool IsListMessage(UINT message) { return message == WM_CTLCOLORLISTBOX; }

}  // namespace

std::optional<RulesControlColours> RulesColoursFor(RulesDialogKind kind, int id, UINT message, bool night,
                                                   const KlibSettings& settings) {
  const COLORREF dialog = night ? kRulesNightBackground : kRulesDayBackground;
  const COLORREF list = night ? kRulesNightListBackground : kRulesDayListBackground;
  const COLORREF listText = settings.Colour(kListTextField);
  const RulesControlColours onDialog{listText, dialog, true};
  const RulesControlColours explanation{night ? kNightExplanation : kWhite, dialog, true};
  if (message == WM_CTLCOLORDLG) return RulesControlColours{std::nullopt, dialog, false};
  switch (id) {
    case 7156:
      return RulesControlColours{listText, list, false};
    case 7164:
      return RulesControlColours{settings.Colour(night ? kNightRuleListField : kListTextField), list, false};
    case 7157:
    case 7166:
      return explanation;
    case 7162:
      return RulesControlColours{kBlack, settings.Colour(kEditBackgroundField), false};
    default:
      break;
  }
  if (id >= kRulesFirstUnnamedId) return onDialog;
  if (kind == RulesDialogKind::kRemote) {
    if (id == 7181 || id == 7090) return onDialog;
    // Edit and list parts keep the text colour the window procedure gave them.
    if (IsEditMessage(message) || IsListMessage(message)) return onDialog;
    return RulesControlColours{std::nullopt, dialog, true};
  }
  if (id == 7115 || id == 7159) return RulesControlColours{night ? kNightExample : kWhite, dialog, true};
  if (IsEditMessage(message)) return RulesControlColours{kBlack, settings.Colour(kEditBackgroundField), false};
  if (IsListMessage(message)) return RulesControlColours{listText, list, false};
  return std::nullopt;
}

bool IsCtlColorMessage(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

RulesBrushes::~RulesBrushes() {
  for (const auto& [colour, brush] : brushes_) DeleteObject(brush);
}

HBRUSH RulesBrushes::For(COLORREF colour) {
  if (const auto found = brushes_.find(colour); found != brushes_.end()) return found->second;
  const HBRUSH brush = CreateSolidBrush(colour);
  if (brush != 0) brushes_.emplace(colour, brush);
  return brush;
}

LRESULT AnswerControlColours(const std::optional<RulesControlColours>& colours, RulesBrushes& brushes, WPARAM dc) {
  if (!colours) return 0;
  const auto hdc = static_cast<HDC>(dc);
  if (colours->text) SetTextColor(hdc, *colours->text);
  SetBkColor(hdc, colours->background);
  if (colours->transparent) SetBkMode(hdc, TRANSPARENT);
  return static_cast<LRESULT>(brushes.For(colours->background));
}

LRESULT AnswerRulesCtlColor(RulesDialogKind kind, RulesBrushes& brushes, HWND dialog, UINT message, WPARAM dc,
                            LPARAM control) {
  const auto controlWindow = static_cast<HWND>(control);
  // The dialog's own background is asked with the dialog as the control.
  const int id = message == WM_CTLCOLORDLG || controlWindow == dialog ? 0 : GetDlgCtrlID(controlWindow);
  const std::optional<RulesControlColours> colours =
      RulesColoursFor(kind, id, message, g_nightFlag.load() != 0, Klib());
  return AnswerControlColours(colours, brushes, dc);
}
