// FindAircraftTypeIndex's answers for one table, by hash: the scan asks once per
// model, and a linear pass over the type table for each of 43,000 models
// would cost more than the folder walk itself.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/aircraft_type_db.h"

class AircraftTypeLookup {
 public:
  explicit AircraftTypeLookup(const AircraftTypeDb& db);
  // As FindAircraftTypeIndex: the first record of that type (case ignored),
  // else the first whose type shares its first 3 characters; -1 no text or
  // table not loaded, -4 no match.
  int Find(std::string_view type) const;

 private:
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  using Map = std::unordered_map<std::string, int, TextHash, std::equal_to<>>;

  bool usable_ = false;
  Map exact_;
  Map firstThree_;
};
