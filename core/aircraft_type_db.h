// The aircraft type table from tk_aircrafts.txt:
// "Manufacturer<TAB>Model<TAB>TYPE<TAB>CLASS<TAB>W" lines, and the list of
// distinct ICAO types built from it for the local-aircraft rules dialog.
#pragma once

#include <cstddef>
#include <string_view>

#include "core/table_memory.h"

constexpr int kAircraftTypeSlots = 12'000;
constexpr int kMaxAircraftTypes = 11'999;
constexpr std::size_t kAircraftTypeLineMax = 148;  // bytes kept of a line
constexpr int kAircraftTypesPerPause = 100;        // 1-ms sleep after each such batch

struct AircraftTypeRecord {
  char manufacturer[128];
  char model[128];
  char icaoType[6];   // ICAO type designator
  char classCode[6];  // e.g. "L2J": kind, engine count, engine type (J/P/T)
  char fifth[4];      // short fifth column (at most 3 characters), e.g. weight class
};
static_assert(sizeof(AircraftTypeRecord) == 272, "AircraftTypeRecord is 272 bytes");

struct AircraftTypeDb {
  AircraftTypeRecord* records = nullptr;  // 12,000 slots from AllocateTables, never freed
  int count = 0;
  bool loaded = false;

  bool Allocated() const { return records != nullptr; }
};

struct IcaoTypeEntry {
  char type[6];
  char label[1024];  // "%s %s ( %s )": manufacturer, model, class code
};
static_assert(sizeof(IcaoTypeEntry) == 1'030, "IcaoTypeEntry is 1,030 bytes");

struct IcaoTypeList {
  TablePtr<IcaoTypeEntry> entries;
  int count = 0;

  const IcaoTypeEntry* begin() const { return entries.get(); }
  const IcaoTypeEntry* end() const { return entries.get() + count; }
};

// The one table of each kind in the process (never destroyed).
AircraftTypeDb& g_aircraftTypeDb();
IcaoTypeList& g_icaoTypeList();

// 1 already loaded, 2 loaded now, -1 file missing (or the table was never
// allocated), -10 the type list could not be built (the table stays unloaded).
int LoadAircraftTypes();  // g_appPaths().aircraftTypesFile
int LoadAircraftTypes(std::string_view path);

// Index of the record of that ICAO type (case ignored), else of the first whose
// type shares its first 3 characters; -1 no text (null or empty) or table not
// loaded, -4 no match or empty table.
int FindAircraftTypeIndex(const char* type);

// One entry per distinct type (case ignored) in file order, labelled from the
// first record of the type: 1000, or -1 when the list cannot be allocated.
int BuildIcaoTypeList();
