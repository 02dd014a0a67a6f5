// Message boxes of every subsystem: the title's words choose the icon.
#pragma once

#include <string_view>

#include "win/types.h"

constexpr std::size_t kMessageTextSize = 10'240;

// The icon flag (MB_ICONWARNING, MB_ICONERROR or MB_ICONINFORMATION) for a title:
// the last matching word group wins, and a title with none of them gets the error icon.
UINT MessageIconForTitle(std::string_view title);

int ShowMessage(const char* title, const char* format, ...) __attribute__((format(printf, 2, 3)));
// A question box owned by `owner`, or by the application's main window when owner is 0;
// without any window no box is shown and 0 is returned.
int ShowMessageWnd(UINT type, UINT defaultButton, HWND owner, const char* title, const char* format, ...)
    __attribute__((format(printf, 5, 6)));
void PlayDefaultBeep();

// The window that owns boxes when the caller names none (set by the application).
void SetMessageBoxMainWindow(HWND window);
