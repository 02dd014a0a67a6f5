#include "controls/button_bitmaps.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A bitmap whose pixels are given row by row (top first).
HBITMAP MakeBitmap(int width, int height, const std::vector<COLORREF>& pixels) {
  const HBITMAP bitmap = CreateCompatibleBitmap(0, width, height);
  const HDC dc = CreateCompatibleDC(0);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) SetPixelV(dc, x, y, pixels[static_cast<std::size_t>(y * width + x)]);
  SelectObject(dc, old);
  DeleteDC(dc);
  return bitmap;
}

std::vector<COLORREF> Pixels(HBITMAP bitmap, int width, int height) {
  const HDC dc = CreateCompatibleDC(0);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  std::vector<COLORREF> out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.push_back(GetPixel(dc, x, y));
  SelectObject(dc, old);
  DeleteDC(dc);
  return out;
}

constexpr COLORREF kKey = RGB(254, 87, 11);

class ButtonBitmaps : public ::testing::Test {
 protected:
  void TearDown() override { SetBitmapCopiesFailForTest(false); }
};

TEST_F(ButtonBitmaps, TheMaskIsWhiteWhereTheKeyWasAndTheKeyTurnsBlack) {
  const HBITMAP bitmap = MakeBitmap(3, 1, {kKey, RGB(10, 20, 30), RGB(255, 255, 255)});
  const HBITMAP mask = CreateBitmapMask(bitmap, 3, 1, kKey);
  ASSERT_NE(mask, 0u);
  EXPECT_EQ(Pixels(mask, 3, 1), (std::vector<COLORREF>{RGB(255, 255, 255), 0, 0}));
  EXPECT_EQ(Pixels(bitmap, 3, 1), (std::vector<COLORREF>{0, RGB(10, 20, 30), RGB(255, 255, 255)}));
  BITMAP info{};
  ASSERT_NE(GetObjectA(mask, sizeof info, &info), 0);
  EXPECT_EQ(info.bmBitsPixel, 1);
  DeleteObject(mask);
  DeleteObject(bitmap);
}

TEST_F(ButtonBitmaps, GreyAndDarkerCopiesKeepTheTransparentPixels) {
  const std::vector<COLORREF> source = {kKey, RGB(200, 100, 50), RGB(255, 255, 255), RGB(3, 7, 1)};
  const HBITMAP bitmap = MakeBitmap(2, 2, source);
  const HBITMAP grey = CreateGrayscaleBitmap(bitmap, 2, 2, kKey);
  const HBITMAP darker = CreateDarkerBitmap(bitmap, 2, 2, kKey);
  ASSERT_NE(grey, 0u);
  ASSERT_NE(darker, 0u);
  // 0.299 R + 0.587 G + 0.114 B, truncated: 59.8 + 58.7 + 5.7 = 124.2; 0.897 + 4.109 + 0.114 = 5.12; white
  // is whatever the weights give in doubles (254 or 255).
  const auto g = [](double v) { return static_cast<BYTE>(v); };
  const BYTE white = g(0.299 * 255 + 0.587 * 255 + 0.114 * 255);
  EXPECT_EQ(Pixels(grey, 2, 2), (std::vector<COLORREF>{kKey, RGB(124, 124, 124), RGB(white, white, white), RGB(5, 5, 5)}));
  // c - 0.25 c, truncated: 200 -> 150, 100 -> 75, 50 -> 37 (37.5), 255 -> 191 (191.25), 3 -> 2, 7 -> 5, 1 -> 0.
  EXPECT_EQ(Pixels(darker, 2, 2), (std::vector<COLORREF>{kKey, RGB(150, 75, 37), RGB(191, 191, 191), RGB(2, 5, 0)}));
  EXPECT_EQ(Pixels(bitmap, 2, 2), source) << "the source is left as it was";
  DeleteObject(grey);
  DeleteObject(darker);
  DeleteObject(bitmap);
}

TEST_F(ButtonBitmaps, ACopyThatCannotBeMadeIsNoneAndLeavesNothingBehind) {
  const HBITMAP bitmap = MakeBitmap(1, 1, {RGB(1, 2, 3)});
  const std::size_t before = LiveBitmapCount();
  SetBitmapCopiesFailForTest(true);
  EXPECT_EQ(CreateGrayscaleBitmap(bitmap, 1, 1, kKey), 0u);
  EXPECT_EQ(CreateDarkerBitmap(bitmap, 1, 1, kKey), 0u);
  EXPECT_EQ(LiveBitmapCount(), before);
  EXPECT_EQ(CreateBitmapMask(0, 1, 1, kKey), 0u) << "no bitmap to select: no mask";
  EXPECT_EQ(LiveBitmapCount(), before);
  DeleteObject(bitmap);
}

}  // namespace
