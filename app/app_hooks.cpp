#include "app/app_hooks.h"

#include "app/ai_traffic_setup.h"
#include "app/tcas_setup.h"
#include "app/controller_setup.h"
#include "app/debug_commands.h"
#include "app/connect_flow.h"
#include "app/main_dialog.h"
#include "app/main_window_actions.h"
#include "app/voice_setup.h"
#include "app/weather_worker.h"
#include "core/plane_path_hook.h"
#include "core/ui_hooks.h"
#include "dialogs/atc_list_dialog.h"
#include "dialogs/chat_dialog.h"
#include "dialogs/chat_routing.h"
#include "dialogs/plane_path_dialog.h"
#include "net/own_broadcasts.h"
#include "win/messages.h"
#include "win/window.h"

namespace {
void SetMainDialogText(int controlId, const char* text) {
  CFSClientDlg* dialog = g_pMainDlg.load();
  if (dialog == nullptr) return;
  if (CWnd* field = dialog->GetDlgItem(controlId)) field->SetWindowText(text);
}
void RequestChatWeather(int kind, std::string_view station) {
  // The worker's name for a request typed in the chat.
  StartWeatherWorker("APTWUP2", kind, station);
}

void TellControllerListRadiosChanged() { PostToAtcList(kAtcListSelectComCommand); }

void NoticeChatShown(bool shown) {
  if (CFSClientDlg* dialog = g_pMainDlg.load()) {
    PostMessageA(dialog->m_hWnd, WM_COMMAND, kWindowShownCommand, shown ? 1 : 0);
  }
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
  hooks.ownRadiosChanged = &TellControllerListRadiosChanged;
  SetUiHooks(hooks);
  InstallOwnAircraftBroadcasters();
  ChatActions chat = DefaultChatActions();
  chat.requestWeather = &RequestChatWeather;
  chat.windowShown = &NoticeChatShown;
  AddDebugChatActions(chat);
  SetChatActions(chat);
  InstallChatRouting();
  SetPlanePathHook(&AddPlanePathPoint);
  InstallAiTrafficHooks();
  InstallTcasHooks();
  InstallControllerHooks();
  InstallVoiceHooks();
}
