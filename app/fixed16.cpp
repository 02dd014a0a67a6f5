#include "app/fixed16.h"

#include <cmath>

Fixed16 SplitFixed16(double value) {
  if (!std::isfinite(value)) return {};
  double whole = 0.0;
  const double part = std::modf(value, &whole);
  // Converting a double outside the target's range is undefined: reduce
  // first, then let the integer conversions wrap, which is defined.
  const double reduced = std::fmod(whole, 4294967296.0);  // exact, |reduced| < 2^32
  const auto integerPart = static_cast<std::uint32_t>(static_cast<std::int64_t>(reduced));
  const auto fraction = static_cast<std::uint16_t>(static_cast<std::int32_t>(part * 65536.0));  // |…| < 65536
  return Fixed16{integerPart, fraction};
}
