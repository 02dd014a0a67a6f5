// The own aircraft's ICAO type: found from the installed model of the title
// the simulator reported, or set from the row the pilot chose in the aircraft
// type table; with it the class code, fifth column, engine kind, placement
// offsets and the identity that peers receive.
#pragma once

#include "core/local_model_record.h"

inline constexpr int kNoChosenTypeIndex = -1;

// `typeIndex` is a row of the program's aircraft type table that the pilot
// chose, or kNoChosenTypeIndex to look the type up. The caller has applied
// the local rules to `models`, which are read under AiLock: the working table
// first (it carries the rule types), then the copy of the scan (a model left
// out by ExcludedPlanes still names the own type). A title that no installed
// model has is given the type the scan would give such a model.
void MatchOwnTitleToIcao(int typeIndex, const LocalModelTables& models);

// The program's form: the local rules applied first, then the program's tables.
void MatchTitleToIcao(int typeIndex);
