#include "app/main_window_actions.h"

#include "app/main_dialog.h"
#include "dialogs/chat_dialog.h"
#include "win/messages.h"
#include "win/window.h"

void ShowChatWindow() {
  if (CCchatDlg* chat = g_pChatDlg.load()) chat->ShowWindow(SW_SHOW);
}

void EnableChatInput(bool enable) {
  if (CCchatDlg* chat = g_pChatDlg.load()) {
    PostMessageA(chat->m_hWnd, WM_COMMAND, kChatEnableInputCommand, enable ? 1 : 0);
  }
}

void ShowMainWindowIfHidden() {
  CFSClientDlg* dialog = g_pMainDlg.load();
  if (dialog != nullptr && dialog->IsWindowVisible() == FALSE) dialog->ShowWindow(SW_SHOW);
}

void ToggleMainWindow() {
  CFSClientDlg* dialog = g_pMainDlg.load();
  if (dialog == nullptr) return;
  dialog->ShowWindow(dialog->IsWindowVisible() != FALSE ? SW_HIDE : SW_SHOW);
}

void PostCloseToMainWindow() {
  if (CFSClientDlg* dialog = g_pMainDlg.load()) PostMessageA(dialog->m_hWnd, WM_CLOSE, 0, 1);
}
