// The plane path window.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kPlanePathTemplate = 7051;

class CPlanePathDlg : public CDialogEx {
 public:
  CPlanePathDlg();
  ~CPlanePathDlg() override;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CPlanePathDlg*> g_pPlanePathDlg;
