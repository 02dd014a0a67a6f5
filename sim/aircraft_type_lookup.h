// FindAircraftTypeIndex's answers for one table, by hash: the scan asks once per
// model, and a linear pass over the type table for each of 43,000 models
// would cost more than the folder walk itself.
#pragma once

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
  bool usable_ = false;
  std::unordered_map<std::string, int> exact_;
  std::unordered_map<std::string, int> firstThree_;
};
