// What happens after the plug-in link stored a data set: the session sends the
// own position and state records to its peers. The session registers the
// broadcasters; until it does (and in tests of the link) nothing is sent.
// Each is called on the link's thread, after the state was written and with no
// lock held.
#pragma once

struct OwnAircraftBroadcasters {
  void (*ownPosition)() = nullptr;       // after the first data set (position and attitude)
  void (*ownAircraftState)() = nullptr;  // after the third (controls, switches, engines)
  void (*ownShortState)() = nullptr;     // after the fourth
};

// Replaces every broadcaster; a null member unregisters that one.
void SetOwnAircraftBroadcasters(const OwnAircraftBroadcasters& broadcasters);

namespace own_aircraft_event {
void BroadcastOwnPosition();
void BroadcastOwnAircraftState();
void BroadcastOwnShortState();
}  // namespace own_aircraft_event
