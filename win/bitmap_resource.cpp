#include "win/bitmap_resource.h"

#include <cstdint>

namespace {
// Resource bitmaps take handles of their own range, apart from brushes and windows.
constexpr HBITMAP kResourceBitmapBase = 0x00B00000;
constexpr UINT kMaxResourceId = 0xFFFF;
}  // namespace

HBITMAP LoadBitmapA(HINSTANCE, const char* name) {
  const auto value = reinterpret_cast<std::uintptr_t>(name);
  if (value == 0 || value > kMaxResourceId) return 0;
  return kResourceBitmapBase | static_cast<HBITMAP>(value);
}

std::optional<UINT> BitmapResourceId(HBITMAP bitmap) {
  if ((bitmap & ~kMaxResourceId) != kResourceBitmapBase || (bitmap & kMaxResourceId) == 0) return std::nullopt;
  return static_cast<UINT>(bitmap & kMaxResourceId);
}
