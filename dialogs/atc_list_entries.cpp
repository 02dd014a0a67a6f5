#include "dialogs/atc_list_entries.h"

#include <cstdio>

#include "core/text_fields.h"

AtcListEntry DefaultUnicomEntry() {
  AtcListEntry entry;
  std::string_view(kUnicomCallsign).copy(entry.callsign.data(), entry.callsign.size() - 1);
  entry.frequencyMhz = kUnicomFrequencyMhz;
  entry.facility = 0;
  entry.rangeNm = kUnicomRangeNm;
  entry.rating = kUnicomRating;
  return entry;
}

std::uint32_t AtcFacilityOf(std::string_view callsign) {
  if (callsign.size() < 3) return 0;
  struct Ending {
    const char* tail;
    std::uint32_t facility;
  };
  constexpr Ending kEndings[] = {{"FSS", 1}, {"CLR", 2}, {"GND", 3}, {"TWR", 4}, {"APP", 5},
                                 {"DEP", 5}, {"CTR", 6}, {"FIR", 7}};
  const std::string_view tail = callsign.substr(callsign.size() - 3);
  for (const Ending& e : kEndings) {
    if (tail == e.tail) return e.facility;
  }
  return 0;
}

const char* AtcFacilityName(std::uint32_t facility) {
  return facility < kAtcFacilityNames.size() ? kAtcFacilityNames[facility] : "";
}

const char* AtcRatingName(std::uint32_t rating, AtcRatingTable table) {
  if (table == AtcRatingTable::kRebuild) {
    return rating < kAtcRatingNamesRebuild.size() ? kAtcRatingNamesRebuild[rating] : "";
  }
  return rating < kAtcRatingNamesReset.size() ? kAtcRatingNamesReset[rating] : "";
}

std::string AtcListLine(const AtcListEntry& entry, AtcRatingTable table) {
  const std::string callsign(FieldText(entry.callsign));
  const std::string name(FieldText(entry.name));
  const char* facility = AtcFacilityName(entry.facility);
  const char* rating = AtcRatingName(entry.rating, table);
  const int length = std::snprintf(nullptr, 0, "%s\t%3.3f\t%s\t%s\t%s", callsign.c_str(), entry.frequencyMhz,
                                   facility, rating, name.c_str());
  if (length <= 0) return {};
  std::string line(static_cast<std::size_t>(length), '\0');
  std::snprintf(line.data(), line.size() + 1, "%s\t%3.3f\t%s\t%s\t%s", callsign.c_str(), entry.frequencyMhz, facility,
                rating, name.c_str());
  return line;
}

std::string_view AtcLineCallsign(std::string_view line) { return line.substr(0, line.find('\t')); }
