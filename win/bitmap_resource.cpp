#include "win/bitmap_resource.h"

#include <array>
#include <fstream>
#include <string>
#include <vector>

#include "win/bmp_file.h"
#include "win/gdi_table.h"
#include "win/resources.h"

using namespace win::detail;

namespace {

// A bitmap of a BMP file's bytes, or 0 when they are malformed.
HBITMAP MakeBitmap(GdiTable& t, std::span<const std::uint8_t> file, std::optional<UINT> id, bool monochrome,
                   bool shared) {
  const auto bmp = win::ReadBmp(file);
  if (!bmp) return 0;
  const bool mono = monochrome || bmp->bitsPerPixel == 1;
  auto image = NewDeviceImage(bmp->width, bmp->height, mono);
  if (!image) return 0;
  for (int y = 0; y < bmp->height; ++y) {
    for (int x = 0; x < bmp->width; ++x) {
      const std::uint32_t c = bmp->pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(bmp->width) +
                                          static_cast<std::size_t>(x)];
      if (mono) {
        image->setPixel(x, y, c == 0xFFFFFF ? 1 : 0);
      } else {
        reinterpret_cast<QRgb*>(image->scanLine(y))[x] = 0xFF000000u | c;
      }
    }
  }
  BitmapObject bitmap;
  bitmap.width = bmp->width;
  bitmap.height = bmp->height;
  bitmap.bitsPerPixel = mono ? 1 : 32;
  bitmap.image = std::move(image);
  bitmap.resourceId = id;
  return AddObject(t, std::move(bitmap), shared);
}

// A bitmap of the resource, or 0 when there is none or it is malformed.
HBITMAP MakeResourceBitmap(GdiTable& t, UINT id, bool monochrome, bool shared) {
  const auto file = FindEmbeddedFile("bitmaps/" + std::to_string(id) + ".bmp");
  if (!file) return 0;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(file->data());
  return MakeBitmap(t, std::span<const std::uint8_t>(bytes, file->size()), id, monochrome, shared);
}

// The bytes of a file of at most 64 MiB, or nothing.
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const char* path) {
  constexpr std::streamsize kMostBytes = 64 << 20;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  std::array<char, 65536> chunk{};
  while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + in.gcount());
    if (static_cast<std::streamsize>(bytes.size()) > kMostBytes) return std::nullopt;
  }
  return bytes;
}

HBITMAP SharedBitmap(GdiTable& t, UINT id) {
  if (auto it = t.sharedResourceBitmaps.find(id); it != t.sharedResourceBitmaps.end()) return it->second;
  const HBITMAP made = MakeResourceBitmap(t, id, false, true);
  if (made != 0) t.sharedResourceBitmaps.emplace(id, made);
  return made;
}

}  // namespace

HGDIOBJ LoadImageA(HINSTANCE, const char* name, UINT type, int, int, UINT flags) {
  if (type != IMAGE_BITMAP || name == nullptr) return 0;
  if ((flags & LR_LOADFROMFILE) != 0) {
    if (IS_INTRESOURCE(name)) return 0;
    const auto bytes = ReadWholeFile(name);
    if (!bytes) return 0;
    auto& t = Table();
    std::lock_guard lock(t.mutex);
    return MakeBitmap(t, *bytes, std::nullopt, (flags & LR_MONOCHROME) != 0, false);
  }
  if (!IS_INTRESOURCE(name)) return 0;
  const UINT id = ResourceIdOf(name);
  if (id == 0) return 0;
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  if ((flags & LR_SHARED) != 0) return SharedBitmap(t, id);
  return MakeResourceBitmap(t, id, (flags & LR_MONOCHROME) != 0, false);
}

HBITMAP LoadBitmapA(HINSTANCE, const char* name) {
  if (name == nullptr || !IS_INTRESOURCE(name) || ResourceIdOf(name) == 0) return 0;
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  return SharedBitmap(t, ResourceIdOf(name));
}

std::optional<UINT> BitmapResourceId(HBITMAP bitmap) {
  auto& t = Table();
  std::lock_guard lock(t.mutex);
  const BitmapObject* b = Find<BitmapObject>(t, bitmap);
  if (b == nullptr) return std::nullopt;
  return b->resourceId;
}
