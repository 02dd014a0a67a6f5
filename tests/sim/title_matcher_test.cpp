#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim/title_matcher.h"

namespace {
struct Match {
  int result;
  std::string type;
  int military;
};

Match MatchTitle(const char* title, const char* typeBefore = "", int militaryBefore = 7) {
  char type[kTitleTypeBufferSize + 3] = {};
  std::strncpy(type, typeBefore, kTitleTypeBufferSize - 1);
  int military = militaryBefore;
  const int result = MatchTitleToIcaoType(title, type, &military);
  EXPECT_EQ(type[kTitleTypeBufferSize], '\0') << "written past the type buffer for " << title;
  return {result, type, military};
}

struct PrefixCase {
  std::string title;
  int result;
  const char* type;
};

// Titles without any keyword of the list.
const PrefixCase kPrefixCases[] = {
    {"TAVELKOR QWZJ", 1, "QWZJ"},
    {"tavelkor qwzj", 1, "QWZJ"},   // the word is taken upper-cased
    {"XTAVELKOR QWZJ", 1, "QWZJ"},  // the second character still counts
    {"XXTAVELKOR QWZJ", 0, ""},     // the third does not
    {"GLOBS QQ", 1, "QQ"},
    {"ATOC ZZ1 ZZ2", 2, "ZZ1"},
    {"TAVELKOR QWZJQQQ", 1, "QWZJ"},    // 7 characters: its first 4
    {"TAVELKOR QWZJQQQQ", 1, "C172"},   // 8 characters: no type
    {"TAVELKOR QW\rZJ", 1, "QW"},
    {"TAVELKOR QW\nZJ", 1, "QW"},
    {"TAVELKOR QW\tZJ", 1, "QW\tZ"},    // only blanks, CR and LF end the word
    {"TAVELKOR GLOBS QQ", 1, "GLOB"},    // the first rule that applies answers
    {" ATOC QQ", 2, "QQ"},
    {"ZZ ATOC QQ", 0, ""},
    {"TAVELKORQWZJ", 0, ""},  // the blank belongs to the prefix
    // An empty word is no match: the next prefix rule is tried.
    {"TAVELKOR ", 0, ""},
    {"TAVELKOR  QWZJ", 0, ""},
    {"GLOBS \r\n", 0, ""},
    {"TAVELKOR \nATOC QQ", 0, ""},
    {"GLOBS  ATOC QQ", 0, ""},
    {"XATOC \rGLOBS QQ", 0, ""},
};

TEST(TitlePrefixRules, WordAfterThePrefix) {
  for (const PrefixCase& c : kPrefixCases) {
    const Match m = MatchTitle(c.title.c_str());
    EXPECT_EQ(m.result, c.result) << c.title;
    EXPECT_EQ(m.type, c.type) << c.title;
    EXPECT_EQ(m.military, 0) << c.title;
  }
}

TEST(TitlePrefixRules, WordsOfAnyLength) {
  const std::string longWord(5'000, 'Q');
  EXPECT_EQ(MatchTitle(("TAVELKOR " + longWord).c_str()).type, "C172");
  EXPECT_EQ(MatchTitle(("GLOBS " + longWord + " X").c_str()).type, "C172");
  const std::string longTitle = "ATOC QQ " + std::string(10'000, 'Q');
  EXPECT_EQ(MatchTitle(longTitle.c_str()).result, 2);
}

TEST(TitlePrefixRules, NoAnswerLeavesTheTypeAlone) {
  char type[kTitleTypeBufferSize] = {'\0', 'Z', 'Z', 'Z', '\0'};
  int military = 1;
  EXPECT_EQ(MatchTitleToIcaoType("XXTAVELKOR QWZJ", type, &military), 0);
  EXPECT_EQ(std::memcmp(type, "\0ZZZ", 5), 0);
  EXPECT_EQ(military, 0);
}

TEST(MatchTitleToIcaoType, ListAnswersBeforeThePrefixRules) {
  const Match m = MatchTitle("TAVELKOR B738X");
  EXPECT_EQ(m.result, kTitleMatchCertain);
  EXPECT_EQ(m.type, "B738");
}

TEST(MatchTitleToIcaoType, TypeAlreadyGivenIsKept) {
  const Match m = MatchTitle("SAAB VIGGEN", "A320", 1);
  EXPECT_EQ(m.result, kTitleMatchCertain);
  EXPECT_EQ(m.type, "A320");
  EXPECT_EQ(m.military, 0);
  EXPECT_EQ(MatchTitle("QWZJ", "A320").result, kTitleMatchCertain);
}

TEST(MatchTitleToIcaoType, SpecialTitlesGiveBe58WhateverTheirCase) {
  for (const char* title : {"Tower Controller", "TOWER CONTROLLER", "veh_land_car_transparent"}) {
    const Match empty = MatchTitle(title);
    EXPECT_EQ(empty.result, kTitleMatchCertain) << title;
    EXPECT_EQ(empty.type, "BE58") << title;
    EXPECT_EQ(empty.military, 0) << title;
    EXPECT_EQ(MatchTitle(title, "A320").type, "BE58") << title;  // checked before a type already given
  }
  EXPECT_EQ(MatchTitle("Tower Controller 2").result, 0);  // equality, not a keyword
  EXPECT_EQ(MatchTitle(" Tower Controller").result, 0);
}

TEST(MatchTitleToIcaoType, BadArguments) {
  char type[kTitleTypeBufferSize] = {};
  int military = 1;
  EXPECT_EQ(MatchTitleToIcaoType(static_cast<const char*>(nullptr), type, &military), kTitleMatchNoTitle);
  EXPECT_EQ(military, 0);  // cleared before anything else
  military = 1;
  EXPECT_EQ(MatchTitleToIcaoType("SAAB VIGGEN", nullptr, &military), kTitleMatchNoTitle);
  EXPECT_EQ(military, 0);
  military = 1;
  EXPECT_EQ(MatchTitleToIcaoType("", type, &military), kTitleMatchEmptyTitle);
  EXPECT_EQ(military, 0);
  EXPECT_EQ(MatchTitleToIcaoType("SAAB VIGGEN", type, nullptr), kTitleMatchCertain);  // the flag is optional
  EXPECT_STREQ(type, "SB37");
}

TEST(MatchTitleToIcaoType, TitleEndsAtItsTerminator) {
  const char title[] = "QWZJ\0SAAB VIGGEN";
  EXPECT_EQ(MatchTitle(title).result, 0);
  char type[kTitleTypeBufferSize] = {};
  EXPECT_EQ(MatchTitleToIcaoType(std::string_view(title, sizeof title - 1), type, nullptr), kTitleMatchCertain);
}

struct NormaliseCase {
  std::string before;
  std::string after;
};

const NormaliseCase kNormaliseCases[] = {
    {" my_plane-x:y;z\\w/v ", "MY PLANE X Y Z W V"},
    {"   ", ""},
    {"a  b", "A  B"},        // blanks are not collapsed
    {"_a_", " A "},          // trimmed before the marks become blanks
    {"  -B738-  ", " B738 "},
    {"\tx\t", "\tX\t"},      // only blanks are trimmed
    {"caf\xe9 \xe0", "CAF\xe9 \xe0"},  // ASCII letters only
    {"ABC", "ABC"},
};

TEST(NormaliseTitle, Cases) {
  for (const NormaliseCase& c : kNormaliseCases) {
    std::string text = c.before + '\0' + "tail";
    NormaliseTitle(text.data());
    EXPECT_EQ(std::string(text.c_str()), c.after) << c.before;
  }
}

TEST(NormaliseTitle, NullAndEmpty) {
  NormaliseTitle(nullptr);
  char empty[2] = {'\0', 'x'};
  NormaliseTitle(empty);
  EXPECT_EQ(empty[1], 'x');
}

TEST(NormaliseTitle, ThenTheListSeesTheModelNumber) {
  std::string title = "Boeing 737-800 Air X";
  NormaliseTitle(title.data());
  const Match m = MatchTitle(title.c_str());
  EXPECT_EQ(m.type, "B738");
  EXPECT_EQ(MatchTitle("Boeing 737-800 Air X").type, "B737");
}
}  // namespace
