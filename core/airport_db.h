// The airport table from data.xtk in the program folder: 16-byte
// little-endian file records {ICAO 4 chars, latitude, longitude, elevation in
// metres}, kept in 32-byte slots with elevations in feet. Read by the nearest
// airport and METAR-station searches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/table_memory.h"

constexpr int kMaxAirports = 25'000;
constexpr std::size_t kAirportFileRecordSize = 16;
constexpr double kFeetPerMetre = 3.2808;
constexpr const char* kAirportFileName = "data.xtk";

// One airport in memory: 32 bytes. The file's 4-character code is kept with a
// terminator so that it is a text wherever it is used as one.
struct AirportRecord {
  char icao[5];       // 4 characters and a terminator
  char spare1[3];
  float latitude;     // degrees
  float longitude;    // degrees, -180..180 after loading
  float elevation;    // feet after loading (metres in the file)
  float spare2;
  double distance;    // metres, written by the METAR-station search

  std::string_view Icao() const;
};
static_assert(sizeof(AirportRecord) == 32, "AirportRecord is a 32-byte slot");

struct AirportDb {
  TablePtr<AirportRecord> records;
  int count = 0;

  AirportRecord* begin() { return records.get(); }
  AirportRecord* end() { return records.get() + count; }
  const AirportRecord* begin() const { return records.get(); }
  const AirportRecord* end() const { return records.get() + count; }
  void Clear() {
    count = 0;
    records.reset();
  }
};

// The one airport table of the process (never destroyed).
AirportDb& g_airportDb();

// Decodes one 16-byte file record field by field (little-endian); the code is
// terminated and the values are stored as in the file (metres, raw longitude).
void DecodeAirportFileRecord(const std::uint8_t (&bytes)[kAirportFileRecordSize], AirportRecord& out);

// Loads "data.xtk" of `programFolder` into g_airportDb(): 1, or 0 after a box.
int LoadAirports(std::string_view programFolder);
