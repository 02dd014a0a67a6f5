// The list view in report mode: columns (a title, a width, an alignment),
// rows of an item text and one text per further column (sub-items), each row
// with an application value (item data) and its state (LVIS_SELECTED,
// LVIS_FOCUSED). A row index outside the list is refused (-1 or FALSE).
// SortItems orders the rows with the caller's comparison of their item data;
// each row keeps its texts, data and state.
//
// What a user does runs on the owner thread and tells the parent by
// WM_NOTIFY: a click on a row (the automation's select) selects it alone and
// focuses it, with one LVN_ITEMCHANGED (NMLISTVIEW) per row whose state
// changed, then NM_CLICK (NMITEMACTIVATE); a double-click (the automation's
// dblclick) does the same, then NM_DBLCLK; a click on a column's title gives
// LVN_COLUMNCLICK. Changes made by the program tell nothing.
#pragma once

#include <string>
#include <vector>

#include "win/control_base.h"

constexpr UINT LVM_FIRST = 0x1000;
constexpr UINT LVM_GETBKCOLOR = LVM_FIRST + 0;
constexpr UINT LVM_SETBKCOLOR = LVM_FIRST + 1;
constexpr UINT LVM_GETITEMCOUNT = LVM_FIRST + 4;
constexpr UINT LVM_GETITEMA = LVM_FIRST + 5;
constexpr UINT LVM_SETITEMA = LVM_FIRST + 6;
constexpr UINT LVM_INSERTITEMA = LVM_FIRST + 7;
constexpr UINT LVM_DELETEITEM = LVM_FIRST + 8;
constexpr UINT LVM_DELETEALLITEMS = LVM_FIRST + 9;
constexpr UINT LVM_GETNEXTITEM = LVM_FIRST + 12;
constexpr UINT LVM_ENSUREVISIBLE = LVM_FIRST + 19;
constexpr UINT LVM_GETCOLUMNA = LVM_FIRST + 25;
constexpr UINT LVM_INSERTCOLUMNA = LVM_FIRST + 27;
constexpr UINT LVM_DELETECOLUMN = LVM_FIRST + 28;
constexpr UINT LVM_GETCOLUMNWIDTH = LVM_FIRST + 29;
constexpr UINT LVM_SETCOLUMNWIDTH = LVM_FIRST + 30;
constexpr UINT LVM_GETTEXTCOLOR = LVM_FIRST + 35;
constexpr UINT LVM_SETTEXTCOLOR = LVM_FIRST + 36;
constexpr UINT LVM_GETTEXTBKCOLOR = LVM_FIRST + 37;
constexpr UINT LVM_SETTEXTBKCOLOR = LVM_FIRST + 38;
constexpr UINT LVM_SETITEMSTATE = LVM_FIRST + 43;
constexpr UINT LVM_GETITEMSTATE = LVM_FIRST + 44;
constexpr UINT LVM_GETITEMTEXTA = LVM_FIRST + 45;
constexpr UINT LVM_SETITEMTEXTA = LVM_FIRST + 46;
constexpr UINT LVM_SORTITEMS = LVM_FIRST + 48;
constexpr UINT LVM_GETSELECTEDCOUNT = LVM_FIRST + 50;
constexpr UINT LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54;
constexpr UINT LVM_GETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 55;
constexpr UINT LVM_GETSELECTIONMARK = LVM_FIRST + 66;
constexpr UINT LVM_SETSELECTIONMARK = LVM_FIRST + 67;

constexpr UINT LVIF_TEXT = 0x0001;
constexpr UINT LVIF_IMAGE = 0x0002;
constexpr UINT LVIF_PARAM = 0x0004;
constexpr UINT LVIF_STATE = 0x0008;
constexpr UINT LVIS_FOCUSED = 0x0001;
constexpr UINT LVIS_SELECTED = 0x0002;
constexpr int LVNI_ALL = 0x0000;
constexpr int LVNI_FOCUSED = 0x0001;
constexpr int LVNI_SELECTED = 0x0002;

constexpr UINT LVCF_FMT = 0x0001;
constexpr UINT LVCF_WIDTH = 0x0002;
constexpr UINT LVCF_TEXT = 0x0004;
constexpr UINT LVCF_SUBITEM = 0x0008;
constexpr int LVCFMT_LEFT = 0x0000;
constexpr int LVCFMT_RIGHT = 0x0001;
constexpr int LVCFMT_CENTER = 0x0002;

constexpr DWORD LVS_EX_GRIDLINES = 0x00000001;
constexpr DWORD LVS_EX_FULLROWSELECT = 0x00000020;

constexpr UINT NM_CLICK = 0U - 2U;
constexpr UINT NM_DBLCLK = 0U - 3U;
constexpr UINT LVN_FIRST = 0U - 100U;
constexpr UINT LVN_ITEMCHANGED = LVN_FIRST - 1;
constexpr UINT LVN_COLUMNCLICK = LVN_FIRST - 8;

// A row or sub-item as LVM_INSERTITEMA / LVM_SETITEMA take it and LVM_GETITEMA
// fills it; `mask` says which fields count. A read copies at most
// cchTextMax - 1 characters and a terminator into pszText.
struct LVITEMA {
  UINT mask = 0;
  int iItem = 0;
  int iSubItem = 0;
  UINT state = 0;
  UINT stateMask = 0;
  char* pszText = nullptr;
  int cchTextMax = 0;
  int iImage = 0;
  LPARAM lParam = 0;
  int iIndent = 0;
};

struct LVCOLUMNA {
  UINT mask = 0;
  int fmt = LVCFMT_LEFT;
  int cx = 0;
  char* pszText = nullptr;
  int cchTextMax = 0;
  int iSubItem = 0;
};

struct NMLISTVIEW {
  NMHDR hdr;
  int iItem = -1;
  int iSubItem = 0;
  UINT uNewState = 0;
  UINT uOldState = 0;
  UINT uChanged = 0;
  POINT ptAction{};
  LPARAM lParam = 0;
};

struct NMITEMACTIVATE {
  NMHDR hdr;
  int iItem = -1;
  int iSubItem = 0;
  UINT uNewState = 0;
  UINT uOldState = 0;
  UINT uChanged = 0;
  POINT ptAction{};
  LPARAM lParam = 0;
  UINT uKeyFlags = 0;
};

// The caller's order of two rows by their item data: <0, 0 or >0.
using PFNLVCOMPARE = int (*)(LPARAM first, LPARAM second, LPARAM sortData);

class CListCtrl : public CControlBase {
 public:
  explicit CListCtrl(DWORD style = LVS_REPORT, std::string text = {});
  ~CListCtrl() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::string_view Kind() const override { return "listview"; }

  // The class library's calls, through the messages above.
  int InsertColumn(int column, const char* heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
  BOOL DeleteColumn(int column);
  int GetColumnWidth(int column);
  BOOL SetColumnWidth(int column, int width);
  int InsertItem(int index, const char* text);
  int InsertItem(const LVITEMA* item);
  BOOL DeleteItem(int index);
  BOOL DeleteAllItems();
  int GetItemCount();
  BOOL SetItemText(int index, int subItem, const char* text);
  // The text, empty outside the list.
  std::string GetItemText(int index, int subItem);
  int GetItemText(int index, int subItem, char* buffer, int size);
  BOOL SetItemData(int index, DWORD_PTR data);
  // 0 outside the list.
  DWORD_PTR GetItemData(int index);
  BOOL SetItemState(int index, UINT state, UINT mask);
  UINT GetItemState(int index, UINT mask);
  // The next row after `start` (-1: from the top) with the LVNI_ flags' states; -1 when none.
  int GetNextItem(int start, int flags);
  UINT GetSelectedCount();
  int GetSelectionMark();
  int SetSelectionMark(int index);
  BOOL SortItems(PFNLVCOMPARE compare, DWORD_PTR sortData);
  DWORD SetExtendedStyle(DWORD style);
  DWORD GetExtendedStyle();
  BOOL SetBkColor(COLORREF colour);
  COLORREF GetBkColor();
  BOOL SetTextColor(COLORREF colour);
  COLORREF GetTextColor();
  BOOL SetTextBkColor(COLORREF colour);
  COLORREF GetTextBkColor();
  BOOL EnsureVisible(int index, BOOL partialOk);
  void SetRedraw(BOOL redraw = TRUE) { SendMessage(WM_SETREDRAW, static_cast<WPARAM>(redraw), 0); }

  // Each row's texts joined by TAB, one per column (the item text alone without columns).
  std::vector<std::string> Rows() const;
  std::vector<std::string> ColumnTitles() const;
  // A user's click on a column's title, on the owner thread.
  void ClickColumn(int column);

 private:
  struct Column {
    std::string title;
    int width = 0;
    int format = LVCFMT_LEFT;
  };
  struct Row {
    std::vector<std::string> texts;  // the item text, then the sub-items
    LPARAM data = 0;
    UINT state = 0;
  };
  struct StateChange {
    int index;
    UINT oldState;
    UINT newState;
    LPARAM data;
  };
  LRESULT InsertRow(const LVITEMA& item);
  LRESULT SetRow(const LVITEMA& item);
  LRESULT GetRow(LVITEMA& item) const;
  LRESULT SetState(WPARAM index, UINT state, UINT mask);
  LRESULT Sort(PFNLVCOMPARE compare, LPARAM sortData);
  bool UserClick(std::size_t index, bool twice);
  void SendNotice(NMHDR& header, UINT code);

  // Guarded by mutex_.
  std::vector<Column> columns_;
  std::vector<Row> rows_;
  int selectionMark_ = -1;
  DWORD extendedStyle_ = 0;
  COLORREF bkColour_ = 0xFFFFFF;
  COLORREF textColour_ = 0;
  COLORREF textBkColour_ = 0xFFFFFF;
};
