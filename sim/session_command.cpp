#include "sim/session_command.h"

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "core/main_dialog_state.h"
#include "net/multiplayer_session.h"
#include "sim/plugin_link.h"

namespace {
constexpr int kSessionTraceBit = 6;

CXPlaneLink* ConnectedLink() {
  CXPlaneLink* link = XPlaneLinkObject();
  return link != nullptr && link->IsConnected() ? link : nullptr;
}
}  // namespace

void TryFsMpConnect() {
  if (Klib().TraceBit(kSessionTraceBit)) KlibMainTraceLine(Klib().Colour(kColourNormal), "TryFsMpConnect by %s", "OFMC");
  if (g_sessionOpen.load()) {
    CloseMultiplayerSession("TFMC");
    return;
  }
  CreateXPlaneLink();
  if (ConnectedLink() != nullptr) {
    PrintSessionInitializing();
    AnnounceSessionJoin(true);
  }
}

int CloseMultiplayerSession(const char* callerTag) { return CloseMultiplayerSession(callerTag, ConnectedLink()); }
