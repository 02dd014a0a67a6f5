// The tab control: a row of labelled tabs, each with an application value,
// and one selected tab (or none). Items are inserted at an index, read back,
// deleted; TCM_SETCURSEL selects without a notice, as the platform does.
//
// A user's selection (the automation's select) of another tab sends the
// parent WM_NOTIFY with TCN_SELCHANGE, after the selection has changed.
#pragma once

#include <string>
#include <vector>

#include "win/control_base.h"

constexpr UINT TCM_GETITEMCOUNT = 0x1304;
constexpr UINT TCM_GETITEMA = 0x1305;
constexpr UINT TCM_INSERTITEMA = 0x1307;
constexpr UINT TCM_DELETEITEM = 0x1308;
constexpr UINT TCM_DELETEALLITEMS = 0x1309;
constexpr UINT TCM_GETCURSEL = 0x130B;
constexpr UINT TCM_SETCURSEL = 0x130C;

constexpr UINT TCIF_TEXT = 0x0001;
constexpr UINT TCIF_PARAM = 0x0008;

constexpr UINT TCN_FIRST = 0U - 550U;
constexpr UINT TCN_SELCHANGE = TCN_FIRST - 1;

// One item as TCM_INSERTITEMA takes it and TCM_GETITEMA fills it; `mask`
// says which fields count. A read copies at most cchTextMax - 1 characters
// and a terminator into pszText.
struct TCITEMA {
  UINT mask = 0;
  DWORD dwState = 0;
  DWORD dwStateMask = 0;
  char* pszText = nullptr;
  int cchTextMax = 0;
  int iImage = -1;
  LPARAM lParam = 0;
};

class CTabCtrl : public CControlBase {
 public:
  explicit CTabCtrl(DWORD style = 0, std::string text = {});
  ~CTabCtrl() override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  std::string_view Kind() const override { return "tab"; }

  // The class library's calls, through the messages above.
  int InsertItem(int index, const char* text, LPARAM param = 0);
  BOOL DeleteAllItems();
  int GetItemCount();
  int GetCurSel();
  int SetCurSel(int index);
  // The item's application value, 0 outside the list.
  LPARAM GetItemParam(int index);
  std::vector<std::string> Labels() const;

 private:
  struct Item {
    std::string text;
    LPARAM param = 0;
  };
  bool UserSelect(std::size_t index);

  // Guarded by mutex_.
  std::vector<Item> items_;
  int selected_ = -1;
};
