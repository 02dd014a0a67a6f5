// Internal to win/: the ternary raster operations, bitwise on 24-bit colours.
#pragma once

#include <cstdint>

#include "win/types.h"

namespace win::detail {

// The operation's truth table: bit (P << 2 | S << 1 | D) is the result for
// pattern, source and destination bits P, S, D.
constexpr std::uint8_t RopCode(DWORD rop) { return static_cast<std::uint8_t>((rop >> 16) & 0xFF); }
constexpr bool RopUsesSource(std::uint8_t code) { return ((code ^ (code >> 2)) & 0x33) != 0; }
constexpr bool RopUsesPattern(std::uint8_t code) { return ((code ^ (code >> 4)) & 0x0F) != 0; }

constexpr COLORREF ApplyRop(std::uint8_t code, COLORREF p, COLORREF s, COLORREF d) {
  std::uint32_t result = 0;
  for (int i = 0; i < 8; ++i) {
    if (((code >> i) & 1) == 0) continue;
    result |= ((i & 4) != 0 ? p : ~p) & ((i & 2) != 0 ? s : ~s) & ((i & 1) != 0 ? d : ~d);
  }
  return result & 0xFFFFFF;
}

}  // namespace win::detail
