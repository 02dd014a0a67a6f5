// Where the plug-in link hands over to the AI traffic and to the pilot peer
// way: adding a remote pilot's AI aircraft, the peer's object-created step and
// the pilot sub-messages. Those sides register their functions here; until
// they do, each call does nothing.
#pragma once

#include <cstdint>

class COrvSok;

struct AiTrafficHooks {
  // Builds and sends the add of the way's AI aircraft (called with the AI lock held).
  void (*addPeer)(std::int32_t way) = nullptr;
  // The pilot way learns that its AI aircraft exists (on the pilot way's thread).
  void (*onPeerObjectCreated)(COrvSok& way) = nullptr;
  // A pilot sub-message with its value to the peer of the way (on the pilot way's thread).
  void (*sendToPilot)(COrvSok& way, std::uint32_t subMessage, std::uint32_t value) = nullptr;
};

// Replaces every hook; a null member unregisters that one.
void SetAiTrafficHooks(const AiTrafficHooks& hooks);

namespace ai_traffic {
void AddPeer(std::int32_t way);
void OnPeerObjectCreated(COrvSok& way);
void SendToPilot(COrvSok& way, std::uint32_t subMessage, std::uint32_t value);
}  // namespace ai_traffic
