// The lines of a profile (INI) text, classified for look-ups and for edits that
// leave every other line as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace profile_text {

enum class LineKind { Other, Section, Key };

struct Line {
  std::string_view raw;  // the bytes of the line, its line end included
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed, quotes kept
};

// Lines end at LF; a CR before it is dropped from the content. A UTF-8 byte
// order mark at the start is kept in the raw bytes but does not hide the first line.
std::vector<Line> SplitLines(std::string_view text);

// ASCII-only comparison without case, of the names as the file reads them
// (without blanks at either end).
bool SameName(std::string_view a, std::string_view b);
// True for a name the file could not hold: nothing but blanks.
bool BlankName(std::string_view name);
// Without the blanks at either end, as the file's names are read.
std::string_view TrimBlanks(std::string_view text);

// A value wholly inside a pair of double or single quotes loses them.
std::string_view Unquote(std::string_view value);

// The first section of that name is the one that counts, and in it the first key.
std::optional<std::string_view> FindValue(const std::vector<Line>& lines, std::string_view section,
                                          std::string_view key);
// Names in file order, each once (the first spelling).
std::vector<std::string_view> SectionNames(const std::vector<Line>& lines);
std::vector<std::string_view> KeyNames(const std::vector<Line>& lines, std::string_view section);

// Each edit gives the new text, or nothing when the text would not change.
// New and replaced lines end with CR LF.
std::optional<std::string> SetValue(std::string_view text, std::string_view section, std::string_view key,
                                    std::string_view value);
std::optional<std::string> DeleteKey(std::string_view text, std::string_view section, std::string_view key);
std::optional<std::string> DeleteSection(std::string_view text, std::string_view section);

}  // namespace profile_text
