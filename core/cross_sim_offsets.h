// The cross-simulator offsets: per airport, the position, altitude and heading
// offsets between pairs of simulator families, so that pilots of another
// simulator are shown where they stand in theirs. One program-wide table,
// the one of the airport nearest to the own aircraft; the pilot ways read
// their pair from it, the offsets file and the offsets dialog write it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "core/flight_plan_airports.h"  // AirportCode

inline constexpr int kCrossSimEntryCount = 10;

// The widest offsets an entry may hold, inclusive. Values read from the file
// or stepped by the dialog stay inside them, so what is saved always loads back.
inline constexpr double kMaxLatitudeOffset = 90.0;     // degrees
inline constexpr double kMaxLongitudeOffset = 180.0;   // degrees
inline constexpr double kMaxAltitudeOffset = 100000.0;  // feet
inline constexpr double kMaxHeadingOffset = 180.0;     // degrees

struct CrossSimOffsetEntry {
  std::int32_t simulatorA = 0;  // family code
  std::int32_t simulatorB = 0;  // family code
  double latitudeOffset = 0.0;   // degrees
  double longitudeOffset = 0.0;  // degrees
  float altitudeOffset = 0.0F;   // feet
  float headingOffset = 0.0F;    // degrees, -180..180
  bool operator==(const CrossSimOffsetEntry&) const = default;
};

struct CrossSimOffsetTable {
  AirportCode icao{};  // the airport the entries were loaded for; empty: the defaults
  std::array<CrossSimOffsetEntry, kCrossSimEntryCount> entries{};
  bool operator==(const CrossSimOffsetTable&) const = default;
};

// Every pair of the five families once, all offsets 0.
CrossSimOffsetTable DefaultCrossSimOffsetTable();

// The program's table. Any thread may read a copy; writers replace it whole
// or edit it under its lock, so a reader never sees half an entry.
CrossSimOffsetTable CrossSimOffsets();
void SetCrossSimOffsets(const CrossSimOffsetTable& table);
// Runs `edit` on the table under its lock (keep it short: pilot ways wait on it).
void EditCrossSimOffsets(const std::function<void(CrossSimOffsetTable&)>& edit);
// The default entries; the airport code is kept.
void SetDefaultCrossSimOffsets();

// ParseCrossSimOffsetLine results.
inline constexpr int kOffsetLineParsed = 1;
inline constexpr int kOffsetLineBadEntryIndex = -1;
inline constexpr int kOffsetLineFamilyAMissing = -10;
inline constexpr int kOffsetLineFamilyAUnknown = -11;
inline constexpr int kOffsetLineFamilyBMissing = -20;
inline constexpr int kOffsetLineFamilyBUnknown = -21;
inline constexpr int kOffsetLineLatitudeBad = -30;
inline constexpr int kOffsetLineLongitudeBad = -40;
inline constexpr int kOffsetLineAltitudeBad = -50;
inline constexpr int kOffsetLineHeadingBad = -60;

// One file value "A,B,lat,lon,alt,heading" (family names as the file writes
// them, without case; blanks or '_' around a field are ignored, fields after
// the sixth too). A number must be decimal floating-point text as a whole,
// finite and within its limit above; a field that is not is the field's code.
// On success the entry is replaced and 1 comes back; on any error it is left
// as it was.
int ParseCrossSimOffsetEntry(std::string_view value, CrossSimOffsetEntry& entry);
// The same into entry `entryIndex` (0..9) of `table`.
int ParseCrossSimOffsetLine(std::string_view value, int entryIndex, CrossSimOffsetTable& table);

// Whether every value lies within its limit (and is a number at all).
bool CrossSimOffsetsInRange(const CrossSimOffsetEntry& entry);

// The first entry whose pair is {a, b} in either order, or -1.
int FindCrossSimPairEntry(const CrossSimOffsetTable& table, std::int32_t familyA, std::int32_t familyB);

struct CrossSimPairOffsets {
  double latitude = 0.0;   // degrees
  double longitude = 0.0;  // degrees
  float altitude = 0.0F;   // feet
  float heading = 0.0F;    // degrees
  bool operator==(const CrossSimPairOffsets&) const = default;
};

// The offsets to add to the position of a peer flying `peerCode` when the own
// simulator is `ownCode` (version codes; both are mapped to their family):
// zero for the same family; else the first entry that names the pair, in
// either order (the one the offsets dialog edits), as stored when the own
// family is first, negated when it is second. Nothing when no entry names the
// pair: the caller keeps the offsets it had.
std::optional<CrossSimPairOffsets> FindCrossSimPairOffsets(const CrossSimOffsetTable& table, std::int32_t ownCode,
                                                           std::int32_t peerCode);
// The same over the program's table.
std::optional<CrossSimPairOffsets> CrossSimPairOffsetsFor(std::int32_t ownCode, std::int32_t peerCode);

// A position in degrees and feet, as the peer glue holds it.
struct CrossSimPosition {
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  double headingDegrees = 0.0;
};

// The position moved by the offsets: the latitude held at the poles, the
// longitude brought back into -180..180 across the date line, the heading
// into 0..360. A value that is not a finite number is left alone (the
// receiver rejects it).
CrossSimPosition ApplyCrossSimOffsets(CrossSimPosition position, const CrossSimPairOffsets& offsets);
