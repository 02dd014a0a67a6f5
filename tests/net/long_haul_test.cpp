#include "net/long_haul.h"

#include <gtest/gtest.h>

namespace {

TEST(LongHaul, KeepsTheLastTextsCutToTheirFields) {
  ClearLongHaul();
  EXPECT_EQ(CurrentLongHaulText().recipient, "");
  EXPECT_FALSE(CurrentKickoutRecord().has_value()) << "nothing prepared";
  SetLongHaulText("ABCDEFGHIJKLMNOPQ", std::string(600, 't'));
  const LongHaulText text = CurrentLongHaulText();
  EXPECT_EQ(text.recipient, "ABCDEFGHIJKLMNO");
  EXPECT_EQ(text.text, std::string(511, 't'));
  PrivateTextRecord kick;
  kick.sender = "OWN001";
  kick.recipient = "BAD1";
  kick.text = "bye";
  SetKickoutRecord(kick);
  ASSERT_TRUE(CurrentKickoutRecord().has_value());
  EXPECT_EQ(CurrentKickoutRecord()->recipient, "BAD1");
  ClearLongHaul();
  EXPECT_FALSE(CurrentKickoutRecord().has_value());
}

}  // namespace
