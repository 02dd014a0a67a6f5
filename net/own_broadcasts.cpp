#include "net/own_broadcasts.h"

#include <atomic>

#include "core/main_dialog_state.h"
#include "core/own_position.h"
#include "net/multiplayer_session.h"
#include "net/session_senders.h"

namespace {
std::atomic<std::uint64_t> g_countedBroadcasts{0};

RecordStamp NextStamp() { return RecordStamp{NextRecordSequence(), SessionMilliseconds()}; }
}  // namespace

OwnPositionValues CurrentOwnPositionValues() {
  OwnPositionValues own;
  const OwnPositionFix fix = OwnPosition();
  own.latitude = fix.latitude;
  own.longitude = fix.longitude;
  own.altitudeFeet = fix.altitudeFeet;
  own.onGround = OwnOnGround();
  return own;
}

OwnStateValues CurrentOwnStateValues() { return OwnStateValues{}; }

BroadcastResult BroadcastOwnState(const OwnPositionValues& own) {
  BroadcastResult result;
  const SessionPeerCounts peers = CountSessionPeers();
  if (g_networkState.load() == 0 || !peers.Any()) return result;
  if (peers.AnyOlder()) {
    const OlderPositionRecord record = BuildOlderPositionRecord(own, NextStamp());
    result.builtOlder = true;
    result.posts += BroadcastNto(record);
  }
  if (peers.AnyNewer()) {
    const PositionRecord record = BuildPositionRecord(own, NextStamp());
    result.builtNewer = true;
    result.posts += BroadcastToFsxPeers(record);
    result.posts += BroadcastToXplanePeers(record);
  }
  return result;
}

BroadcastResult BroadcastOwnState() { return BroadcastOwnState(CurrentOwnPositionValues()); }

BroadcastResult BroadcastOwnStateCounted() {
  g_countedBroadcasts.fetch_add(1);
  return BroadcastOwnState();
}

std::uint64_t CountedOwnStateBroadcasts() { return g_countedBroadcasts.load(); }

BroadcastResult BroadcastOwnAircraftState(const OwnStateValues& own) {
  BroadcastResult result;
  const SessionPeerCounts peers = CountSessionPeers();
  if (!peers.Any()) return result;
  if (peers.AnyOlder()) {
    const OlderStateRecord record = BuildOlderStateRecord(own, NextStamp());
    result.builtOlder = true;
    result.posts += BroadcastNto(record);
  }
  if (peers.AnyNewer()) {
    const StateRecord record = BuildStateRecord(own, NextRecordSequence());
    result.builtNewer = true;
    result.posts += BroadcastFtn(record);
  }
  return result;
}

BroadcastResult BroadcastOwnAircraftState() { return BroadcastOwnAircraftState(CurrentOwnStateValues()); }

BroadcastResult BroadcastOwnShortState(const OwnStateValues& own) {
  BroadcastResult result;
  if (!CountSessionPeers().AnyNewer()) return result;
  const ShortStateRecord record = BuildShortStateRecord(own);
  result.builtNewer = true;
  result.posts += BroadcastFtn(record);
  return result;
}

BroadcastResult BroadcastOwnShortState() { return BroadcastOwnShortState(CurrentOwnStateValues()); }
