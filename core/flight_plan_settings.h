// The [FLIGHT PLAN] section of the settings file as a flight-plan record.
#pragma once

#include "core/flight_plan_record.h"

// Every key of the section over `base` (its reserved bytes kept); a missing
// key gives its default. Texts are cut to their limits (aircraft type 7,
// altitude 5, airports 4, route and remarks 999) and the line breaks of route
// and remarks come back from their escaped form.
FlightPlanRecord ReadFlightPlanSettings(const FlightPlanRecord& base, const char* path = nullptr);
// Every key in the section's order: numbers "%u", departure times "%02d", texts as they stand.
void WriteFlightPlanSettings(const FlightPlanRecord& record, const char* path = nullptr);
