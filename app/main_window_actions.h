// Small actions on the program's windows that other threads ask for. Each is
// safe from any thread and does nothing while its window does not exist.
#pragma once

void ShowChatWindow();
// CMD_CHAT_ENABLE_INPUT to the chat window: its input line on or off.
void EnableChatInput(bool enable);
// Shows the main window when it is hidden.
void ShowMainWindowIfHidden();
// Hidden when visible, shown otherwise.
void ToggleMainWindow();
// WM_CLOSE (wParam 0, lParam 1) to the main window.
void PostCloseToMainWindow();
