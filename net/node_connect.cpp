#include "net/node_connect.h"

#include <mutex>
#include <new>
#include <vector>

#include "core/connection_state.h"
#include "core/settings.h"
#include "core/thread_end_hooks.h"
#include "core/ui_hooks.h"
#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "base/klib_trace.h"
#include "base/print_dlg.h"
#include "base/trace_output.h"
#include "net/node_way.h"
#include "net/owner_slot.h"
#include "net/web_task_way.h"
#include "win/richedit.h"

CBaseThread* g_porvNode = nullptr;

namespace {
std::mutex& NodeCreationLock() {
  static std::mutex lock;
  return lock;
}

// Other threads may still hold the object when its thread ends (the program
// is closing then): it is kept, never freed under them.
void RetireNodeWay(CBaseThread* way) {
  static auto* retired = new std::vector<CBaseThread*>();
  static std::mutex lock;
  std::lock_guard guard(lock);
  retired->push_back(way);
}
}  // namespace

CNodeWay* NodeWayObject() { return dynamic_cast<CNodeWay*>(LoadOwnerSlot(g_porvNode)); }

void ConnectToNode() {
  const bool direct = g_networkSettings.directAddress.load();
  if (!direct && HubListText().empty()) {
    ui_hook::SetConnectionState(kConnectionOffline);
    return;
  }
  CNodeWay* node = nullptr;
  {
    std::lock_guard guard(NodeCreationLock());
    node = NodeWayObject();
    if (node == nullptr) {
      SetNodeWayEndHandler(&g_porvNode, &RetireNodeWay);
      node = new (std::nothrow) CNodeWay(&g_porvNode, kNodeWayName);
      if (node == nullptr) {
        KlibMainTraceLine(Klib().Colour(kColourError), "%s",
                          "Error code SCTH : Could not create Main socket g_porvNode.");
        return;
      }
      if (!node->StartWay()) {
        delete node;
        return;
      }
      StoreOwnerSlot(g_porvNode, node);
    } else if (Klib().TraceBit(16)) {
      KlibMainTraceLine(Klib().Colour(kColourNormal), "%s", "Restarting node connection...");
    }
  }
  // The way's lines are appended at the end of the text window, whatever the user selected there.
  WithTraceOutput([](CPrintDlg& output) {
    if (output.RichEdit() != nullptr) output.RichEdit()->SetSel(-1, -1);
  });
  node->ClearSleepCountdown();
  node->Resume(0);
  CBaseThread::Post(Klib().mainThread, node, THRDMSG_CONNECT, 0, 0, "PZGN1013");
}
