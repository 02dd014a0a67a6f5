// The scan of X-Plane's Aircraft folder into the installed-model table, and
// the two settings that filter and order the table before the rules apply.
#pragma once

#include <string>
#include <string_view>

#include "core/aircraft_type_db.h"
#include "core/local_model_record.h"
#include "sim/model_log.h"

class CBaseThread;

inline constexpr char kModelFileIncludes[] = "*.acf";
inline constexpr char kModelFolderExcludes[] =
    "Experimental;Mars Planes;Radio Control;Science Fiction;Space Ships;Instructions";

struct ModelScanCount {
  int filesFound = 0;    // .acf files the walk accepted
  int modelsStored = 0;  // records entered
};

// Walks `aircraftFolder` and rebuilds the tables: the new working table is
// built in a scratch array, copied into the copy table, then swapped in under
// AiLock. Over-long titles and the closing "Read: ..." line go to `log`.
// Nothing happens (zero counts) when the tables are not allocated.
ModelScanCount ScanAircraftFolder(const std::string& aircraftFolder, LocalModelTables& tables,
                                  const AircraftTypeDb& types, ModelLog& log);

// The working table restored from the copy table without every model whose
// "title type spare" text (upper-cased) contains one of the blank-separated
// words of `excludedPlanes` (any case). Nothing when the copy table is empty.
void ApplyExcludedPlanes(LocalModelTables& tables, std::string_view excludedPlanes);
// The working table reordered: for each blank-separated prefix of
// `packageOrder` (upper-cased) in turn, the models whose title begins with the
// prefix and a blank (exact case), then the rest in their order. Nothing when
// the working table or the setting is empty.
void ApplyPackageOrder(LocalModelTables& tables, std::string_view packageOrder);

// Makes `from` the working table under AiLock (the arrays swap places), with `count` models.
void PublishWorkingTable(LocalModelTables& tables, LocalModelTable& from, int count);

// The program's scan: the X-Plane folder's "Aircraft", the program's tables and
// type table, the program log; then the scan-done flag and the plug-in notice.
void ScanXPlaneAircraft();

// True once a scan has finished: the table is valid from then on.
bool ModelScanDone();
void SetModelScanDone(bool done);

// Tells the plug-in link that the installed models are known, when a scan has
// finished and the link object runs its thread: 1 posted, else 0. Called at the
// scan's end; the link sends XTK_CMD_MODELS_SCANNED once per link, when both
// the scan and its handshake have ended, whichever ends last.
int SendModelsScannedToPlugin(CBaseThread* sender);
