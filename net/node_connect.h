// The node way's global and the step that (re)connects it to a hub.
#pragma once

class CBaseThread;
class CNodeWay;

// The owner slot of the node way: created at the first connect and kept; the
// main worker clears it when the way's thread ends (accessed through
// net/owner_slot.h only).
extern CBaseThread* g_porvNode;
// The node way, or null before the first connect.
CNodeWay* NodeWayObject();

// Connects the node way to the hub of the hub text (or to the direct node
// address): creates the way at the first call, restarts it at every later one.
void ConnectToNode();
