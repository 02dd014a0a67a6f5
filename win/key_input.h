// Keys reaching the program as a user's do: the key message goes to the
// window with the focus, else to the main window, through what the
// application's loop does with it (its windows' PreTranslateMessage first,
// then the window procedure). On the UI thread.
#pragma once

#include "win/messages.h"

constexpr UINT WM_CHAR = 0x0102;

namespace win {

// WM_KEYDOWN or WM_KEYUP for `vk`; the key's held state is the caller's.
void DeliverKeyMessage(int vk, bool down);
// The key's held state set, then its message delivered.
void DeliverKey(int vk, bool down);
// WM_CHAR with one character of the program's code page.
void DeliverChar(unsigned char ch);

}  // namespace win
