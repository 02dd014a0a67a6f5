// The automation line protocol's text rules: fields are UTF-8 with backslash,
// tab, CR and LF written \\, \t, \r, \n. Internal to win/.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win::detail {

// A program text (code page 1252) as one protocol field.
std::string AutomationField(std::string_view cp1252);
// A field from a client back to program text; nullopt for an unknown escape
// or a lone backslash at the end.
std::optional<std::string> AutomationText(std::string_view field);

// Cuts a byte stream into request lines: at most kLineLimit bytes each, the
// LF (and a CR before it) removed.
class AutomationLineReader {
 public:
  static constexpr std::size_t kLineLimit = 64 * 1024;

  struct Line {
    std::string text;
    bool tooLong = false;  // the text is empty; the line was dropped
  };

  void Feed(std::string_view bytes, std::vector<Line>& out);

 private:
  std::string pending_;
  bool discarding_ = false;
};

}  // namespace win::detail
