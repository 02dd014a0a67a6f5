// Globals of the client application that every subsystem reads.
#pragma once

#include <atomic>
#include <cstdint>

#include "win/types.h"

// The own simulator version code: 9000 (X-Plane 9) in this program.
extern std::atomic<std::uint32_t> g_ownSimulatorCode;

// Seconds of user inactivity left; re-armed by every key press and mouse move.
constexpr std::int32_t kInactivitySeconds = 2100;
extern std::atomic<std::int32_t> g_inactivityCountdown;

// The registered bridge message "TAVELKOR_MSG".
UINT TavelkorMessageId();
