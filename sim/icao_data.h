// The ICAO data files and tables: airports (data.xtk), airlines
// (tk_airlines.txt), aircraft types (tk_aircrafts.txt), IATA codes
// (IATA_ICAO.txt), and the big fixed tables. Every box is titled "Tavelkor Error".
#pragma once

#include <string_view>

#include "sim/aircraft_type_db.h"
#include "sim/airline_table.h"
#include "sim/airport_db.h"
#include "sim/big_tables.h"
#include "sim/iata_table.h"
#include "sim/text_fields.h"

constexpr const char* kIcaoErrorTitle = "Tavelkor Error";

// Loads the airports then the airlines: 0 when the airport file fails (the
// airlines are then not read), else 1 (airline problems are boxed, still 1).
int LoadIcaoData();  // g_appPaths().programFolder and .airlinesFile
int LoadIcaoData(std::string_view programFolder, std::string_view airlinesFile);
