#include "app/main_dialog.h"

CFSClientDlg::CFSClientDlg() : CDialogEx(7055) {}

CFSClientDlg::~CFSClientDlg() = default;

BOOL CFSClientDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  return TRUE;
}
