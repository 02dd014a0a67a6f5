#include "sim/aircraft_type_lookup.h"

#include <array>

#include "core/text_fields.h"
#include "win/ascii_case.h"

AircraftTypeLookup::AircraftTypeLookup(const AircraftTypeDb& db) : usable_(db.loaded && db.Allocated()) {
  if (!usable_) return;
  for (int i = 0; i < db.count; ++i) {
    const std::string type = AsciiUpper(FieldText(db.records[i].icaoType));
    exact_.try_emplace(type, i);
    firstThree_.try_emplace(type.substr(0, 3), i);
  }
}

int AircraftTypeLookup::Find(std::string_view type) const {
  if (type.empty() || !usable_) return -1;
  // Model types are short: upper-case them on the stack.
  std::array<char, 16> buffer{};
  std::string owned;
  std::string_view wanted;
  if (type.size() <= buffer.size()) {
    for (std::size_t i = 0; i < type.size(); ++i) buffer[i] = AsciiToUpper(type[i]);
    wanted = std::string_view(buffer.data(), type.size());
  } else {
    owned = AsciiUpper(type);
    wanted = owned;
  }
  if (const auto it = exact_.find(wanted); it != exact_.end()) return it->second;
  if (const auto it = firstThree_.find(wanted.substr(0, 3)); it != firstThree_.end()) return it->second;
  return -4;
}
