// The aircraft type chooser: every line of the aircraft type table in a list,
// a text search over it, and the row the pilot confirms becomes the type his
// own aircraft is announced with. While it is shown the main dialog is hidden.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

#include "win/brush.h"
#include "win/dialog.h"

class CListBox;

constexpr UINT kTypeChooserTemplate = 7033;
constexpr int kTypeChooserListId = 7062;
constexpr int kTypeChooserSearchTextId = 7255;
constexpr int kTypeChooserSearchId = 7089;
constexpr int kTypeChooserSearchNextId = 7090;
constexpr int kTypeChooserTitleId = 7182;

// Posted to the dialog to show it (the aircraft change is seen off the UI thread).
constexpr UINT kShowTypeChooserMessage = WM_APP + 0x21;

// Results of a search that selected nothing.
constexpr int kTypeSearchNoText = -2;
constexpr int kTypeSearchEnd = -10;

inline constexpr std::size_t kTypeChooserLineMax = 1'020;
inline constexpr std::size_t kTypeSearchTextMax = 1'023;

// Colours, 0x00BBGGRR.
inline constexpr COLORREF kTypeChooserTitleBackground = 0x302020;
inline constexpr COLORREF kTypeChooserFieldBackground = 0x34261E;

class CSelectPlaneDlg : public CDialogEx {
 public:
  CSelectPlaneDlg();
  ~CSelectPlaneDlg() override;

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  // The selected row becomes the own type and the session is told; then the
  // dialog hides and the main dialog shows.
  void OnOK() override;
  void OnCancel() override;

  // The list made again from the type table file: one row per non-empty line.
  // The rows added.
  int FillList(const std::string& path);
  // From the top with the edit's text; the row selected, kTypeSearchNoText or kTypeSearchEnd.
  int NewSearch();
  // On from the row after the last hit.
  int NextSearch();
  // The row the pilot selected last, or -1.
  int SelectedRow() const { return selectedRow_; }

 private:
  void OnShown();
  CListBox* List() const;
  LRESULT ControlColour(HDC dc, HWND control);

  int selectedRow_ = -1;
  std::string searchText_;  // upper-cased
  int searchStart_ = 0;
  CBrush titleBrush_{kTypeChooserTitleBackground};
  CBrush fieldBrush_{kTypeChooserFieldBackground};
};

// The dialog, once created (any thread reads it).
extern std::atomic<CSelectPlaneDlg*> g_pSelectPlaneDlg;

// Any thread: the dialog last created, while it exists, is shown on its own thread.
void ShowTypeChooserLater();
