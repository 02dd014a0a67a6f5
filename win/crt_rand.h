// The classic C runtime's generator: 15-bit values, seed 1 until srand. Each
// thread keeps its own sequence, as the multithreaded runtime does.
#pragma once

namespace win {

constexpr int kRandMax = 0x7FFF;
int rand();
void srand(unsigned seed);

}  // namespace win
