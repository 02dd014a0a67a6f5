#include "win/listbox_ctrl.h"

#include <algorithm>
#include <cstring>

#include "win/ascii_case.h"
#include "win/mouse.h"

namespace {

constexpr UINT kDoubleClickMessage = 0x0203;  // WM_LBUTTONDBLCLK

std::string TextOf(LPARAM lParam) { return lParam != 0 ? std::string(reinterpret_cast<const char*>(lParam)) : ""; }

// Orders texts as the sorted list does: upper-cased bytes, unsigned.
bool SortsBefore(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  std::size_t i = 0;
  while (i < n) {
    // Equal bytes are passed over in bulk: sorted models share long prefixes.
    const auto [at, other] = std::mismatch(a.begin() + static_cast<std::ptrdiff_t>(i), a.begin() + static_cast<std::ptrdiff_t>(n),
                                           b.begin() + static_cast<std::ptrdiff_t>(i));
    i = static_cast<std::size_t>(at - a.begin());
    if (i == n) break;
    const auto x = static_cast<unsigned char>(AsciiToUpper(*at));
    const auto y = static_cast<unsigned char>(AsciiToUpper(*other));
    if (x != y) return x < y;
    ++i;
  }
  return a.size() < b.size();
}

bool BeginsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && AsciiEqualNoCase(text.substr(0, prefix.size()), prefix);
}

}  // namespace

CItemListCtrl::CItemListCtrl(DWORD style, std::string text, bool combo)
    : CControlBase(style, std::move(text)), combo_(combo) {}

CItemListCtrl::~CItemListCtrl() { DestroyWindow(); }
CListBox::~CListBox() { DestroyWindow(); }
CComboBox::~CComboBox() { DestroyWindow(); }

LRESULT CItemListCtrl::Insert(std::intptr_t index, const char* text, bool placeByText) {
  LRESULT at = 0;
  {
    std::lock_guard lock(mutex_);
    if (items_.size() >= limit_) return LB_ERRSPACE;
    const std::string_view added = text != nullptr ? text : "";
    if (placeByText && (Style() & (combo_ ? CBS_SORT : LBS_SORT)) != 0) {
      // After the items that sort the same, so equal texts keep their order.
      index = static_cast<std::intptr_t>(
          items_.UpperBound(added, [](std::string_view t, const Item& item) { return SortsBefore(t, item.text); }));
    } else if (index < 0 || static_cast<std::size_t>(index) > items_.size()) {
      index = static_cast<std::intptr_t>(items_.size());
    }
    items_.insert(static_cast<std::size_t>(index), Item{std::string(added), 0});
    if (selected_ >= index) ++selected_;
    at = static_cast<LRESULT>(index);
  }
  ContentChanged();
  return at;
}

std::intptr_t CItemListCtrl::FindLocked(WPARAM startAfter, std::string_view text, bool exact) const {
  const std::size_t n = items_.size();
  if (n == 0) return -1;
  const auto after = static_cast<std::intptr_t>(static_cast<int>(startAfter));
  const std::size_t first = after < 0 || static_cast<std::size_t>(after) >= n ? 0 : static_cast<std::size_t>(after) + 1;
  // One pass: the first match from `first` on, else the first before it.
  std::intptr_t before = -1;
  std::intptr_t found = -1;
  std::size_t i = 0;
  items_.ForEach([&](const Item& item) {
    const bool match = found < 0 && (exact ? AsciiEqualNoCase(item.text, text) : BeginsWithNoCase(item.text, text));
    if (match && i >= first) found = static_cast<std::intptr_t>(i);
    if (match && i < first && before < 0) before = static_cast<std::intptr_t>(i);
    ++i;
  });
  return found >= 0 ? found : before;
}

void CItemListCtrl::Notify(WORD listCode, WORD comboCode) {
  if (combo_) {
    NotifyParent(comboCode);
  } else if ((Style() & LBS_NOTIFY) != 0) {
    NotifyParent(listCode);
  }
}

bool CItemListCtrl::UserSelect(std::size_t index) {
  {
    RepaintWhenChanged repaint(*this);
    std::lock_guard lock(mutex_);
    if (index >= items_.size()) return false;
    repaint.Mark(selected_ != static_cast<int>(index));
    selected_ = static_cast<int>(index);
    if (combo_) text_ = items_[index].text;
  }
  Notify(LBN_SELCHANGE, CBN_SELCHANGE);
  return true;
}

bool CItemListCtrl::UserDoubleClick(std::size_t index) {
  // Only a list box and a simple combo's open list show items to double-click.
  if (combo_ && ComboType() != CBS_SIMPLE) return false;
  if (!UserSelect(index)) return false;
  Notify(LBN_DBLCLK, CBN_DBLCLK);
  return true;
}

LRESULT CItemListCtrl::Typed(const char* typed) {
  if (!combo_ || ComboType() == CBS_DROPDOWNLIST) return kTypingRefused;
  std::string text = typed != nullptr ? typed : "";
  const DWORD style = Style();
  for (char& c : text) {
    if ((style & CBS_UPPERCASE) != 0) c = AsciiToUpper(c);
    if ((style & CBS_LOWERCASE) != 0 && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  {
    std::lock_guard lock(mutex_);
    if (editLimit_ != 0 && text.size() > editLimit_) text.resize(editLimit_);
    text_ = text;
    const std::intptr_t found = FindLocked(static_cast<WPARAM>(-1), text_, true);
    selected_ = static_cast<int>(found);
  }
  ContentChanged();
  NotifyParent(CBN_EDITCHANGE);
  return kTypedIn;
}

LRESULT CItemListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == Code(LB_ADDSTRING, CB_ADDSTRING)) return Insert(-1, reinterpret_cast<const char*>(lParam), true);
  if (message == Code(LB_INSERTSTRING, CB_INSERTSTRING)) {
    return Insert(static_cast<std::intptr_t>(static_cast<int>(wParam)), reinterpret_cast<const char*>(lParam), false);
  }
  if (message == Code(LB_DELETESTRING, CB_DELETESTRING)) {
    LRESULT left = 0;
    {
      std::lock_guard lock(mutex_);
      if (wParam >= items_.size()) return LB_ERR;
      items_.erase(wParam);
      if (selected_ == static_cast<int>(wParam)) {
        selected_ = -1;
      } else if (selected_ > static_cast<int>(wParam)) {
        --selected_;
      }
      left = static_cast<LRESULT>(items_.size());
    }
    ContentChanged();
    return left;
  }
  if (message == Code(LB_RESETCONTENT, CB_RESETCONTENT)) {
    bool changed = false;
    {
      std::lock_guard lock(mutex_);
      changed = !items_.empty() || selected_ != -1 || (combo_ && !text_.empty());
      items_.clear();
      selected_ = -1;
      if (combo_) text_.clear();
    }
    // An empty list emptied again shows nothing new.
    if (changed) ContentChanged();
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
    LRESULT answer = 0;
    bool changed = false;
    {
      std::lock_guard lock(mutex_);
      const int oldSelected = selected_;
      const std::string oldText = combo_ ? text_ : std::string();
      const auto index = static_cast<int>(wParam);
      if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
        selected_ = -1;
        if (combo_) text_.clear();
        answer = LB_ERR;
      } else {
        selected_ = index;
        if (combo_) text_ = items_[static_cast<std::size_t>(index)].text;
        answer = index;
      }
      changed = selected_ != oldSelected || (combo_ && text_ != oldText);
    }
    // The same selection again shows nothing new.
    if (changed) ContentChanged();
    return answer;
  }
  if (message == Code(LB_GETTEXTLEN, CB_GETLBTEXTLEN)) {
    std::lock_guard lock(mutex_);
    if (wParam >= items_.size()) return LB_ERR;
    return static_cast<LRESULT>(items_[wParam].text.size());
  }
  if (message == Code(LB_GETTEXT, CB_GETLBTEXT)) {
    // The caller's buffer holds LB_GETTEXTLEN + 1 bytes, as the platform asks.
    std::lock_guard lock(mutex_);
    if (wParam >= items_.size() || lParam == 0) return LB_ERR;
    const std::string& item = items_[wParam].text;
    std::memcpy(reinterpret_cast<char*>(lParam), item.c_str(), item.size() + 1);
    return static_cast<LRESULT>(item.size());
  }
  if (message == Code(LB_GETITEMDATA, CB_GETITEMDATA)) {
    std::lock_guard lock(mutex_);
    if (wParam >= items_.size()) return LB_ERR;
    return static_cast<LRESULT>(items_[wParam].data);
  }
  if (message == Code(LB_SETITEMDATA, CB_SETITEMDATA)) {
    std::lock_guard lock(mutex_);
    if (wParam >= items_.size()) return LB_ERR;
    items_[wParam].data = static_cast<DWORD_PTR>(lParam);
    return TRUE;
  }
  if (message == Code(LB_FINDSTRING, CB_FINDSTRING) || message == Code(LB_FINDSTRINGEXACT, CB_FINDSTRINGEXACT)) {
    const bool exact = message == Code(LB_FINDSTRINGEXACT, CB_FINDSTRINGEXACT);
    const std::string text = TextOf(lParam);
    std::lock_guard lock(mutex_);
    return FindLocked(wParam, text, exact);
  }
  if (message == Code(LB_SELECTSTRING, CB_SELECTSTRING)) {
    const std::string text = TextOf(lParam);
    std::intptr_t found = -1;
    {
      std::lock_guard lock(mutex_);
      found = FindLocked(wParam, text, false);
      if (found < 0) return LB_ERR;
      selected_ = static_cast<int>(found);
      if (combo_) text_ = items_[static_cast<std::size_t>(found)].text;
    }
    ContentChanged();
    return found;
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
  if (combo_ && message == CB_LIMITTEXT) {
    std::lock_guard lock(mutex_);
    editLimit_ = static_cast<std::size_t>(static_cast<int>(wParam) > 0 ? static_cast<int>(wParam) : 0);
    return TRUE;
  }
  if (combo_ && message == CB_GETDROPPEDSTATE) {
    std::lock_guard lock(mutex_);
    return dropped_ ? TRUE : FALSE;
  }
  if (combo_ && message == CB_SHOWDROPDOWN) {
    // A simple combo's list is always open: it neither opens nor closes.
    if (ComboType() == CBS_SIMPLE) return TRUE;
    const bool open = wParam != FALSE;
    {
      std::lock_guard lock(mutex_);
      if (dropped_ == open) return TRUE;
      dropped_ = open;
    }
    ContentChanged();
    NotifyParent(open ? CBN_DROPDOWN : CBN_CLOSEUP);
    return TRUE;
  }
  if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
    const bool gained = message == WM_SETFOCUS;
    Notify(gained ? LBN_SETFOCUS : LBN_KILLFOCUS, gained ? CBN_SETFOCUS : CBN_KILLFOCUS);
    return 0;
  }
  if (message == ControlItemsMessage()) {
    if (auto* out = reinterpret_cast<std::vector<std::string>*>(lParam)) *out = Items();
    return TRUE;
  }
  if (message == ControlSelectMessage()) {
    return PickForAutomation(
        message, wParam, lParam, [this] { return items_.size(); }, [this](WPARAM index) { return UserSelect(index); });
  }
  if (message == ControlDoubleClickMessage()) {
    if (combo_ && ComboType() != CBS_SIMPLE) return FALSE;
    return PickForAutomation(
        message, wParam, lParam, [this] { return items_.size(); },
        [this](WPARAM index) { return UserDoubleClick(index); });
  }
  if (message == ControlTypeMessage()) return Typed(reinterpret_cast<const char*>(lParam));
  if (message == kDoubleClickMessage && !combo_) {
    if (!OnOwnerThread()) {
      RepostToOwner(message, wParam, lParam);
      return 0;
    }
    Notify(LBN_DBLCLK, LBN_DBLCLK);
    return 0;
  }
  if (message == WM_SETTEXT && combo_) {
    const std::string text = TextOf(lParam);
    {
      std::lock_guard lock(mutex_);
      if (ComboType() == CBS_DROPDOWNLIST) {
        // No edit part: only an item's text can be shown, and it is then selected.
        const std::intptr_t found = FindLocked(static_cast<WPARAM>(-1), text, true);
        if (found < 0) return CB_ERR;
        selected_ = static_cast<int>(found);
        text_ = items_[static_cast<std::size_t>(found)].text;
      } else {
        text_ = text;
      }
    }
    ContentChanged();
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

DWORD_PTR CItemListCtrl::GetItemData(int index) {
  return static_cast<DWORD_PTR>(SendMessage(Code(LB_GETITEMDATA, CB_GETITEMDATA), static_cast<WPARAM>(index), 0));
}

int CItemListCtrl::SetItemData(int index, DWORD_PTR data) {
  return static_cast<int>(
      SendMessage(Code(LB_SETITEMDATA, CB_SETITEMDATA), static_cast<WPARAM>(index), static_cast<LPARAM>(data)));
}

int CItemListCtrl::FindString(int startAfter, const char* text) {
  return static_cast<int>(SendMessage(Code(LB_FINDSTRING, CB_FINDSTRING), static_cast<WPARAM>(startAfter),
                                      reinterpret_cast<LPARAM>(text)));
}

int CItemListCtrl::FindStringExact(int startAfter, const char* text) {
  return static_cast<int>(SendMessage(Code(LB_FINDSTRINGEXACT, CB_FINDSTRINGEXACT), static_cast<WPARAM>(startAfter),
                                      reinterpret_cast<LPARAM>(text)));
}

int CItemListCtrl::SelectString(int startAfter, const char* text) {
  return static_cast<int>(SendMessage(Code(LB_SELECTSTRING, CB_SELECTSTRING), static_cast<WPARAM>(startAfter),
                                      reinterpret_cast<LPARAM>(text)));
}

std::string CItemListCtrl::ItemText(int index) const {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) return {};
  return items_[static_cast<std::size_t>(index)].text;
}

std::vector<std::string> CItemListCtrl::Items() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> texts;
  texts.reserve(items_.size());
  items_.ForEach([&](const Item& item) { texts.push_back(item.text); });
  return texts;
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

int CComboBox::GetLBText(int index, char* buffer) {
  return static_cast<int>(SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
}

int CComboBox::GetLBTextLen(int index) {
  return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0));
}

BOOL CComboBox::LimitText(int limit) { return static_cast<BOOL>(SendMessage(CB_LIMITTEXT, static_cast<WPARAM>(limit), 0)); }

void CComboBox::ShowDropDown(BOOL show) { SendMessage(CB_SHOWDROPDOWN, static_cast<WPARAM>(show), 0); }

BOOL CComboBox::GetDroppedState() { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE, 0, 0)); }
