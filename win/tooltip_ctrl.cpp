#include "win/tooltip_ctrl.h"

#include "win/display_hooks.h"

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
      win::display::NotifyChanged(m_hWnd, win::display::kContent);
      return TRUE;
    }
  }
  tools_.emplace_back(tool->m_hWnd, tip);
  win::display::NotifyChanged(m_hWnd, win::display::kContent);
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
  win::display::NotifyChanged(m_hWnd, win::display::kContent);
}

void CToolTipCtrl::SetTipTextColor(COLORREF colour) {
  std::lock_guard lock(mutex_);
  textColour_ = colour;
  win::display::NotifyChanged(m_hWnd, win::display::kContent);
}

COLORREF CToolTipCtrl::GetTipBkColor() const {
  std::lock_guard lock(mutex_);
  return background_;
}

COLORREF CToolTipCtrl::GetTipTextColor() const {
  std::lock_guard lock(mutex_);
  return textColour_;
}

void CToolTipCtrl::Activate(BOOL activate) {
  std::lock_guard lock(mutex_);
  active_ = activate != FALSE;
  win::display::NotifyChanged(m_hWnd, win::display::kContent);
}

bool CToolTipCtrl::IsActive() const {
  std::lock_guard lock(mutex_);
  return active_;
}

void CToolTipCtrl::SetMaxTipWidth(int width) {
  std::lock_guard lock(mutex_);
  maxTipWidth_ = width;
  win::display::NotifyChanged(m_hWnd, win::display::kContent);
}

int CToolTipCtrl::GetMaxTipWidth() const {
  std::lock_guard lock(mutex_);
  return maxTipWidth_;
}

void CToolTipCtrl::RelayEvent(const MSG* msg) {
  if (msg == nullptr) return;
  std::lock_guard lock(mutex_);
  ++relayed_;
}

std::size_t CToolTipCtrl::RelayedCount() const {
  std::lock_guard lock(mutex_);
  return relayed_;
}
