#include "win/automation_protocol.h"

#include "win/codepage.h"

namespace win::detail {

std::string AutomationField(std::string_view cp1252) {
  const std::string utf8 = Cp1252ToUtf8(cp1252);
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      default: out.push_back(c); break;
    }
  }
  return out;
}

std::optional<std::string> AutomationText(std::string_view field) {
  std::string utf8;
  utf8.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] != '\\') {
      utf8.push_back(field[i]);
      continue;
    }
    if (++i == field.size()) return std::nullopt;
    switch (field[i]) {
      case '\\': utf8.push_back('\\'); break;
      case 't': utf8.push_back('\t'); break;
      case 'r': utf8.push_back('\r'); break;
      case 'n': utf8.push_back('\n'); break;
      default: return std::nullopt;
    }
  }
  return Utf8ToCp1252(utf8);
}

void AutomationLineReader::Feed(std::string_view bytes, std::vector<Line>& out) {
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::string_view part = bytes.substr(0, end);
    if (!discarding_) {
      if (pending_.size() + part.size() > kLineLimit) {
        pending_.clear();
        discarding_ = true;
        out.push_back(Line{{}, true});
      } else {
        pending_.append(part);
      }
    }
    if (end == std::string_view::npos) return;
    bytes.remove_prefix(end + 1);
    if (discarding_) {
      discarding_ = false;
      continue;
    }
    if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
    out.push_back(Line{std::move(pending_), false});
    pending_.clear();
  }
}

}  // namespace win::detail
