// Handlers that the owners of ways register with the main worker, which calls
// them when a thread ends or a message is to be relayed.
#pragma once

#include <cstdint>

class CBaseThread;

// Whoever owns the node way registers how its object is deleted when its thread ends.
using NodeWayDeleter = void (*)(CBaseThread* nodeWay);
void SetNodeWayEndHandler(void* nodeOwnerSlot, NodeWayDeleter deleter);
void* NodeWayOwnerSlot();
NodeWayDeleter NodeWayEndDeleter();

// Relay of UIMSG_SIMULATOR_CLOSING to every allocated controller way; set by the way table.
using ControllerRelay = void (*)(CBaseThread* sender, std::uint32_t id);
void SetControllerRelay(ControllerRelay relay);
ControllerRelay CurrentControllerRelay();
