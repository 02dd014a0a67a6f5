#include "core/connection_state.h"

std::atomic<bool> g_connecting{false};
std::atomic<int> g_selectedNetworkSlot{-1};
std::atomic<bool> g_logoutSent{false};
