#include "net/controller_state.h"

#include <mutex>

#include "net/controller_records.h"

namespace {
struct State {
  std::mutex mutex;
  std::uint32_t transitionFeet = kDefaultTransitionAltitudeFeet;
  std::optional<WayRecord> strip;
  bool stripArrived = false;
  int controllers = 0;
};

State& Shared() {
  static auto* state = new State();
  return *state;
}
}  // namespace

std::uint32_t TransitionAltitudeFeet() {
  std::lock_guard lock(Shared().mutex);
  return Shared().transitionFeet;
}

void SetTransitionAltitudeFromController(std::uint32_t feet) {
  std::lock_guard lock(Shared().mutex);
  Shared().transitionFeet = feet < kLowestTransitionAltitudeFeet ? kDefaultTransitionAltitudeFeet : feet;
}

std::optional<WayRecord> HeldFlightStrip() {
  std::lock_guard lock(Shared().mutex);
  return Shared().strip;
}

void HoldFlightStrip(const WayRecord& record) {
  std::lock_guard lock(Shared().mutex);
  Shared().strip = record;
  Shared().stripArrived = true;
}

bool HoldsInstructionStrip() {
  std::lock_guard lock(Shared().mutex);
  return Shared().strip && Shared().strip->controller.stripKind == kStripInstructions;
}

bool TakeFlightStripArrived() {
  std::lock_guard lock(Shared().mutex);
  const bool arrived = Shared().stripArrived;
  Shared().stripArrived = false;
  return arrived;
}

bool FlightStripArrived() {
  std::lock_guard lock(Shared().mutex);
  return Shared().stripArrived;
}

int ControllerCount() {
  std::lock_guard lock(Shared().mutex);
  return Shared().controllers;
}

void CountControllerInRange() {
  std::lock_guard lock(Shared().mutex);
  ++Shared().controllers;
}

void ResetControllerState() {
  std::lock_guard lock(Shared().mutex);
  Shared().transitionFeet = kDefaultTransitionAltitudeFeet;
  Shared().strip.reset();
  Shared().stripArrived = false;
  Shared().controllers = 0;
}
