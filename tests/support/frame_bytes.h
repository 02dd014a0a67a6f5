// Frames of the network's format written out byte by byte, as a far side
// sends them, for tests that talk to the stand-ins over raw sockets.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }
inline Bytes AsBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Sync word A1 B2 C3 17 and the 8-byte header.
inline Bytes Header(std::uint8_t type, std::uint8_t sub, std::uint8_t flags, std::uint32_t length) {
  return {0xA1, 0xB2, 0xC3, 0x17, type, sub, 0, flags,
          static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
          static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
}

inline Bytes Concat(const Bytes& a, const Bytes& b) {
  // Sized once and copied: GCC 12 misreads an insert into a short vector.
  Bytes joined(a.size() + b.size());
  std::copy(b.begin(), b.end(), std::copy(a.begin(), a.end(), joined.begin()));
  return joined;
}
