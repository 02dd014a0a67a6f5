// The locate window's list follows the ways: a way that lost its link asks
// for a refresh here. The window registers the hook when it is made; until
// then (and in tests of the lower folders) the request does nothing. Safe
// from any thread: the window posts the refresh to its own thread.
#pragma once

#include <cstdint>

// Below this own simulator code the program has no locate window.
inline constexpr std::int32_t kLocateMinimumSimulatorCode = 2006;

void SetLocateRefreshHook(void (*hook)());
void RequestLocateRefresh();
