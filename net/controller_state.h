// Program-wide state the controller ways share: the transition altitude that
// decides when altitudes print as flight levels, the flight strip held from
// the last controller who sent one (and whether one arrived for the main
// dialog to forward), and the count of controllers in range. Any thread.
#pragma once

#include <cstdint>
#include <optional>

#include "net/way_record.h"

inline constexpr std::uint32_t kDefaultTransitionAltitudeFeet = 18'000;
// A controller giving less than this leaves the default in force.
inline constexpr std::uint32_t kLowestTransitionAltitudeFeet = 4'000;

std::uint32_t TransitionAltitudeFeet();
// A controller's value: below 4,000 ft the default 18,000 ft applies.
void SetTransitionAltitudeFromController(std::uint32_t feet);

// The held strip: a copy of the sending controller's record with its strip fields.
std::optional<WayRecord> HeldFlightStrip();
void HoldFlightStrip(const WayRecord& record);
// True when a strip of kind 1 is held (it goes to every new controller).
bool HoldsInstructionStrip();
// Set by each strip received; the main dialog takes it to forward the strip.
bool TakeFlightStripArrived();
bool FlightStripArrived();

int ControllerCount();
void CountControllerInRange();

// Start-up and tests: the default altitude, no strip, no controllers.
void ResetControllerState();
