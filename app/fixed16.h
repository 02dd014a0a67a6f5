// The split of a coordinate into the 16.16 pair of the older position records.
#pragma once

#include <cstdint>

struct Fixed16 {
  std::uint32_t integerPart = 0;
  std::uint16_t fraction = 0;
};

// The split every sender of the network makes (modf): the integer part is
// the value truncated toward zero, as a 32-bit two's complement word taken
// modulo 2^32 (so 2^31, which is 180 degrees of longitude in 2^32/360 units,
// becomes -2^31, the same meridian); the fraction is (value - integer part)
// × 65536 truncated toward zero, keeping the sign of the value, as a 16-bit
// two's complement word. 12.5 → 12, 32768; -12.5 → -12, -32768 (0x8000);
// -0.25 → 0, -16384 (0xC000).
// Receivers of that family read the fraction unsigned, so a negative value
// comes back up to one whole unit too high; peers decode our records as
// they decode everyone else's, which is what counts on the wire.
// NaN and infinities give 0, 0.
Fixed16 SplitFixed16(double value);
