// What the dialog-template and menu readers share: lines, fields,
// quoted texts, numbers and style names. Internal to win/.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win/types.h"

namespace win::detail {

// A line longer than this is refused: no resource line comes near it.
constexpr std::size_t kResourceLineLimit = 4096;

struct ResourceField {
  std::string text;  // a quoted text without its quotes, escapes resolved
  bool quoted = false;
};

struct ResourceLine {
  int number = 0;  // from 1
  std::vector<ResourceField> fields;
};

// Splits the file into lines (LF or CR LF), leaving out blank lines and
// comments (a '#' as the first non-blank character), and each line into
// fields separated by blanks. A quoted text may hold \\ \" \t \r \n and \xHH
// (not \x00) and must be followed by a blank or the end of the line. False,
// with "line N: reason" in `error`, on the first fault.
bool SplitResourceText(std::string_view text, std::vector<ResourceLine>& lines, std::string& error);

// A decimal number (a leading '-' allowed) or 0x hex, within [low, high].
std::optional<long long> ParseResourceNumber(std::string_view text, long long low, long long high);

// Style bits as `NAME|NAME|0x10|~NAME`: names of win/styles.h, numbers, and
// '~' before a part to clear its bits from what the kind sets by default.
struct StyleBits {
  DWORD set = 0;
  DWORD clear = 0;
};
std::optional<StyleBits> ParseStyle(std::string_view text, std::string& error);

// Menu item flags as `GRAYED|CHECKED|DISABLED|MENUBREAK|MENUBARBREAK`.
std::optional<UINT> ParseMenuFlags(std::string_view text, std::string& error);

}  // namespace win::detail
