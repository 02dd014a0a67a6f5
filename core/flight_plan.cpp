#include "core/flight_plan.h"

#include <atomic>
#include <mutex>

#include "core/flight_plan_airports.h"

namespace {

struct PlanState {
  std::mutex mutex;
  FlightPlanRecord record = ClearedFlightPlan();
  std::optional<FlightPlanAmendment> amendment;
  void (*notifyAmendment)() = nullptr;
};

PlanState& State() {
  static auto* state = new PlanState();
  return *state;
}

std::atomic<bool> g_planSent{false};
std::atomic<std::int32_t> g_ownListIndex{kNoAircraftListIndex};

}  // namespace

FlightPlanRecord ClearedFlightPlan() {
  FlightPlanRecord record;
  SetPlanText(record.aircraftType, kDefaultPlanAircraftType);
  return record;
}

FlightPlanRecord CurrentFlightPlan() {
  PlanState& state = State();
  std::lock_guard lock(state.mutex);
  return state.record;
}

void SetCurrentFlightPlan(const FlightPlanRecord& record) {
  {
    PlanState& state = State();
    std::lock_guard lock(state.mutex);
    state.record = record;
  }
  SetFlightPlanAirports(PlanText(record.departure), PlanText(record.destination));
}

void ResetCurrentFlightPlan() {
  SetCurrentFlightPlan(ClearedFlightPlan());
  g_planSent = false;
  g_ownListIndex = kNoAircraftListIndex;
}

bool FlightPlanSent() { return g_planSent.load(); }
void SetFlightPlanSent(bool sent) { g_planSent = sent; }

std::int32_t OwnAircraftListIndex() { return g_ownListIndex.load(); }
void SetOwnAircraftListIndex(std::int32_t index) { g_ownListIndex = index; }

FlightPlanRecord MergeFlightPlanAmendment(const FlightPlanRecord& own, const FlightPlanRecord& amended) {
  FlightPlanRecord merged = own;
  merged.altitude = amended.altitude;
  merged.cruiseSpeed = amended.cruiseSpeed;
  merged.flightType = amended.flightType;
  merged.departure = amended.departure;
  merged.destination = amended.destination;
  merged.alternate = amended.alternate;
  merged.proposedHour = amended.proposedHour;
  merged.proposedMinutes = amended.proposedMinutes;
  merged.actualHour = amended.actualHour;
  merged.actualMinutes = amended.actualMinutes;
  merged.enrouteHours = amended.enrouteHours;
  merged.enrouteMinutes = amended.enrouteMinutes;
  merged.fuelHours = amended.fuelHours;
  merged.fuelMinutes = amended.fuelMinutes;
  merged.remarks = amended.remarks;
  merged.route = amended.route;
  TerminateFlightPlanTexts(merged);
  return merged;
}

void PostFlightPlanAmendment(const FlightPlanAmendment& amendment) {
  void (*notify)() = nullptr;
  {
    PlanState& state = State();
    std::lock_guard lock(state.mutex);
    state.amendment = amendment;
    notify = state.notifyAmendment;
  }
  if (notify != nullptr) notify();
}

std::optional<FlightPlanAmendment> TakeFlightPlanAmendment() {
  PlanState& state = State();
  std::lock_guard lock(state.mutex);
  std::optional<FlightPlanAmendment> taken = std::move(state.amendment);
  state.amendment.reset();
  return taken;
}

void SetFlightPlanAmendmentNotifier(void (*notify)()) {
  PlanState& state = State();
  std::lock_guard lock(state.mutex);
  state.notifyAmendment = notify;
}
