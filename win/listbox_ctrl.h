// The list box and the combo box: a list of 8-bit texts, each with an
// application value (item data), and one selected item (or none). Items are
// added at the end, or in their place by text without case with LBS_SORT
// (CBS_SORT), or inserted at an index; a list refuses an item past its limit
// with LB_ERRSPACE (CB_ERRSPACE), as a full list does. Searches (FINDSTRING:
// the item begins with the text; FINDSTRINGEXACT: it is the text) ignore case,
// start after the index given (-1: from the top) and wrap round once.
//
// Notifications: LBN_SELCHANGE (CBN_SELCHANGE) after a user's selection (the
// automation's select), never after LB_SETCURSEL or LB_SELECTSTRING;
// LBN_DBLCLK (CBN_DBLCLK for a simple combo) after a user's double-click;
// LBN_SETFOCUS/LBN_KILLFOCUS (CBN_SETFOCUS/CBN_KILLFOCUS) as the focus comes
// and goes. The list box tells LBN_ notices only with LBS_NOTIFY.
//
// The combo box's kinds (CBS_SIMPLE, CBS_DROPDOWN with an edit part,
// CBS_DROPDOWNLIST without one): its text is its selected item's, or what was
// typed into its edit part. A user's typing (CB_LIMITTEXT applies, CBS_UPPERCASE
// and CBS_LOWERCASE fold it) selects the item that is that text without
// case, or none, and tells CBN_EDITCHANGE. A drop-down opens and closes with
// CB_SHOWDROPDOWN (CBN_DROPDOWN, CBN_CLOSEUP).
#pragma once

#include <span>
#include <vector>

#include "win/control_base.h"
#include "win/list_items.h"

constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_INSERTSTRING = 0x0181;
constexpr UINT LB_DELETESTRING = 0x0182;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETTEXT = 0x0189;
constexpr UINT LB_GETTEXTLEN = 0x018A;
constexpr UINT LB_GETCOUNT = 0x018B;
constexpr UINT LB_SELECTSTRING = 0x018C;
constexpr UINT LB_FINDSTRING = 0x018F;
// wParam: how many stops, lParam: const int* to them (dialog units); 0 stops: the default.
constexpr UINT LB_SETTABSTOPS = 0x0192;
constexpr UINT LB_GETITEMDATA = 0x0199;
constexpr UINT LB_SETITEMDATA = 0x019A;
constexpr UINT LB_FINDSTRINGEXACT = 0x01A2;
constexpr LRESULT LB_ERR = -1;
constexpr LRESULT LB_ERRSPACE = -2;
constexpr WORD LBN_SELCHANGE = 1;
constexpr WORD LBN_DBLCLK = 2;
constexpr WORD LBN_SETFOCUS = 4;
constexpr WORD LBN_KILLFOCUS = 5;

constexpr UINT CB_LIMITTEXT = 0x0141;
constexpr UINT CB_ADDSTRING = 0x0143;
constexpr UINT CB_DELETESTRING = 0x0144;
constexpr UINT CB_GETCOUNT = 0x0146;
constexpr UINT CB_GETCURSEL = 0x0147;
constexpr UINT CB_GETLBTEXT = 0x0148;
constexpr UINT CB_GETLBTEXTLEN = 0x0149;
constexpr UINT CB_INSERTSTRING = 0x014A;
constexpr UINT CB_RESETCONTENT = 0x014B;
constexpr UINT CB_FINDSTRING = 0x014C;
constexpr UINT CB_SELECTSTRING = 0x014D;
constexpr UINT CB_SETCURSEL = 0x014E;
constexpr UINT CB_SHOWDROPDOWN = 0x014F;
constexpr UINT CB_GETITEMDATA = 0x0150;
constexpr UINT CB_SETITEMDATA = 0x0151;
constexpr UINT CB_GETDROPPEDSTATE = 0x0157;
constexpr UINT CB_FINDSTRINGEXACT = 0x0158;
constexpr LRESULT CB_ERR = -1;
constexpr LRESULT CB_ERRSPACE = -2;
constexpr WORD CBN_SELCHANGE = 1;
constexpr WORD CBN_DBLCLK = 2;
constexpr WORD CBN_SETFOCUS = 3;
constexpr WORD CBN_KILLFOCUS = 4;
constexpr WORD CBN_EDITCHANGE = 5;
constexpr WORD CBN_DROPDOWN = 7;
constexpr WORD CBN_CLOSEUP = 8;

// Items a list takes before it refuses more.
constexpr std::size_t kListDefaultItemLimit = 32767;

class CItemListCtrl : public CControlBase {
 public:
  CItemListCtrl(DWORD style, std::string text, bool combo);
  ~CItemListCtrl() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::string_view Kind() const override { return combo_ ? "combo" : "listbox"; }

  int AddString(const char* text);
  int InsertString(int index, const char* text);
  int DeleteString(UINT index);
  void ResetContent();
  int GetCount() const;
  int GetCurSel() const;
  int SetCurSel(int index);
  // LB_ERR (CB_ERR) for an index outside the list.
  DWORD_PTR GetItemData(int index);
  int SetItemData(int index, DWORD_PTR data);
  // Searches as the header says; the index found, or LB_ERR (CB_ERR).
  int FindString(int startAfter, const char* text);
  int FindStringExact(int startAfter, const char* text);
  // FindString, then that item selected without a notice.
  int SelectString(int startAfter, const char* text);
  // The item's text, empty for an index outside the list.
  std::string ItemText(int index) const;
  std::vector<std::string> Items() const;
  // The tab stops LB_SETTABSTOPS set, in dialog units (none: every 32 units).
  BOOL SetTabStops(std::span<const int> stops);
  std::vector<int> TabStops() const;
  // Tests set a smaller limit to reach a full list.
  void SetItemLimit(std::size_t limit);
  // A user's double-click on the selected item (LBN_DBLCLK), on the owner thread.
  void DoubleClick();
  // The class library's redraw switch (WM_SETREDRAW).
  void SetRedraw(BOOL redraw = TRUE) { SendMessage(WM_SETREDRAW, static_cast<WPARAM>(redraw), 0); }

 protected:
  using Item = win::detail::ListItem;
  // Combo boxes: the type bits, CBS_SIMPLE to CBS_DROPDOWNLIST.
  DWORD ComboType() const { return Style() & CBS_TYPEMASK; }
  // Guarded by mutex_.
  win::detail::ListItems items_;
  int selected_ = -1;
  std::size_t editLimit_ = 0;  // 0: none
  bool dropped_ = false;

 protected:
  UINT CtlColorMessage() const override;
  void PaintControl(HDC dc, const RECT& client, HBRUSH background) override;

 private:
  LRESULT Insert(std::intptr_t index, const char* text, bool placeByText);
  // Under mutex_: the index found, or -1.
  std::intptr_t FindLocked(WPARAM startAfter, std::string_view text, bool exact) const;
  bool UserSelect(std::size_t index);
  bool UserDoubleClick(std::size_t index);
  LRESULT Typed(const char* text);
  void Notify(WORD listCode, WORD comboCode);
  // Message codes of the list box or the combo box.
  UINT Code(UINT listCode, UINT comboCode) const { return combo_ ? comboCode : listCode; }

  const bool combo_;
  // Guarded by mutex_.
  std::size_t limit_ = kListDefaultItemLimit;
  std::vector<int> tabStops_;
};

class CListBox : public CItemListCtrl {
 public:
  explicit CListBox(DWORD style = 0, std::string text = {}) : CItemListCtrl(style, std::move(text), false) {}
  ~CListBox() override;
};

class CComboBox : public CItemListCtrl {
 public:
  explicit CComboBox(DWORD style = CBS_DROPDOWNLIST, std::string text = {})
      : CItemListCtrl(style, std::move(text), true) {}
  ~CComboBox() override;

  // The text of item `index` (CB_GETLBTEXT), CB_ERR outside the list.
  int GetLBText(int index, char* buffer);
  int GetLBTextLen(int index);
  // The most a user may type into the edit part; 0: no limit.
  BOOL LimitText(int limit);
  void ShowDropDown(BOOL show = TRUE);
  BOOL GetDroppedState();
};
