// The main setup: language, squawk, bandwidth, weather, traffic and sound options.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kMainSetupTemplate = 7005;

class MainConfigDlg : public CDialogEx {
 public:
  MainConfigDlg();
  ~MainConfigDlg() override;
};

// The dialog, once created (any thread reads it).
extern std::atomic<MainConfigDlg*> g_pMainConfigDlg;
