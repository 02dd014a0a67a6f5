#include "sim/ai_callbacks.h"

#include <string>

#include "base/klib_settings.h"
#include "core/text_fields.h"
#include "net/orv_sok.h"
#include "net/pilot_link.h"
#include "net/sim_pilot_hook.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_traffic_hooks.h"
#include "sim/plugin_link.h"

namespace {
constexpr int kAiTraceBit = 8;  // 0x100
// The way object's state word: bit 1 holds the way (the peer has this client
// in its session), bit 2 marks an AI removal in progress.
constexpr DWORD kWayHoldBit = 0x2;
constexpr DWORD kWayRemovingBit = 0x4;
constexpr std::uint32_t kFlagsClearedOnRecreate = 0x4 | 0x8 | 0x10 | 0x20;
constexpr std::uint32_t kFlagSetOnRecreate = 0x2;
constexpr std::uint8_t kAddRequestCount = 5;
constexpr std::uint32_t kPilotSubHold = 2;
constexpr DWORD kHoldPauseMs = 500;

const char* LogTag() { return Klib().logTag != nullptr ? Klib().logTag : ""; }

void HandleSimPilot(COrvSok& way, const DMessage& message) {
  if (message.param == kSimPilotAiCreated) {
    OnXPlaneAiCreated(way);
  } else if (message.param == kSimPilotAiRemoved) {
    OnXPlanePilotRemoved(way, message.word3);
  }
}

// The pilot is still with us (he went invisible, or his model changes): his
// record stays his. Only a pilot whose link is over frees it.
bool PilotStillLinked(COrvSok& way) { return way.IsConnected() && (way.LoggedInBits() & kWayLoggedIn) != 0; }
}  // namespace

void OnXPlaneAiCreated(COrvSok& way) {
  WayRecord* record = way.Record();
  if (record == nullptr) return;
  if (Klib().TraceBit(kAiTraceBit)) {
    std::int32_t objectId = 0;
    std::string callsign;
    std::string title;
    {
      WayTableGuard guard;
      objectId = record->aiObjectId;
      callsign = std::string(FieldText(record->callsign));
      title = std::string(FieldText(record->current.title));
    }
    way.Trace("%s %s : Object ID %d, Pilot %s flying %s created.\r\n", LogTag(), way.Name(),
              static_cast<int>(objectId), callsign.c_str(), title.c_str());
  }
  ai_traffic::OnPeerObjectCreated(way);
}

void OnXPlanePilotRemoved(COrvSok& way, std::uint32_t allocation) {
  WayRecord* record = way.Record();
  if (record == nullptr) return;
  bool recreate = false;
  bool removeRequested = false;
  bool invisible = false;
  std::string callsign;
  {
    WayTableGuard guard;
    // Every pilot of a way has the same object id: an answer for one who has
    // left the record (or a record freed since) is nobody's here.
    if (allocation != WayAllocationOf(way.WayId()) || (record->stateFlags & kWayAllocated) == 0) return;
    if ((record->stateFlags & kWayAiRemovalRequested) != 0) {
      record->stateFlags &= ~kWayAiRemovalRequested;
      way.SetLoggedInBits(way.LoggedInBits() & ~kWayRemovingBit);
    } else {
      record->stateFlags |= kWayRecreateAi;
    }
    // The object id became -1 when the answer came; an add answered since
    // (he was shown again) has set it anew.
    recreate = (record->stateFlags & kWayRecreateAi) != 0;
    invisible = (record->stateFlags & kWayInvisible) != 0;
    removeRequested = (record->stateFlags & kWayAiRemovalRequested) != 0;
    callsign = std::string(FieldText(record->callsign));
    if (recreate) {
      record->stateFlags &= ~kWayRecreateAi;
      record->stateFlags |= kFlagSetOnRecreate;
      record->stateFlags &= ~kFlagsClearedOnRecreate;
      record->ai.refreshCounter = 0;
      record->ai.refreshState.fill(0);
      record->ai.simulatorState.fill(0);
      record->ai.addRequestCounter = kAddRequestCount;
    }
  }
  if (Klib().TraceBit(kAiTraceBit)) {
    way.TraceLine("%s %s : Pilot %s removed (recreate %d, bRemovePeerRequested %d).", LogTag(), way.Name(),
                  callsign.c_str(), recreate ? 1 : 0, removeRequested ? 1 : 0);
  }
  if (recreate) {
    // The plug-in removed the AI by itself: a new model-slot request adds it
    // again (an invisible pilot stays hidden until he is visible).
    if (CXPlaneLink* link = XPlaneLinkObject(); link != nullptr && XPlaneLinkUp.load() && !invisible) {
      CBaseThread::Post(&way, link, THRDMSG_XPL_ACF_TABLE_ADD, static_cast<std::uint32_t>(way.WayId()), 0, "pXPOR1");
    }
    return;
  }
  if ((way.LoggedInBits() & kWayHoldBit) != 0) {
    ai_traffic::SendToPilot(way, kPilotSubHold, 1);
    way.RequestDisconnect("OCANCLNK2");
    COrvSok::CurrentPauseFunction()(kHoldPauseMs);
    return;
  }
  if (PilotStillLinked(way)) return;
  ClearWayRecordOf(way.WayId(), allocation, "pXPOR");
}

void InstallXPlaneAiCallbacks() { SetSimPilotHandler(&HandleSimPilot); }
