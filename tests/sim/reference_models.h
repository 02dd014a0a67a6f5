// Straightforward versions of the title-to-type scorer, the local model choice
// and the Aircraft-folder scan: the plain loops over the type table, the model
// table and one lstat per folder entry that the program's indexed versions
// replaced. They are the reference of the differential tests and must keep
// their plain form; the program's versions are held to their answers.
#pragma once

#include <string>

#include "core/aircraft_type_db.h"
#include "core/airline_table.h"
#include "core/local_model_record.h"
#include "sim/local_model_choice.h"
#include "sim/model_log.h"
#include "sim/model_scan.h"

namespace reference {
int GuessIcaoTypeFromTitle(const char* title, char* type, const AircraftTypeDb& db);

int ScoreModelsByTitle(ModelQuery& query, const LocalModelTable& models);
int ScoreModelsByAirline(ModelQuery& query, const LocalModelTable& models, const AirlineTable& airlines);
int ChooseLocalModel(ModelQuery& query, const LocalModelTable& models, const AirlineTable& airlines,
                     bool textureFollowCallsign);

// Walks with readdir and one lstat per entry, each folder sorted without case,
// and stores the models as the program's scan does.
ModelScanCount ScanAircraftFolder(const std::string& aircraftFolder, LocalModelTables& tables,
                                  const AircraftTypeDb& types, ModelLog& log);
}  // namespace reference
