// Reading BMP files: BITMAPFILEHEADER + BITMAPINFOHEADER, 1, 4, 8, 24 or 32
// bits a pixel, BI_RGB, bottom-up or top-down. Every field is checked against
// the bytes there are: a malformed or truncated file is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace win {

struct BmpImage {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;
  // 0x00RRGGBB, top-down, width * height.
  std::vector<std::uint32_t> pixels;
};

// Pictures larger than this many pixels a side are refused.
constexpr int kMaxBmpSide = 16384;

std::optional<BmpImage> ReadBmp(std::span<const std::uint8_t> file);

}  // namespace win
