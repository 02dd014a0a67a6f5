#include "win/ascii_case.h"

#include <gtest/gtest.h>

TEST(AsciiCase, OnlyAsciiLettersAreUpperCased) {
  EXPECT_EQ(AsciiUpper("abc xyz-09 \xE9t\xE9"), "ABC XYZ-09 \xE9T\xE9");  // code page 1252 letters kept
  char text[] = "north air";
  AsciiUpperInPlace(text);
  EXPECT_STREQ(text, "NORTH AIR");
  char field[4] = {'a', 'b', 'c', 'd'};
  AsciiUpperInPlace(field, 3);
  EXPECT_EQ(std::string(field, 4), "ABCd");
  AsciiUpperInPlace(nullptr);
}

TEST(AsciiCase, ComparisonsIgnoreCase) {
  EXPECT_TRUE(AsciiEqualNoCase("b738", "B738"));
  EXPECT_FALSE(AsciiEqualNoCase("B738", "B73"));
  EXPECT_EQ(AsciiCompareNoCaseN("B738", "b73z", 3), 0);
  EXPECT_NE(AsciiCompareNoCaseN("B7", "B738", 3), 0);
  EXPECT_EQ(AsciiCompareNoCaseN("B7", "b7", 3), 0);
  EXPECT_LT(AsciiCompareNoCaseN("A", "b", 1), 0);
  EXPECT_EQ(AsciiCompareNoCaseN(nullptr, nullptr, 3), 0);
}
