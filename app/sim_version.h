// Families of simulator version codes, as peers announce them.
#pragma once

#include <cstdint>

// 2002, 2004 and 2006 stand for themselves; 3000..3999 → 3000 (X-Plane 9 is
// 9000..9999, X-Plane 10 is 10000..10999, each → its first code); anything else → 0.
std::uint32_t ClassifySimVersion(std::uint32_t code);
