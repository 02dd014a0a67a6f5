// The own aircraft as the network hears of it: what the login, the short
// infos and the pilot-changes items carry, taken from one snapshot of the
// own-aircraft state (the defaults below are the state's own until the
// plug-in has reported).
#pragma once

#include <cstdint>
#include <string>

#include "core/nearest_airport.h"
#include "core/own_aircraft_state.h"
#include "net/node_records.h"

// Radio selection bits (the pilot-changes item 2 and, shifted by one, the login's option bits).
inline constexpr std::uint8_t kRadioCom1 = 0x1;
inline constexpr std::uint8_t kRadioCom2 = 0x2;
inline constexpr std::uint8_t kRadioBoth = 0x4;

struct OwnAircraftReport {
  bool onGround = false;
  std::uint8_t radioSelection = 0;
  std::string com1;  // frequency texts, up to 7 characters
  std::string com2;
  std::uint16_t transponderCode = 1200;
  char transponderMode = 'S';  // 'S' standby, 'N' mode C
  double mach = 0.0;
  double trueHeadingDegrees = 0.0;
  double speedKnots = 0.0;
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  std::string nearestAirport;  // empty when none lies within 1,000 NM
  std::uint16_t airportDistanceNm = 0;
  std::string icaoType = "C172";
  std::string title = "Cessna Skyhawk 172SP";
  // The class code and fifth column of the type row the own aircraft was
  // matched to; empty until a match, when the type's first row stands for it.
  std::string classCode;
  std::string shortCode;
};

// The report of one snapshot: the working copies for the on-ground flag and
// the radios, speed 1 in knots, value M as the mach number, the title peers see.
OwnAircraftReport ReportOwnAircraft(const OwnAircraftSnapshot& own, const NearestAirport& airport);

// Rounded to the nearest integer and held inside the field's range; a value
// that is not a number gives 0 (a converted double out of range would be UB).
std::int32_t RoundedI32(double value);
std::uint16_t RoundedU16(double value);
// round(mach * 1,000), truncated to 16 bits as the login carries it.
std::uint16_t MachWord(double mach);

// The login's option bits: on ground, then the three radio selection bits.
std::uint32_t LoginOptionBits(const OwnAircraftReport& own);
ShortInfoRecord MakeShortInfo(const OwnAircraftReport& own);
