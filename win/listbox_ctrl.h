// The list box and the combo box: a list of 8-bit texts with one selected
// item (or none). Items are added at the end or inserted; a list refuses an
// item past its limit with LB_ERRSPACE (CB_ERRSPACE), as a full list does.
//
// Notifications: LBN_SELCHANGE (CBN_SELCHANGE) after a user's selection (the
// automation's select), never after LB_SETCURSEL; LBN_DBLCLK after a user's
// double-click. A combo box's text is its selected item's.
#pragma once

#include <span>
#include <vector>

#include "win/control_base.h"

constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_INSERTSTRING = 0x0181;
constexpr UINT LB_DELETESTRING = 0x0182;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETTEXT = 0x0189;
constexpr UINT LB_GETTEXTLEN = 0x018A;
constexpr UINT LB_GETCOUNT = 0x018B;
// wParam: how many stops, lParam: const int* to them (dialog units); 0 stops: the default.
constexpr UINT LB_SETTABSTOPS = 0x0192;
constexpr LRESULT LB_ERR = -1;
constexpr LRESULT LB_ERRSPACE = -2;
constexpr WORD LBN_SELCHANGE = 1;
constexpr WORD LBN_DBLCLK = 2;

constexpr UINT CB_GETCURSEL = 0x0147;
constexpr UINT CB_ADDSTRING = 0x0143;
constexpr UINT CB_DELETESTRING = 0x0144;
constexpr UINT CB_GETCOUNT = 0x0146;
constexpr UINT CB_GETLBTEXT = 0x0148;
constexpr UINT CB_GETLBTEXTLEN = 0x0149;
constexpr UINT CB_INSERTSTRING = 0x014A;
constexpr UINT CB_RESETCONTENT = 0x014B;
constexpr UINT CB_SETCURSEL = 0x014E;
constexpr LRESULT CB_ERR = -1;
constexpr LRESULT CB_ERRSPACE = -2;
constexpr WORD CBN_SELCHANGE = 1;

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

 protected:
  UINT CtlColorMessage() const override;
  void PaintControl(HDC dc, const RECT& client, HBRUSH background) override;

 private:
  LRESULT Insert(std::intptr_t index, const char* text);
  bool UserSelect(std::size_t index);
  // Message codes of the list box or the combo box.
  UINT Code(UINT listCode, UINT comboCode) const { return combo_ ? comboCode : listCode; }

  const bool combo_;
  // Guarded by mutex_.
  std::vector<std::string> items_;
  int selected_ = -1;
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
  explicit CComboBox(DWORD style = 0, std::string text = {}) : CItemListCtrl(style, std::move(text), true) {}
  ~CComboBox() override;
};
