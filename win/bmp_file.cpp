#include "win/bmp_file.h"

#include <limits>

namespace win {

namespace {

// Little-endian fields, each read only when its bytes are there.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::optional<std::uint32_t> U32(std::uint64_t at) const {
    if (at + 4 > bytes_.size()) return std::nullopt;
    return static_cast<std::uint32_t>(bytes_[at]) | (static_cast<std::uint32_t>(bytes_[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes_[at + 2]) << 16) | (static_cast<std::uint32_t>(bytes_[at + 3]) << 24);
  }
  std::optional<std::uint16_t> U16(std::uint64_t at) const {
    if (at + 2 > bytes_.size()) return std::nullopt;
    return static_cast<std::uint16_t>(bytes_[at] | (bytes_[at + 1] << 8));
  }
  std::optional<std::int32_t> I32(std::uint64_t at) const {
    const auto v = U32(at);
    if (!v) return std::nullopt;
    return static_cast<std::int32_t>(*v);
  }
  std::uint64_t Size() const { return bytes_.size(); }
  std::uint8_t At(std::uint64_t at) const { return bytes_[at]; }

 private:
  std::span<const std::uint8_t> bytes_;
};

constexpr std::uint64_t kFileHeader = 14;

}  // namespace

std::optional<BmpImage> ReadBmp(std::span<const std::uint8_t> file) {
  const Reader r(file);
  if (r.Size() < kFileHeader + 40 || r.At(0) != 'B' || r.At(1) != 'M') return std::nullopt;
  const auto offBits = r.U32(10);
  const auto headerSize = r.U32(14);
  const auto width = r.I32(18);
  const auto height = r.I32(22);
  const auto planes = r.U16(26);
  const auto bpp = r.U16(28);
  const auto compression = r.U32(30);
  const auto clrUsed = r.U32(46);
  if (!offBits || !headerSize || !width || !height || !planes || !bpp || !compression || !clrUsed)
    return std::nullopt;
  if (*headerSize < 40 || kFileHeader + *headerSize > r.Size() || *planes != 1 || *compression != 0)
    return std::nullopt;
  if (*bpp != 1 && *bpp != 4 && *bpp != 8 && *bpp != 24 && *bpp != 32) return std::nullopt;
  if (*width <= 0 || *width > kMaxBmpSide || *height == 0 || *height < -kMaxBmpSide || *height > kMaxBmpSide)
    return std::nullopt;
  const bool topDown = *height < 0;
  const int w = *width, h = topDown ? -*height : *height;

  std::vector<std::uint32_t> palette;
  if (*bpp <= 8) {
    const std::uint32_t full = 1u << *bpp;
    const std::uint32_t count = *clrUsed == 0 ? full : *clrUsed;
    if (count > full) return std::nullopt;
    const std::uint64_t at = kFileHeader + *headerSize;
    if (at + std::uint64_t{count} * 4 > r.Size() || at + std::uint64_t{count} * 4 > *offBits) return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint64_t e = at + std::uint64_t{i} * 4;
      palette.push_back((std::uint32_t{r.At(e + 2)} << 16) | (std::uint32_t{r.At(e + 1)} << 8) | r.At(e));
    }
  }
  const std::uint64_t stride = (std::uint64_t{*bpp} * static_cast<std::uint64_t>(w) + 31) / 32 * 4;
  if (*offBits < kFileHeader + *headerSize || *offBits + stride * static_cast<std::uint64_t>(h) > r.Size())
    return std::nullopt;

  BmpImage image;
  image.width = w;
  image.height = h;
  image.bitsPerPixel = *bpp;
  image.pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    const int stored = topDown ? y : h - 1 - y;
    const std::uint64_t row = *offBits + stride * static_cast<std::uint64_t>(stored);
    for (int x = 0; x < w; ++x) {
      std::uint32_t pixel = 0;
      const auto ux = static_cast<std::uint64_t>(x);
      if (*bpp <= 8) {
        std::uint32_t index = 0;
        if (*bpp == 8) index = r.At(row + ux);
        if (*bpp == 4) index = (r.At(row + ux / 2) >> (x % 2 == 0 ? 4 : 0)) & 0xF;
        if (*bpp == 1) index = (r.At(row + ux / 8) >> (7 - x % 8)) & 1;
        if (index >= palette.size()) return std::nullopt;
        pixel = palette[index];
      } else {
        const std::uint64_t at = row + ux * (*bpp / 8);
        pixel = (std::uint32_t{r.At(at + 2)} << 16) | (std::uint32_t{r.At(at + 1)} << 8) | r.At(at);
      }
      image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] = pixel;
    }
  }
  return image;
}

}  // namespace win
