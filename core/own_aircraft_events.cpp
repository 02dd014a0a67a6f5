#include "core/own_aircraft_events.h"

#include <atomic>

namespace {
struct RegisteredBroadcasters {
  std::atomic<void (*)()> ownPosition{nullptr};
  std::atomic<void (*)()> ownAircraftState{nullptr};
  std::atomic<void (*)()> ownShortState{nullptr};
};

RegisteredBroadcasters& Broadcasters() {
  static RegisteredBroadcasters broadcasters;
  return broadcasters;
}

void Call(const std::atomic<void (*)()>& hook) {
  if (const auto function = hook.load()) function();
}
}  // namespace

void SetOwnAircraftBroadcasters(const OwnAircraftBroadcasters& broadcasters) {
  Broadcasters().ownPosition = broadcasters.ownPosition;
  Broadcasters().ownAircraftState = broadcasters.ownAircraftState;
  Broadcasters().ownShortState = broadcasters.ownShortState;
}

namespace own_aircraft_event {
void BroadcastOwnPosition() { Call(Broadcasters().ownPosition); }
void BroadcastOwnAircraftState() { Call(Broadcasters().ownAircraftState); }
void BroadcastOwnShortState() { Call(Broadcasters().ownShortState); }
}  // namespace own_aircraft_event
