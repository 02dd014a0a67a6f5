// The plug-in's records about the AI aircraft that show remote pilots. Way
// records are written under the way-table lock; where the AI lock is held
// too it is taken first. Posts to the ways go out after the locks are left.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "base/klib_settings.h"
#include "base/main_thread.h"
#include "base/klib_trace.h"
#include "core/main_dialog_state.h"
#include "core/text_fields.h"
#include "net/peer_ways.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_lock.h"
#include "sim/ai_traffic_hooks.h"
#include "sim/plugin_link.h"
#include "sim/plugin_link_body.h"

namespace {
constexpr std::uint16_t kAcfFirstAiSlot = 1;
constexpr std::uint16_t kAcfModeAdd = 0;
constexpr std::uint16_t kAcfModeChange = 1;
constexpr std::uint8_t kAddPeerCreated = 0x1;

bool DeveloperTrace() { return g_traceMask.load() != 0; }

// The way's object when its record is allocated: the one to post the callback to.
COrvSok* AllocatedWayObject(const WayRecord& record) {
  return (record.stateFlags & kWayAllocated) != 0 ? record.way : nullptr;
}

void PostSimPilot(COrvSok* way, std::uint32_t subCode, std::uint32_t word3, const char* tag) {
  if (way != nullptr) CBaseThread::Post(Klib().mainThread, way, THRDMSG_SIMPILOT, subCode, word3, tag);
}
}  // namespace

void CXPlaneLink::OnAddPeerCallback(const Frame& frame) {
  RecordBytes<kAddPeerCallbackSize> body{};
  if (!TakeBody(frame, body, "HRFX_12")) return;
  const AddPeerCallbackRecord callback = ReadAddPeerCallback(body);
  WayRecord* record = PeerWayRecord(callback.way);
  if (record == nullptr) {
    TraceError("Error %s : way out of range", "HRFX_12");
    return;
  }
  if ((callback.result & kAddPeerCreated) == 0) {
    {
      // The add is answered: a later request may try again.
      WayTableGuard guard;
      record->stateFlags &= ~kWayAiAddPending;
    }
    KlibMainTraceLine(Klib().Colour(kColourError), "Internal Warning : ECODE_ADDPEER 0x%X / 0x%X, Way %d",
                      static_cast<unsigned>(callback.result), static_cast<unsigned>(callback.detail),
                      static_cast<int>(callback.way));
    return;
  }
  COrvSok* way = nullptr;
  {
    WayTableGuard guard;
    record->aiObjectId = static_cast<std::int32_t>(callback.way) + 1;
    record->stateFlags &= ~kWayAiAddPending;
    way = AllocatedWayObject(*record);
  }
  PostSimPilot(way, kSimPilotAiCreated, 0, "HRFX_12P");
  if (DeveloperTrace()) {
    KlibMainTraceLine(Klib().Colour(kColourNormal), "\tRxSM : XTK_MSG_ADDPEER_CALLBACK iWay = %d",
                      static_cast<int>(callback.way));
  }
}

void CXPlaneLink::OnRemovePeerCallback(const Frame& frame) {
  RecordBytes<kRemovePeerCallbackSize> body{};
  if (!TakeBody(frame, body, "HRFX_14")) return;
  const std::uint32_t wayId = ReadRemovePeerCallback(body);
  WayRecord* record = wayId < kPeerWayCount ? PeerWayRecord(static_cast<std::int32_t>(wayId)) : nullptr;
  if (record == nullptr) {
    TraceError("Error %s : way out of range", "HRFX_14");
    return;
  }
  COrvSok* way = nullptr;
  std::uint32_t allocation = 0;
  bool late = false;
  {
    WayTableGuard guard;
    // The answer is for the pilot the removal was asked for; one the plug-in
    // made by itself is for the record's pilot of now.
    const std::uint32_t current = WayAllocationOf(static_cast<std::int32_t>(wayId));
    allocation = record->ai.removalAskedFor.value_or(current);
    record->ai.removalAskedFor.reset();
    late = allocation != current;
    if (!late) {
      record->aiObjectId = kWayNoAiObject;
      record->stateFlags &= ~kWayAiAddPending;
      way = AllocatedWayObject(*record);
    }
  }
  if (late) {
    // His pilot has left the record: its next pilot's aircraft is not touched.
    if (DeveloperTrace()) {
      KlibMainTraceLine(Klib().Colour(kColourNormal), "\tRxSM : XTK_MSG_REMOVEPEER_CALLBACK iWay = %d, pilot gone",
                        static_cast<int>(wayId));
    }
    return;
  }
  PostSimPilot(way, kSimPilotAiRemoved, allocation, "HRFX_14P");
}

void CXPlaneLink::OnAcfTable(const Frame& frame) {
  RecordBytes<kAcfTableSize> body{};
  if (!TakeBody(frame, body, "HRFX_16")) return;
  const AcfTableRecord table = ReadAcfTable(body);
  WayRecord* record = PeerWayRecord(table.way);
  if (record == nullptr) {
    TraceError("Error %s : way out of range", "HRFX_16");
    return;
  }
  // The add runs under the AI lock; it is taken before the way-table lock.
  std::optional<AiGuard> aiLock;
  if (table.mode == kAcfModeAdd) aiLock.emplace();

  std::string wanted;
  std::vector<std::string> inUse;
  {
    WayTableGuard guard;
    wanted = std::string(FieldText(record->current.title));
    for (const WayRecord& other : WayTable()) {
      if (other.way != nullptr && other.way->IsConnected()) inUse.emplace_back(FieldText(other.current.title));
    }
  }
  std::uint16_t chosen = kAcfFirstAiSlot;
  bool found = false;
  for (std::uint16_t slot = kAcfFirstAiSlot; slot < table.slotCount; ++slot) {
    if (table.titles[slot] == wanted) {
      chosen = slot;
      found = true;
      break;
    }
  }
  if (!found) {
    for (std::uint16_t slot = kAcfFirstAiSlot; slot < table.slotCount; ++slot) {
      if (std::find(inUse.begin(), inUse.end(), table.titles[slot]) != inUse.end()) continue;
      if (!SendCommand(XTK_CMD_SET_ACF_SLOT, SetAcfSlotBody(slot, wanted), "XACFT1")) return;
      chosen = slot;
      break;
    }
  }
  {
    WayTableGuard guard;
    record->ai.acfSlot = chosen;
  }
  if (table.mode == kAcfModeAdd) {
    ai_traffic::AddPeer(table.way);
  } else if (table.mode == kAcfModeChange) {
    SendCommand(XTK_CMD_CHANGE_AI_MODEL, ChangeAiModelBody(table.way, chosen), "PCAI1");
  }
}

void CXPlaneLink::OnHeadingToHim(const Frame& frame) {
  const std::vector<HeadingEntry> entries = ReadHeadingEntries(frame.body);
  WayTableGuard guard;
  for (const HeadingEntry& entry : entries) {
    if (WayRecord* record = PeerWayRecord(entry.way)) record->ai.simulatorHeading = static_cast<double>(entry.heading);
  }
}
