#include "app/app_globals.h"

#include "controls/bc_menu.h"
#include "win/window.h"

std::atomic<std::uint32_t> g_ownSimulatorCode{0};
std::atomic<std::int32_t> g_inactivityCountdown{kInactivitySeconds};

UINT TavelkorMessageId() {
  static const UINT id = RegisterWindowMessageA("TAVELKOR_MSG");
  return id;
}

// The owner-drawn menus draw by the Windows version, classified once at start.
const int g_menuVersionClass = BCMenu::InitWindowsVersionClass();
