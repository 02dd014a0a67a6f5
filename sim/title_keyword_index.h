// One pass over a title that finds every keyword of the decision list it
// contains (ASCII case ignored), and with them the rules worth trying. The
// list runs once per installed model, tens of thousands of times at start-up:
// a substring search per keyword per title would cost ~1,000 searches each.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/title_rules.h"

constexpr std::size_t kTitleKeywordCapacity = 2'048;

// Bits of found keywords and of the rules they make candidates; on the stack,
// cleared per title, never allocated.
struct TitleKeywordHits {
  std::array<std::uint64_t, kTitleKeywordCapacity / 64> keywords{};
  std::array<std::uint64_t, (kTitleRuleCount + 63) / 64> rules{};

  bool Contains(std::uint32_t keyword) const { return (keywords[keyword / 64] >> (keyword % 64)) & 1U; }
  // Calls f(ruleIndex) for every candidate rule in rising order until f returns true.
  template <class F>
  bool ForEachRule(F&& f) const {
    for (std::size_t w = 0; w < rules.size(); ++w) {
      for (std::uint64_t bits = rules[w]; bits != 0; bits &= bits - 1) {
        if (f(w * 64 + static_cast<std::size_t>(std::countr_zero(bits)))) return true;
      }
    }
    return false;
  }
};

// An Aho-Corasick automaton over the keywords, with a dense transition table
// on the few byte classes the keywords use (a-z fold onto A-Z).
class TitleKeywordIndex {
 public:
  explicit TitleKeywordIndex(const TitleRuleSet& set);

  // False when the set holds more keywords than the hits can mark.
  bool Usable() const { return usable_; }
  void Scan(std::string_view title, TitleKeywordHits& hits) const;

 private:
  using State = std::uint32_t;

  std::array<std::uint8_t, 256> classOf_{};
  std::size_t classes_ = 1;
  std::vector<State> next_;            // state * classes_ + class
  std::vector<std::uint32_t> outFirst_;  // per state, into outKeywords_ (one past the end at the back)
  std::vector<std::uint32_t> outKeywords_;
  std::vector<std::uint32_t> ruleFirst_;  // per keyword, into keywordRules_
  std::vector<std::uint32_t> keywordRules_;  // the rules that keyword alone lets in
  bool usable_ = false;
};
