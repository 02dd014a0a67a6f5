// The ICAO data files and tables: airports (data.xtk), airlines
// (tk_airlines.txt), aircraft types (tk_aircrafts.txt), IATA codes
// (IATA_ICAO.txt), and the big fixed tables. Every box is titled "Tavelkor Error".
#pragma once

#include <string_view>

#include "core/aircraft_type_db.h"
#include "core/airline_table.h"
#include "core/airport_db.h"
#include "core/big_tables.h"
#include "core/iata_table.h"
#include "core/text_fields.h"

constexpr const char* kIcaoErrorTitle = "Tavelkor Error";

// Loads the airports then the airlines: 0 when the airport file fails (the
// airlines are then not read), else 1 (airline problems are boxed, still 1).
int LoadIcaoData();  // g_appPaths().programFolder and .airlinesFile
int LoadIcaoData(std::string_view programFolder, std::string_view airlinesFile);
