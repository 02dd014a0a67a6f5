#include <gtest/gtest.h>

#include "sim/wildcard_list.h"

namespace {
struct WildcardCase {
  const char* pattern;
  const char* name;
  bool matches;
};

const WildcardCase kWildcardCases[] = {
    {"*C*B*", "ABC", true},  // inner parts are tested for presence, not order
    {"*B*A*", "AB", true},
    {"*C*X*", "ABC", false},
    {"Experimental", "Experimental", true},
    {"Experimental", "EXPERIMENTAL", true},
    {"Experimental", "Exp", false},  // the suffix test fails
    {"Experimental", "Experimental2", false},
    {"Experimental", "MyExperimental", false},
    {"Radio Control", "radio control", true},
    {"*.acf", "B738.acf", true},
    {"*.acf", "B738.ACF", true},
    {"*.acf", ".acf", true},
    {"*.acf", "xacf", false},  // the whole suffix counts, its first character too
    {"*.acf", "acf", false},
    {"*.acf", "B738.acf.bak", false},
    {"*.acf", "B738.acfx", false},
    {"A?C", "abc", true},
    {"A?C", "ac", false},
    {"A*Z", "AZ", true},
    {"A*Z", "ABZ", true},
    {"A*Z", "ZA", false},
    {"ABC*", "ABCDEF", true},
    {"ABC*", "AB", true},  // a name shorter than the prefix passes as far as it reaches
    {"ABC*", "ABD", false},
    {"*", "anything", true},
    {"*", "", true},
    {"B?3*", "B738", true},
    {"", "B738", false},
};

TEST(Wildcard, PatternsAgainstNames) {
  for (const WildcardCase& c : kWildcardCases)
    EXPECT_EQ(MatchesWildcard(c.pattern, c.name), c.matches) << c.pattern << " / " << c.name;
}

TEST(Wildcard, ListMatchesWhenOnePatternDoes) {
  constexpr const char* kExcludes =
      "Experimental;Mars Planes;Radio Control;Science Fiction;Space Ships;Instructions";
  EXPECT_TRUE(MatchesWildcardList(kExcludes, "radio control"));
  EXPECT_TRUE(MatchesWildcardList(kExcludes, "INSTRUCTIONS"));
  EXPECT_FALSE(MatchesWildcardList(kExcludes, "Radio"));
  EXPECT_FALSE(MatchesWildcardList(kExcludes, "Heavy Metal"));
  EXPECT_TRUE(MatchesWildcardList("*.txt;*.acf", "B738.acf"));
  EXPECT_FALSE(MatchesWildcardList("", "B738.acf"));
  EXPECT_FALSE(MatchesWildcardList(";;", "B738.acf"));
  EXPECT_FALSE(MatchesWildcardList("*.txt;;", "B738.acf"));
}
}  // namespace
