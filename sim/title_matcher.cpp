#include "sim/title_matcher.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "sim/title_keyword_index.h"
#include "win/ascii_case.h"

namespace {
struct CompiledMatcher {
  const TitleRuleSet& set = CompiledTitleRules();
  TitleKeywordIndex index{set};
};

const CompiledMatcher& Matcher() {
  static const CompiledMatcher matcher;
  return matcher;
}

// Titles some sceneries and the program itself give to objects that are no
// aircraft of their own; they are compared whatever their case, as a title
// reaches the list upper-cased.
constexpr std::array<std::string_view, 2> kSpecialTitles = {"Tower Controller", "Veh_Land_Car_Transparent"};
constexpr std::string_view kSpecialTitleType = "BE58";

struct PrefixRule {
  std::string_view text;
  int result;
};
constexpr std::array<PrefixRule, 3> kPrefixRules = {{
    {"TAVELKOR ", kTitleMatchOwnPrefix},
    {"GLOBS ", kTitleMatchOwnPrefix},
    {"ATOC ", kTitleMatchAtocPrefix},
}};
constexpr std::size_t kPrefixWordMax = 1'023;
constexpr std::size_t kPrefixWordLong = 8;  // a word this long is no type
constexpr std::string_view kLongPrefixWordType = "C172";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && AsciiEqualNoCase(text.substr(0, prefix.size()), prefix);
}

void WriteType(char* type, std::string_view value, bool upperCase) {
  const std::size_t length = std::min(value.size(), kTitleTypeLength);
  for (std::size_t i = 0; i < length; ++i) type[i] = upperCase ? AsciiToUpper(value[i]) : value[i];
  type[length] = '\0';
}

// The prefix's first occurrence must start at the first or second character.
// The word after it up to a blank, CR, LF or the end is the type; an empty
// word gives nothing, so the next prefix rule is tried.
int MatchTitlePrefix(std::string_view title, char* type) {
  for (const PrefixRule& rule : kPrefixRules) {
    std::size_t start = std::string_view::npos;
    for (std::size_t at = 0; at < 2 && start == std::string_view::npos; ++at) {
      if (at <= title.size() && StartsWithNoCase(title.substr(at), rule.text)) start = at + rule.text.size();
    }
    if (start == std::string_view::npos) continue;
    const std::string_view rest = title.substr(start);
    const std::size_t end = std::min({rest.find_first_of(" \r\n"), rest.size(), kPrefixWordMax});
    if (end == 0) continue;
    if (end < kPrefixWordLong) {
      WriteType(type, rest.substr(0, end), true);
    } else {
      WriteType(type, kLongPrefixWordType, false);
    }
    return rule.result;
  }
  return 0;
}
}  // namespace

void NormaliseTitle(char* text) {
  if (text == nullptr || text[0] == '\0') return;
  // One pass upper-cases and finds the first and the end of the last non-blank;
  // the separators become blanks only after the trim, so a separator at either
  // end stays as a blank.
  std::size_t length = 0;
  std::size_t first = std::string_view::npos;
  std::size_t end = 0;
  for (; text[length] != '\0'; ++length) {
    const char c = AsciiToUpper(text[length]);
    text[length] = c;
    if (c != ' ') {
      if (first == std::string_view::npos) first = length;
      end = length + 1;
    }
  }
  if (first == std::string_view::npos) {
    text[0] = '\0';
    return;
  }
  const std::size_t kept = end - first;
  for (std::size_t i = 0; i < kept; ++i) {
    char c = text[first + i];
    switch (c) {
      case '_': case '-': case ':': case ';': case '\\': case '/': c = ' '; break;
      default: break;
    }
    text[i] = c;
  }
  text[kept] = '\0';
}

std::size_t FindTitleRule(std::string_view title, TitleRuleAnswer& answer) {
  const CompiledMatcher& matcher = Matcher();
  TitleKeywordHits hits;
  matcher.index.Scan(title, hits);
  const auto contains = [&hits](std::uint32_t keyword) { return hits.Contains(keyword); };
  std::size_t found = 0;
  hits.ForEachRule([&](std::size_t rule) {
    if (!EvaluateTitleRule(matcher.set, matcher.set.rules[rule], contains, answer)) return false;
    found = rule + 1;
    return true;
  });
  return found;
}

int MatchTitleToIcaoType(const char* title, char* type, int* military) {
  if (military != nullptr) *military = 0;
  if (title == nullptr || type == nullptr) return kTitleMatchNoTitle;
  return MatchTitleToIcaoType(std::string_view(title), type, military);
}

int MatchTitleToIcaoType(std::string_view title, char* type, int* military) {
  if (military != nullptr) *military = 0;
  if (type == nullptr) return kTitleMatchNoTitle;
  if (title.empty()) return kTitleMatchEmptyTitle;
  for (const std::string_view special : kSpecialTitles) {
    if (AsciiEqualNoCase(title, special)) {
      WriteType(type, kSpecialTitleType, false);
      return kTitleMatchCertain;
    }
  }
  if (type[0] != '\0') return kTitleMatchCertain;

  TitleRuleAnswer answer;
  if (FindTitleRule(title, answer) != 0) {
    WriteType(type, answer.Type(), false);
    if (military != nullptr) *military = answer.military ? 1 : 0;
    return kTitleMatchCertain;
  }
  return MatchTitlePrefix(title, type);
}
