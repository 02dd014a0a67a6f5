// The rules dialogs' colours by day and by night: what each control is drawn
// in when it asks its dialog (WM_CTLCOLOR*), and the solid brushes of those
// backgrounds, made once per colour.
#pragma once

#include <map>
#include <optional>

#include "win/gdi_handles.h"
#include "win/types.h"

struct KlibSettings;

inline constexpr COLORREF kRulesDayBackground = 0x60777F;
inline constexpr COLORREF kRulesNightBackground = 0x3D2F28;
inline constexpr COLORREF kRulesDayListBackground = 0xEBEEEF;
inline constexpr COLORREF kRulesNightListBackground = 0x34261E;
// Control ids from here on are labels the dialogs never address.
inline constexpr int kRulesFirstUnnamedId = 60'000;

enum class RulesDialogKind { kRemote, kLocal };

struct RulesControlColours {
  std::optional<COLORREF> text;  // none: as the control's kind draws it
  COLORREF background = 0;
  bool transparent = false;
};

// For control `id` (0: the dialog itself) asking with `message`; none for a
// control drawn in the system's own colours.
std::optional<RulesControlColours> RulesColoursFor(RulesDialogKind kind, int id, UINT message, bool night,
                                                   const KlibSettings& settings);

class RulesBrushes {
 public:
  RulesBrushes() = default;
  ~RulesBrushes();
  RulesBrushes(const RulesBrushes&) = delete;
  RulesBrushes& operator=(const RulesBrushes&) = delete;
  HBRUSH For(COLORREF colour);

 private:
  std::map<COLORREF, HBRUSH> brushes_;
};

bool IsCtlColorMessage(UINT message);
// The answer of a dialog's WM_CTLCOLOR* message: the colours set on the DC
// and the brush, or 0 to let the control draw as its kind does.
// Sets `colours` on the control's device context and gives the brush of its background
// (0, the default drawing, for none).
LRESULT AnswerControlColours(const std::optional<RulesControlColours>& colours, RulesBrushes& brushes, WPARAM dc);
LRESULT AnswerRulesCtlColor(RulesDialogKind kind, RulesBrushes& brushes, HWND dialog, UINT message, WPARAM dc,
                            LPARAM control);
