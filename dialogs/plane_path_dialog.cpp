#include "dialogs/plane_path_dialog.h"

std::atomic<CPlanePathDlg*> g_pPlanePathDlg{nullptr};

CPlanePathDlg::CPlanePathDlg() : CDialogEx(kPlanePathTemplate) {}

CPlanePathDlg::~CPlanePathDlg() {
  if (g_pPlanePathDlg.load() == this) g_pPlanePathDlg = nullptr;
  DestroyWindow();
}
