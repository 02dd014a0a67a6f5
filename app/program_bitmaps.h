// Natural sizes of the program's bitmap resources. The resources are handles
// that name their id (win/bitmap_resource.h); the sizes are kept here so that
// a button can be sized to its picture.
#pragma once

#include <array>
#include <optional>

#include "win/geometry.h"

struct ProgramBitmap {
  unsigned id = 0;
  SIZE size{};
};

inline constexpr std::array<ProgramBitmap, 5> kProgramBitmaps = {{
    {7095, {40, 40}},  // Connect: offline
    {7096, {40, 40}},  // connected
    {7097, {40, 40}},  // connecting
    {7800, {12, 12}},  // transmit lamp on
    {7801, {12, 12}},  // transmit lamp off
}};

constexpr std::optional<SIZE> ProgramBitmapSize(unsigned id) {
  for (const ProgramBitmap& bitmap : kProgramBitmaps)
    if (bitmap.id == id) return bitmap.size;
  return std::nullopt;
}
