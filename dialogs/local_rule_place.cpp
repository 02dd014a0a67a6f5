#include "dialogs/local_rule_place.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "dialogs/rules_dialog_common.h"
#include "sim/rule_appliers.h"
#include "sim/rules_file.h"

namespace {
constexpr std::size_t kTitlePartMax = 111;
constexpr char kLocalRules[] = "ICAO type translation rules";
}  // namespace

LocalRuleParse ParseLocalRuleLine(std::string_view entry, LocalRuleLine& rule) {
  const std::size_t equals = entry.find('=');
  if (equals == std::string_view::npos) return LocalRuleParse::kNoEquals;
  rule = LocalRuleLine{};
  rule.number = std::atoi(std::string(entry.substr(0, equals)).c_str());
  const std::string_view value = entry.substr(equals + 1);
  const std::size_t open = value.find("{{");
  if (open == std::string_view::npos) return LocalRuleParse::kNoOpenBraces;
  rule.titlePart = value.substr(0, std::min(open, kTitlePartMax));
  const std::size_t close = value.find("}}", open + 2);
  if (close == std::string_view::npos) return LocalRuleParse::kNoCloseBraces;
  const std::string_view inside = value.substr(open + 2, close - open - 2);
  const std::size_t comma = inside.find(',');
  rule.type = inside.substr(0, std::min(comma, kRuleTypeMax));
  if (comma != std::string_view::npos) rule.airline = inside.substr(comma + 1, kRuleAirlineMax);
  return LocalRuleParse::kRule;
}

int FindLocalRulePlace(const std::string& rulesPath, std::string_view titlePart, std::string_view type,
                       std::string_view airline, int& number) {
  RulesFile file;
  if (file.Load(rulesPath) == 0) return kLocalPlaceNotLoaded;
  int largest = -1;
  std::array<char, RulesFile::kEntryMax + 1> entry{};
  for (int r = file.GetNextEntry(kLocalAircraftsSection, entry.data(), entry.size(), true); r == RulesFile::kEntryFound;
       r = file.GetNextEntry(kLocalAircraftsSection, entry.data(), entry.size(), false)) {
    LocalRuleLine rule;
    const LocalRuleParse parsed = ParseLocalRuleLine(entry.data(), rule);
    if (parsed == LocalRuleParse::kNoEquals) continue;
    largest = std::max(largest, rule.number);
    number = rule.number;
    if (parsed == LocalRuleParse::kNoOpenBraces) {
      PrintCorruptRulesLine("DTRE01", kLocalRules);
      return kLocalPlaceNoOpenBraces;
    }
    if (parsed == LocalRuleParse::kNoCloseBraces) {
      PrintCorruptRulesLine("DTRE02", kLocalRules);
      return kLocalPlaceNoCloseBraces;
    }
    const std::string_view held(rule.titlePart);
    if (held.find(titlePart) == std::string_view::npos && titlePart.find(held) == std::string_view::npos) continue;
    if (type.empty()) return rule.airline == airline ? kLocalPlaceSameAirline : kLocalPlaceOtherAirline;
    if (rule.type != type) return kLocalPlaceReplace;
    if (airline.empty()) return kLocalPlaceSameType;
    return rule.airline == airline ? kLocalPlaceSameTypeAndAirline : kLocalPlaceOtherAirline;
  }
  number = largest;
  return kLocalPlaceNew;
}
