#include "win/profile_text.h"

#include <algorithm>

#include "win/ascii_case.h"

namespace profile_text {
namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

Line Classify(std::string_view raw, std::string_view content) {
  Line line;
  line.raw = raw;
  const std::string_view trimmed = Trim(content);
  if (trimmed.empty() || trimmed.front() == ';') return line;
  if (trimmed.front() == '[') {
    const std::string_view inside = trimmed.substr(1);
    line.kind = LineKind::Section;
    line.name = Trim(inside.substr(0, inside.find(']')));
    return line;
  }
  const std::size_t equals = trimmed.find('=');
  if (equals == std::string_view::npos) return line;
  const std::string_view name = Trim(trimmed.substr(0, equals));
  if (name.empty()) return line;
  line.kind = LineKind::Key;
  line.name = name;
  line.value = Trim(trimmed.substr(equals + 1));
  return line;
}

std::optional<std::size_t> FindSection(const std::vector<Line>& lines, std::string_view section, std::size_t from = 0) {
  for (std::size_t i = from; i < lines.size(); ++i) {
    if (lines[i].kind == LineKind::Section && SameName(lines[i].name, section)) return i;
  }
  return std::nullopt;
}

// The first line after the section's header that belongs to the next section (or the end).
std::size_t SectionEnd(const std::vector<Line>& lines, std::size_t header) {
  std::size_t i = header + 1;
  while (i < lines.size() && lines[i].kind != LineKind::Section) ++i;
  return i;
}

std::string KeyLine(std::string_view key, std::string_view value) {
  std::string line;
  line.reserve(key.size() + value.size() + 3);
  line.append(key).append("=").append(value).append(kLineEnd);
  return line;
}

void AppendRaw(std::string& out, const Line& line) { out.append(line.raw); }

// A line that ends the file without a line end gets one before anything follows it.
void AppendClosed(std::string& out, const Line& line) {
  out.append(line.raw);
  if (!line.raw.ends_with('\n')) out.append(kLineEnd);
}

void AppendUnique(std::vector<std::string_view>& names, std::string_view name) {
  const bool known = std::any_of(names.begin(), names.end(), [&](std::string_view n) { return SameName(n, name); });
  if (!known) names.push_back(name);
}

}  // namespace

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t newline = text.find('\n', at);
    const std::size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
    const std::string_view raw = text.substr(at, end - at);
    std::string_view content = raw;
    if (content.ends_with('\n')) content.remove_suffix(1);
    if (content.ends_with('\r')) content.remove_suffix(1);
    if (at == 0 && content.starts_with(kByteOrderMark)) content.remove_prefix(kByteOrderMark.size());
    lines.push_back(Classify(raw, content));
    at = end;
  }
  return lines;
}

// The file's names are read trimmed, so a name asked for is trimmed too: one
// with a blank at an end still finds what it wrote.
bool SameName(std::string_view a, std::string_view b) { return AsciiEqualNoCase(Trim(a), Trim(b)); }

bool BlankName(std::string_view name) { return Trim(name).empty(); }

std::string_view TrimBlanks(std::string_view text) { return Trim(text); }

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::optional<std::string_view> FindValue(const std::vector<Line>& lines, std::string_view section,
                                          std::string_view key) {
  const auto header = FindSection(lines, section);
  if (!header) return std::nullopt;
  const std::size_t end = SectionEnd(lines, *header);
  for (std::size_t i = *header + 1; i < end; ++i) {
    if (lines[i].kind == LineKind::Key && SameName(lines[i].name, key)) return lines[i].value;
  }
  return std::nullopt;
}

std::vector<std::string_view> SectionNames(const std::vector<Line>& lines) {
  std::vector<std::string_view> names;
  for (const Line& line : lines) {
    if (line.kind == LineKind::Section) AppendUnique(names, line.name);
  }
  return names;
}

std::vector<std::string_view> KeyNames(const std::vector<Line>& lines, std::string_view section) {
  std::vector<std::string_view> names;
  const auto header = FindSection(lines, section);
  if (!header) return names;
  const std::size_t end = SectionEnd(lines, *header);
  for (std::size_t i = *header + 1; i < end; ++i) {
    if (lines[i].kind == LineKind::Key) AppendUnique(names, lines[i].name);
  }
  return names;
}

std::optional<std::string> SetValue(std::string_view text, std::string_view section, std::string_view key,
                                    std::string_view value) {
  const std::vector<Line> lines = SplitLines(text);
  std::string out;
  out.reserve(text.size() + section.size() + key.size() + value.size() + 8);
  const auto header = FindSection(lines, section);
  if (!header) {
    out.append(text);
    if (!out.empty() && !out.ends_with('\n')) out.append(kLineEnd);
    out.append("[").append(section).append("]").append(kLineEnd);
    out.append(KeyLine(key, value));
    return out;
  }
  const std::size_t end = SectionEnd(lines, *header);
  std::optional<std::size_t> found;
  std::size_t lastKey = *header;
  for (std::size_t i = *header + 1; i < end; ++i) {
    if (lines[i].kind != LineKind::Key) continue;
    lastKey = i;
    if (!found && SameName(lines[i].name, key)) found = i;
  }
  if (found) {
    // The key keeps the spelling the file gave it.
    const std::string replacement = KeyLine(lines[*found].name, value);
    if (lines[*found].raw == replacement) return std::nullopt;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i == *found) {
        out.append(replacement);
      } else {
        AppendRaw(out, lines[i]);
      }
    }
    return out;
  }
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == lastKey) {
      AppendClosed(out, lines[i]);
      out.append(KeyLine(key, value));
    } else {
      AppendRaw(out, lines[i]);
    }
  }
  return out;
}

std::optional<std::string> DeleteKey(std::string_view text, std::string_view section, std::string_view key) {
  const std::vector<Line> lines = SplitLines(text);
  const auto header = FindSection(lines, section);
  if (!header) return std::nullopt;
  const std::size_t end = SectionEnd(lines, *header);
  std::string out;
  out.reserve(text.size());
  bool removed = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    // Every copy goes, so that a later duplicate cannot surface in its place.
    if (i > *header && i < end && lines[i].kind == LineKind::Key && SameName(lines[i].name, key)) {
      removed = true;
      continue;
    }
    AppendRaw(out, lines[i]);
  }
  if (!removed) return std::nullopt;
  return out;
}

std::optional<std::string> DeleteSection(std::string_view text, std::string_view section) {
  const std::vector<Line> lines = SplitLines(text);
  std::string out;
  out.reserve(text.size());
  bool removed = false;
  bool inRemoved = false;
  for (const Line& line : lines) {
    if (line.kind == LineKind::Section) inRemoved = SameName(line.name, section);
    if (inRemoved) {
      removed = true;
      continue;
    }
    AppendRaw(out, line);
  }
  if (!removed) return std::nullopt;
  return out;
}

}  // namespace profile_text
