#include <gtest/gtest.h>

#include "win/clock.h"

TEST(Clock, AdvancesForTests) {
  const auto before = GetTickCount64();
  AdvanceTickCountForTest(65'000);
  EXPECT_GE(GetTickCount64() - before, 65'000u);
}
