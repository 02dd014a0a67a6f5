// A window created with the others and never shown from the main dialog.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kSwatchTemplate = 7031;

class CSwatchDlg : public CDialogEx {
 public:
  CSwatchDlg();
  ~CSwatchDlg() override;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CSwatchDlg*> g_pSwatchDlg;
