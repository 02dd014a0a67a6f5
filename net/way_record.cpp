#include "net/way_record.h"

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "net/orv_sok.h"

WayTableArray& WayTable() {
  // Never destroyed: way threads are not joined at exit.
  static auto* table = new WayTableArray();
  return *table;
}

WayRecord* PeerWayRecord(std::int32_t wayId) {
  if (!IsPeerWay(wayId)) return nullptr;
  return &WayTable()[static_cast<std::size_t>(wayId)];
}

std::int32_t AllocatePeerWay(const char* callsign) {
  WayTableArray& table = WayTable();
  for (std::int32_t way = 0; way < kPeerWayCount; ++way) {
    WayRecord& record = table[static_cast<std::size_t>(way)];
    if ((record.stateFlags & kWayAllocated) != 0) continue;
    // A removal asked for by the last pilot of the record is not this one's:
    // left set, his AI aircraft would never be added again once dropped.
    record.stateFlags = (record.stateFlags & ~kWayAiRemovalRequested) | kWayAllocated;
    if (callsign != nullptr) CopyToField(record.callsign, callsign);
    if (record.way != nullptr) record.way->WakeForAllocation();
    return way;
  }
  return -1;
}

void ClearWayRecord(std::int32_t wayId, const char* callerTag) {
  const char* tag = callerTag != nullptr ? callerTag : "";
  if (Klib().TraceBit(0)) {
    // The callsign is read without the lock, for the trace only: copy it first.
    std::array<char, kWayNameSize> callsign{};
    if (const WayRecord* record = PeerWayRecord(wayId)) {
      WayTableGuard guard;
      callsign = record->callsign;
      callsign.back() = '\0';
    }
    KlibMainTraceLine(Klib().Colour(kColourNormal), "\t\t\t CLRTE %s / %d, Caller %s.", callsign.data(),
                      static_cast<int>(wayId), tag);
  }
  WayTableGuard guard;
  WayRecord* record = PeerWayRecord(wayId);
  if (record == nullptr) return;
  WayRecord fresh{};
  fresh.way = record->way;
  fresh.stateFlags = record->stateFlags & kWayFlagsKeptOnClear;
  fresh.simObjectBlock = record->simObjectBlock;
  *record = fresh;
}

std::int32_t LookupWayByCallsign(std::string_view callsign) {
  if (callsign.empty()) return -1;
  WayTableGuard guard;
  const WayTableArray& table = WayTable();
  for (std::int32_t way = 0; way < kPeerWayCount; ++way) {
    const WayRecord& record = table[static_cast<std::size_t>(way)];
    if ((record.stateFlags & kWayAllocated) != 0 && FieldText(record.callsign) == callsign) return way;
  }
  return -1;
}

std::int32_t LookupWayByPeerName(std::string_view peerName) {
  if (peerName.empty()) return -1;
  WayTableGuard guard;
  const WayTableArray& table = WayTable();
  for (std::int32_t way = 0; way < kPeerWayCount; ++way) {
    const WayRecord& record = table[static_cast<std::size_t>(way)];
    if ((record.stateFlags & kWayAllocated) != 0 && FieldText(record.tunnelPeerName) == peerName) return way;
  }
  return -1;
}
