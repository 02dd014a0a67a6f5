#include "dialogs/network_setup_dialog.h"

std::atomic<CNetworkSetup*> g_pNetworkSetupDlg{nullptr};

CNetworkSetup::CNetworkSetup() : CDialogEx(kNetworkSetupTemplate) {}

CNetworkSetup::~CNetworkSetup() {
  if (g_pNetworkSetupDlg.load() == this) g_pNetworkSetupDlg = nullptr;
  DestroyWindow();
}
