#include "sim/title_rules.h"

#include <optional>
#include <unordered_map>
#include <utility>

#include "win/ascii_case.h"

namespace {
bool IsTypeCharacter(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// Recursive descent over one rule text; every failure is reported as nullopt
// or false, so a bad text never yields a half-built rule.
class RuleParser {
 public:
  RuleParser(std::string_view text, TitleRuleSet& set, std::unordered_map<std::string, std::uint32_t>& ids)
      : text_(text), set_(set), ids_(ids) {}

  std::optional<TitleRuleNode> ParseRule() {
    TitleRuleNode rule;
    if (!ParseKeywords(rule)) return std::nullopt;
    if (Take("->")) {
      if (!ParseAnswer(rule.answer)) return std::nullopt;
    } else if (Take(":")) {
      if (!ParseList(rule, '\0')) return std::nullopt;
    } else {
      return std::nullopt;
    }
    SkipBlanks();
    if (pos_ != text_.size()) return std::nullopt;
    return rule;
  }

 private:
  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  bool Take(std::string_view token) {
    SkipBlanks();
    if (text_.substr(pos_).starts_with(token)) {
      pos_ += token.size();
      return true;
    }
    return false;
  }

  bool ParseKeywords(TitleRuleNode& node) {
    node.firstKeyword = static_cast<std::uint32_t>(set_.keywordRefs.size());
    do {
      if (!Take("\"")) return false;
      const std::size_t end = text_.find('"', pos_);
      if (end == std::string_view::npos || end == pos_) return false;
      std::string keyword = AsciiUpper(text_.substr(pos_, end - pos_));
      pos_ = end + 1;
      const auto [it, added] = ids_.try_emplace(std::move(keyword), static_cast<std::uint32_t>(set_.keywords.size()));
      if (added) set_.keywords.push_back(it->first);
      set_.keywordRefs.push_back(it->second);
      ++node.keywordCount;
    } while (Take("/"));
    return true;
  }

  bool ParseAnswer(TitleRuleAnswer& answer) {
    answer = TitleRuleAnswer{};
    if (Take("go on")) {
      answer.goOn = true;
      return true;
    }
    SkipBlanks();
    std::size_t length = 0;
    while (pos_ < text_.size() && IsTypeCharacter(text_[pos_])) {
      if (length == kTitleTypeLength) return false;
      answer.type[length++] = text_[pos_++];
    }
    if (length == 0) return false;
    answer.military = Take("(M)");
    return true;
  }

  // Entries up to "otherwise" and its answer; `close` is '}' inside braces.
  bool ParseList(TitleRuleNode& node, char close) {
    std::vector<TitleRuleNode> entries;
    while (!Take("otherwise")) {
      TitleRuleNode entry;
      if (!ParseKeywords(entry)) return false;
      if (Take("->")) {
        if (!ParseAnswer(entry.answer)) return false;
      } else if (Take(":") && Take("{")) {
        if (!ParseList(entry, '}')) return false;
      } else {
        return false;
      }
      if (!Take(";")) return false;
      entries.push_back(entry);
    }
    if (!ParseAnswer(node.answer)) return false;
    if (close != '\0' && !Take(std::string_view(&close, 1))) return false;
    // Nested lists were appended while their entry was read; this list's own
    // entries go in one block after them.
    node.hasList = true;
    node.firstEntry = static_cast<std::uint32_t>(set_.entries.size());
    node.entryCount = static_cast<std::uint32_t>(entries.size());
    set_.entries.insert(set_.entries.end(), entries.begin(), entries.end());
    return true;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  TitleRuleSet& set_;
  std::unordered_map<std::string, std::uint32_t>& ids_;
};
}  // namespace

TitleRuleSet ParseTitleRules(std::span<const std::string_view> texts) {
  TitleRuleSet set;
  std::unordered_map<std::string, std::uint32_t> ids;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    // A failed rule may leave keywords and entries behind; they are unreachable.
    if (auto rule = RuleParser(texts[i], set, ids).ParseRule()) {
      set.rules.push_back(*rule);
    } else {
      set.malformed.push_back(i);
    }
  }
  return set;
}

const TitleRuleSet& CompiledTitleRules() {
  static const TitleRuleSet set = ParseTitleRules(TitleRuleTexts());
  return set;
}
