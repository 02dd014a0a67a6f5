// The guess of an ICAO type from a title by points against the aircraft type
// table, for titles the decision list does not know.
#pragma once

#include <string_view>

#include "core/aircraft_type_db.h"
#include "sim/title_type_scorer_index.h"

constexpr int kTitleGuessAiPackage = 9'999;  // an AI package's title: its second word is the type

// Points of one word (not empty; case ignored) against one type record.
int ScoreTitleWord(std::string_view word, const AircraftTypeRecord& record);

// The winning total, with the winner's type written into `type` (at least 5
// characters, terminated; at most 4 characters of the type); 0 with `type`
// untouched when no record scores, the title or buffer is missing, or the
// table is not loaded. Every word of the title is scored against every record;
// the highest points win, the earliest word and then the earliest record on a tie.
int GuessIcaoTypeFromTitle(const char* title, char* type, const TitleTypeIndex& index);
// Builds the index of `db` for this one title: callers with many titles build
// a TitleTypeIndex once and use the form above.
int GuessIcaoTypeFromTitle(const char* title, char* type, const AircraftTypeDb& db);
// Against the program's type table, through an index built on first use after
// the table has loaded. The program loads its table once and never rewrites
// it; the index is rebuilt when the table's records, count or loaded state
// change, not when records are rewritten in place.
int GuessIcaoTypeFromTitle(const char* title, char* type);
