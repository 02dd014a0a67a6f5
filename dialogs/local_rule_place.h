// The LOCAL_AIRCRAFTS lines of "Rules.txt" as the local rules dialog reads
// them ("NNN=title part{{type,airline}}"), and where a new rule goes among them.
#pragma once

#include <string>
#include <string_view>

struct LocalRuleLine {
  int number = 0;
  std::string titlePart;
  std::string type;
  std::string airline;
};

enum class LocalRuleParse { kRule, kNoEquals, kNoOpenBraces, kNoCloseBraces };
LocalRuleParse ParseLocalRuleLine(std::string_view entry, LocalRuleLine& rule);

// The place codes.
inline constexpr int kLocalPlaceNotLoaded = 0;         // write it as rule 0
inline constexpr int kLocalPlaceNew = 1;               // write it as the largest number + 1
inline constexpr int kLocalPlaceReplace = 2;           // write it over the overlapping rule
inline constexpr int kLocalPlaceOtherAirline = 3;
inline constexpr int kLocalPlaceSameType = -1;
inline constexpr int kLocalPlaceSameAirline = -2;
inline constexpr int kLocalPlaceSameTypeAndAirline = -3;
inline constexpr int kLocalPlaceNoOpenBraces = -20;
inline constexpr int kLocalPlaceNoCloseBraces = -30;

// The first rule whose title part overlaps the new one (either holds the
// other, case counts) decides; `number` is then its number. Without one,
// `number` is the largest number found (-1 for none). A corrupt line prints
// its line in the chat window.
int FindLocalRulePlace(const std::string& rulesPath, std::string_view titlePart, std::string_view type,
                       std::string_view airline, int& number);
