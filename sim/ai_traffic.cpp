#include "sim/ai_traffic.h"

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "base/main_thread.h"
#include "core/main_dialog_state.h"
#include "core/text_fields.h"
#include "net/orv_sok.h"
#include "net/pilot_link.h"
#include "net/way_record.h"
#include "net/way_table_lock.h"
#include "sim/ai_lock.h"
#include "sim/ai_traffic_records.h"
#include "sim/plugin_link.h"

namespace {

constexpr int kAiTraceBit = 8;  // 0x100
constexpr std::size_t kHistoryCopiesSeeded = 3;
constexpr std::uint8_t kAddRequestCount = 5;
constexpr char kAddCaller[] = "WATPX";

std::atomic<bool> g_offsetsDialogShown{false};

bool AiTrace() { return Klib().TraceBit(kAiTraceBit); }
bool DeveloperTrace() { return g_traceMask.load() != 0; }

void TraceFailedPost(const char* tag) {
  if (Klib().TraceBit(kLinkErrorTraceBit)) KlibMainTraceLine(Klib().Colour(kColourError), "Error %s", tag);
}

// The add and the removal go out only over a link that is up, for a way whose
// connection object exists.
bool LinkTakesRecords(const WayRecord& record) { return XPlaneLinkUp.load() && record.way != nullptr; }

bool Post(CBaseThread* sender, std::uint8_t command, std::span<const std::uint8_t> body, const char* tag) {
  if (SendToXPlane(sender, command, body, tag) != 0) return true;
  TraceFailedPost(tag);
  return false;
}

// The refresh gate: the way's AI aircraft exists and the way is not on hold.
bool RefreshAllowed(COrvSok& way) {
  const WayRecord* record = way.Record();
  if (record == nullptr) return false;
  WayTableGuard guard;
  return RefreshGateOpenLocked(way, *record);
}

std::uint32_t WayWord(const COrvSok& way) { return static_cast<std::uint32_t>(way.WayId()); }

template <std::size_t N>
void SendRefresh(COrvSok& way, std::uint8_t command, const std::optional<AiRecord<N>>& body, const char* tag) {
  if (body && SendRefreshToXPlane(way, command, *body, tag) == 0) TraceFailedPost(tag);
}

// What a removal has to post once the locks are left.
struct RemovalPosts {
  std::int32_t way = -1;
  COrvSok* sender = nullptr;  // set: the removal goes to the plug-in
  COrvSok* told = nullptr;    // set: the way hears at once that its aircraft is gone
  std::uint32_t allocation = 0;  // of the record the removal is for
};

RemovalPosts DecideRemoval(std::int32_t way, bool recreate, const char* callerTag) {
  const char* caller = callerTag != nullptr ? callerTag : "";
  WayRecord* record = PeerWayRecord(way);
  if (AiTrace()) {
    std::int32_t objectId = 0;
    if (record != nullptr) {
      WayTableGuard guard;
      objectId = record->aiObjectId;
    }
    KlibMainTraceLine(Klib().Colour(kColourNormal), "XPLREMOVEPEER : caller %s, way %d, ID %d, Recreate %d", caller,
                      static_cast<int>(way), static_cast<int>(objectId), recreate ? 1 : 0);
  }
  RemovalPosts posts;
  posts.way = way;
  if (record == nullptr) return posts;
  WayTableGuard guard;
  // Asked for already: the plug-in's one answer settles both requests.
  if ((record->stateFlags & kWayAiRemovalRequested) != 0) return posts;
  record->stateFlags |= kWayAiRemovalRequested;
  posts.allocation = WayAllocationOf(way);
  if (LinkTakesRecords(*record)) {
    posts.sender = record->way;
    record->ai.removalAskedFor = posts.allocation;
  } else {
    // No simulator to answer: the aircraft went with the link.
    record->aiObjectId = kWayNoAiObject;
    record->stateFlags &= ~kWayAiAddPending;
    if ((record->stateFlags & kWayAllocated) != 0) posts.told = record->way;
  }
  return posts;
}

// A post waits while its target's queue is full: never with a lock held.
void PostRemoval(const RemovalPosts& posts) {
  if (posts.sender != nullptr) {
    Post(posts.sender, XTK_CMD_REMOVE_PEER, WriteRemovePeerBody(static_cast<std::uint32_t>(posts.way)), "xXPRP");
  } else if (posts.told != nullptr) {
    CBaseThread::Post(Klib().mainThread, posts.told, THRDMSG_SIMPILOT, kSimPilotAiRemoved, posts.allocation,
                      "xXPRP0");
  }
}

}  // namespace

void xXPlaneAddPeer(std::int32_t way) {
  if (AiTrace()) KlibMainTraceLine(Klib().Colour(kColourNormal), "xXPlaneAddPeer : %s", kAddCaller);
  WayRecord* record = PeerWayRecord(way);
  if (record == nullptr) return;

  std::string callsign;
  std::string title;
  std::string classCode;
  std::string icaoType;
  AiRecord<kAddPeerBodySize> body{};
  bool send = false;
  {
    WayTableGuard guard;
    callsign = std::string(FieldText(record->callsign));
    title = std::string(FieldText(record->current.title));
    if (callsign.empty() || title.empty()) {
      if (DeveloperTrace()) {
        KlibMainTraceLine(Klib().Colour(kColourError),
                          "[P] Error : Empty callsign (%s) or aircraft name (%s) Caller %s.", callsign.c_str(),
                          title.c_str(), kAddCaller);
      }
      return;
    }
    const bool pending = (record->stateFlags & kWayAiAddPending) != 0;
    if (AiTrace()) {
      const int status = record->way != nullptr ? static_cast<int>(record->way->LoggedInBits()) : 0;
      KlibMainTraceLine(Klib().Colour(kColourNormal),
                        "[P] Adding Pilot %s with aircraft %s (Engine %d). Way %d (ACF index %d), Object ID %d / "
                        "%d, Flag %d, Status %d, Caller %s",
                        callsign.c_str(), title.c_str(), static_cast<int>(record->ai.engineValue),
                        static_cast<int>(way), static_cast<int>(record->ai.acfSlot),
                        static_cast<int>(record->aiObjectId), 0, pending ? 1 : 0, status, kAddCaller);
    }
    if (pending) return;  // an add is on its way already

    const WayPosition& position = record->position;
    if ((position.onGroundWord & 1u) != 0) {
      record->stateFlags |= kWayAiFlag2;
    } else {
      record->stateFlags &= ~kWayAiFlag2;
    }
    for (std::size_t i = 0; i < kHistoryCopiesSeeded; ++i) record->positionHistory.at(i) = position;
    record->ai.simulatorHeading = static_cast<double>(position.heading);

    classCode = std::string(FieldText(record->current.classCode));
    icaoType = std::string(FieldText(record->current.icaoType));
    AddPeerFields fields;
    fields.positionWord1 = position.word1;
    fields.positionWord2 = position.word2;
    fields.simulatorCode = static_cast<std::uint32_t>(record->simulatorCode);
    fields.aircraftWord = record->aircraftWord;
    fields.way = static_cast<std::uint16_t>(way);
    fields.acfSlot = record->ai.acfSlot;
    fields.callsign = callsign;
    fields.engineValue = record->ai.engineValue;
    fields.title = title;
    fields.classCode = classCode;
    fields.icaoType = icaoType;
    fields.latitude = position.latitude;
    fields.longitude = position.longitude;
    fields.altitudeFeet = position.altitude;
    fields.pitch = position.pitch;
    fields.bank = position.bank;
    fields.heading = position.heading;
    fields.onGroundWord = position.onGroundWord;
    fields.groundSpeedKnots = position.groundSpeedKnots;
    body = WriteAddPeerBody(fields);
    record->stateFlags |= kWayAiAddPending;
    send = LinkTakesRecords(*record);
  }
  if (!send) return;
  CBaseThread* sender = XPlaneLinkObject();
  if (Post(sender, XTK_CMD_ADD_PEER, body, "xXPAD") && AiTrace()) {
    KlibMainTraceLine(Klib().Colour(kColourNormal), "Order to create AI (Way %d) sent.", static_cast<int>(way));
  }
}

void XPlaneRemovePeer(std::int32_t way, bool recreate, const char* callerTag) {
  PostRemoval(DecideRemoval(way, recreate, callerTag));
}

void XPlaneRemovePeerLocked(std::int32_t way, bool recreate, const char* callerTag) {
  RemovalPosts posts;
  {
    AiGuard guard;
    posts = DecideRemoval(way, recreate, callerTag);
  }
  PostRemoval(posts);
}

bool RefreshGateOpenLocked(const COrvSok& way, const WayRecord& record) {
  if (!IsPeerWay(way.WayId()) || (way.LoggedInBits() & kWayLoggedInPeer) != 0) return false;
  return record.aiObjectId != 0 && record.aiObjectId != kWayNoAiObject;
}

void SendPeerRefresh(COrvSok& way, PeerRefresh kind, std::span<const std::uint8_t> packet, bool gateOpen) {
  if (!gateOpen) return;
  const std::uint32_t id = WayWord(way);
  switch (kind) {
    case PeerRefresh::kPositionV2:
      SendRefresh(way, XTK_CMD_PEER_POSITION, WriteXPlanePeerPosition(id, packet, CrossSimOffsetsDialogShown()),
                  "XPRFPPV2");
      return;
    case PeerRefresh::kPosition:
      SendRefresh(way, XTK_CMD_PEER_POSITION, WriteSimPeerPosition(id, packet, CrossSimOffsetsDialogShown()),
                  "XPRFPPV");
      return;
    case PeerRefresh::kFullState:
      SendRefresh(way, XTK_CMD_PEER_FULL_STATE, WriteXPlanePeerFullState(id, packet), "XPRFXPP");
      return;
    case PeerRefresh::kFlags: SendRefresh(way, XTK_CMD_PEER_FLAGS, WritePeerFlags(id, packet), "XPRFPF"); return;
    case PeerRefresh::kAero: SendRefresh(way, XTK_CMD_PEER_AERO, WritePeerAero(id, packet), "XPRFPAER"); return;
    case PeerRefresh::kState: SendRefresh(way, XTK_CMD_PEER_STATE, WritePeerState(id, packet), "XPRFPS"); return;
    case PeerRefresh::kEngines: SendRefresh(way, XTK_CMD_PEER_ENGINES, WritePeerEngines(id, packet), "XPRFPE"); return;
    case PeerRefresh::kGear: SendRefresh(way, XTK_CMD_PEER_GEAR, WritePeerGear(id, packet), "XPRFPG"); return;
    case PeerRefresh::kGear2: SendRefresh(way, XTK_CMD_PEER_GEAR2, WritePeerGear2(id, packet), "XPRFPG"); return;
  }
}

std::optional<AiRecord<kPeerFullStateBodySize>> TakeSimPeerStateLocked(COrvSok& way, WayRecord& record,
                                                                       std::span<const std::uint8_t> packet) {
  // The way's own thread is the only writer of these fields; the lock keeps
  // the readers of other threads from seeing them half written.
  SimPeerStateInput input;
  input.engineValue = record.ai.engineValue;
  input.title = FieldText(record.current.title);
  input.firstAiStateByte = record.ai.refreshState[0];
  const std::optional<SimPeerStateResult> result = WriteSimPeerFullState(WayWord(way), packet, input);
  if (!result) return std::nullopt;
  if (result->flag2) {
    record.stateFlags |= kWayAiFlag2;
  } else {
    record.stateFlags &= ~kWayAiFlag2;
  }
  record.ai.engineValue = result->engineValue;
  return result->body;
}

void SendSimPeerState(COrvSok& way, const AiRecord<kPeerFullStateBodySize>& body) {
  SendRefresh(way, XTK_CMD_PEER_FULL_STATE, std::optional(body), "XPRFSPP");
}

void XPlaneRefreshPeerPositionV2(COrvSok& way, std::span<const std::uint8_t> packet) {
  SendPeerRefresh(way, PeerRefresh::kPositionV2, packet, RefreshAllowed(way));
}

void XPlaneRefreshPeerPosition(COrvSok& way, std::span<const std::uint8_t> packet) {
  SendPeerRefresh(way, PeerRefresh::kPosition, packet, RefreshAllowed(way));
}

void XPlaneRefreshXPPeer(COrvSok& way, std::span<const std::uint8_t> packet) {
  SendPeerRefresh(way, PeerRefresh::kFullState, packet, RefreshAllowed(way));
}

void XPlaneRefreshSimPeer(COrvSok& way, std::span<const std::uint8_t> packet) {
  if (!RefreshAllowed(way)) return;
  std::optional<AiRecord<kPeerFullStateBodySize>> body;
  {
    WayTableGuard guard;
    body = TakeSimPeerStateLocked(way, *way.Record(), packet);
  }
  if (body) SendSimPeerState(way, *body);
}

void XPlaneRefreshPeerFlags(COrvSok& way, std::span<const std::uint8_t> packet) {
  SendPeerRefresh(way, PeerRefresh::kFlags, packet, RefreshAllowed(way));
}

void XPlaneRefreshPeerAero(COrvSok& way, std::span<const std::uint8_t> packet) {
  SendPeerRefresh(way, PeerRefresh::kAero, packet, RefreshAllowed(way));
}

void XPlaneRefreshPeerState(COrvSok& way, std::span<const std::uint8_t> packet) {
  SendPeerRefresh(way, PeerRefresh::kState, packet, RefreshAllowed(way));
}

void XPlaneRefreshPeerEngines(COrvSok& way, std::span<const std::uint8_t> packet) {
  SendPeerRefresh(way, PeerRefresh::kEngines, packet, RefreshAllowed(way));
}

void XPlaneRefreshPeerGear(COrvSok& way, std::span<const std::uint8_t> packet) {
  SendPeerRefresh(way, PeerRefresh::kGear, packet, RefreshAllowed(way));
}

void XPlaneRefreshPeerGear2(COrvSok& way, std::span<const std::uint8_t> packet) {
  SendPeerRefresh(way, PeerRefresh::kGear2, packet, RefreshAllowed(way));
}

void TraceKtrig02() {
  if (Klib().TraceBit(kLinkErrorTraceBit)) {
    KlibMainTraceLine(Klib().Colour(kColourError), "Internal Error code : KTRIG 02.");
  }
}

void SetCrossSimOffsetsDialogShown(bool shown) { g_offsetsDialogShown = shown; }
bool CrossSimOffsetsDialogShown() { return g_offsetsDialogShown.load(); }

void ForgetAiAircraftOfLostLink() {
  std::vector<std::pair<COrvSok*, std::uint32_t>> removed;
  {
    AiGuard ai;
    WayTableGuard guard;
    for (std::int32_t id = 0; id < kPeerWayCount; ++id) {
      WayRecord& record = WayTable()[static_cast<std::size_t>(id)];
      // No answer comes over a lost link, for a pilot who is still here or one who left.
      record.ai.removalAskedFor.reset();
      if ((record.stateFlags & kWayAllocated) == 0 || record.peerKind != 'P') continue;
      record.aiObjectId = kWayNoAiObject;
      record.stateFlags &= ~kWayAiAddPending;
      // The answer to this removal will never come: the way hears it now.
      if ((record.stateFlags & kWayAiRemovalRequested) != 0 && record.way != nullptr) {
        removed.emplace_back(record.way, WayAllocationOf(id));
      }
    }
  }
  for (const auto& [way, allocation] : removed) {
    CBaseThread::Post(Klib().mainThread, way, THRDMSG_SIMPILOT, kSimPilotAiRemoved, allocation, "XDLLRM");
  }
}

void AddAdmittedPilotsAgain(CBaseThread* link) {
  if (link == nullptr) return;
  std::vector<std::int32_t> ways;
  {
    AiGuard ai;
    WayTableGuard guard;
    for (std::int32_t id = 0; id < kPeerWayCount; ++id) {
      WayRecord& record = WayTable()[static_cast<std::size_t>(id)];
      if ((record.stateFlags & kWayAllocated) == 0 || record.peerKind != 'P' || record.way == nullptr) continue;
      if ((record.stateFlags & kWayAiRemovalRequested) != 0) continue;  // leaving: nothing to show again
      if (!record.way->IsConnected() || (record.way->LoggedInBits() & (kWayLoggedIn | kWayLoggedInPeer)) == 0) {
        continue;
      }
      record.ai.addRequestCounter = kAddRequestCount;
      ways.push_back(id);
    }
  }
  for (const std::int32_t id : ways) {
    CBaseThread::Post(link, link, THRDMSG_XPL_ACF_TABLE_ADD, static_cast<std::uint32_t>(id), 0, "XDLLRA");
  }
}
