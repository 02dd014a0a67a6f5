// The data files of the program folder: the airports ("data.xtk", 16-byte
// records), the airlines, the aircraft types and the IATA table. The first
// byte picks the file, the rest is its content.
#include <cstdint>
#include <cstring>

#include "core/aircraft_type_db.h"
#include "core/airline_table.h"
#include "core/airport_db.h"
#include "core/big_tables.h"
#include "core/iata_table.h"
#include "fuzz/fuzz_support.h"

namespace {

bool Terminated(const char* text, std::size_t size) { return std::memchr(text, '\0', size) != nullptr; }

void CheckAirports() {
  const AirportDb& db = g_airportDb();
  FUZZ_CHECK(db.count >= 0 && db.count <= kMaxAirports);
  for (const AirportRecord& record : db) FUZZ_CHECK(Terminated(record.icao, sizeof record.icao));
}

void CheckAirlines() {
  const AirlineTable& table = g_airlineTable();
  FUZZ_CHECK(table.count >= 0 && table.count <= kMaxAirlines && table.count <= std::max(table.capacity, 0));
  for (const AirlineRecord& record : table) {
    FUZZ_CHECK(Terminated(record.code, sizeof record.code));
    FUZZ_CHECK(Terminated(record.name, sizeof record.name));
  }
}

void CheckAircraftTypes() {
  const AircraftTypeDb& db = g_aircraftTypeDb();
  FUZZ_CHECK(db.count >= 0 && db.count <= kMaxAircraftTypes);
  for (int i = 0; i < db.count; ++i) {
    const AircraftTypeRecord& record = db.records[i];
    FUZZ_CHECK(Terminated(record.manufacturer, sizeof record.manufacturer));
    FUZZ_CHECK(Terminated(record.model, sizeof record.model));
    FUZZ_CHECK(Terminated(record.icaoType, sizeof record.icaoType));
    FUZZ_CHECK(Terminated(record.classCode, sizeof record.classCode));
    FUZZ_CHECK(Terminated(record.fifth, sizeof record.fifth));
  }
  const IcaoTypeList& list = g_icaoTypeList();
  FUZZ_CHECK(list.count >= 0 && list.count <= db.count);
  for (const IcaoTypeEntry& entry : list) {
    FUZZ_CHECK(Terminated(entry.type, sizeof entry.type));
    FUZZ_CHECK(Terminated(entry.label, sizeof entry.label));
  }
}

void CheckIata() {
  const IataIcaoTable& table = g_iataIcaoTable();
  FUZZ_CHECK(table.count >= 0 && table.count <= kMaxIataIcao);
  for (int i = 0; i < table.count; ++i) {
    const IataIcaoRecord& record = table.records[i];
    FUZZ_CHECK(Terminated(record.iata, sizeof record.iata));
    FUZZ_CHECK(Terminated(record.icao, sizeof record.icao));
    FUZZ_CHECK(Terminated(record.name, sizeof record.name));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  QuietLibrary();
  if (AllocateTables() != 1) return 1;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  QuietLibrary();
  const auto content = AsSpan(data + 1, size - 1);
  switch (data[0] % 4) {
    case 0:
      g_airportDb().Clear();
      WriteFuzzFile(kAirportFileName, content);
      LoadAirports(FuzzFolder());
      CheckAirports();
      break;
    case 1:
      g_airlineTable().Clear();
      LoadAirlines(WriteFuzzFile("tk_airlines.txt", content));
      CheckAirlines();
      break;
    case 2:
      g_aircraftTypeDb().loaded = false;
      g_aircraftTypeDb().count = 0;
      g_icaoTypeList().entries.reset();
      g_icaoTypeList().count = 0;
      LoadAircraftTypes(WriteFuzzFile("tk_aircrafts.txt", content));
      CheckAircraftTypes();
      break;
    default:
      g_iataIcaoTable().count = 0;
      LoadIataIcao(WriteFuzzFile("IATA_ICAO.txt", content));
      CheckIata();
      break;
  }
  return 0;
}
