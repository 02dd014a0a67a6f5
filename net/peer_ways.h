// The 50 peer way objects and the Listener: created once in the staged
// start-up, after the way table is cleared and before the port is bound.
#pragma once

#include <array>
#include <cstdint>

#include "net/way_ids.h"

class CBaseThread;
class COrvSok;
class Listener;

// Held as threads: the main thread clears an ended thread's slot through a
// CBaseThread pointer. The typed object is the way table's record link.
using PeerWayObjects = std::array<CBaseThread*, kPeerWayCount>;

// The way-object array; each entry is its way's owner slot.
PeerWayObjects& g_peerWayObjects();
// The way object of a peer way, null when none.
COrvSok* PeerWayObject(std::int32_t wayId);
extern Listener* g_pListener;

// 1, or -10 (no object), -20 (no buffers), -30 (thread not started). Ways that
// exist already are kept, so a second call creates only what is missing.
std::int32_t CreatePeerWays();
// 0, a negative code of CreatePeerWays, or -510 (no Listener).
std::int32_t CreateSocketThreads();
// Every connected peer way is posted its disconnect.
void DisconnectPeerWays();
// Stops and deletes the ways and the Listener (tests; the program never joins them).
void DestroySocketThreads();
