// The controller list's entries and the names its lines show: the facility a
// callsign ends in, the rating names, and the line of one entry.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::size_t kAtcListNameSize = 32;
inline constexpr std::size_t kAtcListCallsignSize = 32;
inline constexpr std::size_t kAtcField16Size = 16;
// The list never holds more entries than this, UNICOM included.
inline constexpr std::size_t kAtcHeldEntriesMax = 49;
// Controllers one rebuild takes from the way table.
inline constexpr std::size_t kAtcRebuildMax = 20;

// One line of the list, in memory only.
struct AtcListEntry {
  std::array<char, kAtcListNameSize> name{};  // the last column; nothing fills it yet
  std::array<char, kAtcListCallsignSize> callsign{};
  double frequencyMhz = 0.0;
  std::uint32_t facility = 0;  // into the facility names
  std::uint32_t rangeNm = 0;   // a controller's range fills the low 16 bits
  std::uint32_t rating = 0;    // into a rating table
  std::array<std::uint8_t, kAtcField16Size> field16{};
  std::uint32_t taken = 0;
  std::uint32_t wayIndex = 0;  // the controller's way, 0..49
};

inline constexpr char kUnicomCallsign[] = "UNICOM";
inline constexpr double kUnicomFrequencyMhz = 123.0;
inline constexpr std::uint32_t kUnicomRangeNm = 400;
inline constexpr std::uint32_t kUnicomRating = 2;
// The pseudo-station every list starts with.
AtcListEntry DefaultUnicomEntry();

inline constexpr std::array<const char*, 8> kAtcFacilityNames = {"Unknown", "FSS", "CLR", "GND",
                                                                  "TWR",     "APP/DEP", "CTR", "FIR"};
// A rebuild names every rating from this table.
inline constexpr std::array<const char*, 12> kAtcRatingNamesRebuild = {"OBS", "S1", "S2", "S3", "C1",  "C2",
                                                                       "C3",  "I1", "I2", "I3", "SUP", "ADM"};
// A reset names UNICOM's rating from this one, one place off the other.
inline constexpr std::array<const char*, 13> kAtcRatingNamesReset = {"",   "",   "S1", "S2", "S3", "C1", "C2",
                                                                     "C3", "I1", "I2", "I3", "",   ""};

enum class AtcRatingTable { kRebuild, kReset };

// The facility index of a callsign by its last three characters; 0 for any
// other ending and for callsigns shorter than three.
std::uint32_t AtcFacilityOf(std::string_view callsign);
// Names outside their table are empty: a rating or facility index comes from
// a peer and is never trusted to lie inside it.
const char* AtcFacilityName(std::uint32_t facility);
const char* AtcRatingName(std::uint32_t rating, AtcRatingTable table);
// "callsign\tfrequency\tfacility\trating\tname", the frequency "%3.3f".
std::string AtcListLine(const AtcListEntry& entry, AtcRatingTable table);
// The callsign a line begins with: its text up to the first tab.
std::string_view AtcLineCallsign(std::string_view line);
