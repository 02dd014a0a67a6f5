#include "core/ui_hooks.h"

#include <atomic>

namespace {
// One atomic word per hook, so that a way thread never reads a half-written set.
struct RegisteredHooks {
  std::atomic<void (*)(std::uint32_t)> postUiEvent{nullptr};
  std::atomic<void (*)(int)> setConnectionState{nullptr};
  std::atomic<void (*)(std::uint32_t)> showCountdown{nullptr};
  std::atomic<void (*)(int, const char*)> setMainDialogText{nullptr};
  std::atomic<void (*)()> showMainWindowIfHidden{nullptr};
  std::atomic<void (*)()> toggleMainWindow{nullptr};
  std::atomic<void (*)()> postCloseToMainWindow{nullptr};
  std::atomic<void (*)()> showChatWindow{nullptr};
  std::atomic<void (*)(bool)> enableChatInput{nullptr};
  std::atomic<void (*)()> disconnectQuietly{nullptr};
  std::atomic<void (*)()> multiplayerSessionClosed{nullptr};
  std::atomic<void (*)()> ownRadiosChanged{nullptr};
};

RegisteredHooks& Hooks() {
  static RegisteredHooks hooks;
  return hooks;
}

template <typename Function, typename... Args>
void Call(const std::atomic<Function>& hook, Args... args) {
  if (const Function function = hook.load()) function(args...);
}
}  // namespace

void SetUiHooks(const UiHooks& hooks) {
  RegisteredHooks& registered = Hooks();
  registered.postUiEvent = hooks.postUiEvent;
  registered.setConnectionState = hooks.setConnectionState;
  registered.showCountdown = hooks.showCountdown;
  registered.setMainDialogText = hooks.setMainDialogText;
  registered.showMainWindowIfHidden = hooks.showMainWindowIfHidden;
  registered.toggleMainWindow = hooks.toggleMainWindow;
  registered.postCloseToMainWindow = hooks.postCloseToMainWindow;
  registered.showChatWindow = hooks.showChatWindow;
  registered.enableChatInput = hooks.enableChatInput;
  registered.disconnectQuietly = hooks.disconnectQuietly;
  registered.multiplayerSessionClosed = hooks.multiplayerSessionClosed;
  registered.ownRadiosChanged = hooks.ownRadiosChanged;
}

namespace ui_hook {
void PostUiEvent(std::uint32_t code) { Call(Hooks().postUiEvent, code); }
void SetConnectionState(int state) { Call(Hooks().setConnectionState, state); }
void ShowCountdown(std::uint32_t seconds) { Call(Hooks().showCountdown, seconds); }
void SetMainDialogText(int controlId, const char* text) { Call(Hooks().setMainDialogText, controlId, text); }
void ShowMainWindowIfHidden() { Call(Hooks().showMainWindowIfHidden); }
void ToggleMainWindow() { Call(Hooks().toggleMainWindow); }
void PostCloseToMainWindow() { Call(Hooks().postCloseToMainWindow); }
void ShowChatWindow() { Call(Hooks().showChatWindow); }
void EnableChatInput(bool enable) { Call(Hooks().enableChatInput, enable); }
void DisconnectQuietly() { Call(Hooks().disconnectQuietly); }
void OwnRadiosChanged() { Call(Hooks().ownRadiosChanged); }
bool MultiplayerSessionClosed() {
  const auto function = Hooks().multiplayerSessionClosed.load();
  if (function == nullptr) return false;
  function();
  return true;
}
}  // namespace ui_hook
