// The departure and destination airports of the filed flight plan, as the
// weather search reads them. Empty codes mean no flight plan.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

constexpr std::size_t kAirportCodeSize = 5;  // 4 characters and a terminator
using AirportCode = std::array<char, kAirportCodeSize>;

struct FlightPlanAirports {
  AirportCode departure{};
  AirportCode destination{};
};

// A copy of both codes, each terminated.
FlightPlanAirports GetFlightPlanAirports();
// Each code is cut to 4 characters and upper-cased; "" clears it.
void SetFlightPlanAirports(std::string_view departure, std::string_view destination);
void ClearFlightPlanAirports();
// True when `code` is a non-empty code equal (without case) to one of the two.
bool IsFlightPlanAirport(const FlightPlanAirports& plan, std::string_view code);
