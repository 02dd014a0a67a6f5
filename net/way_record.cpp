#include "net/way_record.h"

#include "base/klib_settings.h"
#include "base/klib_trace.h"
#include "net/orv_sok.h"

WayTableArray& WayTable() {
  // Never destroyed: way threads are not joined at exit.
  static auto* table = new WayTableArray();
  return *table;
}

namespace {
// How many times each record has been allocated. Kept apart from the records:
// a clear zeroes a record whole, and the count must outlive it.
std::array<std::uint32_t, kPeerWayCount>& AllocationCounts() {
  static auto* counts = new std::array<std::uint32_t, kPeerWayCount>();
  return *counts;
}

// The record as it stands after a clear; the caller holds the lock.
void ZeroRecord(WayRecord& record) {
  WayRecord fresh{};
  fresh.way = record.way;
  fresh.stateFlags = record.stateFlags & kWayFlagsKeptOnClear;
  fresh.ai.removalAskedFor = record.ai.removalAskedFor;
  fresh.simObjectBlock = record.simObjectBlock;
  record = fresh;
}

// The callsign is copied under the lock; the trace line is printed outside it.
std::array<char, kWayNameSize> CallsignForTrace(std::int32_t wayId) {
  std::array<char, kWayNameSize> callsign{};
  if (const WayRecord* record = PeerWayRecord(wayId)) {
    WayTableGuard guard;
    callsign = record->callsign;
    callsign.back() = '\0';
  }
  return callsign;
}

void TraceClear(const std::array<char, kWayNameSize>& callsign, std::int32_t wayId, const char* tag) {
  KlibMainTraceLine(Klib().Colour(kColourNormal), "\t\t\t CLRTE %s / %d, Caller %s.", callsign.data(),
                    static_cast<int>(wayId), tag != nullptr ? tag : "");
}
}  // namespace

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
    ++AllocationCounts()[static_cast<std::size_t>(way)];
    if (callsign != nullptr) CopyToField(record.callsign, callsign);
    if (record.way != nullptr) record.way->WakeForAllocation();
    return way;
  }
  return -1;
}

void ClearWayRecord(std::int32_t wayId, const char* callerTag) {
  if (Klib().TraceBit(0)) TraceClear(CallsignForTrace(wayId), wayId, callerTag);
  WayTableGuard guard;
  if (WayRecord* record = PeerWayRecord(wayId)) ZeroRecord(*record);
}

std::uint32_t WayAllocationOf(std::int32_t wayId) {
  if (!IsPeerWay(wayId)) return 0;
  WayTableGuard guard;
  return AllocationCounts()[static_cast<std::size_t>(wayId)];
}

bool ClearWayRecordOf(std::int32_t wayId, std::uint32_t allocation, const char* callerTag) {
  std::array<char, kWayNameSize> callsign{};
  {
    WayTableGuard guard;
    WayRecord* record = PeerWayRecord(wayId);
    if (record == nullptr || AllocationCounts()[static_cast<std::size_t>(wayId)] != allocation) return false;
    callsign = record->callsign;
    callsign.back() = '\0';
    ZeroRecord(*record);
  }
  if (Klib().TraceBit(0)) TraceClear(callsign, wayId, callerTag);
  return true;
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
  return -2;
}
