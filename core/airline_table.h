// The airline table from tk_airlines.txt: "CODE<TAB>NAME" lines,
// three-letter code and a name of at most 31 characters, both upper-case.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/table_memory.h"

constexpr int kMaxAirlines = 5'000;
constexpr std::size_t kAirlineNameMax = 31;

struct AirlineRecord {
  char code[4];   // three letters and a terminator
  char name[32];  // at most 31 characters
};
static_assert(sizeof(AirlineRecord) == 36, "AirlineRecord is 36 bytes");

struct AirlineTable {
  TablePtr<AirlineRecord> records;
  int capacity = 0;
  int count = 0;  // records actually parsed

  const AirlineRecord* begin() const { return records.get(); }
  const AirlineRecord* end() const { return records.get() + count; }
  void Clear() {
    count = 0;
    capacity = 0;
    records.reset();
  }
};

// The one airline table of the process (never destroyed).
AirlineTable& g_airlineTable();

// Loads the airline file at `path` into g_airlineTable(). Problems are boxed and
// leave the table empty; the result is always 1.
int LoadAirlines(std::string_view path);
