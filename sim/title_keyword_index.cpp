#include "sim/title_keyword_index.h"

#include <algorithm>
#include <deque>

#include "win/ascii_case.h"

TitleKeywordIndex::TitleKeywordIndex(const TitleRuleSet& set) {
  if (set.keywords.size() > kTitleKeywordCapacity) return;

  // Class 0 is every byte no keyword uses.
  for (const std::string& keyword : set.keywords) {
    for (const char c : keyword) {
      auto& cls = classOf_[static_cast<unsigned char>(c)];
      if (cls == 0) cls = static_cast<std::uint8_t>(classes_++);
    }
  }
  for (int c = 'a'; c <= 'z'; ++c) classOf_[static_cast<std::size_t>(c)] = classOf_[static_cast<std::size_t>(c - 'a' + 'A')];

  // The trie; 0 in next_ means "no edge" until the links are built.
  std::vector<std::vector<std::uint32_t>> outputs(1);
  next_.assign(classes_, 0);
  for (std::uint32_t k = 0; k < set.keywords.size(); ++k) {
    State state = 0;
    for (const char c : set.keywords[k]) {
      const std::size_t slot = state * classes_ + classOf_[static_cast<unsigned char>(c)];
      if (next_[slot] == 0) {
        next_[slot] = static_cast<State>(outputs.size());
        outputs.emplace_back();
        next_.resize(next_.size() + classes_, 0);
      }
      state = next_[slot];
    }
    outputs[state].push_back(k);
  }

  // Breadth first: each state's missing edges borrow those of its failure
  // state, and its outputs take in the failure state's.
  const std::size_t states = outputs.size();
  std::vector<State> fail(states, 0);
  std::deque<State> queue;
  for (std::size_t c = 1; c < classes_; ++c) {
    if (next_[c] != 0) queue.push_back(next_[c]);
  }
  while (!queue.empty()) {
    const State state = queue.front();
    queue.pop_front();
    const auto& inherited = outputs[fail[state]];
    outputs[state].insert(outputs[state].end(), inherited.begin(), inherited.end());
    for (std::size_t c = 1; c < classes_; ++c) {
      State& edge = next_[state * classes_ + c];
      const State viaFail = next_[fail[state] * classes_ + c];
      if (edge != 0) {
        fail[edge] = viaFail;
        queue.push_back(edge);
      } else {
        edge = viaFail;
      }
    }
  }

  outFirst_.reserve(states + 1);
  for (const auto& out : outputs) {
    outFirst_.push_back(static_cast<std::uint32_t>(outKeywords_.size()));
    outKeywords_.insert(outKeywords_.end(), out.begin(), out.end());
  }
  outFirst_.push_back(static_cast<std::uint32_t>(outKeywords_.size()));

  // Only a rule's own keywords let it in; its entries' keywords are looked up
  // in the hits once it is tried.
  std::vector<std::vector<std::uint32_t>> rulesOf(set.keywords.size());
  for (std::uint32_t r = 0; r < set.rules.size(); ++r) {
    for (const std::uint32_t k : set.KeywordsOf(set.rules[r])) {
      if (rulesOf[k].empty() || rulesOf[k].back() != r) rulesOf[k].push_back(r);
    }
  }
  ruleFirst_.reserve(rulesOf.size() + 1);
  for (const auto& rules : rulesOf) {
    ruleFirst_.push_back(static_cast<std::uint32_t>(keywordRules_.size()));
    keywordRules_.insert(keywordRules_.end(), rules.begin(), rules.end());
  }
  ruleFirst_.push_back(static_cast<std::uint32_t>(keywordRules_.size()));
  usable_ = set.rules.size() <= kTitleRuleCount;
}

void TitleKeywordIndex::Scan(std::string_view title, TitleKeywordHits& hits) const {
  State state = 0;
  for (const char c : title) {
    state = next_[state * classes_ + classOf_[static_cast<unsigned char>(c)]];
    for (std::uint32_t o = outFirst_[state]; o < outFirst_[state + 1]; ++o) {
      const std::uint32_t keyword = outKeywords_[o];
      std::uint64_t& word = hits.keywords[keyword / 64];
      const std::uint64_t bit = std::uint64_t{1} << (keyword % 64);
      if (word & bit) continue;
      word |= bit;
      for (std::uint32_t r = ruleFirst_[keyword]; r < ruleFirst_[keyword + 1]; ++r) {
        const std::uint32_t rule = keywordRules_[r];
        hits.rules[rule / 64] |= std::uint64_t{1} << (rule % 64);
      }
    }
  }
}
