// The broadcasts of the own aircraft to the session: the position records
// (for each data set the simulator link receives, and from the pilot ways'
// per-second task), the state records and the short state record. Each counts
// the session's pilots first and builds only the layouts some peer needs.
#pragma once

#include <cstdint>

#include "net/position_records.h"

class CBaseThread;

// What one broadcast built and how many ways it posted.
struct BroadcastResult {
  bool builtOlder = false;  // the 60- or 36-byte record
  bool builtNewer = false;  // the 48-, 24- or 8-byte record
  int posts = 0;
};

// The own aircraft as the records need it, read from the own-aircraft state.
OwnPositionValues CurrentOwnPositionValues();
OwnStateValues CurrentOwnStateValues();

// With `onlyWay` set, to that pilot way alone (see net/session_senders.h).
BroadcastResult BroadcastOwnState(const OwnPositionValues& own, const CBaseThread* onlyWay = nullptr);
BroadcastResult BroadcastOwnState();
// The same, for the simulator link's data sets; they are counted.
BroadcastResult BroadcastOwnStateCounted();
std::uint64_t CountedOwnStateBroadcasts();
BroadcastResult BroadcastOwnAircraftState(const OwnStateValues& own, const CBaseThread* onlyWay = nullptr);
BroadcastResult BroadcastOwnAircraftState();
BroadcastResult BroadcastOwnShortState(const OwnStateValues& own);
BroadcastResult BroadcastOwnShortState();

// A pilot way's periodic resend: the own position and state records to its
// own peer only, posted to the way as the broadcasts post them. Each way
// resends to its peer, so every peer hears them once per period, whatever
// the number of peers.
BroadcastResult ResendOwnRecordsTo(const CBaseThread& way);

// Registers the broadcasts that follow the simulator link's data sets
// (core/own_aircraft_events.h). Start-up.
void InstallOwnAircraftBroadcasters();
