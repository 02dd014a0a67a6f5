// When the client joins and leaves the network: the Connect button, the
// network slot in use, the hand-over to the web task, the reaction to an
// accepted login, the leaving of the session and the quit steps. The flow
// runs on the UI thread; the functions marked "any thread" are also called by
// the node way's thread.
#pragma once

#include <atomic>
#include <cstdint>

// Connect-button states (SetConnectionBitmap) and their bitmaps.
constexpr int kConnectionOffline = 0;
constexpr int kConnectionConnecting = 2;
constexpr int kConnectionConnected = 3;
constexpr unsigned kBitmapOffline = 7095;
constexpr unsigned kBitmapConnected = 7096;
constexpr unsigned kBitmapConnecting = 7097;

// A connection attempt started; cleared by a disconnect.
extern std::atomic<bool> g_connecting;
// 0..5, or -1 when no slot was chosen.
extern std::atomic<int> g_selectedNetworkSlot;
// A logout was already posted to the node way.
extern std::atomic<bool> g_logoutSent;

// Button 7212 and the auto-connect countdown.
void OnConnectButton();
// 0, -10 (slot outside 0..5), -20 (no session), -30 (slot not filled).
int ConnectToNetwork(int slot);
// Starts (or restarts) the web task that fetches the hub list.
void RequestHubsList();
void OnDisconnectFromNetwork();
// After UIMSG_LOGOUT or a node's stop order. Any thread.
void DisconnectQuietly();
void LeaveMultiplayerSession();
void OnLoginAccepted();
void OnMultiplayerConnected();
void OnMultiplayerSessionClosed();
// The session flag follows the plug-in link; called whenever it may have changed.
void SyncSessionFlagToPlugin();

// Any thread. 0 offline, 1 and 2 connecting, 3 connected.
void SetConnectionBitmap(int state);
// The bitmap resource the Connect button shows now.
unsigned ConnectionBitmap();
// Any thread: "%02d:%02d" of the seconds into the main dialog's field 7108.
void ShowCountdown(std::uint32_t seconds);
// 1 when no other pilot client is found (always for X-Plane codes).
int DetectOtherClient();

// Stops and deletes the node way, the web-task way and the plug-in link
// (tests; the program never joins them).
void DestroyConnectionWays();
