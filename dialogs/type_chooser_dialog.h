// The aircraft type chooser: the own ICAO type picked from the type table.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kTypeChooserTemplate = 7033;

class CSelectPlaneDlg : public CDialogEx {
 public:
  CSelectPlaneDlg();
  ~CSelectPlaneDlg() override;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CSelectPlaneDlg*> g_pSelectPlaneDlg;
