// A TCP port that is free now and lies outside the system's range for
// outgoing connections: a port the system hands out on its own may be taken
// by another process's connect before the child that is told it binds it.
// The port stays taken for this process until it ends (bound, not listening):
// another test process never draws it, and a listener that sets SO_REUSEADDR
// binds it.
#pragma once

#include <cstdint>

// 0 when none could be had.
std::uint16_t FreeLoopbackPort();
