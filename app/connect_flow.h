// When the client joins and leaves the network: the Connect button, the
// network slot in use, the hand-over to the web task, the reaction to an
// accepted login, the leaving of the session and the quit steps. The flow
// runs on the UI thread; the functions marked "any thread" are also called by
// the node way's thread.
#pragma once

#include <cstdint>

#include "core/connection_state.h"

// The Connect button's bitmaps (SetConnectionBitmap).
constexpr unsigned kBitmapOffline = 7095;
constexpr unsigned kBitmapConnected = 7096;
constexpr unsigned kBitmapConnecting = 7097;

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
