// BMP files, the program's bitmap resources, and PNG output (its pixels are
// checked by the reference-image tests).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>
#include <vector>

#include "win/gdi.h"
#include "win/bmp_file.h"

namespace {

void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// A 3x2 file of the given depth; palette entry i is (i, 2i, 3i) (BGR bytes 3i, 2i, i).
std::vector<std::uint8_t> MakeBmp(int bpp, int height = 2) {
  const int width = 3;
  const int rows = height < 0 ? -height : height;
  const int colours = bpp <= 8 ? 1 << bpp : 0;
  const std::size_t stride = static_cast<std::size_t>((bpp * width + 31) / 32 * 4);
  const std::size_t offset = 54 + static_cast<std::size_t>(colours) * 4;
  std::vector<std::uint8_t> b(offset + stride * static_cast<std::size_t>(rows), 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, static_cast<std::uint32_t>(offset));
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, static_cast<std::uint16_t>(bpp));
  for (int i = 0; i < colours; ++i) {
    b[54 + static_cast<std::size_t>(i) * 4] = static_cast<std::uint8_t>(3 * i);
    b[55 + static_cast<std::size_t>(i) * 4] = static_cast<std::uint8_t>(2 * i);
    b[56 + static_cast<std::size_t>(i) * 4] = static_cast<std::uint8_t>(i);
  }
  // The first stored row: pixel 0 takes index/value 1, the rest 0.
  if (bpp == 1) b[offset] = 0x80;
  if (bpp == 4) b[offset] = 0x10;
  if (bpp == 8) b[offset] = 1;
  if (bpp >= 24) {
    b[offset] = 30;      // blue
    b[offset + 1] = 20;  // green
    b[offset + 2] = 10;  // red
  }
  return b;
}

TEST(BmpFile, ReadsEveryDepthBottomUpAndTopDown) {
  for (int bpp : {1, 4, 8, 24, 32}) {
    SCOPED_TRACE(bpp);
    const auto bottomUp = win::ReadBmp(MakeBmp(bpp));
    ASSERT_TRUE(bottomUp);
    EXPECT_EQ(bottomUp->width, 3);
    EXPECT_EQ(bottomUp->height, 2);
    EXPECT_EQ(bottomUp->bitsPerPixel, bpp);
    const std::uint32_t marked = bpp >= 24 ? 0x0A141Eu : 0x010203u;  // 0xRRGGBB
    // The first stored row is the bottom one.
    EXPECT_EQ(bottomUp->pixels[3], marked);
    EXPECT_EQ(bottomUp->pixels[0], 0u);
    const auto topDown = win::ReadBmp(MakeBmp(bpp, -2));
    ASSERT_TRUE(topDown);
    EXPECT_EQ(topDown->pixels[0], marked);
    EXPECT_EQ(topDown->pixels[3], 0u);
  }
}

TEST(BmpFile, RefusesMalformedAndHostileFiles) {
  struct Case {
    const char* name;
    std::size_t at;  // 0: no change
    std::uint32_t value;
    bool sixteen;
  };
  const std::array<Case, 12> cases = {{
      {"magic", 0, 'X', true},
      {"offset past the end", 10, 0x7FFFFFF0, false},
      {"offset inside the header", 10, 20, false},
      {"header size past the end", 14, 0xFFFFFF00, false},
      {"small header", 14, 12, false},
      {"zero width", 18, 0, false},
      {"huge width", 18, 0x7FFFFFFF, false},
      {"huge height", 22, 0x80000000, false},
      {"two planes", 26, 2, true},
      {"depth 16", 28, 16, true},
      {"run-length", 30, 1, false},
      {"more colours than the depth has", 46, 300, false},
  }};
  for (const Case& c : cases) {
    auto bytes = MakeBmp(8);
    if (c.sixteen) {
      Put16(bytes, c.at, static_cast<std::uint16_t>(c.value));
    } else {
      Put32(bytes, c.at, c.value);
    }
    EXPECT_FALSE(win::ReadBmp(bytes)) << c.name;
  }
  const auto good = MakeBmp(24);
  for (std::size_t length = 0; length < good.size(); ++length) {
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    EXPECT_FALSE(win::ReadBmp(cut)) << "truncated to " << length;
  }
  // An index beyond a short palette.
  auto shortPalette = MakeBmp(8);
  Put32(shortPalette, 46, 1);
  EXPECT_FALSE(win::ReadBmp(shortPalette));
}

TEST(BitmapResources, LoadImageMakesANewHandlePerCallThatRemembersItsResource) {
  const std::size_t before = LiveBitmapCount();
  const auto a = static_cast<HBITMAP>(LoadImageA(nullptr, MAKEINTRESOURCEA(7095), IMAGE_BITMAP, 0, 0, 0));
  const auto b = static_cast<HBITMAP>(LoadImageA(nullptr, MAKEINTRESOURCEA(7095), IMAGE_BITMAP, 0, 0, 0));
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(LiveBitmapCount(), before + 2);
  EXPECT_EQ(BitmapResourceId(a), std::optional<UINT>(7095));
  BITMAP record{};
  ASSERT_EQ(GetObjectA(a, sizeof record, &record), static_cast<int>(sizeof record));
  EXPECT_EQ(record.bmWidth, 40);
  EXPECT_EQ(record.bmHeight, 40);
  EXPECT_TRUE(DeleteObject(a));
  EXPECT_FALSE(BitmapResourceId(a));
  EXPECT_TRUE(DeleteObject(b));
  EXPECT_EQ(LiveBitmapCount(), before);

  const HBITMAP lamp = LoadBitmapA(nullptr, MAKEINTRESOURCEA(7800));
  ASSERT_NE(lamp, 0u);
  EXPECT_EQ(LoadBitmapA(nullptr, MAKEINTRESOURCEA(7800)), lamp);  // one shared handle
  EXPECT_FALSE(DeleteObject(lamp));
  EXPECT_EQ(BitmapResourceId(lamp), std::optional<UINT>(7800));
  GetObjectA(lamp, sizeof record, &record);
  EXPECT_EQ(record.bmWidth, 12);

  EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(1), IMAGE_BITMAP, 0, 0, 0), 0u);
  EXPECT_EQ(LoadImageA(nullptr, MAKEINTRESOURCEA(7095), IMAGE_ICON, 0, 0, 0), 0u);
  EXPECT_EQ(LoadImageA(nullptr, "7095", IMAGE_BITMAP, 0, 0, 0), 0u);
}

TEST(BitmapPng, SavesThePixelsOfABitmap) {
  HDC dc = CreateCompatibleDC(0);
  HBITMAP bitmap = CreateCompatibleBitmap(0, 3, 2);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SetPixel(dc, 2, 1, RGB(10, 20, 30));
  SelectObject(dc, old);
  const auto path = (std::filesystem::temp_directory_path() / ("gdi_png_" + std::to_string(::getpid()) + ".png")).string();
  ASSERT_TRUE(win::SaveBitmapPng(bitmap, path));
  std::ifstream in(path, std::ios::binary);
  const std::vector<unsigned char> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ASSERT_GT(file.size(), 24u);
  const std::array<unsigned char, 8> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), file.begin()));
  auto be32 = [&](std::size_t at) {
    return (std::uint32_t{file[at]} << 24) | (std::uint32_t{file[at + 1]} << 16) | (std::uint32_t{file[at + 2]} << 8) |
           file[at + 3];
  };
  EXPECT_EQ(be32(16), 3u);  // the header chunk's width and height
  EXPECT_EQ(be32(20), 2u);
  std::filesystem::remove(path);
  EXPECT_FALSE(win::SaveBitmapPng(0, path));
  DeleteObject(bitmap);
  DeleteDC(dc);
}

}  // namespace
