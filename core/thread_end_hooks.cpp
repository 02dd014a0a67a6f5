#include "core/thread_end_hooks.h"

#include <atomic>

namespace {
std::atomic<void*> g_nodeOwnerSlot{nullptr};
std::atomic<NodeWayDeleter> g_nodeDeleter{nullptr};
std::atomic<ControllerRelay> g_controllerRelay{nullptr};
}  // namespace

void SetNodeWayEndHandler(void* nodeOwnerSlot, NodeWayDeleter deleter) {
  g_nodeOwnerSlot = nodeOwnerSlot;
  g_nodeDeleter = deleter;
}

void* NodeWayOwnerSlot() { return g_nodeOwnerSlot.load(); }

NodeWayDeleter NodeWayEndDeleter() { return g_nodeDeleter.load(); }

void SetControllerRelay(ControllerRelay relay) { g_controllerRelay = relay; }

ControllerRelay CurrentControllerRelay() { return g_controllerRelay.load(); }
