#include "dialogs/main_setup_dialog.h"

std::atomic<MainConfigDlg*> g_pMainConfigDlg{nullptr};

MainConfigDlg::MainConfigDlg() : CDialogEx(kMainSetupTemplate) {}

MainConfigDlg::~MainConfigDlg() {
  if (g_pMainConfigDlg.load() == this) g_pMainConfigDlg = nullptr;
  DestroyWindow();
}
