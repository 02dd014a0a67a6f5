// The dashboard: radio frequencies, transponder, traffic figures.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kDashboardTemplate = 7054;

class CDashboardDlg : public CDialogEx {
 public:
  CDashboardDlg();
  ~CDashboardDlg() override;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CDashboardDlg*> g_pDashboardDlg;
