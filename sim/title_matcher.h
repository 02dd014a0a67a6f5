// Turns a model or aircraft title into an ICAO type designator: the fixed
// keyword decision list (certain), then the title-prefix rules of our own and
// the AI packages' titles; sim/title_type_scorer.h guesses from the type table
// when both have no answer.
#pragma once

#include <cstddef>
#include <string_view>

#include "sim/title_rules.h"

constexpr int kTitleMatchCertain = 10'000;   // the decision list, a special title, or a type already given
constexpr int kTitleMatchOwnPrefix = 1;      // "TAVELKOR " or "GLOBS "
constexpr int kTitleMatchAtocPrefix = 2;     // "ATOC "
constexpr int kTitleMatchNoTitle = -1;       // title or type buffer missing
constexpr int kTitleMatchEmptyTitle = -2;
constexpr std::size_t kTitleTypeBufferSize = kTitleTypeLength + 1;  // the least a type buffer holds

// In place: upper-cases, trims blanks (' ') at both ends, then turns every
// '_', '-', ':', ';', '\' and '/' into a blank (blanks are not collapsed).
// Nothing happens for a null or empty text.
void NormaliseTitle(char* text);

// `type` is an in/out buffer of at least kTitleTypeBufferSize characters; it
// is written (terminated) only with an answer. The military flag (may be
// null) is cleared on entry and set for the types the list marks. A type
// already in the buffer is kept and answered as certain, except for the
// special titles, which always give "BE58".
int MatchTitleToIcaoType(const char* title, char* type, int* military);
int MatchTitleToIcaoType(std::string_view title, char* type, int* military);

// The 1-based number of the decision-list rule that answers the title (case
// ignored), with its answer; 0 when none does.
std::size_t FindTitleRule(std::string_view title, TitleRuleAnswer& answer);
