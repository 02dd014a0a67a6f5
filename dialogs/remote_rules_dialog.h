// The remote-aircraft rules: which installed model shows another pilot's aircraft.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kRemoteRulesTemplate = 7048;

class CPlaneOverriderDlg : public CDialogEx {
 public:
  CPlaneOverriderDlg();
  ~CPlaneOverriderDlg() override;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CPlaneOverriderDlg*> g_pPlaneOverriderDlg;
