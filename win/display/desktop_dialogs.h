// Message boxes, file dialogs and pop-up menus on the desktop. Internal to the display.
#pragma once

#include "win/display_hooks.h"

namespace win::display {

// Fills the messageBox, fileDialog and popupMenu hooks; called by Start on
// the UI thread, only when the windows are shown.
void AddDesktopDialogHooks(Hooks& hooks);

}  // namespace win::display
