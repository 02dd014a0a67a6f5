// The guess of an ICAO type from a title by points against the aircraft type
// table, for titles the decision list does not know.
#pragma once

#include <string_view>

#include "core/aircraft_type_db.h"

constexpr int kTitleGuessAiPackage = 9'999;  // an AI package's title: its second word is the type

// Points of one word (upper-cased, not empty) against one type record.
int ScoreTitleWord(std::string_view word, const AircraftTypeRecord& record);

// The winning total, with the winner's type written into `type` (at least 5
// characters, terminated; at most 4 characters of the type); 0 with `type`
// untouched when no record scores, the title or buffer is missing, or the
// table is not loaded.
int GuessIcaoTypeFromTitle(const char* title, char* type, const AircraftTypeDb& db);
// Against the program's type table.
int GuessIcaoTypeFromTitle(const char* title, char* type);
