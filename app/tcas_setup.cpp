#include "app/tcas_setup.h"

#include "dialogs/swatch_dialog.h"
#include "net/peer_traffic_hooks.h"
#include "sim/tcas_feed.h"
#include "win/messages.h"

namespace {

// The watch window's own refresh command; posted, since the pilot ways call from their threads.
constexpr WPARAM kRefreshWatchList = 33721;

void RefreshWatchList() {
  CSwatchDlg* watch = g_pSwatchDlg.load();
  if (watch != nullptr && watch->IsWindowVisible()) watch->PostMessage(WM_COMMAND, kRefreshWatchList, 0);
}

}  // namespace

void InstallTcasHooks() {
  PeerTrafficHooks peers = *CurrentPeerTrafficHooks();
  peers.releaseTcasSlot = [](const char* callsign) {
    if (callsign != nullptr) ReleasePilotTcasSlot(callsign);
  };
  peers.pilotListChanged = &RefreshWatchList;
  SetPeerTrafficHooks(std::move(peers));
}
