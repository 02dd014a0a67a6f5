// Name patterns of the folder walk: ';'-separated lists of patterns with '*'
// and '?', case ignored (ASCII letters).
#pragma once

#include <string_view>

// One pattern: the part before the first '*' must begin the name (a name
// shorter than that part passes as far as it reaches), the part after the last
// '*' must end it (the whole part: a shorter name fails), and every part between
// two '*' must occur somewhere in the name, each tested on its own, not in
// sequence. '?' stands for any one character. A pattern without '*' thus
// matches the equal name only.
bool MatchesWildcard(std::string_view pattern, std::string_view name);

// True when the name matches at least one pattern of the list; false for an
// empty list. Empty patterns (";;") match nothing.
bool MatchesWildcardList(std::string_view list, std::string_view name);
