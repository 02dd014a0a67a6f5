#include "win/mul_div.h"

#include <cstdint>
#include <limits>

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const std::int64_t product = std::int64_t{number} * numerator;
  const std::int64_t divisor = denominator;
  const bool negative = (product < 0) != (divisor < 0);
  const std::uint64_t p = product < 0 ? static_cast<std::uint64_t>(-product) : static_cast<std::uint64_t>(product);
  const std::uint64_t d = divisor < 0 ? static_cast<std::uint64_t>(-divisor) : static_cast<std::uint64_t>(divisor);
  // Half away from zero.
  const std::uint64_t q = (p + d / 2) / d;
  if (q > static_cast<std::uint64_t>(std::numeric_limits<int>::max()) + (negative ? 1 : 0)) return -1;
  return negative ? static_cast<int>(-static_cast<std::int64_t>(q)) : static_cast<int>(q);
}
