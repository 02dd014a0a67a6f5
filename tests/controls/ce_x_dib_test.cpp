#include "controls/ce_x_dib.h"

#include <gtest/gtest.h>

namespace {

std::uint32_t U32At(std::span<const std::uint8_t> bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

class DibAllocation : public ::testing::Test {
 protected:
  void TearDown() override { CCeXDib::SetAllocationFailsForTest(false); }
};

TEST(CeXDib, LaysOutHeaderPaletteAndPaddedRowsByDepth) {
  struct Case {
    DWORD width, height;
    WORD bits;
    DWORD line;
    WORD colours;
  };
  const Case cases[] = {
      {1, 1, 8, 4, 256}, {5, 3, 8, 8, 256}, {33, 2, 1, 8, 2}, {7, 2, 4, 4, 16}, {3, 2, 24, 12, 0}, {0, 4, 8, 0, 256},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.bits);
    CCeXDib dib;
    ASSERT_NE(dib.Create(c.width, c.height, c.bits), nullptr);
    EXPECT_EQ(dib.GetLineWidth(), c.line);
    EXPECT_EQ(dib.GetNumColors(), c.colours);
    EXPECT_EQ(dib.GetImageSize(), c.line * c.height);
    const std::span<const std::uint8_t> buffer = dib.Buffer();
    ASSERT_EQ(buffer.size(), 40u + 4u * c.colours + c.line * c.height);
    EXPECT_EQ(U32At(buffer, 0), 40u);
    EXPECT_EQ(U32At(buffer, 4), c.width);
    EXPECT_EQ(U32At(buffer, 8), c.height);
    EXPECT_EQ(buffer[12] | (buffer[13] << 8), 1);
    EXPECT_EQ(buffer[14] | (buffer[15] << 8), c.bits);
    EXPECT_EQ(U32At(buffer, 16), BI_RGB);
    EXPECT_EQ(U32At(buffer, 20), c.line * c.height);
    for (std::size_t at = 24; at < 40; at += 4) EXPECT_EQ(U32At(buffer, at), 0u) << at;
  }
}

TEST(CeXDib, PixelsAndPaletteLandAtTheirOffsetsInTheBuffer) {
  CCeXDib dib;
  ASSERT_NE(dib.Create(3, 2, 8), nullptr);
  dib.SetPaletteEntry(1, RGBQUAD{10, 20, 30, 0});
  dib.SetPixelIndex(2, 1, 7);  // stored row 1 is the top row
  dib.SetPixelIndex(3, 0, 9);  // outside: ignored
  const std::span<const std::uint8_t> buffer = dib.Buffer();
  EXPECT_EQ(buffer[40 + 4], 10);
  EXPECT_EQ(buffer[40 + 5], 20);
  EXPECT_EQ(buffer[40 + 6], 30);
  const std::size_t bits = 40 + 256 * 4;
  EXPECT_EQ(buffer[bits + 4 + 2], 7);
  for (std::size_t i = bits; i < buffer.size(); ++i) {
    if (i != bits + 6) {
      EXPECT_EQ(buffer[i], 0) << i;
    }
  }
}

TEST(CeXDib, BlendsEachPaletteEntryTowardTheColourByIntegerPercent) {
  CCeXDib dib;
  ASSERT_NE(dib.Create(1, 1, 8), nullptr);
  dib.SetPaletteEntry(0, RGBQUAD{0, 100, 255, 0});
  dib.SetPaletteEntry(255, RGBQUAD{200, 7, 99, 0});
  dib.BlendPalette(RGB(255, 255, 255), 10);
  // (old * 90 + 255 * 10) / 100
  EXPECT_EQ(dib.GetPaletteEntry(0), (RGBQUAD{25, 115, 255, 0}));
  EXPECT_EQ(dib.GetPaletteEntry(255), (RGBQUAD{205, 31, 114, 0}));
  EXPECT_EQ(dib.GetPaletteEntry(1), (RGBQUAD{25, 25, 25, 0}));

  CCeXDib empty;
  empty.BlendPalette(RGB(255, 255, 255), 10);  // no buffer: left alone
  EXPECT_TRUE(empty.IsEmpty());
}

TEST(CeXDib, ACloneCopiesHeaderPaletteAndPixels) {
  CCeXDib source;
  ASSERT_NE(source.Create(4, 3, 8), nullptr);
  source.SetPaletteEntry(200, RGBQUAD{1, 2, 3, 0});
  source.SetPixelIndex(1, 2, 200);
  CCeXDib copy;
  copy.Clone(source);
  ASSERT_FALSE(copy.IsEmpty());
  EXPECT_TRUE(std::equal(copy.Buffer().begin(), copy.Buffer().end(), source.Buffer().begin(), source.Buffer().end()));
  copy.SetPixelIndex(1, 2, 5);
  EXPECT_EQ(source.GetPixelIndex(1, 2), 200) << "the copy has its own buffer";
}

TEST_F(DibAllocation, AnImageOrCopyThatCannotBeAllocatedIsEmpty) {
  CCeXDib source;
  ASSERT_NE(source.Create(4, 3, 8), nullptr);
  CCeXDib copy;
  ASSERT_NE(copy.Create(2, 2, 8), nullptr);
  CCeXDib::SetAllocationFailsForTest(true);
  copy.Clone(source);
  EXPECT_TRUE(copy.IsEmpty());
  EXPECT_EQ(copy.GetWidth(), 0u);
  EXPECT_TRUE(copy.Bits().empty());
  copy.SetPixelIndex(0, 0, 1);  // nothing to write into
  copy.SetPaletteEntry(0, RGBQUAD{1, 1, 1, 0});
  EXPECT_EQ(copy.GetPaletteEntry(0), RGBQUAD{});
  CCeXDib fresh;
  EXPECT_EQ(fresh.Create(4, 4, 8), nullptr);
  EXPECT_TRUE(fresh.IsEmpty());
}

TEST(CeXDib, RefusesSizesWhoseBufferWouldNotFit) {
  CCeXDib dib;
  EXPECT_EQ(dib.Create(0xFFFFFFFFu, 0xFFFFFFFFu, 32), nullptr);
  EXPECT_TRUE(dib.IsEmpty());
}

}  // namespace
