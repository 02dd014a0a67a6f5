#include "support/png_pixels.h"

#include <zlib.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

std::uint32_t BigEndian32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) | (std::uint32_t{bytes[at + 2]} << 8) |
         bytes[at + 3];
}

int Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

}  // namespace

std::optional<PngPixels> ReadPngPixels(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 8 || !std::equal(kSignature.begin(), kSignature.end(), bytes.begin())) return std::nullopt;
  PngPixels out;
  int channels = 0;
  std::vector<std::uint8_t> compressed;
  for (std::size_t at = 8; at + 12 <= bytes.size();) {
    const std::uint32_t length = BigEndian32(bytes, at);
    if (at + 12 + length > bytes.size()) return std::nullopt;
    const std::string type(bytes.begin() + static_cast<long>(at + 4), bytes.begin() + static_cast<long>(at + 8));
    const std::size_t data = at + 8;
    if (type == "IHDR") {
      if (length < 13) return std::nullopt;
      out.width = static_cast<int>(BigEndian32(bytes, data));
      out.height = static_cast<int>(BigEndian32(bytes, data + 4));
      const std::uint8_t depth = bytes[data + 8];
      const std::uint8_t colour = bytes[data + 9];
      const std::uint8_t interlace = bytes[data + 12];
      if (depth != 8 || interlace != 0 || (colour != 2 && colour != 6)) return std::nullopt;
      channels = colour == 2 ? 3 : 4;
    } else if (type == "IDAT") {
      compressed.insert(compressed.end(), bytes.begin() + static_cast<long>(data),
                        bytes.begin() + static_cast<long>(data + length));
    } else if (type == "IEND") {
      break;
    }
    at += 12 + length;
  }
  if (channels == 0 || out.width <= 0 || out.height <= 0 || out.width > 16384 || out.height > 16384) return std::nullopt;
  const std::size_t stride = static_cast<std::size_t>(out.width) * static_cast<std::size_t>(channels);
  std::vector<std::uint8_t> raw((stride + 1) * static_cast<std::size_t>(out.height));
  uLongf rawSize = static_cast<uLongf>(raw.size());
  if (uncompress(raw.data(), &rawSize, compressed.data(), static_cast<uLong>(compressed.size())) != Z_OK ||
      rawSize != raw.size()) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> previous(stride, 0);
  std::vector<std::uint8_t> row(stride);
  out.pixels.reserve(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
  for (int y = 0; y < out.height; ++y) {
    const std::uint8_t* line = raw.data() + static_cast<std::size_t>(y) * (stride + 1);
    const std::uint8_t filter = line[0];
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= static_cast<std::size_t>(channels) ? row[i - static_cast<std::size_t>(channels)] : 0;
      const int b = previous[i];
      const int c = i >= static_cast<std::size_t>(channels) ? previous[i - static_cast<std::size_t>(channels)] : 0;
      int predicted = 0;
      switch (filter) {
        case 0: predicted = 0; break;
        case 1: predicted = a; break;
        case 2: predicted = b; break;
        case 3: predicted = (a + b) / 2; break;
        case 4: predicted = Paeth(a, b, c); break;
        default: return std::nullopt;
      }
      row[i] = static_cast<std::uint8_t>(line[1 + i] + predicted);
    }
    for (int x = 0; x < out.width; ++x) {
      const std::uint8_t* p = row.data() + static_cast<std::size_t>(x) * static_cast<std::size_t>(channels);
      out.pixels.push_back(RGB(p[0], p[1], p[2]));
    }
    previous = row;
  }
  return out;
}
