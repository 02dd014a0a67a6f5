#include "win/tab_ctrl.h"

#include <algorithm>
#include <cstring>

CTabCtrl::CTabCtrl(DWORD style, std::string text) : CControlBase(style, std::move(text)) {}

CTabCtrl::~CTabCtrl() { DestroyWindow(); }

bool CTabCtrl::UserSelect(std::size_t index) {
  {
    std::lock_guard lock(mutex_);
    if (index >= items_.size()) return false;
    // A click on the tab already shown changes nothing and tells nothing.
    if (selected_ == static_cast<int>(index)) return true;
    selected_ = static_cast<int>(index);
  }
  ContentChanged();
  const HWND self = m_hWnd;
  const HWND parent = ::GetParent(self);
  if (parent == 0) return true;
  NMHDR header;
  header.hwndFrom = self;
  header.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(self));
  header.code = TCN_SELCHANGE;
  SendMessageA(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
  return true;
}

LRESULT CTabCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case TCM_GETITEMCOUNT: {
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(items_.size());
    }
    case TCM_INSERTITEMA: {
      const auto* item = reinterpret_cast<const TCITEMA*>(lParam);
      if (item == nullptr) return -1;
      Item made;
      if ((item->mask & TCIF_TEXT) != 0 && item->pszText != nullptr) made.text = item->pszText;
      if ((item->mask & TCIF_PARAM) != 0) made.param = item->lParam;
      RepaintWhenChanged repaint(*this);
      repaint.Mark();
      std::lock_guard lock(mutex_);
      // An index past the end (or below 0) appends, as the platform does.
      std::size_t at = items_.size();
      if (static_cast<int>(wParam) >= 0 && wParam < items_.size()) at = wParam;
      items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(at), std::move(made));
      if (selected_ >= static_cast<int>(at)) ++selected_;
      return static_cast<LRESULT>(at);
    }
    case TCM_GETITEMA: {
      auto* item = reinterpret_cast<TCITEMA*>(lParam);
      std::lock_guard lock(mutex_);
      if (item == nullptr || wParam >= items_.size()) return FALSE;
      const Item& held = items_[wParam];
      if ((item->mask & TCIF_TEXT) != 0 && item->pszText != nullptr && item->cchTextMax > 0) {
        const std::size_t n = std::min(held.text.size(), static_cast<std::size_t>(item->cchTextMax - 1));
        std::memcpy(item->pszText, held.text.data(), n);
        item->pszText[n] = '\0';
      }
      if ((item->mask & TCIF_PARAM) != 0) item->lParam = held.param;
      return TRUE;
    }
    case TCM_DELETEITEM: {
      RepaintWhenChanged repaint(*this);
      std::lock_guard lock(mutex_);
      if (wParam >= items_.size()) return FALSE;
      repaint.Mark();
      items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(wParam));
      if (selected_ == static_cast<int>(wParam)) {
        selected_ = -1;
      } else if (selected_ > static_cast<int>(wParam)) {
        --selected_;
      }
      return TRUE;
    }
    case TCM_DELETEALLITEMS: {
      RepaintWhenChanged repaint(*this);
      std::lock_guard lock(mutex_);
      repaint.Mark(!items_.empty());
      items_.clear();
      selected_ = -1;
      return TRUE;
    }
    case TCM_GETCURSEL: {
      std::lock_guard lock(mutex_);
      return selected_;
    }
    case TCM_SETCURSEL: {
      // The previous selection comes back; an index outside the list changes nothing.
      RepaintWhenChanged repaint(*this);
      std::lock_guard lock(mutex_);
      const auto index = static_cast<int>(wParam);
      if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) return -1;
      const int previous = selected_;
      selected_ = index;
      repaint.Mark(previous != index);
      return previous;
    }
    default:
      break;
  }
  if (message == ControlItemsMessage()) {
    if (auto* out = reinterpret_cast<std::vector<std::string>*>(lParam)) *out = Labels();
    return TRUE;
  }
  if (message == ControlSelectMessage()) {
    return PickForAutomation(
        message, wParam, lParam, [this] { return items_.size(); }, [this](WPARAM index) { return UserSelect(index); });
  }
  return CControlBase::WindowProc(message, wParam, lParam);
}

int CTabCtrl::InsertItem(int index, const char* text, LPARAM param) {
  TCITEMA item;
  item.mask = TCIF_TEXT | TCIF_PARAM;
  std::string copy = text != nullptr ? text : "";
  item.pszText = copy.data();
  item.lParam = param;
  return static_cast<int>(SendMessage(TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

BOOL CTabCtrl::DeleteAllItems() { return static_cast<BOOL>(SendMessage(TCM_DELETEALLITEMS)); }

int CTabCtrl::GetItemCount() { return static_cast<int>(SendMessage(TCM_GETITEMCOUNT)); }

int CTabCtrl::GetCurSel() { return static_cast<int>(SendMessage(TCM_GETCURSEL)); }

int CTabCtrl::SetCurSel(int index) { return static_cast<int>(SendMessage(TCM_SETCURSEL, static_cast<WPARAM>(index))); }

LPARAM CTabCtrl::GetItemParam(int index) {
  TCITEMA item;
  item.mask = TCIF_PARAM;
  if (index < 0 || SendMessage(TCM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) == FALSE) {
    return 0;
  }
  return item.lParam;
}

std::vector<std::string> CTabCtrl::Labels() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> labels;
  labels.reserve(items_.size());
  for (const Item& item : items_) labels.push_back(item.text);
  return labels;
}
