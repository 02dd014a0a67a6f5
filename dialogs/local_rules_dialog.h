// The local-aircraft rules: which ICAO type an installed model is given.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kLocalRulesTemplate = 7049;

class CPlaneTypeAssignerDlg : public CDialogEx {
 public:
  CPlaneTypeAssignerDlg();
  ~CPlaneTypeAssignerDlg() override;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CPlaneTypeAssignerDlg*> g_pPlaneTypeAssignerDlg;
