#include "dialogs/type_chooser_dialog.h"

std::atomic<CSelectPlaneDlg*> g_pSelectPlaneDlg{nullptr};

CSelectPlaneDlg::CSelectPlaneDlg() : CDialogEx(kTypeChooserTemplate) {}

CSelectPlaneDlg::~CSelectPlaneDlg() {
  if (g_pSelectPlaneDlg.load() == this) g_pSelectPlaneDlg = nullptr;
  DestroyWindow();
}
