// The classic C runtime's generator: 15-bit values, seed 1 until srand. One
// sequence for the process, as the runtime keeps it.
#pragma once

namespace win {

constexpr int kRandMax = 0x7FFF;
int rand();
void srand(unsigned seed);

}  // namespace win
