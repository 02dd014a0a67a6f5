// The mouse's hold on windows. Internal to win/.
#pragma once

#include "win/types.h"

namespace win::detail {
// A destroyed window loses the capture, the leave tracking and the activation.
void ForgetMouseWindow(HWND hwnd);
}  // namespace win::detail
