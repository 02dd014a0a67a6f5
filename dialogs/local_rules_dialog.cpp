#include "dialogs/local_rules_dialog.h"

std::atomic<CPlaneTypeAssignerDlg*> g_pPlaneTypeAssignerDlg{nullptr};

CPlaneTypeAssignerDlg::CPlaneTypeAssignerDlg() : CDialogEx(kLocalRulesTemplate) {}

CPlaneTypeAssignerDlg::~CPlaneTypeAssignerDlg() {
  if (g_pPlaneTypeAssignerDlg.load() == this) g_pPlaneTypeAssignerDlg = nullptr;
  DestroyWindow();
}
