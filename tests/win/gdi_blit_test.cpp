// Block transfers: raster operations, the colour/1-bpp conversions, the
// transparency mask recipe of the bitmap buttons, DIB sections and clipping.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "win/gdi.h"

namespace {

// A memory DC holding a new bitmap of its own; both released at the end.
struct MemoryDc {
  MemoryDc(int width, int height, UINT bpp = 32) {
    dc = CreateCompatibleDC(0);
    bitmap = bpp == 32 ? CreateCompatibleBitmap(0, width, height) : CreateBitmap(width, height, 1, bpp, nullptr);
    old = SelectObject(dc, bitmap);
  }
  ~MemoryDc() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  void Fill(COLORREF colour) {
    const RECT r{0, 0, 1000, 1000};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
  }
  HDC dc = 0;
  HBITMAP bitmap = 0;
  HGDIOBJ old = 0;
};

struct RopCase {
  const char* name;
  DWORD rop;
  COLORREF source, dest, pattern, expected;
};

TEST(GdiBlit, RasterOperationsCombineSourceDestinationAndBrushBitwise) {
  const COLORREF s = 0x00F0A05A, d = 0x00CC33AA, p = 0x000FF0C3;
  const std::array<RopCase, 15> cases = {{
      {"SRCCOPY", SRCCOPY, s, d, p, s},
      {"SRCAND", SRCAND, s, d, p, s & d},
      {"SRCPAINT", SRCPAINT, s, d, p, s | d},
      {"SRCINVERT", SRCINVERT, s, d, p, s ^ d},
      {"SRCERASE", SRCERASE, s, d, p, s & (~d & 0xFFFFFF)},
      {"NOTSRCCOPY", NOTSRCCOPY, s, d, p, ~s & 0xFFFFFF},
      {"NOTSRCERASE", NOTSRCERASE, s, d, p, ~(s | d) & 0xFFFFFF},
      {"MERGECOPY", MERGECOPY, s, d, p, s & p},
      {"MERGEPAINT", MERGEPAINT, s, d, p, (~s & 0xFFFFFF) | d},
      {"PATCOPY", PATCOPY, s, d, p, p},
      {"PATPAINT", PATPAINT, s, d, p, p | (~s & 0xFFFFFF) | d},
      {"PATINVERT", PATINVERT, s, d, p, p ^ d},
      {"DSTINVERT", DSTINVERT, s, d, p, ~d & 0xFFFFFF},
      {"BLACKNESS", BLACKNESS, s, d, p, 0},
      {"WHITENESS", WHITENESS, s, d, p, 0xFFFFFF},
  }};
  for (const RopCase& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryDc source(4, 4), dest(4, 4);
    source.Fill(c.source);
    dest.Fill(c.dest);
    HBRUSH brush = CreateSolidBrush(c.pattern);
    HGDIOBJ oldBrush = SelectObject(dest.dc, brush);
    ASSERT_TRUE(BitBlt(dest.dc, 1, 1, 2, 2, source.dc, 0, 0, c.rop));
    EXPECT_EQ(GetPixel(dest.dc, 1, 1), c.expected);
    EXPECT_EQ(GetPixel(dest.dc, 2, 2), c.expected);
    EXPECT_EQ(GetPixel(dest.dc, 0, 0), c.dest);  // outside the block
    EXPECT_EQ(GetPixel(dest.dc, 3, 3), c.dest);
    SelectObject(dest.dc, oldBrush);
    DeleteObject(brush);
  }
}

TEST(GdiBlit, PatBltUsesTheSelectedBrushAndRefusesSourceOperations) {
  MemoryDc dest(3, 3);
  dest.Fill(RGB(10, 20, 30));
  HBRUSH brush = CreateSolidBrush(RGB(200, 100, 50));
  HGDIOBJ old = SelectObject(dest.dc, brush);
  EXPECT_TRUE(PatBlt(dest.dc, 0, 0, 2, 1, PATCOPY));
  EXPECT_EQ(GetPixel(dest.dc, 1, 0), RGB(200, 100, 50));
  EXPECT_EQ(GetPixel(dest.dc, 2, 0), RGB(10, 20, 30));
  EXPECT_TRUE(PatBlt(dest.dc, 0, 1, 3, 1, DSTINVERT));
  EXPECT_EQ(GetPixel(dest.dc, 2, 1), RGB(245, 235, 225));
  EXPECT_FALSE(PatBlt(dest.dc, 0, 0, 1, 1, SRCCOPY));
  SelectObject(dest.dc, old);
  DeleteObject(brush);
}

TEST(GdiBlit, ColourToMonoMakesTheSourceBackgroundColourWhite) {
  struct Case {
    COLORREF pixel, sourceBk;
    COLORREF expected;
  };
  const std::array<Case, 4> cases = {{
      {RGB(254, 87, 11), RGB(254, 87, 11), 0xFFFFFF},
      {RGB(254, 87, 12), RGB(254, 87, 11), 0x000000},
      {RGB(255, 255, 255), RGB(0, 0, 0), 0x000000},  // white is not the background: black
      {RGB(0, 0, 0), RGB(0, 0, 0), 0xFFFFFF},
  }};
  for (const Case& c : cases) {
    MemoryDc colour(2, 1), mono(2, 1, 1);
    colour.Fill(c.pixel);
    SetBkColor(colour.dc, c.sourceBk);
    SetBkColor(mono.dc, RGB(1, 2, 3));  // the destination's colours play no part
    SetTextColor(mono.dc, RGB(4, 5, 6));
    ASSERT_TRUE(BitBlt(mono.dc, 0, 0, 2, 1, colour.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(mono.dc, 1, 0), c.expected) << std::hex << c.pixel;
  }
}

TEST(GdiBlit, MonoToColourTakesTheDestinationBackgroundAndTextColours) {
  const std::uint8_t rows[2][2] = {{0x80, 0}, {0x00, 0}};  // pixel (0,0) is 1, the rest 0
  HBITMAP maskBitmap = CreateBitmap(2, 2, 1, 1, rows);
  HDC mono = CreateCompatibleDC(0);
  HGDIOBJ oldMono = SelectObject(mono, maskBitmap);
  MemoryDc colour(2, 2);
  SetBkColor(colour.dc, RGB(0, 200, 0));
  SetTextColor(colour.dc, RGB(200, 0, 0));
  SetBkColor(mono, RGB(9, 9, 9));
  ASSERT_TRUE(BitBlt(colour.dc, 0, 0, 2, 2, mono, 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(colour.dc, 0, 0), RGB(0, 200, 0));
  EXPECT_EQ(GetPixel(colour.dc, 1, 0), RGB(200, 0, 0));
  EXPECT_EQ(GetPixel(colour.dc, 1, 1), RGB(200, 0, 0));
  SelectObject(mono, oldMono);
  DeleteObject(maskBitmap);
  DeleteDC(mono);
}

TEST(GdiBlit, TransparencyMaskLeavesTheBackgroundUnderTheTransparentColour) {
  const COLORREF transparent = RGB(254, 87, 11);
  const int w = 4, h = 3;
  // The picture: transparent except for a 2x1 bar of two colours.
  MemoryDc picture(w, h);
  picture.Fill(transparent);
  SetPixel(picture.dc, 1, 1, RGB(10, 200, 30));
  SetPixel(picture.dc, 2, 1, RGB(255, 255, 255));

  // The mask: the picture copied into 1 bpp with the transparent colour as
  // background, then laid back with SRCAND in white text and black background.
  MemoryDc mask(w, h, 1);
  SetBkColor(picture.dc, transparent);
  ASSERT_TRUE(BitBlt(mask.dc, 0, 0, w, h, picture.dc, 0, 0, SRCCOPY));
  SetTextColor(picture.dc, RGB(255, 255, 255));
  SetBkColor(picture.dc, RGB(0, 0, 0));
  ASSERT_TRUE(BitBlt(picture.dc, 0, 0, w, h, mask.dc, 0, 0, SRCAND));
  EXPECT_EQ(GetPixel(mask.dc, 0, 0), 0xFFFFFFu);
  EXPECT_EQ(GetPixel(mask.dc, 1, 1), 0u);
  EXPECT_EQ(GetPixel(picture.dc, 0, 0), 0u);  // transparent pixels turned black
  EXPECT_EQ(GetPixel(picture.dc, 1, 1), RGB(10, 200, 30));

  // Drawn onto a background: mask SRCAND, picture SRCPAINT.
  MemoryDc target(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) SetPixel(target.dc, x, y, RGB(x * 40, y * 60, 99));
  SetTextColor(target.dc, RGB(0, 0, 0));
  SetBkColor(target.dc, RGB(255, 255, 255));
  ASSERT_TRUE(BitBlt(target.dc, 0, 0, w, h, mask.dc, 0, 0, SRCAND));
  ASSERT_TRUE(BitBlt(target.dc, 0, 0, w, h, picture.dc, 0, 0, SRCPAINT));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      COLORREF expected = RGB(x * 40, y * 60, 99);
      if (y == 1 && x == 1) expected = RGB(10, 200, 30);
      if (y == 1 && x == 2) expected = RGB(255, 255, 255);
      EXPECT_EQ(GetPixel(target.dc, x, y), expected) << x << "," << y;
    }
  }
}

TEST(GdiBlit, EightBitDibSectionIsReadThroughItsColourTableAtBlitTime) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info{};
  info.header.biWidth = 3;
  info.header.biHeight = 2;  // bottom-up
  info.header.biBitCount = 8;
  info.header.biCompression = BI_RGB;
  for (int i = 0; i < 256; ++i)
    info.colours[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i), static_cast<BYTE>(i / 2), 0};
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(dib, 0u);
  ASSERT_NE(bits, nullptr);
  BITMAP record;
  ASSERT_EQ(GetObjectA(dib, sizeof record, &record), static_cast<int>(sizeof record));
  EXPECT_EQ(record.bmBitsPixel, 8);
  EXPECT_EQ(record.bmWidthBytes, 4);  // rows padded to 32 bits
  EXPECT_EQ(record.bmBits, bits);
  // Stored row 0 is the bottom row.
  auto* bytes = static_cast<std::uint8_t*>(bits);
  bytes[0] = 10;
  bytes[2] = 30;
  bytes[4 + 0] = 200;

  HDC dibDc = CreateCompatibleDC(0);
  HGDIOBJ old = SelectObject(dibDc, dib);
  MemoryDc target(3, 2);
  ASSERT_TRUE(BitBlt(target.dc, 0, 0, 3, 2, dibDc, 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(target.dc, 0, 1), RGB(5, 245, 10));
  EXPECT_EQ(GetPixel(target.dc, 2, 1), RGB(15, 225, 30));
  EXPECT_EQ(GetPixel(target.dc, 0, 0), RGB(100, 55, 200));
  EXPECT_EQ(GetPixel(target.dc, 1, 0), RGB(0, 255, 0));  // index 0

  // A new table changes what the next blit shows.
  RGBQUAD red{0, 0, 255, 0};
  ASSERT_EQ(SetDIBColorTable(dibDc, 10, 1, &red), 1u);
  RGBQUAD back{};
  ASSERT_EQ(GetDIBColorTable(dibDc, 10, 1, &back), 1u);
  EXPECT_EQ(back, red);
  ASSERT_TRUE(BitBlt(target.dc, 0, 0, 3, 2, dibDc, 0, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(target.dc, 0, 1), RGB(255, 0, 0));
  SelectObject(dibDc, old);
  DeleteObject(dib);
  DeleteDC(dibDc);
}

TEST(GdiBlit, MalformedDibSectionsAreRefused) {
  struct Case {
    LONG width, height;
    WORD bits;
    DWORD compression;
  };
  const std::array<Case, 5> cases = {{{0, 4, 8, BI_RGB}, {4, 0, 8, BI_RGB}, {4, 4, 7, BI_RGB}, {4, 4, 8, 1},
                                      {100000, 100000, 32, BI_RGB}}};
  for (const Case& c : cases) {
    BITMAPINFO info{};
    info.bmiHeader.biWidth = c.width;
    info.bmiHeader.biHeight = c.height;
    info.bmiHeader.biBitCount = c.bits;
    info.bmiHeader.biCompression = c.compression;
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(0, &info, DIB_RGB_COLORS, &bits, nullptr, 0), 0u);
    EXPECT_EQ(bits, nullptr);
  }
}

TEST(GdiBlit, EveryTransferIsClippedToItsSurfaceAndToTheDcClip) {
  struct Case {
    int x, y, w, h;
  };
  // Beyond each edge, negative coordinates, a huge block, a block wholly outside.
  const std::array<Case, 7> cases = {{{-2, 1, 4, 2},
                                      {3, 1, 5, 2},
                                      {1, -3, 2, 5},
                                      {1, 3, 2, 9},
                                      {-100000, -100000, 200000, 200000},
                                      {50, 50, 4, 4},
                                      {-9, -9, 3, 3}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " " << c.w << "x" << c.h);
    MemoryDc source(300, 300), dest(5, 5);
    source.Fill(RGB(0, 0, 255));
    dest.Fill(RGB(255, 0, 0));
    ASSERT_TRUE(BitBlt(dest.dc, c.x, c.y, c.w, c.h, source.dc, 0, 0, SRCCOPY));
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 5; ++x) {
        // Inside the block and over the 300x300 source.
        const bool inside = x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h && x - c.x < 300 && y - c.y < 300;
        EXPECT_EQ(GetPixel(dest.dc, x, y), inside ? RGB(0, 0, 255) : RGB(255, 0, 0)) << x << "," << y;
      }
    }
    EXPECT_EQ(GetPixel(dest.dc, 5, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(dest.dc, -1, 0), CLR_INVALID);
  }
  // The DC's clip rectangle, in logical units moved by the window origin.
  MemoryDc dest(6, 6);
  dest.Fill(0);
  SetWindowOrgEx(dest.dc, 1, 1, nullptr);
  EXPECT_EQ(IntersectClipRect(dest.dc, 2, 2, 4, 4), SIMPLEREGION);
  HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  const RECT all{-10, -10, 10, 10};
  FillRect(dest.dc, &all, white);
  SetWindowOrgEx(dest.dc, 0, 0, nullptr);
  int whites = 0;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      if (GetPixel(dest.dc, x, y) == 0xFFFFFF) ++whites;
  // The clip outlives the origin change; its device pixels are (1,1)-(3,3).
  EXPECT_EQ(whites, 4);
}

TEST(GdiBlit, SourceBeyondItsSurfaceLeavesTheDestinationAlone) {
  MemoryDc source(2, 2), dest(4, 1);
  source.Fill(RGB(0, 0, 255));
  dest.Fill(RGB(255, 0, 0));
  ASSERT_TRUE(BitBlt(dest.dc, 0, 0, 4, 1, source.dc, -1, 0, SRCCOPY));
  EXPECT_EQ(GetPixel(dest.dc, 0, 0), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dest.dc, 1, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dest.dc, 2, 0), RGB(0, 0, 255));
  EXPECT_EQ(GetPixel(dest.dc, 3, 0), RGB(255, 0, 0));
}

TEST(GdiBlit, OriginsMoveBothEnds) {
  MemoryDc source(4, 4), dest(4, 4);
  source.Fill(0);
  SetPixel(source.dc, 3, 3, RGB(1, 2, 3));
  dest.Fill(0xFFFFFF);
  SetViewportOrgEx(source.dc, -2, -2, nullptr);  // logical (5,5) is device (3,3)
  SetWindowOrgEx(dest.dc, 10, 10, nullptr);      // logical (10,10) is device (0,0)
  ASSERT_TRUE(BitBlt(dest.dc, 10, 10, 1, 1, source.dc, 5, 5, SRCCOPY));
  SetWindowOrgEx(dest.dc, 0, 0, nullptr);
  EXPECT_EQ(GetPixel(dest.dc, 0, 0), RGB(1, 2, 3));
  EXPECT_EQ(GetPixel(dest.dc, 1, 0), 0xFFFFFFu);
}

TEST(GdiBlit, StretchBltTakesTheNearestPixelAndMirrors) {
  MemoryDc source(2, 1), dest(4, 1);
  SetPixel(source.dc, 0, 0, RGB(1, 1, 1));
  SetPixel(source.dc, 1, 0, RGB(2, 2, 2));
  ASSERT_TRUE(StretchBlt(dest.dc, 0, 0, 4, 1, source.dc, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(GetPixel(dest.dc, 0, 0), RGB(1, 1, 1));
  EXPECT_EQ(GetPixel(dest.dc, 1, 0), RGB(1, 1, 1));
  EXPECT_EQ(GetPixel(dest.dc, 2, 0), RGB(2, 2, 2));
  EXPECT_EQ(GetPixel(dest.dc, 3, 0), RGB(2, 2, 2));
  ASSERT_TRUE(StretchBlt(dest.dc, 4, 0, -4, 1, source.dc, 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(GetPixel(dest.dc, 0, 0), RGB(2, 2, 2));
  EXPECT_EQ(GetPixel(dest.dc, 3, 0), RGB(1, 1, 1));
}

TEST(GdiBlit, MonoPatternBrushDrawsZeroBitsInTextColourAndOnesInBackground) {
  const std::uint8_t rows[2][2] = {{0x40, 0}, {0x80, 0}};  // a 2x2 checker: (1,0) and (0,1) are 1
  HBITMAP pattern = CreateBitmap(2, 2, 1, 1, rows);
  HBRUSH brush = CreatePatternBrush(pattern);
  DeleteObject(pattern);  // the brush keeps its own copy
  ASSERT_NE(brush, 0u);
  MemoryDc dest(4, 2);
  SetTextColor(dest.dc, RGB(128, 128, 128));
  SetBkColor(dest.dc, RGB(255, 255, 255));
  const RECT all{0, 0, 4, 2};
  ASSERT_EQ(FillRect(dest.dc, &all, brush), 1);
  EXPECT_EQ(GetPixel(dest.dc, 0, 0), RGB(128, 128, 128));
  EXPECT_EQ(GetPixel(dest.dc, 1, 0), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dest.dc, 2, 0), RGB(128, 128, 128));
  EXPECT_EQ(GetPixel(dest.dc, 0, 1), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dest.dc, 1, 1), RGB(128, 128, 128));
  DeleteObject(brush);
}

}  // namespace
