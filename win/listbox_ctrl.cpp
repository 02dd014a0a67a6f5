#include "win/listbox_ctrl.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr UINT kDoubleClickMessage = 0x0203;  // WM_LBUTTONDBLCLK

std::string TextOf(LPARAM lParam) { return lParam != 0 ? std::string(reinterpret_cast<const char*>(lParam)) : ""; }

}  // namespace

CItemListCtrl::CItemListCtrl(DWORD style, std::string text, bool combo)
    : CControlBase(style, std::move(text)), combo_(combo) {}

CItemListCtrl::~CItemListCtrl() { DestroyWindow(); }
CListBox::~CListBox() { DestroyWindow(); }
CComboBox::~CComboBox() { DestroyWindow(); }

LRESULT CItemListCtrl::Insert(std::intptr_t index, const char* text) {
  RepaintWhenChanged repaint(*this);
  std::lock_guard lock(mutex_);
  if (items_.size() >= limit_) return LB_ERRSPACE;
  repaint.Mark();
  if (index < 0 || static_cast<std::size_t>(index) > items_.size()) index = static_cast<std::intptr_t>(items_.size());
  items_.insert(items_.begin() + index, text != nullptr ? text : "");
  if (selected_ >= index) ++selected_;
  return static_cast<LRESULT>(index);
}

bool CItemListCtrl::UserSelect(std::size_t index) {
  {
    RepaintWhenChanged repaint(*this);
    std::lock_guard lock(mutex_);
    if (index >= items_.size()) return false;
    repaint.Mark(selected_ != static_cast<int>(index));
    selected_ = static_cast<int>(index);
    if (combo_) text_ = items_[index];
  }
  NotifyParent(combo_ ? CBN_SELCHANGE : LBN_SELCHANGE);
  return true;
}

LRESULT CItemListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == Code(LB_ADDSTRING, CB_ADDSTRING)) return Insert(-1, reinterpret_cast<const char*>(lParam));
  if (message == Code(LB_INSERTSTRING, CB_INSERTSTRING)) {
    return Insert(static_cast<std::intptr_t>(static_cast<int>(wParam)), reinterpret_cast<const char*>(lParam));
  }
  if (message == Code(LB_DELETESTRING, CB_DELETESTRING)) {
    RepaintWhenChanged repaint(*this);
    std::lock_guard lock(mutex_);
    if (wParam >= items_.size()) return LB_ERR;
    repaint.Mark();
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(wParam));
    if (selected_ == static_cast<int>(wParam)) {
      selected_ = -1;
    } else if (selected_ > static_cast<int>(wParam)) {
      --selected_;
    }
    return static_cast<LRESULT>(items_.size());
  }
  if (message == Code(LB_RESETCONTENT, CB_RESETCONTENT)) {
    RepaintWhenChanged repaint(*this);
    std::lock_guard lock(mutex_);
    repaint.Mark(!items_.empty() || !text_.empty());
    items_.clear();
    selected_ = -1;
    if (combo_) text_.clear();
    return 0;
  }
  if (message == Code(LB_GETCOUNT, CB_GETCOUNT)) {
    std::lock_guard lock(mutex_);
    return static_cast<LRESULT>(items_.size());
  }
  if (message == Code(LB_GETCURSEL, CB_GETCURSEL)) {
    std::lock_guard lock(mutex_);
    return selected_;
  }
  if (message == Code(LB_SETCURSEL, CB_SETCURSEL)) {
    // As in Windows: an index outside the list clears the selection and answers an error.
    RepaintWhenChanged repaint(*this);
    std::lock_guard lock(mutex_);
    const auto index = static_cast<int>(wParam);
    const bool inList = index >= 0 && static_cast<std::size_t>(index) < items_.size();
    repaint.Mark(selected_ != (inList ? index : -1));
    if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
      selected_ = -1;
      if (combo_) text_.clear();
      return LB_ERR;
    }
    selected_ = index;
    if (combo_) text_ = items_[static_cast<std::size_t>(index)];
    return index;
  }
  if (message == Code(LB_GETTEXTLEN, CB_GETLBTEXTLEN)) {
    std::lock_guard lock(mutex_);
    if (wParam >= items_.size()) return LB_ERR;
    return static_cast<LRESULT>(items_[wParam].size());
  }
  if (message == Code(LB_GETTEXT, CB_GETLBTEXT)) {
    // The caller's buffer holds LB_GETTEXTLEN + 1 bytes, as the platform asks.
    std::lock_guard lock(mutex_);
    if (wParam >= items_.size() || lParam == 0) return LB_ERR;
    const std::string& item = items_[wParam];
    std::memcpy(reinterpret_cast<char*>(lParam), item.c_str(), item.size() + 1);
    return static_cast<LRESULT>(item.size());
  }
  if (message == LB_SETTABSTOPS && !combo_) {
    if (wParam != 0 && lParam == 0) return FALSE;
    const auto* stops = reinterpret_cast<const int*>(lParam);
    RepaintWhenChanged repaint(*this);
    repaint.Mark();
    std::lock_guard lock(mutex_);
    tabStops_.assign(stops, stops + (stops != nullptr ? wParam : 0));
    return TRUE;
  }
  if (message == ControlItemsMessage()) {
    if (auto* out = reinterpret_cast<std::vector<std::string>*>(lParam)) *out = Items();
    return TRUE;
  }
  if (message == ControlSelectMessage()) {
    return PickForAutomation(
        message, wParam, lParam, [this] { return items_.size(); }, [this](WPARAM index) { return UserSelect(index); });
  }
  if (message == kDoubleClickMessage && !combo_) {
    if (!OnOwnerThread()) {
      RepostToOwner(message, wParam, lParam);
      return 0;
    }
    NotifyParent(LBN_DBLCLK);
    return 0;
  }
  if (message == WM_SETTEXT && combo_) {
    RepaintWhenChanged repaint(*this);
    std::lock_guard lock(mutex_);
    repaint.Mark(text_ != TextOf(lParam));
    text_ = TextOf(lParam);
    return TRUE;
  }
  return CControlBase::WindowProc(message, wParam, lParam);
}

int CItemListCtrl::AddString(const char* text) {
  return static_cast<int>(SendMessage(Code(LB_ADDSTRING, CB_ADDSTRING), 0, reinterpret_cast<LPARAM>(text)));
}

int CItemListCtrl::InsertString(int index, const char* text) {
  return static_cast<int>(SendMessage(Code(LB_INSERTSTRING, CB_INSERTSTRING), static_cast<WPARAM>(index),
                                      reinterpret_cast<LPARAM>(text)));
}

int CItemListCtrl::DeleteString(UINT index) {
  return static_cast<int>(SendMessage(Code(LB_DELETESTRING, CB_DELETESTRING), index, 0));
}

void CItemListCtrl::ResetContent() { SendMessage(Code(LB_RESETCONTENT, CB_RESETCONTENT), 0, 0); }

int CItemListCtrl::GetCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(items_.size());
}

int CItemListCtrl::GetCurSel() const {
  std::lock_guard lock(mutex_);
  return selected_;
}

int CItemListCtrl::SetCurSel(int index) {
  return static_cast<int>(SendMessage(Code(LB_SETCURSEL, CB_SETCURSEL), static_cast<WPARAM>(index), 0));
}

std::string CItemListCtrl::ItemText(int index) const {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) return {};
  return items_[static_cast<std::size_t>(index)];
}

std::vector<std::string> CItemListCtrl::Items() const {
  std::lock_guard lock(mutex_);
  return items_;
}

BOOL CItemListCtrl::SetTabStops(std::span<const int> stops) {
  return static_cast<BOOL>(SendMessage(LB_SETTABSTOPS, stops.size(), reinterpret_cast<LPARAM>(stops.data())));
}

std::vector<int> CItemListCtrl::TabStops() const {
  std::lock_guard lock(mutex_);
  return tabStops_;
}

void CItemListCtrl::SetItemLimit(std::size_t limit) {
  std::lock_guard lock(mutex_);
  limit_ = limit;
}

void CItemListCtrl::DoubleClick() { SendMessage(kDoubleClickMessage, 0, 0); }
