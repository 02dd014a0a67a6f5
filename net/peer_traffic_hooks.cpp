#include "net/peer_traffic_hooks.h"

#include <mutex>

namespace {
std::mutex& HooksMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<const PeerTrafficHooks>& HooksSlot() {
  static auto* slot = new std::shared_ptr<const PeerTrafficHooks>(std::make_shared<const PeerTrafficHooks>());
  return *slot;
}
}  // namespace

void SetPeerTrafficHooks(PeerTrafficHooks hooks) {
  auto set = std::make_shared<const PeerTrafficHooks>(std::move(hooks));
  std::lock_guard lock(HooksMutex());
  HooksSlot() = std::move(set);
}

std::shared_ptr<const PeerTrafficHooks> CurrentPeerTrafficHooks() {
  std::lock_guard lock(HooksMutex());
  return HooksSlot();
}
