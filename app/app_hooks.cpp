#include "app/app_hooks.h"

#include "app/connect_flow.h"
#include "app/main_dialog.h"
#include "app/main_window_actions.h"
#include "core/ui_hooks.h"
#include "net/own_broadcasts.h"
#include "win/window.h"

namespace {
void SetMainDialogText(int controlId, const char* text) {
  CFSClientDlg* dialog = g_pMainDlg.load();
  if (dialog == nullptr) return;
  if (CWnd* field = dialog->GetDlgItem(controlId)) field->SetWindowText(text);
}
}  // namespace

void InstallAppHooks() {
  UiHooks hooks;
  hooks.postUiEvent = &PostDelayedEvent;
  hooks.setConnectionState = &SetConnectionBitmap;
  hooks.showCountdown = &ShowCountdown;
  hooks.setMainDialogText = &SetMainDialogText;
  hooks.showMainWindowIfHidden = &ShowMainWindowIfHidden;
  hooks.toggleMainWindow = &ToggleMainWindow;
  hooks.postCloseToMainWindow = &PostCloseToMainWindow;
  hooks.showChatWindow = &ShowChatWindow;
  hooks.enableChatInput = &EnableChatInput;
  hooks.disconnectQuietly = &DisconnectQuietly;
  hooks.multiplayerSessionClosed = &OnMultiplayerSessionClosed;
  SetUiHooks(hooks);
  InstallOwnAircraftBroadcasters();
}
