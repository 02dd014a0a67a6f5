#include "win/tooltip_ctrl.h"

CToolTipCtrl::CToolTipCtrl() : CControlBase(0) {}

CToolTipCtrl::~CToolTipCtrl() { DestroyWindow(); }

std::optional<std::string> CToolTipCtrl::ContentText() const {
  std::lock_guard lock(mutex_);
  std::string all;
  for (const auto& [tool, text] : tools_) {
    if (!all.empty()) all += '\n';
    all += text;
  }
  return all;
}

BOOL CToolTipCtrl::AddTool(CWnd* tool, const char* text) {
  if (tool == nullptr || tool->m_hWnd == 0) return FALSE;
  std::lock_guard lock(mutex_);
  const std::string tip = text != nullptr ? text : "";
  for (auto& [hwnd, existing] : tools_) {
    if (hwnd == tool->m_hWnd) {
      existing = tip;
      return TRUE;
    }
  }
  tools_.emplace_back(tool->m_hWnd, tip);
  return TRUE;
}

std::string CToolTipCtrl::GetToolText(HWND tool) const {
  std::lock_guard lock(mutex_);
  for (const auto& [hwnd, text] : tools_) {
    if (hwnd == tool) return text;
  }
  return {};
}

void CToolTipCtrl::SetTipBkColor(COLORREF colour) {
  std::lock_guard lock(mutex_);
  background_ = colour;
}

void CToolTipCtrl::SetTipTextColor(COLORREF colour) {
  std::lock_guard lock(mutex_);
  textColour_ = colour;
}

COLORREF CToolTipCtrl::GetTipBkColor() const {
  std::lock_guard lock(mutex_);
  return background_;
}

COLORREF CToolTipCtrl::GetTipTextColor() const {
  std::lock_guard lock(mutex_);
  return textColour_;
}
