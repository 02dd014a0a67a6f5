// Network setup: the network slots, the own port and the connection options.
#pragma once

#include <atomic>

#include "win/dialog.h"

constexpr UINT kNetworkSetupTemplate = 134;

class CNetworkSetup : public CDialogEx {
 public:
  CNetworkSetup();
  ~CNetworkSetup() override;
};

// The dialog, once created (any thread reads it).
extern std::atomic<CNetworkSetup*> g_pNetworkSetupDlg;
