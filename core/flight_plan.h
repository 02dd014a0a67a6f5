// The pilot's one current flight plan and the program-wide values around it:
// the plan-sent flag and the own aircraft's line in the aircraft list. The
// forms, the settings file, ".tkp" files and a controller's amendment write
// the plan; the network ways read it. Any thread may call these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/flight_plan_record.h"

// The aircraft type a cleared plan starts with.
inline constexpr char kDefaultPlanAircraftType[] = "BE58";
// The own aircraft's list index while none is known.
inline constexpr std::int32_t kNoAircraftListIndex = -1;

// A zeroed record holding only the default aircraft type.
FlightPlanRecord ClearedFlightPlan();

FlightPlanRecord CurrentFlightPlan();
// Also tells the weather search the plan's departure and destination.
void SetCurrentFlightPlan(const FlightPlanRecord& record);
// Start-up: the cleared plan, not sent, no own list index.
void ResetCurrentFlightPlan();

// Set once a plan has really gone to a way whose link is up.
bool FlightPlanSent();
void SetFlightPlanSent(bool sent);

std::int32_t OwnAircraftListIndex();
void SetOwnAircraftListIndex(std::int32_t index);

// A controller's amended plan over the own one: flight rules, altitude,
// cruise speed, the three airports, the eight time words, remarks and route
// (the aircraft, its index, the number aboard and the reserved bytes stay).
FlightPlanRecord MergeFlightPlanAmendment(const FlightPlanRecord& own, const FlightPlanRecord& amended);

// A controller's amendment as it came: his plan, his name and the code he gives.
struct FlightPlanAmendment {
  FlightPlanRecord plan{};
  std::string controller;
  std::uint16_t transponder = 0;

  bool operator==(const FlightPlanAmendment&) const = default;
};

// The amendment path. The controller way (any thread) hands the amendment
// over and changes nothing itself; the flight-plan form in use takes it on the
// UI thread and checks it with the form's checks: only an amendment that
// passes becomes the current plan, is stored, announced and sent. A later
// amendment replaces one not yet taken.
void PostFlightPlanAmendment(const FlightPlanAmendment& amendment);
std::optional<FlightPlanAmendment> TakeFlightPlanAmendment();
// Called after each post (the application points it at the form in use); null: none.
void SetFlightPlanAmendmentNotifier(void (*notify)());
