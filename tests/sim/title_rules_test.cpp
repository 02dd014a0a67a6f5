#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "sim/title_matcher.h"
#include "sim/title_rules.h"
#include "win/ascii_case.h"

namespace {
const TitleRuleSet& Rules() { return CompiledTitleRules(); }

// The answer of one rule, written as the list writes it: "TYPE", "TYPE (M)",
// "go on", or "list" for a rule with entries.
std::string AnswerText(const TitleRuleAnswer& answer) {
  if (answer.goOn) return "go on";
  return std::string(answer.Type()) + (answer.military ? " (M)" : "");
}

std::vector<std::string> KeywordsOf(const TitleRuleNode& node) {
  std::vector<std::string> keywords;
  for (const std::uint32_t k : Rules().KeywordsOf(node)) keywords.push_back(Rules().keywords[k]);
  return keywords;
}

// The list read the slow way: every keyword of every rule searched in the
// upper-cased title, rule after rule.
std::size_t FindTitleRuleBySearch(std::string_view title, TitleRuleAnswer& answer) {
  const std::string upper = AsciiUpper(title);
  const TitleRuleSet& set = Rules();
  const auto contains = [&](std::uint32_t k) { return upper.find(set.keywords[k]) != std::string::npos; };
  for (std::size_t r = 0; r < set.rules.size(); ++r) {
    bool present = false;
    for (const std::uint32_t k : set.KeywordsOf(set.rules[r])) present = present || contains(k);
    if (present && EvaluateTitleRule(set, set.rules[r], contains, answer)) return r + 1;
  }
  return 0;
}

struct RuleCase {
  const char* title;
  std::size_t rule;  // 1-based, 0 = none
  const char* type;
  bool military;
};

// Titles with the rule that must answer them. Many pairs show an earlier rule
// (or entry) taking a title that a later one would also answer.
const RuleCase kRuleCases[] = {
    {"SAAB VIGGEN", 1, "SB37", true},
    {"saab viggen vari", 1, "VVIG", false},
    {"VANS RV 4T", 2, "RV4T", false},  // "RV 4T" is tried before "RV 4"
    {"VAN'S RV4", 2, "RV4", false},
    {"VANS RV 10", 2, "RV10", false},
    {"VANS RV12", 2, "SB37", false},  // no entry: the rule's own answer, without the flag
    {"SCHLEICHER ASK21", 3, "GLID", false},
    {"BOEING B 52 STRATOFORTRESS", 4, "B52", true},  // rule 4 before "BOEING" (39) and 70
    {"NORTH AMERICAN X15", 5, "X15", true},
    {"STINSON L5 SENTINEL", 7, "L5", false},
    {"STINSON 737", 213, "B737", false},  // "STINSON" without "L5" goes on
    {"COMMERCIAL AIRLINER", 8, "A321", false},
    {"DOUGLAS SUPER DC 3", 10, "DC3S", false},
    {"DC 3 TURBO", 12, "DC3T", false},
    {"DC 3", 18, "DC3", false},
    {"C 47 SKYTRAIN", 14, "DC3", false},
    {"SKYTRAIN", 19, "DC3", false},
    {"CONCORDE", 21, "CONC", false},
    {"C172 SKYHAWK", 26, "C172", false},
    {"C172 RG", 26, "C72R", false},
    {"C182 RETRACT", 28, "C82R", false},
    {"CESSNA 172 RG", 397, "C172", false},  // no "C172": the maker's list answers
    {"WACO YMF", 33, "WACO", true},
    {"BOEING B17", 39, "B17", true},
    {"BOEING 377", 39, "C97", false},
    {"BOEING 737 800 AIR X", 211, "B738", false},  // "BOEING" goes on, then "737 8"
    {"Boeing 737-800 Air X", 213, "B737", false},  // "737-8" is not "737 8"
    {"CESSNA 310", 42, "C310", false},
    {"CESSNA 206 TURBINE", 42, "C206", false},  // rule 42 before the maker's list and its "TURBINE"
    {"CESSNA 208", 397, "C208", false},
    {"CESSNA 318B", 275, "A318", false},  // "A 318" is in "CESSNA 318B"
    {"CESSNA-318B", 397, "T37", true},
    {"CESSNA BIRD DOG", 397, "01", false},
    {"CESSNA 560XL", 397, "C56X", false},  // "560XL" before "560"
    {"CESSNA 177RG", 397, "C77R", false},
    {"CESSNA 402 TURBINE", 397, "C02T", false},  // braces inside the maker's list
    {"CESSNA 402", 397, "C402", false},
    {"CESSNA DRAGONFLY", 397, "A37", true},
    {"C90 KING AIR", 57, "BE9L", false},
    {"MESSERSCHMITT BF 108", 58, "ME08", true},
    {"TIGER MOTH", 48, "DH82", false},
    {"TIGER SHARK 20", 60, "F20", true},  // "TIGER" of 48 goes on
    {"SEA KING", 76, "S61", false},      // 77 also holds "SEA KING"
    {"SEAHAWK", 77, "H60", false},
    {"ROBINSON R22", 99, "R22", false},
    {"ROBINSON R66", 100, "R66", false},
    {"DUKE TURBINE", 111, "B60T", false},
    {"BEECHCRAFT DUKE", 111, "BE60", false},  // 160 can never answer
    {"TUPOLEV TU 160", 117, "T160", false},  // before "TU 16"
    {"TUPOLEV TU 16K", 118, "TU16", false},
    {"TUPOLEV TU 334", 123, "T334", false},
    {"EMBRAER 190", 130, "E190", false},
    {"EMBRAER TUCANO", 127, "TUCA", true},  // 127 before the maker's entry without the flag
    {"EMBRAER SUPER TUCANO", 127, "E314", true},
    {"ANTONOV AN 124", 134, "A124", false},  // before "AN 12"
    {"ANTONOV AN 12", 134, "AN12", false},
    {"ANTONOV AN 225", 134, "A225", false},
    {"ANTONOV AN 26", 134, "AN26", false},
    {"ANTONOV AN 2", 134, "AN2", false},
    {"ANTONOV AN 72", 134, "AN72", false},
    {"PA 32 LANCE TURBO", 180, "P32T", false},
    {"PA 32 LANCE", 180, "P32T", false},  // the entry "2" is in every title with "PA 32"
    {"PA 32", 180, "PA32", false},
    {"PIPER MALIBU MERIDIAN", 187, "P46T", false},
    {"PIPER MALIBU", 187, "PA46", false},
    {"BOEING 747 400 (DOMESTIC, NO WINGLETS)", 97, "B744", false},  // "BOEING 747 4" first
    {"747 400 (DOMESTIC, NO WINGLETS)", 214, "B74D", false},
    {"747SP", 216, "B74S", false},
    {"B737 6D6", 208, "B736", false},
    {"TAVELKOR B738X", 250, "B738", false},
    {"AIRBUS A320", 296, "A320", false},
    {"320", 595, "A320", false},
    {"F60 X", 338, "F60", false},  // the trailing blank belongs to the keyword
    {"ATR 42 500", 359, "AT43", false},  // before "42 5"
    {"42 500", 360, "AT45", false},
    {"F 16 FALCON", 390, "F16", true},
    {"MD80", 394, "MD81", false},
    {"CESSNA 441", 395, "C441", false},  // before the maker's "441"
    {"WASSMER 421", 396, "WA42", false},
    {"CITATION III", 412, "C550", false},  // "CITATION II" is inside "CITATION III"
    {"CITATION VII", 414, "C560", false},  // "CITATION V" is inside "CITATION VII"
    {"CITATION 1 SP", 411, "C501", false},
    {"CIRRUS SR22", 428, "SR22", false},
    {"CH46", 149, "H46", false},  // 435 would set the flag
    {"HARRIER", 449, "HAR", true},
    {"T45 GOSHAWK", 450, "HAWK", true},  // "HAWK" before "T45"
    {"KC135", 458, "K35A", true},
    {"MUDRY CAP 10", 478, "CP10", true},
    {"ALOUETTE III", 487, "ALO3", false},  // before "ALOUETTE II"
    {"ALOUETTE II", 488, "ALO2", false},
    {"DOUGLAS DC 6", 518, "DC6", false},  // both "DOUGLAS" rules go on
    {"DC 6", 552, "DC6", false},
    {"NORTH AMERICAN P51 MUSTANG", 587, "P51", true},
    {"AS ECUREUIL 3", 562, "AS55", false},
    {"AS ECUREUIL", 562, "AS50", false},
    {"C130 HERCULES", 643, "C130", true},
};

TEST(TitleRules, The643RulesParse) {
  EXPECT_EQ(TitleRuleTexts().size(), 643U);
  EXPECT_TRUE(Rules().malformed.empty()) << "first malformed rule: " << Rules().malformed.front() + 1;
  EXPECT_EQ(Rules().rules.size(), 643U);
  EXPECT_LE(Rules().keywords.size(), 1'100U);  // distinct keywords; every one is upper-case
  for (const std::string& keyword : Rules().keywords) EXPECT_EQ(keyword, AsciiUpper(keyword));
}

// Writes a parsed rule back in the list's own notation.
std::string Written(const TitleRuleSet& set, const TitleRuleNode& node, bool braced) {
  std::string text;
  for (const std::uint32_t k : set.KeywordsOf(node)) text += (text.empty() ? "\"" : " / \"") + set.keywords[k] + "\"";
  if (!node.hasList) return text + " -> " + AnswerText(node.answer);
  text += braced ? ": { " : ": ";
  for (const TitleRuleNode& entry : set.EntriesOf(node)) text += Written(set, entry, true) + "; ";
  return text + "otherwise " + AnswerText(node.answer) + (braced ? " }" : "");
}

TEST(TitleRules, EveryRuleReadsBackAsWritten) {
  const auto texts = TitleRuleTexts();
  ASSERT_EQ(Rules().rules.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(Written(Rules(), Rules().rules[i], false), texts[i]) << "rule " << i + 1;
  }
}

TEST(TitleRules, ParsedShapes) {
  const auto& rules = Rules().rules;
  // 1. "VIGGEN": "VARI" -> VVIG; otherwise SB37 (M)
  ASSERT_TRUE(rules[0].hasList);
  EXPECT_EQ(KeywordsOf(rules[0]), std::vector<std::string>{"VIGGEN"});
  ASSERT_EQ(Rules().EntriesOf(rules[0]).size(), 1U);
  EXPECT_EQ(KeywordsOf(Rules().EntriesOf(rules[0])[0]), std::vector<std::string>{"VARI"});
  EXPECT_EQ(AnswerText(Rules().EntriesOf(rules[0])[0].answer), "VVIG");
  EXPECT_EQ(AnswerText(rules[0].answer), "SB37 (M)");
  // 57. "C90": "KING": { "AIR" -> BE9L; otherwise go on }; otherwise go on
  const TitleRuleNode& king = Rules().EntriesOf(rules[56])[0];
  ASSERT_TRUE(king.hasList);
  EXPECT_EQ(AnswerText(king.answer), "go on");
  EXPECT_EQ(AnswerText(Rules().EntriesOf(king)[0].answer), "BE9L");
  EXPECT_EQ(AnswerText(rules[56].answer), "go on");
  // 121: eight keywords, one answer
  EXPECT_EQ(KeywordsOf(rules[120]), (std::vector<std::string>{"TU 204", "TU 214", "TU 224", "TU 234", "TU204",
                                                               "TU214", "TU224", "TU234"}));
  EXPECT_FALSE(rules[120].hasList);
  EXPECT_EQ(AnswerText(rules[120].answer), "T204");
  // Keywords keep their blanks, commas and brackets.
  EXPECT_EQ(KeywordsOf(rules[213]), std::vector<std::string>{"747 400 (DOMESTIC, NO WINGLETS)"});
  EXPECT_EQ(KeywordsOf(rules[291]), std::vector<std::string>{" A300ST"});
  EXPECT_EQ(KeywordsOf(rules[592]), (std::vector<std::string>{" 1 11 ", "ONE ELEVEN"}));
  // 397: the maker's list of 58 entries, braces among them.
  EXPECT_EQ(Rules().EntriesOf(rules[396]).size(), 58U);
  EXPECT_EQ(AnswerText(rules[396].answer), "go on");
  // The last rule.
  EXPECT_EQ(KeywordsOf(rules[642]), std::vector<std::string>{"C130"});
  EXPECT_EQ(AnswerText(rules[642].answer), "C130 (M)");
}

TEST(TitleRules, MalformedTextsAreRefused) {
  const std::string_view texts[] = {
      R"("A" -> B1)",                          // fine
      R"("A" -> TOOLONG)",                     // a type of more than 4 characters
      R"("A": "B" -> C1)",                     // a list without "otherwise"
      R"("A": "B": "C" -> D; otherwise go on)",  // a nested list without braces
      R"("A" -> B1 trailing)",
      R"("" -> B1)",                           // an empty keyword
      R"("A": "B": { "C" -> D1; otherwise go on }; otherwise E1)",  // fine
  };
  const TitleRuleSet set = ParseTitleRules(texts);
  EXPECT_EQ(set.rules.size(), 2U);
  EXPECT_EQ(set.malformed, (std::vector<std::size_t>{1, 2, 3, 4, 5}));
}

// "go on" ends the rule, except inside braces, where the enclosing list goes
// on with its next entry (the shipped list never tells the two apart).
TEST(TitleRules, GoOnInsideAndOutsideBraces) {
  const std::string_view texts[] = {
      R"("A": "B": { "C" -> T1; "E" -> go on; otherwise go on }; "D" -> T2; otherwise T3)",
      R"("A": "B" -> go on; "D" -> T2; otherwise T3)",
  };
  const TitleRuleSet set = ParseTitleRules(texts);
  ASSERT_EQ(set.rules.size(), 2U);
  const auto answerOf = [&set](std::size_t rule, std::string title) {
    const auto contains = [&](std::uint32_t k) { return title.find(set.keywords[k]) != std::string::npos; };
    TitleRuleAnswer answer;
    return EvaluateTitleRule(set, set.rules[rule], contains, answer) ? AnswerText(answer) : std::string("none");
  };
  EXPECT_EQ(answerOf(0, "A B C D"), "T1");
  EXPECT_EQ(answerOf(0, "A B D"), "T2");
  EXPECT_EQ(answerOf(0, "A B E D"), "T2");
  EXPECT_EQ(answerOf(0, "A B"), "T3");
  EXPECT_EQ(answerOf(1, "A B D"), "none");
  EXPECT_EQ(answerOf(1, "A D"), "T2");
  EXPECT_EQ(answerOf(1, "A"), "T3");
}

TEST(TitleRules, EachTitleIsAnsweredByItsRule) {
  for (const RuleCase& c : kRuleCases) {
    TitleRuleAnswer answer;
    EXPECT_EQ(FindTitleRule(c.title, answer), c.rule) << c.title;
    EXPECT_EQ(answer.Type(), c.type) << c.title;
    EXPECT_EQ(answer.military, c.military) << c.title;

    char type[kTitleTypeBufferSize] = {};
    int military = -1;
    EXPECT_EQ(MatchTitleToIcaoType(c.title, type, &military), kTitleMatchCertain) << c.title;
    EXPECT_STREQ(type, c.type) << c.title;
    EXPECT_EQ(military, c.military ? 1 : 0) << c.title;
  }
}

TEST(TitleRules, RulesThatGoOnAnswerNothing) {
  for (const char* title : {"STINSON 108 VOYAGER", "SKYTRAIN 2", "C90 KING", "MESSERSCHMITT BF 109", "TIGER",
                            "CAP 10", "NORTH AMERICAN P51", "ECUREUIL 3"}) {
    TitleRuleAnswer answer;
    EXPECT_EQ(FindTitleRule(title, answer), 0U) << title;
    char type[kTitleTypeBufferSize] = {};
    int military = 1;
    EXPECT_EQ(MatchTitleToIcaoType(title, type, &military), 0) << title;
    EXPECT_STREQ(type, "") << title;
    EXPECT_EQ(military, 0) << title;
  }
}

// Every keyword alone, every keyword in odd case and surroundings, and
// random mixtures of keywords, answered alike by the one-pass index and by
// a search of every keyword of every rule in order.
TEST(TitleRules, IndexAgreesWithARuleByRuleSearch) {
  const auto& keywords = Rules().keywords;
  std::vector<std::string> titles;
  for (const std::string& k : keywords) {
    titles.push_back(k);
    std::string lower = k;
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    titles.push_back("x" + lower + "\xe9 9");
  }
  std::mt19937 random(20240607);
  std::uniform_int_distribution<std::size_t> pick(0, keywords.size() - 1);
  const std::string glue[] = {"", " ", "-", "_", "X", "1", "\\"};
  std::uniform_int_distribution<std::size_t> pickGlue(0, std::size(glue) - 1);
  for (int i = 0; i < 30'000; ++i) {
    std::string title;
    const int parts = 1 + i % 4;
    for (int p = 0; p < parts; ++p) title += glue[pickGlue(random)] + keywords[pick(random)];
    titles.push_back(title);
  }
  std::size_t answered = 0;
  for (const std::string& title : titles) {
    TitleRuleAnswer fast;
    TitleRuleAnswer slow;
    const std::size_t rule = FindTitleRule(title, fast);
    ASSERT_EQ(rule, FindTitleRuleBySearch(title, slow)) << title;
    if (rule == 0) continue;
    ++answered;
    EXPECT_EQ(fast.Type(), slow.Type()) << title;
    EXPECT_EQ(fast.military, slow.military) << title;
  }
  EXPECT_GT(answered, titles.size() / 2);
}
}  // namespace
