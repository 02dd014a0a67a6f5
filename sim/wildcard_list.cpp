#include "sim/wildcard_list.h"

#include <cstddef>

#include "win/ascii_case.h"

namespace {
bool SameChar(char pattern, char name) { return pattern == '?' || AsciiToUpper(pattern) == AsciiToUpper(name); }

bool EqualAt(std::string_view part, std::string_view name, std::size_t at) {
  for (std::size_t i = 0; i < part.size(); ++i)
    if (!SameChar(part[i], name[at + i])) return false;
  return true;
}

bool Occurs(std::string_view part, std::string_view name) {
  if (part.size() > name.size()) return false;
  for (std::size_t at = 0; at + part.size() <= name.size(); ++at)
    if (EqualAt(part, name, at)) return true;
  return false;
}
}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  if (pattern.empty()) return false;
  const std::size_t firstStar = pattern.find('*');
  const std::size_t lastStar = pattern.rfind('*');
  const std::string_view prefix = pattern.substr(0, firstStar);
  const std::string_view suffix = lastStar == std::string_view::npos ? pattern : pattern.substr(lastStar + 1);

  if (pattern.front() != '*') {
    const std::size_t reach = prefix.size() < name.size() ? prefix.size() : name.size();
    if (!EqualAt(prefix.substr(0, reach), name, 0)) return false;
  }
  if (pattern.back() != '*') {
    if (suffix.size() > name.size()) return false;
    if (!EqualAt(suffix, name, name.size() - suffix.size())) return false;
  }
  if (firstStar != std::string_view::npos) {
    std::size_t start = firstStar + 1;
    while (start < lastStar) {
      const std::size_t end = pattern.find('*', start);
      const std::string_view part = pattern.substr(start, end - start);
      if (!part.empty() && !Occurs(part, name)) return false;
      start = end + 1;
    }
  }
  return true;
}

bool MatchesWildcardList(std::string_view list, std::string_view name) {
  while (!list.empty()) {
    const std::size_t semicolon = list.find(';');
    const std::string_view pattern = list.substr(0, semicolon);
    if (MatchesWildcard(pattern, name)) return true;
    if (semicolon == std::string_view::npos) break;
    list.remove_prefix(semicolon + 1);
  }
  return false;
}
