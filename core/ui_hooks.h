// What the ways ask of the windows and of the connect flow above them. The
// application registers the hooks at start-up; until then (and in tests of the
// lower folders) every call does nothing. Each hook is safe from any thread.
#pragma once

#include <cstdint>

struct UiHooks {
  // Queues a private message (UIMSG_*) for the main dialog's delayed events.
  void (*postUiEvent)(std::uint32_t code) = nullptr;
  // The Connect button shows one of the kConnection* states.
  void (*setConnectionState)(int state) = nullptr;
  // The node's countdown in the main dialog.
  void (*showCountdown)(std::uint32_t seconds) = nullptr;
  // The text of one control of the main dialog.
  void (*setMainDialogText)(int controlId, const char* text) = nullptr;
  void (*showMainWindowIfHidden)() = nullptr;
  // Hidden when visible, shown otherwise (the simulator's show/hide key).
  void (*toggleMainWindow)() = nullptr;
  void (*postCloseToMainWindow)() = nullptr;
  void (*showChatWindow)() = nullptr;
  void (*enableChatInput)(bool enable) = nullptr;
  // Leaves the network without a word to the node (after its stop order).
  void (*disconnectQuietly)() = nullptr;
  // The main dialog's step after the multiplayer session closed.
  void (*multiplayerSessionClosed)() = nullptr;
  // The own radios changed: the controller list is told.
  void (*ownRadiosChanged)() = nullptr;
};

// Replaces every hook; a null member unregisters that one.
void SetUiHooks(const UiHooks& hooks);

namespace ui_hook {
void PostUiEvent(std::uint32_t code);
void SetConnectionState(int state);
void ShowCountdown(std::uint32_t seconds);
void SetMainDialogText(int controlId, const char* text);
void ShowMainWindowIfHidden();
void ToggleMainWindow();
void PostCloseToMainWindow();
void ShowChatWindow();
void EnableChatInput(bool enable);
void DisconnectQuietly();
// False when no hook is installed (no main dialog).
bool MultiplayerSessionClosed();
void OwnRadiosChanged();
}  // namespace ui_hook
