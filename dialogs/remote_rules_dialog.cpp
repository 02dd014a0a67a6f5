#include "dialogs/remote_rules_dialog.h"

std::atomic<CPlaneOverriderDlg*> g_pPlaneOverriderDlg{nullptr};

CPlaneOverriderDlg::CPlaneOverriderDlg() : CDialogEx(kRemoteRulesTemplate) {}

CPlaneOverriderDlg::~CPlaneOverriderDlg() {
  if (g_pPlaneOverriderDlg.load() == this) g_pPlaneOverriderDlg = nullptr;
  DestroyWindow();
}
