// The airport nearest to the own aircraft, shown by the chat window as
// "%s:%d Nm" and used by the login and position code.
#pragma once

#include <array>
#include <cstdint>

#include "core/flight_plan_airports.h"
#include "core/own_position.h"

struct AirportDb;

// Farther than this (1,000 NM) no airport counts as near.
constexpr double kNearestAirportLimitMetres = 1'852'000.0;

// The result of the last search. The search may run on any thread, so the
// fields are kept together under one lock and read as a copy.
struct NearestAirport {
  AirportCode icao{};             // empty when none lies within 1,000 NM
  std::uint16_t distanceNm = 0;   // whole nautical miles
  double latitude = 0.0;          // degrees
  double longitude = 0.0;         // degrees
  float elevation = 0.0f;         // feet
};

NearestAirport CurrentNearestAirport();
// Tests and start-up: back to "none".
void ResetNearestAirport();

// Searches g_airportDb() from OwnPosition(): the index of the nearest airport, or -1.
int FindNearestAirport();
// The same over a given table and position (the result is stored as well).
int FindNearestAirport(const AirportDb& db, const OwnPositionFix& own);
