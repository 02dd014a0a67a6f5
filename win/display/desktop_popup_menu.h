// Tracked pop-up menus as Qt menus. Internal to the display.
#pragma once

#include <optional>

#include "win/display_hooks.h"
#include "win/menu.h"

class QMenu;

namespace win::display {

// Fills `menu` with the items: texts (code page 1252, '&' marks the mnemonic,
// a tab leads the accelerator's text), grayed items disabled, checks,
// separators and sub-menus. Each command's action carries its id as data.
void FillQMenu(QMenu& menu, const std::vector<MenuItemSnapshot>& items);

// The popupMenu hook: shown at the screen point until the pilot chooses or
// dismisses it; the command chosen, 0 for none, nullopt off the UI thread
// or when no widget can be shown.
std::optional<UINT> ShowPopupMenu(const Hooks& hooks, const MenuSnapshot& menu, int x, int y, HWND owner);

}  // namespace win::display
