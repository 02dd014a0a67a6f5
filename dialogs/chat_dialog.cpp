#include "dialogs/chat_dialog.h"

#include "win/richedit.h"

std::atomic<CCchatDlg*> g_pChatDlg{nullptr};

CCchatDlg::CCchatDlg() : CDialogEx(kChatTemplate) {}

CCchatDlg::~CCchatDlg() {
  if (g_pChatDlg.load() == this) g_pChatDlg = nullptr;
  DestroyWindow();
}

BOOL CCchatDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();
  auto* output = dynamic_cast<CRichEditCtrl*>(GetDlgItem(kChatOutputId));
  if (output == nullptr) {
    // Without a template the window still gets its text area.
    auto created = std::make_unique<CRichEditCtrl>();
    output = static_cast<CRichEditCtrl*>(AddControl(std::move(created), kChatOutputId));
  }
  AttachRichEdit(output, this);
  // Enabled when the program joins the network.
  if (CWnd* input = GetDlgItem(kChatInputId)) input->EnableWindow(FALSE);
  return TRUE;
}

void CCchatDlg::ScrollToEnd() {
  if (CRichEditCtrl* output = Output()) output->SetSel(-1, -1);
}

BOOL CCchatDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == kChatEnableInputCommand) {
    if (CWnd* input = GetDlgItem(kChatInputId)) input->EnableWindow(lParam == 1 ? TRUE : FALSE);
    return TRUE;
  }
  return CDialogEx::OnCommand(wParam, lParam);
}
