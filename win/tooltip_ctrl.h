// The tooltip control: a text shown beside a tool (another control of the
// same dialog) while the pointer rests on it, in its own colours. There is
// no pointer here; the model keeps the tools, their texts and the colours for
// the program and for automation, which shows the tips as the control's text.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "win/control_base.h"

class CToolTipCtrl : public CControlBase {
 public:
  CToolTipCtrl();
  ~CToolTipCtrl() override;

  std::string_view Kind() const override { return "tooltip"; }
  // The tips, one line per tool in the order they were added.
  std::optional<std::string> ContentText() const override;

  // A tool that has a tip already takes the new text.
  BOOL AddTool(CWnd* tool, const char* text);
  // Empty for a window that is no tool of this tooltip.
  std::string GetToolText(HWND tool) const;
  void SetTipBkColor(COLORREF colour);
  void SetTipTextColor(COLORREF colour);
  COLORREF GetTipBkColor() const;
  COLORREF GetTipTextColor() const;
  // A deactivated tooltip keeps its tools but shows no tip.
  void Activate(BOOL activate);
  bool IsActive() const;
  void SetMaxTipWidth(int width);
  int GetMaxTipWidth() const;
  // A message aimed at a tool; counted, as there is no pointer to show a tip for.
  void RelayEvent(const MSG* msg);
  std::size_t RelayedCount() const;

 private:
  // All guarded by mutex_.
  std::vector<std::pair<HWND, std::string>> tools_;
  COLORREF background_ = 0xE1FFFF;
  COLORREF textColour_ = 0x000000;
  bool active_ = true;
  int maxTipWidth_ = -1;
  std::size_t relayed_ = 0;
};
