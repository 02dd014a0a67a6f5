// The watched pilot: a list of the linked pilots, one of whom the user picks
// to watch. Created with the others and never shown from the main dialog.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "win/dialog.h"

constexpr UINT kSwatchTemplate = 7031;
constexpr int kSwatchOnId = 7101;
constexpr int kSwatchOffId = 7102;
constexpr int kSwatchListId = 7123;
constexpr int kSwatchWatchingId = 7124;
// Refreshes the list.
constexpr UINT kSwatchRefreshCommand = 33721;

// The callsigns of the pilot ways logged in, in table order. Takes WayTableLock.
std::vector<std::string> LinkedPilotCallsigns();

class CSwatchDlg : public CDialogEx {
 public:
  CSwatchDlg();
  ~CSwatchDlg() override;

  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // UI thread.
  const std::string& Watched() const { return watched_; }

 private:
  void RefreshList();

  std::string watched_;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CSwatchDlg*> g_pSwatchDlg;
