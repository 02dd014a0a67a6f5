#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win/automation_protocol.h"
#include "win/codepage.h"

namespace {

using win::detail::AutomationField;
using win::detail::AutomationLineReader;
using win::detail::AutomationText;

TEST(CodePage, EveryByteGoesToUtf8AndBack) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  struct Case {
    std::string cp1252;
    std::string utf8;
  };
  const std::vector<Case> cases = {
      {"plain", "plain"},
      {"envoy\xe9.", "envoy\xc3\xa9."},
      {"\x80", "\xe2\x82\xac"},          // euro
      {"\x93quoted\x94", "\xe2\x80\x9cquoted\xe2\x80\x9d"},
      {"\x81", "\xc2\x81"},              // unassigned: the control character
      {"\xff", "\xc3\xbf"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8);
    EXPECT_EQ(Utf8ToCp1252(c.utf8), c.cp1252);
  }
}

TEST(CodePage, WhatDoesNotFitBecomesAQuestionMark) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"\xe4\xb8\xad", "?"},               // not in the code page
      {"\xf0\x9f\x98\x80!", "?!"},         // outside the basic plane
      {"\xc3", "?"},                       // cut short
      {"\xc3(", "?("},                     // broken sequence
      {"\xc0\xaf", "??"},                  // overlong
      {"\xed\xa0\x80", "???"},             // a surrogate
      {"\xff", "?"},
  };
  for (const auto& [utf8, cp1252] : cases) EXPECT_EQ(Utf8ToCp1252(utf8), cp1252) << utf8;
}

TEST(AutomationFields, EscapeTheFourCharactersOnly) {
  EXPECT_EQ(AutomationField("a\\b\tc\rd\ne f\xe9"), "a\\\\b\\tc\\rd\\ne f\xc3\xa9");
  EXPECT_EQ(AutomationText("a\\\\b\\tc\\rd\\ne f\xc3\xa9"), std::optional<std::string>("a\\b\tc\rd\ne f\xe9"));
  EXPECT_FALSE(AutomationText("bad\\x"));
  EXPECT_FALSE(AutomationText("trailing\\"));
  EXPECT_EQ(AutomationText(""), std::optional<std::string>(""));
}

TEST(AutomationLines, AreCutAtLineEndsAndBounded) {
  AutomationLineReader reader;
  std::vector<AutomationLineReader::Line> lines;
  reader.Feed("dump\r\ntext 70", lines);
  reader.Feed("55 7106\n\n", lines);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "dump");
  EXPECT_EQ(lines[1].text, "text 7055 7106");
  EXPECT_EQ(lines[2].text, "");
  lines.clear();

  const std::string huge(AutomationLineReader::kLineLimit, 'x');
  reader.Feed(huge, lines);
  EXPECT_TRUE(lines.empty());  // exactly the limit still fits
  reader.Feed("y", lines);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0].tooLong);
  reader.Feed(huge + "still the same line\nboxes\n", lines);
  ASSERT_EQ(lines.size(), 2u);  // the rest of the long line is dropped
  EXPECT_FALSE(lines[1].tooLong);
  EXPECT_EQ(lines[1].text, "boxes");
}

}  // namespace
