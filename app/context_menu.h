// The main panel's right-click menu, built afresh from the program's state
// each time it opens.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/settings.h"
#include "win/menu.h"

// What the menu's items depend on.
struct ContextMenuState {
  bool loggedIn = false;
  bool sessionOpen = false;
  bool callsignDialogVisible = false;
  bool flightPlanTypeSet = false;
  std::uint32_t ownSimulatorCode = 0;
  std::uint32_t traceMask = 0;
  std::int32_t language = 0;
  std::array<std::string, kNetworkSlotCount> websites{};
};

// The state as the program holds it now (UI thread).
ContextMenuState CurrentContextMenuState();

inline constexpr UINT kMainContextMenu = 7036;
inline constexpr UINT kDevelopmentMenu = 7033;
inline constexpr UINT kServersFirstCommand = 33000;

// The popup to track (owned by the caller: DestroyMenu), or 0 when menu 7036 cannot be loaded.
HMENU BuildMainContextMenu(const ContextMenuState& state);
