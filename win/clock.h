// One monotonic millisecond clock for the whole program, and Sleep.
#pragma once

#include <cstdint>

#include "win/types.h"

// Milliseconds since an arbitrary start, monotonic, wrapping at 2^32 like the Windows call.
DWORD GetTickCount();
std::uint64_t GetTickCount64();
void Sleep(DWORD milliseconds);

// High-resolution counter: ticks and ticks per second.
struct LARGE_INTEGER {
  std::int64_t QuadPart = 0;
};
BOOL QueryPerformanceCounter(LARGE_INTEGER* counter);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// Tests move the clock forward instead of sleeping through long waits.
void AdvanceTickCountForTest(std::uint64_t milliseconds);
