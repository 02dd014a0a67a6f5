// A loopback TCP port the system just handed out and took back: free for a
// server or a child process to bind right after.
#pragma once

#include <cstdint>

// 0 when none could be had.
std::uint16_t FreeLoopbackPort();
