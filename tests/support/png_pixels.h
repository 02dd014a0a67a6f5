// Reads the pixels of a PNG file as the automation's snapshots write them
// (8 bits a channel, RGB or RGBA, not interlaced), so that a test can look at
// what the program painted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "win/types.h"

struct PngPixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;  // rows top-down, alpha dropped
  COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
};

// Nothing for a file that is not such a PNG.
std::optional<PngPixels> ReadPngPixels(const std::string& path);
