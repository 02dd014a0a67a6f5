#include "sim/ai_traffic_hooks.h"

#include <atomic>

namespace {
struct RegisteredHooks {
  std::atomic<void (*)(std::int32_t)> addPeer{nullptr};
  std::atomic<void (*)(COrvSok&)> onPeerObjectCreated{nullptr};
  std::atomic<void (*)(COrvSok&, std::uint32_t, std::uint32_t)> sendToPilot{nullptr};
};

RegisteredHooks& Hooks() {
  static RegisteredHooks hooks;
  return hooks;
}
}  // namespace

void SetAiTrafficHooks(const AiTrafficHooks& hooks) {
  Hooks().addPeer = hooks.addPeer;
  Hooks().onPeerObjectCreated = hooks.onPeerObjectCreated;
  Hooks().sendToPilot = hooks.sendToPilot;
}

namespace ai_traffic {
void AddPeer(std::int32_t way) {
  if (const auto hook = Hooks().addPeer.load()) hook(way);
}
void OnPeerObjectCreated(COrvSok& way) {
  if (const auto hook = Hooks().onPeerObjectCreated.load()) hook(way);
}
void SendToPilot(COrvSok& way, std::uint32_t subMessage, std::uint32_t value) {
  if (const auto hook = Hooks().sendToPilot.load()) hook(way, subMessage, value);
}
}  // namespace ai_traffic
