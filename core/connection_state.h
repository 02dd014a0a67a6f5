// How far the client is in joining the network: written by the connect flow,
// read and cleared by the node way's thread as well.
#pragma once

#include <atomic>

// Connect-button states (SetConnectionBitmap).
constexpr int kConnectionOffline = 0;
constexpr int kConnectionConnecting = 2;
constexpr int kConnectionConnected = 3;

// A connection attempt started; cleared by a disconnect.
extern std::atomic<bool> g_connecting;
// 0..5, or -1 when no slot was chosen.
extern std::atomic<int> g_selectedNetworkSlot;
// A logout was already posted to the node way.
extern std::atomic<bool> g_logoutSent;
