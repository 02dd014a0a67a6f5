#include "win/listview_ctrl.h"

#include <algorithm>
#include <cstring>

namespace {

int CopyText(const std::string& text, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

constexpr UINT kStates = LVIS_SELECTED | LVIS_FOCUSED;

}  // namespace

CListCtrl::CListCtrl(DWORD style, std::string text) : CControlBase(style, std::move(text)) {}

CListCtrl::~CListCtrl() { DestroyWindow(); }

LRESULT CListCtrl::InsertRow(const LVITEMA& item) {
  if (item.iSubItem != 0) return -1;
  LRESULT at = 0;
  {
    std::lock_guard lock(mutex_);
    // An index past the end (or below 0) appends, as the platform does.
    std::size_t index = rows_.size();
    if (item.iItem >= 0 && static_cast<std::size_t>(item.iItem) < rows_.size()) index = static_cast<std::size_t>(item.iItem);
    Row row;
    row.texts.emplace_back((item.mask & LVIF_TEXT) != 0 && item.pszText != nullptr ? item.pszText : "");
    if ((item.mask & LVIF_PARAM) != 0) row.data = item.lParam;
    if ((item.mask & LVIF_STATE) != 0) row.state = item.state & item.stateMask & kStates;
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
    if (selectionMark_ >= static_cast<int>(index)) ++selectionMark_;
    at = static_cast<LRESULT>(index);
  }
  ContentChanged();
  return at;
}

LRESULT CListCtrl::SetRow(const LVITEMA& item) {
  {
    std::lock_guard lock(mutex_);
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows_.size() || item.iSubItem < 0) return FALSE;
    // A sub-item needs its column; the item text is column 0.
    if (item.iSubItem > 0 && static_cast<std::size_t>(item.iSubItem) >= columns_.size()) return FALSE;
    Row& row = rows_[static_cast<std::size_t>(item.iItem)];
    if ((item.mask & LVIF_TEXT) != 0) {
      const auto column = static_cast<std::size_t>(item.iSubItem);
      if (row.texts.size() <= column) row.texts.resize(column + 1);
      row.texts[column] = item.pszText != nullptr ? item.pszText : "";
    }
    if (item.iSubItem == 0 && (item.mask & LVIF_PARAM) != 0) row.data = item.lParam;
    if (item.iSubItem == 0 && (item.mask & LVIF_STATE) != 0) {
      const UINT mask = item.stateMask & kStates;
      row.state = (row.state & ~mask) | (item.state & mask);
    }
  }
  ContentChanged();
  return TRUE;
}

LRESULT CListCtrl::GetRow(LVITEMA& item) const {
  std::lock_guard lock(mutex_);
  if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows_.size() || item.iSubItem < 0) return FALSE;
  const Row& row = rows_[static_cast<std::size_t>(item.iItem)];
  if ((item.mask & LVIF_TEXT) != 0) {
    const auto column = static_cast<std::size_t>(item.iSubItem);
    CopyText(column < row.texts.size() ? row.texts[column] : std::string(), item.pszText, item.cchTextMax);
  }
  if ((item.mask & LVIF_PARAM) != 0) item.lParam = row.data;
  if ((item.mask & LVIF_STATE) != 0) item.state = row.state & item.stateMask;
  return TRUE;
}

LRESULT CListCtrl::SetState(WPARAM index, UINT state, UINT mask) {
  mask &= kStates;
  {
    std::lock_guard lock(mutex_);
    // Index -1: every row.
    if (static_cast<int>(index) == -1) {
      for (Row& row : rows_) row.state = (row.state & ~mask) | (state & mask);
    } else if (index < rows_.size()) {
      Row& row = rows_[index];
      row.state = (row.state & ~mask) | (state & mask);
    } else {
      return FALSE;
    }
  }
  ContentChanged();
  return TRUE;
}

LRESULT CListCtrl::Sort(PFNLVCOMPARE compare, LPARAM sortData) {
  if (compare == nullptr) return FALSE;
  {
    std::lock_guard lock(mutex_);
    const bool marked = selectionMark_ >= 0 && static_cast<std::size_t>(selectionMark_) < rows_.size();
    std::vector<Row> sorted = rows_;
    const Row* markRow = marked ? &rows_[static_cast<std::size_t>(selectionMark_)] : nullptr;
    std::vector<std::size_t> order(rows_.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
      return compare(rows_[a].data, rows_[b].data, sortData) < 0;
    });
    int newMark = -1;
    for (std::size_t i = 0; i < order.size(); ++i) {
      sorted[i] = rows_[order[i]];
      if (markRow == &rows_[order[i]]) newMark = static_cast<int>(i);
    }
    rows_ = std::move(sorted);
    selectionMark_ = newMark;
  }
  ContentChanged();
  return TRUE;
}

void CListCtrl::SendNotice(NMHDR& header, UINT code) {
  const HWND self = m_hWnd;
  const HWND parent = ::GetParent(self);
  if (parent == 0) return;
  header.hwndFrom = self;
  header.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(self));
  header.code = code;
  SendMessageA(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

bool CListCtrl::UserClick(std::size_t index, bool twice) {
  std::vector<StateChange> changes;
  LPARAM data = 0;
  {
    std::lock_guard lock(mutex_);
    if (index >= rows_.size()) return false;
    for (std::size_t i = 0; i < rows_.size(); ++i) {
      Row& row = rows_[i];
      const UINT wanted = i == index ? kStates : 0;
      if ((row.state & kStates) != wanted) {
        changes.push_back(StateChange{static_cast<int>(i), row.state, (row.state & ~kStates) | wanted, row.data});
        row.state = (row.state & ~kStates) | wanted;
      }
    }
    selectionMark_ = static_cast<int>(index);
    data = rows_[index].data;
  }
  if (!changes.empty()) ContentChanged();
  // The row that loses its state is told first, as the platform does.
  std::stable_sort(changes.begin(), changes.end(),
                   [](const StateChange& a, const StateChange& b) { return a.newState < b.newState; });
  for (const StateChange& change : changes) {
    NMLISTVIEW notice;
    notice.iItem = change.index;
    notice.uOldState = change.oldState;
    notice.uNewState = change.newState;
    notice.uChanged = LVIF_STATE;
    notice.lParam = change.data;
    SendNotice(notice.hdr, LVN_ITEMCHANGED);
  }
  NMITEMACTIVATE click;
  click.iItem = static_cast<int>(index);
  click.lParam = data;
  SendNotice(click.hdr, NM_CLICK);
  if (twice) {
    NMITEMACTIVATE second;
    second.iItem = static_cast<int>(index);
    second.lParam = data;
    SendNotice(second.hdr, NM_DBLCLK);
  }
  return true;
}

void CListCtrl::ClickColumn(int column) {
  {
    std::lock_guard lock(mutex_);
    if (column < 0 || static_cast<std::size_t>(column) >= columns_.size()) return;
  }
  NMLISTVIEW notice;
  notice.iItem = -1;
  notice.iSubItem = column;
  SendNotice(notice.hdr, LVN_COLUMNCLICK);
}

LRESULT CListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case LVM_GETITEMCOUNT: {
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(rows_.size());
    }
    case LVM_INSERTITEMA: {
      const auto* item = reinterpret_cast<const LVITEMA*>(lParam);
      return item != nullptr ? InsertRow(*item) : -1;
    }
    case LVM_SETITEMA:
    case LVM_SETITEMTEXTA: {
      auto* item = reinterpret_cast<LVITEMA*>(lParam);
      if (item == nullptr) return FALSE;
      if (message == LVM_SETITEMA) return SetRow(*item);
      LVITEMA text = *item;
      text.mask = LVIF_TEXT;
      text.iItem = static_cast<int>(wParam);
      return SetRow(text);
    }
    case LVM_GETITEMA:
    case LVM_GETITEMTEXTA: {
      auto* item = reinterpret_cast<LVITEMA*>(lParam);
      if (item == nullptr) return message == LVM_GETITEMA ? FALSE : 0;
      if (message == LVM_GETITEMA) return GetRow(*item);
      LVITEMA text = *item;
      text.mask = LVIF_TEXT;
      text.iItem = static_cast<int>(wParam);
      if (item->pszText != nullptr && item->cchTextMax > 0) item->pszText[0] = '\0';
      if (GetRow(text) == FALSE || item->pszText == nullptr) return 0;
      return static_cast<LRESULT>(std::strlen(item->pszText));
    }
    case LVM_DELETEITEM: {
      {
        std::lock_guard lock(mutex_);
        if (wParam >= rows_.size()) return FALSE;
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(wParam));
        if (selectionMark_ == static_cast<int>(wParam)) {
          selectionMark_ = -1;
        } else if (selectionMark_ > static_cast<int>(wParam)) {
          --selectionMark_;
        }
      }
      ContentChanged();
      return TRUE;
    }
    case LVM_DELETEALLITEMS: {
      {
        std::lock_guard lock(mutex_);
        rows_.clear();
        selectionMark_ = -1;
      }
      ContentChanged();
      return TRUE;
    }
    case LVM_GETNEXTITEM: {
      std::lock_guard lock(mutex_);
      const int start = static_cast<int>(wParam);
      const UINT wanted = static_cast<UINT>(LOWORD(static_cast<std::uintptr_t>(lParam))) & kStates;
      for (std::size_t i = start < 0 ? 0 : static_cast<std::size_t>(start) + 1; i < rows_.size(); ++i) {
        if ((rows_[i].state & wanted) == wanted) return static_cast<LRESULT>(i);
      }
      return -1;
    }
    case LVM_INSERTCOLUMNA: {
      const auto* column = reinterpret_cast<const LVCOLUMNA*>(lParam);
      if (column == nullptr) return -1;
      LRESULT at = 0;
      {
        std::lock_guard lock(mutex_);
        std::size_t index = columns_.size();
        if (static_cast<int>(wParam) >= 0 && wParam < columns_.size()) index = wParam;
        Column made;
        if ((column->mask & LVCF_TEXT) != 0 && column->pszText != nullptr) made.title = column->pszText;
        if ((column->mask & LVCF_WIDTH) != 0) made.width = std::max(column->cx, 0);
        if ((column->mask & LVCF_FMT) != 0) made.format = column->fmt;
        columns_.insert(columns_.begin() + static_cast<std::ptrdiff_t>(index), std::move(made));
        // The rows' texts move with their columns; column 0 stays the item text.
        for (Row& row : rows_) {
          if (index > 0 && row.texts.size() >= index) row.texts.insert(row.texts.begin() + static_cast<std::ptrdiff_t>(index), "");
        }
        at = static_cast<LRESULT>(index);
      }
      ContentChanged();
      return at;
    }
    case LVM_GETCOLUMNA: {
      auto* column = reinterpret_cast<LVCOLUMNA*>(lParam);
      std::lock_guard lock(mutex_);
      if (column == nullptr || wParam >= columns_.size()) return FALSE;
      const Column& held = columns_[wParam];
      if ((column->mask & LVCF_TEXT) != 0) CopyText(held.title, column->pszText, column->cchTextMax);
      if ((column->mask & LVCF_WIDTH) != 0) column->cx = held.width;
      if ((column->mask & LVCF_FMT) != 0) column->fmt = held.format;
      return TRUE;
    }
    case LVM_DELETECOLUMN: {
      {
        std::lock_guard lock(mutex_);
        if (wParam >= columns_.size()) return FALSE;
        columns_.erase(columns_.begin() + static_cast<std::ptrdiff_t>(wParam));
        for (Row& row : rows_) {
          if (wParam > 0 && row.texts.size() > wParam) row.texts.erase(row.texts.begin() + static_cast<std::ptrdiff_t>(wParam));
        }
      }
      ContentChanged();
      return TRUE;
    }
    case LVM_GETCOLUMNWIDTH: {
      std::lock_guard lock(mutex_);
      return wParam < columns_.size() ? columns_[wParam].width : 0;
    }
    case LVM_SETCOLUMNWIDTH: {
      {
        std::lock_guard lock(mutex_);
        if (wParam >= columns_.size() || static_cast<int>(lParam) < 0) return FALSE;
        columns_[wParam].width = static_cast<int>(lParam);
      }
      ContentChanged();
      return TRUE;
    }
    case LVM_SETITEMSTATE: {
      const auto* item = reinterpret_cast<const LVITEMA*>(lParam);
      return item != nullptr ? SetState(wParam, item->state, item->stateMask) : FALSE;
    }
    case LVM_GETITEMSTATE: {
      std::lock_guard lock(mutex_);
      return wParam < rows_.size() ? static_cast<LRESULT>(rows_[wParam].state & static_cast<UINT>(lParam)) : 0;
    }
    case LVM_SORTITEMS:
      return Sort(reinterpret_cast<PFNLVCOMPARE>(lParam), static_cast<LPARAM>(wParam));
    case LVM_GETSELECTEDCOUNT: {
      std::lock_guard lock(mutex_);
      return std::count_if(rows_.begin(), rows_.end(), [](const Row& r) { return (r.state & LVIS_SELECTED) != 0; });
    }
    case LVM_GETSELECTIONMARK: {
      std::lock_guard lock(mutex_);
      return selectionMark_;
    }
    case LVM_SETSELECTIONMARK: {
      std::lock_guard lock(mutex_);
      const int previous = selectionMark_;
      const auto index = static_cast<int>(lParam);
      selectionMark_ = index >= 0 && static_cast<std::size_t>(index) < rows_.size() ? index : -1;
      return previous;
    }
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      std::lock_guard lock(mutex_);
      const DWORD previous = extendedStyle_;
      // wParam 0: every bit of lParam counts.
      const DWORD mask = wParam != 0 ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
      extendedStyle_ = (extendedStyle_ & ~mask) | (static_cast<DWORD>(lParam) & mask);
      return static_cast<LRESULT>(previous);
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE: {
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(extendedStyle_);
    }
    case LVM_SETBKCOLOR:
    case LVM_SETTEXTCOLOR:
    case LVM_SETTEXTBKCOLOR: {
      {
        std::lock_guard lock(mutex_);
        COLORREF& slot = message == LVM_SETBKCOLOR ? bkColour_ : message == LVM_SETTEXTCOLOR ? textColour_ : textBkColour_;
        slot = static_cast<COLORREF>(lParam);
      }
      ContentChanged();
      return TRUE;
    }
    case LVM_GETBKCOLOR: {
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(bkColour_);
    }
    case LVM_GETTEXTCOLOR: {
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(textColour_);
    }
    case LVM_GETTEXTBKCOLOR: {
      std::lock_guard lock(mutex_);
      return static_cast<LRESULT>(textBkColour_);
    }
    case LVM_ENSUREVISIBLE: {
      std::lock_guard lock(mutex_);
      return wParam < rows_.size() ? TRUE : FALSE;
    }
    default:
      break;
  }
  if (message == ControlItemsMessage()) {
    if (auto* out = reinterpret_cast<std::vector<std::string>*>(lParam)) *out = Rows();
    return TRUE;
  }
  if (message == ControlSelectMessage() || message == ControlDoubleClickMessage()) {
    const bool twice = message == ControlDoubleClickMessage();
    return PickForAutomation(
        message, wParam, lParam, [this] { return rows_.size(); },
        [this, twice](WPARAM index) { return UserClick(index, twice); });
  }
  return CControlBase::WindowProc(message, wParam, lParam);
}

int CListCtrl::InsertColumn(int column, const char* heading, int format, int width, int subItem) {
  LVCOLUMNA made;
  made.mask = LVCF_TEXT | LVCF_FMT | (width >= 0 ? LVCF_WIDTH : 0) | (subItem >= 0 ? LVCF_SUBITEM : 0);
  std::string copy = heading != nullptr ? heading : "";
  made.pszText = copy.data();
  made.fmt = format;
  made.cx = width;
  made.iSubItem = subItem;
  return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&made)));
}

BOOL CListCtrl::DeleteColumn(int column) { return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(column))); }

int CListCtrl::GetColumnWidth(int column) {
  return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}

BOOL CListCtrl::SetColumnWidth(int column, int width) {
  return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), width));
}

int CListCtrl::InsertItem(int index, const char* text) {
  LVITEMA item;
  item.mask = LVIF_TEXT;
  item.iItem = index;
  std::string copy = text != nullptr ? text : "";
  item.pszText = copy.data();
  return InsertItem(&item);
}

int CListCtrl::InsertItem(const LVITEMA* item) {
  return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(item)));
}

BOOL CListCtrl::DeleteItem(int index) { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(index))); }

BOOL CListCtrl::DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }

int CListCtrl::GetItemCount() { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }

BOOL CListCtrl::SetItemText(int index, int subItem, const char* text) {
  LVITEMA item;
  item.iSubItem = subItem;
  std::string copy = text != nullptr ? text : "";
  item.pszText = copy.data();
  return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

std::string CListCtrl::GetItemText(int index, int subItem) {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= rows_.size() || subItem < 0) return {};
  const Row& row = rows_[static_cast<std::size_t>(index)];
  return static_cast<std::size_t>(subItem) < row.texts.size() ? row.texts[static_cast<std::size_t>(subItem)] : std::string();
}

int CListCtrl::GetItemText(int index, int subItem, char* buffer, int size) {
  LVITEMA item;
  item.iSubItem = subItem;
  item.pszText = buffer;
  item.cchTextMax = size;
  return static_cast<int>(SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemData(int index, DWORD_PTR data) {
  LVITEMA item;
  item.mask = LVIF_PARAM;
  item.iItem = index;
  item.lParam = static_cast<LPARAM>(data);
  return static_cast<BOOL>(SendMessage(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

DWORD_PTR CListCtrl::GetItemData(int index) {
  LVITEMA item;
  item.mask = LVIF_PARAM;
  item.iItem = index;
  if (SendMessage(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) == FALSE) return 0;
  return static_cast<DWORD_PTR>(item.lParam);
}

BOOL CListCtrl::SetItemState(int index, UINT state, UINT mask) {
  LVITEMA item;
  item.state = state;
  item.stateMask = mask;
  return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

UINT CListCtrl::GetItemState(int index, UINT mask) {
  return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(index), static_cast<LPARAM>(mask)));
}

int CListCtrl::GetNextItem(int start, int flags) {
  return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags));
}

UINT CListCtrl::GetSelectedCount() { return static_cast<UINT>(SendMessage(LVM_GETSELECTEDCOUNT)); }

int CListCtrl::GetSelectionMark() { return static_cast<int>(SendMessage(LVM_GETSELECTIONMARK)); }

int CListCtrl::SetSelectionMark(int index) { return static_cast<int>(SendMessage(LVM_SETSELECTIONMARK, 0, index)); }

BOOL CListCtrl::SortItems(PFNLVCOMPARE compare, DWORD_PTR sortData) {
  return static_cast<BOOL>(SendMessage(LVM_SORTITEMS, sortData, reinterpret_cast<LPARAM>(compare)));
}

DWORD CListCtrl::SetExtendedStyle(DWORD style) {
  return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
}

DWORD CListCtrl::GetExtendedStyle() { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }

BOOL CListCtrl::SetBkColor(COLORREF colour) { return static_cast<BOOL>(SendMessage(LVM_SETBKCOLOR, 0, colour)); }
COLORREF CListCtrl::GetBkColor() { return static_cast<COLORREF>(SendMessage(LVM_GETBKCOLOR)); }
BOOL CListCtrl::SetTextColor(COLORREF colour) { return static_cast<BOOL>(SendMessage(LVM_SETTEXTCOLOR, 0, colour)); }
COLORREF CListCtrl::GetTextColor() { return static_cast<COLORREF>(SendMessage(LVM_GETTEXTCOLOR)); }
BOOL CListCtrl::SetTextBkColor(COLORREF colour) { return static_cast<BOOL>(SendMessage(LVM_SETTEXTBKCOLOR, 0, colour)); }
COLORREF CListCtrl::GetTextBkColor() { return static_cast<COLORREF>(SendMessage(LVM_GETTEXTBKCOLOR)); }

BOOL CListCtrl::EnsureVisible(int index, BOOL partialOk) {
  return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), partialOk));
}

std::vector<std::string> CListCtrl::Rows() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> rows;
  rows.reserve(rows_.size());
  const std::size_t columns = std::max<std::size_t>(columns_.size(), 1);
  for (const Row& row : rows_) {
    std::string line;
    for (std::size_t c = 0; c < columns; ++c) {
      if (c > 0) line += '\t';
      if (c < row.texts.size()) line += row.texts[c];
    }
    rows.push_back(std::move(line));
  }
  return rows;
}

std::vector<std::string> CListCtrl::ColumnTitles() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> titles;
  for (const Column& column : columns_) titles.push_back(column.title);
  return titles;
}
