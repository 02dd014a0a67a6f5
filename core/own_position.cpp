#include "core/own_position.h"

#include "core/own_aircraft_state.h"

// The fix and the on-ground copy are views of the own-aircraft state, so the
// weather search, the nearest-airport search and the network read one picture.
OwnPositionFix OwnPosition() {
  const OwnAircraftSnapshot own = g_ownAircraft().Snapshot();
  return {own.flight.latitude, own.flight.longitude, own.flight.altitudeFeet};
}

void SetOwnPosition(const OwnPositionFix& fix) {
  g_ownAircraft().Update([&](OwnAircraftSnapshot& own) {
    own.flight.latitude = fix.latitude;
    own.flight.longitude = fix.longitude;
    own.flight.altitudeFeet = fix.altitudeFeet;
  });
}

bool OwnOnGround() { return g_ownAircraft().Snapshot().working.onGround != 0; }

void SetOwnOnGround(bool onGround) {
  g_ownAircraft().Update([&](OwnAircraftSnapshot& own) {
    own.flight.onGround = onGround ? 1 : 0;
    own.working.onGround = own.flight.onGround;
  });
}
