#include "core/own_aircraft_state.h"

#include <utility>

#include "core/text_fields.h"

OwnAircraftSnapshot DefaultOwnAircraft() {
  OwnAircraftSnapshot state;
  CopyCut(state.model.title.data(), state.model.title.size(), kOwnDefaultTitle);
  CopyCut(state.model.titleForPeers.data(), state.model.titleForPeers.size(), kOwnDefaultTitle);
  CopyCut(state.model.icaoType.data(), state.model.icaoType.size(), kOwnDefaultIcaoType);
  return state;
}

OwnAircraftState::OwnAircraftState() : state_(DefaultOwnAircraft()) {}

OwnAircraftSnapshot OwnAircraftState::Snapshot() const {
  std::lock_guard guard(lock_);
  Held();
  return state_;
}

OwnFlightData OwnAircraftState::Flight() const {
  std::lock_guard guard(lock_);
  return state_.flight;
}

void OwnAircraftState::SetFlightData(const OwnFlightData& flight) {
  std::lock_guard guard(lock_);
  Held();
  state_.flight = flight;
}

void OwnAircraftState::SetRadioData(const OwnRadioData& radios) {
  std::lock_guard guard(lock_);
  Held();
  state_.radios = radios;
  state_.working.com1 = radios.com1;
  state_.working.com2 = radios.com2;
  state_.working.com1Selected = radios.com1Selected;
  state_.working.com2Selected = radios.com2Selected;
  state_.working.bothSelected = radios.bothSelected;
}

void OwnAircraftState::SetControls(const OwnControls& controls) {
  std::lock_guard guard(lock_);
  Held();
  state_.controls = controls;
}

void OwnAircraftState::SetShortState(const OwnShortState& shortState) {
  std::lock_guard guard(lock_);
  Held();
  state_.shortState = shortState;
}

void OwnAircraftState::SetModel(const OwnModel& model) {
  std::lock_guard guard(lock_);
  Held();
  state_.model = model;
}

void OwnAircraftState::SetWorkingCopies(const OwnWorkingCopies& working) {
  std::lock_guard guard(lock_);
  Held();
  state_.working = working;
}

void OwnAircraftState::Update(const std::function<void(OwnAircraftSnapshot&)>& change) {
  std::lock_guard guard(lock_);
  Held();
  change(state_);
}

void OwnAircraftState::Reset() {
  std::lock_guard guard(lock_);
  Held();
  state_ = DefaultOwnAircraft();
}

void OwnAircraftState::SetHeldHookForTest(std::function<void()> hook) {
  std::lock_guard guard(lock_);
  heldHook_ = std::move(hook);
}

bool OwnAircraftState::HeldForTest() const {
  if (!lock_.try_lock()) return true;
  lock_.unlock();
  return false;
}

OwnAircraftState& g_ownAircraft() {
  // Never destroyed: threads may still read it while the program ends.
  static auto* state = new OwnAircraftState();
  return *state;
}
