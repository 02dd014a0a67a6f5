#include "app/quit_steps.h"

#include "app/connect_flow.h"
#include "app/main_class.h"
#include "app/main_dialog.h"
#include "core/main_dialog_state.h"
#include "base/klib_settings.h"
#include "base/thread_messages.h"
#include "net/node_connect.h"
#include "net/node_way.h"
#include "net/peer_ways.h"
#include "sim/plugin_link.h"
#include "win/window.h"

namespace {
constexpr int kSimulatorStatusId = 7111;
}

void OnQuitAndCloseSimulator() {
  g_quitCountdown = 1;
  g_quitting = true;
  if (CFSClientDlg* dialog = g_pMainDlg.load()) {
    if (CWnd* status = dialog->GetDlgItem(kSimulatorStatusId)) status->SetWindowText("X");
  }
  if (g_pMainThread != nullptr) {
    g_pMainThread->SetTraceColour(Klib().Colour(kColourEmphasis));
    g_pMainThread->TraceLine("Closing ...");
  }
}

void CloseAllPeerLinks() {
  if (CNodeWay* node = NodeWayObject(); node != nullptr && node->IsConnected()) {
    CBaseThread::Post(Klib().mainThread, node, THRDMSG_DISCONNECT, 0, 0, "PZGN1036");
  }
  DisconnectPeerWays();
  g_networkState = 0;
  g_reportCounter = 0;
  g_logoutSent = true;
  if (CXPlaneLink* link = XPlaneLinkObject(); link != nullptr && link->IsConnected()) {
    CBaseThread::Post(Klib().mainThread, link, THRDMSG_XPL_LEAVE, 0, 0, "PZGN1039");
  }
}
