#include <gtest/gtest.h>

#include "win/system_metrics.h"

TEST(SystemMetrics, AFixedVirtualScreenThatTestsCanChange) {
  ResetVirtualScreenForTest();
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
  EXPECT_EQ(GetSystemMetrics(SM_CXFRAME), 4);
  EXPECT_EQ(ScreenBitsPerPixel(), 32);
  for (const int unknown : {-1, 2, 31, 33, 1000}) EXPECT_EQ(GetSystemMetrics(unknown), 0) << unknown;

  SetVirtualScreenForTest(800, 600, 8, 0);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
  EXPECT_EQ(GetSystemMetrics(SM_CXFRAME), 0);
  EXPECT_EQ(ScreenBitsPerPixel(), 8);

  SetVirtualScreenForTest(0, -5, 33, -1);  // out of range: kept
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
  EXPECT_EQ(GetSystemMetrics(SM_CXFRAME), 0);
  EXPECT_EQ(ScreenBitsPerPixel(), 8);

  ResetVirtualScreenForTest();
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
  EXPECT_EQ(ScreenBitsPerPixel(), 32);
}
