// The gradient library, MulDiv and the runtime's generator.
#include <gtest/gtest.h>

#include <array>

#include "win/gdi.h"

namespace {

TEST(GdiGradient, LoadedThroughItsLibraryFillsRectanglesFromEndToEnd) {
  HMODULE library = LoadLibraryA("MSIMG32.DLL");
  ASSERT_NE(library, nullptr);
  auto fill = reinterpret_cast<GradientFillProc>(GetProcAddress(library, "GradientFill"));
  ASSERT_NE(fill, nullptr);
  EXPECT_EQ(GetProcAddress(library, "AlphaBlend"), nullptr);
  EXPECT_EQ(LoadLibraryA("user32.dll"), nullptr);

  HDC dc = CreateCompatibleDC(0);
  HBITMAP bitmap = CreateCompatibleBitmap(0, 10, 10);
  HGDIOBJ old = SelectObject(dc, bitmap);
  struct Case {
    ULONG mode;
    int at;  // the pixel along the axis
    BYTE red;
  };
  // 0x0000 to 0xFF00 over 10 pixels: pixel i is 0xFF00 * i / 10, its high byte.
  const std::array<Case, 6> cases = {{{GRADIENT_FILL_RECT_H, 0, 0},
                                      {GRADIENT_FILL_RECT_H, 5, 127},
                                      {GRADIENT_FILL_RECT_H, 9, 229},
                                      {GRADIENT_FILL_RECT_V, 0, 0},
                                      {GRADIENT_FILL_RECT_V, 5, 127},
                                      {GRADIENT_FILL_RECT_V, 9, 229}}};
  for (const Case& c : cases) {
    // Given right to left: the colours still start at the left (top) vertex.
    TRIVERTEX v[2] = {{10, 10, 0xFF00, 0x0000, 0x8000, 0}, {0, 0, 0x0000, 0xFF00, 0x8000, 0}};
    GRADIENT_RECT r{1, 0};
    ASSERT_TRUE(fill(dc, v, 2, &r, 1, c.mode));
    const int x = c.mode == GRADIENT_FILL_RECT_H ? c.at : 3;
    const int y = c.mode == GRADIENT_FILL_RECT_H ? 3 : c.at;
    const COLORREF pixel = GetPixel(dc, x, y);
    EXPECT_EQ(GetRValue(pixel), c.red) << c.mode << " " << c.at;
    EXPECT_EQ(GetGValue(pixel), 255 - c.red - (c.at == 0 ? 0 : 1)) << c.mode << " " << c.at;
    EXPECT_EQ(GetBValue(pixel), 0x80);
  }
  TRIVERTEX v[2] = {{0, 0, 0, 0, 0, 0}, {4, 4, 0, 0, 0, 0}};
  GRADIENT_RECT bad{0, 5};
  EXPECT_FALSE(fill(dc, v, 2, &bad, 1, GRADIENT_FILL_RECT_H));  // a vertex that is not there
  EXPECT_FALSE(fill(dc, v, 2, &bad, 1, GRADIENT_FILL_TRIANGLE));
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  EXPECT_TRUE(FreeLibrary(library));
}

TEST(GdiGradient, TheTestHookMakesTheLoadFail) {
  FailLibraryLoadForTest(true);
  EXPECT_EQ(LoadLibraryA("msimg32.dll"), nullptr);
  FailLibraryLoadForTest(false);
  EXPECT_NE(LoadLibraryA("msimg32.dll"), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "GradientFill"), nullptr);
}

TEST(GdiMulDiv, RoundsHalfAwayFromZeroAndFailsOnZeroOrOverflow) {
  struct Case {
    int a, b, c, expected;
  };
  const std::array<Case, 9> cases = {{{8, 96, 72, 11},  // 10.67
                                      {10, 1, 4, 3},    // 2.5 up
                                      {-10, 1, 4, -3},  // -2.5 away from zero
                                      {10, 1, -4, -3},
                                      {9, 1, 4, 2},  // 2.25
                                      {7, 0, 3, 0},
                                      {5, 5, 0, -1},
                                      {0x7FFFFFFF, 2, 1, -1},
                                      {0x40000000, 4, 2, -1}}};
  for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
  EXPECT_EQ(MulDiv(0x7FFFFFFF, 3, 3), 0x7FFFFFFF);
  EXPECT_EQ(MulDiv(-0x7FFFFFFF - 1, 1, 1), -0x7FFFFFFF - 1);
}

TEST(CrtRand, ClassicSequenceFromSeedOneAndItsRange) {
  win::srand(1);
  const std::array<int, 5> first = {41, 18467, 6334, 26500, 19169};
  for (int expected : first) EXPECT_EQ(win::rand(), expected);
  win::srand(12345);
  int low = win::kRandMax, high = 0;
  for (int i = 0; i < 100000; ++i) {
    const int v = win::rand();
    low = std::min(low, v);
    high = std::max(high, v);
  }
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, win::kRandMax);
  win::srand(1);
  EXPECT_EQ(win::rand(), 41);
}

}  // namespace
