#include "app/context_menu.h"

#include "app/app_globals.h"
#include "core/main_dialog_state.h"
#include "dialogs/callsign_dialog.h"
#include "core/flight_plan.h"
#include "core/flight_plan_record.h"

namespace {
constexpr UINT kNetworkSetupCommand = 32838;
constexpr UINT kDisconnectCommand = 32778;
constexpr UINT kAtcListCommand = 32785;
constexpr UINT kSendFlightPlanCommand = 32790;
constexpr UINT kConnectCommand = 32795;
constexpr UINT kNearestPilotsCommand = 32796;
constexpr UINT kUpdateWeatherCommand = 32804;
constexpr UINT kQuitProgramCommand = 32835;
// Places in the menu as loaded (the "Servers ..." popup replaces the first item).
constexpr UINT kServersPosition = 0;
constexpr UINT kFlightPlanPosition = 1;
constexpr UINT kMultiplayerPosition = 10;
constexpr UINT kAtcViewPosition = 15;
constexpr UINT kLocatePosition = 16;

UINT Gray(bool grayed) { return grayed ? MF_GRAYED : MF_ENABLED; }

HMENU ServersPopup(const ContextMenuState& state) {
  const HMENU servers = CreatePopupMenu();
  for (int slot = 0; slot < kNetworkSlotCount; ++slot) {
    const std::string& site = state.websites[static_cast<std::size_t>(slot)];
    if (site.empty() || site.front() == ' ') continue;
    AppendMenuA(servers, MF_STRING, kServersFirstCommand + static_cast<UINT>(slot), site.c_str());
  }
  return servers;
}

// Menu 7033's popup, taken out of its menu.
HMENU DevelopmentPopup() {
  const HMENU loaded = LoadMenuA(AfxGetResourceHandle(), kDevelopmentMenu);
  if (loaded == 0) return 0;
  const HMENU popup = GetSubMenu(loaded, 0);
  if (popup != 0) RemoveMenu(loaded, 0, MF_BYPOSITION);
  DestroyMenu(loaded);
  return popup;
}
}  // namespace

ContextMenuState CurrentContextMenuState() {
  ContextMenuState state;
  state.loggedIn = g_networkState.load() != 0;
  state.sessionOpen = g_sessionOpen.load();
  if (CPilotsInfoDlg* callsign = g_pPilotsInfoDlg.load())
    state.callsignDialogVisible = callsign->IsWindowVisible() != FALSE;
  state.flightPlanTypeSet = FlightPlanHasRules(CurrentFlightPlan());
  state.ownSimulatorCode = g_ownSimulatorCode.load();
  state.traceMask = g_traceMask.load();
  state.language = Language.load();
  std::lock_guard guard(SettingsTextLock());
  for (int slot = 0; slot < kNetworkSlotCount; ++slot)
    state.websites[static_cast<std::size_t>(slot)] = g_networkSettings.slots[static_cast<std::size_t>(slot)].website.data();
  return state;
}

HMENU BuildMainContextMenu(const ContextMenuState& state) {
  const HMENU loaded = LoadMenuA(AfxGetResourceHandle(), kMainContextMenu);
  if (loaded == 0) return 0;
  const HMENU menu = GetSubMenu(loaded, 0);
  if (menu == 0) {
    DestroyMenu(loaded);
    return 0;
  }
  RemoveMenu(loaded, 0, MF_BYPOSITION);
  DestroyMenu(loaded);

  DeleteMenu(menu, kServersPosition, MF_BYPOSITION);
  InsertMenuA(menu, kServersPosition, MF_BYPOSITION | MF_POPUP, ServersPopup(state), "Servers ...");

  const std::uint32_t code = state.ownSimulatorCode;
  EnableMenuItem(menu, kNetworkSetupCommand, MF_BYCOMMAND | Gray(state.loggedIn));
  if (code >= 2006) EnableMenuItem(menu, kMultiplayerPosition, MF_BYPOSITION | MF_GRAYED);
  const bool atcViews = code >= 2006 && code <= 3999;
  EnableMenuItem(menu, kAtcViewPosition, MF_BYPOSITION | Gray(!atcViews));
  EnableMenuItem(menu, kLocatePosition, MF_BYPOSITION | Gray(!atcViews));

  AppendMenuA(menu, MF_STRING, kQuitProgramCommand, "Quit xTavelkor");
  if ((state.traceMask & 1u) != 0) {
    if (const HMENU development = DevelopmentPopup(); development != 0)
      AppendMenuA(menu, MF_POPUP, development, "&Development");
  }

  if (state.loggedIn) {
    EnableMenuItem(menu, kServersPosition, MF_BYPOSITION | MF_GRAYED);
    EnableMenuItem(menu, kDisconnectCommand, MF_BYCOMMAND | MF_ENABLED);
    EnableMenuItem(menu, kFlightPlanPosition, MF_BYPOSITION | MF_ENABLED);
    EnableMenuItem(menu, kAtcListCommand, MF_BYCOMMAND | MF_ENABLED);
    EnableMenuItem(menu, kSendFlightPlanCommand, MF_BYCOMMAND | Gray(!state.flightPlanTypeSet));
  } else {
    EnableMenuItem(menu, kServersPosition,
                   MF_BYPOSITION | Gray(state.callsignDialogVisible || !state.sessionOpen));
    for (UINT id : {kDisconnectCommand, kAtcListCommand, kSendFlightPlanCommand})
      EnableMenuItem(menu, id, MF_BYCOMMAND | MF_GRAYED);
    EnableMenuItem(menu, kFlightPlanPosition, MF_BYPOSITION | MF_GRAYED);
  }

  // The label follows the user's language.
  const std::int32_t language = state.language;
  const char* label = state.sessionOpen ? (language == 1   ? "&D\xE9" "connecter"
                                           : language == 2 ? "&Desconectar"
                                                           : "&Disconnect")
                                        : (language == 1   ? "&Connecter"
                                           : language == 2 ? "&Conectar"
                                                           : "&Connect");
  ModifyMenuA(menu, kConnectCommand, MF_BYCOMMAND | MF_STRING, kConnectCommand, label);
  EnableMenuItem(menu, kNearestPilotsCommand, MF_BYCOMMAND | Gray(!state.sessionOpen));
  EnableMenuItem(menu, kUpdateWeatherCommand, MF_BYCOMMAND | Gray(!state.sessionOpen));
  if (code == 2004) EnableMenuItem(menu, kConnectCommand, MF_BYCOMMAND | MF_GRAYED);

  MENUINFO info;
  info.fMask = MIM_STYLE;
  info.dwStyle = MNS_MODELESS;
  SetMenuInfo(menu, &info);
  return menu;
}
