#include "dialogs/swatch_dialog.h"

std::atomic<CSwatchDlg*> g_pSwatchDlg{nullptr};

CSwatchDlg::CSwatchDlg() : CDialogEx(kSwatchTemplate) {}

CSwatchDlg::~CSwatchDlg() {
  if (g_pSwatchDlg.load() == this) g_pSwatchDlg = nullptr;
  DestroyWindow();
}
