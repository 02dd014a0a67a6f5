#include <gtest/gtest.h>

#include <array>
#include <string>

#include "win/codepage.h"

namespace {

TEST(WideText, TheAnsiCodePagesAre1252OfOneByteACharacter) {
  for (unsigned page : {CP_ACP, CP_THREAD_ACP, CP_1252}) {
    CPINFO info{};
    ASSERT_TRUE(GetCPInfo(page, &info)) << page;
    EXPECT_EQ(info.MaxCharSize, 1u);
    EXPECT_EQ(info.DefaultChar[0], '?');
    EXPECT_EQ(info.LeadByte[0], 0);
  }
  CPINFO info{};
  EXPECT_FALSE(GetCPInfo(932, &info));
  EXPECT_FALSE(GetCPInfo(CP_ACP, nullptr));
}

TEST(WideText, EveryByteGoesToUtf16AndBack) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  std::array<char16_t, 256> wide{};
  ASSERT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, all.c_str(), -1, wide.data(), 256), 256);
  EXPECT_EQ(wide[0x80 - 1], u'\u20AC');  // euro
  EXPECT_EQ(wide[0x93 - 1], u'\u201C');
  EXPECT_EQ(wide[0xE9 - 1], u'\u00E9');
  EXPECT_EQ(wide[255], u'\0');
  std::array<char, 256> back{};
  int lost = 1;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, back.data(), 256, nullptr, &lost), 256);
  EXPECT_EQ(std::string(back.data()), all);
  EXPECT_FALSE(lost);
}

TEST(WideText, SizesAreCountedAsWindowsCountsThem) {
  // -1 counts the terminator, an explicit length does not add one.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 0), 3);
  std::array<char16_t, 3> small{};
  small.fill(u'#');
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, small.data(), 3), 0);  // no room for the end
  EXPECT_EQ(small[0], u'#');
  EXPECT_EQ(MultiByteToWideChar(932, 0, "abc", -1, nullptr, 0), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, nullptr, 0, nullptr, nullptr), 4);
  std::array<char, 2> narrow{};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, narrow.data(), 2, nullptr, nullptr), 0);
}

TEST(WideText, CharactersOutside1252TakeTheDefault) {
  std::array<char, 8> out{};
  int lost = 0;
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\u4E2Db?", -1, out.data(), 8, nullptr, &lost), 5);
  EXPECT_STREQ(out.data(), "a?b?");
  EXPECT_TRUE(lost);
  const char star = '*';
  const char16_t surrogate[] = {u'x', 0xD83D, 0};
  ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, surrogate, -1, out.data(), 8, &star, &lost), 3);
  EXPECT_STREQ(out.data(), "x*");
  EXPECT_TRUE(lost);
}

}  // namespace
