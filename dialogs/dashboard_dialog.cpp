#include "dialogs/dashboard_dialog.h"

std::atomic<CDashboardDlg*> g_pDashboardDlg{nullptr};

CDashboardDlg::CDashboardDlg() : CDialogEx(kDashboardTemplate) {}

CDashboardDlg::~CDashboardDlg() {
  if (g_pDashboardDlg.load() == this) g_pDashboardDlg = nullptr;
  DestroyWindow();
}
