// The keyword decision list that turns a model or aircraft title into an ICAO
// type, as text (sim/title_rules_table.cpp) and in the parsed form the matcher
// walks.
//
// Grammar of one rule (blanks between tokens are free; a keyword is written in
// double quotes and its blanks, leading and trailing ones included, count):
//   rule     := keywords ( "->" answer | ":" list )
//   list     := ( entry ";" )* "otherwise" answer
//   entry    := keywords ( "->" answer | ":" "{" list "}" )
//   keywords := keyword ( "/" keyword )*
//   answer   := "go on" | TYPE [ "(M)" ]
// A rule or entry applies when the title contains any of its keywords. The
// entries of a list are tried in order; "go on" ends the rule without an
// answer (the next rule is tried), except inside braces, where it goes on with
// the next entry of the enclosing list. "(M)" marks a military or special type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

constexpr std::size_t kTitleRuleCount = 643;
constexpr std::size_t kTitleTypeLength = 4;  // characters of a type designator, at most

std::span<const std::string_view, kTitleRuleCount> TitleRuleTexts();

struct TitleRuleAnswer {
  std::array<char, kTitleTypeLength + 1> type{};  // terminated; empty for "go on"
  bool military = false;
  bool goOn = false;

  std::string_view Type() const { return std::string_view(type.data()); }
};

struct TitleRuleNode {
  std::uint32_t firstKeyword = 0;  // into TitleRuleSet::keywordRefs
  std::uint32_t keywordCount = 0;
  bool hasList = false;
  std::uint32_t firstEntry = 0;  // into TitleRuleSet::entries
  std::uint32_t entryCount = 0;
  TitleRuleAnswer answer;  // the rule's answer, or with a list its "otherwise" answer
};

struct TitleRuleSet {
  std::vector<std::string> keywords;           // distinct, upper-cased, in order of first use
  std::vector<std::uint32_t> keywordRefs;      // indices into keywords
  std::vector<TitleRuleNode> rules;            // in their order
  std::vector<TitleRuleNode> entries;          // the entries of every list, each list contiguous
  std::vector<std::size_t> malformed;          // 0-based numbers of rules that did not parse

  std::span<const std::uint32_t> KeywordsOf(const TitleRuleNode& node) const {
    return std::span(keywordRefs).subspan(node.firstKeyword, node.keywordCount);
  }
  std::span<const TitleRuleNode> EntriesOf(const TitleRuleNode& node) const {
    return std::span(entries).subspan(node.firstEntry, node.entryCount);
  }
};

// Parses every text in order; a text that does not follow the grammar adds no
// rule and is listed in `malformed`.
TitleRuleSet ParseTitleRules(std::span<const std::string_view> texts);

// The parsed decision list (parsed once, on first use; thread-safe).
const TitleRuleSet& CompiledTitleRules();

enum class TitleRuleResult { kNoAnswer, kAnswer, kGoOn };

// Walks a node's list once the node's keywords are known to be in the title;
// `contains(keywordIndex)` tells whether the title contains that keyword.
template <class Contains>
TitleRuleResult EvaluateTitleRuleList(const TitleRuleSet& set, const TitleRuleNode& node, Contains&& contains,
                                      TitleRuleAnswer& answer) {
  for (const TitleRuleNode& entry : set.EntriesOf(node)) {
    bool present = false;
    for (const std::uint32_t keyword : set.KeywordsOf(entry)) {
      if (contains(keyword)) {
        present = true;
        break;
      }
    }
    if (!present) continue;
    if (entry.hasList) {
      // A braced list that ends in "go on" hands back to the enclosing list.
      if (EvaluateTitleRuleList(set, entry, contains, answer) == TitleRuleResult::kAnswer) {
        return TitleRuleResult::kAnswer;
      }
      continue;
    }
    if (entry.answer.goOn) return TitleRuleResult::kGoOn;
    answer = entry.answer;
    return TitleRuleResult::kAnswer;
  }
  if (node.answer.goOn) return TitleRuleResult::kGoOn;
  answer = node.answer;
  return TitleRuleResult::kAnswer;
}

// A rule whose keywords are in the title: its answer, or none (go on).
template <class Contains>
bool EvaluateTitleRule(const TitleRuleSet& set, const TitleRuleNode& rule, Contains&& contains,
                       TitleRuleAnswer& answer) {
  if (!rule.hasList) {
    if (rule.answer.goOn) return false;
    answer = rule.answer;
    return true;
  }
  return EvaluateTitleRuleList(set, rule, contains, answer) == TitleRuleResult::kAnswer;
}
