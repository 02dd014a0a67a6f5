#include "net/own_broadcasts.h"

#include <algorithm>
#include <atomic>

#include "core/main_dialog_state.h"
#include "core/own_aircraft_events.h"
#include "core/own_aircraft_state.h"
#include "net/multiplayer_session.h"
#include "net/session_senders.h"

namespace {
std::atomic<std::uint64_t> g_countedBroadcasts{0};

RecordStamp NextStamp() { return RecordStamp{NextRecordSequence(), SessionMilliseconds()}; }
}  // namespace

OwnPositionValues CurrentOwnPositionValues() {
  const OwnAircraftSnapshot state = g_ownAircraft().Snapshot();
  const OwnFlightData& flight = state.flight;
  OwnPositionValues own;
  own.latitude = flight.latitude;
  own.longitude = flight.longitude;
  own.altitudeFeet = flight.altitudeFeet;
  own.pitch = flight.pitch;
  own.bank = flight.bank;
  own.trueHeading = flight.trueHeading;
  own.magneticHeading = flight.heading2;
  own.groundSpeedKnots = flight.speed1Knots;
  own.groundSpeedWhole = static_cast<std::uint16_t>(std::clamp(flight.speed1Rounded, 0, 0xFFFF));
  // Feet per second up, as feet per minute.
  own.verticalSpeed = flight.velocityY * 60.0;
  own.velocityX = flight.velocityX;
  own.velocityZ = flight.velocityZ;
  own.velocityY = flight.velocityY;
  own.onGround = flight.onGround != 0;
  // The plug-in's control word carries the lights and flags the older family shows.
  own.lightsAndFlags = state.controls.controlWord;
  return own;
}

OwnStateValues CurrentOwnStateValues() {
  const OwnAircraftSnapshot state = g_ownAircraft().Snapshot();
  OwnStateValues own;
  own.controls = state.controls.values;
  own.selector = state.controls.value4Scaled;
  own.controlWord = state.controls.controlWord;
  own.switches = state.controls.switches;
  own.engines = state.controls.engines;
  own.movingFlag = state.shortState.moving;
  own.shortValue = state.shortState.shortValue;
  return own;
}

BroadcastResult BroadcastOwnState(const OwnPositionValues& own, const CBaseThread* onlyWay) {
  BroadcastResult result;
  const SessionPeerCounts peers = CountSessionPeers();
  if (g_networkState.load() == 0 || !peers.Any()) return result;
  if (peers.AnyOlder()) {
    const OlderPositionRecord record = BuildOlderPositionRecord(own, NextStamp());
    result.builtOlder = true;
    result.posts += BroadcastNto(record, onlyWay);
  }
  if (peers.AnyNewer()) {
    const PositionRecord record = BuildPositionRecord(own, NextStamp());
    result.builtNewer = true;
    result.posts += BroadcastToFsxPeers(record, onlyWay);
    result.posts += BroadcastToXplanePeers(record, onlyWay);
  }
  return result;
}

BroadcastResult BroadcastOwnState() { return BroadcastOwnState(CurrentOwnPositionValues()); }

BroadcastResult BroadcastOwnStateCounted() {
  g_countedBroadcasts.fetch_add(1);
  return BroadcastOwnState();
}

std::uint64_t CountedOwnStateBroadcasts() { return g_countedBroadcasts.load(); }

BroadcastResult BroadcastOwnAircraftState(const OwnStateValues& own, const CBaseThread* onlyWay) {
  BroadcastResult result;
  const SessionPeerCounts peers = CountSessionPeers();
  if (!peers.Any()) return result;
  if (peers.AnyOlder()) {
    const OlderStateRecord record = BuildOlderStateRecord(own, NextStamp());
    result.builtOlder = true;
    result.posts += BroadcastNto(record, onlyWay);
  }
  if (peers.AnyNewer()) {
    const StateRecord record = BuildStateRecord(own, NextRecordSequence());
    result.builtNewer = true;
    result.posts += BroadcastFtn(record, onlyWay);
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

BroadcastResult ResendOwnRecordsTo(const CBaseThread& way) {
  BroadcastResult result = BroadcastOwnState(CurrentOwnPositionValues(), &way);
  const BroadcastResult state = BroadcastOwnAircraftState(CurrentOwnStateValues(), &way);
  result.builtOlder = result.builtOlder || state.builtOlder;
  result.builtNewer = result.builtNewer || state.builtNewer;
  result.posts += state.posts;
  return result;
}

void InstallOwnAircraftBroadcasters() {
  OwnAircraftBroadcasters broadcasters;
  broadcasters.ownPosition = [] { BroadcastOwnStateCounted(); };
  broadcasters.ownAircraftState = [] { BroadcastOwnAircraftState(); };
  broadcasters.ownShortState = [] { BroadcastOwnShortState(); };
  SetOwnAircraftBroadcasters(broadcasters);
}
