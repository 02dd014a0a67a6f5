#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/text_fields.h"

namespace {
struct Split {
  std::unique_ptr<ColonFields> fields = std::make_unique<ColonFields>();
  Split() {
    for (auto& field : *fields) std::memset(field.data(), 'x', field.size());  // garbage to be emptied
  }
  std::string operator[](std::size_t i) const { return std::string(FieldText((*fields)[i])); }
};
}  // namespace

TEST(SplitColonFields, CutsAtEachColon) {
  Split s;
  EXPECT_EQ(SplitColonFields("CMD:LFPG:12", *s.fields), 3);
  EXPECT_EQ(s[0], "CMD");
  EXPECT_EQ(s[1], "LFPG");
  EXPECT_EQ(s[2], "12");
  EXPECT_EQ(s[3], "");  // every field emptied first
  EXPECT_EQ(s[255], "");
}

TEST(SplitColonFields, TwoColonsGiveAnEmptyField) {
  Split s;
  EXPECT_EQ(SplitColonFields("a::b", *s.fields), 3);
  EXPECT_EQ(s[0], "a");
  EXPECT_EQ(s[1], "");
  EXPECT_EQ(s[2], "b");
}

TEST(SplitColonFields, LeadingAndTrailingColons) {
  Split s;
  EXPECT_EQ(SplitColonFields("a:b:", *s.fields), 2);  // a trailing ':' adds no field
  EXPECT_EQ(SplitColonFields(":a", *s.fields), 2);
  EXPECT_EQ(s[0], "");
  EXPECT_EQ(s[1], "a");
  EXPECT_EQ(SplitColonFields(":", *s.fields), 1);
  EXPECT_EQ(SplitColonFields("::", *s.fields), 2);
  EXPECT_EQ(SplitColonFields("abc", *s.fields), 1);
  EXPECT_EQ(s[0], "abc");
}

TEST(SplitColonFields, EmptyTextGivesZero) {
  Split s;
  EXPECT_EQ(SplitColonFields("", *s.fields), 0);
  EXPECT_EQ(SplitColonFields(static_cast<const char*>(nullptr), *s.fields), 0);
  EXPECT_EQ(s[0], "");
}

TEST(SplitColonFields, AtMost256Fields) {
  Split s;
  std::string text;
  for (int i = 0; i < 300; ++i) text += std::to_string(i) + ":";
  text += std::string(2'000, 'L');  // past the 256th field: never looked at
  EXPECT_EQ(SplitColonFields(text, *s.fields), 256);
  EXPECT_EQ(s[255], "255");
}

TEST(SplitColonFields, FieldOf1024CharactersGivesZero) {
  Split s;
  const std::string longest(1'023, 'a');
  EXPECT_EQ(SplitColonFields("x:" + longest + ":y", *s.fields), 3);
  EXPECT_EQ(s[1], longest);
  EXPECT_EQ(SplitColonFields("x:" + std::string(1'024, 'a') + ":y", *s.fields), 0);
  EXPECT_EQ(s[0], "");
  EXPECT_EQ(SplitColonFields(std::string(5'000, 'a'), *s.fields), 0);
}

TEST(SplitColonFields, TextEndsAtItsFirstNul) {
  Split s;
  EXPECT_EQ(SplitColonFields(std::string_view("a:b\0:c:d", 8), *s.fields), 2);
}

TEST(TrimSpaces, DropsLeadingAndTrailingSpaces) {
  char dest[32] = "unchanged";
  TrimSpaces(dest, "   Boeing 737  ");
  EXPECT_STREQ(dest, "Boeing 737");
  TrimSpaces(dest, "\tTab stays\t ");
  EXPECT_STREQ(dest, "\tTab stays\t");
  TrimSpaces(dest, "     ");
  EXPECT_STREQ(dest, "");
  TrimSpaces(dest, "plain");
  EXPECT_STREQ(dest, "plain");
}

TEST(TrimSpaces, NothingHappensWithoutTextOrDestination) {
  char dest[8] = "keep";
  TrimSpaces(dest, "");
  EXPECT_STREQ(dest, "keep");
  TrimSpaces(dest, nullptr);
  EXPECT_STREQ(dest, "keep");
  TrimSpaces(nullptr, 8, "text");
  TrimSpaces(dest, 0, "text");
  EXPECT_STREQ(dest, "keep");
}

TEST(TrimSpaces, CutsToTheDestination) {
  char dest[6];
  TrimSpaces(dest, "  ABCDEFGH  ");
  EXPECT_STREQ(dest, "ABCDE");
}

TEST(CopyCut, StaysInsideTheWidth) {
  char dest[4];
  CopyCut(dest, "LFPG");
  EXPECT_STREQ(dest, "LFP");
  CopyCut(dest, std::string_view("A\0BC", 4));
  EXPECT_STREQ(dest, "A");
  const char field[4] = {'A', 'B', 'C', 'D'};  // no terminator
  EXPECT_EQ(FieldText(field), "ABCD");
}
